// Writing every word record of a dictionary as UTF-8 text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "dictionary/dic_reader.h"

namespace kebu {

// What the export needs of its surroundings.
struct ExportHooks {
  // Shows the progress text ("1000 / 3000 (33%)") in place of the title.
  std::function<void(const std::string&)> setTitle;
  // Gives the window its normal title back at the end.
  std::function<void()> restoreTitle;
  // Serves waiting window events; called once per record, before it is
  // written. The callee decides how often it really does work.
  std::function<void()> pump;
};

struct ExportOptions {
  // The export ends after the first record of an index entry beyond this
  // one; negative: no stop, every record is written.
  int32_t stopAfterEntry = 10000;
};

enum class ExportResult {
  kDone,          // every record up to the end (or the stop rule) written
  kCannotCreate,  // the output could not be created; nothing written
  kNothingToRead, // Rewind failed; the output is empty
  kWriteError,    // a write failed (disk full...)
};

struct ExportStats {
  int32_t counted = 0;     // records counted for the progress
  int64_t written = 0;     // records written (every position line)
  uint64_t bytes = 0;      // bytes written
  std::string error;       // cause of kCannotCreate / kWriteError
};

// Exports into the stream `out` (opened for binary writing by the caller).
ExportResult ExportToStream(DicReader& reader, std::FILE* out,
                            const ExportHooks& hooks,
                            const ExportOptions& options, ExportStats* stats);

// The window's export: creates (or truncates) the file at `path` and writes
// into it. A file that cannot be created ends the export at once and leaves
// the title alone.
ExportResult ExportPlainText(DicReader& reader, const char16_t* path,
                             const ExportHooks& hooks,
                             const ExportOptions& options = ExportOptions(),
                             ExportStats* stats = nullptr);

}  // namespace kebu
