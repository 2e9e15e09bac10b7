#include "cli/json.h"

#include <cstdio>

#include "codec/utf8.h"

namespace kebu {

namespace {

void AppendEscape(std::string& out, unsigned unit) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", unit);
  out += escape;
}

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

void AppendJsonString(std::string& out, std::u16string_view view) {
  out += '"';
  const char16_t* text = view.data();
  const char16_t* const end = text + view.size();
  const char16_t* run = text;  // start of units that go out as UTF-8
  auto flush = [&](const char16_t* end) {
    if (end > run) {
      const size_t at = out.size();
      out.resize(at + 3 * static_cast<size_t>(end - run));
      const uint32_t n = Utf16ToUtf8(run, static_cast<uint32_t>(end - run),
                                     reinterpret_cast<uint8_t*>(&out[at]));
      out.resize(at + n);
    }
  };
  const char16_t* p = text;
  for (; p < end; ++p) {
    const char16_t u = *p;
    if (u >= 0x20 && u != u'"' && u != u'\\' && !IsHigh(u) && !IsLow(u)) continue;
    if (IsHigh(u) && p + 1 < end && IsLow(p[1])) {
      ++p;  // a valid pair stays in the run
      continue;
    }
    flush(p);
    switch (u) {
      case u'"': out += "\\\""; break;
      case u'\\': out += "\\\\"; break;
      case u'\n': out += "\\n"; break;
      case u'\r': out += "\\r"; break;
      case u'\t': out += "\\t"; break;
      default: AppendEscape(out, u); break;
    }
    run = p + 1;
  }
  flush(p);
  out += '"';
}

}  // namespace kebu
