// Scan mode's ears: a new primary selection (text selected in any program on
// X11) or a new clipboard text, each when switched on, becomes Selected()
// once the mouse button that made it is up, if it is short enough (at most
// maxChars characters, blanks around it aside), if the modifier asked for is
// held, and if another program made it: the window's own selections (the
// text pane's, the popup's) are passed over.
//
// The selection is told by the desktop: on X11 every change of its owner
// (XFixes), on Wayland only while one of the window's own surfaces has the
// keyboard focus, which is why scanning other programs needs X11 (see the
// README).
#pragma once

#include <QClipboard>
#include <QObject>
#include <QString>
#include <optional>

#include "viewer/viewer_settings.h"

class QTimer;

namespace kebu::viewer {

// The text selected now: the primary selection where the platform has one
// and it holds text, else the clipboard.
QString CurrentSelection();

class SelectionWatcher : public QObject {
  Q_OBJECT

 public:
  explicit SelectionWatcher(QObject* parent = nullptr);

  // Scanning follows settings.scan and the sources, modifier and length.
  void SetSettings(const CompanionSettings& settings) { settings_ = settings; }

 signals:
  void Selected(const QString& text);

 private:
  void OnChanged(QClipboard::Mode mode);
  // Reads the changed source once no button is down.
  void Take();

  CompanionSettings settings_;
  std::optional<QClipboard::Mode> pending_;
  QTimer* buttonWait_ = nullptr;
};

}  // namespace kebu::viewer
