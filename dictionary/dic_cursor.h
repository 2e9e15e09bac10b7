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

namespace kebu {

// How one step of sequential reading ended.
enum class ReadStatus {
  kRecord,       // a record was read
  kEnd,          // behind the last index entry (or not positioned)
  kSkippedArea,  // an area that cannot be loaded or holds no record was
                 // passed over; the next call goes on with the next entry
};

// A record as it stands in the loaded area, not decoded: valid until the
// cursor moves on.
struct RawRecord {
  RecordFields fields;
  RecordPosition position;
  const uint8_t* headword = nullptr;  // headwordLength bytes and a zero byte
  const uint8_t* area = nullptr;      // the loaded area; fields' offsets point into it
  uint32_t areaSize = 0;              // bytes at `area`
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

  ReadStatus NextRecord(RawRecord* record);
  // The next record with its texts decoded and cut at `capacities`. The
  // pronunciation comes through `table` when one is given, else each code
  // page 932 byte becomes one unit; without `withPronunciation` it is left
  // empty and not decoded.
  ReadStatus ReadNext(RecordText* text, const TextCapacities& capacities = kWholeTexts,
                      const SubstitutionTable* table = nullptr, bool withPronunciation = true);

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
