// The byte test of full-text search: is a probe (a byte string with a
// second choice for each byte: a letter in either case) in a text, or one of
// the bytes that force a text to be decoded? Sixteen bytes at a step where
// SSE2 is there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kebu {

// Bytes that, when a text holds them, let the query hide from the probes.
enum class ByteClass : uint8_t {
  kNone,
  kCp932FullWidth,  // 82 followed by 4F-9A: a full-width letter or digit
  kBocuReset,       // FF: a BOCU-1 reset, which decodes to no unit
  kBocuNonAscii,    // 21-4F, D0-FF: BOCU-1 anything but ASCII, or a reset
};

namespace byte_scan_detail {

inline bool InClass(ByteClass kind, const uint8_t* p, size_t i, size_t n) {
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

// Whether the probe stands at p: each byte p[k] is probe[k] or other[k].
inline bool ProbeAt(const uint8_t* p, const uint8_t* probe, const uint8_t* other, size_t m) {
  for (size_t k = 0; k < m; ++k) {
    if (p[k] != probe[k] && p[k] != other[k]) return false;
  }
  return true;
}

}  // namespace byte_scan_detail

// Whether the n bytes at p hold a byte of class `kind`.
inline bool HasHiddenBytes(ByteClass kind, const uint8_t* p, size_t n) {
  using byte_scan_detail::InClass;
  if (kind == ByteClass::kNone) return false;
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time; the pair test of code page 932 looks one byte
  // further, so it stops a byte earlier.
  const size_t reach = kind == ByteClass::kCp932FullWidth ? 17 : 16;
  for (; i + reach <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i hit;
    if (kind == ByteClass::kCp932FullWidth) {
      const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
      const __m128i shifted = _mm_sub_epi8(next, _mm_set1_epi8(0x4F));
      const __m128i inRange =
          _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8(0x9A - 0x4F)), shifted);
      hit = _mm_and_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(0x82))), inRange);
    } else if (kind == ByteClass::kBocuReset) {
      hit = _mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(0xFF)));
    } else {
      // ASCII: 00-20, or 50-CF (a difference from the ASCII reference point).
      const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(0x20)), x);
      const __m128i diff = _mm_cmpgt_epi8(_mm_sub_epi8(x, _mm_set1_epi8(0x50)), _mm_set1_epi8(-1));
      hit = _mm_andnot_si128(_mm_or_si128(low, diff), _mm_set1_epi8(-1));
    }
    if (_mm_movemask_epi8(hit) != 0) return true;
  }
#endif
  for (; i < n; ++i) {
    if (InClass(kind, p, i, n)) return true;
  }
  return false;
}

// Whether the n bytes at p hold the m-byte probe (m >= 1).
inline bool FindProbe(const uint8_t* p, size_t n, const uint8_t* probe, const uint8_t* other,
                      size_t m) {
  using byte_scan_detail::ProbeAt;
  if (m == 0 || n < m) return m == 0;
  size_t i = 0;
#if defined(__SSE2__)
  // Candidates where the first and the last byte of the probe stand at the
  // right distance, then the whole probe compared.
  const size_t last = m - 1;
  const __m128i first = _mm_set1_epi8(static_cast<char>(probe[0]));
  const __m128i firstOther = _mm_set1_epi8(static_cast<char>(other[0]));
  const __m128i end = _mm_set1_epi8(static_cast<char>(probe[last]));
  const __m128i endOther = _mm_set1_epi8(static_cast<char>(other[last]));
  for (; i + last + 16 <= n; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + last));
    const __m128i atFirst = _mm_or_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(a, firstOther));
    const __m128i atEnd = _mm_or_si128(_mm_cmpeq_epi8(b, end), _mm_cmpeq_epi8(b, endOther));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(atFirst, atEnd)));
    while (mask != 0) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      if (ProbeAt(p + i + bit, probe, other, m)) return true;
      mask &= mask - 1;
    }
  }
#endif
  for (; i + m <= n; ++i) {
    if ((p[i] == probe[0] || p[i] == other[0]) && ProbeAt(p + i, probe, other, m)) return true;
  }
  return false;
}

}  // namespace kebu
