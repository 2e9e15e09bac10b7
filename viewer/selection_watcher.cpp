#include "viewer/selection_watcher.h"

#include <QGuiApplication>
#include <QTimer>
#include <algorithm>

#include "viewer/x11_pointer.h"

namespace kebu::viewer {

namespace {

// How often a selection made by dragging is looked at until the button is up.
constexpr int kButtonPollMs = 30;

}  // namespace

QString CurrentSelection() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  const QString selected =
      clipboard->supportsSelection() ? clipboard->text(QClipboard::Selection) : QString();
  return selected.trimmed().isEmpty() ? clipboard->text(QClipboard::Clipboard) : selected;
}

SelectionWatcher::SelectionWatcher(QObject* parent) : QObject(parent) {
  buttonWait_ = new QTimer(this);
  buttonWait_->setSingleShot(true);
  buttonWait_->setInterval(kButtonPollMs);
  connect(buttonWait_, &QTimer::timeout, this, &SelectionWatcher::Take);
  connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &SelectionWatcher::OnChanged);
}

void SelectionWatcher::OnChanged(QClipboard::Mode mode) {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  const bool wanted = mode == QClipboard::Selection ? settings_.primary
                      : mode == QClipboard::Clipboard ? settings_.clipboard
                                                      : false;
  if (!settings_.scan || !wanted) return;
  if (mode == QClipboard::Selection ? clipboard->ownsSelection() : clipboard->ownsClipboard()) {
    return;  // the window's own
  }
  pending_ = mode;
  Take();
}

void SelectionWatcher::Take() {
  if (!pending_) return;
  if (PointerButtonDown().value_or(false)) {
    buttonWait_->start();  // still selecting
    return;
  }
  const QClipboard::Mode mode = *pending_;
  pending_.reset();
  if (settings_.modifier != Qt::NoModifier &&
      !QGuiApplication::queryKeyboardModifiers().testFlag(settings_.modifier)) {
    return;
  }
  const QString text = QGuiApplication::clipboard()->text(mode).trimmed();
  // Characters, not UTF-16 units: 𠮷 is one.
  const qsizetype characters = text.size() - std::count_if(text.begin(), text.end(), [](QChar c) {
                                 return c.isLowSurrogate();
                               });
  if (characters == 0 || characters > settings_.maxChars) return;
  emit Selected(text);
}

}  // namespace kebu::viewer
