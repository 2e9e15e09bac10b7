// Writing every word record of a dictionary as UTF-8 text: for each record a
// position line "[index=N data=B:O]", the headword line and the translation
// line (with " / " and the example when there is one).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "dictionary/dic_cursor.h"
#include "dictionary/dic_reader.h"
#include "dictionary/limits.h"

namespace kebu {

struct ExportStats {
  int64_t written = 0;       // records written (every position line)
  int64_t skippedAreas = 0;  // damaged areas passed over
  uint64_t bytes = 0;        // bytes written
  int32_t nword = 0;         // the header's record count
  bool stoppedByRule = false;  // ended after the first record beyond the stop entry
  std::string error;         // the cause, when the export failed
};

struct ExportHooks {
  // Progress, on the exporting thread: every 1,000 records and once at the
  // end.
  std::function<void(const ExportStats&)> progress;
  // Looked at before each record: once it is true, the export ends
  // (ExportResult::kCancelled).
  const std::atomic<bool>* cancel = nullptr;
};

struct ExportOptions {
  // The export ends after the first record with a translation of an index
  // entry beyond this one; negative: every record is written.
  int32_t stopAfterEntry = kExportStopAfterEntry;
  // Control characters of the texts as visible escapes, for a terminal.
  bool visibleControls = false;
};

enum class ExportResult {
  kDone,          // every record up to the end (or the stop rule) written
  kCancelled,     // ended by the cancel flag
  kNoRecords,     // the header counts records, but none could be read
  kNoDictionary,  // no dictionary is open
  kSameFile,      // the target is the dictionary itself
  kCannotCreate,  // the target cannot be created
  kWriteError,    // a write failed (disk full...)
};

// The progress as the window's title shows it: "1000 / 3000 (33%)", the
// percentage rounded down; without a percentage when the header counts no
// records.
std::string ProgressTitle(const ExportStats& stats);

// Exports from `cursor` (from where it stands) into the descriptor `fd`.
// Only kDone, kCancelled, kNoRecords and kWriteError come back.
ExportResult ExportToDescriptor(DicCursor& cursor, int fd, const ExportHooks& hooks,
                                const ExportOptions& options, ExportStats* stats);

// An output file for a dictionary of `reader`: refused when no dictionary is
// open or when `path` is the dictionary itself; otherwise `write` writes into
// the descriptor of a temporary file, which replaces `path` only when
// `write` returns kDone (and the file reached the disk).
ExportResult WriteOutputFile(const DicReader& reader, const std::string& path, ExportStats* stats,
                             const std::function<ExportResult(int fd)>& write);

// The whole dictionary of `reader` into the file at `path`, on a cursor of
// its own (so it may run on another thread while the reader looks up).
// Written through a temporary file and renamed only when complete: a failed
// or cancelled export leaves an existing target as it was. A target that is
// the dictionary itself is refused.
ExportResult ExportPlainText(const DicReader& reader, const std::string& path,
                             const ExportHooks& hooks, const ExportOptions& options = ExportOptions(),
                             ExportStats* stats = nullptr);

}  // namespace kebu
