#include "viewer/viewer_dlg.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStringList>
#include <QTextCursor>
#include <vector>

#include "export/plain_text_export.h"
#include "ui_viewer_dlg.h"
#include "viewer/about_dlg.h"
#include "viewer/hit_list_model.h"
#include "viewer/profile.h"

// Resources of a static library are registered by hand, from outside any
// namespace.
static void InitKebuminiResources() { Q_INIT_RESOURCE(kebumini); }

namespace kebu::viewer {

namespace {

// Size of the header report buffer.
constexpr int kReportCapacity = 2048;
// Column widths of the hit list, in pixels.
constexpr int kNumberWidth = 70;
constexpr int kTitleWidth = 240;
constexpr int kAttributeWidth = 30;
// During an export, waiting events are served at most this often.
constexpr qint64 kPumpIntervalMs = 30;

// Japanese faces behind the requested one.
const QStringList& JapaneseFallbacks() {
  static const QStringList faces = {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")};
  return faces;
}

// A path as the file system spells it (Qt's local 8-bit encoding of file
// names).
std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString FromUtf16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Text with CR LF (or a lone CR) line ends as the pane shows it.
QString AsLines(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

void InitViewerResources() { InitKebuminiResources(); }

QIcon ProgramIcon() {
  InitViewerResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/kebumini/icon-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/kebumini/icon-16.png"), QSize(16, 16));
  // Larger sizes keep the icon crisp on scaled screens and in task switchers.
  for (const int side : {48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/kebumini/icon-%1.png").arg(side), QSize(side, side));
  }
  return icon;
}

QString AboutItemText() {
  InitViewerResources();
  QFile file(QStringLiteral(":/kebumini/strings/about_item.txt"));
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll()).trimmed();
}

QFont DialogFont() {
  QFont font;
  font.setFamilies(QStringList{QStringLiteral("ＭＳ Ｐゴシック")} + JapaneseFallbacks());
  font.setPointSize(9);
  return font;
}

QFont DataFont(const QString& faceName) {
  QFont font;
  font.setFamilies(QStringList{faceName} + JapaneseFallbacks());
  font.setPixelSize(16);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

QString FileNameOfPath(const QString& path) {
  qsizetype separator = path.lastIndexOf(QLatin1Char('\\'));
  if (separator < 0) separator = path.lastIndexOf(QLatin1Char('/'));
  return separator < 0 ? path : path.mid(separator + 1);
}

CViewerDlg::CViewerDlg(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CViewerDlg>()) {
  InitViewerResources();
  ui_->setupUi(this);
  ui_->windowLayout->setMenuBar(ui_->menuBar);
  // A main window: in the task bar, with a minimize box, not resizable.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  icon_ = ProgramIcon();
  path_.clear();
  reader_ = std::make_unique<DicReader>();
  open_ = false;
  chooser_ = std::make_unique<DialogFileChooser>();
  hits_ = new HitListModel(this);
  OnInitDialog();
}

CViewerDlg::~CViewerDlg() = default;

void CViewerDlg::OnInitDialog() {
  setFont(DialogFont());

  // The about item: where the platform gives no system menu to extend, a
  // Help menu holds it.
  const QString aboutText = AboutItemText();
  if (!aboutText.isEmpty()) {
    helpMenu_ = ui_->menuBar->addMenu(QStringLiteral("&Help"));
    aboutAction_ = helpMenu_->addAction(aboutText);
  }

  setWindowIcon(icon_);
  LoadSettings();

  font_ = DataFont(fontName_);

  QTableView* list = ui_->hitList;
  list->setModel(hits_);
  QHeaderView* header = list->horizontalHeader();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->resizeSection(HitListModel::kNumber, kNumberWidth);
  header->resizeSection(HitListModel::kTitle, kTitleWidth);
  header->resizeSection(HitListModel::kAttribute, kAttributeWidth);

  const QLocale japanese(QLocale::Japanese);
  for (QWidget* widget : {static_cast<QWidget*>(list), static_cast<QWidget*>(ui_->textPane),
                          static_cast<QWidget*>(ui_->searchBox)}) {
    widget->setFont(font_);
    widget->setLocale(japanese);
  }
  header->setFont(font());
  // Rows of one fixed height: no measuring of 10,000 rows.
  QHeaderView* rows = list->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(1);
  rows->setDefaultSectionSize(list->fontMetrics().height() + 4);

  ui_->searchBox->lineEdit()->setMaxLength(kSearchBoxMaxChars);
  // The history is offered in the drop-down list only: no completion while
  // typing (a typed "abc" stays "abc" when "ABC" is in the history).
  ui_->searchBox->setCompleter(nullptr);

  if (!open_ && !path_.isEmpty()) {
    if (!reader_->Open(NativePath(path_))) {
      path_.clear();
    } else {
      open_ = true;
      UpdateTitle();
    }
  }

  ui_->searchBox->setFocus();

  // Every signal of the window, in one place.
  connect(ui_->searchButton, &QPushButton::clicked, this, &CViewerDlg::OnSearch);
  connect(ui_->actionOpenFile, &QAction::triggered, this, &CViewerDlg::OnFileOpen);
  connect(ui_->actionDumpHeaderInfo, &QAction::triggered, this, &CViewerDlg::OnDumpHeaderInfo);
  connect(ui_->actionExportFile, &QAction::triggered, this, &CViewerDlg::OnExportFile);
  connect(ui_->actionExit, &QAction::triggered, this, &QWidget::close);
  if (aboutAction_ != nullptr) {
    connect(aboutAction_, &QAction::triggered, this, [this] { OnSysCommand(kAboutCommand); });
  }
  list->installEventFilter(this);            // key release
  list->viewport()->installEventFilter(this);  // left click
}

void CViewerDlg::SetFileChooser(std::unique_ptr<FileChooser> chooser) {
  chooser_ = std::move(chooser);
}

QComboBox* CViewerDlg::SearchBox() const { return ui_->searchBox; }
QPushButton* CViewerDlg::SearchButton() const { return ui_->searchButton; }
QTableView* CViewerDlg::HitList() const { return ui_->hitList; }
QPlainTextEdit* CViewerDlg::TextPane() const { return ui_->textPane; }
QAction* CViewerDlg::OpenFileAction() const { return ui_->actionOpenFile; }
QAction* CViewerDlg::DumpHeaderInfoAction() const { return ui_->actionDumpHeaderInfo; }
QAction* CViewerDlg::ExportFileAction() const { return ui_->actionExportFile; }
QAction* CViewerDlg::ExitAction() const { return ui_->actionExit; }

void CViewerDlg::LoadSettings() {
  std::unique_ptr<QSettings> profile = OpenProfile();
  path_ = GetProfileString(*profile, QStringLiteral("FilePath"), QString());
  searchWordList_ = GetProfileString(*profile, QStringLiteral("SearchWordList"), QString());
  fontName_ = GetProfileString(*profile, QStringLiteral("fontName"),
                               QLatin1String(kDefaultFontName));
}

void CViewerDlg::SaveSettings() {
  std::unique_ptr<QSettings> profile = OpenProfile();
  WriteProfileString(*profile, QStringLiteral("FilePath"), path_);
  WriteProfileString(*profile, QStringLiteral("SearchWordList"), searchWordList_);
  WriteProfileString(*profile, QStringLiteral("fontName"), fontName_);
  profile->sync();
}

void CViewerDlg::done(int result) {
  if (exporting_) {
    closePending_ = true;
    return;
  }
  if (!settingsSaved_) {
    settingsSaved_ = true;
    SaveSettings();
  }
  QDialog::done(result);
}

void CViewerDlg::UpdateTitle() {
  setWindowTitle(QLatin1String(kTitlePrefix) + FileNameOfPath(path_));
}

QString CViewerDlg::DisplayHeadword(const std::u16string& headword) const {
  return FromUtf16(kebu::DisplayHeadword(headword, reader_->GetVersionMajor()));
}

void CViewerDlg::SetPaneText(const QString& text, bool caretAtEnd) {
  paneText_ = text;
  QPlainTextEdit* pane = ui_->textPane;
  pane->setPlainText(AsLines(text));
  pane->moveCursor(caretAtEnd ? QTextCursor::End : QTextCursor::Start);
  pane->ensureCursorVisible();
}

void CViewerDlg::OnSearch() {
  if (exporting_) return;
  if (path_.isEmpty() || !open_) return;

  const QString key = ui_->searchBox->currentText().left(kSearchBoxMaxChars);
  hits_->Clear();

  bool truncated = false;
  const uint32_t n = reader_->Lookup(key.toStdU16String(), false, kWindowHitLimit, &truncated);
  if (n > 0) {
    RecordText texts;
    std::vector<HitListModel::Row> rows;
    rows.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
      if (!reader_->GetHit(i, &texts)) break;
      rows.push_back({DisplayHeadword(texts.headword), texts.attribute});
    }
    hits_->SetRows(std::move(rows));

    QTableView* list = ui_->hitList;
    const QModelIndex first = hits_->index(0, 0);
    list->selectionModel()->setCurrentIndex(
        first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->scrollToTop();
    list->setFocus();
    ShowSelectedEntry();
  }
  AddSearchHistory(key);
}

void CViewerDlg::ShowSelectedEntry() {
  if (exporting_) return;
  const QModelIndexList selected = ui_->hitList->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  int row = selected.first().row();
  for (const QModelIndex& index : selected) row = std::min(row, index.row());

  RecordText texts;
  if (reader_->GetHit(static_cast<uint32_t>(row), &texts)) {
    QString text = DisplayHeadword(texts.headword);
    text += QLatin1String("\r\n");
    text += FromUtf16(texts.translation);
    text += QLatin1String("\r\n");
    if (!texts.example.empty()) {
      text += FromUtf16(texts.example);
      text += QLatin1String("\r\n");
    }
    SetPaneText(text, false);
  } else {
    // The old text stays; only the caret goes to its start.
    ui_->textPane->moveCursor(QTextCursor::Start);
    ui_->textPane->ensureCursorVisible();
  }
}

void CViewerDlg::OnClickHitList() { ShowSelectedEntry(); }

void CViewerDlg::AddSearchHistory(QString key) {
  if (key.isEmpty()) return;
  QComboBox* box = ui_->searchBox;
  // Exact match, letter case ignored.
  const int found = box->findText(key, Qt::MatchFixedString);
  if (found >= 0) box->removeItem(found);
  box->insertItem(0, key);
  box->setCurrentIndex(0);
  box->setEditText(key);
}

bool CViewerDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->hitList && event->type() == QEvent::KeyRelease) {
    ShowSelectedEntry();
    return true;
  }
  if (watched == ui_->hitList->viewport() && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    OnClickHitList();
    return false;  // the view finishes its own click handling
  }
  return QDialog::eventFilter(watched, event);
}

void CViewerDlg::OnSysCommand(unsigned id) {
  if ((id & 0xFFF0u) != kAboutCommand) return;  // nothing else to hand on here
  CAboutDlg about(this);
  about.exec();
}

void CViewerDlg::OnFileOpen() {
  if (exporting_) return;
  FileRequest request;
  request.mode = FileRequest::Mode::kOpen;
  request.initialName = QStringLiteral("*.DIC");
  request.nameFilters = DictionaryFilters();

  // From here on no dictionary is open, whatever the user chooses.
  if (open_) {
    reader_->Close();
    open_ = false;
  }
  const QString chosen = chooser_->Choose(this, request);
  if (chosen.isEmpty()) return;
  path_ = chosen;
  if (!reader_->Open(NativePath(path_))) {
    path_.clear();
    return;
  }
  open_ = true;
  UpdateTitle();
}

void CViewerDlg::OnDumpHeaderInfo() {
  if (exporting_) return;
  std::vector<char> report(kReportCapacity, 0);
  reader_->DumpHeaderInfo(report.data(), kReportCapacity);
  // The report is ASCII.
  SetPaneText(QString::fromLatin1(report.data()), true);
}

void CViewerDlg::SetCommandsEnabled(bool enabled) {
  ui_->searchButton->setEnabled(enabled);
  ui_->actionOpenFile->setEnabled(enabled);
  ui_->actionExportFile->setEnabled(enabled);
  ui_->actionDumpHeaderInfo->setEnabled(enabled);
  // Showing a hit would move the reader that the export is reading.
  ui_->hitList->setEnabled(enabled);
}

void CViewerDlg::OnExportFile() {
  if (exporting_) return;
  FileRequest request;
  request.mode = FileRequest::Mode::kSave;
  request.initialName = QStringLiteral("*.txt");
  request.nameFilters = TextFileFilters();
  const QString target = chooser_->Choose(this, request);
  if (target.isEmpty()) return;

  exporting_ = true;
  SetCommandsEnabled(false);

  QElapsedTimer sincePump;
  sincePump.start();
  ExportHooks hooks;
  // Every 1,000 records: the progress in the title, and waiting events
  // served when enough time has passed.
  hooks.progress = [this, &sincePump](const ExportStats& stats) {
    setWindowTitle(QString::fromStdString(ProgressTitle(stats)));
    if (sincePump.elapsed() < kPumpIntervalMs) return;
    QCoreApplication::processEvents();
    sincePump.restart();
  };
  ExportPlainText(*reader_, NativePath(target), hooks);
  UpdateTitle();

  exporting_ = false;
  SetCommandsEnabled(true);
  if (closePending_) {
    closePending_ = false;
    close();
  }
}

}  // namespace kebu::viewer
