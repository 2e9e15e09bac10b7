// Full-text search: every record of an open dictionary whose headword,
// translation or example contains a query (matching: search/text_query.h),
// reported in file order as it is found. No index: the scan reads the
// record areas one after the other, on one thread or several.
//
//   std::vector<TextHit> hits;
//   TextScanOptions options;
//   options.threads = 2;
//   ScanText(reader.Source(), u"railway", options,
//            [&](const TextHit& hit) { hits.push_back(hit); return true; });
//   reader.GetHit(hits[0].position, &recordText);   // or a DicLookup's, on another thread
//
// Thread safety: ScanText only reads the shared DicSource, through cursors
// of its own (one per thread), so lookups, cursors and other scans on other
// threads go on undisturbed, and it may run on any thread. Its callbacks
// (onHit, progress) are all called on the thread that called ScanText, one
// at a time, never from its helper threads; an exception from one ends the
// scan (its helpers stopped and joined) and comes back as its Status. The
// cancel flag may be set from any thread; the scan looks at it between
// record areas and ends soon after.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "base/status.h"
#include "dictionary/dic_record.h"
#include "dictionary/dic_source.h"

namespace kebu {

// The fields a hit matched in, as bits of TextHit::fields.
enum TextField : uint8_t {
  kInHeadword = 1,
  kInTranslation = 2,
  kInExample = 4,
};

struct TextHit {
  RecordPosition position;  // for DicLookup::GetHit (DicReader::GetHit)
  uint8_t fields = 0;       // TextField bits, at least one
};

struct TextScanOptions {
  // Compare units as they are: no folding of case, width or kana.
  bool exact = false;
  // Threads that scan, the calling one included (1 or more; 0: one per
  // core). Hits come out in file order whatever their number.
  int threads = 1;
  // Set (from any thread) to end the scan: ScanText fails with kCancelled.
  const std::atomic<bool>* cancel = nullptr;
  // Called now and then (after a record area of the calling thread, and as
  // the helpers' runs come in) with the index entries scanned of all.
  std::function<void(int32_t done, int32_t total)> progress;
};

struct TextScanStats {
  uint64_t hits = 0;          // hits passed to onHit
  int32_t entries = 0;        // index entries of the dictionary
  int64_t skippedAreas = 0;   // damaged record areas passed over
  bool stopped = false;       // onHit returned false
};

// Scans the dictionary for `query` and calls onHit for each record that
// contains it, in file order, until onHit returns false. The first hits
// come out while the rest of the file is still being read. Ok when every
// record was scanned or onHit ended the scan (stats->stopped); kCancelled
// when the cancel flag was set; kOutOfMemory when a hit buffer could not
// grow or a callback threw std::bad_alloc, kInternal when a callback threw
// anything else (with its message). The hits before a failure came out.
Status ScanText(const std::shared_ptr<const DicSource>& source, std::u16string_view query,
                const TextScanOptions& options, const std::function<bool(const TextHit&)>& onHit,
                TextScanStats* stats = nullptr);

}  // namespace kebu
