#include "viewer/viewer_dlg.h"

#include <QAction>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QStringList>
#include <QTextCursor>
#include <QUrl>
#include <algorithm>

#include "dictionary/header_report.h"
#include "ui_viewer_dlg.h"
#include "viewer/about_dlg.h"
#include "viewer/companion.h"
#include "viewer/dictionaries_dlg.h"
#include "viewer/entry_navigation.h"
#include "viewer/hit_list_model.h"
#include "viewer/hit_list_view.h"
#include "viewer/profile.h"
#include "viewer/search_chooser.h"
#include "viewer/window_notes.h"

namespace kebu::viewer {

namespace {

// Size of the header report buffer.
constexpr int kReportCapacity = 2048;
// Default widths of the columns No., L, Dictionary and Reading in pixels;
// the title column takes the rest.
const QList<int> kDefaultColumnWidths = {70, 30, 140, 120};
constexpr int kReadingWidth = 3;  // its place in the widths
constexpr int kSizedColumns[] = {HitListModel::kNumber, HitListModel::kAttribute,
                                 HitListModel::kDictionary};
// The background of a full-text match in the pane: a marker's yellow, which
// black text stays readable on.
const QColor kMatchBackground(255, 226, 102);

// Text with CR LF (or a lone CR) line ends as the pane shows it.
QString AsLines(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

// The .DIC files among dropped URLs, as file system bytes.
std::vector<QByteArray> DroppedDictionaries(const QMimeData* data) {
  std::vector<QByteArray> paths;
  for (const QUrl& url : data->urls()) {
    const QString file = url.toLocalFile();
    if (file.endsWith(QLatin1String(".dic"), Qt::CaseInsensitive)) {
      paths.push_back(QFile::encodeName(file));
    }
  }
  return paths;
}

}  // namespace

CViewerDlg::CViewerDlg(QWidget* parent, std::vector<QByteArray> files)
    : QDialog(parent), ui_(std::make_unique<Ui::CViewerDlg>()) {
  InitViewerResources();
  ui_->setupUi(this);
  ui_->windowLayout->setMenuBar(ui_->menuBar);
  // A main window: in the task bar, with minimize and maximize boxes.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setWindowIcon(ProgramIcon());
  setFont(DialogFont());
  dialogs_ = std::make_unique<QtUserDialogs>();
  hits_ = new HitListModel(this);
  searches_ = new SearchChooser(dictionaries_, this);
  export_ = new ExportJob(this);

  // The about item: where the platform gives no system menu to extend, a
  // Help menu holds it.
  const QString aboutText = AboutItemText();
  if (!aboutText.isEmpty()) {
    aboutAction_ = ui_->menuBar->addMenu(tr("&Help"))->addAction(aboutText);
  }
  ui_->actionZoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(QStringLiteral("Ctrl+="))});
  ui_->actionZoomOut->setShortcuts(QKeySequence::ZoomOut);
  ui_->actionFocusSearch->setShortcuts(
      {QKeySequence(QStringLiteral("Ctrl+L")), QKeySequence(Qt::Key_F6)});
  // As in browsers on every desktop (some themes add Backspace, which the
  // search box needs for itself).
  ui_->actionBack->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::Key_Back)});
  ui_->actionForward->setShortcuts(
      {QKeySequence(Qt::ALT | Qt::Key_Right), QKeySequence(Qt::Key_Forward)});
  navigation_ = new EntryNavigation(this);

  QTableView* list = ui_->hitList;
  list->setModel(hits_);
  QHeaderView* header = list->horizontalHeader();
  header->setFont(font());
  header->setStretchLastSection(false);
  header->setSectionResizeMode(QHeaderView::Interactive);
  // Rows of one fixed height: no measuring of 10,000 rows.
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list->verticalHeader()->setMinimumSectionSize(1);
  // The list and the pane share the height, and what it grows by, evenly.
  ui_->splitter->setStretchFactor(0, 1);
  ui_->splitter->setStretchFactor(1, 1);
  ui_->searchBox->lineEdit()->setMaxLength(kSearchBoxMaxChars);
  // The history is offered in the drop-down list only: no completion while
  // typing (a typed "abc" stays "abc" when "ABC" is in the history).
  ui_->searchBox->setCompleter(nullptr);
  // The note under the search box: suggestions and what a search did
  // instead of the key; its links search a key.
  helpLine_ = new QLabel(this);
  helpLine_->setObjectName(QStringLiteral("helpLine"));
  helpLine_->setTextFormat(Qt::RichText);
  helpLine_->setWordWrap(true);
  helpLine_->hide();
  // The order of full-text hits, beside the Exact box.
  bestFirstBox_ = new QCheckBox(tr("Best first"), this);
  bestFirstBox_->setObjectName(QStringLiteral("bestFirstBox"));
  bestFirstBox_->setToolTip(tr("Full text: headwords equal to the key first, then headwords "
                               "that hold it, then the rest"));
  ui_->searchRow->insertWidget(ui_->searchRow->indexOf(ui_->exactBox) + 1, bestFirstBox_);
  ui_->windowLayout->insertWidget(ui_->windowLayout->indexOf(ui_->splitter), helpLine_);
  const QLocale japanese(QLocale::Japanese);
  for (QWidget* widget : std::initializer_list<QWidget*>{list, ui_->textPane, ui_->searchBox}) {
    widget->setLocale(japanese);
  }

  // The full-text switch's key; its text alone would leave it none.
  ui_->fullTextBox->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  LoadSettings();
  for (int i = 0; i < static_cast<int>(settings_.paths.size()); ++i) {
    dictionaries_.Add(settings_.paths[static_cast<size_t>(i)], !settings_.unsearched.contains(i));
  }
  // Files named on the command line join the saved set; one that is in it
  // already keeps its place.
  for (const QByteArray& file : files) {
    if (dictionaries_.Find(file) < 0) dictionaries_.Add(file);
  }
  ApplyFonts();
  if (settings_.geometry.isValid() && QGuiApplication::screenAt(settings_.geometry.center())) {
    setGeometry(settings_.geometry);
  } else if (settings_.geometry.isValid()) {
    resize(settings_.geometry.size());
  }
  if (settings_.splitterSizes.size() == 2) ui_->splitter->setSizes(settings_.splitterSizes);
  // A profile of before the Reading column has three widths.
  if (settings_.columnWidths.size() == kReadingWidth) {
    settings_.columnWidths << kDefaultColumnWidths[kReadingWidth];
  }
  if (settings_.columnWidths.size() != kDefaultColumnWidths.size()) {
    settings_.columnWidths = kDefaultColumnWidths;
  }
  // The history of earlier runs, newest first; the box starts empty.
  ui_->searchBox->addItems(settings_.history);
  ui_->searchBox->setCurrentIndex(-1);
  hits_->SetReadings(settings_.readings);
  ui_->actionReadings->setChecked(settings_.readings);
  ui_->fullTextBox->setChecked(settings_.fullText);
  ui_->exactBox->setChecked(settings_.exact);
  ui_->exactBox->setEnabled(settings_.fullText);
  bestFirstBox_->setChecked(settings_.bestFirst);
  bestFirstBox_->setEnabled(settings_.fullText);
  ConnectSignals();
  companion_ = new Companion(this, settings_.companion);
  ui_->menuView->addSeparator();
  ui_->menuView->addAction(companion_->ScanAction());
  ui_->menuView->addAction(companion_->PreferencesAction());
  OnDictionariesChanged();
  ApplyColumnWidths();
  ui_->searchBox->setFocus();
}

CViewerDlg::~CViewerDlg() = default;

void CViewerDlg::ConnectSignals() {
  // Every signal of the window, in one place.
  connect(ui_->searchButton, &QPushButton::clicked, this, &CViewerDlg::OnSearch);
  connect(ui_->searchBox->lineEdit(), &QLineEdit::textEdited, this, &CViewerDlg::OnKeyTyped);
  // A key chosen from the history is searched as its search goes.
  connect(ui_->searchBox, &QComboBox::textActivated, this, [this] { StartSearch(true); });
  connect(ui_->fullTextBox, &QCheckBox::toggled, this, &CViewerDlg::OnSearchModeChanged);
  connect(ui_->exactBox, &QCheckBox::toggled, this, &CViewerDlg::OnSearchModeChanged);
  connect(bestFirstBox_, &QCheckBox::toggled, this, &CViewerDlg::OnSearchModeChanged);
  for (WindowSearch* search : searches_->All()) {
    connect(search, &WindowSearch::RowsReady, this, [this, search](const auto& rows, bool replace) {
      if (search == search_) OnRows(rows, replace);
    });
    connect(search, &WindowSearch::StatusChanged, this, [this, search] {
      if (search != search_) return;
      UpdateStatus();
      const auto damaged = search->DamagedAreas();
      for (const auto& [dictionary, areas] : damaged) dictionaries_.SetDamagedAreas(dictionary, areas);
      if (!damaged.empty()) UpdateNotes();
    });
  }
  connect(helpLine_, &QLabel::linkActivated, this, &CViewerDlg::OnHelpLink);
  connect(ui_->statusLine, &QLabel::linkActivated, this, &CViewerDlg::OnShowMore);
  connect(ui_->actionOpenFile, &QAction::triggered, this, &CViewerDlg::OnFileOpen);
  connect(ui_->actionAddDictionary, &QAction::triggered, this, &CViewerDlg::OnAddDictionary);
  connect(ui_->actionDictionaries, &QAction::triggered, this, &CViewerDlg::OnDictionaries);
  connect(ui_->actionDumpHeaderInfo, &QAction::triggered, this, &CViewerDlg::OnDumpHeaderInfo);
  connect(ui_->actionExportFile, &QAction::triggered, this, &CViewerDlg::OnExportFile);
  connect(ui_->actionExportAll, &QAction::triggered, this, &CViewerDlg::OnExportAllRecords);
  connect(ui_->actionExit, &QAction::triggered, this, &QWidget::close);
  connect(ui_->actionZoomIn, &QAction::triggered, this, [this] { OnZoom(1); });
  connect(ui_->actionZoomOut, &QAction::triggered, this, [this] { OnZoom(-1); });
  connect(ui_->actionZoomReset, &QAction::triggered, this, [this] { OnZoom(0); });
  connect(ui_->actionBack, &QAction::triggered, navigation_, &EntryNavigation::Back);
  connect(ui_->actionForward, &QAction::triggered, navigation_, &EntryNavigation::Forward);
  connect(navigation_, &EntryNavigation::Show, this, &CViewerDlg::ShowHit);
  connect(navigation_, &EntryNavigation::Changed, this, [this] {
    ui_->actionBack->setEnabled(navigation_->CanGoBack());
    ui_->actionForward->setEnabled(navigation_->CanGoForward());
  });
  for (QObject* watched : {static_cast<QObject*>(this), static_cast<QObject*>(ui_->hitList->viewport()),
                           static_cast<QObject*>(ui_->textPane->viewport())}) {
    navigation_->Watch(watched);
  }
  connect(ui_->actionReadings, &QAction::toggled, this, &CViewerDlg::OnReadings);
  connect(ui_->actionFont, &QAction::triggered, this, &CViewerDlg::OnFont);
  connect(ui_->actionFocusSearch, &QAction::triggered, this, [this] {
    ui_->searchBox->setFocus(Qt::ShortcutFocusReason);
    ui_->searchBox->lineEdit()->selectAll();
  });
  if (aboutAction_ != nullptr)
    connect(aboutAction_, &QAction::triggered, this, &CViewerDlg::OnAbout);
  connect(export_, &ExportJob::Progress, this,
          [this](const ExportStats& stats) { setWindowTitle(WindowNotes::ExportTitle(stats)); });
  connect(export_, &ExportJob::Finished, this, &CViewerDlg::OnExportFinished);
  // The header forgets its section sizes when the columns change.
  connect(hits_, &QAbstractItemModel::modelReset, this, &CViewerDlg::ApplyColumnWidths);
  connect(ui_->hitList->horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int column, int, int width) {
            if (fittingColumns_) return;
            if (column == hits_->ReadingColumn()) {
              if (width > 0) settings_.columnWidths[kReadingWidth] = width;
              return;
            }
            const int* sized =
                std::find(std::begin(kSizedColumns), std::end(kSizedColumns), column);
            if (sized != std::end(kSizedColumns) && width > 0) {
              settings_.columnWidths[static_cast<int>(sized - std::begin(kSizedColumns))] = width;
            }
          });
  ui_->hitList->installEventFilter(this);                // key release
  ui_->hitList->viewport()->installEventFilter(this);    // left click
  ui_->textPane->installEventFilter(this);               // Enter
  ui_->statusLine->installEventFilter(this);             // Tab
  ui_->searchBox->lineEdit()->installEventFilter(this);  // dropped dictionaries
}

void CViewerDlg::SetUserDialogs(std::unique_ptr<UserDialogs> dialogs) {
  dialogs_ = std::move(dialogs);
}

QComboBox* CViewerDlg::SearchBox() const { return ui_->searchBox; }
QPushButton* CViewerDlg::SearchButton() const { return ui_->searchButton; }
QCheckBox* CViewerDlg::FullTextBox() const { return ui_->fullTextBox; }
QCheckBox* CViewerDlg::ExactBox() const { return ui_->exactBox; }
bool CViewerDlg::IsScanning() const { return search_ != nullptr && search_->IsRunning(); }
QTableView* CViewerDlg::HitList() const { return ui_->hitList; }
QLabel* CViewerDlg::StatusLine() const { return ui_->statusLine; }
QLabel* CViewerDlg::NoteLine() const { return ui_->noteLine; }
QPlainTextEdit* CViewerDlg::TextPane() const { return ui_->textPane; }
QSplitter* CViewerDlg::Splitter() const { return ui_->splitter; }
QAction* CViewerDlg::OpenFileAction() const { return ui_->actionOpenFile; }
QAction* CViewerDlg::AddDictionaryAction() const { return ui_->actionAddDictionary; }
QAction* CViewerDlg::DumpHeaderInfoAction() const { return ui_->actionDumpHeaderInfo; }
QAction* CViewerDlg::ExportFileAction() const { return ui_->actionExportFile; }
QAction* CViewerDlg::ExportAllAction() const { return ui_->actionExportAll; }
QAction* CViewerDlg::ExitAction() const { return ui_->actionExit; }
QAction* CViewerDlg::ReadingsAction() const { return ui_->actionReadings; }
QAction* CViewerDlg::FontAction() const { return ui_->actionFont; }
QAction* CViewerDlg::BackAction() const { return ui_->actionBack; }
QAction* CViewerDlg::ForwardAction() const { return ui_->actionForward; }

void CViewerDlg::LoadSettings() {
  Profile profile;
  profile.Load();
  settings_ = ReadSettings(profile);
}

void CViewerDlg::SaveSettings() {
  settings_.paths.clear();
  settings_.unsearched.clear();
  for (int i = 0; i < dictionaries_.Size(); ++i) {
    settings_.paths.push_back(dictionaries_.At(i).path);
    if (!dictionaries_.At(i).searched) settings_.unsearched.append(i);
  }
  settings_.history.clear();
  for (int i = 0; i < ui_->searchBox->count(); ++i) settings_.history << ui_->searchBox->itemText(i);
  settings_.geometry = normalGeometry();
  settings_.splitterSizes = ui_->splitter->sizes();
  settings_.companion = companion_->Settings();
  // Read again: another program may have written to the file meanwhile.
  Profile profile;
  profile.Load();
  WriteSettings(settings_, &profile);
  profile.Save();
}

void CViewerDlg::done(int result) {
  // A scan stops at once; its thread ends at the next record area.
  if (search_ != nullptr) search_->Cancel();
  if (IsExporting()) {
    closePending_ = true;
    export_->Cancel();
    return;
  }
  if (!settingsSaved_) {
    settingsSaved_ = true;
    SaveSettings();
  }
  QDialog::done(result);
}

void CViewerDlg::UpdateTitle() {
  const int first = dictionaries_.FirstOpen();
  if (first < 0) {
    setWindowTitle(QLatin1String(kCaption));
    return;
  }
  QString title = QLatin1String(kTitlePrefix) + dictionaries_.At(first).name;
  const int others = dictionaries_.OpenCount() - 1;
  if (others > 0) title += QStringLiteral(" (+%1)").arg(others);
  setWindowTitle(title);
}

void CViewerDlg::ApplyFonts() {
  settings_.zoom = std::clamp(settings_.zoom, kMinZoom, kMaxZoom);
  const QFont font = DataFont(FontName(), kDataFontPixels + kZoomStepPixels * settings_.zoom);
  for (QWidget* widget :
       std::initializer_list<QWidget*>{ui_->hitList, ui_->textPane, ui_->searchBox}) {
    widget->setFont(font);
  }
  ui_->hitList->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
}

void CViewerDlg::ApplyColumnWidths() {
  QHeaderView* header = ui_->hitList->horizontalHeader();
  header->setSectionResizeMode(HitListModel::kTitle, QHeaderView::Stretch);
  // The columns shown beside the title, with their remembered widths.
  QList<int> columns, widths;
  for (int i = 0; i < static_cast<int>(std::size(kSizedColumns)); ++i) {
    if (kSizedColumns[i] < hits_->columnCount() && kSizedColumns[i] != hits_->ReadingColumn()) {
      columns << kSizedColumns[i], widths << settings_.columnWidths[i];
    }
  }
  // The reading stands beside the headword.
  if (const int reading = hits_->ReadingColumn(); reading >= 0) {
    header->moveSection(header->visualIndex(reading), HitListModel::kTitle + 1);
    columns << reading, widths << settings_.columnWidths[kReadingWidth];
  }
  // In a narrow list they give up room, so that the headword keeps half of
  // it; their remembered widths stay.
  widths = FittedWidths(widths, ui_->hitList->viewport()->width() / 2);
  fittingColumns_ = true;
  for (int i = 0; i < columns.size(); ++i) header->resizeSection(columns[i], widths[i]);
  fittingColumns_ = false;
}

void CViewerDlg::OnReadings(bool shown) {
  settings_.readings = shown;
  const int row = ui_->hitList->currentIndex().row();
  hits_->SetReadings(shown);
  if (row >= 0 && row < hits_->rowCount()) SelectRow(row, false);
}

void CViewerDlg::OnFont() {
  const QString face = dialogs_->ChooseFont(this, FontName());
  if (face.isEmpty()) return;
  settings_.fontName = face.toUtf8();
  ApplyFonts();
}

void CViewerDlg::ShowHit(const Hit& hit) {
  const std::vector<Hit>& rows = hits_->Rows();
  const auto listed = std::find(rows.begin(), rows.end(), hit);
  if (listed != rows.end()) {
    SelectRow(static_cast<int>(listed - rows.begin()), false);
    return;
  }
  QString text;
  const bool named = dictionaries_.OpenCount() > 1;
  if (EntryText(dictionaries_, hit, named, &text, settings_.readings)) SetPaneText(text);
  keptByNavigation_ = true;
}

void CViewerDlg::OnZoom(int step) {
  settings_.zoom = step == 0 ? 0 : settings_.zoom + step;
  ApplyFonts();
}

void CViewerDlg::SetPaneText(const QString& text) {
  paneText_ = text;
  QPlainTextEdit* pane = ui_->textPane;
  pane->setPlainText(AsLines(text));
  pane->setExtraSelections({});
  pane->moveCursor(QTextCursor::Start);
  pane->ensureCursorVisible();
}

void CViewerDlg::OnDictionariesChanged() {
  QHash<DictionaryId, QString> names;
  for (int i = 0; i < dictionaries_.Size(); ++i) {
    names.insert(dictionaries_.At(i).id, dictionaries_.At(i).name);
  }
  hits_->SetDictionaries(names, dictionaries_.OpenCount() > 1);
  // The entries read name dictionaries by their place in the list.
  navigation_->Clear();
  UpdateTitle();
  UpdateNotes();
  UpdateCommands();
  if (searched_) StartSearch(true);
}

void CViewerDlg::UpdateNotes() {
  const QString notes = WindowNotes::StatusNotes(dictionaries_);
  ui_->noteLine->setText(notes);
  ui_->noteLine->setToolTip(notes.isEmpty() ? QString() : WindowNotes::FullNotes(dictionaries_));
}

void CViewerDlg::UpdateCommands() {
  const bool exporting = IsExporting();
  ui_->actionOpenFile->setEnabled(!exporting);
  ui_->actionExportFile->setEnabled(!exporting && IsDictionaryOpen());
  ui_->actionExportAll->setEnabled(!exporting && IsDictionaryOpen());
}

int CViewerDlg::CurrentDictionary() const {
  const QModelIndex current = ui_->hitList->currentIndex();
  if (current.isValid() && current.row() < hits_->rowCount()) {
    return dictionaries_.IndexOf(hits_->Rows()[static_cast<size_t>(current.row())].dictionary);
  }
  return dictionaries_.FirstOpen();
}

QString CViewerDlg::CurrentKey() const {
  return ui_->searchBox->currentText().left(kSearchBoxMaxChars);
}

void CViewerDlg::StartSearch(bool typed, bool plain) {
  WindowSearch* chosen = searches_->For(CurrentKey(), settings_);
  if (search_ != nullptr && search_ != chosen) search_->Reset();
  search_ = chosen;
  typed_ = typed;
  searched_ = IsDictionaryOpen();
  if (searched_) {
    const std::u16string key = CurrentKey().toStdU16String();
    plain ? search_->StartPlain(key) : search_->Start(key);
  } else {
    search_->Reset();
    hits_->Clear();
  }
  UpdateStatus();
}

void CViewerDlg::OnRows(const std::vector<Hit>& rows, bool replace) {
  if (!replace) {
    const bool wasEmpty = hits_->rowCount() == 0;
    hits_->AppendRows(rows);
    // Rows streamed while the user types leave the focus in the search box.
    if (wasEmpty && hits_->rowCount() > 0) {
      SelectRow(0, !(typed_ && search_->SearchesAsTyped()));
    }
    UpdateStatus();
    return;
  }
  const QModelIndex current = ui_->hitList->currentIndex();
  const bool hadSelection = current.isValid() && current.row() < hits_->rowCount();
  const Hit previous = hadSelection ? hits_->Rows()[static_cast<size_t>(current.row())] : Hit();
  const bool changed = hits_->SetRows(rows);
  if (hits_->rowCount() == 0) return;
  if (!typed_) {
    SelectRow(0, true);
    return;
  }
  if (!changed && hadSelection) return;
  const std::vector<Hit>& listed = hits_->Rows();
  const auto same = std::find_if(listed.begin(), listed.end(), [&](const Hit& hit) {
    return hadSelection && hit.dictionary == previous.dictionary &&
           hit.headword == previous.headword;
  });
  SelectRow(same == listed.end() ? 0 : static_cast<int>(same - listed.begin()), false);
}

void CViewerDlg::SelectRow(int row, bool focusList) {
  QTableView* list = ui_->hitList;
  const QModelIndex index = hits_->index(row, 0);
  list->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  if (row == 0) {
    list->scrollToTop();
  } else {
    list->scrollTo(index);
  }
  if (focusList) list->setFocus();
  ShowSelectedEntry();
}

void CViewerDlg::UpdateStatus() {
  const bool shown = searched_ && search_ != nullptr;
  ui_->statusLine->setText(shown ? search_->StatusText() : QString());
  const QString note = shown ? search_->NoteText() : QString();
  helpLine_->setText(note);
  helpLine_->setVisible(!note.isEmpty());
}

void CViewerDlg::OnSearch() {
  if (!IsDictionaryOpen()) return;
  const QString key = CurrentKey();
  StartSearch(false);
  AddSearchHistory(key);
}

void CViewerDlg::OnKeyTyped() {
  WindowSearch* chosen = searches_->For(CurrentKey(), settings_);
  if (chosen->SearchesAsTyped()) {
    StartSearch(true);
  } else if (IsScanning()) {
    search_->Cancel();
    UpdateStatus();
  }
}

void CViewerDlg::OnSearchModeChanged() {
  settings_.fullText = ui_->fullTextBox->isChecked();
  settings_.exact = ui_->exactBox->isChecked();
  settings_.bestFirst = bestFirstBox_->isChecked();
  ui_->exactBox->setEnabled(settings_.fullText);
  bestFirstBox_->setEnabled(settings_.fullText);
  if (!CurrentKey().isEmpty() || searched_) StartSearch(true);
}

void CViewerDlg::OnShowMore() {
  if (!searched_ || search_ == nullptr || !search_->HasMore()) return;
  search_->More();
  UpdateStatus();
}

void CViewerDlg::OnHelpLink(const QString& link) {
  const qsizetype colon = link.indexOf(QLatin1Char(':'));
  if (colon < 0) return;
  ui_->searchBox->setEditText(link.mid(colon + 1).left(kSearchBoxMaxChars));
  if (link.startsWith(QLatin1String("literal:"))) {
    StartSearch(true, true);
    return;
  }
  OnSearch();
}

void CViewerDlg::ShowSelectedEntry() {
  const QModelIndexList selected = ui_->hitList->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  int row = selected.first().row();
  for (const QModelIndex& index : selected) row = std::min(row, index.row());
  QString text;
  const bool named = dictionaries_.OpenCount() > 1;
  if (row < hits_->rowCount() && EntryText(dictionaries_, hits_->Rows()[static_cast<size_t>(row)],
                                           named, &text, settings_.readings)) {
    SetPaneText(text);
    MarkMatches(hits_->Rows()[static_cast<size_t>(row)], named);
    navigation_->Visit(hits_->Rows()[static_cast<size_t>(row)]);
  } else {
    // The old text stays; only the caret goes to its start.
    ui_->textPane->moveCursor(QTextCursor::Start);
    ui_->textPane->ensureCursorVisible();
  }
}

void CViewerDlg::MarkMatches(const Hit& hit, bool named) {
  if (search_ == nullptr) return;
  QPlainTextEdit* pane = ui_->textPane;
  QList<QTextEdit::ExtraSelection> marks;
  for (const TextRange& range : search_->Marks(hit, AsLines(paneText_), named)) {
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(pane->document());
    mark.cursor.setPosition(static_cast<int>(range.begin));
    mark.cursor.setPosition(static_cast<int>(range.end), QTextCursor::KeepAnchor);
    mark.format.setBackground(kMatchBackground);
    marks.append(mark);
  }
  pane->setExtraSelections(marks);
}

void CViewerDlg::ShowInSearch(const QString& word) {
  if (!word.isEmpty()) {
    ui_->searchBox->setEditText(word.left(kSearchBoxMaxChars));
    OnSearch();
  }
  if (isMinimized() || !isVisible()) showNormal();
  raise();
  activateWindow();
}

void CViewerDlg::AddSearchHistory(QString key) {
  if (key.isEmpty()) return;
  QComboBox* box = ui_->searchBox;
  // Exact match, letter case ignored.
  const int found = box->findText(key, Qt::MatchFixedString);
  if (found >= 0) box->removeItem(found);
  box->insertItem(0, key);
  while (box->count() > kHistoryLimit) box->removeItem(box->count() - 1);
  box->setCurrentIndex(0);
  box->setEditText(key);
}

bool CViewerDlg::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  // An entry that Back or Forward showed stays until a key is pressed in
  // the list: the release of their own keys does not bring back the row's.
  if (watched == ui_->hitList && type == QEvent::KeyPress) keptByNavigation_ = false;
  if (watched == ui_->hitList && type == QEvent::KeyRelease) {
    if (!keptByNavigation_) ShowSelectedEntry();
    return true;
  }
  if (watched == ui_->hitList->viewport() && type == QEvent::Resize) ApplyColumnWidths();
  if (watched == ui_->hitList->viewport() && type == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    ShowSelectedEntry();
    return false;  // the view finishes its own click handling
  }
  // The status line is a Tab stop only while it offers "show more".
  if (watched == ui_->statusLine && type == QEvent::FocusIn &&
      !ui_->statusLine->text().contains(QLatin1String("<a "))) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::TabFocusReason) focusNextChild();
    if (reason == Qt::BacktabFocusReason) focusPreviousChild();
    return false;
  }
  // Its one link is its one stop: Tab goes on to the next control.
  if (watched == ui_->statusLine && type == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Tab) return focusNextChild(), true;
    if (key == Qt::Key_Backtab) return focusPreviousChild(), true;
  }
  // The pane is read-only: Enter there neither searches nor does anything.
  if (watched == ui_->textPane && type == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
  }
  // Dictionaries dropped on the search box are added, not typed in.
  if (watched == ui_->searchBox->lineEdit() &&
      (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)) {
    auto* drop = static_cast<QDropEvent*>(event);
    if (!DroppedDictionaries(drop->mimeData()).empty()) {
      if (type == QEvent::Drop) dropEvent(drop);
      drop->acceptProposedAction();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CViewerDlg::keyPressEvent(QKeyEvent* event) {
  // Esc stops a running scan; otherwise it does what it always did.
  if (event->key() == Qt::Key_Escape && IsScanning()) {
    search_->Cancel();
    UpdateStatus();
    return;
  }
  if (event->key() == Qt::Key_Escape && IsExporting()) {
    if (dialogs_->Ask(this, tr("Cancel the export?"))) export_->Cancel();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CViewerDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedDictionaries(event->mimeData()).empty()) event->acceptProposedAction();
}

void CViewerDlg::dropEvent(QDropEvent* event) {
  AddDictionaries(DroppedDictionaries(event->mimeData()));
  event->acceptProposedAction();
}

void CViewerDlg::OnAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CViewerDlg::AddDictionaries(const std::vector<QByteArray>& paths) {
  QStringList failures;
  for (const QByteArray& path : paths) {
    if (const int first = dictionaries_.Find(path); first >= 0) {
      failures << WindowNotes::AlreadyOpen(QFile::decodeName(path),
                                           QFile::decodeName(dictionaries_.At(first).path));
      continue;
    }
    if (dictionaries_.Add(path)) continue;
    const Dictionary& failed = dictionaries_.At(dictionaries_.Size() - 1);
    failures << WindowNotes::OpenFailure(QFile::decodeName(path), failed.errorCode, failed.error);
    dictionaries_.Remove(dictionaries_.Size() - 1);
  }
  OnDictionariesChanged();
  if (!failures.isEmpty()) dialogs_->Warn(this, failures.join(QStringLiteral("\n\n")));
}

void CViewerDlg::OnFileOpen() {
  if (IsExporting()) return;
  FileRequest request;
  request.mode = FileRequest::Mode::kOpen;
  request.initialName = QStringLiteral("*.DIC");
  request.nameFilters = DictionaryFilters();
  // A cancel changes nothing; a file chosen takes the place of them all.
  const QString chosen = dialogs_->ChooseFile(this, request);
  if (chosen.isEmpty()) return;
  dictionaries_.Clear();
  AddDictionaries({QFile::encodeName(chosen)});
}

void CViewerDlg::OnAddDictionary() {
  FileRequest request;
  request.mode = FileRequest::Mode::kOpen;
  request.initialName = QStringLiteral("*.DIC");
  request.nameFilters = DictionaryFilters();
  request.caption = tr("Add dictionary");
  const QString chosen = dialogs_->ChooseFile(this, request);
  if (!chosen.isEmpty()) AddDictionaries({QFile::encodeName(chosen)});
}

std::unique_ptr<CDictionariesDlg> CViewerDlg::MakeDictionariesDialog() {
  auto dialog = std::make_unique<CDictionariesDlg>(dictionaries_, this);
  CDictionariesDlg* raw = dialog.get();
  connect(raw, &CDictionariesDlg::Changed, this, &CViewerDlg::OnDictionariesChanged);
  connect(raw, &CDictionariesDlg::AddRequested, this, [this, raw] {
    OnAddDictionary();
    raw->Refill(dictionaries_.Size() - 1);
  });
  return dialog;
}

void CViewerDlg::OnDictionaries() { MakeDictionariesDialog()->exec(); }

void CViewerDlg::OnDumpHeaderInfo() {
  const int d = CurrentDictionary();
  const DicHeader header = d >= 0 ? dictionaries_.At(d).reader->GetHeader() : DicHeader();
  std::vector<char> report(kReportCapacity, 0);
  DumpHeaderInfo(header, report.data(), kReportCapacity);
  QString text = QString::fromLatin1(report.data());  // the report is ASCII
  if (d >= 0 && dictionaries_.OpenCount() > 1) {
    text.prepend(QStringLiteral("— %1 —\r\n").arg(dictionaries_.At(d).name));
  }
  SetPaneText(text);
}

void CViewerDlg::OnExportFile() { StartExport(kExportStopAfterEntry); }

void CViewerDlg::OnExportAllRecords() { StartExport(-1); }

void CViewerDlg::StartExport(int32_t stopAfterEntry) {
  const int d = CurrentDictionary();
  if (IsExporting() || d < 0) return;
  FileRequest request;
  request.mode = FileRequest::Mode::kSave;
  request.initialName = QStringLiteral("*.txt");
  request.nameFilters = TextFileFilters();
  request.caption = tr("Export %1").arg(dictionaries_.At(d).name);
  const QString target = dialogs_->ChooseFile(this, request);
  if (target.isEmpty()) return;
  const QByteArray bytes = QFile::encodeName(target);
  if (dictionaries_.IsDictionaryFile(bytes)) {
    dialogs_->Warn(this, tr("%1 is a dictionary that is open here; the export would overwrite "
                            "it. Choose another file.")
                             .arg(target));
    return;
  }
  exportTarget_ = target;
  ExportOptions options;
  options.stopAfterEntry = stopAfterEntry;
  export_->Start(dictionaries_.At(d).reader->Source(), bytes, options);
  UpdateCommands();
}

void CViewerDlg::OnExportFinished(const Status& result, const ExportStats& stats) {
  // "Cancel the export?" has nothing left to ask about.
  dialogs_->CloseQuestion();
  UpdateTitle();
  UpdateCommands();
  if (closePending_) {
    close();
    return;
  }
  if (result.IsOk() && stats.stoppedByRule) {
    dialogs_->Tell(this, tr("%1 of %2 records written; this export ends after index entry %3.")
                                 .arg(Thousands(stats.written), Thousands(stats.nword),
                                      Thousands(kExportStopAfterEntry)) +
                             QLatin1Char('\n') +
                             tr("File > Export all records… writes every record."));
  } else if (result.IsOk()) {
    dialogs_->Tell(this, WindowNotes::ExportDone(stats, exportTarget_));
  } else if (result.Code() != StatusCode::kCancelled) {
    dialogs_->Warn(
        this,
        tr("The export to %1 failed: %2").arg(exportTarget_, QString::fromStdString(result.Message())));
  }
}

}  // namespace kebu::viewer
