#include "search/text_decode.h"

#include <cstring>
#include <memory>

#include "codec/cp932.h"
#include "search/fold.h"

namespace kebu {

namespace {

constexpr int kTrails = 189;         // trail bytes 40-FC of a lead byte
constexpr char16_t kLeadMark = 0;    // in the single-byte table: a lead byte

// Code page 932 as two tables, made once from the codec's own decoding, with
// the units folded or not: one unit per single byte, and one per pair of a
// lead byte (81-9F, E0-FC) and a trail byte (40-FC).
struct Cp932Tables {
  char16_t single[256];
  char16_t pairs[60 * kTrails];
  explicit Cp932Tables(bool fold) {
    for (unsigned b = 0; b < 256; ++b) {
      const uint8_t byte = static_cast<uint8_t>(b);
      char16_t u = 0;
      Cp932ToUtf16(&byte, 1, &u, 1);
      const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
      single[b] = lead ? kLeadMark : fold ? FoldSearchUnit(u) : u;
    }
    for (int row = 0; row < 60; ++row) {
      for (int t = 0; t < kTrails; ++t) {
        const uint8_t pair[2] = {static_cast<uint8_t>(row < 31 ? 0x81 + row : 0xE0 + row - 31),
                                 static_cast<uint8_t>(0x40 + t)};
        char16_t u = 0xFFFD;
        if (pair[1] != 0x7F) Cp932ToUtf16(pair, 2, &u, 1);
        pairs[row * kTrails + t] = fold ? FoldSearchUnit(u) : u;
      }
    }
  }
};

const Cp932Tables& Tables(bool fold) {
  static const auto folded = std::make_unique<Cp932Tables>(true);
  static const auto exact = std::make_unique<Cp932Tables>(false);
  return fold ? *folded : *exact;
}

size_t DecodeCp932(bool fold, const uint8_t* p, size_t length, char16_t* out) {
  // A zero unit comes only from a zero byte, which is never a trail byte.
  const void* zero = std::memchr(p, 0, length);
  const uint8_t* const end = zero != nullptr ? static_cast<const uint8_t*>(zero) : p + length;
  const Cp932Tables& tables = Tables(fold);
  char16_t* o = out;
  while (p < end) {
    const uint8_t b = *p++;
    char16_t u = tables.single[b];
    if (u == kLeadMark) {
      const unsigned t = p < end ? *p : 0u;
      if (t >= 0x40 && t <= 0xFC && t != 0x7F) {
        u = tables.pairs[(b < 0xE0 ? b - 0x81 : b - 0xE0 + 31) * kTrails + (t - 0x40)];
        ++p;
      } else {
        u = 0xFFFD;  // a lead byte without its trail byte
      }
    }
    *o++ = u;
  }
  return static_cast<size_t>(o - out);
}

// BOCU-1, as Bocu1DecodeUnits decodes it: bytes 50-CF are differences of
// -64..63 from the reference point, 00-20 stand for themselves, FF resets,
// the others lead a difference of two to four bytes. An illegal byte or a
// code point out of range ends the text, and so does a zero unit.
constexpr int32_t kT = 243;
constexpr int32_t kAscii = 0x40;

// Trail value of the bytes 00-20; -1 where a control never trails.
constexpr int8_t kLowTrail[0x21] = {-1, 0,  1,  2,  3,  4,  5,  -1, -1, -1, -1,
                                    -1, -1, -1, -1, -1, 6,  7,  8,  9,  10, 11,
                                    12, 13, 14, 15, -1, -1, 16, 17, 18, 19, -1};

inline int32_t NextPrev(int32_t c) {
  if (c < 0x3040) return (c & ~0x7F) + kAscii;
  if (c <= 0x309F) return 0x3070;
  if (c >= 0x4E00 && c <= 0x9FA5) return 0x7711;
  if (c >= 0xAC00 && c <= 0xD7A3) return 0xC1D1;
  return (c & ~0x7F) + kAscii;
}

// Lead bytes of differences of two to four bytes: the difference before
// the trail bytes, and how many trail bytes follow (0: not such a lead).
struct Lead {
  int32_t base = 0;
  int32_t count = 0;
};
struct Bocu1Tables {
  Lead leads[256];
  int16_t trails[256];  // the value a trail byte carries, -1 for none
  Bocu1Tables() {
    for (int32_t b = 0; b < 256; ++b) {
      trails[b] = static_cast<int16_t>(b <= 0x20 ? kLowTrail[b] : b - 13);
      Lead& l = leads[b];
      if (b >= 0xD0 && b < 0xFB) l = {(b - 0xD0) * kT + 64, 1};
      else if (b >= 0xFB && b < 0xFE) l = {(b - 0xFB) * kT * kT + 63 + 43 * kT + 1, 2};
      else if (b == 0xFE) l = {63 + 43 * kT + 3 * kT * kT + 1, 3};
      else if (b >= 0x25 && b < 0x50) l = {(b - 0x50) * kT - 64, 1};
      else if (b > 0x21 && b < 0x25) l = {(b - 0x25) * kT * kT - 64 - 43 * kT, 2};
      else if (b == 0x21) l = {-kT * kT * kT - 64 - 43 * kT - 3 * kT * kT, 3};
    }
  }
};

template <bool kFold>
inline char16_t Out(int32_t c) {
  return kFold ? FoldSearchUnit(static_cast<char16_t>(c)) : static_cast<char16_t>(c);
}

template <bool kFold>
size_t DecodeBocu1(const uint8_t* p, size_t length, char16_t* out) {
  static const Bocu1Tables tables;
  const uint8_t* const end = p + length;
  char16_t* o = out;
  int32_t prev = kAscii;
  while (p < end) {
    const uint32_t b = *p++;
    int32_t c;
    if (b - 0x50 < 0x80) {
      c = prev + static_cast<int32_t>(b) - 0x90;
      if (prev == kAscii) {
        // ASCII from the ASCII reference point, which it leaves where it is.
        if (c == 0) break;
        *o++ = Out<kFold>(c);
        continue;
      }
    } else if (const Lead lead = tables.leads[b]; lead.count != 0) {
      if (end - p < lead.count) break;  // the sequence is not whole: nothing comes of it
      int32_t trails = 0;
      int32_t legal = 0;
      for (int32_t i = 0; i < lead.count; ++i) {
        const int32_t v = tables.trails[*p++];
        legal |= v;
        trails = trails * kT + v;
      }
      if (legal < 0) break;  // a byte that never trails: the text ends
      c = prev + lead.base + trails;
      if (c < 0 || c > 0x10FFFF) break;
    } else if (b == 0xFF) {
      prev = kAscii;
      continue;
    } else {
      // 00-20 stand for themselves; all but the space reset.
      if (b == 0) break;
      if (b != 0x20) prev = kAscii;
      *o++ = static_cast<char16_t>(b);
      continue;
    }
    if (c == 0) break;
    prev = NextPrev(c);
    if (c <= 0xFFFF) {
      *o++ = Out<kFold>(c);
    } else {
      *o++ = static_cast<char16_t>(0xD7C0 + (c >> 10));
      *o++ = static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    }
  }
  return static_cast<size_t>(o - out);
}

}  // namespace

size_t DecodeForSearch(bool bocu, bool fold, const uint8_t* bytes, size_t length, char16_t* out) {
  if (bocu) return fold ? DecodeBocu1<true>(bytes, length, out) : DecodeBocu1<false>(bytes, length, out);
  return DecodeCp932(fold, bytes, length, out);
}

}  // namespace kebu
