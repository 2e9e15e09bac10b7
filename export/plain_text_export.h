// Writing every word record of a dictionary as UTF-8 text: for each record a
// position line "[index=N data=B:O]", the headword line and the translation
// line (with " / " and the example when there is one).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/status.h"
#include "dictionary/dic_cursor.h"
#include "dictionary/dic_source.h"
#include "dictionary/limits.h"
#include "export/atomic_output.h"
#include "export/output.h"

namespace kebu {

struct ExportOptions {
  // The export ends after the first record with a translation of an index
  // entry beyond this one; negative: every record is written.
  int32_t stopAfterEntry = kExportStopAfterEntry;
};

// The progress as the window's title shows it: "1000 / 3000 (33%)", the
// percentage rounded down; without a percentage when the header counts no
// records.
std::string ProgressTitle(const ExportStats& stats);

// Exports from `cursor` (from where it stands) into `out`, which it does not
// commit. Into a terminal the control characters of the texts (C0 but TAB
// and LF, DEL, C1) go as visible escapes (\x1b), as text for people must.
// Results as in export/output.h.
Status ExportToOutput(DicCursor& cursor, AtomicOutput& out, const ExportHooks& hooks,
                      const ExportOptions& options, ExportStats* stats);

// The whole dictionary `source` into the file at `path`, on a cursor of its
// own (so it may run on another thread while the dictionary's reader looks
// up). Written through a temporary file and renamed only when complete: a
// failed or cancelled export leaves an existing target as it was. A target
// that is the dictionary itself is refused. Results as in export/output.h.
Status ExportPlainText(const std::shared_ptr<const DicSource>& source, const std::string& path,
                      const ExportHooks& hooks, const ExportOptions& options = ExportOptions(),
                      ExportStats* stats = nullptr);

}  // namespace kebu
