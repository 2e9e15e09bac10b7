#include "search/byte_scan.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kebu {

namespace {

// Whether the probe stands at p: each byte is the probe's or its other one.
bool ProbeAt(const uint8_t* p, const ProbeBytes& probe) {
  for (size_t k = 0; k < probe.m; ++k) {
    if (p[k] != probe.bytes[k] && p[k] != probe.other[k]) return false;
  }
  return true;
}

// Whether a class byte stands at p[i] (of n).
template <ByteClass kKind>
inline bool InClass(const uint8_t* p, size_t i, size_t n) {
  const uint8_t b = p[i];
  if constexpr (kKind == ByteClass::kCp932FullWidth) {
    return b == 0x82 && i + 1 < n && p[i + 1] >= 0x4F && p[i + 1] <= 0x9A;
  } else if constexpr (kKind == ByteClass::kBocuReset) {
    return b == 0xFF;
  } else if constexpr (kKind == ByteClass::kBocuNonAscii) {
    return (b >= 0x21 && b <= 0x4F) || b >= 0xD0;
  }
  return false;
}

// Byte by byte: short texts, long probes, and where SSE2 is missing.
template <ByteClass kKind>
bool Scalar(const ProbeBytes* probes, size_t count, const uint8_t* p, size_t n) {
  if (count == 1) {
    const ProbeBytes& probe = probes[0];
    const uint8_t first = probe.bytes[0], other = probe.other[0];
    for (size_t i = 0; i < n; ++i) {
      if (InClass<kKind>(p, i, n)) return true;
      if ((p[i] == first || p[i] == other) && i + probe.m <= n && ProbeAt(p + i, probe)) return true;
    }
    return false;
  }
  for (size_t i = 0; i < n; ++i) {
    if (InClass<kKind>(p, i, n)) return true;
    for (size_t k = 0; k < count; ++k) {
      if (i + probes[k].m <= n && ProbeAt(p + i, probes[k])) return true;
    }
  }
  return false;
}

bool MayHoldScalar(ByteClass kind, const ProbeBytes* probes, size_t count, const uint8_t* p,
                   size_t n) {
  switch (kind) {
    case ByteClass::kCp932FullWidth: return Scalar<ByteClass::kCp932FullWidth>(probes, count, p, n);
    case ByteClass::kBocuReset: return Scalar<ByteClass::kBocuReset>(probes, count, p, n);
    case ByteClass::kBocuNonAscii: return Scalar<ByteClass::kBocuNonAscii>(probes, count, p, n);
    default: return Scalar<ByteClass::kNone>(probes, count, p, n);
  }
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

// Marks over [0, to) of p (loads up to `to + reach`), bits from `base` on;
// kOne: count is 1, and the probe's constants stay in registers.
template <ByteClass kKind, bool kOne>
void MarkSteps(const ProbeBytes* probes, size_t count, const uint8_t* p, size_t to, size_t n,
               size_t base, uint64_t* marks) {
  const Ends one(probes[0]);
  for (size_t i = 0; i < to; i += 16) {
    const size_t at = base + i;
    if constexpr (kKind != ByteClass::kNone) {
      marks[at >> 6] |= static_cast<uint64_t>(ClassMask<kKind>(p + i)) << (at & 63);
    }
    for (size_t k = 0; k < (kOne ? 1 : count); ++k) {
      for (unsigned mask = kOne ? one.Mask(p + i) : Ends(probes[k]).Mask(p + i); mask != 0;
           mask &= mask - 1) {
        const size_t start = i + static_cast<size_t>(__builtin_ctz(mask));
        if (start + probes[k].m > n || !ProbeAt(p + start, probes[k])) continue;
        const size_t last = base + start + probes[k].m - 1;
        marks[last >> 6] |= uint64_t{1} << (last & 63);
      }
    }
  }
}

template <ByteClass kKind>
void MarkSteps(const ProbeBytes* probes, size_t count, const uint8_t* p, size_t to, size_t n,
               size_t base, uint64_t* marks) {
  if (count == 1) return MarkSteps<kKind, true>(probes, count, p, to, n, base, marks);
  MarkSteps<kKind, false>(probes, count, p, to, n, base, marks);
}

template <ByteClass kKind>
void MarkAreaSse(const ProbeBytes* probes, size_t count, const uint8_t* p, size_t n,
                 size_t reach, uint64_t* marks) {
  const size_t inPlace = n >= reach ? (n - reach) / 16 * 16 + 16 : 0;
  MarkSteps<kKind>(probes, count, p, inPlace, n, 0, marks);
  if (inPlace >= n) return;
  uint8_t rest[256];
  const size_t left = n - inPlace;
  std::memcpy(rest, p + inPlace, left);
  std::memset(rest + left, 0, reach + 16);
  MarkSteps<kKind>(probes, count, rest, left, left, inPlace, marks);
}

#endif

template <ByteClass kKind>
void MarkScalar(const ProbeBytes* probes, size_t count, const uint8_t* p, size_t n,
                uint64_t* marks) {
  for (size_t i = 0; i < n; ++i) {
    if (InClass<kKind>(p, i, n)) marks[i >> 6] |= uint64_t{1} << (i & 63);
    for (size_t k = 0; k < count; ++k) {
      if (i + probes[k].m <= n && ProbeAt(p + i, probes[k])) {
        const size_t last = i + probes[k].m - 1;
        marks[last >> 6] |= uint64_t{1} << (last & 63);
      }
    }
  }
}

template <ByteClass kKind>
void Mark(const ProbeBytes* probes, size_t count, const uint8_t* p, size_t n, uint64_t* marks) {
#if defined(__SSE2__)
  size_t reach = 17;
  for (size_t k = 0; k < count; ++k) reach = std::max(reach, probes[k].m + 15);
  if (reach + 16 <= 128) return MarkAreaSse<kKind>(probes, count, p, n, reach, marks);
#endif
  MarkScalar<kKind>(probes, count, p, n, marks);
}

}  // namespace

void MarkArea(ByteClass kind, const ProbeBytes* probes, size_t count, const uint8_t* p, size_t n,
              std::vector<uint64_t>* marks) {
  // Room for every bit and for the steps' last 16 bits past n.
  marks->assign(n / 64 + 2, 0);
  switch (kind) {
    case ByteClass::kCp932FullWidth: return Mark<ByteClass::kCp932FullWidth>(probes, count, p, n, marks->data());
    case ByteClass::kBocuReset: return Mark<ByteClass::kBocuReset>(probes, count, p, n, marks->data());
    case ByteClass::kBocuNonAscii: return Mark<ByteClass::kBocuNonAscii>(probes, count, p, n, marks->data());
    default: return Mark<ByteClass::kNone>(probes, count, p, n, marks->data());
  }
}

bool MayHold(ByteClass kind, const ProbeBytes* probes, size_t count, const uint8_t* p, size_t n) {
#if defined(__SSE2__)
  // A step loads 16 bytes at its start, one further for code page 932
  // pairs, and at m - 1 further for each probe.
  size_t reach = 17;
  for (size_t k = 0; k < count; ++k) reach = std::max(reach, probes[k].m + 15);
  constexpr size_t kPad = 128;
  // Short texts (most headwords) cost less byte by byte than copied.
  if (n < 16 || reach + 16 > kPad) return MayHoldScalar(kind, probes, count, p, n);
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
