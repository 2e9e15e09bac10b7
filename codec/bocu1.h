// BOCU-1: decoding (one decoder state per string, bounded UTF-16 output) and
// encoding.
#pragma once

#include <cstdint>

namespace kebu {

// Decoder state. A zeroed state is the initial state: the first byte sets
// prev to 0x40 before it is decoded.
struct Bocu1Decoder {
  int32_t prev = 0;   // reference code point; 0 until the first byte
  int32_t count = 0;  // trail bytes still needed by the current sequence
  int32_t diff = 0;   // difference gathered so far by lead and trail bytes

  // Feeds one byte. Returns a code point (0..0x10FFFF) when one is complete,
  // -1 when the byte was taken and nothing is complete yet, and -99 when the
  // byte was illegal (the state is then reset to prev 0x40, count 0).
  int32_t Decode(uint8_t byte);
};

// Decodes `length` BOCU-1 bytes into `out`, zero-terminated, writing at most
// capacity - 1 units before the terminator (capacity >= 1). Stops at the
// first illegal byte. A code point above U+FFFF becomes a surrogate pair when
// two units of room are left before the terminator; otherwise the text ends
// before it. Returns the number of units written before the terminator.
int32_t Bocu1DecodeUnits(const uint8_t* bytes, int32_t length, char16_t* out,
                         int32_t capacity);

// Encodes `count` UTF-16 units as one BOCU-1 string from the initial state
// (reference point 0x40) into `out`, which has room for three bytes a unit;
// no reset byte is added at the end. A surrogate pair is one code point; a
// lone surrogate is encoded as the code point of its value, so that
// Bocu1DecodeUnits gives every unit back. Returns the number of bytes.
uint32_t Utf16ToBocu1(const char16_t* units, uint32_t count, uint8_t* out);

}  // namespace kebu
