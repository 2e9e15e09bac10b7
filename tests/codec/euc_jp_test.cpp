// EUC-JP decoding against ICU's "EUC-JP": every sequence of one, two and
// three bytes; and where a text stops.
#include "codec/euc_jp.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <string>
#include <tuple>

namespace kebu {
namespace {

// Decodes into room for exactly one unit a byte, checking that nothing is
// written behind it.
std::u16string Decode(const std::string& b, size_t* stop) {
  std::u16string out(b.size() + 1, u'\x7777');
  const size_t n = EucJpToUtf16(b, out.data(), stop);
  EXPECT_EQ(out.back(), u'\x7777') << "written past the room";
  out.resize(n);
  return out;
}

// One sequence as a unit, 0 when it is refused: by us, and by ICU.
char16_t DecodeOne(const std::string& b) {
  size_t stop = 0;
  const std::u16string u = Decode(b, &stop);
  return u.size() == 1 && stop == b.size() ? u[0] : 0;
}
char16_t IcuDecodeOne(const std::string& b) {
  static UConverter* const cnv = [] {
    UErrorCode e = U_ZERO_ERROR;
    UConverter* c = ucnv_open("EUC-JP", &e);
    ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
    return c;
  }();
  ucnv_reset(cnv);
  UErrorCode e = U_ZERO_ERROR;
  UChar out[4];
  const int32_t n = ucnv_toUChars(cnv, out, 4, b.data(), int32_t(b.size()), &e);
  return U_SUCCESS(e) && n == 1 ? out[0] : 0;
}

// Every byte alone, every byte from 80 with every second byte, and 8F with
// every pair from A0. ICU's table has, besides, what EUC-JP does not define
// and what is refused here: the C1 controls as single bytes 80-8D and 90-9F
// (a word list holds none; they mark a file in another encoding), and IBM's
// additions: ¢ £ ¬ at 8E E0-E2, the small and capital roman numerals and
// U+3231 at 8F F3 A1-B4 and B7.
TEST(EucJp, DecodesEverySequenceAsIcu) {
  int defined = 0;
  auto check = [&](const std::string& b) {
    const uint8_t b0 = uint8_t(b[0]), b1 = b.size() > 1 ? uint8_t(b[1]) : 0, b2 = b.size() > 2 ? uint8_t(b[2]) : 0;
    const bool notEucJp = (b.size() == 1 && b0 >= 0x80 && b0 <= 0x9F && b0 != 0x8E && b0 != 0x8F) ||
                          (b.size() == 2 && b0 == 0x8E && b1 >= 0xE0 && b1 <= 0xE2) ||
                          (b.size() == 3 && b1 == 0xF3 && ((b2 >= 0xA1 && b2 <= 0xB4) || b2 == 0xB7));
    const char16_t ours = DecodeOne(b);
    ASSERT_EQ(ours, notEucJp ? 0 : IcuDecodeOne(b)) << ::testing::PrintToString(b);
    defined += ours != 0;
  };
  for (int a = 0; a < 256; ++a) {
    check(std::string(1, char(a)));
    for (int b = 0; a >= 0x80 && b < 256; ++b) check({char(a), char(b)});
  }
  for (int b = 0xA0; b < 256; ++b) {
    for (int c = 0xA0; c < 256; ++c) check({'\x8F', char(b), char(c)});
  }
  EXPECT_GT(defined, 128 + 63 + 7000 + 6000);
}

// The units before the first byte that begins no character, and its offset.
TEST(EucJp, StopsInFrontOfWhatIsNotEucJp) {
  std::string halfWidth;
  for (size_t i = 0; i < 1000; ++i) halfWidth += "\x8E\xB1";
  const std::tuple<std::string, std::u16string, size_t> cases[] = {
      {"", u"", 0}, {"a\xA4\xA2" "b", u"a\u3042b", 4}, {"\x8F\xA2\xB7~", u"\uFF5E~", 4},
      {"\xA1\xC1\x8F\xAB\xA1", u"\uFF5E\u00E1", 5}, {"a\xA4", u"a", 1}, {"a\x8E", u"a", 1},
      {"a\x8F\xA2", u"a", 1}, {"a\x8E\xE0", u"a", 1}, {"a\xA4" "b", u"a", 1}, {"a\xFF" "b", u"a", 1},
      {"a\xA9\xA1", u"a", 1}, {"a\x8F\xA1\xA1", u"a", 1}, {halfWidth, std::u16string(1000, u'\uFF71'), 2000},
  };
  for (const auto& [bytes, units, stop] : cases) {
    size_t at = 99;
    EXPECT_EQ(Decode(bytes, &at), units) << ::testing::PrintToString(bytes);
    EXPECT_EQ(at, stop) << ::testing::PrintToString(bytes);
  }
}

}  // namespace
}  // namespace kebu
