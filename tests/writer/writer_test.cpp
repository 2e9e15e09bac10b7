// What the writer decides on its own, against hand-made expectations; that
// every variant reads back as its Layout says is tests/dictionary's part.
#include <gtest/gtest.h>
#include "tests/support/test_support.h"

namespace kebu::testing {
namespace {
TEST(Writer, HeaderFieldsStandAtTheirOffsets) {
  Options o{.os = 3, .dicorder = 2, .attrlen = 5, .lword = 0x1234, .ljapa = 0x2345, .block_size = 512,
            .header_size = 300, .index32 = true, .data_gap = 0x0A0B0C0D, .nword = 0x01020304,
            .nindex2 = 0x11121314, .nblock2 = 0x21222324, .index_block = 7};
  // The offsets of the signature and of the fields that the layouts place differently.
  const struct {
    uint16_t version;
    Encoding encoding;
    int signature, os, blkbit, gap, nindex2, nblock2, dictype;
  } cases[] = {{0x0400, Encoding::kCp932, 13, 171, 198, 182, 190, 194, 0},
               {0x04FF, Encoding::kCp932, 24, 171, 198, 182, 190, 194, 0},
               {0x0500, Encoding::kCp932, 24, 167, 182, 184, 192, 196, 0},
               {0x0600, Encoding::kBocu1, 13, 167, 182, 184, 192, 196, 8}};
  for (const auto& c : cases) {
    o.version = c.version, o.encoding = c.encoding, o.signature_offset = c.signature;
    std::vector<uint8_t> want(256, 0);
    auto put = [&](int at, uint32_t v, int n) { while (n--) want[at++] = uint8_t(v), v >>= 8; };
    std::copy(kSignatureText.begin(), kSignatureText.end(), want.begin() + c.signature);
    put(140, c.version, 2), put(142, 0x1234, 2), put(144, 0x2345, 2), put(146, 512, 2), put(148, 7, 2);
    put(150, 300, 2), put(160, 0x01020304, 4), put(164, 2, 1), put(165, c.dictype, 1), put(166, 5, 1);
    put(c.os, 3, 1), put(c.blkbit, 1, 1), put(c.gap, 0x0A0B0C0D, 4), put(c.nindex2, 0x11121314, 4);
    put(c.nblock2, 0x21222324, 4);
    EXPECT_EQ(MakeHeader(o), want) << std::hex << c.version;
  }
}

// Sorted: car (10 bytes), cat (10 behind car), dog (22). An area takes what fits with the
// zero length that ends it (2 + 10 + 10 + 2 = 24); a record that fits nowhere grows its own.
TEST(Writer, PacksWhatFitsWithTheEndMarker) {
  const std::vector<Record> records = {
      {.headword = "cat", .translation = "neko"}, {.headword = "car", .translation = "in"},
      {.headword = "dog", .translation = "inu", .example = "wan", .pronunciation = "dg"}};
  using Areas = std::vector<std::pair<size_t, uint32_t>>;  // records and blocks of each area
  const std::pair<int, Areas> cases[] = {
      {32, {{2, 1}, {1, 1}}}, {24, {{2, 1}, {1, 2}}}, {23, {{1, 1}, {1, 1}, {1, 2}}}, {1024, {{3, 1}}}};
  for (const auto& [blockSize, want] : cases) {
    const BuiltDictionary dic = BuildDictionary(records, {.block_size = blockSize});
    Areas areas;
    for (const AreaLayout& a : dic.layout.areas) {
      areas.emplace_back(a.records.size(), a.block_count);
      const uint64_t end = a.file_offset + a.end_marker_offset;  // two zero bytes in the area
      EXPECT_LE(a.end_marker_offset + 2u, a.block_count * uint32_t(blockSize)) << blockSize;
      EXPECT_EQ(dic.bytes[end] | dic.bytes[end + 1], 0) << blockSize;
      EXPECT_EQ(dic.bytes[a.file_offset] | dic.bytes[a.file_offset + 1] << 8, int(a.block_count));
    }
    EXPECT_EQ(areas, want) << blockSize;
  }
}

// 4-byte lengths (area word bit 15) where a record needs them or where they are asked for.
TEST(Writer, ChoosesTheLengthWidth) {
  const std::tuple<LengthWidth, size_t, int> cases[] = {
      {LengthWidth::kAuto, 100, 2}, {LengthWidth::kAuto, 70000, 4}, {LengthWidth::k4, 100, 4}};
  for (const auto& [lengths, size, width] : cases) {
    const Options o{.block_size = 256, .lengths = lengths};
    const BuiltDictionary dic = BuildDictionary({{.headword = "a", .translation = std::string(size, 'y')}}, o);
    EXPECT_EQ(dic.bytes[dic.layout.areas[0].file_offset + 1] & 0x80, width == 4 ? 0x80 : 0) << size;
    EXPECT_EQ(dic.layout.areas[0].length_width, width);
  }
  const Options narrow{.lengths = LengthWidth::k2};
  EXPECT_THROW(BuildDictionary({{.headword = "a", .translation = std::string(70000, 'y')}}, narrow),
               std::invalid_argument);
}

// As lookup compares: code page 932 bytes (～ 81 60 before 亜 88 9F) or UTF-16 units; stable.
TEST(Writer, SortsAsLookupCompares) {
  const std::vector<Record> records = {{.headword = "亜"}, {.headword = "～"}, {.headword = "b"},
                                       {.headword = "B"}, {.headword = "b"}};
  for (const auto& [encoding, want] : {std::pair{Encoding::kCp932, "32410"}, {Encoding::kBocu1, "32401"}}) {
    const BuiltDictionary dic = BuildDictionary(records, {.encoding = encoding});
    std::string order;
    for (const RecordLayout* r : dic.layout.Records()) order += char('0' + r->source);
    EXPECT_EQ(order, want);
  }
}

// The Windows table: 5C is the backslash, 81 60 is U+FF5E, the controls are
// themselves; a character it lacks or reads back as another (¢ as ￠) is one
// '?', counted. Version-6 keys fold A-Z, '-' and the kana.
TEST(Writer, EncodesAndFoldsText) {
  size_t substitutions = 0;
  EXPECT_EQ(EncodeCp932("a\\~～ガｱ\x1A\x1C\x7F", &substitutions), "a\\~\x81\x60\x83\x4B\xB1\x1A\x1C\x7F");
  EXPECT_EQ(EncodeCp932("xé😀¢", &substitutions), "x???");
  EXPECT_EQ(substitutions, 3u);
  const std::pair<const char*, const char*> folds[] = {
      {"Ab-C Tokyo", "ab c tokyo"}, {"ガス", "カス"}, {"パッヶ", "ハツケ"}, {"ヴがＡ", "ヴがＡ"}};
  for (const auto& [display, key] : folds) {
    EXPECT_EQ(FoldKeyV6(std::string_view(display)), key);
    EXPECT_EQ(V6Headword(display), std::string(key) + "\t" + display);
  }
}
}  // namespace
}  // namespace kebu::testing
