// What every output of a dictionary shares (the plain-text export, the
// conversions to TSV, JSON Lines and StarDict): its figures, its hooks and
// the making of its target.
//
// Each output function returns a Status: Ok when every record was written
// (or the plain-text export's stop rule ended it); kCancelled ("cancelled")
// by the cancel flag; kInvalidArgument when no dictionary is given or the
// target is the dictionary itself ("is the dictionary being read; choose
// another file") or cannot be one ("is a folder"); kIoError when the target
// cannot be made or written ("cannot create: ...", "write failed: ...");
// kCorrupt when the header counts records but none could be read ("no record
// could be read, though the header counts 12"); kUnsupported past a limit of
// the output format; kOutOfMemory (also when no thread can be had). A failed
// output leaves its target as it was.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/status.h"
#include "dictionary/dic_source.h"
#include "export/atomic_output.h"

namespace kebu {

struct ExportStats {
  int64_t written = 0;       // records written (every position line)
  int64_t skippedAreas = 0;  // damaged areas passed over
  uint64_t bytes = 0;        // bytes written
  int32_t nword = 0;         // the header's record count
  bool stoppedByRule = false;  // ended after the first record beyond the stop entry
};

struct ExportHooks {
  // Progress, on the exporting thread: every 1,000 records (or run of
  // records) and once at the end.
  std::function<void(const ExportStats&)> progress;
  // Looked at before each record: once it is true, the output ends
  // (kCancelled).
  const std::atomic<bool>* cancel = nullptr;
};

// Whether the cancel flag of `hooks` is set.
inline bool CancelRequested(const ExportHooks& hooks) {
  return hooks.cancel != nullptr && hooks.cancel->load(std::memory_order_relaxed);
}

// The kCorrupt of an output that read no record of a dictionary whose
// header counts `nword` (> 0) of them.
Status NoRecordRead(int32_t nword);

// An output file for the dictionary `source`: refused when there is none
// or when `path` names the dictionary file itself; otherwise `write` writes
// into an AtomicOutput for `path`, which replaces `path` only when `write`
// returns Ok (and the file reached the disk). std::bad_alloc from `write`
// comes back as kOutOfMemory, the output abandoned.
Status WriteOutputFile(const std::shared_ptr<const DicSource>& source, const std::string& path,
                       const std::function<Status(AtomicOutput&)>& write);

}  // namespace kebu
