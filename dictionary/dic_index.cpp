#include "dictionary/dic_index.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "dictionary/dic_text.h"
#include "dictionary/limits.h"

namespace kebu {

DicIndex::DicIndex(const DicFile& file, const DicHeader& header)
    : file_(file), header_(header) {}

namespace {

// Grows `area` by reading the file behind what it holds, so that it holds at
// least `needed` bytes of the index area if the file has them. The first
// call reads the whole index area; later ones read on in chunks of at least
// 16 KB, never byte by byte and never much further than the entries go.
void Fill(const DicFile& file, int64_t start, std::vector<uint8_t>* area, size_t needed,
          bool* atEnd) {
  while (area->size() < needed && !*atEnd) {
    const size_t have = area->size();
    const size_t chunk = std::max<size_t>(needed - have, 16 * 1024);
    area->resize(have + chunk);
    const size_t got = file.ReadAt(start + static_cast<int64_t>(have), area->data() + have, chunk);
    area->resize(have + got);
    if (got < chunk) *atEnd = true;
  }
}

}  // namespace

void DicIndex::Load() const {
  const uint32_t entryCount = static_cast<uint32_t>(std::max(header_.nindex2(), 0));
  const int64_t start = header_.header_size();
  const int width = header_.IndexBlockNumberWidth();
  // Byte budget of the entries: nindex2 x block_size.
  const uint64_t budget = static_cast<uint64_t>(entryCount) * static_cast<uint16_t>(header_.block_size());
  const size_t look = static_cast<size_t>(width) + kMaxIndexKeyBytes + 1;  // one whole entry
  bool atEnd = false;
  try {
    // The entries normally fill the index area: read it in one go, as far
    // as the budget and the file allow.
    const uint64_t indexArea = static_cast<uint64_t>(std::max<int16_t>(header_.index_block(), 0)) *
                               static_cast<uint16_t>(header_.block_size());
    const uint64_t inFile = static_cast<uint64_t>(std::max<int64_t>(file_.Size() - start, 0));
    const size_t first = static_cast<size_t>(std::min({indexArea, budget + look, inFile}));
    area_.reserve(std::min<size_t>(first + 16 * 1024, static_cast<size_t>(inFile)));
    Fill(file_, start, &area_, first, &atEnd);
    // At most one entry per three bytes read (a block number and a zero);
    // beyond a million entries the vector grows as it goes.
    entries_.reserve(std::min<size_t>({entryCount, area_.size() / (width + 1) + 1, 1u << 20}));
    uint64_t consumed = 0;
    for (uint32_t i = 0; i < entryCount && consumed < budget; ++i) {
      // Read on only where the bytes held may not hold a whole entry.
      if (area_.size() < consumed + look) {
        Fill(file_, start, &area_, consumed + look, &atEnd);
        if (area_.size() < consumed + width) break;
      }
      IndexEntry entry;
      entry.block = width == 4 ? DecodeFixed32(area_.data() + consumed)
                               : DecodeFixed16(area_.data() + consumed);
      consumed += width;
      if (consumed > UINT32_MAX - look) break;  // keyOffset is 32-bit
      entry.keyOffset = static_cast<uint32_t>(consumed);
      // The key ends at a zero byte within kMaxIndexKeyBytes + 1 bytes;
      // a key that does not (too long, or cut by the end of the file) ends
      // the index.
      const size_t avail = std::min<size_t>(area_.size() - consumed, kMaxIndexKeyBytes + 1);
      const void* zero = std::memchr(area_.data() + consumed, 0, avail);
      if (zero == nullptr) break;
      entry.keyLength =
          static_cast<uint16_t>(static_cast<const uint8_t*>(zero) - (area_.data() + consumed));
      consumed += entry.keyLength + 1u;
      if (entry.block == 0 && entry.keyLength == 0 && i > 0) break;  // end mark
      entries_.push_back(entry);
    }
  } catch (const std::bad_alloc&) {
    // What was loaded stands; the rest of the index stays unread.
  }
  // Keep only the bytes the entries use.
  if (!entries_.empty()) {
    const IndexEntry& last = entries_.back();
    area_.resize(std::min<size_t>(area_.size(), last.keyOffset + last.keyLength + 1u));
  } else {
    area_.clear();
  }

  for (size_t n = 1; n < entries_.size() && ascending_; ++n) {
    ascending_ = entries_[n].block > entries_[n - 1].block;
  }
  if (ascending_) return;
  try {
    // Entries sorted by block, then by number: equal blocks stand together.
    std::vector<std::pair<uint32_t, int32_t>> byBlock(entries_.size());
    for (size_t n = 0; n < entries_.size(); ++n) {
      byBlock[n] = {entries_[n].block, static_cast<int32_t>(n)};
    }
    std::sort(byBlock.begin(), byBlock.end());
    previousSame_.assign(entries_.size(), -1);
    for (size_t k = 0; k < byBlock.size(); ++k) {
      if (k > 0 && byBlock[k].first == byBlock[k - 1].first) {
        previousSame_[static_cast<size_t>(byBlock[k].second)] = byBlock[k - 1].second;
      } else {
        sortedBlocks_.push_back(byBlock[k].first);
      }
    }
  } catch (const std::bad_alloc&) {
    entries_.clear();  // no answer to either question: no entries at all
  }
}

int32_t DicIndex::EntryLimit() const {
  LoadOnce();
  return static_cast<int32_t>(std::min<size_t>(entries_.size(), INT32_MAX));
}

bool DicIndex::ReadEntry(uint32_t n, uint32_t* block, const uint8_t** key,
                         uint32_t* keyLength) const {
  LoadOnce();
  if (n >= entries_.size()) return false;
  const IndexEntry& e = entries_[n];
  *block = e.block;
  *key = area_.data() + e.keyOffset;
  *keyLength = e.keyLength;
  return true;
}

uint32_t DicIndex::AreaBlockLimit(uint32_t n) const {
  LoadOnce();
  if (n >= entries_.size()) return UINT32_MAX;
  const uint32_t block = entries_[n].block;
  if (ascending_) {
    return n + 1 < entries_.size() ? entries_[n + 1].block - block : UINT32_MAX;
  }
  const auto above = std::upper_bound(sortedBlocks_.begin(), sortedBlocks_.end(), block);
  return above == sortedBlocks_.end() ? UINT32_MAX : *above - block;
}

bool DicIndex::BlockReadBefore(uint32_t n, uint32_t passStart) const {
  LoadOnce();
  if (ascending_ || n >= previousSame_.size()) return false;
  const int32_t before = previousSame_[n];
  return before >= 0 && static_cast<uint32_t>(before) >= passStart;
}

int32_t DicIndex::FindEntry(const ComparisonKey& key) const {
  LoadOnce();
  int32_t lo = 0;
  int32_t hi = EntryLimit();
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    const IndexEntry& e = entries_[static_cast<size_t>(mid)];
    if (key.Compare(area_.data() + e.keyOffset, e.keyLength) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo - 1 < 0 ? 0 : lo - 1;
}

}  // namespace kebu
