// Counts all hits of a key in the background, for "10,000 of 123,456 hits":
// a count of a short key in a big dictionary walks millions of records,
// which the window must not wait for. Each count runs as a BackgroundJob
// with lookups of its own over the dictionaries' shared DicSources; a new
// count cancels the one before, whose result is then dropped.
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "viewer/background_job.h"
#include "viewer/window_search.h"

namespace kebu::viewer {

class HitCounter : public QObject {
  Q_OBJECT

 public:
  explicit HitCounter(QObject* parent = nullptr);

  // Counts the hits of `key` in all of `sources`; the total comes with
  // Counted(), on this object's thread.
  void Start(std::vector<SearchSource> sources, std::u16string key);
  void Cancel() { job_->Cancel(); }

 signals:
  void Counted(qint64 total);

 private:
  BackgroundJob* job_;
};

}  // namespace kebu::viewer
