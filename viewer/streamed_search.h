// What the searches that stream their rows share (TextSearch,
// PatternSearch): the work on a BackgroundJob whose rows and counts the
// window's thread takes kFirstBatchMs after the start and then every
// kBatchMs, so it appends one batch at a time however fast hits come; the
// phases (running, done, cancelled, out of memory) and the status line
// that tells them. A cancel (a new key, a new search, Esc, closing) takes
// effect at once: nothing of the work arrives after, and its thread ends at
// its next record area.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/status.h"
#include "viewer/window_search.h"

namespace kebu::viewer {

class BackgroundJob;
class JobLink;

class StreamedSearch : public WindowSearch {
  Q_OBJECT

 public:
  enum class Phase { kIdle, kRunning, kDone, kCancelled, kOutOfMemory };
  // How often the window takes the rows found meanwhile; the first time
  // sooner, for the first rows.
  static constexpr int kBatchMs = 40;
  static constexpr int kFirstBatchMs = 10;

  explicit StreamedSearch(DictionaryList& list, QObject* parent = nullptr);

  void Cancel() override;
  void Reset() override;
  bool IsRunning() const override { return phase_ == Phase::kRunning; }
  bool HasMore() const override { return phase_ == Phase::kDone && listed_ < found_; }
  QString StatusText() const override;

  Phase GetPhase() const { return phase_; }

 protected:
  // Starts `work` (at nice 10) for a first page (`more` false: every hit
  // counted) or a later one.
  void Run(std::function<void(JobLink&)> work, bool more);
  // Forgets the rows and counts: a new key.
  void Clear();
  // From the work's thread: rows, the hits counted so far and how far it is.
  void PostRows(JobLink& link, std::vector<Hit> rows, int64_t hits, int percent);
  // From the work's thread, last: how it ended.
  void PostEnd(JobLink& link, StatusCode result);
  // The rows of a batch, on the window's thread, before they are shown.
  virtual void OnRowsTaken(const std::vector<Hit>&) {}
  // Said before the status ("pattern — "); empty by default.
  virtual QString StatusPrefix() const { return {}; }
  // "10,000 of 12,345 hits shown" (full text) rather than "10,000 of
  // 12,345 hits" (as the prefix search says it).
  virtual bool SaysShown() const { return false; }

  int64_t listed_ = 0;

 private:
  BackgroundJob* job_;
  Phase phase_ = Phase::kIdle;
  std::vector<Hit> arrived_;  // rows of the batch being taken
  int64_t found_ = 0;         // counted so far; all once a first page is done
  int percent_ = 0;
  bool showingMore_ = false;
};

}  // namespace kebu::viewer
