// The main window: a search box over a hit list and a text pane, searching
// the headwords of one or more dictionaries as the user types, or with "Full
// text" their headwords, translations and examples when Enter is pressed (the
// matches marked in the pane); the File menu
// (open, add, the Dictionaries dialog, header report, export), the View menu
// (text size, the search box) and the about item.
//
// The window only shows what the parts below it compute: DictionaryList
// holds the readers, HeadwordSearch the hits, HitCounter counts all hits on
// a worker thread, TextSearch scans the full text on another, ExportJob
// exports on a third; the profile is read at start and written once when the
// window closes.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QString>
#include <memory>
#include <vector>

#include "viewer/dictionary_list.h"
#include "viewer/export_job.h"
#include "viewer/headword_search.h"
#include "viewer/user_dialogs.h"
#include "viewer/viewer_settings.h"

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
class HitCounter;
class HitListModel;
class TextSearch;

// Caption while no dictionary is open, and the start of the title while one
// is.
inline constexpr char kCaption[] = "KEBU mini";
inline constexpr char kTitlePrefix[] = "KEBU mini - ";
// The data font's height in pixels, and the text size steps of the View menu.
inline constexpr int kDataFontPixels = 16;
inline constexpr int kZoomStepPixels = 2;
inline constexpr int kMinZoom = -4;
inline constexpr int kMaxZoom = 16;

// Makes the resources of the viewer library (icon, texts) available; safe to
// call more than once.
void InitViewerResources();
// The program icon in its two sizes.
QIcon ProgramIcon();
// Text of the about item, "" when the resource is missing.
QString AboutItemText();
// The 9-point dialog font, and the data font of the search box, the hit list
// and the text pane. The named face comes first; where it is missing the
// Japanese faces behind it take over, so kanji keep their Japanese forms.
QFont DialogFont();
QFont DataFont(const QString& faceName, int pixelSize = kDataFontPixels);
// A count with thousands separators, "123,456".
QString Thousands(qint64 n);

class CViewerDlg : public QDialog {
  Q_OBJECT

 public:
  // Opens the dictionaries of the profile and adds `files` (the command
  // line) that are not among them; the whole list is remembered.
  explicit CViewerDlg(QWidget* parent = nullptr, std::vector<QByteArray> files = {});
  ~CViewerDlg() override;

  // Enter and Search: lists the hits, selects the first, shows it and puts
  // the key into the history. In full-text mode the scan starts and its hits
  // come in as they are found; the first is selected when it arrives.
  void OnSearch();
  // Every keystroke in the search box: lists the hits, keeping the selected
  // headword selected where it is still listed; no history. In full-text
  // mode it only cancels a running scan.
  void OnKeyTyped();
  // Appends the next 10,000 hits.
  void OnShowMore();
  // The Full text or Exact box changed: the key is searched again the new way.
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
  bool IsFullText() const { return settings_.fullText; }
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
  QTableView* HitList() const;
  HitListModel* Hits() const { return hits_; }
  QLabel* StatusLine() const;
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
  // Lists the hits of the key in the search box; see OnKeyTyped.
  void RunSearch(bool keepSelection);
  // Starts a full-text scan of the key in the search box.
  void RunTextSearch();
  // A batch of full-text rows: appended, the first selected.
  void OnTextRows(const std::vector<Hit>& rows);
  QString TextSearchStatus() const;
  // Marks the full-text matches in the pane, which shows `hit`.
  void MarkMatches(const Hit& hit, bool named);
  void SelectRow(int row, bool focusList);
  void UpdateStatus();
  void UpdateNotes();
  void OnCounted(qint64 total);
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
  HeadwordSearch search_;
  bool searched_ = false;
  qint64 totalHits_ = -1;  // all hits of the key, -1 while being counted
  HitListModel* hits_ = nullptr;
  HitCounter* counter_ = nullptr;
  TextSearch* textSearch_ = nullptr;
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
