// Record areas (runs of data blocks) and the word records in them.
//
// One DicBlockReader holds one loaded area, a read position in it and the
// running headword of the record walk. It reads the shared file and header
// but changes neither; it is not itself safe for use by two threads at once
// (each reader of a dictionary, each cursor, holds its own).
#pragma once

#include <cstdint>
#include <vector>

#include "dictionary/dic_file.h"
#include "dictionary/dic_header.h"
#include "dictionary/dic_record.h"
#include "dictionary/limits.h"

namespace kebu {

class DicBlockReader {
 public:
  DicBlockReader(const DicFile& file, const DicHeader& header);

  // Makes the area that begins at block n the loaded one, read position 2.
  // Reads nothing when that area is loaded already. The area spans at most
  // `maxBlocks` blocks (the index's limit: where the next area begins).
  // False when its first block cannot be read or its area word counts no
  // block; no area is loaded then.
  bool LoadBlock(int32_t n, uint32_t maxBlocks = UINT32_MAX);

  // Reads the record at the read position and moves behind it. False at a
  // record length of 0 and at a record that breaks the area's bounds (its
  // texts, its headword or its prefix count): the area ends there.
  bool ParseRecord(RecordFields* fields, RecordPosition* position);
  // Reads the record that starts at `offset` of the loaded area and moves
  // behind it, so that ParseRecord goes on with the next. Headwords share
  // their first bytes with the one before, so the records before it are
  // walked: from the read position when it stands at or before `offset`
  // (records read in file order walk the area once), else from the area's
  // first record. False when no record starts there.
  bool ParseRecordAt(int32_t offset, RecordFields* fields, RecordPosition* position);

  // The headword of the record parsed last: Headword() holds its bytes and
  // a zero byte behind them.
  const uint8_t* Headword() const { return headword_; }

  const uint8_t* GetData() const { return data_.empty() ? nullptr : data_.data(); }
  // Bytes of the loaded area held by GetData(): its blocks, or fewer when it
  // runs past the end of the file or into the next area. 0 while no area is
  // loaded.
  uint32_t DataSize() const { return areaSize_; }
  int32_t GetPosition() const { return position_; }
  int32_t GetCurrentBlock() const { return currentBlock_; }

 private:
  // File offset of data block n (negative: unreachable).
  int64_t BlockPosition(int32_t n) const;

  const DicFile& file_;
  const DicHeader& header_;
  uint8_t blockArea_[kMaxBlockSize] = {};
  int32_t currentBlock_ = -1;
  int32_t position_ = 0;
  int lengthWidth_ = 2;
  uint32_t capacity_ = 0;   // blocks that data_ has room for; never shrinks
  uint32_t lastCount_ = 1;  // blocks of the area loaded last: the next read's guess
  uint32_t areaSize_ = 0;
  std::vector<uint8_t> data_;
  uint8_t headword_[kMaxHeadwordBytes + 1] = {};
  // Length of the running headword within the loaded area: a record may
  // share no more than this with the one before it.
  uint32_t previousLength_ = 0;
  // The walk of the loaded area has ended (ParseRecord said false): the
  // read position no longer stands on a record.
  bool walkEnded_ = false;
};

}  // namespace kebu
