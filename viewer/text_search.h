// Full-text search in the window: ScanText (search/text_scan.h) over every
// searched, open dictionary in the list's order, streamed as StreamedSearch
// does (streamed_search.h). The first page holds 10,000 rows and the scan
// counts on behind it, so the total is known; "show more" scans again for the
// next page (a scan of a million records takes a few tens of milliseconds,
// keeping every position could take megabytes).
//
// Threads: the scan reads the dictionaries' shared DicSources through
// cursors of its own and the rows' headwords with a DicLookup of its own;
// the window's thread goes on looking up in its readers meanwhile.
//
// In "best first" order the hits are ranked (a headword equal to the query,
// then headwords that hold it, then the rest, each in file order), so the
// rows of a page come when the scan has read everything.
//
// Only Enter starts it; a key typed cancels a running scan.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "search/match_ranges.h"
#include "viewer/streamed_search.h"

namespace kebu::viewer {

// One scan's work, as the worker thread gets it (by value).
struct TextSearchRequest {
  std::vector<SearchSource> sources;
  std::u16string query;
  bool exact = false;
  int64_t skip = 0;      // hits passed over before the first row
  int64_t take = 0;      // rows at most
  bool countAll = true;  // go on counting the hits after the last row
  // Best first: headwords equal to the query, then headwords that hold it,
  // then the rest, each in file order (the rows come when the scan ends).
  // Else file order.
  bool bestFirst = false;
};

class TextSearch : public StreamedSearch {
  Q_OBJECT

 public:
  explicit TextSearch(DictionaryList& list, QObject* parent = nullptr)
      : StreamedSearch(list, parent) {}

  // Without folding (the Exact box), and the order of the hits; taken by
  // the next Start.
  void SetExact(bool exact) { exact_ = exact; }
  void SetBestFirst(bool bestFirst) { bestFirst_ = bestFirst; }

  void Start(const std::u16string& key) override;
  void More() override;
  std::vector<TextRange> Marks(const Hit& hit, const QString& shown, bool named) const override;
  bool SearchesAsTyped() const override { return false; }
  std::vector<std::pair<DictionaryId, int64_t>> DamagedAreas() const override { return damaged_; }

 protected:
  bool SaysShown() const override { return true; }

 private:
  // The scan itself, on its thread: rows for the hits from skip to
  // skip + take, every hit counted, posted after each record area.
  void Scan(const TextSearchRequest& request, JobLink& link);

  bool exact_ = false;
  bool bestFirst_ = false;
  TextSearchRequest request_;  // the last Start's (its sources, query)
  std::vector<std::pair<DictionaryId, int64_t>> damaged_;
};

// The matches of `query` in a hit as the pane shows it (`shown`: lines end
// in LF), in the pane's units: in every line but the dictionary's name,
// which comes first when `named`.
std::vector<TextRange> PaneMatches(const QString& shown, bool named, std::u16string_view query,
                                   bool exact);

}  // namespace kebu::viewer
