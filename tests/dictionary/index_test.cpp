// The index table: loading, reading entries and the binary search.
#include <gtest/gtest.h>

#include "dictionary/dic_index.h"
#include "tests/dictionary/reader_fixture.h"

namespace kebu::testing {
namespace {

std::vector<RawIndexEntry> Entries(Encoding encoding, std::initializer_list<const char*> keys,
                                   uint32_t firstBlock = 0) {
  std::vector<RawIndexEntry> out;
  uint32_t block = firstBlock;
  for (const char* k : keys) out.push_back({block++, EncodeText(encoding, k)});
  return out;
}

TEST(DicIndex, FindEntryNamesTheLastEntryBelowTheKey) {
  struct Case {
    const char* key;
    int32_t entry;
  };
  const Case cases[] = {{"a", 0},      {"b", 0},      {"banana", 0}, {"bananas", 1},
                        {"c", 1},      {"cherry", 1}, {"zebra", 2},  {"", 0},
                        {"apple", 0},  {"aardvark", 0}, {"cherrypie", 2}};
  for (Encoding enc : {Encoding::kCp932, Encoding::kBocu1}) {
    Options o;
    o.encoding = enc;
    OpenDictionary d(AssembleFile(o, Entries(enc, {"apple", "banana", "cherry"}), {}));
    ASSERT_EQ(d.openResult(), 0);
    for (const Case& c : cases) {
      EXPECT_EQ(d.reader().GetIndex()->FindEntry(Utf8ToUtf16(c.key).c_str()), c.entry)
          << c.key << (enc == Encoding::kBocu1 ? " (BOCU-1)" : " (cp932)");
    }
  }
}

TEST(DicIndex, FindEntryComparesKanaAndKanjiInTheirEncoding) {
  // Code page 932 sorts by bytes, BOCU-1 by UTF-16 units: ア (83 41, U+30A2)
  // and 亜 (88 9F, U+4E9C) and ｱ (B1, U+FF71) stand in different orders.
  struct Case {
    Encoding enc;
    std::initializer_list<const char*> keys;
    const char* key;
    int32_t entry;
  };
  const Case cases[] = {
      {Encoding::kCp932, {"ア", "亜", "ｱ"}, "亜細亜", 1},
      {Encoding::kCp932, {"ア", "亜", "ｱ"}, "ｱｲ", 2},
      {Encoding::kBocu1, {"ア", "亜", "ｱ"}, "亜細亜", 1},
      {Encoding::kBocu1, {"ア", "亜", "ｱ"}, "ｱｲ", 2},
      {Encoding::kBocu1, {"ア", "亜", "ｱ"}, "イ", 0},
  };
  for (const Case& c : cases) {
    Options o;
    o.encoding = c.enc;
    OpenDictionary d(AssembleFile(o, Entries(c.enc, c.keys), {}));
    ASSERT_EQ(d.openResult(), 0);
    EXPECT_EQ(d.reader().GetIndex()->FindEntry(Utf8ToUtf16(c.key).c_str()), c.entry) << c.key;
  }
}

TEST(DicIndex, BlockNumbersAreTwoOrFourBytes) {
  struct Case {
    bool wide;
    uint32_t block;
  };
  for (const Case& c : {Case{false, 0x1234}, Case{false, 0xFFFF}, Case{true, 256},
                        Case{true, 65537}, Case{true, 0x7FFFFFFF}}) {
    Options o;
    o.index32 = c.wide;
    std::vector<uint8_t> file = AssembleFile(o, {{c.block, "k"}}, {});
    // The number stands little-endian right at header_size.
    EXPECT_EQ(file[256], c.block & 0xFF);
    OpenDictionary d(file);
    ASSERT_EQ(d.openResult(), 0);
    uint32_t block = 0, length = 0;
    uint8_t key[kMaxKeyLength + 1];
    ASSERT_EQ(d.reader().GetIndex()->ReadEntry(0, &block, key, &length), 0);
    EXPECT_EQ(block, c.block);
    EXPECT_EQ(length, 1u);
    EXPECT_STREQ(reinterpret_cast<char*>(key), "k");
  }
}

TEST(DicIndex, KeyOffsetsFollowTheEntries) {
  for (bool wide : {false, true}) {
    Options o;
    o.index32 = wide;
    OpenDictionary d(AssembleFile(o, {{1, "ab"}, {2, "cdef"}, {3, ""}, {4, "g"}}, {}));
    ASSERT_EQ(d.openResult(), 0);
    DicIndex* index = d.reader().GetIndex();
    ASSERT_EQ(index->Load(), 0);
    const uint32_t w = wide ? 4 : 2;
    const auto& e = index->Entries();
    ASSERT_EQ(e.size(), 4u) << "an empty key with a block other than 0 ends nothing";
    EXPECT_EQ(e[0].keyOffset, w);
    EXPECT_EQ(e[1].keyOffset, w + 2 + 1 + w);
    EXPECT_EQ(e[2].keyOffset, e[1].keyOffset + 4 + 1 + w);
    EXPECT_EQ(e[3].keyOffset, e[2].keyOffset + 0 + 1 + w);
    EXPECT_EQ(index->EntryLimit(), 4);
  }
}

TEST(DicIndex, LoadingStopsAtTheEndMarkAndTheBudget) {
  struct Case {
    const char* name;
    int blockSize;
    std::vector<RawIndexEntry> entries;
    int32_t nindex2;
    size_t loaded;      // entries in the table
    int32_t limit;      // entries a lookup or a sequential read visits
  };
  const Case cases[] = {
      // Zero bytes behind the last entry: the first all-zero entry ends it.
      {"zeros behind", 1024, {{1, "a"}, {2, "b"}}, 5, 3, 2},
      // Block 0 with a key is an entry like any other.
      {"block 0 with key", 1024, {{0, "a"}, {2, "b"}}, 2, 2, 2},
      // Budget nindex2 x block_size = 8 bytes: the first entry (2 + 5 + 1)
      // uses it up.
      {"budget", 4, {{1, "abcde"}, {2, "f"}}, 2, 1, 1},
      {"budget not reached", 5, {{1, "abcde"}, {2, "f"}}, 2, 2, 2},
  };
  for (const Case& c : cases) {
    Options o;
    o.block_size = c.blockSize;
    o.nindex2 = c.nindex2;
    o.min_index_blocks = 4;
    OpenDictionary d(AssembleFile(o, c.entries, {}));
    ASSERT_EQ(d.openResult(), 0) << c.name;
    DicIndex* index = d.reader().GetIndex();
    EXPECT_EQ(index->EntryLimit(), c.limit) << c.name;
    EXPECT_EQ(index->Entries().size(), c.loaded) << c.name;
    // Every entry below nindex2 reads; those behind the stop as block 0 with
    // an empty key.
    for (int32_t n = 0; n < c.nindex2; ++n) {
      uint32_t block = 99, length = 99;
      uint8_t key[kMaxKeyLength + 1] = {0x55};
      ASSERT_EQ(index->ReadEntry(n, &block, key, &length), 0) << c.name << " entry " << n;
      if (static_cast<size_t>(n) >= c.loaded || n >= c.limit) {
        EXPECT_EQ(block, 0u) << c.name << " entry " << n;
        EXPECT_EQ(length, 0u) << c.name << " entry " << n;
        EXPECT_EQ(key[0], 0) << c.name << " entry " << n;
      }
    }
    uint32_t block, length;
    uint8_t key[kMaxKeyLength + 1];
    EXPECT_EQ(index->ReadEntry(c.nindex2, &block, key, &length), -1) << c.name;
    EXPECT_EQ(index->ReadEntry(static_cast<uint32_t>(-1), &block, key, &length), -1) << c.name;
  }
}

TEST(DicIndex, EmptyIndexFindsEntryZeroAndReadsNothing) {
  Options o;
  o.nindex2 = 0;
  OpenDictionary d(AssembleFile(o, {{1, "a"}}, {}));
  ASSERT_EQ(d.openResult(), 0);
  EXPECT_EQ(d.reader().GetIndex()->FindEntry(u"a"), 0);
  uint32_t block, length;
  uint8_t key[kMaxKeyLength + 1];
  EXPECT_EQ(d.reader().GetIndex()->ReadEntry(0, &block, key, &length), -1);
  EXPECT_EQ(d.reader().GetIndex()->EntryLimit(), 0);
}

TEST(DicIndex, KeysThatAreNotWholeCannotBeRead) {
  struct Case {
    const char* name;
    std::string lastKey;
    bool cutByEnd;  // the file ends inside the last key
    bool readable;
  };
  const Case cases[] = {
      {"longest key", std::string(kMaxKeyLength, 'k'), false, true},
      {"key one byte too long", std::string(kMaxKeyLength + 1, 'k'), false, false},
      {"key cut by the end of the file", "kkkk", true, false},
  };
  for (const Case& c : cases) {
    Options o;
    std::vector<uint8_t> file = AssembleFile(o, {{1, "a"}, {2, c.lastKey}}, {});
    if (c.cutByEnd) {
      // Cut the file two bytes into the last key.
      const size_t keyStart = 256 + 2 + 2 + 2;
      file.resize(keyStart + 2);
    }
    OpenDictionary d(file);
    ASSERT_EQ(d.openResult(), 0) << c.name;
    uint32_t block, length;
    uint8_t key[kMaxKeyLength + 1];
    EXPECT_EQ(d.reader().GetIndex()->ReadEntry(0, &block, key, &length), 0) << c.name;
    EXPECT_EQ(d.reader().GetIndex()->ReadEntry(1, &block, key, &length), c.readable ? 0 : -1)
        << c.name;
    if (c.readable) {
      EXPECT_EQ(length, c.lastKey.size());
    }
    // A search that probes the broken entry gives 0, and nothing crashes.
    EXPECT_GE(d.reader().GetIndex()->FindEntry(u"zzz"), 0) << c.name;
  }
}

TEST(DicIndex, ImpossibleEntryCountsCostOnlyWhatTheFileHolds) {
  for (int32_t nindex2 : {INT32_MAX, -1, INT32_MIN}) {
    Options o;
    o.nindex2 = nindex2;
    OpenDictionary d(AssembleFile(o, {{1, "a"}, {2, "b"}}, {}));
    ASSERT_EQ(d.openResult(), 0);
    DicIndex* index = d.reader().GetIndex();
    index->Load();
    EXPECT_LE(index->Entries().size(), 3u) << nindex2;
    EXPECT_LE(index->EntryLimit(), 2) << nindex2;
    int truncated = 0;
    EXPECT_EQ(d.reader().Lookup(u"", 0, 0, &truncated), 0u) << "no records in these files";
  }
}

}  // namespace
}  // namespace kebu::testing
