// The window's headword search: the headwords that begin with the key, in
// the checked dictionaries in their order. The first page comes at once,
// looked up on the window's thread (a lookup takes microseconds); when it is
// not all, HitCounter counts all hits in the background; "show more" goes on
// behind the last hit listed (HeadwordSearch, so N pages cost N pages'
// work). Typing alone starts it.
#pragma once

#include <QString>
#include <string>

#include "viewer/headword_search.h"
#include "viewer/window_search.h"

namespace kebu::viewer {

class HitCounter;

class PrefixSearch : public WindowSearch {
  Q_OBJECT

 public:
  explicit PrefixSearch(DictionaryList& list, QObject* parent = nullptr);

  void Start(const std::u16string& key) override;
  void More() override;
  void Cancel() override {}
  void Reset() override;
  bool IsRunning() const override { return false; }
  bool HasMore() const override { return started_ && pager_.HasMore(); }
  QString StatusText() const override;
  bool SearchesAsTyped() const override { return true; }

 protected:
  // A start that found no hits at all (the key is in Key()); the help of a
  // derived search begins here.
  virtual void OnNoHits() {}
  const std::u16string& Key() const { return pager_.Key(); }

 private:
  HeadwordSearch pager_;
  HitCounter* counter_;
  bool started_ = false;
  qint64 total_ = -1;  // all hits of the key, -1 while being counted
};

}  // namespace kebu::viewer
