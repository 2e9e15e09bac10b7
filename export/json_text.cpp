#include "export/json_text.h"

#include <cstdint>

#include "codec/utf8.h"

namespace kebu {

namespace {

bool IsHigh(char16_t u) { return (u & 0xFC00) == 0xD800; }
bool IsLow(char16_t u) { return (u & 0xFC00) == 0xDC00; }

}  // namespace

char* WriteJsonString(char* out, std::u16string_view view) {
  static constexpr char kHex[] = "0123456789abcdef";
  *out++ = '"';
  const char16_t* const end = view.data() + view.size();
  const char16_t* run = view.data();  // start of units that go out as UTF-8
  auto flush = [&](const char16_t* stop) {
    if (stop > run) {
      out += Utf16ToUtf8(run, static_cast<uint32_t>(stop - run), reinterpret_cast<uint8_t*>(out));
    }
  };
  const char16_t* p = view.data();
  for (; p < end; ++p) {
    const char16_t u = *p;
    if (u >= 0x20 && u != u'"' && u != u'\\' && (u & 0xF800) != 0xD800) continue;
    if (IsHigh(u) && p + 1 < end && IsLow(p[1])) {
      ++p;  // a valid pair stays in the run
      continue;
    }
    flush(p);
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
    run = p + 1;
  }
  flush(p);
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
