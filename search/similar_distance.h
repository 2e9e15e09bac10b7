// The distance of a suggestion: the restricted Damerau-Levenshtein distance
// (insert, delete or substitute one unit, swap two neighbours; no unit
// edited twice) between a key and a headword, on UTF-16 units, as lookup
// compares them: the key folded in a dictionary of version major 6 or more
// (FoldKey), the headword as stored and, from version 6 on, only its search
// form, the part before its first TAB. A headword ends before its first zero
// unit.
//
// HeadwordDistance decides it for the headwords of a scan one after the
// other, straight from their bytes, with as little work as it can:
//  - the units a headword shares with the headword before (the file is
//    sorted: neighbours share their first bytes) are not decoded again, and
//    what was worked out for them is kept;
//  - a unit that the key lacks costs an edit: a headword with more than k
//    of them, or with more than key length + k units, is out as soon as it
//    has them, and so is every later headword that begins with the same
//    units, without being decoded;
//  - only a headword that has key length - k to key length + k units, enough
//    of them the key's, gets the dynamic programme: a band of the 2k + 1
//    cells around the diagonal (no other cell can stay within k), one row a
//    unit, all cells of a row in one step (SSE2: sixteen bytes at a time);
//  - a headword too short for key length - k of the key's units is passed
//    over unread: in code page 932 each takes the bytes of its shortest code
//    (two for a kanji or a kana), in BOCU-1 at least half a byte;
//  - Hopeless: a record area whose headwords all begin with units that rule
//    them out is passed over unread (its index key and the next one frame
//    it, as lookup takes them to).
//
// Thread safety: one object per thread (it keeps what it worked out for the
// headword before).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "codec/bocu1.h"

namespace kebu {

// The greatest distance of a suggestion for a key of `units` UTF-16 units:
// 1 up to 4 units, else 2.
inline int MaxSimilarDistance(size_t units) { return units <= 4 ? 1 : 2; }

// The key as a dictionary of version major `versionMajor` compares it:
// folded from version 6 on (FoldKey), else up to its first zero unit.
std::u16string SimilarKeyForm(std::u16string_view key, int32_t versionMajor);

namespace similar_detail {

class HeadwordDistance {
 public:
  // `key` as compared (SimilarKeyForm); `maxDistance` 0 to 3. `searchForm`:
  // the headword ends at its first TAB (version 6 and later).
  HeadwordDistance(std::u16string_view key, int maxDistance, bool bocu, bool searchForm);

  // The distance between the key and the headword of `length` bytes (the
  // dictionary's encoding), or -1 when it is above the greatest distance.
  int Distance(const uint8_t* bytes, uint32_t length) {
    if (length < minBytes_) return -1;
    // From version 6 on only the search form counts: the bytes before the
    // first TAB byte, which code page 932 uses in no other character (in
    // BOCU-1 the bound is too low to pay).
    if (searchForm_ && !bocu_) {
      const void* tab = std::memchr(bytes, '\t', minBytes_);
      if (tab != nullptr) return -1;
    }
    const uint32_t most = length < previousLength_ ? length : previousLength_;
    uint32_t shared = 0;
    if constexpr (std::endian::native == std::endian::little) {
      // Eight bytes a step where the headword and its zero byte have them
      // (previous_ has room for any headword).
      for (uint64_t a, b; shared < most && shared + 8 <= length + 1; shared += 8) {
        std::memcpy(&a, bytes + shared, 8);
        std::memcpy(&b, previous_.data() + shared, 8);
        if (a != b) {
          shared += static_cast<uint32_t>(std::countr_zero(a ^ b)) / 8;  // the first byte is the lowest
          break;
        }
      }
      if (shared > most) shared = most;
    }
    while (shared < most && bytes[shared] == previous_[shared]) ++shared;
    if (dead_ && shared >= deadBytes_) return -1;  // begins as the headword before, which died
    return Continue(bytes, length, shared);
  }
  // After Distance gave 0 or more: the headword as compared.
  std::u16string_view Form() const { return {units_.data(), count_}; }

  // Whether no headword that sorts between the index keys `first` and
  // `next` can be within the greatest distance: every such headword begins
  // with what the two keys share (bytes in code page 932, whose files sort
  // by bytes; units in BOCU-1, whose files sort by units).
  bool Hopeless(const uint8_t* first, uint32_t firstLength, const uint8_t* next,
                uint32_t nextLength) const;

 private:
  // One code page 932 character: its unit, the bytes behind it, and the
  // bytes that decide it (a lead byte without its trail byte is decided by
  // the byte after it, or by the end of the text).
  struct Step {
    char16_t unit = 0;
    uint32_t next = 0;
    uint32_t decided = 0;
  };
  static constexpr size_t kLanes = 16;  // bytes a row takes; cell d is byte d

  // The rest of Distance, given the bytes the headword shares with the one before.
  int Continue(const uint8_t* bytes, uint32_t length, uint32_t shared);
  Step DecodeCp932(const uint8_t* bytes, uint32_t length, uint32_t at) const;
  // Row i (after i units) into `row` from the rows before it; false when
  // every cell of it is above the greatest distance.
  bool NextRow(size_t i, char16_t unit, char16_t before, const uint8_t* row1, const uint8_t* row2,
               uint8_t* row) const;
  // Row r of rows_ (row -1 is all above the distance).
  uint8_t* Row(size_t r) { return &rows_[(r + 1) * kLanes]; }
  // Appends `unit` as the next unit of the headword; false once no row can
  // come back within the distance.
  bool Push(char16_t unit, uint32_t next, uint32_t decided, const Bocu1Decoder* decoder);
  // The distance of a headword of n units whose last row is `row`, or -1.
  int Final(size_t n, const uint8_t* row) const;

  std::u16string key_;
  std::vector<char16_t> padded_;     // the key with room around it for the row step's loads
  const char16_t* pairs_ = nullptr;  // code page 932 pairs as units
  int k_;
  bool bocu_;
  bool searchForm_;
  uint32_t minBytes_;    // fewer bytes cannot hold key length - k units
  size_t width_;         // 2k + 1 cells a row
  size_t maxUnits_;      // a row past key length + k is all above k
  // Per first cell past the key (0 to 16): cells that row's step sets above k.
  std::vector<uint8_t> pastKey_;
  // The headword before: the bytes that decided its units, and per unit
  // decoded so far the unit, where it ends, the bytes that decide it, the
  // decoder behind it (BOCU-1), and the row after it (row 0: no unit yet).
  std::vector<uint8_t> previous_;
  uint32_t previousLength_ = 0;
  std::vector<char16_t> units_;
  std::vector<uint32_t> next_;
  std::vector<uint32_t> decided_;
  std::vector<Bocu1Decoder> decoders_;
  std::vector<uint16_t> others_;  // per unit count: units so far that the key lacks
  std::vector<uint64_t> inKey_;   // a bit per unit of the key
  std::vector<uint8_t> rows_;
  size_t count_ = 0;
  size_t rowsDone_ = 0;  // rows worked out: 0 to count_
  // Hopeless's room, and the key it decoded last (BOCU-1).
  mutable std::u16string scratchUnits_, scratchNext_;
  mutable const uint8_t* scratchKey_ = nullptr;
  mutable std::vector<uint8_t> scratchRows_;
  bool dead_ = false;  // the row after count_ units is all above k
  uint32_t deadBytes_ = 0;  // then: the bytes that decided those units
};

}  // namespace similar_detail
}  // namespace kebu
