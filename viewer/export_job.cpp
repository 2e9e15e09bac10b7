#include "viewer/export_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <chrono>
#include <system_error>

namespace kebu::viewer {

ExportJob::ExportJob(QObject* parent) : QObject(parent) {}

ExportJob::~ExportJob() {
  Cancel();
  while (thread_.joinable() && !ended_.load()) {
    Drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (thread_.joinable()) thread_.join();
  if (drainFd_ >= 0) ::close(drainFd_);
}

void ExportJob::Start(std::shared_ptr<const DicSource> source, QByteArray target,
                      ExportOptions options) {
  if (running_) return;
  if (thread_.joinable()) thread_.join();
  running_ = true;
  cancel_ = false;
  ended_ = false;
  target_ = target;
  progressQueued_ = false;
  try {
    thread_ = std::thread([this, source = std::move(source), path = target.toStdString(), options] {
      ExportHooks hooks;
      hooks.cancel = &cancel_;
      hooks.progress = [this](const ExportStats& stats) {
        std::lock_guard<std::mutex> lock(mutex_);
        latest_ = stats;
        if (progressQueued_) return;
        progressQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
              ExportStats stats;
              {
                std::lock_guard<std::mutex> lock(mutex_);
                stats = latest_;
                progressQueued_ = false;
              }
              emit Progress(stats);
            },
            Qt::QueuedConnection);
      };
      ExportStats stats;
      const Status result = ExportPlainText(source, path, hooks, options, &stats);
      QMetaObject::invokeMethod(
          this,
          [this, result, stats] {
            if (thread_.joinable()) thread_.join();
            running_ = false;
            delete drainNotifier_;
            drainNotifier_ = nullptr;
            if (drainFd_ >= 0) ::close(drainFd_);
            drainFd_ = -1;
            emit Finished(result, stats);
          },
          Qt::QueuedConnection);
      ended_ = true;
    });
  } catch (const std::system_error& e) {
    // No thread to be had: the export fails before it writes anything.
    running_ = false;
    const Status failed(StatusCode::kOutOfMemory, "cannot start a thread: " + e.code().message());
    QMetaObject::invokeMethod(
        this, [this, failed] { emit Finished(failed, ExportStats()); }, Qt::QueuedConnection);
  }
}

void ExportJob::Cancel() {
  if (!running_ || cancel_.exchange(true)) return;
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

}  // namespace kebu::viewer
