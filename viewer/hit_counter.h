// Counts all hits of a key in the background, for "10,000 of 123,456 hits":
// a count of a short key in a big dictionary walks millions of records,
// which the window must not wait for. Each count runs on a worker thread
// with lookups of its own (DicReader::NewLookup); a new count cancels the
// one before, whose result is then dropped.
#pragma once

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/dic_lookup.h"

namespace kebu::viewer {

class HitCounter : public QObject {
  Q_OBJECT

 public:
  explicit HitCounter(QObject* parent = nullptr);
  // Cancels a running count and waits for its thread (a cancelled count
  // ends within one record).
  ~HitCounter() override;

  // Counts the hits of `key` in all of `lookups`; the total comes with
  // Counted(), on this object's thread.
  void Start(std::vector<std::unique_ptr<DicLookup>> lookups, std::u16string key);
  void Cancel();
  bool IsCounting() const { return counting_; }

 signals:
  void Counted(qint64 total);

 private:
  QThreadPool pool_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  quint64 generation_ = 0;
  bool counting_ = false;
};

}  // namespace kebu::viewer
