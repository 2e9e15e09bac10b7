#include "dictionary/dic_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "dictionary/header_report.h"

namespace kebu {

bool DicReader::Open(const std::string& path) {
  if (IsOpen()) {
    lastError_ = "a dictionary is open already";
    return false;
  }
  lastError_.clear();
  try {
    auto source = std::make_shared<DicSource>();
    if (!source->file.Open(path)) {
      lastError_ = source->file.LastError();
      return false;
    }
    uint8_t raw[kHeaderBytes];
    const size_t got = source->file.ReadAt(0, raw, sizeof raw);
    const HeaderStatus status = ReadHeader(raw, got, &header_, &versionMajor_);
    if (status != HeaderStatus::kAccepted) {
      lastError_ = DescribeHeaderStatus(status, header_, got);
      return false;
    }
    source->header = header_;
    source->versionMajor = versionMajor_;
    blocks_ = std::make_unique<DicBlockReader>(source->file, source->header);
    cursor_ = std::make_unique<DicCursor>(source);
    source_ = std::move(source);
  } catch (const std::bad_alloc&) {
    lastError_ = "out of memory";
    Close();
    return false;
  }
  return true;
}

void DicReader::Close() {
  cursor_.reset();
  blocks_.reset();
  source_.reset();
  ClearHits();
  std::vector<SearchHit>().swap(hits_);
  std::vector<uint8_t>().swap(pool_);
}

bool DicReader::IsDictionaryFile(const std::string& path) const {
  return source_ != nullptr && source_->file.IsSameFile(path);
}

// The hits are gone; the memory of the table and the pool is kept for the
// next lookup (until Close).
void DicReader::ClearHits() {
  hits_.clear();
  pool_.clear();
}

void DicReader::DumpHeaderInfo(char* buffer, int32_t capacity) const {
  kebu::DumpHeaderInfo(header_, buffer, capacity);
}

bool DicReader::RecordHit(const RecordPosition& position, const uint8_t* headword,
                          const RecordFields& fields) {
  try {
    SearchHit hit;
    hit.position = position;
    hit.fields = fields;
    hit.headwordOffset = pool_.size();
    pool_.insert(pool_.end(), headword, headword + fields.headwordLength);
    pool_.push_back(0);
    hits_.push_back(hit);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

uint32_t DicReader::Lookup(std::u16string_view key, bool wholeWord, int limit, bool* truncated) {
  bool ignored = false;
  if (truncated == nullptr) truncated = &ignored;
  *truncated = false;
  outOfMemory_ = false;
  ClearHits();
  if (!IsOpen()) return 0;

  std::u16string folded;
  if (versionMajor_ >= 6) {
    folded = FoldKey(key);
    key = folded;
  }
  const bool bocu = source_->IsBocu1();
  const ComparisonKey cmp(key, bocu);
  if (cmp.MatchesNothing()) return 0;
  const DicIndex& index = source_->index;
  const uint32_t keyLength = cmp.Length();
  const bool tabCut = bocu && wholeWord && versionMajor_ >= 6;
  const int32_t start = index.FindEntry(cmp);
  const int32_t entries = index.EntryLimit();

  for (int32_t n = start; n < entries; ++n) {
    const uint32_t entry = static_cast<uint32_t>(n);
    // An area is read once per lookup, whatever number of entries name it.
    if (index.BlockReadBefore(entry, static_cast<uint32_t>(start))) continue;
    uint32_t block = 0;
    const uint8_t* entryKey = nullptr;
    uint32_t entryKeyLength = 0;
    if (!index.ReadEntry(entry, &block, &entryKey, &entryKeyLength)) break;
    if (cmp.Compare(entryKey, entryKeyLength) > 0) break;
    // An area that cannot be loaded is passed over, as sequential reading
    // does.
    if (!blocks_->LoadBlock(static_cast<int32_t>(block), index.AreaBlockLimit(entry))) continue;
    for (;;) {
      RecordFields fields;
      RecordPosition position;
      if (!blocks_->ParseRecord(&fields, &position)) break;
      position.indexEntry = n;
      uint32_t comparedLength = 0;
      const int c = cmp.Compare(blocks_->Headword(), fields.headwordLength, tabCut, &comparedLength);
      if (c > 0) return HitCount();
      if (c == 0 && (!wholeWord || comparedLength == keyLength) &&
          !RecordHit(position, blocks_->Headword(), fields)) {
        outOfMemory_ = true;
        *truncated = true;
        return HitCount();
      }
      if (limit > 0 && HitCount() >= static_cast<uint32_t>(limit)) {
        *truncated = true;
        return HitCount();
      }
      // In whole-word mode a longer headword that begins with the key ends
      // the lookup after it.
      if (c == 0 && wholeWord && comparedLength > keyLength) return HitCount();
    }
  }
  return HitCount();
}

bool DicReader::GetHit(uint32_t i, RecordText* text, const TextCapacities& capacities,
                       const SubstitutionTable* table) {
  if (i >= hits_.size()) return false;
  text->Clear();
  const SearchHit& hit = hits_[i];
  const RecordFields& f = hit.fields;
  const DicIndex& index = source_->index;
  if (!blocks_->LoadBlock(hit.position.block,
                          index.AreaBlockLimit(static_cast<uint32_t>(hit.position.indexEntry)))) {
    return false;
  }
  const uint8_t* data = blocks_->GetData();
  // The area may have changed on disk since the lookup: every text must
  // still lie inside what was loaded.
  const auto inside = [&](int32_t offset, uint16_t length) {
    return offset >= 0 && static_cast<uint64_t>(offset) + length <= blocks_->GetDataSize();
  };
  if (!inside(f.translationOffset, f.translationLength) ||
      (f.exampleLength != 0 && !inside(f.exampleOffset, f.exampleLength)) ||
      (f.pronunciationLength != 0 && !inside(f.pronunciationOffset, f.pronunciationLength))) {
    return false;
  }
  const bool bocu = source_->IsBocu1();
  DecodeText(bocu, pool_.data() + hit.headwordOffset, f.headwordLength, capacities.headword,
             &text->headword);
  DecodeText(bocu, data + f.translationOffset, f.translationLength, capacities.translation,
             &text->translation);
  if (f.exampleLength != 0) {
    DecodeText(bocu, data + f.exampleOffset, f.exampleLength, capacities.example, &text->example);
  }
  if (f.pronunciationLength != 0) {
    DecodePronunciation(bocu, data + f.pronunciationOffset, f.pronunciationLength,
                        capacities.pronunciation, table, false, &text->pronunciation);
  }
  text->attribute = f.attribute;
  text->position = hit.position;
  return true;
}

bool DicReader::Rewind() { return cursor_ != nullptr && cursor_->Rewind(); }

bool DicReader::SeekIndexEntry(int32_t n) { return cursor_ != nullptr && cursor_->SeekIndexEntry(n); }

ReadStatus DicReader::ReadNext(RecordText* text, const TextCapacities& capacities,
                               const SubstitutionTable* table) {
  if (cursor_ == nullptr) {
    text->Clear();
    return ReadStatus::kEnd;
  }
  return cursor_->ReadNext(text, capacities, table);
}

std::unique_ptr<DicCursor> DicReader::NewCursor() const {
  return source_ == nullptr ? nullptr : std::make_unique<DicCursor>(source_);
}

}  // namespace kebu
