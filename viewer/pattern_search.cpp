#include "viewer/pattern_search.h"

#include <sys/resource.h>
#include <unistd.h>

#include "dictionary/dic_lookup.h"
#include "dictionary/limits.h"
#include "search/headword_pattern.h"
#include "viewer/background_job.h"
#include "viewer/text_search.h"
#include "viewer/window_style.h"

namespace kebu::viewer {

PatternSearch::PatternSearch(DictionaryList& list, QObject* parent)
    : WindowSearch(list, parent), job_(new BackgroundJob(this)) {
  job_->SetBatching(TextSearch::kFirstBatchMs, TextSearch::kBatchMs);
  connect(job_, &BackgroundJob::Collected, this, [this] {
    std::vector<Hit> rows;
    rows.swap(arrived_);
    for (const Hit& row : rows) {
      for (Part& part : parts_) {
        if (part.source.dictionary != row.dictionary) continue;
        ++part.listed;
        part.last = row.position;
      }
    }
    listed_ += rows.size();
    emit RowsReady(rows, false);
    emit StatusChanged();
  });
}

void PatternSearch::Start(const std::u16string& key) {
  Cancel();
  key_ = key;
  parts_.clear();
  for (SearchSource& source : CheckedSources(list_)) parts_.push_back({std::move(source)});
  found_ = listed_ = 0;
  emit RowsReady({}, true);
  Run(true);
}

bool PatternSearch::HasMore() const { return phase_ == Phase::kDone && listed_ < found_; }

void PatternSearch::More() {
  if (HasMore()) Run(false);
}

void PatternSearch::Cancel() {
  job_->Cancel();
  arrived_.clear();
  if (phase_ == Phase::kRunning) phase_ = Phase::kCancelled;
}

void PatternSearch::Reset() {
  Cancel();
  phase_ = Phase::kIdle;
}

void PatternSearch::Run(bool countAll) {
  phase_ = Phase::kRunning;
  percent_ = 0;
  arrived_.clear();
  const bool started =
      job_->Start([this, pattern = key_, parts = parts_, countAll](JobLink& link) {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
        Scan(pattern, parts, countAll, link);
      });
  if (!started) phase_ = Phase::kFailed;
}

void PatternSearch::Scan(std::u16string key, std::vector<Part> parts, bool countAll,
                         JobLink& link) {
  const HeadwordPattern pattern(key);
  std::vector<Hit> rows;
  uint64_t hits = 0;
  uint64_t taken = 0;
  Status result;
  const auto post = [&](size_t part, int32_t done, int32_t total) {
    const int percent = static_cast<int>(
        (static_cast<double>(part) + (total > 0 ? static_cast<double>(done) / total : 1.0)) * 100 /
        static_cast<double>(std::max<size_t>(parts.size(), 1)));
    link.Post([this, rows = std::move(rows), hits, percent, countAll] {
      arrived_.insert(arrived_.end(), rows.begin(), rows.end());
      if (countAll) found_ = hits;
      percent_ = percent;
    });
    rows.clear();
  };
  for (size_t p = 0; p < parts.size() && result.IsOk(); ++p) {
    const Part& part = parts[p];
    // A later page takes up each dictionary behind the last hit listed.
    if (!countAll && part.listed >= part.hits) continue;
    const auto& source = part.source.source;
    DicLookup texts(source);
    RecordText record;
    HeadwordPatternOptions options;
    options.threads = 0;
    options.cancel = link.CancelFlag();
    options.progress = [&](int32_t done, int32_t total) { post(p, done, total); };
    if (!countAll) options.after = part.last;
    bool stopped = false;
    const Result<PatternScanStats> scanned =
        ScanHeadwordPattern(source, pattern, options, [&](const RecordPosition& at) {
          ++hits;
          if (taken >= static_cast<uint64_t>(kWindowHitLimit)) return countAll;
          texts.GetHit(at, &record);  // empty texts when it cannot be read
          Hit& row = rows.emplace_back();
          row.dictionary = part.source.dictionary;
          row.position = at;
          row.headword = QString::fromStdU16String(
              std::u16string(DisplayHeadword(record.headword, source->versionMajor)));
          row.attribute = record.attribute;
          ++taken;
          stopped = !countAll && taken >= static_cast<uint64_t>(kWindowHitLimit);
          return !stopped;
        });
    result = scanned.GetStatus();
    if (scanned.IsOk()) {
      link.Post([this, d = part.source.dictionary, n = scanned->hits, countAll] {
        for (Part& mine : parts_) {
          if (mine.source.dictionary == d && countAll) mine.hits = n;
        }
      });
    }
    if (stopped) break;
  }
  post(parts.size(), 0, 0);
  link.Post([this, ok = result.IsOk(), cancelled = result.Code() == StatusCode::kCancelled] {
    phase_ = ok ? Phase::kDone : cancelled ? Phase::kCancelled : Phase::kFailed;
  });
}

QString PatternSearch::StatusText() const {
  const QString found = Thousands(static_cast<qint64>(found_));
  QString text;
  switch (phase_) {
    case Phase::kIdle:
      return {};
    case Phase::kRunning:
      text = tr("%1 hits so far — %2%").arg(found).arg(percent_);
      break;
    case Phase::kCancelled:
      text = tr("%1 hits so far — cancelled").arg(found);
      break;
    case Phase::kFailed:
      text = tr("%1 hits so far — out of memory").arg(found);
      break;
    case Phase::kDone:
      text = HasMore() ? tr("%1 of %2 hits").arg(Thousands(static_cast<qint64>(listed_)), found) +
                             ShowMoreLink()
                       : HitsText(static_cast<qint64>(found_));
      break;
  }
  return tr("pattern") + QStringLiteral(" — ") + text;
}

}  // namespace kebu::viewer
