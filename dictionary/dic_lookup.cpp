#include "dictionary/dic_lookup.h"

#include <new>
#include <string>
#include <utility>

#include "dictionary/record_decoder.h"

namespace kebu {

namespace {

// DecodeRecord; memory that runs out makes a hit that cannot be read.
bool DecodeHit(const RawRecord& r, bool bocu, const RecordDecoding& decoding, RecordText* text) {
  try {
    return DecodeRecord(r, bocu, decoding, text);
  } catch (const std::bad_alloc&) {
    text->Clear();
    return false;
  }
}

}  // namespace

DicLookup::DicLookup(std::shared_ptr<const DicSource> source)
    : source_(std::move(source)), blocks_(source_->file, source_->header) {}

// The hits are gone; the memory of the table and the pool is kept for the
// next lookup.
void DicLookup::ClearHits() {
  hits_.clear();
  pool_.clear();
}

template <typename OnMatch>
void DicLookup::Walk(std::u16string_view key, bool wholeWord, const RecordPosition* after,
                     OnMatch onMatch) {
  std::u16string folded;
  if (source_->versionMajor >= 6) {
    folded = FoldKey(key);
    key = folded;
  }
  const bool bocu = source_->IsBocu1();
  const ComparisonKey cmp(key, bocu);
  if (cmp.MatchesNothing()) return;
  const DicIndex& index = source_->index;
  const uint32_t keyLength = cmp.Length();
  const bool tabCut = bocu && wholeWord && source_->versionMajor >= 6;
  const int32_t start = index.FindEntry(cmp);
  const int32_t entries = index.EntryLimit();
  // Going on behind a hit: its entry is one the lookup had reached.
  if (after != nullptr && (after->indexEntry < start || after->indexEntry >= entries)) return;

  for (int32_t n = after != nullptr ? after->indexEntry : start; n < entries; ++n) {
    const uint32_t entry = static_cast<uint32_t>(n);
    const bool resumed = after != nullptr && n == after->indexEntry;
    // An area is read once per lookup, whatever number of entries name it
    // (a hit never names such an entry).
    if (index.BlockReadBefore(entry, static_cast<uint32_t>(start))) {
      if (resumed) return;
      continue;
    }
    uint32_t block = 0;
    const uint8_t* entryKey = nullptr;
    uint32_t entryKeyLength = 0;
    if (!index.ReadEntry(entry, &block, &entryKey, &entryKeyLength)) return;
    if (cmp.Compare(entryKey, entryKeyLength) > 0) return;
    // An area that cannot be loaded is passed over, as sequential reading
    // does.
    if (!blocks_.LoadBlock(static_cast<int32_t>(block), index.AreaBlockLimit(entry))) {
      if (resumed) return;
      continue;
    }
    RecordFields fields;
    RecordPosition position;
    // Behind the hit: the records up to it are walked, not compared again.
    if (resumed && (static_cast<int32_t>(block) != after->block ||
                    !blocks_.ParseRecordAt(after->recordOffset, &fields, &position))) {
      return;  // no hit of this dictionary stands there
    }
    while (blocks_.ParseRecord(&fields, &position)) {
      position.indexEntry = n;
      uint32_t comparedLength = 0;
      const int c = cmp.Compare(blocks_.Headword(), fields.headwordLength, tabCut, &comparedLength);
      if (c > 0) return;
      if (!onMatch(c == 0 && (!wholeWord || comparedLength == keyLength), position, fields)) return;
      // In whole-word mode a longer headword that begins with the key ends
      // the lookup after it.
      if (c == 0 && wholeWord && comparedLength > keyLength) return;
    }
  }
}

LookupResult DicLookup::Lookup(std::u16string_view key, bool wholeWord, int limit) {
  return CollectHits(key, wholeWord, nullptr, limit);
}

LookupResult DicLookup::LookupAfter(std::u16string_view key, bool wholeWord,
                                    const RecordPosition& after, int limit) {
  return CollectHits(key, wholeWord, &after, limit);
}

LookupResult DicLookup::CollectHits(std::u16string_view key, bool wholeWord,
                                    const RecordPosition* after, int limit) {
  LookupResult result;
  ClearHits();
  // Called for every record that does not compare greater: a match is kept,
  // and the walk ends at the limit.
  const auto keep = [&](bool match, const RecordPosition& position, const RecordFields& fields) {
    if (match) {
      SearchHit hit;
      hit.position = position;
      hit.fields = fields;
      hit.headwordOffset = pool_.size();
      const uint8_t* headword = blocks_.Headword();
      pool_.insert(pool_.end(), headword, headword + fields.headwordLength);
      pool_.push_back(0);
      hits_.push_back(hit);
    }
    if (limit > 0 && HitCount() >= static_cast<uint32_t>(limit)) {
      result.truncated = true;
      return false;
    }
    return true;
  };
  try {
    Walk(key, wholeWord, after, keep);
  } catch (const std::bad_alloc&) {
    // The key, the hit table or the pool could not grow: the hits so far
    // stay.
    result.status = Status::OutOfMemory();
    result.truncated = true;
  }
  result.count = HitCount();
  return result;
}

uint64_t DicLookup::Count(std::u16string_view key, bool wholeWord,
                          const std::atomic<bool>* cancel) {
  uint64_t count = 0;
  try {
    Walk(key, wholeWord, nullptr, [&](bool match, const RecordPosition&, const RecordFields&) {
      count += match ? 1 : 0;
      return cancel == nullptr || !cancel->load(std::memory_order_relaxed);
    });
  } catch (const std::bad_alloc&) {
    // Only the key is allocated: nothing was counted.
  }
  return count;
}

bool DicLookup::GetHit(uint32_t i, RecordText* text, const TextCapacities& capacities,
                       const SubstitutionTable* table) {
  if (i >= hits_.size()) return false;
  const SearchHit& hit = hits_[i];
  if (!blocks_.LoadBlock(hit.position.block, source_->index.AreaBlockLimit(
                                                 static_cast<uint32_t>(hit.position.indexEntry)))) {
    text->Clear();
    return false;
  }
  // The area may have changed on disk since the lookup: the decoder checks
  // every text against what was loaded now.
  RawRecord r;
  r.fields = hit.fields;
  r.position = hit.position;
  r.headword = pool_.data() + hit.headwordOffset;
  r.area = blocks_.GetData();
  r.areaSize = blocks_.DataSize();
  return DecodeHit(r, source_->IsBocu1(), {capacities, PronunciationRule::kText, table}, text);
}

bool DicLookup::GetHit(const RecordPosition& position, RecordText* text,
                       const TextCapacities& capacities, const SubstitutionTable* table) {
  const DicIndex& index = source_->index;
  uint32_t block = 0;
  const uint8_t* key = nullptr;
  uint32_t keyLength = 0;
  RawRecord r;
  // The area is loaded anew only when another one is asked for; the walk to
  // the record goes on from where the last one stopped when it can.
  if (position.indexEntry < 0 ||
      !index.ReadEntry(static_cast<uint32_t>(position.indexEntry), &block, &key, &keyLength) ||
      static_cast<int32_t>(block) != position.block ||
      (blocks_.GetCurrentBlock() != position.block &&
       !blocks_.LoadBlock(position.block,
                          index.AreaBlockLimit(static_cast<uint32_t>(position.indexEntry)))) ||
      !blocks_.ParseRecordAt(position.recordOffset, &r.fields, &r.position)) {
    text->Clear();
    return false;
  }
  r.position.indexEntry = position.indexEntry;
  r.headword = blocks_.Headword();
  r.area = blocks_.GetData();
  r.areaSize = blocks_.DataSize();
  return DecodeHit(r, source_->IsBocu1(), {capacities, PronunciationRule::kText, table}, text);
}

}  // namespace kebu
