// Lookup and hit fetching on dictionaries from the builder.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/dictionary/reader_fixture.h"

namespace kebu::testing {
namespace {

using Strings = std::vector<std::string>;

struct Variant {
  Encoding encoding;
  uint16_t version;
  const char* name;
};
const Variant kVariants[] = {
    {Encoding::kCp932, 0x0500, "cp932 v5"},
    {Encoding::kBocu1, 0x0500, "BOCU-1 v5"},
    {Encoding::kCp932, 0x0400, "cp932 v4"},
    {Encoding::kBocu1, 0x0612, "BOCU-1 v6"},
};

std::vector<Record> Words(std::initializer_list<const char*> headwords) {
  std::vector<Record> out;
  for (const char* h : headwords) out.push_back({.headword = h, .translation = std::string("t:") + h});
  return out;
}

Options Small(const Variant& v, int perArea = 2) {
  Options o;
  o.encoding = v.encoding;
  o.version = v.version;
  o.block_size = 64;
  o.records_per_area = perArea;
  return o;
}

TEST(Lookup, PrefixModeFindsEveryHeadwordThatBeginsWithTheKey) {
  struct Case {
    const char* key;
    Strings hits;
  };
  const Case cases[] = {
      {"ab", {"ab", "abc", "abd"}},
      {"abc", {"abc"}},
      {"a", {"aa", "ab", "abc", "abd"}},
      {"b", {"b", "ba"}},
      {"abe", {}},
      {"0", {}},
      {"z", {}},
      {"ア", {"アイス", "アイロン"}},
      {"アイ", {"アイス", "アイロン"}},
      {"亜", {"亜細亜"}},
  };
  for (const Variant& v : kVariants) {
    for (int perArea : {1, 2, 100}) {
      BuiltDictionary built = BuildDictionary(
          Words({"aa", "ab", "abc", "abd", "b", "ba", "アイス", "アイロン", "亜細亜", "c"}),
          Small(v, perArea));
      OpenDictionary d(built.bytes);
      ASSERT_EQ(d.openResult(), 0) << v.name;
      for (const Case& c : cases) {
        EXPECT_EQ(LookupHeadwords(d.reader(), c.key), c.hits)
            << v.name << ", " << perArea << " per area, key " << c.key;
      }
    }
  }
}

TEST(Lookup, HitsCarryTheirTextsAndPositions) {
  for (const Variant& v : kVariants) {
    Options o = Small(v, 2);
    o.block_size = 256;
    BuiltDictionary built = BuildDictionary(
        {{.headword = "apple", .translation = "りんご", .example = "an apple a day",
          .pronunciation = "ǽpl", .attribute = 3},
         {.headword = "apply", .translation = "適用する"},
         {.headword = "apricot", .translation = "あんず", .attribute = 15}},
        o);
    OpenDictionary d(built.bytes);
    ASSERT_EQ(d.openResult(), 0);
    int truncated = 7;
    ASSERT_EQ(d.reader().Lookup(u"ap", 0, 10000, &truncated), 3u) << v.name;
    EXPECT_EQ(truncated, 0);
    const bool cp932 = v.encoding == Encoding::kCp932;
    EXPECT_EQ(GetHitTexts(d.reader(), 0),
              (HitTexts{"apple", "りんご", "an apple a day", cp932 ? "?pl" : "ǽpl", 3}))
        << v.name;
    EXPECT_EQ(GetHitTexts(d.reader(), 1), (HitTexts{"apply", "適用する", "", "", 0})) << v.name;
    EXPECT_EQ(GetHitTexts(d.reader(), 2), (HitTexts{"apricot", "あんず", "", "", 15})) << v.name;
    // Positions: the first record of an area stands at offset 2.
    const auto* records = &built.layout.areas;  // two records per area
    EXPECT_EQ(d.reader().GetHitInfo(0)->recordOffset, 2);
    EXPECT_EQ(d.reader().GetHitInfo(0)->indexEntry, 0);
    EXPECT_EQ(d.reader().GetHitInfo(2)->indexEntry, 1);
    EXPECT_EQ(d.reader().GetHitInfo(2)->block, static_cast<int32_t>((*records)[1].first_block));
    EXPECT_EQ(d.reader().GetHitInfo(1)->recordOffset,
              static_cast<int32_t>((*records)[0].records[1].offset));
  }
}

TEST(Lookup, WholeWordModeAndTheTabRule) {
  struct Case {
    Encoding encoding;
    uint16_t version;
    const char* key;
    Strings hits;
  };
  // Headwords: ab, ab<TAB>x, ab<TAB>y, abc.
  const Case cases[] = {
      {Encoding::kBocu1, 0x0600, "ab", {"ab", "ab\tx", "ab\ty"}},
      {Encoding::kBocu1, 0x0500, "ab", {"ab"}},
      {Encoding::kCp932, 0x0600, "ab", {"ab"}},
      {Encoding::kCp932, 0x0500, "ab", {"ab"}},
      {Encoding::kBocu1, 0x0600, "abc", {"abc"}},
      {Encoding::kCp932, 0x0500, "a", {}},
  };
  for (const Case& c : cases) {
    Options o;
    o.encoding = c.encoding;
    o.version = c.version;
    OpenDictionary d(BuildDictionary(Words({"ab", "ab\tx", "ab\ty", "abc"}), o).bytes);
    ASSERT_EQ(d.openResult(), 0);
    EXPECT_EQ(LookupHeadwords(d.reader(), c.key, 1), c.hits)
        << c.key << " v" << std::hex << c.version << (c.encoding == Encoding::kBocu1 ? " BOCU-1" : " cp932");
  }
}

TEST(Lookup, LimitAndTruncation) {
  struct Case {
    int matching;
    int limit;
    uint32_t hits;
    int truncated;
  };
  for (const Case& c : {Case{5, 3, 3, 1}, Case{3, 3, 3, 1}, Case{2, 3, 2, 0}, Case{5, 0, 5, 0},
                        Case{5, -1, 5, 0}, Case{5, 1, 1, 1}}) {
    std::vector<Record> records;
    for (int i = 0; i < c.matching; ++i) {
      records.push_back({.headword = "k" + std::to_string(i), .translation = "t"});
    }
    records.push_back({.headword = "z", .translation = "t"});
    OpenDictionary d(BuildDictionary(records, Small(kVariants[0], 2)).bytes);
    int truncated = -1;
    EXPECT_EQ(d.reader().Lookup(u"k", 0, c.limit, &truncated), c.hits)
        << c.matching << " matching, limit " << c.limit;
    EXPECT_EQ(truncated, c.truncated) << c.matching << " matching, limit " << c.limit;
  }
}

TEST(Lookup, EmptyKeyListsTheDictionaryInFileOrder) {
  std::vector<Record> records;
  for (int i = 0; i < 30; ++i) {
    char h[8];
    std::snprintf(h, sizeof h, "w%02d", i);
    records.push_back({.headword = h, .translation = "t"});
  }
  for (const Variant& v : kVariants) {
    OpenDictionary d(BuildDictionary(records, Small(v, 4)).bytes);
    int truncated = 0;
    Strings hits = LookupHeadwords(d.reader(), "", 0, 25, &truncated);
    ASSERT_EQ(hits.size(), 25u) << v.name;
    EXPECT_EQ(hits.front(), "w00");
    EXPECT_EQ(hits.back(), "w24");
    EXPECT_EQ(truncated, 1);
    EXPECT_EQ(LookupHeadwords(d.reader(), "", 0, 0).size(), 30u) << v.name;
  }
}

TEST(Lookup, KeyBeforeTheFirstIndexKeyFindsNothing) {
  for (const Variant& v : kVariants) {
    OpenDictionary d(BuildDictionary(Words({"b", "c", "d"}), Small(v, 1)).bytes);
    EXPECT_TRUE(LookupHeadwords(d.reader(), "a").empty()) << v.name;
    EXPECT_EQ(d.reader().GetBlockReader()->GetCurrentBlock(), -1)
        << "no record area is loaded for a key whose start entry compares greater";
  }
}

TEST(Lookup, VersionSixFoldsTheKey) {
  struct Case {
    uint16_t version;
    const char* key;
    Strings hits;
  };
  // Version 6 stores "folded key<TAB>display form".
  const Case cases[] = {
      {0x0600, "Ab-C", {"ab c\tAb-C"}},
      {0x0600, "ab c", {"ab c\tAb-C"}},
      {0x0600, "ガス", {"カス\tガス"}},
      {0x0600, "カス", {"カス\tガス"}},
      {0x0600, "ヶ", {}},
      {0x0600, "ヴ", {"ヴァ"}},  // not folded
      {0x0600, "ＡＢ", {}},
      {0x0500, "Ab-C", {}},
      {0x0500, "ガス", {}},
  };
  for (Encoding enc : {Encoding::kCp932, Encoding::kBocu1}) {
    for (const Case& c : cases) {
      Options o;
      o.encoding = enc;
      o.version = c.version;
      std::vector<Record> records = {{.headword = V6Headword("Ab-C"), .translation = "t"},
                                     {.headword = V6Headword("ガス"), .translation = "gas"},
                                     {.headword = "かす\tカス", .translation = "x"},
                                     {.headword = "ヴァ", .translation = "v"}};
      OpenDictionary d(BuildDictionary(records, o).bytes);
      Strings hits = LookupHeadwords(d.reader(), c.key);
      std::sort(hits.begin(), hits.end());
      EXPECT_EQ(hits, c.hits) << c.key << " v" << std::hex << c.version;
    }
  }
  EXPECT_EQ(V6Headword("ガス"), "カス\tガス");
}

TEST(Lookup, LongKeys) {
  const std::string longWord(1027, 'a');
  struct Case {
    Encoding encoding;
    uint16_t version;
    size_t keyLength;
    uint32_t hits;
  };
  // Version 6 cuts a key at 1,024 units; a code page 932 key longer than any
  // headword finds nothing (and is never taken for the empty key).
  const Case cases[] = {
      {Encoding::kCp932, 0x0600, 1500, 1}, {Encoding::kCp932, 0x0500, 1500, 0},
      {Encoding::kCp932, 0x0500, 1027, 1}, {Encoding::kCp932, 0x0500, 1028, 0},
      {Encoding::kBocu1, 0x0500, 1500, 0}, {Encoding::kBocu1, 0x0500, 1023, 1},
  };
  for (const Case& c : cases) {
    Options o;
    o.encoding = c.encoding;
    o.version = c.version;
    OpenDictionary d(BuildDictionary({{.headword = longWord, .translation = "t"},
                                      {.headword = "b", .translation = "t"}},
                                     o)
                         .bytes);
    ASSERT_EQ(d.openResult(), 0);
    const std::u16string key(c.keyLength, u'a');
    int truncated = 0;
    EXPECT_EQ(d.reader().Lookup(key.c_str(), 0, 10000, &truncated), c.hits)
        << c.keyLength << " units, v" << std::hex << c.version;
  }
}

TEST(Lookup, HitTableAndPoolGrowInSteps) {
  // 1,025 hits: the table grows from 1,024 to 2,048 entries.
  std::vector<Record> records;
  for (int i = 0; i < 1025; ++i) {
    char h[8];
    std::snprintf(h, sizeof h, "a%04d", i);
    records.push_back({.headword = h, .translation = "t"});
  }
  Options o;
  OpenDictionary d(BuildDictionary(records, o).bytes);
  int truncated;
  EXPECT_EQ(d.reader().Lookup(u"a", 0, 1024, &truncated), 1024u);
  EXPECT_EQ(d.reader().GetHitCapacity(), 1024u);
  EXPECT_EQ(d.reader().Lookup(u"a", 0, 0, &truncated), 1025u);
  EXPECT_EQ(d.reader().GetHitCapacity(), 2048u);
  d.reader().ClearHits();
  EXPECT_EQ(d.reader().GetHitCapacity(), 0u);
  EXPECT_EQ(d.reader().GetHitCount(), 0u);

  // The pool: n headwords of 4 bytes (5 with the zero), then one of 3.
  struct Case {
    int fourByteWords;
    uint32_t poolSize;
  };
  for (const Case& c : {Case{3275, 16384}, Case{3276, 32768}}) {
    std::vector<Record> words;
    for (int i = 0; i < c.fourByteWords; ++i) {
      std::string h = "a";
      h += static_cast<char>('A' + i / 676);
      h += static_cast<char>('a' + i / 26 % 26);
      h += static_cast<char>('a' + i % 26);
      words.push_back({.headword = h, .translation = "t"});
    }
    words.push_back({.headword = "azz", .translation = "t"});
    OpenDictionary p(BuildDictionary(words, o).bytes);
    ASSERT_EQ(p.reader().Lookup(u"a", 0, 0, &truncated), static_cast<uint32_t>(c.fourByteWords + 1));
    EXPECT_EQ(p.reader().GetPoolSize(), c.poolSize) << c.fourByteWords;
    EXPECT_EQ(GetHitTexts(p.reader(), c.fourByteWords).headword, "azz");
  }
}

TEST(GetHit, OutOfRangeAndAfterClose) {
  OpenDictionary d(BuildDictionary(Words({"a", "b"}), Options{}).bytes);
  int truncated;
  ASSERT_EQ(d.reader().Lookup(u"", 0, 10, &truncated), 2u);
  char16_t hw[1026] = u"keep", tr[3002] = u"keep", ex[20002] = u"keep", pr[1002] = u"keep";
  int attribute = 42;
  for (int i : {2, -1, 1000}) {
    EXPECT_EQ(d.reader().GetHit(i, hw, 1024, tr, 3000, ex, 20000, pr, 1000, &attribute, nullptr), -1);
    EXPECT_EQ(std::u16string(hw), u"keep") << "buffers stay as they were";
    EXPECT_EQ(attribute, 42);
  }
  EXPECT_EQ(d.reader().GetHit(1, hw, 1024, tr, 3000, ex, 20000, pr, 1000, &attribute, nullptr), 0);
  d.reader().Close();
  for (int i : {0, 1}) {
    EXPECT_EQ(d.reader().GetHit(i, hw, 1024, tr, 3000, ex, 20000, pr, 1000, &attribute, nullptr), -1);
  }
  EXPECT_EQ(d.reader().Lookup(u"", 0, 10, &truncated), 0u) << "a closed reader finds nothing";
}

TEST(GetHit, TextsLongerThanTheirCapacityAreCut) {
  // BOCU-1 keeps capacity - 1 units; code page 932 as many whole characters
  // as fit in the capacity (never an empty text).
  struct Case {
    Encoding encoding;
    int capacity;
    const char* expected;
  };
  for (const Case& c : {Case{Encoding::kBocu1, 5, "あいうえ"}, Case{Encoding::kCp932, 5, "あいうえお"},
                        Case{Encoding::kBocu1, 2, "あ"}, Case{Encoding::kCp932, 2, "あい"},
                        Case{Encoding::kCp932, 100, "あいうえおかき"}}) {
    Options o;
    o.encoding = c.encoding;
    OpenDictionary d(BuildDictionary({{.headword = "a", .translation = "あいうえおかき"}}, o).bytes);
    int truncated;
    ASSERT_EQ(d.reader().Lookup(u"a", 0, 10, &truncated), 1u);
    std::vector<char16_t> hw(1026), tr(c.capacity + 1, u'#'), ex(10), pr(10);
    int attribute;
    ASSERT_EQ(d.reader().GetHit(0, hw.data(), 1024, tr.data(), c.capacity, ex.data(), 8, pr.data(),
                                8, &attribute, nullptr),
              0);
    EXPECT_EQ(Utf16ToUtf8(tr.data()), c.expected) << c.capacity;
  }
}

TEST(GetHit, PronunciationThroughASubstitutionTable) {
  SubstitutionTable table;
  table.entries['a'][0] = u'あ';
  table.entries['b'][0] = u'ビ';
  table.entries['b'][1] = u'ー';
  table.entries[0x1F][0] = u'!';  // codes below 32 are never looked up
  struct Case {
    Encoding encoding;
    std::string pronunciation;
    int capacity;
    std::string expected;
  };
  const Case cases[] = {
      {Encoding::kBocu1, "abc", 100, "あビーc"},
      {Encoding::kCp932, "abc", 100, "あビーc"},
      {Encoding::kBocu1, "bbbb", 4, "ビービー"},  // a two-unit entry may reach the capacity
      {Encoding::kBocu1, "abab", 3, "あビー"},
      {Encoding::kCp932, std::string("a\x1F", 2), 100, "あ\x1F"},
  };
  for (const Case& c : cases) {
    Options o;
    o.encoding = c.encoding;
    OpenDictionary d(BuildDictionary({{.headword = "w", .translation = "t",
                                       .pronunciation = c.pronunciation}},
                                     o)
                         .bytes);
    int truncated;
    ASSERT_EQ(d.reader().Lookup(u"w", 0, 10, &truncated), 1u);
    std::vector<char16_t> hw(1026), tr(3002), ex(20002), pr(c.capacity + 1, u'#');
    int attribute;
    ASSERT_EQ(d.reader().GetHit(0, hw.data(), 1024, tr.data(), 3000, ex.data(), 20000, pr.data(),
                                c.capacity, &attribute, &table),
              0);
    EXPECT_EQ(Utf16ToUtf8(pr.data()), c.expected) << c.pronunciation << " cap " << c.capacity;
  }
}

}  // namespace
}  // namespace kebu::testing
