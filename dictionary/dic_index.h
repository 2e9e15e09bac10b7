// The index table: one entry per record area, found by binary search.
//
// Thread safety: the table is read from the file once, on first use (any
// thread may be the first); from then on it does not change, and every
// operation may run on any number of threads at once.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "dictionary/dic_file.h"
#include "dictionary/dic_header.h"

namespace kebu {

class ComparisonKey;

struct IndexEntry {
  uint32_t keyOffset = 0;  // offset of the key from the start of the index area
  uint32_t block = 0;      // first block of the entry's record area
  uint16_t keyLength = 0;  // key bytes without the zero byte
};

class DicIndex {
 public:
  DicIndex(const DicFile& file, const DicHeader& header);

  // Entry n: its block number and its key (bytes held by the index, followed
  // by a zero byte). False for n not below EntryLimit().
  bool ReadEntry(uint32_t n, uint32_t* block, const uint8_t** key, uint32_t* keyLength) const;

  // The entry at which a lookup for `key` starts: the last entry whose key
  // compares below it, or 0.
  int32_t FindEntry(const ComparisonKey& key) const;

  // Entries that the index really holds, at most nindex2. Loading stops at
  // the byte budget (nindex2 x block_size), at the end of the file, at a key
  // that is not whole, and at an all-zero entry (block 0, empty key) behind
  // another entry: that end mark is no entry of its own. Entry 0 is always
  // an entry, so a first headword that is empty is read like any other.
  int32_t EntryLimit() const;

  // How many blocks entry n's area may span: up to the smallest first block
  // of an entry above its own, so that areas never overlap; UINT32_MAX when
  // no entry's area begins above it.
  uint32_t AreaBlockLimit(uint32_t n) const;

  // Whether an entry from `passStart` up to n - 1 names the same first block
  // as entry n: a lookup or a sequential pass that began at `passStart` has
  // then read that area already and passes entry n over.
  bool BlockReadBefore(uint32_t n, uint32_t passStart) const;

 private:
  void Load() const;
  void LoadOnce() const { std::call_once(loadOnce_, [this] { Load(); }); }

  const DicFile& file_;
  const DicHeader& header_;
  mutable std::once_flag loadOnce_;
  mutable std::vector<IndexEntry> entries_;  // the entries, end mark excluded
  mutable std::vector<uint8_t> area_;        // the index bytes read at loading
  // Block numbers of the entries rise strictly, as a writer lays them out;
  // otherwise the two tables behind it answer AreaBlockLimit and
  // BlockReadBefore.
  mutable bool ascending_ = true;
  mutable std::vector<uint32_t> sortedBlocks_;   // distinct first blocks
  mutable std::vector<int32_t> previousSame_;    // entry before n with n's block, or -1
};

}  // namespace kebu
