#include "viewer/export_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <chrono>

#include "viewer/background_job.h"

namespace kebu::viewer {

namespace {

// Slot of the progress calls: only the latest is shown.
constexpr int kProgressSlot = 0;

}  // namespace

ExportJob::ExportJob(QObject* parent) : QObject(parent), job_(new BackgroundJob(this)) {}

ExportJob::~ExportJob() {
  Cancel();
  // A FIFO export may be blocked on a reader that went away: it is drained
  // while its thread comes to an end.
  while (!job_->WaitEnded(std::chrono::milliseconds(10))) Drain();
  StopDraining();
}

void ExportJob::Start(std::shared_ptr<const DicSource> source, QByteArray target,
                      ExportOptions options) {
  if (running_) return;
  running_ = true;
  target_ = target;
  // The export's own cancel flag: a cancel must reach it even after the
  // window stopped taking its calls (see Cancel).
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  const bool started = job_->Start([this, source = std::move(source), path = target.toStdString(),
                                    options, cancel](JobLink& link) {
    ExportHooks hooks;
    hooks.cancel = cancel.get();
    hooks.progress = [this, &link](const ExportStats& stats) {
      link.PostLatest(kProgressSlot, [this, stats] { emit Progress(stats); });
    };
    ExportStats stats;
    const Status result = ExportPlainText(source, path, hooks, options, &stats);
    link.Post([this, result, stats] {
      running_ = false;
      StopDraining();
      emit Finished(result, stats);
    });
  });
  cancelFlag_ = cancel;
  if (!started) {
    // No thread to be had: the export fails before it writes anything.
    running_ = false;
    const Status failed(StatusCode::kOutOfMemory, "cannot start a thread");
    QMetaObject::invokeMethod(
        this, [this, failed] { emit Finished(failed, ExportStats()); }, Qt::QueuedConnection);
  }
}

void ExportJob::Cancel() {
  if (!running_ || cancelFlag_ == nullptr || cancelFlag_->exchange(true)) return;
  struct stat st;
  if (::stat(target_.constData(), &st) != 0 || !S_ISFIFO(st.st_mode)) return;
  drainFd_ = ::open(target_.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (drainFd_ < 0) return;
  drainNotifier_ = new QSocketNotifier(drainFd_, QSocketNotifier::Read, this);
  connect(drainNotifier_, &QSocketNotifier::activated, this, &ExportJob::Drain);
}

void ExportJob::Drain() {
  char buffer[65536];
  while (drainFd_ >= 0 && ::read(drainFd_, buffer, sizeof buffer) > 0) {
  }
}

void ExportJob::StopDraining() {
  delete drainNotifier_;
  drainNotifier_ = nullptr;
  if (drainFd_ >= 0) ::close(drainFd_);
  drainFd_ = -1;
}

}  // namespace kebu::viewer
