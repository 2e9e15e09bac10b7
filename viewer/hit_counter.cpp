#include "viewer/hit_counter.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QRunnable>

namespace kebu::viewer {

HitCounter::HitCounter(QObject* parent) : QObject(parent) {
  // One count at a time: a cancelled one ends at once, the next then starts.
  pool_.setMaxThreadCount(1);
}

HitCounter::~HitCounter() {
  Cancel();
  pool_.waitForDone();
}

void HitCounter::Cancel() {
  if (cancel_ != nullptr) cancel_->store(true);
  cancel_.reset();
  counting_ = false;
  ++generation_;
}

void HitCounter::Start(std::vector<std::unique_ptr<DicLookup>> lookups, std::u16string key) {
  Cancel();
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  counting_ = true;
  auto work = [this, cancel = cancel_, generation = generation_, key = std::move(key),
               lookups = std::make_shared<decltype(lookups)>(std::move(lookups))] {
    // The count only fills in a number: at nice 10 it leaves the processor
    // to the window's thread while the user types, and still runs at full
    // speed on an idle machine.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    qint64 total = 0;
    for (const auto& lookup : *lookups) {
      if (cancel->load()) return;
      total += static_cast<qint64>(lookup->Count(key, false, cancel.get()));
    }
    if (cancel->load()) return;
    // Delivered on the window's thread; dropped when a newer count started.
    QMetaObject::invokeMethod(
        this,
        [this, generation, total] {
          if (generation != generation_) return;
          counting_ = false;
          emit Counted(total);
        },
        Qt::QueuedConnection);
  };
  pool_.start(QRunnable::create(std::move(work)));
}

}  // namespace kebu::viewer
