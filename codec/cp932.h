// Code page 932 (Shift-JIS with the Windows extensions) <-> UTF-16.
//
// Decoding: bytes 00-7F map to U+0000-U+007F (5C stays the backslash), A1-DF
// to the half-width katakana U+FF61-U+FF9F; a lead byte (81-9F, E0-FC) with a
// trail byte (40-7E, 80-FC) maps through the table. A byte or pair that the
// code page leaves undefined (80, A0, FD-FF, an unassigned pair, a lead byte
// with a bad trail byte or at the end of the input) decodes to U+FFFD; after
// a lead byte with a bad trail byte, the trail byte is decoded on its own.
//
// Encoding: characters the code page lacks encode to '?' (3F); a surrogate pair
// is one character and becomes one '?'.
#pragma once

#include <cstdint>

namespace kebu {

// Decodes `length` bytes into `out`, writing as many whole characters as fit
// in `capacity` units. No terminator is written. Returns the number of units
// written (0 for empty input or capacity <= 0).
int32_t Cp932ToUtf16(const uint8_t* bytes, int32_t length, char16_t* out,
                     int32_t capacity);

// Encodes `count` units into `out`. Returns the number of bytes written, or 0
// when the result would not fit in `capacity` bytes (nothing useful is then
// in out). No terminator is written.
int32_t Utf16ToCp932(const char16_t* units, int32_t count, uint8_t* out,
                     int32_t capacity);

}  // namespace kebu
