// Full-text search in the window: ScanText (search/text_scan.h) over every
// searched, open dictionary in the list's order, on a worker thread, the hits
// coming back as rows in batches while the scan goes on. The first page holds
// 10,000 rows and the scan counts on behind it, so the total is known; "show
// more" scans again for the next page (a scan of a million records takes a
// few tens of milliseconds, keeping every position could take megabytes).
//
// Threads: each scan runs on a std::thread of its own, which reads the
// dictionaries' shared DicSource through cursors of its own and the rows'
// headwords with a DicLookup of its own; the window's thread goes on
// looking up in the same readers meanwhile. The scan puts its rows and counts
// into a locked outbox after each record area; the window's thread empties it
// after kFirstBatchMs and then every kBatchMs, so it appends one batch at a time however fast hits come,
// and nothing but the outbox (and the cancel flag) is shared. A cancel (a new
// key, a new search, Esc, closing) takes effect at once for the window: the
// scan's outbox is dropped, so nothing of it arrives after, and its thread
// ends at the next record area; it is joined later, never waited for.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "search/match_ranges.h"
#include "search/text_scan.h"
#include "viewer/dictionary_list.h"
#include "viewer/headword_search.h"

class QTimer;

namespace kebu::viewer {

// One scan's work, as the worker thread gets it (by value).
struct TextSearchRequest {
  struct Source {
    int dictionary = 0;  // position in the DictionaryList
    std::shared_ptr<const DicSource> source;
  };
  std::vector<Source> sources;
  std::u16string query;
  bool exact = false;
  int64_t skip = 0;            // hits passed over before the first row
  int64_t take = 0;            // rows at most
  bool countAll = true;        // go on counting the hits after the last row
};

class TextSearch : public QObject {
  Q_OBJECT

 public:
  enum class Phase { kIdle, kRunning, kDone, kCancelled, kOutOfMemory };
  // How often the window takes the rows found meanwhile; the first time
  // sooner, for the first rows.
  static constexpr int kBatchMs = 40;
  static constexpr int kFirstBatchMs = 10;

  explicit TextSearch(QObject* parent = nullptr);
  // Cancels a running scan and joins the scans' threads.
  ~TextSearch() override;

  // Starts over: `query` in the searched, open dictionaries of `list`, the
  // first `limit` rows, every hit counted.
  void Start(const DictionaryList& list, std::u16string query, bool exact, int limit);
  // The next `limit` rows of the same query; only when HasMore().
  void More(int limit);
  // Stops a running scan: Phase kCancelled, nothing more delivered.
  void Cancel();
  // Cancels and forgets: Phase kIdle (the list shows headword hits again).
  void Reset();

  Phase GetPhase() const { return phase_; }
  bool IsRunning() const { return phase_ == Phase::kRunning; }
  // Hits counted so far; once a first page is done, all of them.
  int64_t Found() const { return found_; }
  int64_t Listed() const { return listed_; }
  // How far the running scan is, in percent of the index entries.
  int Percent() const { return percent_; }
  bool ShowingMore() const { return showingMore_; }
  bool HasMore() const { return phase_ == Phase::kDone && listed_ < found_; }
  // Once a scan is done: the damaged record areas it passed over in each
  // dictionary it read to the end (position in the list, areas).
  const std::vector<std::pair<int, int64_t>>& Damaged() const { return damaged_; }
  const std::u16string& Query() const { return request_.query; }
  bool Exact() const { return request_.exact; }

 signals:
  // A batch: rows to append (maybe none) and new counts and phase.
  void Arrived(const std::vector<kebu::viewer::Hit>& rows);

 private:
  struct Outbox;
  // The scan itself, on its thread.
  static void Scan(const TextSearchRequest& request, Outbox& outbox);
  void Run(TextSearchRequest request);
  // Takes what the running scan found since the last time (every kBatchMs).
  void Collect();
  // Joins the threads of cancelled or finished scans that have ended.
  void JoinEnded(bool wait);

  QTimer* timer_ = nullptr;
  std::shared_ptr<Outbox> outbox_;  // the running scan's; null after a cancel
  // Scans that were cancelled or have finished, with their outboxes.
  std::vector<std::pair<std::thread, std::shared_ptr<Outbox>>> ending_;
  TextSearchRequest request_;       // the last Start's (its sources, query)
  Phase phase_ = Phase::kIdle;
  int64_t found_ = 0;
  int64_t listed_ = 0;
  int percent_ = 0;
  bool showingMore_ = false;
  std::vector<std::pair<int, int64_t>> damaged_;
};

// The matches of `query` in a hit as the pane shows it (`shown`: lines end
// in LF), in the pane's units: in every line but the dictionary's name,
// which comes first when `named`.
std::vector<TextRange> PaneMatches(const QString& shown, bool named, std::u16string_view query,
                                   bool exact);

}  // namespace kebu::viewer
