#include "dictionary/dic_index.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "codec/bocu1.h"
#include "dictionary/dic_text.h"

namespace kebu {

namespace {

// As strncmp and wcsncmp: unsigned units, at most keyLength of them, ending
// early where both hold a zero; the text reads as zero behind its length.
template <typename Unit>
int CompareOverKey(const Unit* text, uint32_t textLength, const Unit* key, uint32_t keyLength) {
  for (uint32_t i = 0; i < keyLength; ++i) {
    const unsigned a = i < textLength ? text[i] : 0u;
    const unsigned b = key[i];
    if (a != b) return a < b ? -1 : 1;
    if (a == 0) return 0;
  }
  return 0;
}

}  // namespace

int CompareBytes(const uint8_t* text, uint32_t textLength, const uint8_t* key,
                 uint32_t keyLength) {
  return CompareOverKey(text, textLength, key, keyLength);
}

int CompareUnits(const char16_t* text, uint32_t textLength, const char16_t* key,
                 uint32_t keyLength) {
  return CompareOverKey(text, textLength, key, keyLength);
}

DicIndex::DicIndex(const DicFile& file, const DicHeader& header)
    : file_(file), header_(header) {}

DicIndex::~DicIndex() = default;

namespace {

// Grows `area` by reading the file behind what it holds, so that it holds at
// least `needed` bytes of the index area if the file has them. The first
// call reads the whole index area; later ones read on in chunks of at least
// 16 KB (the vector grows geometrically), never byte by byte and never much
// further than the entries go.
bool Fill(const DicFile& file, int64_t start, std::vector<uint8_t>* area,
          size_t needed, bool* atEnd) {
  while (area->size() < needed && !*atEnd) {
    const size_t have = area->size();
    const size_t chunk = std::max<size_t>(needed - have, 16 * 1024);
    area->resize(have + chunk);
    const size_t got = file.ReadAt(start + static_cast<int64_t>(have),
                                   area->data() + have, chunk);
    area->resize(have + got);
    if (got < chunk) *atEnd = true;
  }
  return area->size() >= needed;
}

}  // namespace

int DicIndex::Load() {
  loaded_ = true;
  entryCount_ = static_cast<uint32_t>(header_.nindex2());
  entries_.clear();
  area_.clear();
  brokenEntry_ = -1;

  const int64_t start = header_.header_size();
  if (start < 0) return -1;
  const int width = header_.IndexBlockNumberWidth();
  // Byte budget of the entries: nindex2 x block_size, both as unsigned.
  const uint64_t budget = static_cast<uint64_t>(entryCount_) *
                          static_cast<uint16_t>(header_.block_size());
  bool atEnd = false;
  try {
    // The entries normally fill the index area: read it in one go, as far
    // as the budget and the file allow.
    const uint64_t indexArea = static_cast<uint64_t>(std::max<int16_t>(header_.index_block(), 0)) *
                               static_cast<uint16_t>(header_.block_size());
    const uint64_t inFile = static_cast<uint64_t>(std::max<int64_t>(file_.Size() - start, 0));
    const size_t first =
        static_cast<size_t>(std::min({indexArea, budget + width + kMaxKeyLength + 1, inFile}));
    // Room for the look-ahead of the last key, so that it needs no move.
    area_.reserve(std::min<size_t>(first + 16 * 1024, static_cast<size_t>(inFile)));
    Fill(file_, start, &area_, first, &atEnd);
    // At most one entry per three bytes read (a block number and a zero);
    // beyond a million entries the vector grows as it goes.
    entries_.reserve(std::min<size_t>({entryCount_, area_.size() / (width + 1) + 1, 1u << 20}));
    uint64_t consumed = 0;
    for (uint32_t i = 0; i < entryCount_; ++i) {
      if (consumed >= budget) break;
      // Read on only where the bytes held so far may not be enough for a
      // block number and the longest key.
      if (area_.size() < consumed + width + kMaxKeyLength + 1) {
        Fill(file_, start, &area_, consumed + width + kMaxKeyLength + 1, &atEnd);
        if (area_.size() < consumed + width) break;
      }
      const uint32_t block = width == 4 ? DecodeFixed32(area_.data() + consumed)
                                        : DecodeFixed16(area_.data() + consumed);
      consumed += width;
      if (consumed > UINT32_MAX - kMaxKeyLength - 1) break;  // keyOffset is 32-bit
      IndexEntry entry;
      entry.keyOffset = static_cast<uint32_t>(consumed);
      entry.block = block;
      // The key ends at a zero byte within kMaxKeyLength + 1 bytes.
      const size_t avail = std::min<size_t>(area_.size() - consumed, kMaxKeyLength + 1);
      const void* zero = std::memchr(area_.data() + consumed, 0, avail);
      if (zero == nullptr) {
        // Longer than any key may be, or cut by the end of the file: the
        // entry stands, but cannot be read, and nothing behind it is loaded.
        entry.keyLength = static_cast<uint16_t>(avail);
        brokenEntry_ = static_cast<int32_t>(entries_.size());
        entries_.push_back(entry);
        break;
      }
      entry.keyLength = static_cast<uint16_t>(static_cast<const uint8_t*>(zero) -
                                              (area_.data() + consumed));
      consumed += entry.keyLength + 1u;
      entries_.push_back(entry);
      if (entry.block == 0 && entry.keyLength == 0) break;  // end mark
    }
    // Keep only the bytes the entries use.
    size_t used = 0;
    if (!entries_.empty()) {
      const IndexEntry& last = entries_.back();
      used = std::min<size_t>(area_.size(), last.keyOffset + last.keyLength + 1u);
    }
    if (used == 0 && !area_.empty()) used = 1;  // see ReadEntry: empty entries
    area_.resize(used);
  } catch (const std::bad_alloc&) {
    // What was loaded stands; the rest of the index stays unread.
    if (brokenEntry_ < 0) brokenEntry_ = static_cast<int32_t>(entries_.size());
  }
  return 0;
}

int32_t DicIndex::EntryLimit() {
  if (!loaded_) Load();
  size_t limit = entries_.size();
  if (brokenEntry_ >= 0) {
    limit = static_cast<size_t>(brokenEntry_) + 1;  // reading it fails cleanly
  } else if (limit > 0 && entries_.back().block == 0 && entries_.back().keyLength == 0) {
    --limit;  // the end mark is no entry of its own
  }
  limit = std::min<size_t>(limit, entryCount_);
  return static_cast<int32_t>(std::min<size_t>(limit, INT32_MAX));
}

const uint8_t* DicIndex::KeyBytes(uint32_t n, uint32_t* keyLength) const {
  if (static_cast<int32_t>(n) == brokenEntry_) return nullptr;
  const IndexEntry& e = entries_[n];
  if (static_cast<size_t>(e.keyOffset) + e.keyLength + 1 > area_.size()) return nullptr;
  *keyLength = e.keyLength;
  return area_.data() + e.keyOffset;
}

int DicIndex::ReadEntry(uint32_t n, uint32_t* block, uint8_t* key, uint32_t* keyLength) {
  if (n >= static_cast<uint32_t>(header_.nindex2()) ||
      static_cast<int32_t>(header_.nindex2()) < 0) {
    return -1;
  }
  if (!loaded_) Load();
  if (n >= entryCount_) return -1;
  if (n >= entries_.size()) {
    // Behind the end of the loaded entries every entry is all zero: block 0
    // and an empty key, as long as the index area could be reached at all.
    if (area_.empty()) return -1;
    key[0] = 0;
    *block = 0;
    *keyLength = 0;
    return 0;
  }
  uint32_t length = 0;
  const uint8_t* bytes = KeyBytes(n, &length);
  if (bytes == nullptr) return -1;
  std::memcpy(key, bytes, length + 1);  // the key and its zero byte
  *block = entries_[n].block;
  *keyLength = length;
  return 0;
}

int32_t DicIndex::FindEntry(const char16_t* key) {
  if (!loaded_) Load();
  const bool bocu = header_.IsBocu1();
  ComparisonKey cmp;
  MakeComparisonKey(key, bocu, &cmp);
  int32_t lo = 0;
  int32_t hi = EntryLimit();
  char16_t decoded[1024];
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    uint32_t length = 0;
    const uint8_t* bytes =
        static_cast<size_t>(mid) < entries_.size() ? KeyBytes(mid, &length) : nullptr;
    if (bytes == nullptr) return 0;
    int c;
    if (bocu) {
      // The key's length of units decides; the rest is not decoded.
      const int32_t units = Bocu1DecodeUnits(
          bytes, static_cast<int32_t>(length), decoded,
          static_cast<int32_t>(std::min<uint32_t>(1024, cmp.unitCount + 3)));
      c = CompareUnits(decoded, static_cast<uint32_t>(units), cmp.units, cmp.unitCount);
    } else {
      c = CompareBytes(bytes, length, cmp.bytes, cmp.byteCount);
    }
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo - 1 < 0 ? 0 : lo - 1;
}

}  // namespace kebu
