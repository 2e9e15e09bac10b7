// Back and forward through the entries read, as in a browser: each entry
// shown becomes the newest (those ahead of the current one are dropped);
// Back and Forward step through them. The mouse's back and forward buttons
// over the widgets it watches do the same.
#pragma once

#include <QObject>
#include <vector>

#include "viewer/headword_search.h"

namespace kebu::viewer {

class EntryNavigation : public QObject {
  Q_OBJECT

 public:
  // The entries remembered at most; the oldest go first.
  static constexpr size_t kLimit = 1000;

  explicit EntryNavigation(QObject* parent = nullptr);

  // An entry shown. The current one again changes nothing, so that showing
  // what Back or Forward asked for keeps the way ahead.
  void Visit(const Hit& hit);
  // Forgets every entry (the dictionaries they name have changed).
  void Clear();
  // Steps back or forward and asks for that entry (Show); false at an end.
  bool Back() { return Go(-1); }
  bool Forward() { return Go(1); }
  bool CanGoBack() const { return current_ > 0; }
  bool CanGoForward() const { return current_ + 1 < visited_.size(); }
  // Watches `widget` for the mouse's back and forward buttons.
  void Watch(QObject* widget) { widget->installEventFilter(this); }

 signals:
  void Show(const kebu::viewer::Hit& hit);
  // Whether Back and Forward can go somewhere changed.
  void Changed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool Go(int step);

  std::vector<Hit> visited_;
  size_t current_ = 0;  // index into visited_ (0 when empty)
};

}  // namespace kebu::viewer
