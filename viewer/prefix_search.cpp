#include "viewer/prefix_search.h"

#include "dictionary/limits.h"
#include "viewer/hit_counter.h"
#include "viewer/window_style.h"

namespace kebu::viewer {

PrefixSearch::PrefixSearch(DictionaryList& list, QObject* parent)
    : WindowSearch(list, parent), counter_(new HitCounter(this)) {
  connect(counter_, &HitCounter::Counted, this, [this](qint64 total) {
    total_ = total;
    emit StatusChanged();
  });
}

void PrefixSearch::Start(const std::u16string& key) {
  counter_->Cancel();
  started_ = true;
  const std::vector<Hit> rows = pager_.First(list_, key, kWindowHitLimit);
  total_ = pager_.HasMore() ? -1 : pager_.Listed();
  if (pager_.HasMore()) counter_->Start(CheckedSources(list_), key);
  emit RowsReady(rows, true);
  if (rows.empty()) OnNoHits();
}

void PrefixSearch::More() {
  if (!HasMore()) return;
  emit RowsReady(pager_.More(list_, kWindowHitLimit), false);
}

void PrefixSearch::Reset() {
  counter_->Cancel();
  started_ = false;
}

QString PrefixSearch::StatusText() const {
  if (!started_) return {};
  if (!pager_.HasMore()) return HitsText(pager_.Listed());
  const QString total = total_ >= 0 ? Thousands(total_) : QStringLiteral("…");
  return tr("%1 of %2 hits").arg(Thousands(pager_.Listed()), total) + ShowMoreLink();
}

}  // namespace kebu::viewer
