#include "viewer/background_job.h"

#include <QTimer>
#include <condition_variable>
#include <mutex>
#include <system_error>

namespace kebu::viewer {

struct JobLink::Shared {
  std::atomic<bool> cancel{false};
  std::mutex mutex;
  std::condition_variable returnedChanged;
  // Under mutex:
  std::vector<std::pair<int, std::function<void()>>> calls;  // slot -1: never replaced
  bool finished = false;  // the work has posted its last call
  bool returned = false;  // the thread is about to return: it can be joined
  bool scheduled = false; // a queued collect is on its way
  std::function<void()> wake;  // queued delivery: schedules a collect
  uint64_t generation = 0;
};

const std::atomic<bool>* JobLink::CancelFlag() const { return &shared_->cancel; }

void JobLink::Post(std::function<void()> call) { PostLatest(-1, std::move(call)); }

void JobLink::PostLatest(int slot, std::function<void()> call) {
  std::lock_guard lock(shared_->mutex);
  if (slot >= 0) {
    for (auto& [s, c] : shared_->calls) {
      if (s == slot) {
        c = std::move(call);
        return;
      }
    }
  }
  shared_->calls.emplace_back(slot, std::move(call));
  if (shared_->wake && !shared_->scheduled) {
    shared_->scheduled = true;
    shared_->wake();
  }
}

BackgroundJob::BackgroundJob(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
  connect(timer_, &QTimer::timeout, this, [this] {
    if (running_ != nullptr) Collect(running_);
  });
}

BackgroundJob::~BackgroundJob() {
  Cancel();
  JoinEnded(true);
}

void BackgroundJob::SetBatching(int firstMs, int everyMs) {
  firstMs_ = firstMs;
  everyMs_ = everyMs;
}

bool BackgroundJob::Start(Work work) {
  Cancel();
  JoinEnded(false);
  auto shared = std::make_shared<JobLink::Shared>();
  shared->generation = ++generation_;
  if (everyMs_ <= 0) {
    // Called on the work's thread under the outbox's lock. The owner
    // outlives the thread (its destructor joins it), and a call queued to it
    // is dropped with it; a collect for a work cancelled meanwhile finds
    // another generation running and does nothing.
    shared->wake = [this, generation = shared->generation] {
      QMetaObject::invokeMethod(
          this,
          [this, generation] {
            if (running_ != nullptr && running_->generation == generation) Collect(running_);
          },
          Qt::QueuedConnection);
    };
  }
  try {
    std::thread thread([shared, work = std::move(work)] {
      JobLink link(shared);
      work(link);
      std::lock_guard lock(shared->mutex);
      shared->finished = true;
      if (shared->wake && !shared->scheduled) {
        shared->scheduled = true;
        shared->wake();
      }
      shared->returned = true;
      shared->returnedChanged.notify_all();
    });
    threads_.emplace_back(std::move(thread), shared);
  } catch (const std::system_error&) {
    return false;
  }
  running_ = std::move(shared);
  if (everyMs_ > 0) timer_->start(firstMs_);
  return true;
}

void BackgroundJob::Cancel() {
  if (running_ != nullptr) {
    running_->cancel = true;
    std::lock_guard lock(running_->mutex);
    running_->calls.clear();
  }
  running_.reset();
  timer_->stop();
}

void BackgroundJob::Collect(std::shared_ptr<JobLink::Shared> shared) {
  if (shared != running_) return;
  std::vector<std::pair<int, std::function<void()>>> calls;
  bool finished = false;
  {
    std::lock_guard lock(shared->mutex);
    calls.swap(shared->calls);
    finished = shared->finished;
    shared->scheduled = false;
  }
  if (everyMs_ > 0 && !finished) timer_->setInterval(everyMs_);
  for (auto& [slot, call] : calls) {
    call();
    // A call may cancel or start another work: the rest is not this one's.
    if (running_ != shared) return;
  }
  if (finished) {
    running_.reset();
    timer_->stop();
  }
  JoinEnded(false);
  emit Collected(finished);
}

void BackgroundJob::JoinEnded(bool wait) {
  for (auto it = threads_.begin(); it != threads_.end();) {
    bool returned = wait;
    if (!wait) {
      std::lock_guard lock(it->second->mutex);
      returned = it->second->returned;
    }
    if (returned) {
      it->first.join();
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
}

bool BackgroundJob::WaitEnded(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (const auto& [thread, shared] : threads_) {
    std::unique_lock lock(shared->mutex);
    if (!shared->returnedChanged.wait_until(lock, deadline, [&] { return shared->returned; })) {
      return false;
    }
  }
  JoinEnded(false);
  return true;
}

}  // namespace kebu::viewer
