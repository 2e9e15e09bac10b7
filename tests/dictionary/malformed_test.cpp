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
};

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
  };
  BuiltDictionary built = BuildDictionary(Sample(), SmallAreas());
  ASSERT_EQ(built.layout.areas.size(), 10u);
  for (const Damage& c : cases) {
    std::vector<uint8_t> bytes = built.bytes;
    c.apply(bytes, built.layout);
    OpenDictionary d(bytes);
    ASSERT_EQ(d.openResult(), c.open) << c.name;
    int truncated = 0;
    const uint32_t hits = d.reader().Lookup(u"", 0, 0, &truncated);
    EXPECT_LE(hits, c.lookupMax) << c.name;
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
      if (r == 0) EXPECT_FALSE(t.headword.empty()) << s.name;
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
