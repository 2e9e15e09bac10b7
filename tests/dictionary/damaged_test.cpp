// Damaged dictionaries: every damage gives a clean result, good areas behind
// a damaged one are still read, work stays in proportion to the file, and a
// file that changes under an open reader never crashes it.
#include <gtest/gtest.h>

#include <functional>

#include "dictionary/dic_block_reader.h"
#include "tests/dictionary/reader_support.h"

namespace kebu::testing {
namespace {

std::vector<Record> Sample() {
  std::vector<Record> out;
  for (int i = 0; i < 40; ++i) {
    char h[8];
    std::snprintf(h, sizeof h, "w%02d", i);
    out.push_back({.headword = h, .translation = "trans", .example = i % 3 ? "" : "ex"});
  }
  return out;
}

// 40 records, 4 to an area of 64-byte blocks: 10 areas.
BuiltDictionary Built(bool index32 = false, int dataGap = 0) {
  Options o;
  o.block_size = 64;
  o.recordsPerArea = 4;
  o.index32 = index32;
  o.data_gap = dataGap;
  return MakeDictionary(Sample(), o);
}

uint64_t At(const AreaLayout& a, uint32_t offset) { return a.fileOffset + offset; }

// Replaces every zero byte in [from, to) so that no text ends there.
void NoZeros(std::vector<uint8_t>& b, uint64_t from, uint64_t to, uint8_t with) {
  for (uint64_t i = from; i < to && i < b.size(); ++i) b[i] = b[i] == 0 ? with : b[i];
}

using Bytes = std::vector<uint8_t>;

TEST(Damaged, EveryDamageGivesACleanResultAndGoodAreasAreStillRead) {
  struct Case {
    const char* name;
    std::function<void(Bytes&, const Layout&)> damage;
    int records;  // what the empty-key lookup and a full read give; -1: refused
    enum { kPlain, kIndex32, kGap } variant = kPlain;
    bool exact = true;  // otherwise at most `records`
  };
  const Case cases[] = {
      {"no damage", [](Bytes&, const Layout&) {}, 40},
      {"short header", [](Bytes& b, const Layout&) { b.resize(200); }, -1},
      {"version below 4", [](Bytes& b, const Layout&) { PutLe16(b, 140, 0x03FF); }, -1},
      {"no signature", [](Bytes& b, const Layout&) { b[13] = 'x'; }, -1},
      {"nindex2 0", [](Bytes& b, const Layout&) { PutLe32(b, 192, 0); }, 0},
      {"nindex2 negative", [](Bytes& b, const Layout&) { PutLe32(b, 192, 0x80000000u); }, 0},
      {"nindex2 huge", [](Bytes& b, const Layout&) { PutLe32(b, 192, 0x7FFFFFFF); }, 40},
      {"index block past the end",
       [](Bytes& b, const Layout& l) { PutLe16(b, l.entries[3].fileOffset, 0xFFFF); }, 36},
      {"negative block positions", [](Bytes& b, const Layout&) { PutLe32(b, 184, 0x80000000u); }, 0},
      {"huge data gap", [](Bytes& b, const Layout&) { PutLe32(b, 184, 0x7FFFFFFF); }, 0},
      {"index_block negative", [](Bytes& b, const Layout&) { PutLe16(b, 148, 0x8000); }, 0},
      {"area word 0", [](Bytes& b, const Layout& l) { PutLe16(b, l.areas[1].fileOffset, 0); }, 36},
      {"last area claims 32767 blocks",
       [](Bytes& b, const Layout& l) { PutLe16(b, l.areas[9].fileOffset, 0x7FFF); }, 40},
      {"area claims the next area's blocks",
       [](Bytes& b, const Layout& l) { PutLe16(b, l.areas[4].fileOffset, 0x7FFF); }, 40},
      {"file cut inside an area word",
       [](Bytes& b, const Layout& l) { b.resize(l.areas[9].fileOffset + 1); }, 36},
      {"file cut inside the index",
       [](Bytes& b, const Layout& l) { b.resize(l.entries[5].keyFileOffset + 1); }, 0},
      {"first record of the first area ends it",
       [](Bytes& b, const Layout& l) { PutLe16(b, At(l.areas[0], 2), 0); }, 36},
      {"record length past the area",
       [](Bytes& b, const Layout& l) { PutLe16(b, At(l.areas[2], l.areas[2].records[1].offset), 0xFFFF); }, 37},
      {"record length too small for its tail",
       [](Bytes& b, const Layout& l) { PutLe16(b, At(l.areas[2], l.areas[2].records[1].offset), 1); }, 37},
      {"prefix beyond the previous headword",
       [](Bytes& b, const Layout& l) { b[At(l.areas[2], l.areas[2].records[1].prefixOffset)] = 200; }, 37},
      {"first tail without zero byte",
       [](Bytes& b, const Layout& l) {
         NoZeros(b, At(l.areas[4], l.areas[4].records[0].tail.offset), At(l.areas[4], 64), 'z');
       }, 36},
      {"extended translation without zero byte",
       [](Bytes& b, const Layout& l) {
         const AreaLayout& a = l.areas[3];
         NoZeros(b, At(a, a.records[0].translation.offset), At(a, a.blockCount * 64), 't');
       }, 36},
      {"example without zero byte",
       [](Bytes& b, const Layout& l) {
         const AreaLayout& a = l.areas[3];
         NoZeros(b, At(a, a.records[3].example.offset), At(a, a.blockCount * 64), 'e');
       }, 39},
      {"example tag made a sized field past the area",
       [](Bytes& b, const Layout& l) { b[At(l.areas[3], l.areas[3].records[3].fields[0].tagOffset)] = 0x11; }, 39},
      {"sized field past its record",
       [](Bytes& b, const Layout& l) {
         const uint64_t tag = At(l.areas[3], l.areas[3].records[0].fields[0].tagOffset);
         b[tag] = 0x10;
         PutLe16(b, tag + 1, 5);
       }, 40},
      {"every data byte 0xFF",
       [](Bytes& b, const Layout& l) { std::fill(b.begin() + l.dataOffset, b.end(), 0xFF); }, 0},
      {"index key of more than 1027 bytes",
       [](Bytes& b, const Layout& l) { NoZeros(b, l.entries[5].keyFileOffset, l.dataOffset, 'k'); },
       20, Case::kGap},
      {"32-bit block number with a negative position",
       [](Bytes& b, const Layout& l) { PutLe32(b, l.entries[3].fileOffset, 0x80000000u); }, 36, Case::kIndex32},
      {"32-bit block number past the end",
       [](Bytes& b, const Layout& l) { PutLe32(b, l.entries[3].fileOffset, 0x7FFFFFFF); }, 36, Case::kIndex32},
      {"negative data_gap", [](Bytes& b, const Layout&) { PutLe32(b, 184, static_cast<uint32_t>(-64)); },
       40, Case::kPlain, false},
      {"index_blkbit 1 on a 16-bit index", [](Bytes& b, const Layout&) { b[182] = 1; }, 40, Case::kPlain, false},
  };
  const BuiltDictionary variants[] = {Built(), Built(true), Built(false, 1100)};
  ASSERT_EQ(variants[0].layout.areas.size(), 10u);
  for (const Case& c : cases) {
    const BuiltDictionary& dic = variants[c.variant];
    Bytes bytes = dic.bytes;
    c.damage(bytes, dic.layout);
    Opened d(bytes);
    ASSERT_EQ(d.opened, c.records >= 0) << c.name;
    const std::vector<Texts> read = ReadAll(d.reader);
    const std::vector<Texts> hits = LookupAll(d.reader, "", false, 0);
    // Lookup and sequential reading pass over the same damaged areas.
    EXPECT_EQ(hits, read) << c.name;
    if (c.exact) {
      EXPECT_EQ(read.size(), static_cast<size_t>(std::max(c.records, 0))) << c.name;
    } else {
      EXPECT_LE(read.size(), static_cast<size_t>(c.records)) << c.name;
    }
    for (const char* key : {"w1", "w39", "zz", "w0"}) LookupAll(d.reader, key);
  }
}

// A dictionary whose first headword is empty stores an all-zero entry 0:
// it is an entry like any other. An all-zero entry behind it ends the index.
TEST(Damaged, AnEmptyFirstHeadwordIsReadAndAZeroEntryBehindItEndsTheIndex) {
  std::vector<Record> records = Sample();
  records.push_back({.headword = "", .translation = "empty"});
  Options o;
  o.block_size = 64;
  o.recordsPerArea = 4;
  const BuiltDictionary built = MakeDictionary(records, o);
  ASSERT_TRUE(built.layout.entries[0].key.empty() && built.layout.entries[0].block == 0);
  Opened d(built.bytes);
  EXPECT_EQ(ReadAll(d.reader).size(), 41u);
  EXPECT_EQ(LookupAll(d.reader, "", false, 0).size(), 41u);
  EXPECT_EQ(LookupAll(d.reader, "w0").size(), 10u);
  Bytes cut = built.bytes;
  std::fill_n(cut.begin() + static_cast<long>(built.layout.entries[5].fileOffset), 3, 0);
  Opened ended(cut);
  EXPECT_EQ(ReadAll(ended.reader).size(), 20u);  // entries 0 to 4, 4 records each
}

// Index entries that name one area over and over, or areas that run into
// each other: an area is read once per lookup or pass, and ends where the
// next one begins.
TEST(Damaged, WorkStaysInProportionToTheFile) {
  Bytes area;
  for (int i = 0; i < 50; ++i) {
    const Bytes r = EncodeRecord({.headword = "a" + std::to_string(100 + i), .translation = "t"},
                                 Encoding::kCp932, 2, i ? "a" + std::to_string(99 + i) : "");
    area.insert(area.end(), r.begin(), r.end());
  }
  area.resize(area.size() + 2, 0);
  Options o;
  o.block_size = 1024;
  std::vector<RawIndexEntry> entries(200, RawIndexEntry{0, "a"});
  for (size_t i = 100; i < entries.size(); ++i) entries[i].key = "b";
  Opened d(AssembleFile(o, entries, MakeRawArea(area, 1024)));
  EXPECT_EQ(ReadAll(d.reader).size(), 50u);
  EXPECT_EQ(LookupAll(d.reader, "", false, 0).size(), 50u);
  EXPECT_EQ(LookupAll(d.reader, "b", false, 0).size(), 0u);
  std::unique_ptr<DicLookup> counter = d.reader.NewLookup();
  EXPECT_EQ(counter->Count(u"a1"), 50u);

  // The index's own answers: where each area must end, and which entries a
  // pass that began at entry s has read already; the area of entry 1 claims
  // 7 blocks but ends where entry 0's begins.
  Bytes blocks(10 * 64, 0);
  PutLe16(blocks, 0, 7);
  o.block_size = 64;
  Opened odd(AssembleFile(o, {{5, "a"}, {0, "b"}, {5, "c"}, {9, "d"}}, blocks));
  const DicIndex& index = odd.reader.Source()->index;
  const uint32_t limits[] = {4, 5, 4, UINT32_MAX};
  for (uint32_t n = 0; n < 4; ++n) EXPECT_EQ(index.AreaBlockLimit(n), limits[n]) << n;
  EXPECT_TRUE(index.BlockReadBefore(2, 0));
  // A key longer than any may be ends the index, whatever nindex2 counts
  // behind it.
  Options many = o;
  many.nindex2 = 1000;
  Opened longKey(AssembleFile(many, {{0, "a"}, {1, std::string(1100, 'k')}, {2, "c"}}, blocks));
  EXPECT_EQ(longKey.reader.Source()->index.EntryLimit(), 1);
  EXPECT_FALSE(index.BlockReadBefore(2, 1));
  EXPECT_FALSE(index.BlockReadBefore(3, 0));
  DicBlockReader reader(odd.reader.Source()->file, odd.reader.Source()->header);
  ASSERT_TRUE(reader.LoadBlock(0, index.AreaBlockLimit(1)));
  EXPECT_EQ(reader.DataSize(), 5u * 64);
}

TEST(Damaged, FileChangingUnderAnOpenReader) {
  const BuiltDictionary built = Built();
  const BuiltDictionary other = MakeDictionary({{.headword = "w05", .translation = "y"}});
  const std::function<void(const std::string&)> changes[] = {
      [&](const std::string& p) { std::filesystem::resize_file(p, built.bytes.size() / 2); },
      [&](const std::string& p) { std::filesystem::resize_file(p, 0); },
      [&](const std::string& p) { WriteFile(p, other.bytes); },
      [&](const std::string& p) {
        Bytes b = built.bytes;
        b.resize(b.size() * 3, 0xA5);
        WriteFile(p, b);
      },
  };
  for (const auto& change : changes) {
    Opened d(built.bytes);
    ASSERT_EQ(d.reader.Lookup(u"w0", false, 0).count, 10u);
    change(d.path);
    RecordText t;
    for (uint32_t i = 0; i < 10; ++i) {
      if (d.reader.GetHit(i, &t)) {
        EXPECT_FALSE(t.headword.empty());
      }
    }
    EXPECT_LE(LookupAll(d.reader, "", false, 0).size(), 40u);
    EXPECT_LE(ReadAll(d.reader).size(), 40u);
  }
}

}  // namespace
}  // namespace kebu::testing
