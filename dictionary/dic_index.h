// The index table: one entry per record area, found by binary search.
#pragma once

#include <cstdint>
#include <vector>

#include "dictionary/dic_file.h"
#include "dictionary/dic_header.h"

namespace kebu {

// A key is at most this long without its zero byte; callers of ReadEntry
// give a buffer of kMaxKeyLength + 1 bytes.
inline constexpr int kMaxKeyLength = 1027;

struct IndexEntry {
  uint32_t keyOffset = 0;  // offset of the key from the start of the index area
  uint32_t block = 0;      // first block of the entry's record area
  uint16_t keyLength = 0;  // key bytes without the zero byte
};

class DicIndex {
 public:
  DicIndex(const DicFile& file, const DicHeader& header);
  virtual ~DicIndex();

  // Builds the table: reads the index area once (in one read, bounded by the
  // file's size and by nindex2 x block_size) and walks its entries. Returns
  // -1 when the index area cannot be reached. Called on first use.
  int Load();

  // Entry n: its block number, its key followed by a zero byte (the buffer
  // holds kMaxKeyLength + 1 bytes) and its key length. -1 for n not below
  // nindex2 (negative counts as too large) and for a key that is not whole
  // in the file (longer than kMaxKeyLength, or cut by the end of the file).
  int ReadEntry(uint32_t n, uint32_t* block, uint8_t* key, uint32_t* keyLength);

  // The entry at which a lookup for `key` starts (0 or more).
  int32_t FindEntry(const char16_t* key);

  // Entries that the index really holds: those read before the loading
  // stopped (an all-zero entry, the byte budget, the end of the file or a
  // broken key ends it), at most nindex2. Lookup and sequential reading go
  // no further; entries behind it read as block 0 with an empty key.
  int32_t EntryLimit();

  // Loaded table, for tests and tools.
  const std::vector<IndexEntry>& Entries() const { return entries_; }
  bool IsLoaded() const { return loaded_; }

 private:
  // Key bytes of entry n, nullptr when the key is not whole.
  const uint8_t* KeyBytes(uint32_t n, uint32_t* keyLength) const;

  const DicFile& file_;
  const DicHeader& header_;
  bool loaded_ = false;
  uint32_t entryCount_ = 0;        // nindex2 as it stood at loading
  std::vector<IndexEntry> entries_;  // entries read from the file
  int32_t brokenEntry_ = -1;       // entry whose key is not whole, or -1
  std::vector<uint8_t> area_;      // the index bytes read at loading
};

// Comparison of a text with a comparison key over the key's length, as
// strncmp and wcsncmp do (unsigned units, stopping early at a zero unit).
// The text is taken as `textLength` units followed by a zero.
int CompareBytes(const uint8_t* text, uint32_t textLength, const uint8_t* key,
                 uint32_t keyLength);
int CompareUnits(const char16_t* text, uint32_t textLength,
                 const char16_t* key, uint32_t keyLength);

}  // namespace kebu
