// UTF-16 <-> UTF-8 for the export and the tools.
#include "codec/utf8.h"

#include <cstdio>
#include <cstring>

namespace kebu {
namespace {

constexpr uint64_t kNonAscii4 = 0xFF80FF80FF80FF80ull;  // four units, any >= 0x80

inline bool IsHigh(char16_t u) { return (u & 0xFC00) == 0xD800; }
inline bool IsLow(char16_t u) { return (u & 0xFC00) == 0xDC00; }

// One loop for both modes, so the count without a buffer cannot drift from
// the count with one.
template <bool kWrite>
inline uint32_t Encode(const char16_t* p, uint32_t count, uint8_t* out) {
  const char16_t* const end = p + count;
  uint32_t n = 0;
  while (p < end) {
    // ASCII run, four units at a time.
    while (end - p >= 4) {
      uint64_t four;
      std::memcpy(&four, p, 8);
      if (four & kNonAscii4) break;
      if constexpr (kWrite) {
        out[n] = static_cast<uint8_t>(p[0]);
        out[n + 1] = static_cast<uint8_t>(p[1]);
        out[n + 2] = static_cast<uint8_t>(p[2]);
        out[n + 3] = static_cast<uint8_t>(p[3]);
      }
      n += 4;
      p += 4;
    }
    if (p == end) break;
    const uint32_t u = *p++;
    if (u < 0x80) {
      if constexpr (kWrite) out[n] = static_cast<uint8_t>(u);
      n += 1;
    } else if (u < 0x800) {
      if constexpr (kWrite) {
        out[n] = static_cast<uint8_t>(0xC0 | (u >> 6));
        out[n + 1] = static_cast<uint8_t>(0x80 | (u & 0x3F));
      }
      n += 2;
    } else if ((u & 0xF800) != 0xD800) {
      if constexpr (kWrite) {
        out[n] = static_cast<uint8_t>(0xE0 | (u >> 12));
        out[n + 1] = static_cast<uint8_t>(0x80 | ((u >> 6) & 0x3F));
        out[n + 2] = static_cast<uint8_t>(0x80 | (u & 0x3F));
      }
      n += 3;
    } else if (IsHigh(static_cast<char16_t>(u)) && p < end && IsLow(*p)) {
      const uint32_t c = 0x10000 + ((u - 0xD800) << 10) + (*p++ - 0xDC00);
      if constexpr (kWrite) {
        out[n] = static_cast<uint8_t>(0xF0 | (c >> 18));
        out[n + 1] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
        out[n + 2] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
        out[n + 3] = static_cast<uint8_t>(0x80 | (c & 0x3F));
      }
      n += 4;
    } else {  // lone surrogate
      if constexpr (kWrite) {
        out[n] = 0xEF;
        out[n + 1] = 0xBF;
        out[n + 2] = 0xBD;
      }
      n += 3;
    }
  }
  return n;
}

}  // namespace

uint32_t Utf16ToUtf8(const char16_t* units, uint32_t count, uint8_t* out) {
  return out ? Encode<true>(units, count, out) : Encode<false>(units, count, nullptr);
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string s(text.size() * 3, '\0');
  s.resize(Encode<true>(text.data(), static_cast<uint32_t>(text.size()),
                        reinterpret_cast<uint8_t*>(s.data())));
  return s;
}

namespace {

// The sequence at p (p < end): its code point, or -1 for an ill-formed one
// (p then moves over its maximal subpart, or over a whole encoded surrogate).
int32_t NextCodePoint(const uint8_t*& p, const uint8_t* end) {
  const uint32_t b = *p++;
  if (b < 0x80) return static_cast<int32_t>(b);
  int trail;
  uint32_t c, lo = 0x80, hi = 0xBF;  // range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    trail = 1, c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    trail = 2, c = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
  } else if (b >= 0xF0 && b <= 0xF4) {
    trail = 3, c = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return -1;
  }
  if (p == end || *p < lo || *p > hi) return -1;
  int i = 0;
  for (; i < trail && p < end && (*p & 0xC0) == 0x80; ++i) c = (c << 6) | (*p++ & 0x3F);
  if (i < trail || (c >= 0xD800 && c <= 0xDFFF)) return -1;
  return static_cast<int32_t>(c);
}

}  // namespace

// Ill-formed input gives one U+FFFD per maximal subpart of a sequence (the
// longest prefix of a well-formed sequence, or else one byte); an encoded
// surrogate ED A0-BF 80-BF is taken whole and gives one U+FFFD.
bool AppendUtf8AsUtf16(std::string_view text, std::u16string* out) {
  bool ok = true;
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  const uint8_t* const end = p + text.size();
  while (p < end) {
    if (*p < 0x80) {
      out->push_back(static_cast<char16_t>(*p++));
      continue;
    }
    const int32_t c = NextCodePoint(p, end);
    if (c < 0) {
      out->push_back(u'\uFFFD');
      ok = false;
    } else if (c <= 0xFFFF) {
      out->push_back(static_cast<char16_t>(c));
    } else {
      out->push_back(static_cast<char16_t>(0xD7C0 + (c >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
    }
  }
  return ok;
}

std::u16string Utf8ToUtf16(std::string_view text, bool* wellFormed) {
  std::u16string s;
  s.reserve(text.size());
  const bool ok = AppendUtf8AsUtf16(text, &s);
  if (wellFormed != nullptr) *wellFormed = ok;
  return s;
}

size_t FindBadUtf8(std::string_view text) {
  const auto* const begin = reinterpret_cast<const uint8_t*>(text.data());
  const uint8_t* const end = begin + text.size();
  for (const uint8_t* p = begin; p < end;) {
    const uint8_t* at = p;
    if (*p < 0x80) {
      ++p;
    } else if (NextCodePoint(p, end) < 0) {
      return static_cast<size_t>(at - begin);
    }
  }
  return std::string_view::npos;
}

void AppendVisibleUtf8(std::u16string_view text, std::string* out) {
  size_t run = 0;  // start of units that go out as they are
  for (size_t i = 0; i <= text.size(); ++i) {
    const char16_t u = i < text.size() ? text[i] : u'\t';
    const bool control = (u < 0x20 && u != u'\t' && u != u'\n') || (u >= 0x7F && u <= 0x9F);
    if (!control && i < text.size()) continue;
    *out += Utf16ToUtf8(text.substr(run, i - run));
    if (control) {
      char escape[8];
      std::snprintf(escape, sizeof escape, u < 0x80 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(u));
      *out += escape;
    }
    run = i + 1;
  }
}

}  // namespace kebu
