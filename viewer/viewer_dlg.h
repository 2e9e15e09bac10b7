// The main window: a search box over a hit list and a text pane, searching
// the headwords of one or more dictionaries as the user types, or with "Full
// text" their headwords, translations and examples when Enter is pressed (the
// matches marked in the pane); the File menu
// (open, add, the Dictionaries dialog, header report, export), the View menu
// (text size, the search box) and the about item.
//
// The window only shows what the parts below it compute: DictionaryList
// holds the readers; SearchChooser picks the search for the key, and the
// window drives it through the one WindowSearch interface (rows, status
// line, the note under the search box, show more, cancel, the pane's
// marks); ExportJob exports on a thread of its own; the profile is read at
// start and written once when the window closes.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <memory>
#include <vector>

#include "viewer/dictionary_list.h"
#include "viewer/export_job.h"
#include "viewer/headword_search.h"
#include "viewer/user_dialogs.h"
#include "viewer/viewer_settings.h"
#include "viewer/window_style.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTableView;

namespace Ui {
class CViewerDlg;
}

namespace kebu::viewer {

class CDictionariesDlg;
class Companion;
class EntryNavigation;
class HitListModel;
class SearchChooser;
class WindowSearch;

// Caption while no dictionary is open, and the start of the title while one
// is.
inline constexpr char kCaption[] = "KEBU mini";
inline constexpr char kTitlePrefix[] = "KEBU mini - ";
class CViewerDlg : public QDialog {
  Q_OBJECT

 public:
  // Opens the dictionaries of the profile and adds `files` (the command
  // line) that are not among them; the whole list is remembered.
  explicit CViewerDlg(QWidget* parent = nullptr, std::vector<QByteArray> files = {});
  ~CViewerDlg() override;

  // Enter and Search: starts the search chosen for the key, selects the
  // first hit when it comes (at once or streamed), shows it and puts the key
  // into the history.
  void OnSearch();
  // Every keystroke in the search box: a search that follows typing lists
  // the hits, keeping the selected headword selected where it is still
  // listed; any other only cancels what still runs. No history.
  void OnKeyTyped();
  // Appends the next 10,000 hits.
  void OnShowMore();
  // The Full text, Exact or Best first box changed: the key is searched
  // again the new way.
  void OnSearchModeChanged();
  // Open replaces the dictionaries with the one chosen (a cancel changes
  // nothing); Add appends one.
  void OnFileOpen();
  void OnAddDictionary();
  void OnDictionaries();
  void OnExportFile();
  void OnExportAllRecords();
  void OnDumpHeaderInfo();
  void OnAbout();
  // View > Readings: the Reading column and the pane's reading line.
  void OnReadings(bool shown);
  // View > Font…: the face of the search box, the list and the pane.
  void OnFont();
  // Shows `hit` (Back, Forward): selected when it is listed, else in the
  // pane alone.
  void ShowHit(const Hit& hit);
  // Text size: +1 larger, -1 smaller, 0 back to normal.
  void OnZoom(int step);
  void ShowSelectedEntry();
  void AddSearchHistory(QString key);
  void UpdateTitle();
  // Adds dictionary files that open (dropped files); those that do not, and
  // those in the list already, are named in one warning.
  void AddDictionaries(const std::vector<QByteArray>& paths);
  // The Dictionaries dialog over the window's list, connected to it.
  std::unique_ptr<CDictionariesDlg> MakeDictionariesDialog();

  void SetUserDialogs(std::unique_ptr<UserDialogs> dialogs);
  // Searches `word` (unless empty) as if typed and Entered, and brings the
  // window up: "Open in window" of the popup.
  void ShowInSearch(const QString& word);
  // Scan mode, the popup and lookups from outside (viewer/companion.h).
  Companion& GetCompanion() const { return *companion_; }

  bool IsDictionaryOpen() const { return dictionaries_.OpenCount() > 0; }
  bool IsExporting() const { return export_->IsRunning(); }
  bool IsScanning() const;
  const DictionaryList& Dictionaries() const { return dictionaries_; }
  QString SearchWordList() const { return QString::fromUtf8(settings_.searchWordList); }
  QString FontName() const { return QString::fromUtf8(settings_.fontName); }
  int Zoom() const { return settings_.zoom; }
  // The text last put into the text pane, exactly (lines end in CR LF); the
  // pane itself shows it as lines.
  const QString& PaneText() const { return paneText_; }

  QComboBox* SearchBox() const;
  QPushButton* SearchButton() const;
  QCheckBox* FullTextBox() const;
  QCheckBox* ExactBox() const;
  QCheckBox* BestFirstBox() const { return bestFirstBox_; }
  QTableView* HitList() const;
  HitListModel* Hits() const { return hits_; }
  QLabel* StatusLine() const;
  // The line under the search box ("Did you mean: …"); hidden when empty.
  QLabel* HelpLine() const { return helpLine_; }
  // The status line's notes about the dictionaries: missing, damaged.
  QLabel* NoteLine() const;
  QPlainTextEdit* TextPane() const;
  QSplitter* Splitter() const;
  QAction* OpenFileAction() const;
  QAction* AddDictionaryAction() const;
  QAction* DumpHeaderInfoAction() const;
  QAction* ExportFileAction() const;
  QAction* ExportAllAction() const;
  QAction* ExitAction() const;
  QAction* ReadingsAction() const;
  QAction* FontAction() const;
  QAction* BackAction() const;
  QAction* ForwardAction() const;
  // The about item; null when its text resource is empty.
  QAction* AboutAction() const { return aboutAction_; }

 public slots:
  // Every way of closing ends here (Exit, Esc, the close box): the settings
  // are saved once. A running export is cancelled first; the window closes
  // as soon as its thread has stopped.
  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void LoadSettings();
  void SaveSettings();
  void ConnectSignals();
  void ApplyFonts();
  void ApplyColumnWidths();
  void OnDictionariesChanged();
  // The key in the search box, as far as it is taken.
  QString CurrentKey() const;
  // Starts the search chosen for the key in the search box; `typed`: as
  // typed (the selected headword stays selected), else as Entered; `plain`:
  // the key as typed, without help when it finds nothing.
  void StartSearch(bool typed, bool plain = false);
  // Rows of the search: the list anew or appended; see RowsReady.
  void OnRows(const std::vector<Hit>& rows, bool replace);
  // A link of the note line: a key to search.
  void OnHelpLink(const QString& link);
  // Marks what the search matched in the pane, which shows `hit`.
  void MarkMatches(const Hit& hit, bool named);
  void SelectRow(int row, bool focusList);
  void UpdateStatus();
  void UpdateNotes();
  // The dictionary of the selected hit, else the first open one; -1 if none.
  int CurrentDictionary() const;
  void UpdateCommands();
  void StartExport(int32_t stopAfterEntry);
  void OnExportFinished(const Status& result, const ExportStats& stats);
  // Puts `text` into the pane, the caret at its start.
  void SetPaneText(const QString& text);

  std::unique_ptr<Ui::CViewerDlg> ui_;
  ViewerSettings settings_;
  DictionaryList dictionaries_;
  bool searched_ = false;
  bool typed_ = false;  // the running search was started by typing
  HitListModel* hits_ = nullptr;
  SearchChooser* searches_ = nullptr;
  WindowSearch* search_ = nullptr;  // the one chosen last
  QLabel* helpLine_ = nullptr;
  QCheckBox* bestFirstBox_ = nullptr;
  ExportJob* export_ = nullptr;
  Companion* companion_ = nullptr;
  EntryNavigation* navigation_ = nullptr;
  QString exportTarget_;
  std::unique_ptr<UserDialogs> dialogs_;
  QAction* aboutAction_ = nullptr;
  QString paneText_;
  bool closePending_ = false;
  bool keptByNavigation_ = false;  // see eventFilter
  bool fittingColumns_ = false;    // the widths being set are not the user's
  bool settingsSaved_ = false;
};

}  // namespace kebu::viewer
