// Code page 932 against ICU's Windows table, "ibm-943_P15A-2003": every
// code decoded, every BMP character encoded (for keys and for storage),
// random bytes decoded; and the cases that the comparison cannot show
// (capacities, bad sequences).
#include "codec/cp932.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

namespace kebu {
namespace {

using Bytes = std::string;

// Decodes with exactly `capacity` units of room (one a byte when -1).
std::u16string Decode(const Bytes& b, int32_t capacity = -1) {
  if (capacity < 0) capacity = int32_t(b.size());
  std::u16string out(size_t(capacity) + 1, u'\x7777');
  const int32_t n = Cp932ToUtf16(reinterpret_cast<const uint8_t*>(b.data()), int32_t(b.size()), out.data(),
                                 capacity);
  EXPECT_TRUE(n >= 0 && n <= capacity) << n;
  EXPECT_EQ(out.find_first_not_of(u'\x7777', n), out.npos) << "written behind the text";
  return out.substr(0, n);
}

// Encodes with `capacity` bytes of room (two a unit when -1).
Bytes Encode(const std::u16string& s, int32_t capacity = -1) {
  if (capacity < 0) capacity = int32_t(s.size()) * 2;
  Bytes out(size_t(capacity) + 1, '\xA5');
  auto* bytes = reinterpret_cast<uint8_t*>(out.data());
  const int32_t n = Utf16ToCp932(s.data(), int32_t(s.size()), bytes, capacity);
  EXPECT_TRUE(n >= 0 && n <= capacity) << n;
  EXPECT_EQ(out.back(), '\xA5') << "written past the capacity";
  return out.substr(0, n);
}

Bytes EncodeExact(const std::u16string& s, size_t* lost) {
  Bytes out(s.size() * 2, '\0');
  out.resize(Utf16ToCp932Exact(s.data(), uint32_t(s.size()), reinterpret_cast<uint8_t*>(out.data()), lost));
  return out;
}

// ICU keeps IBM's places of three control codes: its 1A, 1C and 7F are
// U+001C, U+007F and U+001A, where code page 932 maps them, like all of
// 00-7F, to themselves. Swap by 1 turns ours into ICU's, by 2 back.
char16_t Swap(char16_t u, int by) {
  const size_t i = std::u16string_view(u"\x1A\x1C\x7F").find(u);
  return i == std::u16string_view::npos ? u : u"\x1A\x1C\x7F"[(i + by) % 3];
}

// ICU's converter, with U+FFFD for each undefined sequence it decodes and an
// error for a character it cannot encode.
UConverter* Icu() {
  static UConverter* const cnv = [] {
    UErrorCode e = U_ZERO_ERROR;
    UConverter* c = ucnv_open("ibm-943_P15A-2003", &e);
    ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
    const auto fffd = [](const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                         UConverterCallbackReason reason, UErrorCode* err) {
      const UChar u = 0xFFFD;
      if (reason <= UCNV_IRREGULAR) *err = U_ZERO_ERROR, ucnv_cbToUWriteUChars(args, &u, 1, 0, err);
    };
    ucnv_setToUCallBack(c, fffd, nullptr, nullptr, nullptr, &e);
    return c;
  }();
  return cnv;
}
std::u16string IcuDecode(const Bytes& b) {
  UErrorCode e = U_ZERO_ERROR;
  std::u16string out(b.size() * 2 + 4, u'\0');
  out.resize(ucnv_toUChars(Icu(), out.data(), int32_t(out.size()), b.data(), int32_t(b.size()), &e));
  for (char16_t& u : out) u = Swap(u, 2);
  return out;
}
// Empty for a character it lacks (and one it drops: the default-ignorable).
Bytes IcuEncode(char16_t u) {
  UErrorCode e = U_ZERO_ERROR;
  char out[8];
  u = Swap(u, 1);
  const int32_t n = ucnv_fromUChars(Icu(), out, 8, &u, 1, &e);
  return U_SUCCESS(e) ? Bytes(out, n) : "";
}

// Every single byte, every pair of bytes (lead and trail bytes), and random
// bytes (ASCII runs and pairs among them) decode as ICU decodes them; 80,
// A0 and FD-FF are undefined in both.
TEST(Cp932, DecodesAsIcu) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(Decode(Bytes(1, char(b))), IcuDecode(Bytes(1, char(b)))) << std::hex << b;
    for (int t = 0; t < 256; ++t) {
      const Bytes pair = {char(b), char(t)};
      ASSERT_EQ(Decode(pair), IcuDecode(pair)) << std::hex << b << ' ' << t;
    }
  }
  std::mt19937 rng(932);
  auto in = [&](int lo, int hi) { return char(std::uniform_int_distribution<int>(lo, hi)(rng)); };
  for (int i = 0; i < 20000; ++i) {
    Bytes b;
    for (int k = in(0, 10); k > 0; --k) {
      switch (in(0, 3)) {
        case 0: b.append(size_t(in(1, 20)), in(0x20, 0x7E)); break;
        case 1: b += in(0, 1) ? in(0x81, 0x9F) : in(0xE0, 0xFC), b += in(0x40, 0xFC); break;
        default: b += in(0, 255); break;
      }
    }
    ASSERT_EQ(Decode(b), IcuDecode(b)) << ::testing::PrintToString(b);
  }
}

TEST(Cp932, DecodingCases) {
  const std::tuple<Bytes, int32_t, std::u16string> cases[] = {
      {"", 4, u""}, {"a", 0, u""}, {"\x87\x90\x81\xE0", -1, u"\u2252\u2252"},  // NEC row duplicate
      // An unassigned pair is one U+FFFD; a lead byte at the end or before
      // a byte that cannot trail is one, and that byte is decoded anew.
      {"\x85\x40" "A", -1, u"\uFFFD" "A"}, {"A\x81", -1, u"A\uFFFD"}, {"\x81\n", -1, u"\uFFFD\n"},
      {"\x81\xFD" "A", -1, u"\uFFFD\uFFFD" "A"}, {"\x81\x81@", -1, u"\uFF1D@"},
      {Bytes("a\0\\", 3), -1, std::u16string(u"a\0\\", 3)},
      // Cuts keep whole characters, through the eight-byte ASCII path too.
      {"a\x82\xA0" "b", 2, u"a\u3042"}, {"012345678\x82\xA0", 7, u"0123456"},
      {"012345678\x82\xA0", 8, u"01234567"}, {"012345678\x82\xA0", 9, u"012345678"},
      {"01234567\x82\xA0", 9, u"01234567\u3042"},
  };
  for (const auto& [bytes, capacity, want] : cases) {
    EXPECT_EQ(Decode(bytes, capacity), want) << ::testing::PrintToString(bytes);
  }
}

// Where ICU and this encoder differ for one character, it is one of these
// (everything else, the choice among duplicate codes included, is as ICU
// has it: the IBM rows FA-FC over the NEC-selected rows ED-EE, the NEC row
// 87 over the IBM rows), or a default-ignorable character that ICU drops.
// The encoder for storage writes '?' for those and counts it (a test of
// tests/convert makes a dictionary of every character and reads it back).
TEST(Cp932, EncodesEveryCharacterAsIcuUpToDuplicates) {
  const std::map<char16_t, Bytes> kOnlyHere = {
      // Look-alikes that this encoder maps to the code of the full-width form.
      {0x00A2, "\x81\x91"}, {0x00A3, "\x81\x92"}, {0x00AC, "\x81\xCA"},
      {0x2016, "\x81\x61"}, {0x2212, "\x81\x7C"}, {0x301C, "\x81\x60"},
      // Single bytes outside the double-byte and katakana ranges.
      {0x0080, "\x80"}, {0xF8F0, "\xA0"}, {0xF8F1, "\xFD"}, {0xF8F2, "\xFE"}, {0xF8F3, "\xFF"},
      // ICU gives this private-use character the code of U+2116 (87 82).
      {0xF86F, "?"}};
  for (uint32_t c = 0; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const auto only = kOnlyHere.find(char16_t(c));
    Bytes want = only != kOnlyHere.end() ? only->second : IcuEncode(char16_t(c));
    if (want.empty()) want = "?";
    const std::u16string one(1, char16_t(c));
    ASSERT_EQ(Encode(one), want) << std::hex << c;
    size_t lost = 0;
    const Bytes exact = EncodeExact(one, &lost);
    const bool kept = only == kOnlyHere.end() && want != "?";
    ASSERT_EQ(exact, kept ? want : "?") << std::hex << c;
    ASSERT_EQ(lost, kept || c == '?' ? 0u : 1u) << std::hex << c;
  }
}

// Room for all or nothing; a surrogate pair, a lone surrogate and a
// character the code page lacks each become one '?'.
TEST(Cp932, EncodingCases) {
  const std::tuple<std::u16string, int32_t, Bytes> cases[] = {
      {u"", 4, ""}, {u"a", 0, ""}, {u"a\u3042", 3, "a\x82\xA0"}, {u"a\u3042", 2, ""}, {u"\u3042a", 2, ""},
      {u"\u00A5\u20AC\uFFFD", 8, "???"}, {u"a\uFF71", 1, ""}, {u"a\u00A5", 1, ""}, {u"x\U0001F600y", 8, "x?y"}, {u"x\U0001F600", 2, "x?"},
      {{0xD800}, 8, "?"}, {{0xDC00, 0xD800}, 8, "??"}, {{0xD800, 0xD800, 0xDC00}, 8, "??"},
      {{0xD800, 'a'}, 8, "?a"}, {{'a', 0, 'b'}, 8, Bytes("a\0b", 3)}, {u"a\u3042\uFF71", 8, "a\x82\xA0\xB1"},
  };
  for (const auto& [units, capacity, want] : cases) {
    EXPECT_EQ(Encode(units, capacity), want) << ::testing::PrintToString(units) << capacity;
    size_t lost = 0;  // the encoder for storage: the same where there is room, each '?' counted
    if (capacity == 8) {
      EXPECT_EQ(EncodeExact(units, &lost), want) << ::testing::PrintToString(units);
      EXPECT_EQ(lost, size_t(std::count(want.begin(), want.end(), '?')));
    }
  }
}

}  // namespace
}  // namespace kebu
