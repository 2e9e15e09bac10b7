// The word record walk over hand-made record areas.
#include <gtest/gtest.h>

#include "dictionary/dic_block_reader.h"
#include "tests/dictionary/reader_fixture.h"

namespace kebu::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// One area holding `content` (records from byte 2), loaded and ready.
class Area {
 public:
  Area(const Bytes& content, Encoding encoding, bool wide = false, int blockSize = 256) {
    Options o;
    o.encoding = encoding;
    o.block_size = blockSize;
    Bytes data = MakeRawArea(content, blockSize, wide);
    file_ = std::make_unique<OpenDictionary>(AssembleFile(o, {{0, "a"}}, data));
    EXPECT_EQ(file_->openResult(), 0);
    blocks_ = file_->reader().GetBlockReader();
    EXPECT_EQ(blocks_->LoadBlock(0), 0);
  }
  DicBlockReader& blocks() { return *blocks_; }

  struct Parsed {
    int result = -1;
    std::string headword;
    RecordFields fields;
    RecordPosition position;
    int32_t next = 0;
  };
  Parsed Next() {
    Parsed p;
    uint8_t headword[kMaxHeadwordLength + 1] = {};
    p.result = blocks_->ParseRecord(headword, &p.fields, &p.position);
    p.headword = reinterpret_cast<char*>(headword);
    p.next = blocks_->GetPosition();
    return p;
  }
  std::string Text(int32_t offset, uint16_t length) {
    return std::string(reinterpret_cast<const char*>(blocks_->GetData()) + offset, length);
  }

 private:
  std::unique_ptr<OpenDictionary> file_;
  DicBlockReader* blocks_ = nullptr;
};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kCat = {0x09, 0x00, 0x00, 'c', 'a', 't', 0x00, 0x01, 'n', 'e', 'k', 'o'};
const Bytes kCar = {0x05, 0x00, 0x02, 'r', 0x00, 0x01, 'i', 'n'};
const Bytes kDog = {0x13, 0x00, 0x00, 'd', 'o', 'g', 0x00, 0x11, 'i', 'n', 'u', 0x00, 0x01,
                    'w',  'a',  'n',  0x00, 0x02, 'd', 'g', 0x00, 0x80};
const Bytes kEnd = {0x00, 0x00};

TEST(ParseRecord, WorkedExamplesCodePage932) {
  Area area(Join({kCat, kCar, kDog, kEnd}), Encoding::kCp932);
  const int32_t p1 = 2, p2 = p1 + 12, p3 = p2 + 8;

  Area::Parsed r = area.Next();
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.headword, "cat");
  EXPECT_EQ(r.fields.headwordLength, 3);
  EXPECT_EQ(r.fields.translationOffset, p1 + 8);
  EXPECT_EQ(area.Text(r.fields.translationOffset, r.fields.translationLength), "neko");
  EXPECT_EQ(r.fields.attribute, 1);
  EXPECT_EQ(r.fields.exampleOffset, 0);
  EXPECT_EQ(r.fields.exampleLength, 0);
  EXPECT_EQ(r.position.recordOffset, p1);
  EXPECT_EQ(r.position.block, 0);
  EXPECT_EQ(r.next, p2);

  r = area.Next();
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.headword, "car");
  EXPECT_EQ(r.fields.translationOffset, p2 + 6);
  EXPECT_EQ(r.fields.translationLength, 2);
  EXPECT_EQ(r.next, p3);

  r = area.Next();
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.headword, "dog");
  EXPECT_EQ(r.fields.attribute, 1);
  EXPECT_EQ(r.fields.translationOffset, p3 + 8);
  EXPECT_EQ(r.fields.translationLength, 3);
  EXPECT_EQ(r.fields.exampleOffset, p3 + 13);
  EXPECT_EQ(area.Text(r.fields.exampleOffset, r.fields.exampleLength), "wan");
  EXPECT_EQ(r.fields.pronunciationOffset, p3 + 18);
  EXPECT_EQ(area.Text(r.fields.pronunciationOffset, r.fields.pronunciationLength), "dg");
  EXPECT_EQ(r.next, p3 + 22);

  EXPECT_EQ(area.Next().result, -1) << "a record length of 0 ends the area";
}

TEST(ParseRecord, WorkedExamplesBocu1) {
  // The same texts: the attribute byte follows the prefix count, L is one less.
  const Bytes cat = {0x08, 0x00, 0x00, 0x01, 'c', 'a', 't', 0x00, 'n', 'e', 'k', 'o'};
  const Bytes car = {0x04, 0x00, 0x02, 0x01, 'r', 0x00, 'i', 'n'};
  const Bytes dog = {0x12, 0x00, 0x00, 0x11, 'd', 'o', 'g', 0x00, 'i', 'n', 'u',
                     0x00, 0x01, 'w',  'a',  'n', 0x00, 0x02, 'd', 'g', 0x00, 0x80};
  Area area(Join({cat, car, dog, kEnd}), Encoding::kBocu1);
  const int32_t p1 = 2, p2 = p1 + 12, p3 = p2 + 8;
  Area::Parsed r = area.Next();
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.headword, "cat");
  EXPECT_EQ(area.Text(r.fields.translationOffset, r.fields.translationLength), "neko");
  EXPECT_EQ(r.next, p2);
  r = area.Next();
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.headword, "car");
  EXPECT_EQ(area.Text(r.fields.translationOffset, r.fields.translationLength), "in");
  EXPECT_EQ(r.next, p3);
  r = area.Next();
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.headword, "dog");
  EXPECT_EQ(area.Text(r.fields.exampleOffset, r.fields.exampleLength), "wan");
  EXPECT_EQ(area.Text(r.fields.pronunciationOffset, r.fields.pronunciationLength), "dg");
  EXPECT_EQ(r.next, p3 + 22);
  EXPECT_EQ(area.Next().result, -1);
}

// Records with fields, built by the builder; the parser must report what the
// builder says it wrote.
TEST(ParseRecord, FieldListsAndAttributeBits) {
  struct Case {
    const char* name;
    Record record;
    int16_t attribute;
    std::string example;
    std::string pronunciation;
  };
  const Case cases[] = {
      {"simple, attribute 5", {.headword = "a", .translation = "t", .attribute = 0x25}, 5, "", ""},
      {"extended by bit 4", {.headword = "a", .translation = "t", .attribute = 0x35}, 5, "", ""},
      {"sized field skipped",
       {.headword = "a", .translation = "t",
        .extra = {{0x10, std::string("\x03\x00xyz", 5)}, {1, "ex"}}},
       0, "ex", ""},
      {"string field with tag 3 skipped",
       {.headword = "a", .translation = "t", .extra = {{3, "skip"}, {2, "pr"}}},
       0, "", "pr"},
      {"tag 0x81 is a skipped string",
       {.headword = "a", .translation = "t", .extra = {{0x81, "zz"}, {1, "e"}}},
       0, "e", ""},
      {"last tag 1 wins",
       {.headword = "a", .translation = "t", .example = "first", .extra = {{1, "second"}}},
       0, "second", ""},
      {"no tag 1 or 2", {.headword = "a", .translation = "t", .extended = true}, 0, "", ""},
      {"fields after the end tag are not read",
       {.headword = "a", .translation = "t", .extra = {{0x80, ""}, {1, "late"}}},
       0, "", ""},
  };
  for (Encoding enc : {Encoding::kCp932, Encoding::kBocu1}) {
    for (bool wide : {false, true}) {
      for (const Case& c : cases) {
        Record second = {.headword = "b", .translation = "after"};
        Options o;
        o.encoding = enc;
        o.block_size = 256;
        o.lengths = wide ? LengthWidth::k4 : LengthWidth::k2;
        Record first = c.record;
        if (!first.extra.empty() && (first.extra[0].tag & 0x10) && first.extra[0].tag != 0x80 &&
            wide) {
          // The skipped field's length is as wide as the area's lengths.
          first.extra[0].content = std::string("\x03\x00\x00\x00xyz", 7);
        }
        BuiltDictionary built = BuildDictionary({first, second}, o);
        OpenDictionary d(built.bytes);
        ASSERT_EQ(d.openResult(), 0);
        DicBlockReader* blocks = d.reader().GetBlockReader();
        ASSERT_EQ(blocks->LoadBlock(0), 0);
        EXPECT_EQ(blocks->GetLengthWidth(), wide ? 4 : 2);
        RecordFields f;
        uint8_t hw[kMaxHeadwordLength + 1];
        ASSERT_EQ(blocks->ParseRecord(hw, &f, nullptr), 0) << c.name;
        const RecordLayout& rl = built.layout.areas[0].records[0];
        EXPECT_EQ(f.attribute, c.attribute) << c.name;
        EXPECT_EQ(f.translationOffset, static_cast<int32_t>(rl.translation.offset)) << c.name;
        EXPECT_EQ(f.translationLength, rl.translation.length) << c.name;
        const auto text = [&](int32_t off, uint16_t len) {
          return std::string(reinterpret_cast<const char*>(blocks->GetData()) + off, len);
        };
        EXPECT_EQ(text(f.exampleOffset, f.exampleLength), EncodeText(enc, c.example)) << c.name;
        EXPECT_EQ(text(f.pronunciationOffset, f.pronunciationLength),
                  EncodeText(enc, c.pronunciation))
            << c.name;
        if (c.example.empty()) {
          EXPECT_EQ(f.exampleOffset, 0) << c.name;
        }
        EXPECT_EQ(blocks->GetPosition(), static_cast<int32_t>(rl.end)) << c.name;
        // The next record is found where the first ended.
        ASSERT_EQ(blocks->ParseRecord(hw, &f, nullptr), 0) << c.name;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(hw)), EncodeText(enc, "b")) << c.name;
      }
    }
  }
}

TEST(ParseRecord, MissingEndTagStopsAtTheRecordEnd) {
  Options o;
  o.block_size = 256;
  BuiltDictionary built = BuildDictionary(
      {{.headword = "a", .translation = "t", .example = "e", .end_tag = false},
       {.headword = "b", .translation = "u"}},
      o);
  OpenDictionary d(built.bytes);
  ASSERT_EQ(d.openResult(), 0);
  EXPECT_EQ(LookupHeadwords(d.reader(), ""), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(GetHitTexts(d.reader(), 0).example, "e");
}

TEST(ParseRecord, PrefixCompressionRebuildsHeadwords) {
  // cat, then car sharing two bytes; without a buffer the running headword
  // still moves on.
  Area area(Join({kCat, kCar, kEnd}), Encoding::kCp932);
  RecordFields f;
  ASSERT_EQ(area.blocks().ParseRecord(nullptr, &f, nullptr), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(area.blocks().GetRunningHeadword()), "cat");
  Area::Parsed r = area.Next();
  EXPECT_EQ(r.headword, "car");
  EXPECT_EQ(r.fields.headwordLength, 3);
}

TEST(ParseRecord, BrokenRecordsEndTheArea) {
  struct Case {
    const char* name;
    Bytes content;
    int goodRecords;  // records parsed before the area ends
  };
  const Case cases[] = {
      {"length runs past the area", Join({kCat, {0xF0, 0x00, 0x00, 'x', 0x00, 0x01}}), 1},
      {"length too small for tail and attribute", {0x02, 0x00, 0x00, 'a', 'b', 0x00, 0x01, 'x'}, 0},
      {"length covers the tail but not the attribute", {0x02, 0x00, 0x00, 'a', 0x00, 0x01}, 0},
      {"prefix longer than the headword before", Join({kCat, {0x05, 0x00, 0x04, 'r', 0x00, 0x01, 'i', 'n'}}), 1},
      {"first record with a prefix", {0x05, 0x00, 0x01, 'r', 0x00, 0x01, 'i', 'n'}, 0},
      {"extended translation without zero",
       Join({{0x07, 0x00, 0x00, 'a', 0x00, 0x11}, Bytes(248, 'x')}), 0},
      {"skipped field past the area",
       {0x0C, 0x00, 0x00, 'a', 0x00, 0x11, 't', 0x00, 0x10, 0xFF, 0x7F, 0x80, 0x00, 0x00}, 0},
      {"string field without zero",
       Join({{0xF0, 0x00, 0x00, 'a', 0x00, 0x11, 't', 0x00, 0x01}, Bytes(245, 'e')}), 0},
      // A record that ends one byte before the area's end, then a length
      // field of which only one byte is inside.
      {"length field cut by the area's end",
       Join({{0xFA, 0x00, 0x00, 'a', 0x00, 0x01}, Bytes(247, 't'), {0x01}}), 1},
  };
  for (const Case& c : cases) {
    Area area(c.content, Encoding::kCp932, false, 256);
    int good = 0;
    while (good < 10 && area.Next().result == 0) ++good;
    EXPECT_EQ(good, c.goodRecords) << c.name;
  }
}

TEST(ParseRecord, HeadwordsUpTo1027Bytes) {
  // A tail that makes the headword 1027 bytes parses; 1028 ends the area.
  for (size_t length : {size_t{1027}, size_t{1028}}) {
    Bytes rec;
    const uint32_t L = static_cast<uint32_t>(length + 1 + 1 + 1);
    AppendLe16(rec, static_cast<uint16_t>(L));
    rec.push_back(0);
    rec.insert(rec.end(), length, 'h');
    rec.push_back(0);
    rec.push_back(0x01);
    rec.push_back('t');
    rec.push_back(0);
    rec.push_back(0);
    Area area(rec, Encoding::kCp932, false, 1024);
    Area::Parsed r = area.Next();
    EXPECT_EQ(r.result, length == 1027 ? 0 : -1) << length;
    if (r.result == 0) {
      EXPECT_EQ(r.headword.size(), 1027u);
    }
  }
}

}  // namespace
}  // namespace kebu::testing
