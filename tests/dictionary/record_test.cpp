// The word record walk over hand-made and written record areas.
#include <gtest/gtest.h>

#include "dictionary/dic_block_reader.h"
#include "dictionary/record_decoder.h"
#include "tests/dictionary/reader_support.h"

namespace kebu::testing {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct Parsed {
  std::string headword, translation, example, pronunciation;
  int attribute = 0;
  int32_t offset = 0, next = 0;
  bool operator==(const Parsed&) const = default;
};

// Every record of the one area that `file` holds at block 0.
std::vector<Parsed> ParseAll(const Bytes& file) {
  Opened d(file);
  EXPECT_TRUE(d.opened);
  const DicSource& source = *d.reader.Source();
  DicBlockReader blocks(source.file, source.header);
  EXPECT_TRUE(blocks.LoadBlock(0));
  std::vector<Parsed> out;
  RecordFields f;
  RecordPosition p;
  const auto text = [&](int32_t offset, uint16_t length) {
    return std::string(reinterpret_cast<const char*>(blocks.GetData()) + offset, length);
  };
  while (out.size() < 20 && blocks.ParseRecord(&f, &p)) {
    out.push_back({reinterpret_cast<const char*>(blocks.Headword()),
                   text(f.translationOffset, f.translationLength), text(f.exampleOffset, f.exampleLength),
                   text(f.pronunciationOffset, f.pronunciationLength), f.attribute, p.recordOffset,
                   blocks.GetPosition()});
    EXPECT_EQ(f.exampleLength != 0 || f.exampleOffset == 0, true) << "no example: offset 0";
  }
  return out;
}

Bytes InArea(const Bytes& content, Encoding encoding, bool wide = false, int blockSize = 256) {
  Options o;
  o.encoding = encoding;
  o.block_size = blockSize;
  return AssembleFile(o, {{0, "a"}}, MakeRawArea(content, blockSize, wide));
}

const Bytes kCat = {0x09, 0x00, 0x00, 'c', 'a', 't', 0x00, 0x01, 'n', 'e', 'k', 'o'};
const Bytes kCar = {0x05, 0x00, 0x02, 'r', 0x00, 0x01, 'i', 'n'};
const Bytes kDog = {0x13, 0x00, 0x00, 'd', 'o', 'g', 0x00, 0x11, 'i', 'n', 'u', 0x00, 0x01,
                    'w',  'a',  'n',  0x00, 0x02, 'd', 'g', 0x00, 0x80};
const Bytes kEnd = {0x00, 0x00};

TEST(ParseRecord, WorkedExamplesInBothEncodings) {
  // The same texts in a BOCU-1 area: the attribute byte follows the prefix
  // count, and L is one less.
  const Bytes cat = {0x08, 0x00, 0x00, 0x01, 'c', 'a', 't', 0x00, 'n', 'e', 'k', 'o'};
  const Bytes car = {0x04, 0x00, 0x02, 0x01, 'r', 0x00, 'i', 'n'};
  const Bytes dog = {0x12, 0x00, 0x00, 0x11, 'd', 'o', 'g', 0x00, 'i', 'n', 'u',
                     0x00, 0x01, 'w',  'a',  'n', 0x00, 0x02, 'd', 'g', 0x00, 0x80};
  const std::vector<Parsed> expected = {{"cat", "neko", "", "", 1, 2, 14},
                                        {"car", "in", "", "", 1, 14, 22},
                                        {"dog", "inu", "wan", "dg", 1, 22, 44}};
  EXPECT_EQ(ParseAll(InArea(Join({kCat, kCar, kDog, kEnd}), Encoding::kCp932)), expected);
  EXPECT_EQ(ParseAll(InArea(Join({cat, car, dog, kEnd}), Encoding::kBocu1)), expected);
}

TEST(ParseRecord, FieldListsAndAttributeBitsAsWritten) {
  struct Case {
    Record record;
    int attribute;
    std::string example, pronunciation;
  };
  const Case cases[] = {
      {{.headword = "a", .translation = "t", .attribute = 0x25}, 5, "", ""},
      {{.headword = "a", .translation = "t", .attribute = 0x35}, 5, "", ""},
      {{.headword = "a", .translation = "t", .extra = {{0x10, "xyz"}, {1, "ex"}}}, 0, "ex", ""},
      {{.headword = "a", .translation = "t", .extra = {{3, "skip"}, {2, "pr"}}}, 0, "", "pr"},
      {{.headword = "a", .translation = "t", .extra = {{0x81, "zz"}, {1, "e"}}}, 0, "e", ""},
      {{.headword = "a", .translation = "t", .example = "first", .extra = {{1, "second"}}}, 0, "second", ""},
      {{.headword = "a", .translation = "t", .extended = true}, 0, "", ""},
      {{.headword = "a", .translation = "t", .extra = {{0x80, ""}, {1, "late"}}}, 0, "", ""},
      {{.headword = "a", .translation = "t", .example = "e", .endTag = false}, 0, "e", ""},
  };
  for (const Encoding e : {Encoding::kCp932, Encoding::kBocu1}) {
    for (const LengthWidth width : {LengthWidth::k2, LengthWidth::k4}) {
      for (const Case& c : cases) {
        Options o;
        o.encoding = e;
        o.lengths = width;
        const BuiltDictionary built = MakeDictionary({c.record, {.headword = "b", .translation = "u"}}, o);
        const std::vector<Parsed> parsed = ParseAll(built.bytes);
        ASSERT_EQ(parsed.size(), 2u);
        EXPECT_EQ(parsed[0].attribute, c.attribute);
        EXPECT_EQ(parsed[0].example, EncodeText(e, c.example));
        EXPECT_EQ(parsed[0].pronunciation, EncodeText(e, c.pronunciation));
        EXPECT_EQ(parsed[0].next, static_cast<int32_t>(built.layout.areas[0].records[0].end));
        EXPECT_EQ(parsed[1].headword, EncodeText(e, "b"));
      }
    }
  }
}

TEST(ParseRecord, BrokenRecordsEndTheArea) {
  const Bytes h1027 = Join({{0x06, 0x04, 0x00}, Bytes(1027, 'h'), {0x00, 0x01, 't', 0, 0}});
  const Bytes h1028 = Join({{0x07, 0x04, 0x00}, Bytes(1028, 'h'), {0x00, 0x01, 't', 0, 0}});
  struct Case {
    Bytes content;
    size_t good;  // records read before the area ends
    int blockSize = 256;
  };
  const Case cases[] = {
      {Join({kCat, {0xF0, 0x00, 0x00, 'x', 0x00, 0x01}}), 1},  // length past the area
      {{0x02, 0x00, 0x00, 'a', 'b', 0x00, 0x01, 'x'}, 0},       // too short for the tail
      {{0x02, 0x00, 0x00, 'a', 0x00, 0x01}, 0},                 // ... and the attribute
      {Join({kCat, {0x05, 0x00, 0x04, 'r', 0x00, 0x01, 'i', 'n'}}), 1},  // prefix too long
      {{0x05, 0x00, 0x01, 'r', 0x00, 0x01, 'i', 'n'}, 0},       // a first record with a prefix
      {Join({{0x07, 0x00, 0x00, 'a', 0x00, 0x11}, Bytes(248, 'x')}), 0},  // translation unended
      {{0x0C, 0x00, 0x00, 'a', 0x00, 0x11, 't', 0x00, 0x10, 0xFF, 0x7F, 0x80, 0x00, 0x00}, 0},
      {Join({{0xF0, 0x00, 0x00, 'a', 0x00, 0x11, 't', 0x00, 0x01}, Bytes(245, 'e')}), 0},
      {Join({{0xFA, 0x00, 0x00, 'a', 0x00, 0x01}, Bytes(247, 't'), {0x01}}), 1},  // half a length
      {h1027, 1, 1024},  // the longest headword there is
      {h1028, 0, 1024},
  };
  for (const Case& c : cases) {
    const std::vector<Parsed> parsed = ParseAll(InArea(c.content, Encoding::kCp932, false, c.blockSize));
    EXPECT_EQ(parsed.size(), c.good) << ::testing::PrintToString(Bytes(c.content.begin(), c.content.begin() + 12));
  }
}

TEST(DecodeRecord, EveryTextMustLieInsideTheArea) {
  const uint8_t area[8] = {'t', 'r', 'a', 'n', 's', 'l', 'a', 't'};
  const uint8_t headword[] = {'h', 'w', 0};
  struct Case {
    int32_t offset;
    uint16_t length;
    int field;  // 0 translation, 1 example, 2 pronunciation
    PronunciationRule rule;
    bool decoded;
  };
  const Case cases[] = {
      {0, 8, 0, PronunciationRule::kText, true},    {4, 4, 1, PronunciationRule::kText, true},
      {8, 0, 2, PronunciationRule::kText, true},    {4, 5, 0, PronunciationRule::kText, false},
      {-1, 1, 1, PronunciationRule::kText, false},  {7, 2, 2, PronunciationRule::kBytes, false},
      {7, 2, 2, PronunciationRule::kLeftOut, true},  // not read, so not looked at
  };
  for (const Case& c : cases) {
    RawRecord r{.headword = headword, .area = area, .areaSize = sizeof area};
    r.fields.headwordLength = 2;
    int32_t* offsets[] = {&r.fields.translationOffset, &r.fields.exampleOffset, &r.fields.pronunciationOffset};
    uint16_t* lengths[] = {&r.fields.translationLength, &r.fields.exampleLength, &r.fields.pronunciationLength};
    *offsets[c.field] = c.offset;
    *lengths[c.field] = c.length;
    RecordText t;
    t.example = u"old";
    EXPECT_EQ(DecodeRecord(r, false, {kWholeTexts, c.rule}, &t), c.decoded) << c.offset << "+" << c.length;
    EXPECT_EQ(t.headword, c.decoded ? u"hw" : u"");
    EXPECT_EQ(t.example, c.decoded && c.field == 1 ? u"slat" : u"");
  }
  // A headword without bytes to read.
  RecordText t;
  RawRecord none{.area = area, .areaSize = sizeof area};
  none.fields.headwordLength = 2;
  EXPECT_FALSE(DecodeRecord(none, true, {}, &t));
}

}  // namespace
}  // namespace kebu::testing
