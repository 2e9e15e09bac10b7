#include "codec/utf8.h"

#include <gtest/gtest.h>
#include <unicode/ustring.h>

#include <random>
#include <string>
#include <vector>

namespace kebu {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(const std::u16string& s) {
  Bytes out(s.size() * 3 + 4, 0xA5);
  const uint32_t n = Utf16ToUtf8(s.data(), uint32_t(s.size()), out.data());
  EXPECT_LE(n, s.size() * 3);
  for (size_t i = n; i < out.size(); ++i) EXPECT_EQ(out[i], 0xA5) << "written past the count";
  EXPECT_EQ(Utf16ToUtf8(s.data(), uint32_t(s.size()), nullptr), n) << "count without buffer";
  out.resize(n);
  return out;
}

// ICU with U+FFFD for every lone surrogate.
Bytes IcuEncode(const std::u16string& s) {
  std::string out(s.size() * 3 + 4, '\0');
  int32_t n = 0;
  UErrorCode e = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), int32_t(out.size()), &n, s.data(), int32_t(s.size()), 0xFFFD,
                     nullptr, &e);
  EXPECT_TRUE(U_SUCCESS(e)) << u_errorName(e);
  return Bytes(out.begin(), out.begin() + n);
}

std::u16string IcuDecode(const std::string& s) {
  std::u16string out(s.size() + 4, u'\0');
  int32_t n = 0;
  UErrorCode e = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), int32_t(out.size()), &n, s.data(), int32_t(s.size()), 0xFFFD,
                       nullptr, &e);
  EXPECT_TRUE(U_SUCCESS(e)) << u_errorName(e);
  out.resize(n);
  return out;
}

// Runs of ASCII of every length (the fast path works four units at a time),
// two- and three-byte units, valid pairs, lone and reversed surrogates.
std::u16string RandomUnits(std::mt19937& rng) {
  auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::u16string s;
  const int pieces = in(0, 12);
  for (int i = 0; i < pieces; ++i) {
    switch (in(0, 6)) {
      case 0: s.append(size_t(in(1, 17)), char16_t(in(0, 0x7F))); break;
      case 1: s += char16_t(in(0x80, 0x7FF)); break;
      case 2: s += char16_t(in(0x800, 0xFFFF)); break;
      case 3: s += char16_t(in(0xD800, 0xDBFF)), s += char16_t(in(0xDC00, 0xDFFF)); break;
      case 4: s += char16_t(in(0xD800, 0xDFFF)); break;
      case 5: s += char16_t(in(0xDC00, 0xDFFF)), s += char16_t(in(0xD800, 0xDBFF)); break;
      default: s += char16_t(in(0x3040, 0x9FFF)); break;
    }
  }
  return s;
}

TEST(Utf8, EncodesUnitsAsTheTableSays) {
  struct Case {
    std::u16string units;
    Bytes want;
  } cases[] = {
      {u"", {}},
      {std::u16string(1, u'\0'), {0x00}},
      {u"A\x7F", {0x41, 0x7F}},
      {u"\u0080", {0xC2, 0x80}},
      {u"\u00E9", {0xC3, 0xA9}},
      {u"\u07FF", {0xDF, 0xBF}},
      {u"\u0800", {0xE0, 0xA0, 0x80}},
      {u"\u3042", {0xE3, 0x81, 0x82}},
      {u"\uD7FF", {0xED, 0x9F, 0xBF}},
      {u"\uE000", {0xEE, 0x80, 0x80}},
      {u"\uFFFF", {0xEF, 0xBF, 0xBF}},
      {u"\U0001F600", {0xF0, 0x9F, 0x98, 0x80}},
      {u"\U00010000", {0xF0, 0x90, 0x80, 0x80}},
      {u"\U0010FFFF", {0xF4, 0x8F, 0xBF, 0xBF}},
      {{0xD83D}, {0xEF, 0xBF, 0xBD}},
      {{0xDE00}, {0xEF, 0xBF, 0xBD}},
      {{0xDE00, 0xD83D}, {0xEF, 0xBF, 0xBD, 0xEF, 0xBF, 0xBD}},
      {{0xD83D, u'a'}, {0xEF, 0xBF, 0xBD, 0x61}},
      {{0xD83D, 0xD83D, 0xDE00}, {0xEF, 0xBF, 0xBD, 0xF0, 0x9F, 0x98, 0x80}},
      {u"abcdefgh\u00E9", {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0xC3, 0xA9}},
      {u"abc\u00E9defgh", {'a', 'b', 'c', 0xC3, 0xA9, 'd', 'e', 'f', 'g', 'h'}},
  };
  for (const Case& c : cases) EXPECT_EQ(Encode(c.units), c.want) << testing::PrintToString(c.units);
}

TEST(Utf8, CountStopsAtTheGivenUnits) {
  // A pair split by the count is a lone surrogate in the counted run.
  const std::u16string s = u"a\U0001F600";
  EXPECT_EQ(Utf16ToUtf8(s.data(), 2, nullptr), 4u);
  EXPECT_EQ(Utf16ToUtf8(s.data(), 0, nullptr), 0u);
  uint8_t out[8] = {};
  EXPECT_EQ(Utf16ToUtf8(s.data(), 2, out), 4u);
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{0x61, 0xEF, 0xBF, 0xBD}));
}

TEST(Utf8, AgreesWithIcu) {
  std::mt19937 rng(12345);
  for (int i = 0; i < 20000; ++i) {
    const std::u16string s = RandomUnits(rng);
    ASSERT_EQ(Encode(s), IcuEncode(s)) << "case " << i;
    const Bytes whole = IcuEncode(s);
    ASSERT_EQ(Utf16ToUtf8(s), std::string(whole.begin(), whole.end())) << "case " << i;
  }
}

TEST(Utf8, RoundTripReplacesLoneSurrogates) {
  std::mt19937 rng(99);
  for (int i = 0; i < 5000; ++i) {
    const std::u16string s = RandomUnits(rng);
    std::u16string want;
    for (size_t k = 0; k < s.size(); ++k) {
      const bool high = (s[k] & 0xFC00) == 0xD800, low = (s[k] & 0xFC00) == 0xDC00;
      if (high && k + 1 < s.size() && (s[k + 1] & 0xFC00) == 0xDC00) {
        want += s[k], want += s[++k];
      } else {
        want += high || low ? u'\uFFFD' : s[k];
      }
    }
    ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(s)), want) << "case " << i;
  }
}

TEST(Utf8, DecodesIllFormedInput) {
  struct Case {
    std::string bytes;
    std::u16string want;
  } cases[] = {
      {"", u""},
      {"a\xC3\xA9z", u"a\u00E9z"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xEF\xBF\xBF", u"\uFFFF"},
      {"\x80", u"\uFFFD"},
      {"\xBF\x80", u"\uFFFD\uFFFD"},
      {"\xFF\xFE", u"\uFFFD\uFFFD"},
      {"\xC0\x80", u"\uFFFD\uFFFD"},                       // overlong zero
      {"\xC1\xBF", u"\uFFFD\uFFFD"},
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},             // overlong
      {"\xF0\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},   // above 10FFFF
      {"\xF5\x80", u"\uFFFD\uFFFD"},
      {"\xE3\x81", u"\uFFFD"},                             // cut at the end
      {"\xE3\x81" "a", u"\uFFFD" "a"},                     // cut by a lead
      {"\xF0\x9F\x98" "\xC3\xA9", u"\uFFFD\u00E9"},
      {"\xED\xA0\xBD", u"\uFFFD"},                         // an encoded surrogate is one
      {"\xED\xA0\xBD\xED\xB8\x80", u"\uFFFD\uFFFD"},       // an encoded pair is two
      {"\xED\x9F\xBF", u"\uD7FF"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToUtf16(c.bytes), c.want) << testing::PrintToString(c.bytes);
}

// Away from encoded surrogates, ill-formed input is replaced as ICU does it:
// one U+FFFD per maximal subpart.
TEST(Utf8, DecodingAgreesWithIcu) {
  static const uint8_t kPool[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0,
                                  0xC1, 0xC2, 0xDF, 0xE0, 0xE3, 0xEC, 0xED, 0xEE, 0xEF, 0xF0,
                                  0xF3, 0xF4, 0xF5, 0xFF};
  std::mt19937 rng(4242);
  auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int compared = 0;
  for (int i = 0; i < 50000; ++i) {
    std::string s(size_t(in(0, 12)), '\0');
    for (char& ch : s) ch = char(kPool[in(0, std::size(kPool) - 1)]);
    bool surrogate = false;
    for (size_t k = 0; k + 1 < s.size(); ++k)
      surrogate |= uint8_t(s[k]) == 0xED && uint8_t(s[k + 1]) >= 0xA0;
    if (surrogate) continue;
    ++compared;
    ASSERT_EQ(Utf8ToUtf16(s), IcuDecode(s)) << testing::PrintToString(s);
  }
  EXPECT_GT(compared, 40000);
}

}  // namespace
}  // namespace kebu
