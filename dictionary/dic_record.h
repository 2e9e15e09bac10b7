// What one word record yields: its fields as parsed, where it stands, and
// its texts as UTF-16.
#pragma once

#include <cstdint>
#include <string>

namespace kebu {

// Where a record's texts lie in its loaded area, as the parser reports them.
// Lengths are in bytes; a text longer than 65,535 bytes is taken as its first
// 65,535. Example and pronunciation that a record lacks have offset and
// length 0.
struct RecordFields {
  uint16_t headwordLength = 0;
  int32_t translationOffset = 0;
  uint16_t translationLength = 0;
  int32_t exampleOffset = 0;
  uint16_t exampleLength = 0;
  int32_t pronunciationOffset = 0;
  uint16_t pronunciationLength = 0;
  int16_t attribute = 0;  // bits 0-3 of the attribute byte
};

// Where a record stands: the index entry whose area holds it, that area's
// first block, and the record's offset in the area.
struct RecordPosition {
  int32_t indexEntry = 0;
  int32_t block = 0;
  int32_t recordOffset = 0;
  bool operator==(const RecordPosition&) const = default;
};

// One record as people read it. Each text is what a zero-terminated text
// would hold: it ends before the first zero unit.
struct RecordText {
  std::u16string headword;
  std::u16string translation;
  std::u16string example;
  std::u16string pronunciation;
  int attribute = 0;
  RecordPosition position;

  void Clear() {
    headword.clear();
    translation.clear();
    example.clear();
    pronunciation.clear();
    attribute = 0;
    position = RecordPosition();
  }
};

}  // namespace kebu
