// Code page 932 (Shift-JIS with the Windows extensions) <-> UTF-16.
//
// Decoding: bytes 00-7F map to U+0000-U+007F (5C stays the backslash), A1-DF
// to the half-width katakana U+FF61-U+FF9F; a lead byte (81-9F, E0-FC) with a
// trail byte (40-7E, 80-FC) maps through the table. A byte or pair that the
// code page leaves undefined (80, A0, FD-FF, an unassigned pair, a lead byte
// with a bad trail byte or at the end of the input) decodes to U+FFFD; after
// a lead byte with a bad trail byte, the trail byte is decoded on its own.
//
// Encoding: a character with several codes (the NEC row 87, the
// NEC-selected IBM rows ED-EE and the IBM rows FA-FC repeat characters)
// takes the first code in byte order, except that the IBM rows win over the
// NEC-selected rows: that is how dictionaries made on Windows store such
// characters. Utf16ToCp932 (keys to look up) encodes characters the code
// page lacks to '?' (3F); a surrogate pair is one character and becomes one
// '?', and so does a lone surrogate. Six look-alikes encode one way to the
// code of another character (U+00A2, U+00A3, U+00AC, U+2016, U+2212, U+301C
// to the codes of U+FFE0, U+FFE1, U+FFE2, U+2225, U+FF0D, U+FF5E), and
// U+0080, U+F8F0-F8F3 encode to the single bytes 80, A0, FD-FF, which decode
// to U+FFFD. Utf16ToCp932Exact (texts to store) writes '?' for those too.
// The tables come from tools/gen_cp932_tables.py (cp932_tables.cpp).
#pragma once

#include <cstddef>
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

// Encodes for storage (the dictionary writer): a character is written only
// when Cp932ToUtf16 reads its code back as the same character, so that a
// text comes back exactly. Every other character (one the code page lacks,
// a look-alike, U+0080 and U+F8F0-F8F3, a surrogate pair, a lone surrogate)
// becomes one '?' and is counted in *substitutions. `out` has room for two
// bytes a unit. Returns the number of bytes written (no terminator).
uint32_t Utf16ToCp932Exact(const char16_t* units, uint32_t count, uint8_t* out,
                           size_t* substitutions);

}  // namespace kebu
