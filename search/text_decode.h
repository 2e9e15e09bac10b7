// Decoding for the scan: a dictionary text into UTF-16 units, folded on the
// way when asked, in one tight loop per encoding. The units are those of
// DecodeText with kWholeTexts (codec/bocu1.h, codec/cp932.h), up to the
// first zero unit; the tests hold the scan to that.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kebu {

// Decodes `length` bytes into `out` (room for 2 * length units for BOCU-1,
// length for code page 932) and returns the number of units before the
// first zero unit. With `fold`, each unit comes out folded (search/fold.h).
size_t DecodeForSearch(bool bocu, bool fold, const uint8_t* bytes, size_t length, char16_t* out);

}  // namespace kebu
