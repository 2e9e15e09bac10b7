// Record areas: area words, block positions, loading and reuse.
#include <gtest/gtest.h>

#include <fstream>

#include "dictionary/dic_block_reader.h"
#include "tests/dictionary/reader_fixture.h"

namespace kebu::testing {
namespace {

// Data blocks from raw areas, with one index entry per area.
struct RawFile {
  Options options;
  std::vector<uint8_t> data;
  std::vector<RawIndexEntry> entries;

  void Add(std::vector<uint8_t> area) {
    const uint32_t block = static_cast<uint32_t>(data.size() / options.block_size);
    entries.push_back({block, "k" + std::to_string(block)});
    data.insert(data.end(), area.begin(), area.end());
  }
  std::vector<uint8_t> Build() const { return AssembleFile(options, entries, data); }
};

TEST(DicBlockReader, AreaWordGivesCountAndLengthWidth) {
  struct Case {
    uint16_t word;
    int result;
    uint32_t count;
    int width;
  };
  for (const Case& c : {Case{0x0001, 0, 1, 2}, Case{0x8003, 0, 3, 4}, Case{0x0000, -1, 0, 0},
                        Case{0x8000, -1, 0, 0}, Case{0x0002, 0, 2, 2}}) {
    Options o;
    o.block_size = 16;
    std::vector<uint8_t> data(16 * 4, 0);
    PutLe16(data, 0, c.word);
    OpenDictionary d(AssembleFile(o, {{0, "a"}}, data));
    ASSERT_EQ(d.openResult(), 0);
    DicBlockReader* blocks = d.reader().GetBlockReader();
    EXPECT_EQ(blocks->LoadBlock(0), c.result) << std::hex << c.word;
    if (c.result == 0) {
      EXPECT_EQ(blocks->GetBlockCount(), c.count);
      EXPECT_EQ(blocks->GetLengthWidth(), c.width);
      EXPECT_EQ(blocks->GetPosition(), 2);
      EXPECT_EQ(blocks->GetCurrentBlock(), 0);
    } else {
      EXPECT_EQ(blocks->GetCurrentBlock(), -1);
    }
  }
}

TEST(DicBlockReader, BlockPositions) {
  struct Case {
    int headerSize, blockSize, indexBlocks;
    int32_t dataGap, block;
    int64_t position;
  };
  for (const Case& c : {Case{256, 1024, 4, 0, 0, 4352}, Case{256, 1024, 4, 0, 3, 7424},
                        Case{300, 64, 2, 17, 5, 300 + 17 + 7 * 64}}) {
    Options o;
    o.header_size = c.headerSize;
    o.block_size = c.blockSize;
    o.min_index_blocks = c.indexBlocks;
    o.data_gap = c.dataGap;
    OpenDictionary d(AssembleFile(o, {{0, "a"}}, {}));
    ASSERT_EQ(d.openResult(), 0);
    EXPECT_EQ(d.reader().GetBlockReader()->BlockPosition(c.block), c.position);
  }
}

TEST(DicBlockReader, LoadsTheBlocksOfAnAreaAndZerosWhatTheFileLacks) {
  RawFile f;
  f.options.block_size = 8;
  std::vector<uint8_t> content;
  for (int i = 0; i < 22; ++i) content.push_back(static_cast<uint8_t>(0xA0 + i));
  f.Add(MakeRawArea(content, 8));  // 3 blocks: 2 + 22 bytes
  std::vector<uint8_t> file = f.Build();
  for (size_t cut : {size_t{0}, size_t{3}, size_t{8}}) {
    std::vector<uint8_t> bytes(file.begin(), file.end() - cut);
    OpenDictionary d(bytes);
    ASSERT_EQ(d.openResult(), 0);
    DicBlockReader* blocks = d.reader().GetBlockReader();
    ASSERT_EQ(blocks->LoadBlock(0), 0) << cut;
    EXPECT_EQ(blocks->GetBlockCount(), 3u);
    const uint8_t* data = blocks->GetData();
    EXPECT_EQ(data[2], 0xA0);
    EXPECT_EQ(data[15], 0xAD) << "the second block is read";
    // A third block that is not whole in the file reads as zeros.
    EXPECT_EQ(data[16], cut == 0 ? 0xAE : 0) << cut;
    EXPECT_EQ(data[23], cut == 0 ? 0xB5 : 0) << cut;
  }
}

TEST(DicBlockReader, RepeatedLoadReadsNothingAndRewinds) {
  RawFile f;
  f.options.block_size = 16;
  std::vector<uint8_t> rec = {4, 0, 0, 'a', 0, 1, 'x'};  // one record, cp932
  rec.push_back(0);
  rec.push_back(0);
  f.Add(MakeRawArea(rec, 16));
  OpenDictionary d(f.Build());
  ASSERT_EQ(d.openResult(), 0);
  DicBlockReader* blocks = d.reader().GetBlockReader();
  ASSERT_EQ(blocks->LoadBlock(0), 0);
  RecordFields fields;
  ASSERT_EQ(blocks->ParseRecord(nullptr, &fields, nullptr), 0);
  EXPECT_GT(blocks->GetPosition(), 2);
  // Overwrite the file: a repeated load must not see it.
  {
    std::fstream out(d.path(), std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(blocks->BlockPosition(0)) + 5);
    out.put('Z');
  }
  ASSERT_EQ(blocks->LoadBlock(0), 0);
  EXPECT_EQ(blocks->GetPosition(), 2);
  EXPECT_EQ(blocks->GetData()[5], 'a');
}

TEST(DicBlockReader, FailedLoadIsTriedAgain) {
  RawFile f;
  f.options.block_size = 16;
  std::vector<uint8_t> area(16, 0);  // area word 0: no area
  f.data = area;
  f.entries = {{0, "a"}};
  OpenDictionary d(f.Build());
  ASSERT_EQ(d.openResult(), 0);
  DicBlockReader* blocks = d.reader().GetBlockReader();
  EXPECT_EQ(blocks->LoadBlock(0), -1);
  {
    std::fstream out(d.path(), std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(blocks->BlockPosition(0)));
    out.put(1);
  }
  EXPECT_EQ(blocks->LoadBlock(0), 0);
  EXPECT_EQ(blocks->GetBlockCount(), 1u);
}

TEST(DicBlockReader, BufferGrowsAndNeverShrinks) {
  RawFile f;
  f.options.block_size = 8;
  f.Add(MakeRawArea({}, 8, false, 3));
  f.Add(MakeRawArea({}, 8, false, 1));
  f.Add(MakeRawArea({}, 8, false, 5));
  OpenDictionary d(f.Build());
  ASSERT_EQ(d.openResult(), 0);
  DicBlockReader* blocks = d.reader().GetBlockReader();
  struct Step {
    int32_t block;
    uint32_t capacity;
  };
  for (const Step& s : {Step{0, 3}, Step{3, 3}, Step{4, 5}, Step{0, 5}}) {
    ASSERT_EQ(blocks->LoadBlock(s.block), 0);
    EXPECT_EQ(blocks->GetCapacity(), s.capacity) << s.block;
  }
}

TEST(DicBlockReader, UnreachableBlocksFail) {
  Options o;
  o.block_size = 1024;
  o.index32 = true;
  std::vector<uint8_t> data(1024, 0);
  data[0] = 1;
  OpenDictionary d(AssembleFile(o, {{0, "a"}}, data));
  ASSERT_EQ(d.openResult(), 0);
  DicBlockReader* blocks = d.reader().GetBlockReader();
  for (int32_t n : {1, 1000, INT32_MAX, -1, -5, INT32_MIN}) {
    EXPECT_EQ(blocks->LoadBlock(n), -1) << n;
    EXPECT_EQ(blocks->GetCurrentBlock(), -1);
    RecordFields fields;
    EXPECT_EQ(blocks->ParseRecord(nullptr, &fields, nullptr), -1) << "no area, no record";
  }
  EXPECT_EQ(blocks->LoadBlock(0), 0);
}

TEST(DicBlockReader, AreaClaimingMoreThanTheFileAllocatesLittle) {
  // A tiny file whose area word claims 32767 blocks of 1024 bytes.
  Options o;
  std::vector<uint8_t> data(1024, 0);
  PutLe16(data, 0, 0x7FFF);
  OpenDictionary d(AssembleFile(o, {{0, "a"}}, data));
  ASSERT_EQ(d.openResult(), 0);
  DicBlockReader* blocks = d.reader().GetBlockReader();
  ASSERT_EQ(blocks->LoadBlock(0), 0);
  EXPECT_EQ(blocks->GetBlockCount(), 32767u);
  EXPECT_LE(blocks->GetDataSize(), 2u * 1024);
  RecordFields fields;
  EXPECT_EQ(blocks->ParseRecord(nullptr, &fields, nullptr), -1);
}

}  // namespace
}  // namespace kebu::testing
