#include "dictionary/dic_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "codec/bocu1.h"
#include "codec/cp932.h"
#include "dictionary/dic_text.h"
#include "dictionary/header_report.h"

namespace kebu {

DicReader::DicReader() = default;

DicReader::~DicReader() { Close(); }

int DicReader::Open(const char16_t* path) {
  if (isOpen_) {
    lastError_ = "a dictionary is open already";
    return -1;
  }
  lastError_.clear();
  if (!file_.Open(path)) {
    lastError_ = file_.LastError();
    return -1;
  }
  uint8_t raw[kHeaderBytes];
  const size_t got = file_.ReadAt(0, raw, sizeof raw);
  const HeaderStatus status = ReadHeader(raw, got, &header_, &versionMajor_);
  if (status != HeaderStatus::kAccepted) {
    lastError_ = DescribeHeaderStatus(status, header_, got);
    Close();
    return -1;
  }
  try {
    index_ = std::make_unique<DicIndex>(file_, header_);
    blocks_ = std::make_unique<DicBlockReader>(file_, header_);
  } catch (const std::bad_alloc&) {
    lastError_ = "out of memory";
    Close();
    return -1;
  }
  isOpen_ = 1;
  return 0;
}

void DicReader::Close() {
  file_.Close();
  index_.reset();
  blocks_.reset();
  ClearHits();
  std::vector<SearchHit>().swap(hits_);
  std::vector<uint8_t>().swap(pool_);
  seqEnded_ = true;
  isOpen_ = 0;
}

// The hits are gone; the memory of the table and the pool is kept for the
// next lookup (until Close), so a lookup does not allocate and clear them
// anew. The capacities count from 0 again, as after a fresh allocation.
void DicReader::ClearHits() {
  hitCount_ = 0;
  hitCapacity_ = 0;
  poolSize_ = 0;
  poolUsed_ = 0;
}

void DicReader::DumpHeaderInfo(char* buffer, int32_t capacity) const {
  kebu::DumpHeaderInfo(header_, buffer, capacity);
}

const SearchHit* DicReader::GetHitInfo(int i) const {
  if (i < 0 || static_cast<uint32_t>(i) >= hitCount_) return nullptr;
  return &hits_[i];
}

bool DicReader::RecordHit(int32_t entry, uint32_t block, int32_t recordOffset,
                          const uint8_t* headword, const RecordFields& fields) {
  try {
    if (hitCount_ >= hitCapacity_) {
      if (hits_.size() < hitCapacity_ + kHitTableStep) hits_.resize(hitCapacity_ + kHitTableStep);
      hitCapacity_ += kHitTableStep;
    }
    const uint32_t length = fields.headwordLength;
    if (poolSize_ == 0 || poolUsed_ + length + 1 >= poolSize_) {
      uint32_t size = poolSize_ == 0 ? kHitPoolStep : poolSize_;
      while (poolUsed_ + length + 1 >= size) size += kHitPoolStep;
      if (pool_.size() < size) pool_.resize(size);
      poolSize_ = size;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  SearchHit& hit = hits_[hitCount_];
  hit = SearchHit();
  hit.indexEntry = entry;
  hit.block = static_cast<int32_t>(block);
  hit.recordOffset = recordOffset;
  hit.headwordOffset = poolUsed_;
  hit.translationOffset = fields.translationOffset;
  hit.exampleOffset = fields.exampleOffset;
  hit.pronunciationOffset = fields.pronunciationOffset;
  hit.headwordLength = fields.headwordLength;
  hit.translationLength = fields.translationLength;
  hit.exampleLength = fields.exampleLength;
  hit.pronunciationLength = fields.pronunciationLength;
  hit.attribute = fields.attribute;
  std::memcpy(pool_.data() + poolUsed_, headword, fields.headwordLength);
  pool_[poolUsed_ + fields.headwordLength] = 0;
  poolUsed_ += fields.headwordLength + 1u;
  ++hitCount_;
  return true;
}

uint32_t DicReader::Lookup(const char16_t* key, int wholeWord, int limit,
                           int* truncated) {
  int ignored = 0;
  if (truncated == nullptr) truncated = &ignored;
  char16_t folded[kMaxFoldedKey + 1];
  if (isOpen_ && versionMajor_ >= 6) {
    FoldKey(key, folded);
    key = folded;
  }
  hitCount_ = 0;
  *truncated = 0;
  ClearHits();
  if (!isOpen_) return 0;

  const bool bocu = header_.IsBocu1();
  const int32_t start = index_->FindEntry(key);
  ComparisonKey cmp;
  MakeComparisonKey(key, bocu, &cmp);
  if (cmp.tooLong) return 0;
  const uint32_t keyLength = bocu ? cmp.unitCount : cmp.byteCount;
  const bool tabCut = bocu && wholeWord != 0 && versionMajor_ >= 6;

  uint8_t entryKey[kMaxKeyLength + 1];
  uint8_t headword[kMaxHeadwordLength + 1];
  char16_t decoded[1024];
  // Only the key's length of units (and one more, to tell a longer text; two
  // with room for a surrogate pair) decide a comparison: the rest of a
  // text is not decoded.
  const int32_t decodeCapacity =
      static_cast<int32_t>(std::min<uint32_t>(1024, cmp.unitCount + 3));
  const auto compare = [&](const uint8_t* text, uint32_t length, bool cut,
                           uint32_t* comparedLength) {
    if (bocu) {
      uint32_t units = static_cast<uint32_t>(
          Bocu1DecodeUnits(text, static_cast<int32_t>(length), decoded, decodeCapacity));
      if (cut) {
        const char16_t* tab = std::char_traits<char16_t>::find(decoded, units, u'\t');
        if (tab != nullptr) units = static_cast<uint32_t>(tab - decoded);
      }
      *comparedLength = units;
      return CompareUnits(decoded, units, cmp.units, cmp.unitCount);
    }
    *comparedLength = length;
    return CompareBytes(text, length, cmp.bytes, cmp.byteCount);
  };

  const int32_t entries = std::min(header_.nindex2(), index_->EntryLimit());
  bool done = false;
  for (int32_t n = start; n < entries && !done; ++n) {
    uint32_t block = 0;
    uint32_t entryKeyLength = 0;
    if (index_->ReadEntry(static_cast<uint32_t>(n), &block, entryKey, &entryKeyLength) != 0) break;
    uint32_t unused = 0;
    if (compare(entryKey, entryKeyLength, false, &unused) > 0) break;
    if (blocks_->LoadBlock(static_cast<int32_t>(block)) != 0) break;
    for (;;) {
      const int32_t recordOffset = blocks_->GetPosition();
      RecordFields fields;
      if (blocks_->ParseRecord(headword, &fields, nullptr) != 0) break;
      uint32_t comparedLength = 0;
      const int c = compare(headword, fields.headwordLength, tabCut, &comparedLength);
      if (c > 0) {
        done = true;
        break;
      }
      if (c == 0) {
        if (wholeWord == 0 || comparedLength == keyLength) {
          if (!RecordHit(n, block, recordOffset, headword, fields)) {
            done = true;
            break;
          }
        }
        if (wholeWord != 0 && comparedLength > keyLength) done = true;
      }
      if (limit > 0 && hitCount_ >= static_cast<uint32_t>(limit)) {
        *truncated = 1;
        done = true;
      }
      if (done) break;
    }
  }
  return hitCount_;
}

namespace {

int Substitute(const char16_t* units, const uint8_t* bytes, int count,
               char16_t* out, int capacity, const SubstitutionTable& table) {
  if (count <= 0) {
    out[0] = 0;
    return 0;
  }
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const unsigned code = units != nullptr ? units[i] : bytes[i];
    const bool looked = code >= 0x20 && code <= 0xFF && table.entries[code][0] != 0;
    if (looked) {
      out[n++] = table.entries[code][0];
      if (table.entries[code][1] != 0) out[n++] = table.entries[code][1];
    } else {
      out[n++] = static_cast<char16_t>(code);
    }
    if (n >= capacity - 1) break;
  }
  out[n] = 0;
  return n;
}

}  // namespace

int SubstituteUnits(const char16_t* source, int count, char16_t* out, int capacity,
                    const SubstitutionTable& table) {
  return Substitute(source, nullptr, count, out, capacity, table);
}

int SubstituteBytes(const uint8_t* source, int count, char16_t* out, int capacity,
                    const SubstitutionTable& table) {
  return Substitute(nullptr, source, count, out, capacity, table);
}

void DicReader::DecodeText(const uint8_t* bytes, uint32_t length, char16_t* out,
                           int capacity, uint32_t* textLength) const {
  DecodeDictionaryText(header_.IsBocu1(), bytes, length, out, capacity, textLength);
}

void DicReader::DecodePronunciation(const uint8_t* bytes, uint32_t length, char16_t* out,
                                    int capacity, const SubstitutionTable* table,
                                    bool cp932Raw, uint32_t* textLength) const {
  if (capacity < 1) capacity = 1;
  const int count = static_cast<int>(std::min<uint32_t>(length, INT32_MAX));
  if (header_.IsBocu1()) {
    if (table == nullptr) return DecodeText(bytes, length, out, capacity, textLength);
    char16_t work[1003];
    const int32_t units = Bocu1DecodeUnits(bytes, count, work, std::min(capacity, 1002));
    SubstituteUnits(work, units, out, capacity, *table);
  } else if (table != nullptr) {
    SubstituteBytes(bytes, count, out, capacity, *table);
  } else if (cp932Raw) {
    static const SubstitutionTable kNone;
    SubstituteBytes(bytes, count, out, capacity, kNone);
  } else {
    return DecodeText(bytes, length, out, capacity, textLength);
  }
  if (textLength != nullptr) *textLength = UnitLength(out);
}

int DicReader::GetHit(int i, char16_t* headword, int headwordCapacity,
                      char16_t* translation, int translationCapacity,
                      char16_t* example, int exampleCapacity,
                      char16_t* pronunciation, int pronunciationCapacity,
                      int* attribute, const SubstitutionTable* table) {
  if (i < 0 || static_cast<uint32_t>(i) >= hitCount_ || hitCapacity_ == 0 || poolSize_ == 0) {
    return -1;
  }
  headword[0] = translation[0] = example[0] = pronunciation[0] = 0;
  const SearchHit& hit = hits_[i];
  if (blocks_ == nullptr || blocks_->LoadBlock(hit.block) != 0) return -1;
  const uint8_t* data = blocks_->GetData();
  if (data == nullptr) return -1;
  // The area may have changed on disk since the lookup: every text must
  // still lie inside what was loaded.
  const auto inside = [&](int32_t offset, uint16_t length) {
    return offset >= 0 &&
           static_cast<uint64_t>(offset) + length <= blocks_->GetDataSize();
  };
  if (!inside(hit.translationOffset, hit.translationLength) ||
      (hit.exampleLength != 0 && !inside(hit.exampleOffset, hit.exampleLength)) ||
      (hit.pronunciationLength != 0 &&
       !inside(hit.pronunciationOffset, hit.pronunciationLength))) {
    return -1;
  }
  DecodeText(pool_.data() + hit.headwordOffset, hit.headwordLength, headword,
             headwordCapacity);
  DecodeText(data + hit.translationOffset, hit.translationLength, translation,
             translationCapacity);
  if (hit.exampleLength != 0) {
    DecodeText(data + hit.exampleOffset, hit.exampleLength, example, exampleCapacity);
  }
  if (hit.pronunciationLength != 0) {
    DecodePronunciation(data + hit.pronunciationOffset, hit.pronunciationLength,
                        pronunciation, pronunciationCapacity, table, false);
  }
  if (attribute != nullptr) *attribute = hit.attribute;
  return 0;
}

}  // namespace kebu
