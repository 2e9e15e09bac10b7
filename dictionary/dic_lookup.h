// Lookup: every record whose headword begins with a key (or equals it), and
// the texts of each hit.
//
// A hit is named two ways: by its number in the hit table of the last
// lookup (GetHit(i), valid until the next lookup), and by its
// RecordPosition (GetHit(position), valid as long as the dictionary is
// open, on any lookup of the same dictionary). A lookup can go on behind
// a hit (LookupAfter), so that listing a key's hits a page at a time walks
// the file once.
//
// Thread safety: a DicLookup holds its own area buffer and hit table over the
// shared, read-only DicSource. One thread uses one DicLookup; lookups on
// other threads (a count of all hits, say) take one of their own.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "dictionary/dic_block_reader.h"
#include "dictionary/dic_record.h"
#include "dictionary/dic_source.h"
#include "dictionary/dic_text.h"
#include "dictionary/limits.h"

namespace kebu {

// One hit of a lookup: where its record stands and where its texts lie in
// the record's area; the headword itself is kept in the hit string pool.
struct SearchHit {
  RecordPosition position;
  RecordFields fields;
  uint64_t headwordOffset = 0;  // into the hit string pool
};

// How a lookup ended.
struct LookupResult {
  uint32_t count = 0;      // hits in the hit table
  bool truncated = false;  // the count reached the limit
  // kOutOfMemory when the hit table or the pool could not grow: the lookup
  // ended there, and the hits found before stay (truncated is set too).
  Status status;
};

class DicLookup {
 public:
  explicit DicLookup(std::shared_ptr<const DicSource> source);

  // Finds the records whose headword begins with `key` or, with
  // `wholeWord`, equals it; at most `limit` of them when limit > 0. In a
  // dictionary of version major 6 or more the key is folded first (A-Z to
  // lower case, '-' to a space, kana by FoldKana). The hits replace those of
  // the lookup before.
  LookupResult Lookup(std::u16string_view key, bool wholeWord, int limit);
  // The same lookup, going on behind `after`: the hits that Lookup without
  // a limit would find behind that one, at most `limit` of them. `after` is
  // the position of a hit of this key and mode in this dictionary (as
  // GetHit gives it); for any other position no hits come back.
  LookupResult LookupAfter(std::u16string_view key, bool wholeWord, const RecordPosition& after,
                           int limit);
  // The number of records Lookup would find without a limit, without
  // keeping them; stops early (returning what it counted) once *cancel is
  // true; 0 when memory runs out before the walk.
  uint64_t Count(std::u16string_view key, bool wholeWord = false,
                 const std::atomic<bool>* cancel = nullptr);

  uint32_t HitCount() const { return static_cast<uint32_t>(hits_.size()); }
  // Where hit i stands (i below HitCount()), also when its texts cannot be
  // read.
  const RecordPosition& HitPosition(uint32_t i) const { return hits_[i].position; }
  // Hit i with its texts cut at `capacities`. False when i is out of range
  // or the hit's record area cannot be loaded or memory runs out (the texts
  // are then empty).
  bool GetHit(uint32_t i, RecordText* text, const TextCapacities& capacities = kWindowCapacities,
              const SubstitutionTable* table = nullptr);
  // The record at `position` (a lookup's hit, a full-text hit, any record
  // that sequential reading gave), decoded as GetHit(i) decodes. Hits read
  // in file order walk each record area once. False, with the texts empty,
  // when no record starts there (the file changed, or the position is not
  // one of this dictionary's).
  bool GetHit(const RecordPosition& position, RecordText* text,
              const TextCapacities& capacities = kWindowCapacities,
              const SubstitutionTable* table = nullptr);
  void ClearHits();

 private:
  // The walk of Lookup and Count: calls onMatch for every record that does
  // not compare greater, until it returns false; behind `after` when given.
  template <typename OnMatch>
  void Walk(std::u16string_view key, bool wholeWord, const RecordPosition* after, OnMatch onMatch);
  LookupResult CollectHits(std::u16string_view key, bool wholeWord, const RecordPosition* after,
                           int limit);

  std::shared_ptr<const DicSource> source_;
  DicBlockReader blocks_;
  std::vector<SearchHit> hits_;
  std::vector<uint8_t> pool_;  // headwords of the hits, each with a zero byte
};

}  // namespace kebu
