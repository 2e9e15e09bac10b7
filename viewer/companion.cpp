#include "viewer/companion.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

#include "viewer/popup_dlg.h"
#include "viewer/popup_lookup.h"
#include "viewer/preferences_dlg.h"
#include "viewer/selection_watcher.h"
#include "viewer/viewer_dlg.h"

namespace kebu::viewer {

Companion::Companion(CViewerDlg* window, const CompanionSettings& settings)
    : QObject(window), window_(window) {
  watcher_ = new SelectionWatcher(this);
  lookup_ = new PopupLookup({}, this);
  scanAction_ = new QAction(tr("S&can selections"), this);
  scanAction_->setCheckable(true);
  scanAction_->setToolTip(tr("Look up the text selected in any program in a popup"));
  preferencesAction_ = new QAction(tr("&Preferences…"), this);
  preferencesAction_->setShortcut(QKeySequence::Preferences);
  preferencesAction_->setMenuRole(QAction::PreferencesRole);

  connect(watcher_, &SelectionWatcher::Selected, this, &Companion::LookUp);
  connect(lookup_, &PopupLookup::Done, this, &Companion::OnResult);
  connect(scanAction_, &QAction::toggled, this, [this](bool on) {
    CompanionSettings changed = settings_;
    changed.scan = on;
    SetSettings(changed);
  });
  connect(preferencesAction_, &QAction::triggered, this, &Companion::OnPreferences);
  if (QSystemTrayIcon::isSystemTrayAvailable()) MakeTrayIcon();
  SetSettings(settings);
}

Companion::~Companion() = default;

void Companion::SetSettings(const CompanionSettings& settings) {
  settings_ = settings;
  settings_.maxChars = std::clamp(settings_.maxChars, 1, kScanMaxCharsLimit);
  watcher_->SetSettings(settings_);
  const QSignalBlocker quiet(scanAction_);
  scanAction_->setChecked(settings_.scan);
  UpdateTrayIcon();
}

void Companion::LookUp(const QString& text) {
  pointer_ = QCursor::pos();
  std::vector<PopupSource> sources;
  const DictionaryList& list = window_->Dictionaries();
  for (int d = 0; d < list.Size(); ++d) {
    const Dictionary& dictionary = list.At(d);
    if (dictionary.searched && dictionary.IsOpen()) {
      sources.push_back({dictionary.reader->Source(), dictionary.name});
    }
  }
  lookup_->Request(text, std::move(sources), settings_.forms);
}

void Companion::LookUpSelection() { LookUp(CurrentSelection()); }

void Companion::OnResult(const PopupResult& result) {
  if (popup_ == nullptr) {
    popup_ = std::make_unique<CPopupDlg>();
    connect(popup_.get(), &CPopupDlg::OpenInWindow, window_, &CViewerDlg::ShowInSearch);
  }
  popup_->ShowResult(
      result, DataFont(window_->FontName(), kDataFontPixels + kZoomStepPixels * window_->Zoom()),
      pointer_);
}

void Companion::OnPreferences() {
  CPreferencesDlg dialog(settings_, window_);
  if (dialog.exec() == QDialog::Accepted) SetSettings(dialog.Settings());
}

void Companion::MakeTrayIcon() {
  tray_ = new QSystemTrayIcon(ProgramIcon(), this);
  trayMenu_ = std::make_unique<QMenu>();
  trayMenu_->addAction(scanAction_);
  connect(trayMenu_->addAction(tr("Show the window")), &QAction::triggered, window_,
          [this] { window_->ShowInSearch(QString()); });
  trayMenu_->addAction(preferencesAction_);
  trayMenu_->addSeparator();
  connect(trayMenu_->addAction(tr("&Quit")), &QAction::triggered, window_, &QWidget::close);
  tray_->setContextMenu(trayMenu_.get());
  // A click on the icon turns scanning on or off.
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::Trigger) scanAction_->toggle();
  });
  tray_->show();
}

void Companion::UpdateTrayIcon() {
  if (tray_ == nullptr) return;
  const QIcon icon = ProgramIcon();
  tray_->setIcon(settings_.scan ? icon : QIcon(icon.pixmap(32, QIcon::Disabled)));
  tray_->setToolTip(settings_.scan ? tr("kebumini: scanning selections")
                                   : tr("kebumini: not scanning selections"));
}

}  // namespace kebu::viewer
