#include "viewer/pattern_search.h"

#include <algorithm>

#include "dictionary/dic_lookup.h"
#include "dictionary/limits.h"
#include "search/headword_pattern.h"
#include "viewer/background_job.h"

namespace kebu::viewer {

void PatternSearch::Start(const std::u16string& key) {
  Clear();
  key_ = key;
  parts_.clear();
  for (SearchSource& source : CheckedSources(list_)) parts_.push_back({std::move(source)});
  emit RowsReady({}, true);
  Run([this, key = key_, parts = parts_](JobLink& link) { Scan(key, parts, true, link); }, false);
}

void PatternSearch::More() {
  if (!HasMore()) return;
  Run([this, key = key_, parts = parts_](JobLink& link) { Scan(key, parts, false, link); }, true);
}

void PatternSearch::OnRowsTaken(const std::vector<Hit>& rows) {
  for (const Hit& row : rows) {
    for (Part& part : parts_) {
      if (part.source.dictionary != row.dictionary) continue;
      ++part.listed;
      part.last = row.position;
    }
  }
}

QString PatternSearch::StatusPrefix() const { return tr("pattern") + QStringLiteral(" — "); }

void PatternSearch::Scan(const std::u16string& key, const std::vector<Part>& parts, bool first,
                         JobLink& link) {
  const HeadwordPattern pattern(key);
  const auto take = static_cast<uint64_t>(kWindowHitLimit);
  std::vector<Hit> rows;
  uint64_t hits = 0;
  uint64_t taken = 0;
  Status result;
  const auto post = [&](size_t part, int32_t done, int32_t total) {
    const double share = total > 0 ? static_cast<double>(done) / total : 1.0;
    const int percent = static_cast<int>((static_cast<double>(part) + share) * 100 /
                                         static_cast<double>(std::max<size_t>(parts.size(), 1)));
    PostRows(link, std::move(rows), static_cast<int64_t>(hits), percent);
    rows.clear();
  };
  for (size_t p = 0; p < parts.size() && result.IsOk(); ++p) {
    const Part& part = parts[p];
    // A later page takes up each dictionary behind the last hit listed.
    if (!first && part.listed >= part.hits) continue;
    const auto& source = part.source.source;
    DicLookup texts(source);
    RecordText record;
    HeadwordPatternOptions options;
    options.threads = 0;
    options.cancel = link.CancelFlag();
    options.progress = [&](int32_t done, int32_t total) { post(p, done, total); };
    if (!first) options.after = part.last;
    const Result<PatternScanStats> scanned =
        ScanHeadwordPattern(source, pattern, options, [&](const RecordPosition& at) {
          ++hits;
          if (taken >= take) return first;  // the first page counts on
          texts.GetHit(at, &record);  // empty texts when it cannot be read
          Hit& row = rows.emplace_back();
          row.dictionary = part.source.dictionary;
          row.position = at;
          row.headword = QString::fromStdU16String(
              std::u16string(DisplayHeadword(record.headword, source->versionMajor)));
          row.attribute = record.attribute;
          row.reading = QString::fromStdU16String(record.pronunciation);
          return ++taken < take || first;
        });
    result = scanned.GetStatus();
    if (first && scanned.IsOk()) {
      link.Post([this, d = part.source.dictionary, n = scanned->hits] {
        for (Part& mine : parts_) {
          if (mine.source.dictionary == d) mine.hits = n;
        }
      });
    }
    if (!first && taken >= take) break;
  }
  post(parts.size(), 0, 0);
  PostEnd(link, result.Code());
}

}  // namespace kebu::viewer
