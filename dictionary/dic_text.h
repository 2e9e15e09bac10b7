// Dictionary text: keys as lookup compares them, texts as the window shows
// them.
#pragma once

#include <cstdint>

#include "dictionary/dic_index.h"

namespace kebu {

// Units of a version-6 key that take part in a search; a longer key is cut.
inline constexpr int kMaxFoldedKey = 1024;

// A key in the form that is compared with index keys and headwords.
struct ComparisonKey {
  // BOCU-1 dictionary: the key's own units.
  const char16_t* units = nullptr;
  uint32_t unitCount = 0;
  // Code page 932 dictionary: the key converted, zero-terminated.
  uint8_t bytes[kMaxKeyLength + 1] = {};
  uint32_t byteCount = 0;
  // The code page 932 form is longer than any headword can be: the key can
  // match nothing (and must not be taken for the empty key).
  bool tooLong = false;
};

void MakeComparisonKey(const char16_t* key, bool bocu, ComparisonKey* out);

// Version-6 folding: A-Z to lower case, '-' to a space, voiced and small
// katakana to their plain forms. Writes at most kMaxFoldedKey units and a
// terminator into out and returns the unit count.
uint32_t FoldKey(const char16_t* key, char16_t* out);

// Length of a zero-terminated UTF-16 text.
uint32_t UnitLength(const char16_t* text);

// Converts `length` bytes of dictionary text into `out`, which has room for
// capacity + 1 units, and terminates it. BOCU-1 writes at most capacity - 1
// units; code page 932 as many whole characters as fit in capacity.
// With `textLength`, also tells the length of the text as a zero-terminated
// text: the units before the first zero unit.
void DecodeDictionaryText(bool bocu, const uint8_t* bytes, uint32_t length,
                          char16_t* out, int capacity, uint32_t* textLength = nullptr);

}  // namespace kebu
