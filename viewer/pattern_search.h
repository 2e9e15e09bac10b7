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
#include "viewer/streamed_search.h"

namespace kebu::viewer {

class PatternSearch : public StreamedSearch {
  Q_OBJECT

 public:
  explicit PatternSearch(DictionaryList& list, QObject* parent = nullptr)
      : StreamedSearch(list, parent) {}

  void Start(const std::u16string& key) override;
  void More() override;
  bool SearchesAsTyped() const override { return true; }

  // One dictionary's part of the search, kept on the window's thread.
  struct Part {
    SearchSource source;
    uint64_t hits = 0;    // all its hits, once the first page is done
    uint64_t listed = 0;  // its hits listed
    std::optional<RecordPosition> last;  // the last of them
  };

 protected:
  void OnRowsTaken(const std::vector<Hit>& rows) override;
  QString StatusPrefix() const override;

 private:
  // The work of a page: rows from the parts' positions on, at most 10,000;
  // `first`: from the start, every hit counted.
  void Scan(const std::u16string& key, const std::vector<Part>& parts, bool first, JobLink& link);

  std::u16string key_;
  std::vector<Part> parts_;
};

}  // namespace kebu::viewer
