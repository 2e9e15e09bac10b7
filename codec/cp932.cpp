// Code page 932 <-> UTF-16 through the tables of cp932_tables.cpp.
#include "codec/cp932.h"

#include <cstring>

namespace kebu {
namespace cp932 {
extern const uint16_t kDecode[60 * 189];
extern const uint8_t kEncodeRow[256];
extern const uint16_t kEncode[][256];
}  // namespace cp932

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr int kTrails = 189;  // trail bytes 40-FC per lead byte

// Row of a lead byte in the decoding table, -1 for a byte that leads nothing.
constexpr int LeadRow(uint32_t b) {
  return b >= 0x81 && b <= 0x9F ? int(b - 0x81) : b >= 0xE0 && b <= 0xFC ? int(b - 0xE0 + 31) : -1;
}
inline bool IsTrail(uint32_t t) { return t >= 0x40 && t <= 0xFC && t != 0x7F; }

// What the decoder makes of one code of the encoding table (a byte below
// 0x100, else lead << 8 | trail).
char16_t DecodeCode(uint32_t code) {
  if (code < 0x80) return static_cast<char16_t>(code);
  if (code >= 0xA1 && code <= 0xDF) return static_cast<char16_t>(0xFF61 + code - 0xA1);
  const int row = LeadRow(code >> 8);
  if (row < 0 || !IsTrail(code & 0xFF)) return kReplacement;
  return cp932::kDecode[row * kTrails + ((code & 0xFF) - 0x40)];
}

}  // namespace

int32_t Cp932ToUtf16(const uint8_t* bytes, int32_t length, char16_t* out,
                     int32_t capacity) {
  if (length <= 0 || capacity <= 0) return 0;
  const uint8_t* p = bytes;
  const uint8_t* const end = bytes + length;
  int32_t n = 0;
  while (p < end && n < capacity) {
    // ASCII run, eight bytes at a time.
    while (end - p >= 8 && capacity - n >= 8) {
      uint64_t eight;
      std::memcpy(&eight, p, 8);
      if (eight & 0x8080808080808080ull) break;
      for (int k = 0; k < 8; ++k) out[n + k] = p[k];
      n += 8;
      p += 8;
    }
    if (p == end || n == capacity) break;
    const uint32_t b = *p++;
    char16_t u;
    if (b < 0x80) {
      u = static_cast<char16_t>(b);
    } else if (b >= 0xA1 && b <= 0xDF) {
      u = static_cast<char16_t>(0xFF61 + b - 0xA1);
    } else if (const int row = LeadRow(b); row >= 0 && p < end && IsTrail(*p)) {
      u = cp932::kDecode[row * kTrails + (*p++ - 0x40)];
    } else {
      u = kReplacement;  // 80, A0, FD-FF, or a lead byte without its trail byte
    }
    out[n++] = u;
  }
  return n;
}

int32_t Utf16ToCp932(const char16_t* units, int32_t count, uint8_t* out,
                     int32_t capacity) {
  if (count <= 0 || capacity <= 0) return 0;
  int32_t n = 0;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t u = units[i];
    if (u < 0x80) {
      if (n == capacity) return 0;
      out[n++] = static_cast<uint8_t>(u);
      continue;
    }
    uint32_t c;
    if ((u & 0xF800) == 0xD800) {
      // A surrogate pair is one character, a lone surrogate too.
      if (u < 0xDC00 && i + 1 < count && (units[i + 1] & 0xFC00) == 0xDC00) ++i;
      c = '?';
    } else {
      c = cp932::kEncode[cp932::kEncodeRow[u >> 8]][u & 0xFF];
      if (c == 0) c = '?';
    }
    if (c < 0x100) {
      if (n == capacity) return 0;
      out[n++] = static_cast<uint8_t>(c);
    } else {
      if (capacity - n < 2) return 0;
      out[n++] = static_cast<uint8_t>(c >> 8);
      out[n++] = static_cast<uint8_t>(c);
    }
  }
  return n;
}

uint32_t Utf16ToCp932Exact(const char16_t* units, uint32_t count, uint8_t* out,
                           size_t* substitutions) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t u = units[i];
    if (u < 0x80) {
      out[n++] = static_cast<uint8_t>(u);
      continue;
    }
    uint32_t c = 0;
    if ((u & 0xF800) == 0xD800) {
      // A surrogate pair is one character, a lone surrogate too.
      if (u < 0xDC00 && i + 1 < count && (units[i + 1] & 0xFC00) == 0xDC00) ++i;
    } else {
      c = cp932::kEncode[cp932::kEncodeRow[u >> 8]][u & 0xFF];
      if (c != 0 && DecodeCode(c) != u) c = 0;  // read back as another character
    }
    if (c == 0) {
      c = '?';
      ++*substitutions;
    }
    if (c >= 0x100) out[n++] = static_cast<uint8_t>(c >> 8);
    out[n++] = static_cast<uint8_t>(c);
  }
  return n;
}

}  // namespace kebu
