// Record areas (runs of data blocks) and the word records in them.
#pragma once

#include <cstdint>
#include <vector>

#include "dictionary/dic_file.h"
#include "dictionary/dic_header.h"

namespace kebu {

// A headword is at most this long (prefix count plus tail); callers' headword
// buffers hold kMaxHeadwordLength + 1 bytes.
inline constexpr int kMaxHeadwordLength = 1027;

// What the parser reports of one record. Offsets are into GetData().
struct RecordFields {
  uint16_t headwordLength = 0;
  int32_t translationOffset = 0;
  uint16_t translationLength = 0;
  int32_t exampleOffset = 0;
  uint16_t exampleLength = 0;
  int32_t pronunciationOffset = 0;
  uint16_t pronunciationLength = 0;
  int16_t attribute = 0;
};

// Where a record stands.
struct RecordPosition {
  int32_t indexEntry = 0;
  int32_t block = 0;
  int32_t recordOffset = 0;
};

class DicBlockReader {
 public:
  DicBlockReader(const DicFile& file, const DicHeader& header);
  virtual ~DicBlockReader();

  // Reads data block n into the block area; -1 when it cannot be read whole.
  int ReadBlock(int32_t n);
  // Makes the area that begins at block n the loaded one, read position 2.
  // Reads nothing when that area is loaded already.
  int LoadBlock(int32_t n);
  // Reads the record at the read position and moves behind it. -1 at a
  // record length of 0 and at a record that breaks the area's bounds.
  int ParseRecord(uint8_t* headword, RecordFields* fields,
                  RecordPosition* position);

  const uint8_t* GetData() const { return data_.empty() ? nullptr : data_.data(); }
  // Bytes of the loaded area that GetData() holds: blockCount x block_size,
  // or less when the area runs past the end of the file (the blocks behind
  // it would all be zero). 0 while no area is loaded.
  uint32_t GetDataSize() const { return areaSize_; }
  int32_t GetPosition() const { return position_; }
  int32_t GetCurrentBlock() const { return currentBlock_; }
  uint32_t GetBlockCount() const { return blockCount_; }
  uint32_t GetCapacity() const { return capacity_; }
  int GetLengthWidth() const { return lengthWidth_; }
  // Running headword of the parser.
  const uint8_t* GetRunningHeadword() const { return headword_; }

  // File offset of data block n (signed 64-bit; negative means unreachable).
  int64_t BlockPosition(int32_t n) const;

 private:
  const DicFile& file_;
  const DicHeader& header_;
  uint8_t blockArea_[1024] = {};
  int32_t currentBlock_ = -1;
  int32_t position_ = 0;
  int lengthWidth_ = 2;
  uint32_t blockCount_ = 0;
  uint32_t capacity_ = 0;  // blocks that data_ has room for; never shrinks
  uint32_t lastCount_ = 1;  // blocks of the area loaded last: the next read's guess
  uint32_t areaSize_ = 0;  // bytes of the loaded area held in data_
  std::vector<uint8_t> data_;
  uint8_t headword_[2052] = {};
  // Length of the running headword within the loaded area: a record may
  // share no more than this with the one before it.
  uint32_t previousLength_ = 0;
};

}  // namespace kebu
