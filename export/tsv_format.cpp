// One record as a line of tab-separated values (see record_lines.h).
#include <algorithm>
#include <charconv>
#include <string_view>

#include "codec/utf8.h"
#include "dictionary/dic_text.h"
#include "dictionary/limits.h"
#include "export/record_lines.h"

namespace kebu {

namespace {

// Whether a unit is a control character that a terminal would act on.
bool Drives(char16_t u) { return u < 0x20 || (u >= 0x7F && u <= 0x9F); }

// The text as UTF-8 with TAB, LF, CR and backslash escaped (`visible`: the
// other control characters too, as \x1b or \u0085): runs of units that need
// no escape go to the UTF-8 encoder whole.
char* WriteEscaped(char* out, std::u16string_view text, bool visible) {
  static constexpr char kHex[] = "0123456789abcdef";
  const char16_t* p = text.data();
  const char16_t* const end = p + text.size();
  while (p < end) {
    const char16_t* const run = p;
    while (p < end && (*p >= 0x20 ? *p != u'\\' && !(visible && Drives(*p))
                                  : *p != u'\t' && *p != u'\n' && *p != u'\r' && !visible)) {
      ++p;
    }
    out += Utf16ToUtf8(run, static_cast<uint32_t>(p - run), reinterpret_cast<uint8_t*>(out));
    if (p == end) break;
    const char16_t u = *p++;
    *out++ = '\\';
    if (u == u'\t' || u == u'\n' || u == u'\r' || u == u'\\') {
      *out++ = u == u'\t' ? 't' : u == u'\n' ? 'n' : u == u'\r' ? 'r' : '\\';
    } else if (u < 0x80) {
      *out++ = 'x';
      *out++ = kHex[u >> 4];
      *out++ = kHex[u & 0xF];
    } else {
      *out++ = 'u';
      for (int shift = 12; shift >= 0; shift -= 4) *out++ = kHex[(u >> shift) & 0xF];
    }
  }
  return out;
}

// Whether `search` is FoldKey(display), unit by unit without making it (the
// kana that fold lie in U+30A1..U+30F6).
bool SearchFormOf(std::u16string_view display, std::u16string_view search) {
  const size_t n = std::min<size_t>(display.size(), kMaxFoldedKeyUnits);
  if (search.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char16_t u = display[i];
    if (u >= u'A' && u <= u'Z') {
      u = static_cast<char16_t>(u + 0x20);
    } else if (u == u'-') {
      u = u' ';
    } else if (u >= 0x30A1 && u <= 0x30F6 && FoldKana(u) != 0) {
      u = FoldKana(u);
    }
    if (search[i] != u) return false;
  }
  return true;
}

// The headword as `kebu make` takes it back: in a version-6 dictionary the
// display form alone when the search form is that form folded.
std::u16string_view TsvHeadword(std::u16string_view headword, int32_t versionMajor) {
  const std::u16string_view display = DisplayHeadword(headword, versionMajor);
  if (display.size() == headword.size()) return headword;
  const std::u16string_view search = headword.substr(0, headword.size() - display.size() - 1);
  return SearchFormOf(display, search) ? display : headword;
}

}  // namespace

char* WriteTsvLine(char* out, const RecordText& text, int32_t versionMajor, bool visible) {
  out = WriteEscaped(out, TsvHeadword(text.headword, versionMajor), visible);
  *out++ = '\t';
  out = WriteEscaped(out, text.translation, visible);
  *out++ = '\t';
  out = WriteEscaped(out, text.example, visible);
  *out++ = '\t';
  out = WriteEscaped(out, text.pronunciation, visible);
  *out++ = '\t';
  out = std::to_chars(out, out + 12, text.attribute).ptr;
  *out++ = '\n';
  return out;
}

}  // namespace kebu
