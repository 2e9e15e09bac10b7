#include "codec/bocu1.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <random>
#include <string>
#include <vector>

namespace kebu {
namespace {

using Bytes = std::vector<uint8_t>;

// ICU's BOCU-1 encoder, the reference the decoder is checked against.
class IcuBocu1 {
 public:
  IcuBocu1() {
    UErrorCode e = U_ZERO_ERROR;
    cnv_ = ucnv_open("BOCU-1", &e);
    if (U_FAILURE(e)) ADD_FAILURE() << "ucnv_open(BOCU-1): " << u_errorName(e);
  }
  ~IcuBocu1() { ucnv_close(cnv_); }
  Bytes Encode(const std::u16string& s) {
    UErrorCode e = U_ZERO_ERROR;
    ucnv_reset(cnv_);
    std::string out(s.size() * 4 + 8, '\0');
    const int32_t n = ucnv_fromUChars(cnv_, out.data(), int32_t(out.size()), s.data(),
                                      int32_t(s.size()), &e);
    EXPECT_TRUE(U_SUCCESS(e)) << u_errorName(e);
    return Bytes(out.begin(), out.begin() + n);
  }

 private:
  UConverter* cnv_ = nullptr;
};

void Append(std::u16string& s, char32_t c) {
  if (c > 0xFFFF) {
    s += char16_t(0xD7C0 + (c >> 10));
    s += char16_t(0xDC00 | (c & 0x3FF));
  } else {
    s += char16_t(c);
  }
}

// Random text drawn from the scripts a dictionary holds, with the controls
// and code points at the edges of the reference point's script blocks.
std::u16string RandomText(std::mt19937& rng) {
  static const char32_t kEdges[] = {0x0,    0x9,    0xA,    0x1F,   0x20,    0x7F,     0x80,
                                    0x303F, 0x3040, 0x309F, 0x30A0, 0x4DFF,  0x4E00,   0x9FA5,
                                    0x9FA6, 0xABFF, 0xAC00, 0xD7A3, 0xD7A4,  0xD7FF,   0xE000,
                                    0xFFFD, 0xFFFF, 0x10000, 0x1F600, 0x20000, 0x10FFFF};
  std::u16string s;
  const int len = std::uniform_int_distribution<int>(0, 40)(rng);
  auto in = [&](char32_t lo, char32_t hi) {
    return std::uniform_int_distribution<char32_t>(lo, hi)(rng);
  };
  for (int i = 0; i < len; ++i) {
    char32_t c = 0;
    switch (std::uniform_int_distribution<int>(0, 12)(rng)) {
      case 0: c = in(0x21, 0x7E); break;
      case 1: c = u"\t\n \r"[in(0, 3)]; break;
      case 2: c = in(0x00, 0x1F); break;
      case 3: c = in(0xA0, 0x17F); break;
      case 4: c = in(0x370, 0x4FF); break;
      case 5: c = in(0x3040, 0x309F); break;
      case 6: c = in(0x30A0, 0x30FF); break;
      case 7: c = in(0x4E00, 0x9FFF); break;
      case 8: c = in(0xAC00, 0xD7A3); break;
      case 9: c = in(0xE000, 0xFFFF); break;
      case 10: c = in(0x80, 0xD7FF); break;
      case 11: c = in(0x10000, 0x10FFFF); break;
      default: c = kEdges[in(0, std::size(kEdges) - 1)]; break;
    }
    Append(s, c);
  }
  return s;
}

std::u16string Decode(const Bytes& b, int32_t capacity, int32_t* returned = nullptr) {
  std::vector<char16_t> out(capacity + 1, u'\x7777');
  const int32_t n = Bocu1DecodeUnits(b.data(), int32_t(b.size()), out.data(), capacity);
  if (returned) *returned = n;
  EXPECT_GE(n, 0);
  EXPECT_LT(n, capacity);
  EXPECT_EQ(out[n], 0) << "terminator";
  EXPECT_EQ(out[capacity], u'\x7777') << "written past the capacity";
  return std::u16string(out.data(), n);
}

TEST(Bocu1, DecodesWhatIcuEncodes) {
  IcuBocu1 icu;
  std::mt19937 rng(20240601);
  for (int i = 0; i < 20000; ++i) {
    const std::u16string text = RandomText(rng);
    const Bytes bytes = icu.Encode(text);
    int32_t n = -1;
    ASSERT_EQ(Decode(bytes, int32_t(text.size()) + 1, &n), text) << "case " << i;
    ASSERT_EQ(n, int32_t(text.size()));
  }
}

// With capacity k the result is the longest run of whole code points from
// the start that fits in k - 1 units: a pair that does not fit ends the text.
TEST(Bocu1, CapacityCutsAtWholeCodePoints) {
  IcuBocu1 icu;
  std::mt19937 rng(7);
  for (int i = 0; i < 5000; ++i) {
    const std::u16string text = RandomText(rng);
    const Bytes bytes = icu.Encode(text);
    const int32_t capacity =
        std::uniform_int_distribution<int32_t>(1, int32_t(text.size()) + 1)(rng);
    size_t keep = 0;
    while (keep < text.size()) {
      const size_t step = (text[keep] & 0xFC00) == 0xD800 ? 2 : 1;
      if (keep + step > size_t(capacity - 1)) break;
      keep += step;
    }
    ASSERT_EQ(Decode(bytes, capacity), text.substr(0, keep))
        << "case " << i << " capacity " << capacity;
  }
}

TEST(Bocu1, EdgeCases) {
  // D0 8D is U+0100 from the initial reference point and moves it to 0x140,
  // so a following B1 tells whether it was reset (a) or not (U+0161).
  // FC FF 5D is U+1F600 from the initial reference point.
  struct Case {
    const char* name;
    Bytes bytes;
    int32_t capacity;
    std::u16string want;
  } cases[] = {
      {"three single-byte differences", {0xB1, 0xB2, 0xB3}, 16, u"abc"},
      {"empty input", {}, 16, u""},
      {"lead then a byte that cannot trail", {0xD0, 0x00}, 16, u""},
      {"capacity 1", {0xB1, 0xB2}, 1, u""},
      {"capacity cuts", {0xB1, 0xB2, 0xB3}, 3, u"ab"},
      {"two-byte difference keeps the new reference", {0xD0, 0x8D, 0xB1}, 16, u"\u0100\u0161"},
      {"FF resets the reference", {0xD0, 0x8D, 0xFF, 0xB1}, 16, u"\u0100a"},
      {"FF stores nothing", {0xFF, 0xFF, 0xB1, 0xFF}, 16, u"a"},
      {"TAB resets", {0xD0, 0x8D, 0x09, 0xB1}, 16, u"\u0100\ta"},
      {"LF resets", {0xD0, 0x8D, 0x0A, 0xB1}, 16, u"\u0100\na"},
      {"space keeps", {0xD0, 0x8D, 0x20, 0xB1}, 16, u"\u0100 \u0161"},
      {"zero byte is a unit", {0xB1, 0x00, 0xB2}, 16, std::u16string(u"a\0b", 3)},
      {"unfinished two-byte sequence", {0xB1, 0xD0}, 16, u"a"},
      {"unfinished four-byte sequence", {0xB1, 0xFE, 0x21, 0x21}, 16, u"a"},
      {"result above 10FFFF", {0xB1, 0xFE, 0xFF, 0xFF, 0xFF, 0xB2}, 16, u"a"},
      {"result below 0", {0xB1, 0x21, 0x21, 0x21, 0x21, 0xB2}, 16, u"a"},
      {"pair with room for it", {0xB1, 0xFC, 0xFF, 0x5D, 0xB2}, 4, u"a\U0001F600"},
      {"pair with one unit left ends the text", {0xB1, 0xFC, 0xFF, 0x5D, 0xB2}, 3, u"a"},
      {"pair as the first code point, capacity 2", {0xFC, 0xFF, 0x5D, 0xB1}, 2, u""},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.bytes, c.capacity), c.want) << c.name;
}

// Bytes 00, 07-0F, 1A, 1B and 20 cannot trail and end the text; the other
// bytes up to 20 are trail values 0..19.
TEST(Bocu1, LowTrailBytes) {
  for (int b = 0; b <= 0x20; ++b) {
    const bool illegal = b == 0 || (b >= 0x07 && b <= 0x0F) || b == 0x1A || b == 0x1B || b == 0x20;
    const Bytes bytes = {0xB1, 0xD0, uint8_t(b), 0xB2};
    const std::u16string got = Decode(bytes, 16);
    if (illegal) {
      EXPECT_EQ(got, u"a") << std::hex << b;
    } else {
      // Trail values run from 0 (byte 01) upward, skipping the illegal bytes.
      int t = 0;
      for (int k = 1; k < b; ++k)
        t += !(k >= 0x07 && k <= 0x0F) && k != 0x1A && k != 0x1B;
      // prev 0x40 + 64 (first two-byte difference) + t; prev follows the result.
      const char16_t cp = char16_t(0x40 + 64 + t);
      const char16_t next = char16_t((cp & ~0x7F) + 0x40 + 0x22);
      EXPECT_EQ(got, (std::u16string{u'a', cp, next})) << std::hex << b;
    }
  }
}

TEST(Bocu1, DecoderReturnsAndState) {
  struct Step {
    uint8_t byte;
    int32_t result, prev, count;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"single-byte difference", {{0xB1, 0x61, 0x40, 0}}},
      {"reset byte", {{0xFF, -1, 0x40, 0}}},
      {"two-byte sequence", {{0xD0, -1, 0x40, 1}, {0x8D, 0x100, 0x140, 0}}},
      {"reset after a sequence", {{0xD0, -1, 0x40, 1}, {0x8D, 0x100, 0x140, 0}, {0xFF, -1, 0x40, 0}}},
      {"illegal trail resets", {{0xB1, 0x61, 0x40, 0}, {0xD0, -1, 0x40, 1}, {0x0A, -99, 0x40, 0}}},
      {"after an error the next byte leads", {{0xD0, -1, 0x40, 1}, {0x20, -99, 0x40, 0}, {0x20, 0x20, 0x40, 0}}},
      {"four-byte lead", {{0xFE, -1, 0x40, 3}, {0x21, -1, 0x40, 2}, {0x21, -1, 0x40, 1}}},
  };
  for (const Case& c : cases) {
    Bocu1Decoder d;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      EXPECT_EQ(d.Decode(s.byte), s.result) << c.name << " step " << i;
      EXPECT_EQ(d.prev, s.prev) << c.name << " step " << i;
      EXPECT_EQ(d.count, s.count) << c.name << " step " << i;
    }
  }
  // Reference points of the three big scripts, then the 128-block rule.
  IcuBocu1 icu;
  struct Ref {
    char32_t cp;
    int32_t prev;
  } refs[] = {{0x3042, 0x3070}, {0x30A2, 0x3080 + 0x40}, {0x4E00, 0x7711}, {0x9FA5, 0x7711},
              {0x9FA6, 0x9F80 + 0x40}, {0xAC00, 0xC1D1}, {0xD7A3, 0xC1D1}, {0x1F600, 0x1F600 + 0x40}};
  for (const Ref& r : refs) {
    std::u16string s;
    Append(s, r.cp);
    Bocu1Decoder d;
    int32_t last = -2;
    for (uint8_t b : icu.Encode(s)) last = d.Decode(b);
    EXPECT_EQ(last, int32_t(r.cp)) << std::hex << uint32_t(r.cp);
    EXPECT_EQ(d.prev, r.prev) << std::hex << uint32_t(r.cp);
  }
}

TEST(Bocu1, CallingFormReturnsZeroAndSameText) {
  const Bytes inputs[] = {{0xB1, 0xB2, 0xB3}, {}, {0xD0, 0x00}, {0xB1, 0xFC, 0xFF, 0x5D}};
  for (const Bytes& b : inputs) {
    for (int32_t capacity : {1, 2, 3, 8}) {
      std::u16string want = Decode(b, capacity);
      std::vector<char16_t> out(capacity, u'\x7777');
      EXPECT_EQ(Bocu1ToUtf16(b.data(), int32_t(b.size()), out.data(), capacity), 0);
      EXPECT_EQ(std::u16string(out.data()), want);
    }
  }
}

}  // namespace
}  // namespace kebu
