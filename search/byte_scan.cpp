#include "search/byte_scan.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kebu {

namespace {

bool InClass(ByteClass kind, const uint8_t* p, size_t i, size_t n) {
  const uint8_t b = p[i];
  switch (kind) {
    case ByteClass::kCp932FullWidth:
      return b == 0x82 && i + 1 < n && p[i + 1] >= 0x4F && p[i + 1] <= 0x9A;
    case ByteClass::kBocuReset:
      return b == 0xFF;
    case ByteClass::kBocuNonAscii:
      return (b >= 0x21 && b <= 0x4F) || b >= 0xD0;
    case ByteClass::kNone:
      break;
  }
  return false;
}

// Whether the probe stands at p: each byte is the probe's or its other one.
bool ProbeAt(const uint8_t* p, const ProbeBytes& probe) {
  for (size_t k = 0; k < probe.m; ++k) {
    if (p[k] != probe.bytes[k] && p[k] != probe.other[k]) return false;
  }
  return true;
}

bool MayHoldScalar(ByteClass kind, const ProbeBytes* probes, size_t count, const uint8_t* p,
                   size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (InClass(kind, p, i, n)) return true;
    for (size_t k = 0; k < count; ++k) {
      if (i + probes[k].m <= n && ProbeAt(p + i, probes[k])) return true;
    }
  }
  return false;
}

#if defined(__SSE2__)

inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Splat(uint8_t b) { return _mm_set1_epi8(static_cast<char>(b)); }

// Sixteen start positions from p on: bit j when a class byte stands at p+j
// (none do in the zero bytes behind a text).
template <ByteClass kKind>
inline unsigned ClassMask(const uint8_t* p) {
  if constexpr (kKind == ByteClass::kNone) return 0;
  const __m128i x = Load(p);
  __m128i hit;
  if constexpr (kKind == ByteClass::kCp932FullWidth) {
    const __m128i next = _mm_sub_epi8(Load(p + 1), Splat(0x4F));
    const __m128i inRange = _mm_cmpeq_epi8(_mm_min_epu8(next, Splat(0x9A - 0x4F)), next);
    hit = _mm_and_si128(_mm_cmpeq_epi8(x, Splat(0x82)), inRange);
  } else if constexpr (kKind == ByteClass::kBocuReset) {
    hit = _mm_cmpeq_epi8(x, Splat(0xFF));
  } else {
    // ASCII: 00-20, or 50-CF (a difference from the ASCII reference point).
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(x, Splat(0x20)), x);
    const __m128i diff = _mm_cmpgt_epi8(_mm_sub_epi8(x, Splat(0x50)), _mm_set1_epi8(-1));
    hit = _mm_andnot_si128(_mm_or_si128(low, diff), _mm_set1_epi8(-1));
  }
  return static_cast<unsigned>(_mm_movemask_epi8(hit));
}

// A probe's first and last bytes, both choices, ready for comparing.
struct Ends {
  __m128i first, firstOther, last, lastOther;
  size_t lastAt;
  explicit Ends(const ProbeBytes& p)
      : first(Splat(p.bytes[0])), firstOther(Splat(p.other[0])), last(Splat(p.bytes[p.m - 1])),
        lastOther(Splat(p.other[p.m - 1])), lastAt(p.m - 1) {}
  // Bit j when the first and last bytes stand at p+j and p+j+m-1.
  unsigned Mask(const uint8_t* p) const {
    const __m128i a = Load(p), b = Load(p + lastAt);
    const __m128i atFirst = _mm_or_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(a, firstOther));
    const __m128i atLast = _mm_or_si128(_mm_cmpeq_epi8(b, last), _mm_cmpeq_epi8(b, lastOther));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(atFirst, atLast)));
  }
};

// Steps of sixteen start positions over [0, to) of p, whose bytes may be
// loaded up to `to + reach`. A candidate is checked in full within n bytes.
template <ByteClass kKind>
bool Steps(const ProbeBytes* probes, size_t count, const uint8_t* p, size_t to, size_t n) {
  if (count == 1) {
    const Ends ends(probes[0]);
    for (size_t i = 0; i < to; i += 16) {
      if (ClassMask<kKind>(p + i) != 0) return true;
      for (unsigned mask = ends.Mask(p + i); mask != 0; mask &= mask - 1) {
        const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
        if (at + probes[0].m <= n && ProbeAt(p + at, probes[0])) return true;
      }
    }
    return false;
  }
  for (size_t i = 0; i < to; i += 16) {
    if (ClassMask<kKind>(p + i) != 0) return true;
    for (size_t k = 0; k < count; ++k) {
      for (unsigned mask = Ends(probes[k]).Mask(p + i); mask != 0; mask &= mask - 1) {
        const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
        if (at + probes[k].m <= n && ProbeAt(p + at, probes[k])) return true;
      }
    }
  }
  return false;
}

bool Steps(ByteClass kind, const ProbeBytes* probes, size_t count, const uint8_t* p, size_t to,
           size_t n) {
  switch (kind) {
    case ByteClass::kCp932FullWidth: return Steps<ByteClass::kCp932FullWidth>(probes, count, p, to, n);
    case ByteClass::kBocuReset: return Steps<ByteClass::kBocuReset>(probes, count, p, to, n);
    case ByteClass::kBocuNonAscii: return Steps<ByteClass::kBocuNonAscii>(probes, count, p, to, n);
    default: return Steps<ByteClass::kNone>(probes, count, p, to, n);
  }
}

#endif

}  // namespace

bool MayHold(ByteClass kind, const ProbeBytes* probes, size_t count, const uint8_t* p, size_t n) {
#if defined(__SSE2__)
  // A step loads 16 bytes at its start, one further for code page 932
  // pairs, and at m - 1 further for each probe.
  size_t reach = 17;
  for (size_t k = 0; k < count; ++k) reach = std::max(reach, probes[k].m + 15);
  constexpr size_t kPad = 128;
  if (reach + 16 > kPad) return MayHoldScalar(kind, probes, count, p, n);
  // Whole steps in place, then the rest from a copy with zeros behind it,
  // which no class byte and no probe byte is.
  const size_t inPlace = n >= reach ? (n - reach) / 16 * 16 + 16 : 0;
  if (inPlace > 0 && Steps(kind, probes, count, p, inPlace, n)) return true;
  if (inPlace >= n) return false;
  uint8_t rest[2 * kPad];
  const size_t left = n - inPlace;
  std::memcpy(rest, p + inPlace, left);
  std::memset(rest + left, 0, reach + 16);
  return Steps(kind, probes, count, rest, left, left);
#else
  return MayHoldScalar(kind, probes, count, p, n);
#endif
}

}  // namespace kebu
