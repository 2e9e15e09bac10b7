// EUC-JP decoding against ICU's "EUC-JP": every sequence of one, two and
// three bytes (where a longer text stops: tests/writer's word lists).
#include "codec/euc_jp.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <string>

namespace kebu {
namespace {

// Decodes into room for exactly one unit a byte, checking that nothing is
// written behind it.
std::u16string Decode(const std::string& b, size_t* stop) {
  std::u16string out(b.size() + 1, u'\x7777');
  out.resize(EucJpToUtf16(b, out.data(), stop) + 1);
  EXPECT_EQ(out.back(), u'\x7777') << "written past the room";
  out.pop_back();
  return out;
}

// One sequence as ICU decodes it, 0 when it does not.
char16_t IcuDecodeOne(const std::string& b) {
  static UConverter* const cnv = [] {
    UErrorCode e = U_ZERO_ERROR;
    UConverter* c = ucnv_open("EUC-JP", &e);
    ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
    return c;
  }();
  UErrorCode e = U_ZERO_ERROR;
  UChar out[4];
  ucnv_reset(cnv);
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
    size_t stop = 0;
    const std::u16string ours = Decode(b, &stop);
    const char16_t one = ours.size() == 1 && stop == b.size() ? ours[0] : 0;
    ASSERT_EQ(one, notEucJp ? 0 : IcuDecodeOne(b)) << ::testing::PrintToString(b);
    defined += one != 0;
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

}  // namespace
}  // namespace kebu
