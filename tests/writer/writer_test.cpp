// The writer of test dictionaries checked against hand-made bytes.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kebu::testing {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  return {values.begin(), values.end()};
}

Record Raw(Record record) {
  record.raw_text = true;
  return record;
}

TEST(DicBuilderRecord, WorkedExamplesComeOutByteForByte) {
  const Record cat{.headword = "cat", .translation = "neko", .attribute = 1};
  const Record car{.headword = "car", .translation = "in", .attribute = 1};
  const Record dog{.headword = "dog",
                   .translation = "inu",
                   .example = "wan",
                   .pronunciation = "dg",
                   .attribute = 1};
  struct Case {
    const char* name;
    Record record;
    std::string previous;
    Encoding encoding;
    std::vector<uint8_t> bytes;
    Span translation, example, pronunciation;
    uint32_t end;
  };
  const Case cases[] = {
      {"cat", cat, "", Encoding::kCp932,
       Bytes({0x09, 0x00, 0x00, 0x63, 0x61, 0x74, 0x00, 0x01, 0x6E, 0x65,
              0x6B, 0x6F}),
       {8, 4}, {}, {}, 12},
      {"car after cat", car, "cat", Encoding::kCp932,
       Bytes({0x05, 0x00, 0x02, 0x72, 0x00, 0x01, 0x69, 0x6E}),
       {6, 2}, {}, {}, 8},
      {"dog extended", dog, "", Encoding::kCp932,
       Bytes({0x13, 0x00, 0x00, 0x64, 0x6F, 0x67, 0x00, 0x11, 0x69, 0x6E, 0x75,
              0x00, 0x01, 0x77, 0x61, 0x6E, 0x00, 0x02, 0x64, 0x67, 0x00,
              0x80}),
       {8, 3}, {13, 3}, {18, 2}, 22},
      // The same byte strings in a BOCU-1 record (as raw text, since BOCU-1
      // does not keep ASCII as it is): attribute before the tail, L one less.
      {"cat bocu1", Raw(cat), "", Encoding::kBocu1,
       Bytes({0x08, 0x00, 0x00, 0x01, 0x63, 0x61, 0x74, 0x00, 0x6E, 0x65,
              0x6B, 0x6F}),
       {8, 4}, {}, {}, 12},
      {"car bocu1", Raw(car), "cat", Encoding::kBocu1,
       Bytes({0x04, 0x00, 0x02, 0x01, 0x72, 0x00, 0x69, 0x6E}),
       {6, 2}, {}, {}, 8},
      {"dog bocu1", Raw(dog), "", Encoding::kBocu1,
       Bytes({0x12, 0x00, 0x00, 0x11, 0x64, 0x6F, 0x67, 0x00, 0x69, 0x6E, 0x75,
              0x00, 0x01, 0x77, 0x61, 0x6E, 0x00, 0x02, 0x64, 0x67, 0x00,
              0x80}),
       {8, 3}, {13, 3}, {18, 2}, 22},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const uint32_t p = 100;  // the layout counts from the record's offset
    RecordLayout layout;
    EXPECT_EQ(EncodeRecord(c.record, c.encoding, 2, c.previous, true, &layout,
                           p),
              c.bytes);
    EXPECT_EQ(layout.offset, p);
    EXPECT_EQ(layout.translation.offset, p + c.translation.offset);
    EXPECT_EQ(layout.translation.length, c.translation.length);
    EXPECT_EQ(layout.example.offset,
              c.example.length ? p + c.example.offset : 0);
    EXPECT_EQ(layout.example.length, c.example.length);
    EXPECT_EQ(layout.pronunciation.offset,
              c.pronunciation.length ? p + c.pronunciation.offset : 0);
    EXPECT_EQ(layout.pronunciation.length, c.pronunciation.length);
    EXPECT_EQ(layout.end, p + c.end);
  }
}

TEST(DicBuilderRecord, FieldListsAndWidths) {
  struct Case {
    const char* name;
    Record record;
    int width;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"skipped fields, duplicate tag 1, no end tag",
       {.headword = "a",
        .translation = "b",
        .example = "x",
        .attribute = 0x25,
        .extra = {{0x10, std::string("\x01\x00\x02", 3)}, {3, "s"}, {1, "y"}},
        .end_tag = false},
       2,
       Bytes({0x14, 0x00, 0x00, 'a', 0x00, 0x35, 'b', 0x00, 0x01, 'x', 0x00,
              0x10, 0x03, 0x00, 0x01, 0x00, 0x02, 0x03, 's', 0x00, 0x01, 'y',
              0x00})},
      {"4-byte lengths",
       {.headword = "a", .translation = "b", .extra = {{0x90, "zz"}}},
       4,
       Bytes({0x0D, 0x00, 0x00, 0x00, 0x00, 'a', 0x00, 0x10, 'b', 0x00, 0x90,
              0x02, 0x00, 0x00, 0x00, 'z', 'z', 0x80})},
      {"forced extended without fields",
       {.headword = "a", .translation = "b", .attribute = 3, .extended = true},
       2, Bytes({0x06, 0x00, 0x00, 'a', 0x00, 0x13, 'b', 0x00, 0x80})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EncodeRecord(c.record, Encoding::kCp932, c.width), c.bytes);
  }
}

TEST(DicBuilderHeader, FieldsStandAtTheirOffsetsForEachLayout) {
  Options o;
  o.lword = 0x1234;
  o.ljapa = 0x2345;
  o.block_size = 512;
  o.header_size = 300;
  o.index_block = 7;
  o.nword = 0x01020304;
  o.dicorder = 2;
  o.attrlen = 5;
  o.os = 3;
  o.index32 = true;
  o.data_gap = 0x0A0B0C0D;
  o.nindex2 = 0x11121314;
  o.nblock2 = 0x21222324;
  struct Case {
    uint16_t version;
    Encoding encoding;
    int signature_offset;
    int os, blkbit, gap, nindex2, nblock2;  // offsets
    uint8_t dictype;
  };
  const Case cases[] = {
      {0x0400, Encoding::kCp932, 13, 171, 198, 182, 190, 194, 0},
      {0x04FF, Encoding::kCp932, 24, 171, 198, 182, 190, 194, 0},
      {0x0500, Encoding::kCp932, 24, 167, 182, 184, 192, 196, 0},
      {0x0600, Encoding::kBocu1, 13, 167, 182, 184, 192, 196, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    o.version = c.version;
    o.encoding = c.encoding;
    o.signature_offset = c.signature_offset;
    const std::vector<uint8_t> h = MakeHeader(o);
    ASSERT_EQ(h.size(), 256u);
    EXPECT_EQ(std::string(h.begin() + c.signature_offset,
                          h.begin() + c.signature_offset + 51),
              kSignatureText);
    EXPECT_EQ(GetLe16(h, 140), c.version);
    EXPECT_EQ(GetLe16(h, 142), 0x1234);
    EXPECT_EQ(GetLe16(h, 144), 0x2345);
    EXPECT_EQ(GetLe16(h, 146), 512);
    EXPECT_EQ(GetLe16(h, 148), 7);
    EXPECT_EQ(GetLe16(h, 150), 300);
    EXPECT_EQ(GetLe32(h, 160), 0x01020304u);
    EXPECT_EQ(h[164], 2);
    EXPECT_EQ(h[165], c.dictype);
    EXPECT_EQ(h[166], 5);
    EXPECT_EQ(h[c.os], 3);
    EXPECT_EQ(h[c.blkbit], 1);
    EXPECT_EQ(GetLe32(h, c.gap), 0x0A0B0C0Du);
    EXPECT_EQ(GetLe32(h, c.nindex2), 0x11121314u);
    EXPECT_EQ(GetLe32(h, c.nblock2), 0x21222324u);
    // Nothing else is written: every byte outside the signature and the
    // fields is zero.
    std::vector<bool> used(256, false);
    for (int i = 0; i < 51; ++i) used[c.signature_offset + i] = true;
    for (int i = 140; i < 152; ++i) used[i] = true;
    for (int i = 160; i < 167; ++i) used[i] = true;
    for (int off : {c.gap, c.nindex2, c.nblock2}) {
      for (int i = 0; i < 4; ++i) used[off + i] = true;
    }
    used[c.os] = used[c.blkbit] = true;
    for (int i = 0; i < 256; ++i) {
      if (!used[i]) {
        EXPECT_EQ(h[i], 0) << "offset " << i;
      }
    }
  }
}

// Walks the areas of a built file as the format describes them and checks
// them against the layout and the options.
void CheckAreas(const BuiltDictionary& dic, const Options& o,
                size_t record_count) {
  const Layout& l = dic.layout;
  const std::vector<uint8_t>& f = dic.bytes;
  EXPECT_EQ(GetLe16(f, 148), l.index_block);
  EXPECT_EQ(GetLe32(f, 192), l.areas.size());
  EXPECT_EQ(GetLe32(f, 196), l.block_count);
  EXPECT_EQ(GetLe32(f, 160), record_count);
  EXPECT_EQ(l.data_offset, static_cast<uint64_t>(o.header_size) +
                               o.data_gap + l.index_block * o.block_size);
  EXPECT_EQ(f.size(), l.data_offset + l.block_count * o.block_size);
  ASSERT_EQ(l.entries.size(), l.areas.size());
  size_t records = 0;
  uint32_t next_block = 0;
  uint64_t entry_offset = o.header_size;
  std::string previous_headword;
  for (size_t a = 0; a < l.areas.size(); ++a) {
    SCOPED_TRACE("area " + std::to_string(a));
    const AreaLayout& area = l.areas[a];
    EXPECT_EQ(area.first_block, next_block);
    next_block += area.block_count;
    const uint64_t base = l.BlockOffset(area.first_block);
    EXPECT_EQ(area.file_offset, base);
    const uint16_t word = GetLe16(f, base);
    EXPECT_EQ(word & 0x7FFF, area.block_count);
    const int w = (word & 0x8000) ? 4 : 2;
    EXPECT_EQ(w, area.length_width);
    const uint64_t area_bytes = uint64_t{area.block_count} * o.block_size;
    // The index entry: block number and the area's first headword.
    const IndexEntryLayout& e = l.entries[a];
    EXPECT_EQ(e.file_offset, entry_offset);
    EXPECT_EQ(o.index32 ? GetLe32(f, e.file_offset) : GetLe16(f, e.file_offset),
              area.first_block);
    EXPECT_EQ(e.key, area.records.front().headword);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[e.key_file_offset])),
              e.key);
    entry_offset = e.key_file_offset + e.key.size() + 1;
    // The records, with the zero length behind them inside the area.
    uint32_t pos = 2;
    std::string headword;
    for (const RecordLayout& r : area.records) {
      EXPECT_EQ(r.offset, pos);
      const uint32_t length = w == 4 ? GetLe32(f, base + pos)
                                     : GetLe16(f, base + pos);
      EXPECT_EQ(length, r.length_value);
      const uint8_t prefix = f[base + pos + w];
      if (&r == &area.records.front()) {
        EXPECT_EQ(prefix, 0);
      }
      const std::string tail(
          reinterpret_cast<const char*>(&f[base + r.tail.offset]));
      headword = headword.substr(0, prefix) + tail;
      EXPECT_EQ(headword, r.headword);
      EXPECT_LE(previous_headword, headword);  // ASCII; BOCU-1 keeps order
      previous_headword = headword;
      pos = r.tail.offset + length;
      EXPECT_EQ(r.end, pos);
      ++records;
    }
    EXPECT_EQ(area.end_marker_offset, pos);
    ASSERT_LE(pos + w, area_bytes);
    EXPECT_EQ(w == 4 ? GetLe32(f, base + pos) : GetLe16(f, base + pos), 0u);
    // An area is area_blocks long unless one record alone needs more (or
    // records_per_area asks for more).
    if (area.block_count > static_cast<uint32_t>(o.area_blocks) &&
        o.records_per_area == 0) {
      EXPECT_EQ(area.records.size(), 1u);
    }
    if (o.records_per_area > 0 && a + 1 < l.areas.size()) {
      EXPECT_EQ(area.records.size(), static_cast<size_t>(o.records_per_area));
    }
  }
  EXPECT_EQ(records, record_count);
  EXPECT_EQ(next_block, l.block_count);
}

TEST(DicBuilderLayout, AreasStayWithinTheirBlocks) {
  std::vector<Record> records;
  for (int i = 0; i < 60; ++i) {
    // Shuffled input order: the builder sorts.
    const int n = (i * 37) % 60;
    records.push_back({.headword = "word" + std::to_string(n),
                       .translation = std::string(n % 7 * 3, 't'),
                       .example = n % 5 == 0 ? "an example" : ""});
  }
  records.push_back({.headword = "long", .translation = std::string(300, 'L')});
  struct Case {
    int block_size, area_blocks, records_per_area, header_size, data_gap;
    bool index32;
    Encoding encoding = Encoding::kCp932;
  };
  const Case cases[] = {
      {64, 1, 0, 256, 0, false},
      {32, 2, 0, 300, 17, true},
      {1, 1, 0, 256, 0, false},
      {1024, 4, 0, 256, 0, false},
      {128, 1, 3, 512, 5, false},
      {7, 3, 0, 1024, 1, true},
      {64, 1, 0, 256, 0, false, Encoding::kBocu1},
      {33, 2, 0, 256, 9, true, Encoding::kBocu1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("block_size " + std::to_string(c.block_size));
    Options o;
    o.block_size = c.block_size;
    o.area_blocks = c.area_blocks;
    o.records_per_area = c.records_per_area;
    o.header_size = c.header_size;
    o.data_gap = c.data_gap;
    o.index32 = c.index32;
    o.encoding = c.encoding;
    const BuiltDictionary dic = BuildDictionary(records, o);
    EXPECT_EQ(dic.bytes[182], c.index32 ? 1 : 0);
    CheckAreas(dic, o, records.size());
    if (c.block_size == 1024) {
      EXPECT_EQ(dic.layout.areas.size(), 1u);
    }
    if (c.block_size == 1) {
      EXPECT_EQ(dic.layout.areas.size(), records.size());
    }
  }
}

TEST(DicBuilderLayout, PacksAsManyRecordsAsFitWithTheEndMarker) {
  // Sorted: car (10 bytes), cat (10 behind car, 12 with prefix 0), dog (22).
  const std::vector<Record> records = {
      {.headword = "cat", .translation = "neko", .attribute = 1},
      {.headword = "car", .translation = "in", .attribute = 1},
      {.headword = "dog",
       .translation = "inu",
       .example = "wan",
       .pronunciation = "dg",
       .attribute = 1},
  };
  struct Case {
    int block_size;
    std::vector<size_t> records_per_area;
    std::vector<uint32_t> blocks_per_area;
  };
  const Case cases[] = {
      // Area word, car, cat and the end marker: 2 + 10 + 10 + 2 = 24.
      {32, {2, 1}, {1, 1}},
      {24, {2, 1}, {1, 2}},
      // 23 leaves no room for the end marker behind cat; dog alone needs
      // 2 + 22 + 2 bytes, so its area grows to two blocks.
      {23, {1, 1, 1}, {1, 1, 2}},
      {1024, {3}, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block_size);
    Options o;
    o.block_size = c.block_size;
    const BuiltDictionary dic = BuildDictionary(records, o);
    std::vector<size_t> counts;
    std::vector<uint32_t> blocks;
    for (const AreaLayout& a : dic.layout.areas) {
      counts.push_back(a.records.size());
      blocks.push_back(a.block_count);
    }
    EXPECT_EQ(counts, c.records_per_area);
    EXPECT_EQ(blocks, c.blocks_per_area);
  }
}

TEST(DicBuilderLayout, LengthWidthFollowsTheRecords) {
  struct Case {
    LengthWidth lengths;
    size_t translation;
    int width;
  };
  const Case cases[] = {
      {LengthWidth::kAuto, 100, 2},
      {LengthWidth::kAuto, 70000, 4},
      {LengthWidth::k4, 100, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.translation);
    Options o;
    o.block_size = 256;
    o.lengths = c.lengths;
    const BuiltDictionary dic = BuildDictionary(
        {{.headword = "a", .translation = "x"},
         {.headword = "b", .translation = std::string(c.translation, 'y')}},
        o);
    const AreaLayout& last = dic.layout.areas.back();
    EXPECT_EQ(last.length_width, c.width);
    EXPECT_EQ((GetLe16(dic.bytes, last.file_offset) & 0x8000) != 0,
              c.width == 4);
  }
  Options narrow;
  narrow.lengths = LengthWidth::k2;
  EXPECT_THROW(
      BuildDictionary({{.headword = "a", .translation = std::string(70000, 'y')}},
                      narrow),
      std::invalid_argument);
}

TEST(DicBuilderLayout, IndexBlockNumbersWidenOnlyWhenAsked) {
  // Block size 4: every record gets an area of its own of 29 blocks, so the
  // last areas start above block 65535.
  std::vector<Record> records;
  for (int i = 0; i < 3000; ++i) {
    records.push_back({.headword = std::to_string(100000 + i),
                       .translation = std::string(100, 't')});
  }
  Options o;
  o.block_size = 4;
  EXPECT_THROW(BuildDictionary(records, o), std::invalid_argument);
  o.auto_index32 = true;
  const BuiltDictionary dic = BuildDictionary(records, o);
  EXPECT_TRUE(dic.layout.index32);
  EXPECT_EQ(dic.bytes[182], 1);
  const IndexEntryLayout& last = dic.layout.entries.back();
  EXPECT_GT(last.block, 0xFFFFu);
  EXPECT_EQ(GetLe32(dic.bytes, last.file_offset), last.block);
  // Few blocks: auto_index32 keeps 16-bit numbers.
  records.resize(10);
  const BuiltDictionary small = BuildDictionary(records, o);
  EXPECT_FALSE(small.layout.index32);
  EXPECT_EQ(small.bytes[182], 0);
}

TEST(DicBuilderLayout, SortsAsLookupCompares) {
  // U+FF5E is 81 60 in code page 932 and sorts before U+4E9C (88 9F); as
  // UTF-16 units it sorts after it. Equal headwords keep their input order.
  const std::vector<Record> records = {
      {.headword = "\xE4\xBA\x9C", .translation = "1"},  // U+4E9C
      {.headword = "\xEF\xBD\x9E", .translation = "2"},  // U+FF5E
      {.headword = "b", .translation = "3"},
      {.headword = "B", .translation = "4"},
      {.headword = "b", .translation = "5"},
  };
  struct Case {
    Encoding encoding;
    std::vector<size_t> order;
  };
  const Case cases[] = {
      {Encoding::kCp932, {3, 2, 4, 1, 0}},
      {Encoding::kBocu1, {3, 2, 4, 0, 1}},
  };
  for (const Case& c : cases) {
    Options o;
    o.encoding = c.encoding;
    const BuiltDictionary dic = BuildDictionary(records, o);
    std::vector<size_t> order;
    for (const RecordLayout* r : dic.layout.Records()) order.push_back(r->source);
    EXPECT_EQ(order, c.order);
  }
}

TEST(DicBuilderText, EncodersMapAsTheWindowsCodePage) {
  size_t substitutions = 0;
  EXPECT_EQ(EncodeCp932("a\\~", &substitutions), "a\\~");
  EXPECT_EQ(EncodeCp932("\xEF\xBD\x9E", &substitutions), "\x81\x60");
  EXPECT_EQ(EncodeCp932("\xE3\x82\xAC", &substitutions), "\x83\x4B");  // ガ
  EXPECT_EQ(EncodeCp932("\xEF\xBD\xB1", &substitutions), "\xB1");      // ｱ
  EXPECT_EQ(substitutions, 0u);
  // é and U+1F600 (a surrogate pair) are missing: one '?' each.
  EXPECT_EQ(EncodeCp932("x\xC3\xA9y\xF0\x9F\x98\x80", &substitutions),
            "x?y?");
  EXPECT_EQ(substitutions, 2u);
  // BOCU-1: ASCII as differences from 0x40 (c = 0x40 + 0x23 -> 0x90 + 0x23),
  // and a round trip.
  EXPECT_EQ(EncodeBocu1(std::string_view("cat")), "\xB3\xB1\xC4");
  const std::string text = "\xE3\x82\xAC\xE3\x82\xB9 gas \xE6\xBC\xA2";
  EXPECT_EQ(Utf16ToUtf8(DecodeBocu1(EncodeBocu1(std::string_view(text)))),
            text);
}

TEST(DicBuilderText, FoldsKeysAsVersion6Lookup) {
  struct Case {
    std::string display, key;
  };
  const Case cases[] = {
      {"Ab-C", "ab c"},
      {"Tokyo", "tokyo"},
      {"\xE3\x82\xAC\xE3\x82\xB9", "\xE3\x82\xAB\xE3\x82\xB9"},  // ガス カス
      {"\xE3\x83\x91\xE3\x83\x83\xE3\x83\xB6",                   // パッヶ
       "\xE3\x83\x8F\xE3\x83\x84\xE3\x82\xB1"},                  // ハツケ
      {"\xE3\x83\xB4", "\xE3\x83\xB4"},                          // ヴ stays
      {"\xE3\x81\x8C", "\xE3\x81\x8C"},                          // が stays
      {"\xEF\xBC\xA1", "\xEF\xBC\xA1"},                          // Ａ stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.display);
    EXPECT_EQ(FoldKeyV6(std::string_view(c.display)), c.key);
    EXPECT_EQ(V6Headword(c.display), c.key + "\t" + c.display);
  }
}

TEST(DicBuilderAssemble, HandMadeFilePutsPartsAtTheirOffsets) {
  Options o;
  o.block_size = 16;
  o.header_size = 260;
  o.data_gap = 3;
  const std::vector<uint8_t> records = {0x00, 0x00};
  std::vector<uint8_t> data = MakeRawArea(records, 16, true, 2);
  ASSERT_EQ(data.size(), 32u);
  EXPECT_EQ(GetLe16(data, 0), 0x8002);
  const std::vector<uint8_t> f =
      AssembleFile(o, {{0, "k"}, {0x1234, "key2"}}, data);
  // header, 4 filler bytes, index (3 + 7 bytes in one block), gap, data.
  EXPECT_EQ(GetLe16(f, 148), 1);
  EXPECT_EQ(GetLe32(f, 192), 2u);
  EXPECT_EQ(GetLe32(f, 196), 2u);
  EXPECT_EQ(f[256], kFillerByte);
  EXPECT_EQ(GetLe16(f, 260), 0);
  EXPECT_EQ(f[262], 'k');
  EXPECT_EQ(GetLe16(f, 264), 0x1234);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[266])), "key2");
  EXPECT_EQ(f[276], kFillerByte);
  EXPECT_EQ(GetLe16(f, 279), 0x8002);
  EXPECT_EQ(f.size(), 279u + 32u);

  std::vector<uint8_t> patched = f;
  PutLe32(patched, 192, 0xA0B0C0D0);
  EXPECT_EQ(GetLe32(patched, 192), 0xA0B0C0D0u);
  EXPECT_EQ(patched[192], 0xD0);
}

TEST(DicBuilderFiles, TempDirHoldsWrittenFilesAndGoes) {
  std::filesystem::path kept;
  {
    TempDir dir;
    kept = dir.path();
    WriteFile(dir.File("a.dic"), std::string_view("abc"));
    EXPECT_EQ(ReadFile(dir.File("a.dic")), Bytes({'a', 'b', 'c'}));
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
}

}  // namespace
}  // namespace kebu::testing
