// BOCU-1 both ways against ICU: every code point and random text encoded as
// ICU encodes it and decoded back by ICU; ICU's bytes decoded; and the edges
// that random text rarely reaches.
#include "codec/bocu1.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <random>
#include <string>
#include <vector>

namespace kebu {
namespace {

using Bytes = std::vector<uint8_t>;

UConverter* Icu() {
  static UConverter* const cnv = [] {
    UErrorCode e = U_ZERO_ERROR;
    return ucnv_open("BOCU-1", &e);
  }();
  return cnv;
}
Bytes IcuEncode(const std::u16string& s) {
  UErrorCode e = U_ZERO_ERROR;
  std::string out(s.size() * 4 + 8, '\0');
  const int32_t n = ucnv_fromUChars(Icu(), out.data(), int32_t(out.size()), s.data(), int32_t(s.size()), &e);
  EXPECT_TRUE(U_SUCCESS(e)) << u_errorName(e);
  return Bytes(out.begin(), out.begin() + n);
}
std::u16string IcuDecode(const Bytes& b) {
  UErrorCode e = U_ZERO_ERROR;
  std::u16string out(b.size() * 2 + 4, u'\0');
  out.resize(ucnv_toUChars(Icu(), out.data(), int32_t(out.size()), reinterpret_cast<const char*>(b.data()),
                           int32_t(b.size()), &e));
  EXPECT_TRUE(U_SUCCESS(e)) << u_errorName(e);
  return out;
}

// Through a buffer of three bytes a unit, checking that nothing is written
// behind it.
Bytes Encode(const std::u16string& s) {
  Bytes out(s.size() * 3 + 1, 0xA5);
  out.resize(Utf16ToBocu1(s.data(), uint32_t(s.size()), out.data()) + 1);
  EXPECT_EQ(out.back(), 0xA5) << "written past the room";
  return Bytes(out.begin(), out.end() - 1);
}

// Decodes with exactly `capacity` units of room, checking the terminator and
// that nothing is written behind it, nor read behind the input ('a's there).
std::u16string Decode(Bytes b, int32_t capacity) {
  const int32_t length = int32_t(b.size());
  b.resize(b.size() + 4, 0xB1);
  std::vector<char16_t> out(capacity + 1, u'\x7777');
  const int32_t n = Bocu1DecodeUnits(b.data(), length, out.data(), capacity);
  EXPECT_TRUE(n >= 0 && n < capacity) << n;
  EXPECT_EQ(out[n], 0) << "terminator";
  EXPECT_EQ(out[capacity], u'\x7777') << "written past the capacity";
  return std::u16string(out.data(), n);
}

// Random text from the scripts a dictionary holds (each with its own
// reference point), controls, and the code points at the blocks' edges.
std::u16string RandomText(std::mt19937& rng) {
  static const char32_t kRanges[][2] = {
      {0x21, 0x7E}, {0x00, 0x20}, {0xA0, 0x4FF}, {0x3040, 0x309F}, {0x30A0, 0x30FF}, {0x4E00, 0x9FFF},
      {0xAC00, 0xD7A3}, {0xE000, 0xFFFF}, {0x80, 0xD7FF}, {0x10000, 0x10FFFF}};
  static const char32_t kEdges[] = {0x7F, 0x80, 0x303F, 0x3040, 0x309F, 0x30A0, 0x4DFF, 0x4E00,
                                    0x9FA5, 0x9FA6, 0xABFF, 0xAC00, 0xD7A3, 0xD7A4, 0xFFFF, 0x10000};
  std::u16string s;
  for (int i = std::uniform_int_distribution<int>(0, 40)(rng); i > 0; --i) {
    const size_t pick = rng() % (std::size(kRanges) + 1);
    const char32_t* r = pick < std::size(kRanges) ? kRanges[pick] : nullptr;
    char32_t c = r != nullptr ? r[0] + rng() % (r[1] - r[0] + 1) : kEdges[rng() % std::size(kEdges)];
    if (c > 0xFFFF) s += char16_t(0xD7C0 + (c >> 10)), c = 0xDC00 | (c & 0x3FF);
    s += char16_t(c);
  }
  return s;
}

// Every code point behind a character of another script (each reference
// point in turn, a control's reset among them) and before an "a" encodes as
// ICU encodes it, and ICU and our decoder decode it back; a lone surrogate
// is encoded as the code point of its value (ICU does so too, but for a
// lead surrogate at the very end).
TEST(Bocu1, EncodesEveryCodePointAsIcu) {
  const std::u16string kBefore[] = {u"a", u"\u3042", u"\u4E00", u"\uAC00", u"\u0416", u"\U0001F600", u"\n"};
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    std::u16string text = kBefore[c % std::size(kBefore)];
    if (c > 0xFFFF) text += char16_t(0xD7C0 + (c >> 10));
    text += {char16_t(c > 0xFFFF ? 0xDC00 | (c & 0x3FF) : c), u'a'};
    const Bytes bytes = Encode(text);
    ASSERT_EQ(bytes, IcuEncode(text)) << std::hex << uint32_t(c);
    ASSERT_EQ(IcuDecode(bytes), text) << std::hex << uint32_t(c);
    ASSERT_EQ(Decode(bytes, int32_t(text.size()) + 1), text) << std::hex << uint32_t(c);
  }
}

// Random text encodes as ICU encodes it; then ICU's bytes decode whole, byte
// by byte with the decoder alone, and with a random capacity k: the longest
// run of whole code points from the start that fits in k - 1 units (a pair
// that does not fit ends it).
TEST(Bocu1, EncodesAsIcuAndDecodesWhatIcuEncodesCuttingAtWholeCodePoints) {
  std::mt19937 rng(20240601);
  for (int i = 0; i < 20000; ++i) {
    const std::u16string text = RandomText(rng);
    const Bytes bytes = IcuEncode(text);
    ASSERT_EQ(Encode(text), bytes) << "case " << i;
    ASSERT_EQ(Decode(bytes, int32_t(text.size()) + 1), text) << "case " << i;
    Bocu1Decoder decoder;
    std::u16string bytewise;
    for (uint8_t b : bytes) {
      const int32_t c = decoder.Decode(b);
      if (c > 0xFFFF) bytewise += char16_t(0xD7C0 + (c >> 10)), bytewise += char16_t(0xDC00 | (c & 0x3FF));
      if (c >= 0 && c <= 0xFFFF) bytewise += char16_t(c);
    }
    ASSERT_EQ(bytewise, text) << "case " << i;
    const size_t room = rng() % (text.size() + 1);
    const size_t keep = room - (room > 0 && room < text.size() && (text[room - 1] & 0xFC00) == 0xD800);
    ASSERT_EQ(Decode(bytes, int32_t(room) + 1), text.substr(0, keep)) << "case " << i << " room " << room;
  }
}

TEST(Bocu1, EdgeCases) {
  // D0 8D is U+0100 from the initial reference point and moves it to 0x140,
  // so a following B1 tells whether it was reset (a) or not (U+0161).
  // FC FF 5D is U+1F600 from the initial reference point.
  const std::tuple<Bytes, int32_t, std::u16string> cases[] = {
      {{0xB1, 0xB2, 0xB3}, 16, u"abc"}, {{}, 16, u""}, {{0xB1, 0xB2}, 1, u""}, {{0xB1, 0xB2, 0xB3}, 3, u"ab"},
      {{0xD0, 0x8D, 0xB1}, 16, u"\u0100\u0161"}, {{0xD0, 0x8D, 0x20, 0xB1}, 16, u"\u0100 \u0161"},
      // FF, TAB and LF reset the reference point; FF stores nothing.
      {{0xD0, 0x8D, 0xFF, 0xB1}, 16, u"\u0100a"}, {{0xFF, 0xFF, 0xB1, 0xFF}, 16, u"a"},
      {{0xD0, 0x8D, 0x09, 0xB1}, 16, u"\u0100\ta"}, {{0xD0, 0x8D, 0x0A, 0xB1}, 16, u"\u0100\na"},
      {{0xB1, 0x00, 0xB2}, 16, std::u16string(u"a\0b", 3)},
      // The text ends at an unfinished sequence, a byte that cannot trail,
      // a result above U+10FFFF or below 0, and a pair without room.
      {{0xB1, 0xD0}, 16, u"a"}, {{0xB1, 0xFE, 0x21, 0x21}, 16, u"a"}, {{0xB1, 0xD0, 0x00, 0xB2}, 16, u"a"},
      {{0xB1, 0xFE, 0xFF, 0xFF, 0xFF, 0xB2}, 16, u"a"}, {{0xB1, 0x21, 0x21, 0x21, 0x21, 0xB2}, 16, u"a"},
      {{0xB1, 0xFC, 0xFF, 0x5D, 0xB2}, 4, u"a\U0001F600"}, {{0xB1, 0xFC, 0xFF, 0x5D, 0xB2}, 3, u"a"},
      {{0xFC, 0xFF, 0x5D, 0xB1}, 2, u""},
  };
  for (const auto& [bytes, capacity, want] : cases) {
    EXPECT_EQ(Decode(bytes, capacity), want) << ::testing::PrintToString(bytes);
  }
}

// Bytes 00, 07-0F, 1A, 1B and 20 cannot trail and end the text; the other
// bytes up to 20 carry the trail values 0..19 in order.
TEST(Bocu1, LowTrailBytes) {
  int t = 0;
  for (int b = 0; b <= 0x20; ++b) {
    const bool illegal = b == 0 || (b >= 0x07 && b <= 0x0F) || b == 0x1A || b == 0x1B || b == 0x20;
    // D0 t from 0x40 is U+0080 + t; B2 from there (reference 0xC0) is U+00E2.
    const std::u16string want = illegal ? u"a" : std::u16string{u'a', char16_t(0x80 + t++), u'\u00E2'};
    EXPECT_EQ(Decode({0xB1, 0xD0, uint8_t(b), 0xB2}, 16), want) << std::hex << b;
  }
  EXPECT_EQ(t, 20);
}

}  // namespace
}  // namespace kebu
