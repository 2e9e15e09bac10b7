#include "dictionary/dic_cursor.h"

#include <algorithm>
#include <utility>

namespace kebu {

DicCursor::DicCursor(std::shared_ptr<const DicSource> source)
    : source_(std::move(source)), blocks_(source_->file, source_->header) {}

bool DicCursor::SeekRun(int32_t n, int32_t stop, int32_t passStart) {
  entry_ = n;
  stop_ = stop;
  passStart_ = std::max(passStart, 0);
  areaLoaded_ = false;
  ended_ = n < 0 || n >= source_->index.EntryLimit();
  return !ended_;
}

ReadStatus DicCursor::NextRecord(RawRecord* record) {
  const DicIndex& index = source_->index;
  while (!ended_) {
    if (!areaLoaded_) {
      if (entry_ >= std::min(index.EntryLimit(), stop_)) {
        ended_ = true;
        break;
      }
      const uint32_t n = static_cast<uint32_t>(entry_);
      // An area that this pass has read already (a damaged index names it
      // twice) is not read again.
      if (index.BlockReadBefore(n, static_cast<uint32_t>(passStart_))) {
        ++entry_;
        continue;
      }
      uint32_t block = 0;
      const uint8_t* key = nullptr;
      uint32_t keyLength = 0;
      if (!index.ReadEntry(n, &block, &key, &keyLength) ||
          !blocks_.LoadBlock(static_cast<int32_t>(block), index.AreaBlockLimit(n))) {
        ++entry_;
        return ReadStatus::kSkippedArea;
      }
      areaLoaded_ = true;
      areaGaveRecord_ = false;
    }
    if (blocks_.ParseRecord(&record->fields, &record->position)) {
      areaGaveRecord_ = true;
      record->position.indexEntry = entry_;
      record->headword = blocks_.Headword();
      record->area = blocks_.GetData();
      record->areaSize = blocks_.DataSize();
      return ReadStatus::kRecord;
    }
    areaLoaded_ = false;
    ++entry_;
    if (!areaGaveRecord_) return ReadStatus::kSkippedArea;
  }
  return ReadStatus::kEnd;
}

ReadStatus DicCursor::ReadNext(RecordText* text, const TextCapacities& capacities,
                               const SubstitutionTable* table) {
  RawRecord r;
  const ReadStatus status = NextRecord(&r);
  if (status != ReadStatus::kRecord) {
    text->Clear();
    return status;
  }
  // The parser lets no text out of its area, so the decoder's own check
  // does not fail here.
  DecodeRecord(r, source_->IsBocu1(), {capacities, PronunciationRule::kBytes, table}, text);
  return ReadStatus::kRecord;
}

}  // namespace kebu
