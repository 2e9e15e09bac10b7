#include "export/json_text.h"

#include <cstdint>
#include <cstring>

#include "codec/utf8.h"

namespace kebu {

namespace {

bool IsHigh(char16_t u) { return (u & 0xFC00) == 0xD800; }
bool IsLow(char16_t u) { return (u & 0xFC00) == 0xDC00; }

}  // namespace

// Whether none of four UTF-16 units needs more than a byte copied: all
// ASCII, none a control character (DEL included), a quote or a backslash
// (each lane is checked for "below 0x20" and "equal" by the carry of a
// subtraction).
inline bool FourPlain(uint64_t four) {
  constexpr uint64_t kOnes = 0x0001000100010001ull;
  constexpr uint64_t kHigh = 0x8000800080008000ull;
  if (four & 0xFF80FF80FF80FF80ull) return false;
  const uint64_t below = (four - 0x20 * kOnes) & ~four & kHigh;
  const uint64_t quote = four ^ ('"' * kOnes);
  const uint64_t backslash = four ^ ('\\' * kOnes);
  const uint64_t del = four ^ (0x7F * kOnes);
  const uint64_t equal =
      ((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash) | ((del - kOnes) & ~del);
  return ((below | equal) & kHigh) == 0;
}

// DEL and the C1 controls, which JSON allows raw but a terminal acts on.
inline bool DelOrC1(char16_t u) { return u >= 0x7F && u <= 0x9F; }

char* WriteJsonString(char* out, std::u16string_view view) {
  static constexpr char kHex[] = "0123456789abcdef";
  *out++ = '"';
  const char16_t* p = view.data();
  const char16_t* const end = p + view.size();
  while (p < end) {
    // Plain ASCII, four units at a time, then one at a time.
    uint64_t four;
    while (end - p >= 4 && (std::memcpy(&four, p, 8), FourPlain(four))) {
      // The low byte of each unit, stored at once (little-endian lanes).
      const uint32_t bytes = static_cast<uint32_t>((four & 0xFF) | ((four >> 8) & 0xFF00) |
                                                   ((four >> 16) & 0xFF0000) |
                                                   ((four >> 24) & 0xFF000000));
      std::memcpy(out, &bytes, 4);
      out += 4;
      p += 4;
    }
    const char16_t* const run = p;  // units that go out as UTF-8
    while (p < end && *p >= 0x20 && *p != u'"' && *p != u'\\' && (*p & 0xF800) != 0xD800 &&
           !DelOrC1(*p)) {
      ++p;
    }
    if (p < end && IsHigh(*p) && p + 1 < end && IsLow(p[1])) p += 2;  // a valid pair
    if (p > run) {
      out += Utf16ToUtf8(run, static_cast<uint32_t>(p - run), reinterpret_cast<uint8_t*>(out));
      continue;
    }
    if (p == end) break;
    const char16_t u = *p++;
    *out++ = '\\';
    switch (u) {
      case u'"': *out++ = '"'; break;
      case u'\\': *out++ = '\\'; break;
      case u'\n': *out++ = 'n'; break;
      case u'\r': *out++ = 'r'; break;
      case u'\t': *out++ = 't'; break;
      default:
        *out++ = 'u';
        for (int shift = 12; shift >= 0; shift -= 4) *out++ = kHex[(u >> shift) & 0xF];
        break;
    }
  }
  *out++ = '"';
  return out;
}

void AppendJsonString(std::string& out, std::u16string_view text) {
  const size_t at = out.size();
  out.resize(at + 2 + kJsonBytesPerUnit * text.size());
  char* const end = WriteJsonString(out.data() + at, text);
  out.resize(static_cast<size_t>(end - out.data()));
}

}  // namespace kebu
