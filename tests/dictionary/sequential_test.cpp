// Reading every record in file order.
#include <gtest/gtest.h>

#include "tests/dictionary/reader_fixture.h"

namespace kebu::testing {
namespace {

std::vector<Record> Numbered(int n) {
  std::vector<Record> out;
  for (int i = 0; i < n; ++i) {
    out.push_back({.headword = "w" + std::to_string(i), .translation = "t" + std::to_string(i)});
  }
  return out;
}

TEST(SequentialReading, AreasInIndexOrderWithPositions) {
  for (Encoding enc : {Encoding::kCp932, Encoding::kBocu1}) {
    // Small blocks spread the records over several areas.
    Options o;
    o.encoding = enc;
    o.block_size = 32;
    o.records_per_area = 0;
    std::vector<Record> records = {
        {.headword = "a1", .translation = "x"},  {.headword = "a2", .translation = "x"},
        {.headword = "b1", .translation = std::string(14, 'y')},
        {.headword = "c1", .translation = "x"},  {.headword = "c2", .translation = "x"},
        {.headword = "c3", .translation = "x"}};
    BuiltDictionary built = BuildDictionary(records, o);
    std::vector<int> perArea;
    for (const AreaLayout& a : built.layout.areas) perArea.push_back(static_cast<int>(a.records.size()));
    OpenDictionary d(built.bytes);
    ASSERT_EQ(d.openResult(), 0);
    std::vector<SeqRecord> all = ReadAll(d.reader());
    ASSERT_EQ(all.size(), records.size());
    size_t k = 0;
    for (size_t area = 0; area < built.layout.areas.size(); ++area) {
      for (size_t r = 0; r < built.layout.areas[area].records.size(); ++r, ++k) {
        const RecordLayout& rl = built.layout.areas[area].records[r];
        EXPECT_EQ(all[k].position.indexEntry, static_cast<int32_t>(area));
        EXPECT_EQ(all[k].position.block, static_cast<int32_t>(built.layout.areas[area].first_block));
        EXPECT_EQ(all[k].position.recordOffset, static_cast<int32_t>(rl.offset));
        if (r == 0) {
          EXPECT_EQ(all[k].position.recordOffset, 2);
        }
        EXPECT_EQ(all[k].texts.headword, records[rl.source].headword);
        EXPECT_EQ(all[k].texts.translation, records[rl.source].translation);
      }
    }
    EXPECT_GE(built.layout.areas.size(), 3u) << "the case needs several areas";
  }
}

TEST(SequentialReading, TwoOneThree) {
  Options o;
  o.block_size = 64;
  // Exactly the areas 2, 1, 3 through a hand-made index over built areas.
  std::vector<uint8_t> data;
  std::vector<RawIndexEntry> entries;
  const std::vector<std::vector<std::string>> groups = {{"a", "b"}, {"c"}, {"d", "e", "f"}};
  for (const auto& group : groups) {
    std::vector<uint8_t> content;
    std::string previous;
    for (const std::string& h : group) {
      std::vector<uint8_t> r = EncodeRecord({.headword = h, .translation = "t" + h},
                                            Encoding::kCp932, 2, previous);
      content.insert(content.end(), r.begin(), r.end());
      previous = h;
    }
    content.push_back(0);
    content.push_back(0);
    entries.push_back({static_cast<uint32_t>(data.size() / 64), group[0]});
    std::vector<uint8_t> area = MakeRawArea(content, 64);
    data.insert(data.end(), area.begin(), area.end());
  }
  OpenDictionary d(AssembleFile(o, entries, data));
  ASSERT_EQ(d.openResult(), 0);
  std::vector<SeqRecord> all = ReadAll(d.reader());
  std::vector<int32_t> entryNumbers;
  std::string headwords;
  for (const SeqRecord& r : all) {
    entryNumbers.push_back(r.position.indexEntry);
    headwords += r.texts.headword;
  }
  EXPECT_EQ(entryNumbers, (std::vector<int32_t>{0, 0, 1, 2, 2, 2}));
  EXPECT_EQ(headwords, "abcdef");
  // The seventh read fails, and so does every read after it until a rewind.
  char16_t hw[1026], tr[3002], ex[20002], pr[1002];
  int attribute = 9;
  EXPECT_EQ(d.reader().ReadNext(hw, 1024, tr, 3000, ex, 20000, pr, 1000, &attribute, nullptr, nullptr), -1);
  EXPECT_EQ(attribute, 0);
  EXPECT_EQ(hw[0], 0);
  // A rewind after a partial pass starts again at the first record.
  ASSERT_EQ(d.reader().Rewind(), 0);
  ASSERT_EQ(d.reader().ReadNext(hw, 1024, tr, 3000, ex, 20000, pr, 1000, &attribute, nullptr, nullptr), 0);
  ASSERT_EQ(d.reader().ReadNext(hw, 1024, tr, 3000, ex, 20000, pr, 1000, &attribute, nullptr, nullptr), 0);
  ASSERT_EQ(d.reader().Rewind(), 0);
  ASSERT_EQ(d.reader().ReadNext(hw, 1024, tr, 3000, ex, 20000, pr, 1000, &attribute, nullptr, nullptr), 0);
  EXPECT_EQ(Utf16ToUtf8(hw), "a");
  // SeekIndexEntry starts at an entry's first record.
  ASSERT_EQ(d.reader().SeekIndexEntry(2), 0);
  ASSERT_EQ(d.reader().ReadNext(hw, 1024, tr, 3000, ex, 20000, pr, 1000, &attribute, nullptr, nullptr), 0);
  EXPECT_EQ(Utf16ToUtf8(hw), "d");
  EXPECT_EQ(d.reader().SeekIndexEntry(3), -1);
  EXPECT_EQ(d.reader().SeekIndexEntry(-1), -1);
}

TEST(SequentialReading, EmptyAreaEndsTheReading) {
  Options o;
  o.block_size = 32;
  std::vector<uint8_t> data;
  auto add = [&](std::vector<uint8_t> content) {
    std::vector<uint8_t> area = MakeRawArea(content, 32);
    data.insert(data.end(), area.begin(), area.end());
  };
  std::vector<uint8_t> rec = EncodeRecord({.headword = "a", .translation = "t"}, Encoding::kCp932, 2);
  rec.push_back(0);
  rec.push_back(0);
  add(rec);
  add({0, 0});  // no record
  add(rec);
  OpenDictionary d(AssembleFile(o, {{0, "a"}, {1, "b"}, {2, "c"}}, data));
  EXPECT_EQ(ReadAll(d.reader()).size(), 1u);
}

TEST(SequentialReading, StopsAtTheIndexEndMark) {
  // nindex2 counts more entries than the index holds: zero bytes end it, and
  // the reading ends with the last real entry instead of reading block 0's
  // area again for each missing entry.
  Options o;
  o.block_size = 64;
  o.records_per_area = 2;
  o.nindex2 = 40;
  o.min_index_blocks = 2;
  BuiltDictionary built = BuildDictionary(Numbered(6), o);
  OpenDictionary d(built.bytes);
  ASSERT_EQ(d.openResult(), 0);
  EXPECT_EQ(ReadAll(d.reader()).size(), 6u);
  EXPECT_EQ(LookupHeadwords(d.reader(), "", 0, 0).size(), 6u);
}

TEST(SequentialReading, CodePage932PronunciationIsTakenByteForByte) {
  struct Case {
    std::string bytes;
    std::u16string expected;
  };
  const Case cases[] = {
      {"\x41\xE9", u"\u0041\u00E9"},
      {"\x82\xA0", u"\u0082\u00A0"},  // not converted through the code page
      {std::string(1500, 'p'), std::u16string(999, u'p')},
  };
  for (const Case& c : cases) {
    Options o;
    OpenDictionary d(BuildDictionary({{.headword = "w", .translation = "t", .pronunciation = c.bytes,
                                       .raw_text = true}},
                                     o)
                         .bytes);
    ASSERT_EQ(d.reader().Rewind(), 0);
    char16_t hw[1026], tr[3002], ex[20002], pr[1002];
    int attribute;
    ASSERT_EQ(d.reader().ReadNext(hw, 1024, tr, 3000, ex, 20000, pr, 1000, &attribute, nullptr, nullptr), 0);
    EXPECT_EQ(std::u16string(pr), c.expected);
    EXPECT_EQ(ex[0], 0) << "no example, empty text";
  }
}

TEST(SequentialReading, ClosedReaderReadsNothing) {
  DicReader reader;
  char16_t hw[1026], tr[3002], ex[20002], pr[1002];
  int attribute;
  EXPECT_EQ(reader.Rewind(), -1);
  EXPECT_EQ(reader.ReadNext(hw, 1024, tr, 3000, ex, 20000, pr, 1000, &attribute, nullptr, nullptr), -1);
  OpenDictionary d(BuildDictionary(Numbered(3), Options{}).bytes);
  ASSERT_EQ(d.reader().Rewind(), 0);
  d.reader().Close();
  EXPECT_EQ(d.reader().ReadNext(hw, 1024, tr, 3000, ex, 20000, pr, 1000, &attribute, nullptr, nullptr), -1);
  EXPECT_EQ(d.reader().Rewind(), -1);
}

}  // namespace
}  // namespace kebu::testing
