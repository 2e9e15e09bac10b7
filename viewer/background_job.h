// Work off the window's thread, one way for all of it (the count of all
// hits, the searches that stream their rows, the export): the work runs on a
// std::thread of its own, looks at a cancel flag between its steps, and
// posts calls that run on the owner's thread; the owner's thread never waits
// for it.
//
//   BackgroundJob job;
//   job.Start([source](JobLink& link) {  // reads `source` with readers of its own
//     const uint64_t n = DicLookup(source).Count(u"ap", false, link.CancelFlag());
//     link.Post([n] { ShowCount(n); });  // on the owner's thread
//   });
//
// Delivery: the calls a work posts go into a locked outbox, emptied on the
// owner's thread either by a queued call as soon as the event loop is free
// (the default) or, with SetBatching, by a timer (a search that finds
// thousands of rows a second then appends them in a few batches). The calls
// of one batch run in the order they were posted, then Collected() says so.
//
// Cancel (or a new Start) takes effect at once for the owner: the outbox is
// dropped, so no call of that work runs after; its thread ends at its next
// step and is joined later, when it has. Only the destructor joins what
// still runs (a cancelled work ends within a step).
//
// Thread safety: the work gets what it reads by value (shared DicSources,
// readers of its own) and shares nothing with the owner but its JobLink.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

class QTimer;

namespace kebu::viewer {

// What a running work shares with its owner.
class JobLink {
 public:
  struct Shared;
  explicit JobLink(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

  // For the core's long walks, which look at it between record areas.
  const std::atomic<bool>* CancelFlag() const;
  bool IsCancelled() const { return CancelFlag()->load(); }
  // Runs `call` on the owner's thread, after the calls posted before,
  // unless the work is cancelled first.
  void Post(std::function<void()> call);
  // The same, but a call of the same `slot` not run yet is replaced: for
  // progress, of which only the latest counts.
  void PostLatest(int slot, std::function<void()> call);

 private:
  std::shared_ptr<Shared> shared_;
};

class BackgroundJob : public QObject {
  Q_OBJECT

 public:
  using Work = std::function<void(JobLink&)>;

  explicit BackgroundJob(QObject* parent = nullptr);
  // Cancels the running work and joins every thread.
  ~BackgroundJob() override;

  // The outbox emptied by a timer: `firstMs` after the start, then every
  // `everyMs`. Without this call: as soon as the event loop is free.
  void SetBatching(int firstMs, int everyMs);
  // Cancels the work before (without waiting for it) and starts `work` on
  // a thread of its own. False when no thread can be had: nothing runs.
  bool Start(Work work);
  // Nothing that the running work posts runs from here on; its thread ends
  // at its next step.
  void Cancel();
  // Started, not cancelled, and not yet ended with all its calls run.
  bool IsRunning() const { return running_ != nullptr; }
  // Waits at most `timeout` for the threads of every work to end (a
  // destructor's last resort); true when they have.
  bool WaitEnded(std::chrono::milliseconds timeout);

 signals:
  // The calls of one batch have run; `ended`: the work has returned and
  // everything it posted has run (IsRunning() is false from here on).
  void Collected(bool ended);

 private:
  void Collect(std::shared_ptr<JobLink::Shared> shared);
  void JoinEnded(bool wait);

  QTimer* timer_ = nullptr;
  int firstMs_ = 0;
  int everyMs_ = 0;
  uint64_t generation_ = 0;
  std::shared_ptr<JobLink::Shared> running_;
  std::vector<std::pair<std::thread, std::shared_ptr<JobLink::Shared>>> threads_;
};

}  // namespace kebu::viewer
