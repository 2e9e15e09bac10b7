// UTF-16 <-> UTF-8 against ICU, and the terminal's visible escapes.
#include "codec/utf8.h"

#include <gtest/gtest.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <random>
#include <string>

namespace kebu {
namespace {

// Through the buffer form (checking that it writes no further than it says
// and that counting without a buffer agrees) and the string form.
std::string Encode(const std::u16string& s) {
  std::string out(s.size() * 3 + 4, '\xA5');
  const uint32_t n = Utf16ToUtf8(s.data(), uint32_t(s.size()), reinterpret_cast<uint8_t*>(&out[0]));
  EXPECT_EQ(out.find_first_not_of('\xA5', n), std::string::npos) << "written past the count";
  EXPECT_EQ(Utf16ToUtf8(s.data(), uint32_t(s.size()), nullptr), n) << "count without buffer";
  out.resize(n);
  EXPECT_EQ(Utf16ToUtf8(s), out);
  return out;
}

// ICU's conversions, U+FFFD for each lone surrogate or ill-formed sequence.
std::string IcuEncode(const std::u16string& s) {
  std::string out(s.size() * 3 + 4, '\0');
  int32_t n = 0;
  UErrorCode e = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), int32_t(out.size()), &n, s.data(), int32_t(s.size()), 0xFFFD, nullptr, &e);
  return out.substr(0, n);
}
std::u16string IcuDecode(const std::string& s, bool* wellFormed) {
  std::u16string out(s.size() + 4, u'\0');
  int32_t n = 0, substitutions = 0;
  UErrorCode e = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), int32_t(out.size()), &n, s.data(), int32_t(s.size()), 0xFFFD,
                       &substitutions, &e);
  *wellFormed = substitutions == 0;
  return out.substr(0, n);
}
// Where ICU's U8_NEXT first meets an ill-formed sequence, or npos.
size_t IcuFirstBad(const std::string& s) {
  for (int32_t i = 0, at = 0, n = int32_t(s.size()); i < n; at = i) {
    UChar32 c;
    U8_NEXT(s.data(), i, n, c);
    if (c < 0) return size_t(at);
  }
  return std::string::npos;
}

// The edges of each sequence length, of the surrogates and of the ASCII
// runs' fast path; then random units (ASCII runs of every length, all
// lengths of sequence, pairs, lone and reversed surrogates), each as ICU
// encodes it and decoded back as ICU decodes it: well-formed.
TEST(Utf8, EncodesAndDecodesAsIcu) {
  const std::u16string kEdges[] = {
      std::u16string(u"\0A\x7F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF", 9), u"\U00010000\U0010FFFF",
      {0xDE00, 0xD83D, 0xD83D, 0xDE00, 0xD83D}, {0xD83D, u'a'}, u"abcdefgh\u00E9", u"abc\u00E9defgh"};
  EXPECT_EQ(Encode(kEdges[0]), std::string("\0A\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80"
                                           "\xEF\xBF\xBF", 19));
  EXPECT_EQ(Encode(kEdges[2]), "\xEF\xBF\xBD\xEF\xBF\xBD\xF0\x9F\x98\x80\xEF\xBF\xBD");
  std::mt19937 rng(12345);
  auto in = [&](int lo, int hi) { return char16_t(std::uniform_int_distribution<int>(lo, hi)(rng)); };
  for (int i = 0; i < 20000; ++i) {
    std::u16string s = i < int(std::size(kEdges)) ? kEdges[i] : u"";
    for (int k = i < int(std::size(kEdges)) ? 0 : in(0, 12); k > 0; --k) {
      switch (in(0, 5)) {
        case 0: s.append(in(1, 17), in(0, 0x7F)); break;
        case 1: s += in(0x80, 0x7FF); break;
        case 2: s += in(0x800, 0xFFFF); break;
        case 3: s += in(0xD800, 0xDBFF), s += in(0xDC00, 0xDFFF); break;
        case 4: s += in(0xD800, 0xDFFF); break;
        default: s += in(0xDC00, 0xDFFF), s += in(0xD800, 0xDBFF); break;
      }
    }
    const std::string utf8 = Encode(s);
    ASSERT_EQ(utf8, IcuEncode(s)) << ::testing::PrintToString(s);
    bool icuWellFormed = false, wellFormed = false;
    ASSERT_EQ(Utf8ToUtf16(utf8, &wellFormed), IcuDecode(utf8, &icuWellFormed)) << "case " << i;
    ASSERT_TRUE(wellFormed && icuWellFormed) << "case " << i;  // U+FFFD of the text itself too
  }
}

// Ill-formed input: one U+FFFD per maximal subpart of a sequence, as ICU
// has it, the flag false exactly when one was put in, and FindBadUtf8 at
// the first sequence that ICU finds ill-formed. The edges first
// (overlong forms, beyond U+10FFFF, cut sequences), then random bytes.
TEST(Utf8, DecodesIllFormedInputAsIcu) {
  const std::string kEdges[] = {"\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",
                                "\xF4\x90\x80\x80", "\xF5\x80", "\xC3", "\xE3\x81" "a", "\xF0\x9F\x98\xC3\xA9",
                                "a\xBF\x80", "\xFF\xFE", "\xEF\xBF\xBD", "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF"};
  static const uint8_t kPool[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                  0xC2, 0xDF, 0xE0, 0xE3, 0xED, 0xEF, 0xF0, 0xF3, 0xF4, 0xF5, 0xFF};
  std::mt19937 rng(4242);
  int illFormed = 0;
  for (int i = 0; i < 50000; ++i) {
    std::string s = i < int(std::size(kEdges)) ? kEdges[i] : std::string(rng() % 13, '\0');
    for (char& ch : s) ch = i < int(std::size(kEdges)) ? ch : char(kPool[rng() % std::size(kPool)]);
    ASSERT_EQ(FindBadUtf8(s), IcuFirstBad(s)) << ::testing::PrintToString(s);
    if (s.find("\xED\xA0") != s.npos || s.find("\xED\xBF") != s.npos) continue;  // see below
    bool icuWellFormed = false, wellFormed = true;
    ASSERT_EQ(Utf8ToUtf16(s, &wellFormed), IcuDecode(s, &icuWellFormed)) << ::testing::PrintToString(s);
    ASSERT_EQ(wellFormed, icuWellFormed) << ::testing::PrintToString(s);
    illFormed += !wellFormed;
  }
  EXPECT_GT(illFormed, 20000);
  // A sequence cut by the end of the text, whatever follows in memory.
  EXPECT_EQ(Utf8ToUtf16(std::string_view("\xE3\x81\x81", 2)), u"\uFFFD");
  // An encoded surrogate is one U+FFFD (where ICU gives three).
  bool wellFormed = true;
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\xBD\xED\xB8\x80" "a", &wellFormed), u"\uFFFD\uFFFD" "a");
  EXPECT_FALSE(wellFormed);
}

// C0 controls but TAB and LF, DEL and C1 as escapes; everything else as
// UTF-8, appended to what the string held.
TEST(Utf8, AppendsVisibleText) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"", ""}, {u"a\tb\nc \u00A0\u3042~", "a\tb\nc \xC2\xA0\xE3\x81\x82~"},
      {std::u16string(u"\0\x01\x1F", 3), "\\x00\\x01\\x1f"}, {u"\x1B[31mred\r", "\\x1b[31mred\\x0d"},
      {u"\x7F\x80\x9Fz", "\\x7f\\u0080\\u009fz"},
      {{0xD83D, 0xDE00, 0xDC00, 0x85}, "\xF0\x9F\x98\x80\xEF\xBF\xBD\\u0085"},
  };
  for (const auto& [text, want] : cases) {
    std::string out = "pre";
    AppendVisibleUtf8(text, &out);
    EXPECT_EQ(out, "pre" + want) << ::testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace kebu
