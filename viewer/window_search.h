// One interface for every search of the window. The window starts a search
// with the key and its dictionaries, takes the rows as they come, shows its
// status line and its note under the search box, asks it for more, cancels
// it, and lets it mark the matches in the pane; it never asks which search
// it holds. SearchChooser (search_chooser.h) picks the search for a key.
//
// Implementations: PrefixSearch (the headwords that begin with the key, the
// first page at once on the window's thread, the count of all in the
// background, the entries of its dictionary forms or suggestions when there
// are no hits), TextSearch (full text, streamed from a scan on a thread of
// its own) and PatternSearch (wildcard patterns over the headwords, streamed
// the same way).
//
// Rows name their dictionary by its DictionaryId and their record by its
// RecordPosition, so they stay valid while the Dictionaries dialog reorders
// the list. Work on other threads goes through BackgroundJob
// (background_job.h), with the dictionaries' shared DicSources and readers
// of its own.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dictionary/dic_source.h"
#include "search/match_ranges.h"
#include "viewer/dictionary_list.h"
#include "viewer/headword_search.h"

namespace kebu::viewer {

// A checked, open dictionary as work on another thread gets it.
struct SearchSource {
  DictionaryId dictionary = 0;
  std::shared_ptr<const DicSource> source;
};
// The checked, open dictionaries of `list` in its order.
std::vector<SearchSource> CheckedSources(const DictionaryList& list);

class WindowSearch : public QObject {
  Q_OBJECT

 public:
  // Searches the dictionaries of `list`, which outlives the search.
  explicit WindowSearch(DictionaryList& list, QObject* parent = nullptr)
      : QObject(parent), list_(list) {}

  // Starts over with `key` in the checked dictionaries, cancelling what ran
  // before: first RowsReady(rows, true) with the rows known at once (maybe
  // none), then, for a search that streams, more rows as they come.
  virtual void Start(const std::u16string& key) = 0;
  // The same, but the key as typed only: no help when it finds nothing
  // (the "literal:" links of the note).
  virtual void StartPlain(const std::u16string& key) { Start(key); }
  // "show more": the next page of the same key; only when HasMore().
  virtual void More() = 0;
  // Stops the work that still streams rows; what is listed stays (Esc).
  virtual void Cancel() = 0;
  // Cancels and forgets: the search shows nothing until it starts again.
  virtual void Reset() = 0;
  // Rows are still coming (Esc stops them).
  virtual bool IsRunning() const = 0;
  virtual bool HasMore() const = 0;
  // The status line: "4 hits", "10,000 of 123,456 hits — show more" (a link
  // "more"), ...; empty before a start.
  virtual QString StatusText() const = 0;
  // The line under the search box, rich text; its links are keys to search
  // as if typed and Entered ("search:KEY") or as typed, without help
  // ("literal:KEY"). Empty: no line.
  virtual QString NoteText() const { return {}; }
  // The ranges to mark in the pane that shows `hit` as `shown` (lines end
  // in LF; with `named` the first line names the dictionary).
  virtual std::vector<TextRange> Marks(const Hit& hit, const QString& shown, bool named) const;
  // Once a search that reads whole dictionaries has ended: the damaged
  // record areas it passed over in each dictionary it read to its end.
  virtual std::vector<std::pair<DictionaryId, int64_t>> DamagedAreas() const { return {}; }
  // Whether each key typed starts the search (else only Enter does, and a
  // key typed cancels it).
  virtual bool SearchesAsTyped() const = 0;

 signals:
  // Rows: with `replace` the whole list anew (the window keeps the selected
  // headword selected where it is still listed), else rows to append.
  void RowsReady(const std::vector<kebu::viewer::Hit>& rows, bool replace);
  // The status line or the note changed.
  void StatusChanged();

 protected:
  DictionaryList& list_;
};

// Status texts the searches share: "1 hit", "12 hits".
QString HitsText(qint64 hits);
// " — show more", the link "more".
QString ShowMoreLink();

}  // namespace kebu::viewer
