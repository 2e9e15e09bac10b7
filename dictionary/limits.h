// Limits of the file format and of the window, each named once.
#pragma once

#include <cstdint>

namespace kebu {

// block_size is 1..1024 bytes.
inline constexpr int kMaxBlockSize = 1024;
// A headword (prefix count plus tail) and an index key are at most this many
// bytes without their zero byte.
inline constexpr int kMaxHeadwordBytes = 1027;
inline constexpr int kMaxIndexKeyBytes = 1027;
// Units of a version-6 key that take part in a lookup; a longer key is cut.
inline constexpr int kMaxFoldedKeyUnits = 1024;
// Units of a decoded BOCU-1 text that a comparison looks at.
inline constexpr int kCompareUnits = 1024;

// The window lists at most this many hits of one search, and its search box
// takes at most this many characters.
inline constexpr int kWindowHitLimit = 10000;
inline constexpr int kSearchBoxMaxChars = 255;
// The window's export ends after the first record of an index entry beyond
// this one.
inline constexpr int32_t kExportStopAfterEntry = 10000;

// Cut limits of the four texts of a record, in UTF-16 units: a longer text
// is cut (BOCU-1: to limit - 1 units; code page 932: to the whole characters
// that fit in limit units).
struct TextCapacities {
  int headword;
  int translation;
  int example;
  int pronunciation;
};
// What the window shows of an entry.
inline constexpr TextCapacities kWindowCapacities{1024, 3000, 20000, 1000};
// No cut: texts come back whole, as long as a record can hold them.
inline constexpr TextCapacities kWholeTexts{1 << 20, 1 << 20, 1 << 20, 1 << 20};

}  // namespace kebu
