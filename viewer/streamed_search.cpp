#include "viewer/streamed_search.h"

#include <sys/resource.h>
#include <unistd.h>

#include "viewer/background_job.h"
#include "viewer/window_style.h"

namespace kebu::viewer {

StreamedSearch::StreamedSearch(DictionaryList& list, QObject* parent)
    : WindowSearch(list, parent), job_(new BackgroundJob(this)) {
  job_->SetBatching(kFirstBatchMs, kBatchMs);
  connect(job_, &BackgroundJob::Collected, this, [this] {
    std::vector<Hit> rows;
    rows.swap(arrived_);
    OnRowsTaken(rows);
    listed_ += static_cast<int64_t>(rows.size());
    emit RowsReady(rows, false);
    emit StatusChanged();
  });
}

void StreamedSearch::Cancel() {
  job_->Cancel();
  arrived_.clear();
  if (phase_ == Phase::kRunning) phase_ = Phase::kCancelled;
}

void StreamedSearch::Reset() {
  Cancel();
  phase_ = Phase::kIdle;
}

void StreamedSearch::Clear() {
  Cancel();
  found_ = listed_ = 0;
  showingMore_ = false;
}

void StreamedSearch::Run(std::function<void(JobLink&)> work, bool more) {
  phase_ = Phase::kRunning;
  percent_ = 0;
  showingMore_ = more;
  arrived_.clear();
  const bool started = job_->Start([work = std::move(work)](JobLink& link) {
    // At nice 10 (the scan's helper threads inherit it) the scan leaves the
    // processor to the window's thread on a busy machine, where it shortened
    // the longest waits of the window's events (docs/PERFORMANCE.md); on an
    // idle machine it runs at full speed.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    work(link);
  });
  // No thread to be had: the search ends at once, as when memory runs out.
  if (!started) phase_ = Phase::kOutOfMemory;
}

void StreamedSearch::PostRows(JobLink& link, std::vector<Hit> rows, int64_t hits, int percent) {
  link.Post([this, rows = std::move(rows), hits, percent] {
    arrived_.insert(arrived_.end(), rows.begin(), rows.end());
    if (!showingMore_) found_ = hits;
    percent_ = percent;
  });
}

void StreamedSearch::PostEnd(JobLink& link, StatusCode result) {
  link.Post([this, result] {
    // Memory is all that a scan's own callbacks can run out of.
    phase_ = result == StatusCode::kOk          ? Phase::kDone
             : result == StatusCode::kCancelled ? Phase::kCancelled
                                                : Phase::kOutOfMemory;
    showingMore_ = false;
  });
}

QString StreamedSearch::StatusText() const {
  const QString found = Thousands(found_);
  const QString shown = (SaysShown() ? tr("%1 of %2 hits shown") : tr("%1 of %2 hits"))
                            .arg(Thousands(listed_), found);
  QString text;
  switch (phase_) {
    case Phase::kIdle:
      return {};
    case Phase::kRunning:
      text = showingMore_ ? shown + QStringLiteral(" — %1%").arg(percent_)
                          : tr("%1 hits so far — %2%").arg(found).arg(percent_);
      break;
    case Phase::kCancelled:
      text = tr("%1 hits so far — cancelled").arg(found);
      break;
    case Phase::kOutOfMemory:
      text = tr("%1 hits so far — out of memory").arg(found);
      break;
    case Phase::kDone:
      text = HasMore() ? shown + ShowMoreLink() : HitsText(found_);
      break;
  }
  return StatusPrefix() + text;
}

}  // namespace kebu::viewer
