// The main window: search box, hit list and text pane over one dictionary
// reader, with the File menu (open, header report, export, exit) and the
// about item.
#pragma once

#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QString>
#include <memory>

#include "dictionary/dic_reader.h"
#include "viewer/file_chooser.h"

class QAction;
class QComboBox;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace Ui {
class CViewerDlg;
}

namespace kebu::viewer {

class HitListModel;

// Caption before any dictionary has been opened, and the start of the title
// after one has.
inline constexpr char kCaption[] = "KEBU mini";
inline constexpr char kTitlePrefix[] = "KEBU mini - ";
// Defaults and limits of the window.
inline constexpr char kDefaultFontName[] = "MS UI Gothic";
// Id of the about item (the low four bits are not looked at).
inline constexpr unsigned kAboutCommand = 0x10;

// Makes the resources of the viewer library (icon, texts) available; safe to
// call more than once.
void InitViewerResources();
// The program icon in its two sizes.
QIcon ProgramIcon();
// Text of the about item, "" when the resource is missing.
QString AboutItemText();
// The 9-point dialog font, and the data font (16 pixels high) of the search
// box, the hit list and the text pane. The named face comes first; where it
// is missing the Japanese faces behind it take over, so kanji keep their
// Japanese forms.
QFont DialogFont();
QFont DataFont(const QString& faceName);

// The file name part of a path: the text after the last backslash; without
// one, after the last slash; else the whole path.
QString FileNameOfPath(const QString& path);

class CViewerDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CViewerDlg(QWidget* parent = nullptr);
  ~CViewerDlg() override;

  // Handlers of the window's commands.
  void OnSearch();
  void OnFileOpen();
  void OnExportFile();
  void OnDumpHeaderInfo();
  void OnClickHitList();
  // Commands of the system menu; the about item's id shows the about box.
  void OnSysCommand(unsigned id);

  void ShowSelectedEntry();
  void AddSearchHistory(QString key);
  void UpdateTitle();
  void LoadSettings();
  void SaveSettings();

  // Replaces the file chooser (by default Qt's file dialog).
  void SetFileChooser(std::unique_ptr<FileChooser> chooser);

  bool IsDictionaryOpen() const { return open_; }
  bool IsExporting() const { return exporting_; }
  const QString& Path() const { return path_; }
  const QString& SearchWordList() const { return searchWordList_; }
  const QString& FontName() const { return fontName_; }
  // The text last put into the text pane, exactly (lines end in CR LF); the
  // pane itself shows it as lines.
  const QString& PaneText() const { return paneText_; }

  QComboBox* SearchBox() const;
  QPushButton* SearchButton() const;
  QTableView* HitList() const;
  HitListModel* Hits() const { return hits_; }
  QPlainTextEdit* TextPane() const;
  QAction* OpenFileAction() const;
  QAction* DumpHeaderInfoAction() const;
  QAction* ExportFileAction() const;
  QAction* ExitAction() const;
  // The about item; null when its text resource is empty.
  QAction* AboutAction() const { return aboutAction_; }
  DicReader& Reader() { return *reader_; }

 public slots:
  // Every way of closing ends here (Exit, Esc, the close box): the settings
  // are saved once. While an export runs, closing waits for its end.
  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnInitDialog();
  // Search, Open file, Export file, Dump Header Info and the hit list.
  void SetCommandsEnabled(bool enabled);
  // Puts `text` into the pane; the caret goes to its start or its end.
  void SetPaneText(const QString& text, bool caretAtEnd);
  // The headword as shown: for version 6 and later, the part after the
  // first TAB when there is one.
  QString DisplayHeadword(const std::u16string& headword) const;

  std::unique_ptr<Ui::CViewerDlg> ui_;
  std::unique_ptr<DicReader> reader_;
  bool open_ = false;
  QFont font_;
  QString path_;
  QString searchWordList_;
  QString fontName_;
  QIcon icon_;
  HitListModel* hits_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QAction* aboutAction_ = nullptr;
  std::unique_ptr<FileChooser> chooser_;
  QString paneText_;
  bool exporting_ = false;
  bool closePending_ = false;
  bool settingsSaved_ = false;
};

}  // namespace kebu::viewer
