#include "codec/cp932.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace kebu {
namespace {

using Bytes = std::vector<uint8_t>;

std::u16string Decode(const Bytes& b, int32_t capacity) {
  std::vector<char16_t> out(size_t(capacity > 0 ? capacity : 0) + 1, u'\x7777');
  const int32_t n = Cp932ToUtf16(b.data(), int32_t(b.size()), out.data(), capacity);
  EXPECT_GE(n, 0);
  EXPECT_LE(n, capacity > 0 ? capacity : 0);
  for (int32_t i = n; i < int32_t(out.size()); ++i) EXPECT_EQ(out[i], u'\x7777') << "written at " << i;
  return std::u16string(out.data(), n);
}
std::u16string Decode(const Bytes& b) { return Decode(b, int32_t(b.size()) + 1); }

// Encodes with `capacity` (room for every unit as two bytes when -1).
Bytes Encode(const std::u16string& s, int32_t capacity = -1) {
  if (capacity < 0) capacity = int32_t(s.size()) * 2;
  Bytes out(size_t(capacity) + 1, 0xA5);
  const int32_t n = Utf16ToCp932(s.data(), int32_t(s.size()), out.data(), capacity);
  EXPECT_GE(n, 0);
  EXPECT_LE(n, capacity);
  EXPECT_EQ(out[capacity], 0xA5) << "written past the capacity";
  out.resize(n);
  return out;
}

// ICU's Windows code page 932 ("windows-932" is an alias of
// ibm-943_P15A-2003). With the stop callbacks an undefined sequence is an
// error instead of a substitute.
class IcuCp932 {
 public:
  IcuCp932() {
    UErrorCode e = U_ZERO_ERROR;
    cnv_ = ucnv_open("windows-932", &e);
    if (U_FAILURE(e)) {
      ADD_FAILURE() << "ucnv_open(windows-932): " << u_errorName(e);
      return;
    }
    ucnv_setToUCallBack(cnv_, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
    ucnv_setFromUCallBack(cnv_, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
  }
  ~IcuCp932() { ucnv_close(cnv_); }
  // The single unit ICU decodes the bytes to, -1 when it leaves them undefined.
  int32_t DecodeOne(const Bytes& b) {
    UErrorCode e = U_ZERO_ERROR;
    ucnv_reset(cnv_);
    UChar out[4];
    const int32_t n = ucnv_toUChars(cnv_, out, 4, reinterpret_cast<const char*>(b.data()),
                                    int32_t(b.size()), &e);
    return U_SUCCESS(e) && n == 1 ? out[0] : -1;
  }
  // The bytes ICU encodes one unit to; nullopt-like flag when it refuses.
  bool EncodeOne(char16_t u, Bytes* bytes) {
    UErrorCode e = U_ZERO_ERROR;
    ucnv_reset(cnv_);
    char out[8];
    const int32_t n = ucnv_fromUChars(cnv_, out, 8, &u, 1, &e);
    if (U_FAILURE(e)) return false;
    bytes->assign(out, out + n);
    return true;
  }
  // Whole-string decoding with one U+FFFD for each undefined sequence.
  std::u16string DecodeReplacing(const Bytes& b) {
    UErrorCode e = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open("windows-932", &e);
    ucnv_setToUCallBack(
        cnv,
        [](const void*, UConverterToUnicodeArgs* args, const char*, int32_t, UConverterCallbackReason reason,
           UErrorCode* err) {
          if (reason > UCNV_IRREGULAR) return;
          const UChar fffd = 0xFFFD;
          *err = U_ZERO_ERROR;
          ucnv_cbToUWriteUChars(args, &fffd, 1, 0, err);
        },
        nullptr, nullptr, nullptr, &e);
    std::u16string out(b.size() * 2 + 4, u'\0');
    const int32_t n = ucnv_toUChars(cnv, out.data(), int32_t(out.size()),
                                    reinterpret_cast<const char*>(b.data()), int32_t(b.size()), &e);
    EXPECT_TRUE(U_SUCCESS(e)) << u_errorName(e);
    ucnv_close(cnv);
    out.resize(n);
    return out;
  }

 private:
  UConverter* cnv_ = nullptr;
};

// ICU's table keeps IBM's layout of three control codes: it decodes the
// bytes 1A, 1C and 7F to U+001C, U+007F and U+001A (and encodes the other
// way round). Code page 932 maps them, like all of 00-7F, to themselves.
// IcuControl(x) is what ICU has where code page 932 has x.
int32_t IcuControl(int32_t x) { return x == 0x1A ? 0x1C : x == 0x1C ? 0x7F : x == 0x7F ? 0x1A : x; }
int32_t FromIcuControl(int32_t x) { return x == 0x1C ? 0x1A : x == 0x7F ? 0x1C : x == 0x1A ? 0x7F : x; }

bool IsLead(int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail(int t) { return t >= 0x40 && t <= 0xFC && t != 0x7F; }

TEST(Cp932, WindowsNameResolves) {
  UErrorCode e = U_ZERO_ERROR;
  UConverter* cnv = ucnv_open("windows-932", &e);
  ASSERT_TRUE(U_SUCCESS(e)) << u_errorName(e);
  EXPECT_STREQ(ucnv_getName(cnv, &e), "ibm-943_P15A-2003");
  ucnv_close(cnv);
}

// Every single byte and every lead/trail pair decodes as ICU decodes it;
// what ICU leaves undefined decodes to U+FFFD. The two tables agree on every
// pair; the single bytes 80, A0, FD-FF are undefined in both (some code page
// tables give them U+0080 and U+F8F0-F8F3; this one does not).
TEST(Cp932, DecodesEveryCodeAsIcu) {
  IcuCp932 icu;
  int defined = 0;
  for (int b = 0; b < 256; ++b) {
    const int32_t want = IsLead(b) ? -1 : FromIcuControl(icu.DecodeOne({uint8_t(b)}));
    const std::u16string got = Decode({uint8_t(b)});
    ASSERT_EQ(got.size(), 1u) << std::hex << b;
    EXPECT_EQ(int32_t(got[0]), want < 0 ? 0xFFFD : want) << std::hex << b;
  }
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLead(lead)) continue;
    for (int t = 0x40; t <= 0xFC; ++t) {
      if (!IsTrail(t)) continue;
      const int32_t want = icu.DecodeOne({uint8_t(lead), uint8_t(t)});
      defined += want >= 0;
      const std::u16string got = Decode({uint8_t(lead), uint8_t(t)});
      ASSERT_EQ(got.size(), 1u) << std::hex << lead << t;
      EXPECT_EQ(int32_t(got[0]), want < 0 ? 0xFFFD : want) << std::hex << lead << ' ' << t;
    }
  }
  // The JIS rows, the NEC and IBM rows and the user-defined area F0-F9.
  EXPECT_GT(defined, 9000);
}

TEST(Cp932, DecodingCases) {
  struct Case {
    Bytes bytes;
    std::u16string want;
  } cases[] = {
      {{}, u""},
      {{0x5C, 0x7E}, u"\\~"},
      {{0xA1, 0xDF}, u"\uFF61\uFF9F"},
      {{0x82, 0xA0}, u"\u3042"},
      {{0x81, 0x60}, u"\uFF5E"},
      {{0x87, 0x90, 0x81, 0xE0}, u"\u2252\u2252"},   // NEC row duplicate
      {{0xED, 0x40, 0xFA, 0x5C}, u"\u7E8A\u7E8A"},   // NEC-selected and IBM rows
      {{0xF0, 0x40, 0xF9, 0xFC}, u"\uE000\uE757"},   // user-defined area
      {{0x80, 0xA0, 0xFD, 0xFE, 0xFF}, u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {{0x85, 0x40, 0x41}, u"\uFFFD" "A"},            // unassigned pair: both bytes
      {{0x41, 0x81}, u"A\uFFFD"},                    // lead at the end
      {{0x81, 0x0A}, u"\uFFFD\n"},                   // bad trail is decoded anew
      {{0x81, 0x7F}, u"\uFFFD\x7F"},
      {{0x81, 0x3F}, u"\uFFFD?"},
      {{0x81, 0xFD, 0x41}, u"\uFFFD\uFFFD" "A"},
      {{0x81, 0x81, 0x40}, u"\uFF1D" "@"},           // a lead byte can trail
      {{0x81, 0xA1, 0xA1}, u"\u25A0\uFF61"},
      {{'a', 0, 'b'}, std::u16string(u"a\0b", 3)},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.bytes), c.want) << testing::PrintToString(c.bytes);
}

// Random byte strings, weighted towards ASCII runs and lead bytes, decode
// as ICU decodes them with one U+FFFD per undefined sequence.
TEST(Cp932, DecodesRandomBytesAsIcu) {
  IcuCp932 icu;
  std::mt19937 rng(932);
  auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int i = 0; i < 20000; ++i) {
    Bytes b;
    const int pieces = in(0, 10);
    for (int k = 0; k < pieces; ++k) {
      switch (in(0, 4)) {
        case 0: for (int r = in(1, 20); r > 0; --r) b.push_back(uint8_t(in(0x20, 0x7E))); break;
        case 1: b.push_back(uint8_t(in(0x81, 0x9F))), b.push_back(uint8_t(in(0x40, 0xFC))); break;
        case 2: b.push_back(uint8_t(in(0xE0, 0xFC))), b.push_back(uint8_t(in(0x40, 0xFC))); break;
        case 3: b.push_back(uint8_t(in(0xA1, 0xDF))); break;
        default: b.push_back(uint8_t(in(0, 255))); break;
      }
    }
    std::u16string want = icu.DecodeReplacing(b);
    for (char16_t& u : want) u = char16_t(FromIcuControl(u));  // no pair decodes to these
    ASSERT_EQ(Decode(b), want) << testing::PrintToString(b);
  }
}

TEST(Cp932, DecodingCapacityKeepsWholeCharacters) {
  // 16 ASCII bytes, then three double-byte characters and a katakana.
  Bytes b(16, 'x');
  for (uint8_t x : {0x82, 0xA0, 0x88, 0x9F, 0x81, 0x60, 0xB1}) b.push_back(x);
  const std::u16string all = Decode(b);
  ASSERT_EQ(all, std::u16string(16, u'x') + u"\u3042\u4E9C\uFF5E\uFF71");
  for (int32_t capacity = -1; capacity <= int32_t(all.size()) + 2; ++capacity) {
    const size_t keep = std::min<size_t>(std::max(capacity, 0), all.size());
    EXPECT_EQ(Decode(b, capacity), all.substr(0, keep)) << capacity;
  }
}

// Where ICU and this encoder differ, the difference is one of these:
// - (none for characters with two codes: like ICU, the encoder takes the IBM
//   rows FA-FC over the NEC-selected rows ED-EE, and the NEC row 87 over
//   the IBM rows);
// - default-ignorable characters, which ICU drops and this encoder makes '?';
// - the three control codes that ICU places differently (see IcuControl);
// - the characters listed below.
TEST(Cp932, EncodesEveryCharacterAsIcuUpToDuplicates) {
  const std::map<char16_t, Bytes> kOnlyHere = {
      // Look-alikes that this encoder maps to the code of the full-width form.
      {0x00A2, {0x81, 0x91}}, {0x00A3, {0x81, 0x92}}, {0x00AC, {0x81, 0xCA}},
      {0x2016, {0x81, 0x61}}, {0x2212, {0x81, 0x7C}}, {0x301C, {0x81, 0x60}},
      // Single bytes outside the double-byte and katakana ranges.
      {0x0080, {0x80}}, {0xF8F0, {0xA0}}, {0xF8F1, {0xFD}}, {0xF8F2, {0xFE}}, {0xF8F3, {0xFF}},
  };
  // ICU encodes this private-use character to the code of U+2116 (NUMERO SIGN).
  const std::map<char16_t, Bytes> kOnlyIcu = {{0xF86F, {0x87, 0x82}}};
  IcuCp932 icu;
  int ibmRows = 0;
  for (uint32_t c = 0; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const char16_t u = char16_t(c);
    const Bytes got = Encode(std::u16string(1, u));
    Bytes want;
    const bool icuHas = icu.EncodeOne(char16_t(IcuControl(u)), &want);
    if (auto it = kOnlyHere.find(u); it != kOnlyHere.end()) {
      EXPECT_FALSE(icuHas) << std::hex << c;
      EXPECT_EQ(got, it->second) << std::hex << c;
    } else if (kOnlyIcu.count(u)) {
      EXPECT_EQ(want, kOnlyIcu.at(u)) << std::hex << c;
      EXPECT_EQ(got, Bytes{'?'}) << std::hex << c;
    } else if (!icuHas || want.empty()) {
      EXPECT_EQ(got, Bytes{'?'}) << std::hex << c;
    } else {
      EXPECT_EQ(got, want) << std::hex << c;
      if (got.size() == 2 && (got[0] == 0xFA || got[0] == 0xFB || got[0] == 0xFC)) ++ibmRows;
    }
  }
  EXPECT_GT(ibmRows, 300);  // characters of the IBM rows, NEC-selected ones included
}

// encode -> decode gives back every character that encodes, except those
// whose code decodes to another character or to U+FFFD (listed).
TEST(Cp932, RoundTrip) {
  const std::map<char16_t, char16_t> kOneWay = {
      {0x00A2, 0xFFE0}, {0x00A3, 0xFFE1}, {0x00AC, 0xFFE2}, {0x2016, 0x2225}, {0x2212, 0xFF0D},
      {0x301C, 0xFF5E}, {0x0080, 0xFFFD}, {0xF8F0, 0xFFFD}, {0xF8F1, 0xFFFD}, {0xF8F2, 0xFFFD},
      {0xF8F3, 0xFFFD},
  };
  int encoded = 0;
  for (uint32_t c = 0; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::u16string s(1, char16_t(c));
    const Bytes b = Encode(s);
    if (b == Bytes{'?'} && c != '?') continue;
    ++encoded;
    const auto it = kOneWay.find(char16_t(c));
    EXPECT_EQ(Decode(b), it == kOneWay.end() ? s : std::u16string(1, it->second)) << std::hex << c;
  }
  EXPECT_GT(encoded, 9000);
  // decode -> encode gives back every defined code that is the preferred
  // code of its character: the first in byte order, but a code in the IBM
  // rows FA-FC before one in the NEC-selected rows ED-EE.
  std::map<char16_t, Bytes> first;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int t = 0x40; t <= 0xFC && IsLead(lead); ++t) {
      if (!IsTrail(t)) continue;
      const Bytes code = {uint8_t(lead), uint8_t(t)};
      const std::u16string s = Decode(code);
      if (s[0] == 0xFFFD) continue;
      auto [it, added] = first.emplace(s[0], code);
      if (!added && (it->second[0] == 0xED || it->second[0] == 0xEE) && lead >= 0xFA) it->second = code;
      EXPECT_EQ(Decode(Encode(s)), s) << std::hex << lead << ' ' << t;
    }
  }
  for (const auto& [u, code] : first) EXPECT_EQ(Encode(std::u16string(1, u)), code) << std::hex << int(u);
}

TEST(Cp932, EncodingCases) {
  struct Case {
    std::u16string units;
    int32_t capacity;
    Bytes want;
  } cases[] = {
      {u"", 4, {}},
      {u"a", 0, {}},
      {u"a\u3042", 3, {'a', 0x82, 0xA0}},
      {u"a\u3042", 2, {}},  // does not fit: nothing
      {u"\u3042a", 2, {}},
      {u"\uFF61\\~", 3, {0xA1, 0x5C, 0x7E}},
      {u"\u00A5\u20AC", 8, {'?', '?'}},  // not in the code page
      {u"\uFFFD", 8, {'?'}},
      {u"x\U0001F600y", 8, {'x', '?', 'y'}},  // a pair is one character
      {u"x\U0001F600", 2, {'x', '?'}},
      {{0xD800}, 8, {'?'}},
      {{0xDC00, 0xD800}, 8, {'?', '?'}},
      {{0xDC00, 0xDC00}, 8, {'?', '?'}},
      {{0xD800, 0xD800, 0xDC00}, 8, {'?', '?'}},
      {{0xD800, 'a'}, 8, {'?', 'a'}},
      {{'a', 0, 'b'}, 8, {'a', 0, 'b'}},
      {u"\u2252\u2170\u7E8A", 8, {0x81, 0xE0, 0xFA, 0x40, 0xFA, 0x5C}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Encode(c.units, c.capacity), c.want) << testing::PrintToString(c.units) << ' ' << c.capacity;
  // Every cut below the needed size gives 0.
  const std::u16string text = u"abc\u3042\u30A2\uFF71def\u6F22\u5B57";
  const Bytes whole = Encode(text);
  ASSERT_EQ(whole.size(), 15u);
  for (int32_t capacity = 0; capacity < 15; ++capacity) EXPECT_EQ(Encode(text, capacity), Bytes{}) << capacity;
  EXPECT_EQ(Encode(text, 15), whole);
}

// Random text of one-to-one characters (ASCII runs among them) encodes as
// ICU encodes it and decodes back.
TEST(Cp932, RandomTextRoundTrips) {
  std::vector<char16_t> pool;
  IcuCp932 icu;
  for (uint32_t c = 0x80; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    Bytes b, want;
    b = Encode(std::u16string(1, char16_t(c)));
    if (b != Bytes{'?'} && icu.EncodeOne(char16_t(c), &want) && want == b) pool.push_back(char16_t(c));
  }
  ASSERT_GT(pool.size(), 8000u);
  std::mt19937 rng(31);
  auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int i = 0; i < 5000; ++i) {
    std::u16string s;
    for (int k = in(0, 12); k > 0; --k) {
      if (in(0, 1)) {
        for (int r = in(1, 19); r > 0; --r) s += char16_t(in(0, 0x7F));
      } else {
        s += pool[size_t(in(0, int(pool.size()) - 1))];
      }
    }
    const Bytes b = Encode(s);
    Bytes want;
    for (char16_t u : s) {
      Bytes one;
      ASSERT_TRUE(u < 0x80 || icu.EncodeOne(u, &one));
      if (u < 0x80) one = {uint8_t(u)};
      want.insert(want.end(), one.begin(), one.end());
    }
    ASSERT_EQ(b, want);
    ASSERT_EQ(Decode(b), s);
  }
}

}  // namespace
}  // namespace kebu
