// Headword patterns in the window: a key that holds a `*` or `?` that no
// backslash makes literal (search/headword_pattern.h) is matched against the
// whole of every headword of the checked dictionaries, in their order and
// each in file order, as a BackgroundJob (ScanHeadwordPattern reads only the
// records that the pattern's literal beginning can stand in). Like the
// prefix search it lists 10,000 hits a page, counts them all and goes on
// behind the last hit listed for "show more"; like the full-text search the
// rows come in batches while the scan goes on. Typing alone starts it; the
// next key cancels it. The status line says "pattern".
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/dic_record.h"
#include "viewer/window_search.h"

namespace kebu::viewer {

class BackgroundJob;
class JobLink;

class PatternSearch : public WindowSearch {
  Q_OBJECT

 public:
  explicit PatternSearch(DictionaryList& list, QObject* parent = nullptr);

  void Start(const std::u16string& key) override;
  void More() override;
  void Cancel() override;
  void Reset() override;
  bool IsRunning() const override { return phase_ == Phase::kRunning; }
  bool HasMore() const override;
  QString StatusText() const override;
  bool SearchesAsTyped() const override { return true; }

  // One dictionary's part of the search, kept on the window's thread.
  struct Part {
    SearchSource source;
    uint64_t hits = 0;    // all its hits, once the first page is done
    uint64_t listed = 0;  // its hits listed
    std::optional<RecordPosition> last;  // the last of them
  };

 private:
  enum class Phase { kIdle, kRunning, kDone, kCancelled, kFailed };
  // The work of a page: rows from the parts' positions on, at most `take`;
  // `countAll`: count every hit (the first page).
  void Run(bool countAll);
  void Scan(std::u16string pattern, std::vector<Part> parts, bool countAll, JobLink& link);

  BackgroundJob* job_;
  std::u16string key_;
  std::vector<Part> parts_;
  Phase phase_ = Phase::kIdle;
  std::vector<Hit> arrived_;
  uint64_t found_ = 0;   // counted so far; all once the first page is done
  uint64_t listed_ = 0;
  int percent_ = 0;
};

}  // namespace kebu::viewer
