// Headword patterns: `*` any run of units (also none), `?` exactly one unit,
// `\*`, `\?` and `\\` the characters themselves (any other backslash, a last
// one too, is itself). A pattern matches a headword when it matches the
// whole of it as lookup compares it: UTF-16 units, the pattern's characters
// folded in a dictionary of version major 6 or more (FoldKey, character by
// character), the headword as stored and, from version 6 on, only its search
// form (the part before its first TAB); a headword ends before its first
// zero unit. So `?` takes one unit of a surrogate pair.
//
// ScanHeadwordPattern lists the matches in file order, streaming them as a
// full-text scan does (search/text_scan.h), and pages through them like the
// window's headword search: at most `limit` hits a call, counted on past it
// when asked, and the next page resumed behind the last hit listed (reading
// on from there, not from the start). A pattern whose literal beginning is
// not empty reads only the records that a prefix lookup of that beginning
// reads (the index's binary search, up to the first headword that sorts
// behind it); in code page 932 the beginning is cut before the first
// character that has more than one code or none, which a prefix lookup could
// not find under every code it may stand in.
//
//   HeadwordPattern pattern(u"rail?ay*");
//   HeadwordPatternOptions options;
//   options.limit = kWindowHitLimit;
//   options.countAll = true;
//   RecordPosition last;
//   Result<PatternScanStats> page = ScanHeadwordPattern(
//       reader.Source(), pattern, options, [&](const RecordPosition& at) {
//         last = at;  // a row: DicLookup::GetHit reads it by its position
//         return true;
//       });
//   // page->hits: all matches; the next page: options.after = last.
//
// Thread safety: a HeadwordPattern does not change once made. The scan reads
// the shared DicSource through cursors of its own, on the calling thread and
// helper threads; onHit and progress are called on the calling thread only;
// the cancel flag may be set from any thread and is looked at between record
// areas. Failures come back as a Status (kCancelled, kOutOfMemory; the hits
// before stand). An exception thrown by a callback ends the scan (its
// helpers joined) and comes out of the call as it is.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "dictionary/dic_record.h"
#include "dictionary/dic_source.h"

namespace kebu {

class HeadwordPattern {
 public:
  explicit HeadwordPattern(std::u16string_view pattern);

  // Whether `key` holds a `*` or `?` that no backslash makes literal: the
  // window takes such a key for a pattern.
  static bool HasWildcard(std::u16string_view key);

  // The pattern as a dictionary of version major `versionMajor` compares it.
  HeadwordPattern ForVersion(int32_t versionMajor) const;
  // Whether it matches the whole of `units`.
  bool Matches(std::u16string_view units) const;
  // The literal units before the first wildcard.
  std::u16string_view LiteralBeginning() const { return {units_.data(), beginning_}; }
  // The longest run of literal units.
  std::u16string_view LongestLiteral() const;

 private:
  HeadwordPattern() = default;
  enum Kind : uint8_t { kLiteral, kOne, kAny };
  void Finish();

  std::u16string units_;     // a literal's unit; 0 for a wildcard
  std::vector<Kind> kinds_;  // one per unit; no two kAny in a row
  size_t beginning_ = 0;
};

struct HeadwordPatternOptions {
  // Threads that read, the calling one included (0: one per core). Where
  // the literal beginning narrows the records to a few areas, one reads.
  int threads = 1;
  const std::atomic<bool>* cancel = nullptr;
  // Now and then: index entries read of the entries to read.
  std::function<void(int32_t done, int32_t total)> progress;
  // Resume: begin behind this hit of an earlier scan of the same pattern.
  std::optional<RecordPosition> after;
  // Hits passed to onHit at most (0: all).
  uint64_t limit = 0;
  // Past the limit, go on counting to the end (PatternScanStats::hits); else
  // the scan ends at the first hit past it.
  bool countAll = false;
};

struct PatternScanStats {
  uint64_t hits = 0;        // counted: those passed to onHit and those past the limit
  uint64_t listed = 0;      // passed to onHit
  bool more = false;        // a hit past the limit was found
  bool stopped = false;     // onHit returned false
  int32_t entries = 0;      // index entries to read
  int64_t skippedAreas = 0; // damaged record areas passed over
};

// Calls onHit for each record whose headword matches `pattern`, in file
// order, until onHit returns false or the limit is reached.
Result<PatternScanStats> ScanHeadwordPattern(const std::shared_ptr<const DicSource>& source,
                                             const HeadwordPattern& pattern,
                                             const HeadwordPatternOptions& options,
                                             const std::function<bool(const RecordPosition&)>& onHit);

}  // namespace kebu
