// The texts of a full-text hit, read again from the file by its position.
//
// Thread safety: a HitTextReader holds its own area buffer over the shared,
// read-only DicSource. One thread uses one reader; a window may read hits on
// its own thread while a scan runs on another.
#pragma once

#include <memory>

#include "dictionary/dic_block_reader.h"
#include "dictionary/dic_record.h"
#include "dictionary/dic_source.h"
#include "dictionary/dic_text.h"
#include "dictionary/limits.h"

namespace kebu {

class HitTextReader {
 public:
  explicit HitTextReader(std::shared_ptr<const DicSource> source);

  // The record at `position` (as TextHit gives it) with its texts cut at
  // `capacities`, the pronunciation through `table` when one is given, as
  // DicLookup::GetHit gives a lookup's hits. False when no record starts
  // there (the file changed, or the position is not a scan's).
  bool Read(const RecordPosition& position, RecordText* text,
            const TextCapacities& capacities = kWindowCapacities,
            const SubstitutionTable* table = nullptr);

 private:
  std::shared_ptr<const DicSource> source_;
  DicBlockReader blocks_;
  // The record walk of the loaded area stands behind this offset: hits read
  // in file order walk each area once.
  int32_t walkedOffset_ = -1;
};

}  // namespace kebu
