// Dictionary text: keys as lookup compares them, texts as people read them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dictionary/limits.h"

namespace kebu {

// Kana folding of version-6 keys: the plain form of a voiced, semi-voiced or
// small katakana unit, or 0 for any other unit.
char16_t FoldKana(char16_t unit);

// Version-6 folding of a key: A-Z to lower case, '-' to a space, kana by
// FoldKana; at most kMaxFoldedKeyUnits units, a longer key is cut.
std::u16string FoldKey(std::u16string_view key);

// A key in the form that is compared with index keys and headwords: UTF-16
// units in a BOCU-1 dictionary, code page 932 bytes in the other. Made once
// per lookup; not shared between threads (it decodes into a buffer of its
// own).
class ComparisonKey {
 public:
  ComparisonKey(std::u16string_view key, bool bocu);

  // The code page 932 form is longer than any headword can be: the key
  // matches nothing (and must not be taken for the empty key).
  bool MatchesNothing() const { return tooLong_; }
  // Units (BOCU-1) or bytes (code page 932) of the key.
  uint32_t Length() const { return bocu_ ? static_cast<uint32_t>(units_.size()) : byteCount_; }

  // Compares `length` bytes of dictionary text with the key over the key's
  // length, as strncmp and wcsncmp do (unsigned units, ending early at a
  // zero): negative, zero or positive. With `cutAtTab` a BOCU-1 text ends at
  // its first TAB. `comparedLength`, when given, receives the text's length
  // as compared: decoded units (BOCU-1) or bytes.
  int Compare(const uint8_t* text, uint32_t length, bool cutAtTab = false,
              uint32_t* comparedLength = nullptr) const;

 private:
  bool bocu_;
  bool tooLong_ = false;
  std::u16string units_;
  uint8_t bytes_[kMaxIndexKeyBytes + 1] = {};
  uint32_t byteCount_ = 0;
  // Only the key's length of units (and a little more, to tell a longer
  // text) decides a comparison: the rest of a text is not decoded.
  int32_t decodeCapacity_ = 0;
  mutable char16_t decoded_[kCompareUnits] = {};
};

// Decodes `length` bytes of dictionary text into `out`, cut at `capacity`
// (BOCU-1: at most capacity - 1 units; code page 932: the whole characters
// that fit in capacity units), and ends it before its first zero unit.
void DecodeText(bool bocu, const uint8_t* bytes, uint32_t length, int capacity,
                std::u16string* out);
// The same into `out`, which has room for capacity + 1 units: writes the
// text and a terminator, and returns the units before the first zero unit.
uint32_t DecodeTextInto(bool bocu, const uint8_t* bytes, uint32_t length, int capacity,
                        char16_t* out);

// Substitution of pronunciation codes 32..255: a code whose entry has a
// first unit other than 0 becomes that unit, then the second if not 0.
struct SubstitutionTable {
  char16_t entries[256][2] = {};
};

// Pronunciation substitution: writes the codes of `source` through the table
// into `out` (room for capacity + 1 units), stopping once capacity - 1 units
// are written, terminates it and returns the number of units written.
int SubstituteUnits(const char16_t* source, int count, char16_t* out, int capacity,
                    const SubstitutionTable& table);
int SubstituteBytes(const uint8_t* source, int count, char16_t* out, int capacity,
                    const SubstitutionTable& table);

// A pronunciation: as DecodeText without a table, except that code page 932
// bytes become one unit each when `rawBytes` is set (sequential reading does
// so); with a table, through SubstituteUnits (BOCU-1, decoded first into at
// most 1,002 units) or SubstituteBytes.
void DecodePronunciation(bool bocu, const uint8_t* bytes, uint32_t length, int capacity,
                         const SubstitutionTable* table, bool rawBytes, std::u16string* out);

// The headword as shown: in a dictionary of version major 6 or more, the
// part after its first TAB when it has one; otherwise the whole headword.
std::u16string_view DisplayHeadword(std::u16string_view headword, int32_t versionMajor);

}  // namespace kebu
