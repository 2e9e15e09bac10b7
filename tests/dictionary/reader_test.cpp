// The reader against the writer: every variant of the format reads back as
// written, and lookups return what a plain model of the comparison says.
#include <gtest/gtest.h>

#include <string_view>

#include "tests/dictionary/reader_support.h"

namespace kebu::testing {
namespace {

struct Variant {
  Encoding encoding;
  uint16_t version;
  int blockSize;
  int perArea;  // 0: as many as fit in areaBlocks
  int areaBlocks;
  LengthWidth lengths;
  bool index32;
  int headerSize, dataGap, signatureOffset;
};

const Variant kVariants[] = {
    {Encoding::kCp932, 0x0500, 64, 3, 1, LengthWidth::kAuto, false, 256, 0, 13},
    {Encoding::kBocu1, 0x0600, 64, 3, 1, LengthWidth::kAuto, false, 256, 0, 13},
    {Encoding::kCp932, 0x0400, 128, 0, 2, LengthWidth::k4, true, 300, 7, 24},
    {Encoding::kBocu1, 0x0400, 128, 0, 1, LengthWidth::k4, false, 256, 0, 24},
    {Encoding::kBocu1, 0x0500, 1024, 0, 1, LengthWidth::kAuto, true, 1024, 1000, 13},
    {Encoding::kCp932, 0x0612, 32, 1, 1, LengthWidth::kAuto, false, 256, 3, 13},
    {Encoding::kBocu1, 0x0612, 256, 50, 1, LengthWidth::k4, false, 512, 0, 24},
    {Encoding::kCp932, 0x0500, 16, 2, 1, LengthWidth::kAuto, false, 256, 0, 13},
    // One-byte blocks: the index's byte budget (nindex2 x block_size) allows
    // one entry, so one area holds every record.
    {Encoding::kBocu1, 0x0500, 1, 1000, 1, LengthWidth::kAuto, false, 256, 0, 13},
};

Options OptionsOf(const Variant& v) {
  Options o;
  o.encoding = v.encoding;
  o.version = v.version;
  o.block_size = v.blockSize;
  o.recordsPerArea = v.perArea;
  o.areaBlocks = v.areaBlocks;
  o.lengths = v.lengths;
  o.index32 = v.index32;
  o.header_size = v.headerSize;
  o.data_gap = v.dataGap;
  o.signatureOffset = v.signatureOffset;
  return o;
}

// The hits that a lookup must give: the records in file order whose
// headword, as lookup compares it (code page 932 bytes or UTF-16 units; from
// version 6 on the key folded, and in whole-word mode a BOCU-1 headword cut
// at its first TAB), begins with the key or equals it; at most `limit`.
std::vector<Texts> Model(const std::vector<Texts>& all, std::string key, bool bocu, bool v6,
                         bool wholeWord, int limit, bool* truncated) {
  if (v6) key = FoldKeyV6(key);
  const auto form = [&](const std::string& s) {
    return bocu ? EncodeBocu1(s) : EncodeCp932(s);
  };
  std::vector<Texts> out;
  *truncated = false;
  for (const Texts& t : all) {
    std::string h = t.headword;
    if (wholeWord && bocu && v6) h = h.substr(0, h.find('\t'));
    const std::u16string h16 = Utf8ToUtf16(h), k16 = Utf8ToUtf16(key);
    const bool match = bocu ? (wholeWord ? h16 == k16 : h16.starts_with(k16))
                            : (wholeWord ? form(h) == form(key) : form(h).starts_with(form(key)));
    if (!match) continue;
    out.push_back(t);
    if (limit > 0 && out.size() == static_cast<size_t>(limit)) {
      *truncated = true;
      break;
    }
  }
  return out;
}

TEST(Reader, EveryVariantReadsBackAsWrittenAndLooksUpAsTheModelSays) {
  std::mt19937 random(7);
  for (const Variant& v : kVariants) {
    const bool bocu = v.encoding == Encoding::kBocu1, v6 = v.version >= 0x0600;
    const std::vector<Record> records = RandomRecords(random, 300, bocu, v6);
    const BuiltDictionary built = MakeDictionary(records, OptionsOf(v));
    Opened d(built.bytes);
    ASSERT_TRUE(d.opened);
    const std::vector<Texts> all = Expected(built, records);
    SCOPED_TRACE(::testing::Message() << "version " << std::hex << v.version << " block size "
                                      << std::dec << v.blockSize);
    const std::vector<Texts> read = ReadAll(d.reader);
    ASSERT_EQ(read.size(), all.size());
    for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(read[i], all[i]) << i;
    for (int k = 0; k < 60; ++k) {
      // Beginnings of headwords as people type them (the display form), and
      // random keys.
      std::string key = all[random() % all.size()].headword;
      if (v6) key = key.substr(key.find('\t') + 1);
      const std::u16string k16 = Utf8ToUtf16(key);
      key = k % 5 == 4 ? RandomRecords(random, 1, bocu, false)[0].headword
                       : Utf16ToUtf8(k16.substr(0, 1 + random() % k16.size()));
      for (const bool whole : {false, true}) {
        for (const int limit : {0, 3}) {
          bool truncated = false, expectedTruncated = false;
          const std::vector<Texts> hits = LookupAll(d.reader, key, whole, limit, &truncated);
          EXPECT_EQ(hits, Model(all, key, bocu, v6, whole, limit, &expectedTruncated))
              << "key " << key << (whole ? " whole word" : "") << " limit " << limit;
          EXPECT_EQ(truncated, expectedTruncated) << key;
        }
        // Page by page, each lookup going on behind the last hit of the one
        // before, and each hit read again by its position.
        bool truncated = false;
        const std::vector<Texts> unlimited = Model(all, key, bocu, v6, whole, 0, &truncated);
        std::vector<Texts> paged = LookupAll(d.reader, key, whole, 2, &truncated);
        while (truncated) {
          const LookupResult page =
              d.reader.LookupAfter(Utf8ToUtf16(key), whole, paged.back().position, 1 + k % 3);
          truncated = page.truncated;
          for (uint32_t i = 0; i < page.count; ++i) paged.push_back(HitTexts(d.reader, i));
        }
        ASSERT_EQ(paged, unlimited) << "key " << key << (whole ? " whole word" : "");
        RecordText t;
        for (const Texts& hit : paged) {
          ASSERT_TRUE(d.reader.GetHit(hit.position, &t, kWholeTexts));
          EXPECT_EQ(ToUtf8(t), hit);
        }
      }
    }
    // The empty key lists the dictionary in file order.
    bool truncated = true;
    EXPECT_EQ(LookupAll(d.reader, "", false, 0, &truncated), all);
    EXPECT_FALSE(truncated);
  }
}

TEST(Lookup, Cases) {
  struct Case {
    Encoding encoding;
    uint16_t version;
    std::vector<std::string> headwords;
    std::string key;
    bool whole;
    std::vector<std::string> hits;
  };
  const std::vector<std::string> kWords = {"aa", "ab", "abc", "abd", "b", "ba", "アイス", "亜細亜"};
  const std::vector<std::string> kTabs = {"ab", "ab\tx", "ab\ty", "abc"};
  const Case cases[] = {
      {Encoding::kCp932, 0x0500, kWords, "ab", false, {"ab", "abc", "abd"}},
      {Encoding::kBocu1, 0x0500, kWords, "ab", true, {"ab"}},
      {Encoding::kCp932, 0x0500, kWords, "アイ", false, {"アイス"}},
      {Encoding::kBocu1, 0x0500, kWords, "亜", false, {"亜細亜"}},
      {Encoding::kCp932, 0x0500, kWords, "0", false, {}},  // before the first index key
      {Encoding::kBocu1, 0x0500, kWords, "AB", false, {}},  // version 5: not folded
      {Encoding::kBocu1, 0x0600, kTabs, "ab", true, {"ab", "ab\tx", "ab\ty"}},  // cut at TAB
      {Encoding::kBocu1, 0x0500, kTabs, "ab", true, {"ab"}},
      {Encoding::kCp932, 0x0600, kTabs, "ab", true, {"ab"}},  // code page 932: no cut
      {Encoding::kBocu1, 0x0600, {"ab c", "abc"}, "Ab-C", false, {"ab c"}},
      {Encoding::kCp932, 0x0600, {"カス", "ガス", "ガスー"}, "ガス", false, {"カス"}},
      {Encoding::kCp932, 0x0500, {"カス", "ガス"}, "ガス", false, {"ガス"}},
      {Encoding::kCp932, 0x0600, {"ヴァ"}, "ヴ", false, {"ヴァ"}},  // not folded
  };
  for (const Case& c : cases) {
    std::vector<Record> records;
    for (const std::string& h : c.headwords) records.push_back({.headword = h, .translation = "t"});
    Options o;
    o.encoding = c.encoding;
    o.version = c.version;
    o.block_size = 32;
    o.recordsPerArea = 2;
    Opened d(MakeDictionary(records, o).bytes);
    EXPECT_EQ(Headwords(LookupAll(d.reader, c.key, c.whole)), c.hits) << c.key;
  }
}

TEST(Lookup, LongKeys) {
  // Version 6 searches the first 1,024 units of a longer key.
  Options o;
  o.version = 0x0600;
  Opened v6(MakeDictionary({{.headword = std::string(1024, 'a'), .translation = "t"}}, o).bytes);
  EXPECT_EQ(LookupAll(v6.reader, std::string(1200, 'a')).size(), 1u);
  // A code page 932 key longer than any headword finds nothing, and is not
  // taken for the empty key.
  o.version = 0x0500;
  Opened v5(MakeDictionary({{.headword = "a", .translation = "t"}}, o).bytes);
  EXPECT_TRUE(LookupAll(v5.reader, std::string(1100, 'a')).empty());
  EXPECT_EQ(LookupAll(v5.reader, "").size(), 1u);
}

TEST(GetHit, CutsAtTheCapacitiesAndSubstitutes) {
  const std::string longText(5000, 'x');
  for (const Encoding e : {Encoding::kCp932, Encoding::kBocu1}) {
    Options o;
    o.encoding = e;
    Opened d(MakeDictionary({{.headword = "h", .translation = longText, .example = "あいう",
                               .pronunciation = "A B\x1f"}}, o).bytes);
    ASSERT_EQ(d.reader.Lookup(u"h", false, 10).count, 1u);
    RecordText t;
    ASSERT_TRUE(d.reader.GetHit(0, &t, {10, 3000, 3, 1000}));
    // BOCU-1 cuts to capacity - 1 units; code page 932 to whole characters
    // within the capacity.
    const bool bocu = e == Encoding::kBocu1;
    EXPECT_EQ(t.translation.size(), bocu ? 2999u : 3000u);
    EXPECT_EQ(t.example, bocu ? u"あい" : u"あいう");
    // Codes from the space up are looked up; the text stops once capacity
    // - 1 units are written.
    SubstitutionTable table;
    table.entries['A'][0] = u'α';
    table.entries['A'][1] = u'!';
    table.entries[' '][0] = u'_';
    table.entries[0x1F][0] = u'?';
    ASSERT_TRUE(d.reader.GetHit(0, &t, kWindowCapacities, &table));
    EXPECT_EQ(t.pronunciation, u"α!_B\x1f");
    ASSERT_TRUE(d.reader.GetHit(0, &t, {1024, 3000, 20000, 4}, &table));
    EXPECT_EQ(t.pronunciation, u"α!_");
    ASSERT_TRUE(d.reader.GetHit(0, &t, {1024, 3000, 20000, 0}, &table));  // taken as 2
    EXPECT_EQ(t.pronunciation, u"α!");
    EXPECT_FALSE(d.reader.GetHit(1, &t));
    d.reader.Close();
    EXPECT_FALSE(d.reader.GetHit(0, &t));
  }
}

TEST(SequentialReading, CodePage932PronunciationIsTakenByteForByte) {
  Record r{.headword = "h", .translation = "t", .pronunciation = "\x41\xE9", .rawText = true};
  Opened d(MakeDictionary({r}).bytes);
  RecordText t;
  ASSERT_TRUE(d.reader.Rewind());
  ASSERT_EQ(d.reader.ReadNext(&t), ReadStatus::kRecord);
  EXPECT_EQ(t.pronunciation, u"\u0041\u00E9");
  EXPECT_EQ(d.reader.ReadNext(&t), ReadStatus::kEnd);
  EXPECT_EQ(d.reader.ReadNext(&t), ReadStatus::kEnd);
  // Rewind starts over; a closed reader reads nothing.
  ASSERT_TRUE(d.reader.Rewind());
  EXPECT_EQ(d.reader.ReadNext(&t), ReadStatus::kRecord);
  d.reader.Close();
  EXPECT_FALSE(d.reader.Rewind());
  EXPECT_EQ(d.reader.ReadNext(&t), ReadStatus::kEnd);
}

}  // namespace
}  // namespace kebu::testing
