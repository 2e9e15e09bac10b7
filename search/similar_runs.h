// The threads of the headword scans (search/similar_headwords.h,
// search/headword_pattern.h): a range of index entries cut into runs, the
// runs worked on by the calling thread and helper threads, each run's output
// handed on in order on the calling thread.
//
// Contract: `work` may run on any of the threads and only writes the output
// it is given (and its own worker); `deliver` and `progress` run on the
// calling thread only, one run at a time, in run order. A worker looks at
// RunControl::Go between record areas, so a stop, a cancel or a failure ends
// every thread within one area. Nothing leaves RunInOrder while a helper
// runs: std::bad_alloc (from the work or a callback) becomes kOutOfMemory,
// and any other exception from a callback ends the scan, joins the helpers
// and is thrown on.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "base/status.h"

namespace kebu::similar_detail {

// Index entries [first, stop) that one thread works on at a time.
struct RunRange {
  int32_t first = 0;
  int32_t stop = 0;
};

// Threads to use for `threads` (0: one per core).
inline int ThreadCount(int threads) {
  return threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// [first, stop) in runs: one for a single thread, else several a thread so
// that a thread done early takes more.
inline std::vector<RunRange> SplitRuns(int32_t first, int32_t stop, int threads) {
  const int64_t entries = std::max<int64_t>(int64_t{stop} - first, 0);
  const int64_t count = threads <= 1 ? 1 : std::max<int64_t>(1, std::min<int64_t>(entries, threads * 8));
  std::vector<RunRange> runs(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    runs[i].first = static_cast<int32_t>(first + entries * i / count);
    runs[i].stop = static_cast<int32_t>(first + entries * (i + 1) / count);
  }
  return runs;
}

// What the threads share: whether to go on, and what has been done.
class RunControl {
 public:
  RunControl(const std::atomic<bool>* cancel, std::function<void(int32_t)> onCallingThread)
      : cancel_(cancel), report_(std::move(onCallingThread)) {}

  // Between record areas: counts `entriesPassed` more entries as done and
  // says whether to go on. On the calling thread it also reports progress.
  bool Go(int32_t entriesPassed, bool callingThread) {
    if (entriesPassed > 0) entriesDone_.fetch_add(entriesPassed, std::memory_order_relaxed);
    if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) {
      cancelled_ = true;
      stop_ = true;
    }
    if (callingThread && report_) report_(entriesDone_.load(std::memory_order_relaxed));
    return !stop_.load(std::memory_order_relaxed);
  }
  void Stop() { stop_ = true; }
  bool Stopped() const { return stop_.load(std::memory_order_relaxed); }
  void OutOfMemory() {
    outOfMemory_ = true;
    stop_ = true;
  }
  void SkippedArea() { skippedAreas_.fetch_add(1, std::memory_order_relaxed); }

  bool Cancelled() const { return cancelled_; }
  bool RanOutOfMemory() const { return outOfMemory_; }
  int32_t EntriesDone() const { return entriesDone_.load(std::memory_order_relaxed); }
  int64_t SkippedAreas() const { return skippedAreas_.load(); }

 private:
  const std::atomic<bool>* cancel_;
  std::function<void(int32_t)> report_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> outOfMemory_{false};
  std::atomic<int32_t> entriesDone_{0};
  std::atomic<int64_t> skippedAreas_{0};
};

// Works on `runs` with `threads` threads (the calling one included) and
// hands each run's output to `deliver` in run order; false from deliver ends
// the work.
//   makeWorker():                          a Worker for one thread
//   work(Worker&, const RunRange&, Output&, RunControl&, bool callingThread, bool direct)
//                                          one run; `direct`: on the calling thread, and
//                                          every run before it delivered already
//   deliver(Output&) -> bool               on the calling thread, in run order
// Returns kCancelled or kOutOfMemory (what was delivered stands), else Ok.
template <typename Output, typename MakeWorker, typename Work, typename Deliver>
Status RunInOrder(const std::vector<RunRange>& ranges, int threads, RunControl& control,
                  MakeWorker makeWorker, Work work, Deliver deliver) {
  struct Slot {
    Output output;
    bool done = false;  // under `mutex`
  };
  std::vector<Slot> slots;
  try {
    slots.resize(ranges.size());
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory();
  }
  std::mutex mutex;
  std::condition_variable runDone;
  std::atomic<size_t> nextRun{1};  // run 0 is the calling thread's
  auto finish = [&](Slot& slot) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      slot.done = true;
    }
    runDone.notify_all();
  };

  auto helper = [&] {
    try {
      auto worker = makeWorker();
      for (size_t i; (i = nextRun.fetch_add(1)) < ranges.size();) {
        if (!control.Stopped()) {
          try {
            work(worker, ranges[i], slots[i].output, control, false, false);
          } catch (const std::bad_alloc&) {
            control.OutOfMemory();
          }
        }
        finish(slots[i]);
      }
    } catch (const std::bad_alloc&) {  // no worker
      control.OutOfMemory();
      for (size_t i; (i = nextRun.fetch_add(1)) < ranges.size();) finish(slots[i]);
    }
  };
  std::vector<std::thread> helpers;
  const int wanted = std::min<int>(threads, static_cast<int>(ranges.size()));
  for (int t = 1; t < wanted; ++t) {
    try {
      helpers.emplace_back(helper);
    } catch (const std::system_error&) {
      break;  // fewer threads: the calling one takes the runs left over
    } catch (const std::bad_alloc&) {
      break;
    }
  }

  std::exception_ptr thrown;
  size_t nextOut = 0;
  // Hands on every run that is done, in order, up to the first that is not.
  auto handOn = [&] {
    while (nextOut < slots.size() && !control.Stopped()) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (!slots[nextOut].done) return;
      }
      if (!deliver(slots[nextOut].output)) control.Stop();
      slots[nextOut].output = Output();  // its memory goes back at once
      ++nextOut;
    }
  };
  try {
    auto worker = makeWorker();
    for (size_t i = 0; i < slots.size() && !control.Stopped();) {
      work(worker, ranges[i], slots[i].output, control, true, i == nextOut);
      finish(slots[i]);
      handOn();
      i = nextRun.fetch_add(1);
    }
    // The helpers' last runs.
    while (nextOut < slots.size() && !control.Stopped()) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        runDone.wait_for(lock, std::chrono::milliseconds(50), [&] { return slots[nextOut].done; });
      }
      handOn();
      control.Go(0, true);
    }
  } catch (const std::bad_alloc&) {
    control.OutOfMemory();
  } catch (...) {
    thrown = std::current_exception();
  }
  control.Stop();
  for (std::thread& h : helpers) h.join();
  if (thrown) std::rethrow_exception(thrown);
  if (control.RanOutOfMemory()) return Status::OutOfMemory();
  if (control.Cancelled()) return Status::Cancelled();
  return Status::Ok();
}

}  // namespace kebu::similar_detail
