// Sequential reading: every record of a dictionary in file order, the
// records of index entry 0's area, then those of entry 1's, and so on.
//
// Thread safety: a cursor has its own area buffer, running headword and
// position over the shared, read-only DicSource; one thread uses one cursor,
// and cursors on other threads (and the reader's lookups) do not disturb it.
#pragma once

#include <cstdint>
#include <memory>

#include "dictionary/dic_block_reader.h"
#include "dictionary/dic_record.h"
#include "dictionary/dic_source.h"
#include "dictionary/dic_text.h"
#include "dictionary/limits.h"
#include "dictionary/record_decoder.h"

namespace kebu {

// How one step of sequential reading ended.
enum class ReadStatus {
  kRecord,       // a record was read
  kEnd,          // behind the last index entry (or not positioned)
  kSkippedArea,  // an area that cannot be loaded or holds no record was
                 // passed over; the next call goes on with the next entry
};

class DicCursor {
 public:
  explicit DicCursor(std::shared_ptr<const DicSource> source);

  // Puts the cursor before the first record of index entry n (Rewind: 0).
  // False when n is not an entry of the index; the cursor then stands at
  // the end.
  bool SeekIndexEntry(int32_t n) { return SeekRun(n, INT32_MAX, n); }
  bool Rewind() { return SeekIndexEntry(0); }
  // For a pass split into runs: reads the entries from n up to stop - 1 as
  // part of a pass that began at entry `passStart`, so an area that an
  // earlier entry of the pass names is passed over here too.
  bool SeekRun(int32_t n, int32_t stop, int32_t passStart);

  // The next record as it stands in the loaded area (valid until the cursor
  // moves on; its headword is followed by a zero byte).
  ReadStatus NextRecord(RawRecord* record);
  // The next record with its texts decoded (DecodeRecord) and cut at
  // `capacities`. The pronunciation comes through `table` when one is
  // given, else each code page 932 byte becomes one unit
  // (PronunciationRule::kBytes). A text whose string cannot grow throws
  // std::bad_alloc (whole texts are up to a megabyte); the outputs of the
  // export module, which read whole texts, turn it into kOutOfMemory.
  ReadStatus ReadNext(RecordText* text, const TextCapacities& capacities = kWholeTexts,
                      const SubstitutionTable* table = nullptr);

  // The entry whose area is being read.
  int32_t Entry() const { return entry_; }
  const DicSource& Source() const { return *source_; }

 private:
  std::shared_ptr<const DicSource> source_;
  DicBlockReader blocks_;
  int32_t passStart_ = 0;
  int32_t entry_ = 0;
  int32_t stop_ = INT32_MAX;
  bool ended_ = true;
  bool areaLoaded_ = false;
  bool areaGaveRecord_ = false;
};

}  // namespace kebu
