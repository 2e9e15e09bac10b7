#include "viewer/entry_navigation.h"

#include <QEvent>
#include <QMouseEvent>

namespace kebu::viewer {

EntryNavigation::EntryNavigation(QObject* parent) : QObject(parent) {}

void EntryNavigation::Visit(const Hit& hit) {
  if (!visited_.empty() && visited_[current_] == hit) return;
  if (!visited_.empty()) visited_.resize(current_ + 1);
  visited_.push_back(hit);
  if (visited_.size() > kLimit) visited_.erase(visited_.begin());
  current_ = visited_.size() - 1;
  emit Changed();
}

void EntryNavigation::Clear() {
  visited_.clear();
  current_ = 0;
  emit Changed();
}

bool EntryNavigation::Go(int step) {
  if (step < 0 ? !CanGoBack() : !CanGoForward()) return false;
  current_ = step < 0 ? current_ - 1 : current_ + 1;
  emit Changed();
  emit Show(visited_[current_]);
  return true;
}

bool EntryNavigation::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
    if (button == Qt::BackButton) return Back(), true;
    if (button == Qt::ForwardButton) return Forward(), true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kebu::viewer
