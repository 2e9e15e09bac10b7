#include "search/hit_texts.h"

#include <utility>

#include "dictionary/record_decoder.h"

namespace kebu {

HitTextReader::HitTextReader(std::shared_ptr<const DicSource> source)
    : source_(std::move(source)), blocks_(source_->file, source_->header) {}

bool HitTextReader::Read(const RecordPosition& position, RecordText* text,
                         const TextCapacities& capacities, const SubstitutionTable* table) {
  text->Clear();
  const DicIndex& index = source_->index;
  if (position.indexEntry < 0 || position.indexEntry >= index.EntryLimit()) return false;
  // Headwords share their first bytes with the one before: the walk starts
  // at the area's first record unless it stands before this one already.
  if (blocks_.GetCurrentBlock() != position.block || walkedOffset_ >= position.recordOffset) {
    walkedOffset_ = -1;
    if (!blocks_.LoadBlock(position.block,
                           index.AreaBlockLimit(static_cast<uint32_t>(position.indexEntry)))) {
      return false;
    }
  }
  RecordFields f;
  RecordPosition at;
  do {
    if (!blocks_.ParseRecord(&f, &at)) {
      walkedOffset_ = INT32_MAX;  // the area ended: start again next time
      return false;
    }
    walkedOffset_ = at.recordOffset;
  } while (at.recordOffset < position.recordOffset);
  if (at.recordOffset != position.recordOffset) return false;

  RawRecord r;
  r.fields = f;
  r.position = position;
  r.headword = blocks_.Headword();
  r.area = blocks_.GetData();
  r.areaSize = blocks_.GetDataSize();
  return DecodeRecord(r, source_->IsBocu1(), {capacities, PronunciationRule::kText, table}, text);
}

}  // namespace kebu
