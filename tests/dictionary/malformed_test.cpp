// Damaged dictionaries: every way a file can be broken gives a clean result,
// and a file that changes under an open reader never crashes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/dictionary/reader_fixture.h"

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

Options SmallAreas() {
  Options o;
  o.block_size = 64;
  o.records_per_area = 4;
  return o;
}

struct Damage {
  const char* name;
  std::function<void(std::vector<uint8_t>&, const Layout&)> apply;
  int open;          // Open's result
  size_t lookupMax;  // at most this many hits for the empty key
  size_t readMax;    // at most this many records in a full read
  // Which file is damaged: the sample with 16-bit index block numbers, with
  // 32-bit ones, or with a gap of filler bytes between index and data.
  enum Variant { kPlain, kIndex32, kGap } variant = kPlain;
  bool exact = false;  // the lookup and the read give exactly the maxima
};

// Offset in the file of a byte of a record area.
uint64_t At(const AreaLayout& a, uint32_t offset) { return a.file_offset + offset; }

// Replaces every zero byte in [from, to) so that no text ends there.
void NoZeros(std::vector<uint8_t>& b, uint64_t from, uint64_t to, uint8_t with) {
  for (uint64_t i = from; i < to && i < b.size(); ++i) {
    if (b[i] == 0) b[i] = with;
  }
}

TEST(Malformed, EveryDamageGivesACleanResult) {
  const Damage cases[] = {
      {"no damage", [](auto&, const Layout&) {}, 0, 40, 40},
      {"short header", [](auto& b, const Layout&) { b.resize(200); }, -1, 0, 0},
      {"nindex2 negative", [](auto& b, const Layout&) { PutLe32(b, 192, 0x80000000u); }, 0, 0, 0},
      {"nindex2 huge", [](auto& b, const Layout&) { PutLe32(b, 192, 0x7FFFFFFF); }, 0, 40, 40},
      {"index block past the end",
       [](auto& b, const Layout& l) { PutLe16(b, l.entries[3].file_offset, 0xFFFF); }, 0, 40, 12},
      {"negative block position", [](auto& b, const Layout&) { PutLe32(b, 184, 0x80000000u); }, 0, 0, 0},
      {"huge data gap", [](auto& b, const Layout&) { PutLe32(b, 184, 0x7FFFFFFF); }, 0, 0, 0},
      {"index_block negative", [](auto& b, const Layout&) { PutLe16(b, 148, 0x8000); }, 0, 0, 0},
      {"area word 0",
       [](auto& b, const Layout& l) { PutLe16(b, l.areas[1].file_offset, 0); }, 0, 40, 4},
      {"area claims 32767 blocks",
       [](auto& b, const Layout& l) { PutLe16(b, l.areas[9].file_offset, 0x7FFF); }, 0, 40, 40},
      {"file cut inside the last area", [](auto& b, const Layout&) { b.resize(b.size() - 40); }, 0, 40, 40},
      {"file cut inside the index",
       [](auto& b, const Layout& l) { b.resize(l.entries[5].key_file_offset + 1); }, 0, 20, 20},
      // The first area looks empty: lookup and reading go on with the next.
      {"record length 0 in the first record",
       [](auto& b, const Layout& l) {
         PutLe16(b, l.areas[0].file_offset + l.areas[0].records[0].offset, 0);
       },
       0, 36, 36},
      {"record length past the area",
       [](auto& b, const Layout& l) {
         PutLe16(b, l.areas[2].file_offset + l.areas[2].records[1].offset, 0xFFFF);
       },
       0, 40, 40},
      {"prefix beyond the previous headword",
       [](auto& b, const Layout& l) {
         b[l.areas[2].file_offset + l.areas[2].records[1].prefix_offset] = 200;
       },
       0, 40, 40},
      {"tail without zero byte",
       [](auto& b, const Layout& l) {
         const AreaLayout& a = l.areas[4];
         for (uint64_t i = a.file_offset + a.records[0].tail.offset; i < a.file_offset + 64; ++i) {
           if (b[i] == 0) b[i] = 'z';
         }
       },
       0, 40, 40},
      {"index key without zero byte",
       [](auto& b, const Layout& l) {
         for (uint64_t i = l.entries.back().key_file_offset; i < l.data_offset; ++i) b[i] = 'z';
       },
       0, 40, 40},
      {"every byte of the data 0xFF",
       [](auto& b, const Layout& l) { std::fill(b.begin() + l.data_offset, b.end(), 0xFF); }, 0, 40, 40},
      // Each header field that refuses a file.
      {"version below 4", [](auto& b, const Layout&) { PutLe16(b, 140, 0x03FF); }, -1, 0, 0,
       Damage::kPlain, true},
      {"header_size 0", [](auto& b, const Layout&) { PutLe16(b, 150, 0); }, -1, 0, 0,
       Damage::kPlain, true},
      {"header_size 1025", [](auto& b, const Layout&) { PutLe16(b, 150, 1025); }, -1, 0, 0,
       Damage::kPlain, true},
      {"block_size 0", [](auto& b, const Layout&) { PutLe16(b, 146, 0); }, -1, 0, 0,
       Damage::kPlain, true},
      {"block_size 1025", [](auto& b, const Layout&) { PutLe16(b, 146, 1025); }, -1, 0, 0,
       Damage::kPlain, true},
      {"no signature", [](auto& b, const Layout&) { b[13] = 'x'; }, -1, 0, 0, Damage::kPlain, true},
      {"nindex2 0", [](auto& b, const Layout&) { PutLe32(b, 192, 0); }, 0, 0, 0, Damage::kPlain, true},
      // Blocks move back onto the index: entry 0's area word is its own
      // block number 0, no area.
      {"negative data_gap", [](auto& b, const Layout&) { PutLe32(b, 184, static_cast<uint32_t>(-64)); },
       0, 0, 0, Damage::kPlain, true},
      // 32-bit numbers read from a 16-bit index: entry 0 names a block far
      // behind the end of the file.
      {"index_blkbit 1 on a 16-bit index", [](auto& b, const Layout&) { b[182] = 1; }, 0, 0, 0,
       Damage::kPlain, true},
      {"index key of more than 1027 bytes",
       [](auto& b, const Layout& l) { NoZeros(b, l.entries[5].key_file_offset, l.data_offset, 'k'); },
       0, 20, 20, Damage::kGap, true},
      {"32-bit block number making a negative position",
       [](auto& b, const Layout& l) { PutLe32(b, l.entries[3].file_offset, 0x80000000u); }, 0, 12, 12,
       Damage::kIndex32, true},
      {"32-bit block number past the end",
       [](auto& b, const Layout& l) { PutLe32(b, l.entries[3].file_offset, 0x7FFFFFFF); }, 0, 12, 12,
       Damage::kIndex32, true},
      {"file cut inside an area word",
       [](auto& b, const Layout& l) { b.resize(l.areas[9].file_offset + 1); }, 0, 36, 36,
       Damage::kPlain, true},
      {"record length too small for its tail",
       [](auto& b, const Layout& l) { PutLe16(b, At(l.areas[2], l.areas[2].records[1].offset), 1); },
       0, 37, 37, Damage::kPlain, true},
      // The first record of area 3 breaks: lookup goes on with area 4, the
      // sequential read ends there.
      {"extended translation without zero byte",
       [](auto& b, const Layout& l) {
         const AreaLayout& a = l.areas[3];
         NoZeros(b, At(a, a.records[0].translation.offset), At(a, a.block_count * 64), 't');
       },
       0, 36, 12, Damage::kPlain, true},
      {"example without zero byte",
       [](auto& b, const Layout& l) {
         const AreaLayout& a = l.areas[3];
         NoZeros(b, At(a, a.records[3].example.offset), At(a, a.block_count * 64), 'e');
       },
       0, 39, 39, Damage::kPlain, true},
      // Tag 1 becomes a sized field whose length is the example's bytes.
      {"skipped field past the area",
       [](auto& b, const Layout& l) {
         const AreaLayout& a = l.areas[3];
         b[At(a, a.records[3].fields[0].tag_offset)] = 0x11;
       },
       0, 39, 39, Damage::kPlain, true},
      // A skipped field may run past its record: the next record still
      // starts L bytes behind the tail.
      {"skipped field past the record",
       [](auto& b, const Layout& l) {
         const AreaLayout& a = l.areas[3];
         const uint64_t tag = At(a, a.records[0].fields[0].tag_offset);
         b[tag] = 0x10;
         PutLe16(b, tag + 1, 5);
       },
       0, 40, 40, Damage::kPlain, true},
      {"headword of 1028 bytes",
       [](auto& b, const Layout& l) {
         b.resize(l.areas[9].file_offset);
         std::vector<uint8_t> record;
         AppendLe16(record, 1028 + 3);  // tail, zero byte, attribute, translation
         record.push_back(0);
         record.insert(record.end(), 1028, 'h');
         record.insert(record.end(), {0, 0x01, 't', 0, 0});
         const std::vector<uint8_t> area = MakeRawArea(record, 64);
         b.insert(b.end(), area.begin(), area.end());
       },
       0, 36, 36, Damage::kPlain, true},
  };
  BuiltDictionary built = BuildDictionary(Sample(), SmallAreas());
  ASSERT_EQ(built.layout.areas.size(), 10u);
  Options index32 = SmallAreas();
  index32.index32 = true;
  Options gap = SmallAreas();
  gap.data_gap = 1100;
  const BuiltDictionary variants[] = {built, BuildDictionary(Sample(), index32),
                                      BuildDictionary(Sample(), gap)};
  for (const Damage& c : cases) {
    const BuiltDictionary& dic = variants[c.variant];
    std::vector<uint8_t> bytes = dic.bytes;
    c.apply(bytes, dic.layout);
    OpenDictionary d(bytes);
    ASSERT_EQ(d.openResult(), c.open) << c.name;
    int truncated = 0;
    const uint32_t hits = d.reader().Lookup(u"", 0, 0, &truncated);
    EXPECT_LE(hits, c.lookupMax) << c.name;
    if (c.exact) {
      EXPECT_EQ(hits, c.lookupMax) << c.name;
      EXPECT_EQ(ReadAll(d.reader(), 10000).size(), c.readMax) << c.name;
    }
    for (uint32_t i = 0; i < hits; ++i) {
      int r = 0;
      GetHitTexts(d.reader(), static_cast<int>(i), &r);
      EXPECT_EQ(r, 0) << c.name << " hit " << i;
    }
    for (const char* key : {"w1", "w39", "zz", "w0"}) LookupHeadwords(d.reader(), key);
    EXPECT_LE(ReadAll(d.reader(), 10000).size(), c.readMax) << c.name;
    if (std::string(c.name) == "no damage") {
      EXPECT_EQ(hits, 40u);
      EXPECT_EQ(ReadAll(d.reader()).size(), 40u);
    }
  }
}

TEST(Malformed, FileChangingUnderAnOpenReader) {
  BuiltDictionary built = BuildDictionary(Sample(), SmallAreas());
  BuiltDictionary other = BuildDictionary(
      {{.headword = "other", .translation = "x"}, {.headword = "w05", .translation = "y"}},
      Options{});
  struct Step {
    const char* name;
    std::function<void(const std::filesystem::path&)> change;
  };
  const Step steps[] = {
      {"truncated to half", [&](const auto& p) { std::filesystem::resize_file(p, built.bytes.size() / 2); }},
      {"truncated to the header", [&](const auto& p) { std::filesystem::resize_file(p, 256); }},
      {"emptied", [&](const auto& p) { std::filesystem::resize_file(p, 0); }},
      {"rewritten with another dictionary", [&](const auto& p) { WriteFile(p, other.bytes); }},
      {"grown with garbage",
       [&](const auto& p) {
         std::vector<uint8_t> b = built.bytes;
         b.resize(b.size() * 3, 0xA5);
         WriteFile(p, b);
       }},
  };
  for (const Step& s : steps) {
    OpenDictionary d(built.bytes);
    ASSERT_EQ(d.openResult(), 0);
    int truncated = 0;
    ASSERT_EQ(d.reader().Lookup(u"w0", 0, 0, &truncated), 10u);  // loads the index
    ASSERT_EQ(d.reader().Rewind(), 0);
    s.change(d.path());
    // Hits found before: -1 or their texts, never a crash.
    for (int i = 0; i < 10; ++i) {
      int r = 0;
      const HitTexts t = GetHitTexts(d.reader(), i, &r);
      if (r == 0) {
        EXPECT_FALSE(t.headword.empty()) << s.name;
      }
    }
    for (const char* key : {"", "w", "w05", "w3", "other"}) {
      const std::vector<std::string> hits = LookupHeadwords(d.reader(), key, 0, 0);
      EXPECT_LE(hits.size(), 40u) << s.name;
    }
    EXPECT_LE(ReadAll(d.reader(), 10000).size(), 40u) << s.name;
  }
}

}  // namespace
}  // namespace kebu::testing
