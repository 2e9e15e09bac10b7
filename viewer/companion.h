// The reading companion of the main window: scan mode (a new selection in
// any program opens the popup by the pointer), lookups from outside
// (kebumini --lookup, --lookup-selection), the popup, its tray icon and
// menu entries, and the Preferences dialog. The window owns one and keeps
// its settings with its own.
//
// A selection goes: SelectionWatcher (filtered) → PopupLookup (worker
// thread, the window's searched dictionaries) → CPopupDlg, placed where
// the pointer was when the selection came; a newer selection supersedes a
// lookup still running.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <memory>

#include "viewer/viewer_settings.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace kebu::viewer {

class CPopupDlg;
class CViewerDlg;
class PopupLookup;
class SelectionWatcher;
struct PopupResult;

class Companion : public QObject {
  Q_OBJECT

 public:
  Companion(CViewerDlg* window, const CompanionSettings& settings);
  ~Companion() override;

  const CompanionSettings& Settings() const { return settings_; }
  void SetSettings(const CompanionSettings& settings);

  // Shows the entries of `text` (of the selection) in the popup by the
  // pointer, once the worker has them.
  void LookUp(const QString& text);
  void LookUpSelection();
  // The Preferences dialog, modal; OK takes its settings.
  void OnPreferences();

  // View > Scan selections (checkable), View > Preferences.
  QAction* ScanAction() const { return scanAction_; }
  QAction* PreferencesAction() const { return preferencesAction_; }
  // Null until the first popup.
  CPopupDlg* Popup() const { return popup_.get(); }
  // Null where the desktop has no tray.
  QSystemTrayIcon* TrayIcon() const { return tray_; }

 private:
  void OnResult(const PopupResult& result);
  void MakeTrayIcon();
  void UpdateTrayIcon();

  CViewerDlg* window_;
  CompanionSettings settings_;
  SelectionWatcher* watcher_ = nullptr;
  PopupLookup* lookup_ = nullptr;
  std::unique_ptr<CPopupDlg> popup_;
  QAction* scanAction_ = nullptr;
  QAction* preferencesAction_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  std::unique_ptr<QMenu> trayMenu_;
  QPoint pointer_;  // where the popup of the pending lookup goes
};

}  // namespace kebu::viewer
