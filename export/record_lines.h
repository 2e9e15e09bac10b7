// Every record of a dictionary as one line of text, for `kebu convert --to
// tsv|jsonl` and `kebu dump --json`:
//
//  - TSV: headword, translation, example, pronunciation, attribute, with TAB,
//    LF, CR and backslash in the texts written as \t \n \r \\ so that every
//    line reads back to the same texts (`kebu make --from tsv`). In a
//    version-6 dictionary the headword is its display form when the search
//    form in front of it is that form folded (which `kebu make` makes
//    again), else the whole "search<TAB>display" (escaped).
//  - JSON Lines: {"indexEntry", "block", "recordOffset", "headword",
//    "translation", "example", "pronunciation", "attribute"}.
//
// Texts are whole (not cut at the window's capacities) and the pronunciation
// is decoded as text, as a lookup shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/status.h"
#include "dictionary/dic_cursor.h"
#include "dictionary/dic_record.h"
#include "dictionary/dic_source.h"
#include "export/atomic_output.h"
#include "export/output.h"

namespace kebu {

enum class LineFormat { kTsv, kJsonl };

// The next record of `cursor` with whole texts and the pronunciation as text.
ReadStatus ReadWholeRecord(DicCursor& cursor, RecordText* text);

// The most bytes that one record's line takes (`visible`: as a terminal
// gets it).
size_t LineBound(LineFormat format, const RecordText& text, bool visible = false);
// Writes the record's line with its LF at `out` (room for LineBound bytes)
// and returns the end. `versionMajor` decides the TSV headword; `visible`
// writes the other control characters (C0, DEL, C1) as \x1b or \u0085, for
// a terminal (JSON escapes them always).
char* WriteTsvLine(char* out, const RecordText& text, int32_t versionMajor, bool visible = false);
char* WriteJsonLine(char* out, const RecordText& text);
// The same, appended to a string.
void AppendLine(std::string& out, LineFormat format, const RecordText& text,
                int32_t versionMajor);

// Every record of the dictionary, into `out` (not committed). Runs of index
// entries are formatted on `threads` threads of their own and written in
// order; progress comes on the calling thread. Into a terminal, TSV shows
// control characters as escapes. Results as in export/output.h; whatever this thread's part throws, the threads are
// stopped and joined first.
Status WriteRecordLines(std::shared_ptr<const DicSource> source, AtomicOutput& out,
                        LineFormat format, const ExportHooks& hooks, ExportStats* stats,
                        int threads = 2);

// The whole dictionary into the file at `path` ("-": standard output),
// through a temporary file renamed when complete; a target that is the
// dictionary itself is refused.
Status ConvertToLines(const std::shared_ptr<const DicSource>& source, const std::string& path,
                      LineFormat format, const ExportHooks& hooks, ExportStats* stats);

}  // namespace kebu
