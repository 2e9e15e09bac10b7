#include "viewer/hit_counter.h"

#include <sys/resource.h>
#include <unistd.h>

#include "dictionary/dic_lookup.h"

namespace kebu::viewer {

HitCounter::HitCounter(QObject* parent) : QObject(parent), job_(new BackgroundJob(this)) {}

void HitCounter::Start(std::vector<SearchSource> sources, std::u16string key) {
  job_->Start([this, sources = std::move(sources), key = std::move(key)](JobLink& link) {
    // The count only fills in a number: at nice 10 it leaves the processor
    // to the window's thread while the user types, and still runs at full
    // speed on an idle machine.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    qint64 total = 0;
    for (const SearchSource& s : sources) {
      if (link.IsCancelled()) return;
      total += static_cast<qint64>(DicLookup(s.source).Count(key, false, link.CancelFlag()));
    }
    if (!link.IsCancelled()) link.Post([this, total] { emit Counted(total); });
  });
}

}  // namespace kebu::viewer
