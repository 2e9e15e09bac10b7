#include "dictionary/dic_block_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "dictionary/le.h"

namespace kebu {

DicBlockReader::DicBlockReader(const DicFile& file, const DicHeader& header)
    : file_(file), header_(header) {}

int64_t DicBlockReader::BlockPosition(int32_t n) const {
  // Computed wide: a damaged header or block number must not wrap around
  // into some other part of the file.
  return static_cast<int64_t>(header_.header_size()) + header_.data_gap() +
         (static_cast<int64_t>(header_.index_block()) + n) * header_.block_size();
}

bool DicBlockReader::LoadBlock(int32_t n, uint32_t maxBlocks) {
  if (currentBlock_ >= 0 && n == currentBlock_) {
    position_ = 2;
    previousLength_ = 0;
    walkEnded_ = false;
    return true;
  }
  position_ = 0;
  currentBlock_ = -1;
  areaSize_ = 0;
  const int64_t pos = BlockPosition(n);
  const int size = header_.block_size();
  if (pos < 0 || size < 1 || size > kMaxBlockSize) return false;
  const size_t blockBytes = static_cast<size_t>(size);

  // Areas are mostly as long as the one before: read that many blocks in
  // the first call (into the buffer, which has room for them), so that a
  // load is one read. The first block must arrive whole.
  const uint32_t guess = std::max<uint32_t>(1, std::min(lastCount_, capacity_));
  uint8_t* first = guess > 1 ? data_.data() : blockArea_;
  const size_t firstBytes = first == blockArea_ ? blockBytes : guess * blockBytes;
  const size_t got = file_.ReadAt(pos, first, firstBytes);
  if (got < blockBytes) return false;
  uint8_t word0[2] = {first[0], first[size < 2 ? 0 : 1]};
  if (size < 2) {
    // One-byte blocks: the area word runs on into the next block.
    if (got >= 2) {
      word0[1] = first[1];
    } else if (!file_.ReadExactAt(pos + 1, word0 + 1, 1)) {
      return false;
    }
  }
  const uint32_t word = DecodeFixed16(word0);
  const uint32_t count = std::min<uint32_t>(word & 0x7FFF, std::max<uint32_t>(maxBlocks, 1));
  if ((word & 0x7FFF) == 0) return false;

  // An area may not claim more of the file than there is: blocks behind the
  // end of the file read as zeros, so one zero block stands for all of them.
  const int64_t inFile = std::max<int64_t>(0, file_.Size() - pos) / size;
  const uint32_t blocks =
      static_cast<uint32_t>(std::min<int64_t>(count, std::max<int64_t>(inFile, 1) + 1));
  try {
    if (capacity_ < blocks) {
      data_.resize(static_cast<size_t>(blocks) * blockBytes);
      capacity_ = blocks;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  const size_t bytes = static_cast<size_t>(blocks) * blockBytes;
  // Whole blocks that have arrived; a block that does not arrive whole, and
  // every block behind it, stays zero.
  size_t have = std::min(got / blockBytes * blockBytes, bytes);
  if (first == blockArea_) {
    std::memcpy(data_.data(), blockArea_, blockBytes);
    have = blockBytes;
  }
  if (have < bytes && (first == blockArea_ || got == firstBytes)) {
    // The rest of the area in one more read.
    const size_t more =
        file_.ReadAt(pos + static_cast<int64_t>(have), data_.data() + have, bytes - have);
    have += more / blockBytes * blockBytes;
  }
  std::memset(data_.data() + have, 0, bytes - have);
  lengthWidth_ = (word & 0x8000) ? 4 : 2;
  lastCount_ = blocks;
  areaSize_ = static_cast<uint32_t>(bytes);
  currentBlock_ = n;
  position_ = 2;
  previousLength_ = 0;
  walkEnded_ = false;
  return true;
}

bool DicBlockReader::ParseRecordAt(int32_t offset, RecordFields* fields, RecordPosition* position) {
  if (currentBlock_ < 0) return false;
  if (walkEnded_ || position_ > offset) {
    position_ = 2;
    previousLength_ = 0;
    walkEnded_ = false;
  }
  RecordPosition at;
  while (position_ <= offset) {
    if (!ParseRecord(fields, &at)) return false;
    if (at.recordOffset == offset) {
      if (position != nullptr) *position = at;
      return true;
    }
  }
  return false;
}

}  // namespace kebu
