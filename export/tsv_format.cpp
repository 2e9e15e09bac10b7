// One record as a line of tab-separated values (see record_lines.h).
#include <charconv>
#include <string_view>

#include "codec/utf8.h"
#include "dictionary/dic_text.h"
#include "export/record_lines.h"

namespace kebu {

namespace {

// The text as UTF-8 with TAB, LF, CR and backslash escaped.
char* WriteEscaped(char* out, std::u16string_view text) {
  const char16_t* run = text.data();
  const char16_t* const end = run + text.size();
  for (const char16_t* p = run; p < end; ++p) {
    char escape;
    switch (*p) {
      case u'\t': escape = 't'; break;
      case u'\n': escape = 'n'; break;
      case u'\r': escape = 'r'; break;
      case u'\\': escape = '\\'; break;
      default: continue;
    }
    out += Utf16ToUtf8(run, static_cast<uint32_t>(p - run), reinterpret_cast<uint8_t*>(out));
    *out++ = '\\';
    *out++ = escape;
    run = p + 1;
  }
  return out + Utf16ToUtf8(run, static_cast<uint32_t>(end - run), reinterpret_cast<uint8_t*>(out));
}

// The headword as `kebu make` takes it back: in a version-6 dictionary the
// display form alone when the search form is that form folded.
std::u16string_view TsvHeadword(std::u16string_view headword, int32_t versionMajor) {
  const std::u16string_view display = DisplayHeadword(headword, versionMajor);
  if (display.size() == headword.size()) return headword;
  const std::u16string_view search = headword.substr(0, headword.size() - display.size() - 1);
  return FoldKey(display) == search ? display : headword;
}

}  // namespace

char* WriteTsvLine(char* out, const RecordText& text, int32_t versionMajor) {
  out = WriteEscaped(out, TsvHeadword(text.headword, versionMajor));
  *out++ = '\t';
  out = WriteEscaped(out, text.translation);
  *out++ = '\t';
  out = WriteEscaped(out, text.example);
  *out++ = '\t';
  out = WriteEscaped(out, text.pronunciation);
  *out++ = '\t';
  out = std::to_chars(out, out + 12, text.attribute).ptr;
  *out++ = '\n';
  return out;
}

}  // namespace kebu
