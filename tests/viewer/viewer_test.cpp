// The window, driven as a user would on the offscreen platform: start-up and
// the profile, searching, the list and the pane, several dictionaries, the
// layout, the translation, the export and the full-text scan on their worker
// threads. Each test
// has a profile folder of its own (XDG_CONFIG_HOME), dictionaries from the
// writer and dialogs answered from a script.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>
#include <QtWidgets>
#include <deque>
#include <sstream>
#include <thread>

#include "dictionary/header_report.h"
#include "dictionary/dic_lookup.h"
#include "search/text_scan.h"
#include "tests/support/test_support.h"
#include "viewer/about_dlg.h"
#include "viewer/dictionaries_dlg.h"
#include "viewer/hit_list_model.h"
#include "viewer/viewer_app.h"
#include "viewer/viewer_dlg.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << text.toStdString(); }
QT_END_NAMESPACE

namespace kebu::viewer::testing {
namespace {

using namespace kebu::testing;

template <typename T>
T Take(std::deque<T>& list, T none) {
  if (!list.empty()) none = list.front(), list.pop_front();
  return none;
}

// Answers from lists (no file is a cancel, no answer a No, or onAsk's);
// keeps what was asked and told, warnings marked "! ".
struct ScriptedDialogs : UserDialogs {
  QString ChooseFile(QWidget* window, const FileRequest&) override {
    openWhileAsked.push_back(static_cast<CViewerDlg*>(window)->IsDictionaryOpen());
    return Take(files, QString());
  }
  bool Ask(QWidget*, const QString& question) override {
    asked << question;
    return onAsk ? onAsk() : Take(answers, false);
  }
  void Tell(QWidget*, const QString& message) override { told << message; }
  void Warn(QWidget*, const QString& message) override { told << "! " + message; }
  void CloseQuestion() override { questionClosed = true; }
  QString ChooseFont(QWidget*, const QString& current) override {
    return fonts << current, Take(files, QString());
  }
  std::deque<QString> files;
  std::deque<bool> answers;
  std::function<bool()> onAsk;
  bool questionClosed = false;
  QStringList fonts;  // the faces the font chooser started at
  std::vector<bool> openWhileAsked;
  QStringList asked, told;
};

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override { NewProfile(); }
  void TearDown() override { Close(); }
  void NewProfile(const std::string& text = {}) {
    Close();
    config_ = std::make_unique<TempDir>();
    qputenv("XDG_CONFIG_HOME", config_->path().c_str());
    std::filesystem::create_directories(config_->path() / "kebumini");
    if (!text.empty()) WriteFile(config_->path() / "kebumini/kebumini.ini", text);
  }
  std::string Profile() const { return ReadText(config_->path() / "kebumini/kebumini.ini"); }
  bool ProfileBegins(const QByteArray& t) const { return Profile().rfind(t.toStdString(), 0) == 0; }
  // A dictionary in the test's folder; returns its path.
  QByteArray Dic(std::vector<Record> records, const std::string& name = "fruit.dic",
                 Options options = {}) {
    WriteFile(files_.File(name), MakeDictionary(std::move(records), options).bytes);
    return QByteArray::fromStdString(files_.File(name));
  }
  QString Path(const std::string& name) const { return QString::fromStdString(files_.File(name)); }
  CViewerDlg& Open(std::vector<QByteArray> files = {}) {
    window_ = std::make_unique<CViewerDlg>(nullptr, std::move(files));
    window_->SetUserDialogs(std::unique_ptr<UserDialogs>(dialogs_ = new ScriptedDialogs));
    window_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    return *window_;
  }
  void Close() { window_ ? window_->close() : false, window_.reset(); }
  // Types `text` at the end of the search box, one key event a character.
  void Type(const QString& text) {
    window_->SearchBox()->setFocus();
    for (QChar ch : text) {
      QTest::sendKeyEvent(QTest::Click, window_->SearchBox()->lineEdit(), Qt::Key_unknown, ch, {});
    }
  }
  void Search(const QString& key) {
    window_->SearchBox()->lineEdit()->clear();
    Type(key);
    QTest::keyClick(window_->SearchBox()->lineEdit(), Qt::Key_Return);
  }
  // The rows as "No.|title|L" (and "|Dictionary" when shown; "|Reading" with `reading`).
  QStringList Rows(bool reading = false) const {
    const HitListModel& model = *window_->Hits();
    QStringList rows;
    for (int r = 0; r < model.rowCount(); ++r) {
      QStringList cells;
      for (int c = 0; c < model.columnCount(); ++c) {
        if (reading || c != model.ReadingColumn()) cells << model.index(r, c).data().toString();
      }
      rows << cells.join(QLatin1Char('|'));
    }
    return rows;
  }
  int Row() const { return window_->HitList()->currentIndex().row(); }
  QPoint RowCentre(int row) const {
    return window_->HitList()->visualRect(window_->Hits()->index(row, 1)).center();
  }
  bool PaneShows(const QString& w) const { return window_->PaneText().startsWith(w + "\r\n"); }
  bool ScanEnds() const { return QTest::qWaitFor([&] { return !window_->IsScanning(); }); }
  // The rows of a full-text search as the core finds them: ScanText over the checked dictionaries.
  QStringList CoreRows(const QString& query, bool exact = false) const {
    QStringList rows;
    const DictionaryList& list = window_->Dictionaries();
    for (int d = 0; d < list.Size(); ++d) {
      if (!list.At(d).searched || !list.At(d).IsOpen()) continue;
      const auto source = list.At(d).reader->Source();
      DicLookup texts(source);
      RecordText t;
      (void)ScanText(source, query.toStdU16String(), {.exact = exact}, [&](const TextHit& hit) {
        texts.GetHit(hit.position, &t);
        const auto headword = QStringView(DisplayHeadword(t.headword, source->versionMajor));
        const QString attribute = t.attribute ? QString::number(t.attribute) : "";
        rows << QString("%1|%2|%3").arg(rows.size() + 1).arg(headword, attribute) +
                    (list.OpenCount() > 1 ? "|" + list.At(d).name : "");
        return rows.size() < kWindowHitLimit;
      });
    }
    return rows.mid(0, kWindowHitLimit);
  }

  std::unique_ptr<TempDir> config_;
  TempDir files_;
  std::unique_ptr<CViewerDlg> window_;
  ScriptedDialogs* dialogs_ = nullptr;
};

// A small code page 932 dictionary: "ap" finds four words.
std::vector<Record> FruitWords() {
  return {{.headword = "app", .translation = "アプリ"},
          {.headword = "apple", .translation = "りんご", .example = "She cut it.", .attribute = 1},
          {.headword = "apple pie", .translation = "アップルパイ"},
          {.headword = "apply", .translation = "適用する", .attribute = 12},
          {.headword = "banana", .translation = "バナナ", .example = "黄色い果物"},
          {.headword = "日本語", .translation = "Japanese"}};
}

// Words w00000, w00001... translated 訳0, 訳1...
std::vector<Record> ManyWords(int count) {
  std::vector<Record> records;
  for (int i = 0; i < count; ++i) {
    records.push_back({.headword = QString::asprintf("w%05d", i).toStdString(),
                       .translation = "訳" + std::to_string(i)});
  }
  return records;
}

// The export of `path` as the core itself writes it.
std::string ReferenceExport(const QByteArray& path, const std::string& out, int32_t stop = 10000) {
  DicReader reader;
  EXPECT_TRUE(reader.Open(path.toStdString()).IsOk());
  EXPECT_TRUE(ExportPlainText(reader.Source(), out, {}, {.stopAfterEntry = stop}).IsOk());
  return ReadText(out);
}

// Whether the lines of `part` stand in `text` in their order.
bool LinesSurvive(const std::string& part, const std::string& text) {
  size_t at = 0;
  std::istringstream lines(part);
  for (std::string line; std::getline(lines, line) && at != std::string::npos;) {
    at = text.find(line + "\n", at);
  }
  return at != std::string::npos;
}

TEST_F(ViewerTest, StartReadsTheProfileAsWrittenKeepsMissingDictionariesAndAllLines) {
  const std::string fruit = Dic(FruitWords()).toStdString(), fifo = files_.File("fifo.dic");
  const std::string odd = Dic(FruitWords(), "my\\dic.dic").toStdString();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // The profile written by hand; the title, the error of each dictionary (empty: open),
  // SearchWordList and the face as read; the lines after the run (empty: those written).
  using Case = std::tuple<std::string, QString, QStringList, QString, QString, std::string>;
  // clang-format off
  for (const auto& [profile, title, errors, words, face, after] : std::vector<Case>{
      {"", "KEBU mini", {}, "", "MS UI Gothic",
       "[Globals]\nFilePath=\nSearchWordList=\nfontName=MS UI Gothic\n"},
      {"[Globals]\r\nFilePath=" + odd + "\r\nSearchWordList=C:\\dic\\new\r\n", "KEBU mini - dic.dic",
       {""}, "C:\\dic\\new", "MS UI Gothic", ""},
      // Refused at once: the window appears.
      {"[Globals]\nFilePath=" + fifo + "\n", "KEBU mini", {"is a FIFO, not a dictionary file"}, "",
       "MS UI Gothic", ""},
      {"[Globals]\nFilePath=/no/such.dic\nMoreFilePaths=" + fruit + "|" + fruit + "\n",
       "KEBU mini - fruit.dic (+1)", {"No such file or directory", "", ""}, "", "MS UI Gothic", ""},
      {"; mine\n[Other]\nx=\"1\"\n[globals]\nSearchWordList=apple, pear;kiwi\n"
       "fontName=\"Noto Sans, Bold\"\n[Last]\ny=2\n", "KEBU mini", {}, "apple, pear;kiwi",
       "Noto Sans, Bold", ""},
      {"[Globals]\nSearchWordList=  りんご;梨 \"x\"\nfontName=ＭＳ ゴシック\n", "KEBU mini", {},
       "りんご;梨 \"x\"", "ＭＳ ゴシック", ""}}) {
    // clang-format on
    SCOPED_TRACE(profile);
    NewProfile(profile);
    CViewerDlg& window = Open();
    EXPECT_EQ(window.windowTitle(), title);
    QStringList found;
    for (int i = 0; i < window.Dictionaries().Size(); ++i) {
      found << window.Dictionaries().At(i).error;
    }
    EXPECT_EQ(found, errors);
    EXPECT_EQ(window.SearchWordList(), words);
    EXPECT_EQ(window.TextPane()->font().families().value(0), face);
    EXPECT_EQ(window.focusWidget(), window.SearchBox());
    Close();
    EXPECT_TRUE(LinesSurvive(after.empty() ? profile : after, Profile())) << Profile();
    EXPECT_EQ(Profile().find("MoreFilePaths"), profile.find("MoreFilePaths"));
  }
}

TEST_F(ViewerTest, SearchListsTheHitsSelectsTheFirstAndShowsIt) {
  CViewerDlg& window = Open({Dic(FruitWords())});
  const QString apple = "apple\r\nりんご\r\nShe cut it.\r\n", link = "<a href=\"%1:%2\">%2</a>";
  // key, rows, pane, status, the note under the search box
  using Case = std::tuple<QString, QStringList, QString, QString, QString>;
  // clang-format off
  for (const auto& [key, rows, pane, status, note] : std::vector<Case>{
      {"ap", {"1|app|", "2|apple|1", "3|apple pie|", "4|apply|12"}, "app\r\nアプリ\r\n", "4 hits", ""},
      {"appl", {"1|apple|1", "2|apple pie|", "3|apply|12"}, apple, "3 hits", ""},
      {"ap*e", {"1|apple|1", "2|apple pie|"}, apple, "pattern — 2 hits", ""},
      {"?pp", {"1|app|"}, "app\r\nアプリ\r\n", "pattern — 1 hit", ""},
      {"apples", {"1|apple|1"}, apple, "1 hit",  // its dictionary form
       "No entry for " + link.arg("literal", "apples") + "; showing apple"},
      {"日本", {"1|日本語|"}, "日本語\r\nJapanese\r\n", "1 hit", ""},
      {"appel", {}, "app\r\nアプリ\r\n", "0 hits",  // the pane keeps the entry typing showed
       "Did you mean: " + link.arg("search", "apple") + ", " + link.arg("search", "app") + ", " +
       link.arg("search", "apply")},
      {"ap\\*", {}, "app\r\nアプリ\r\n", "0 hits", ""},  // an escaped star is no pattern
      {"zebra", {}, "app\r\nアプリ\r\n", "0 hits", ""}}) {
    // clang-format on
    SCOPED_TRACE(key.toStdString());
    Search(key);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.HelpLine()->text() == note && ScanEnds(); }))
        << window.HelpLine()->text().toStdString();
    EXPECT_EQ(window.HelpLine()->isVisible(), !note.isEmpty());
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(Row(), rows.isEmpty() ? -1 : 0);
    EXPECT_EQ(window.focusWidget(),
              rows.isEmpty() ? static_cast<QWidget*>(window.SearchBox()) : window.HitList());
    EXPECT_EQ(window.PaneText(), pane);
    EXPECT_EQ(window.TextPane()->textCursor().position(), 0);
    EXPECT_EQ(window.StatusLine()->text(), status);
  }
  // The history: newest first, a key that differs only in letter case replaced.
  Search("AP");
  Search("ap");
  QStringList history;
  for (int i = 0; i < window.SearchBox()->count(); ++i) history << window.SearchBox()->itemText(i);
  EXPECT_EQ(history, (QStringList{"ap", "zebra", "ap\\*", "appel", "日本", "apples", "?pp", "ap*e",
                                  "appl"}));
  // Left click and key release show an entry; a right click and Enter in the pane do not.
  QTableView* list = window.HitList();
  for (const auto& [act, headword] : std::vector<std::pair<std::function<void()>, QString>>{
           {[&] { QTest::mouseClick(list->viewport(), Qt::RightButton, {}, RowCentre(2)); }, "app"},
           {[&] { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowCentre(2)); },
            "apple pie"},
           {[&] { QTest::keyPress(list, Qt::Key_Down); }, "apple pie"},
           {[&] { QTest::keyRelease(list, Qt::Key_Down); }, "apply"},
           {[&] { QTest::keyClick(window.TextPane(), Qt::Key_Return); }, "apply"}}) {
    act();
    EXPECT_TRUE(PaneShows(headword)) << window.PaneText().toStdString();
  }
  EXPECT_EQ(Row(), 3);
  EXPECT_EQ(window.SearchBox()->count(), 9);
  // The note's links: a suggestion is searched; the key of the forms is searched as typed.
  for (const auto& [key, clicked, rows] :
       {std::tuple("appel", "search:apple", QStringList{"1|apple|1", "2|apple pie|"}),
        std::tuple("apples", "literal:apples", QStringList{})}) {
    Search(key);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.HelpLine()->isVisible(); }));
    emit window.HelpLine()->linkActivated(clicked);
    QTest::qWait(50);
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(window.SearchBox()->currentText(), QString(clicked).section(':', 1));
    EXPECT_FALSE(window.HelpLine()->isVisible());
  }
}

TEST_F(ViewerTest, ReadingsShowInTheListAndUnderTheHeadwordAndOffGiveTheOriginalPane) {
  CViewerDlg& window = Open({Dic({{.headword = "鉄", .translation = "iron", .pronunciation = "かね"},
                                  {.headword = "鉄", .translation = "iron", .pronunciation = "くろがね"},
                                  {.headword = "鉄", .translation = "iron", .pronunciation = "てつ"},
                                  {.headword = "鉄道", .translation = "railway", .pronunciation = "てつどう"},
                                  {.headword = "鉄板", .translation = "iron plate", .attribute = 2}})});
  Search("鉄");
  EXPECT_EQ(Rows(true), (QStringList{"1|鉄||かね", "2|鉄||くろがね", "3|鉄||てつ", "4|鉄道||てつどう",
                                     "5|鉄板|2|"}));
  const int reading = window.Hits()->ReadingColumn();
  EXPECT_EQ(window.HitList()->horizontalHeader()->visualIndex(reading), 2);
  EXPECT_EQ(window.Hits()->headerData(reading, Qt::Horizontal).toString(), "Reading");
  // The pane of each row with readings on, then off (the original pane, byte for byte).
  using Case = std::tuple<int, QString, QString>;
  for (const auto& [row, on, off] : std::vector<Case>{
           {3, "鉄道\r\n[てつどう]\r\nrailway\r\n", "鉄道\r\nrailway\r\n"},
           {4, "鉄板\r\niron plate\r\n", "鉄板\r\niron plate\r\n"}}) {
    window.HitList()->selectRow(row);
    window.ShowSelectedEntry();
    EXPECT_EQ(window.PaneText(), on);
    window.ReadingsAction()->trigger();
    EXPECT_EQ(window.PaneText(), off);
    EXPECT_EQ(Rows(true).value(row), Rows().value(row));  // no Reading column
    window.ReadingsAction()->trigger();
  }
  window.ReadingsAction()->trigger();
  Close();
  EXPECT_NE(Profile().find("ShowReadings=0\n"), std::string::npos);
  EXPECT_FALSE(Open().ReadingsAction()->isChecked());
}

TEST_F(ViewerTest, BackAndForwardGoThroughTheEntriesReadByKeysAndMouseButtons) {
  CViewerDlg& window = Open({Dic(FruitWords())});
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  Search("ap");  // app
  QTest::mouseClick(window.HitList()->viewport(), Qt::LeftButton, {}, RowCentre(2));  // apple pie
  Search("ban");  // banana
  QWidget* pane = window.TextPane()->viewport();
  using Step = std::pair<std::function<void()>, QString>;  // act, the entry shown after it
  for (const auto& [act, shown] : std::vector<Step>{
           {[&] { QTest::keyClick(window.HitList(), Qt::Key_Left, Qt::AltModifier); }, "apple pie"},
           {[&] { QTest::mouseClick(pane, Qt::BackButton); }, "app"},
           {[&] { QTest::mouseClick(pane, Qt::BackButton); }, "app"},  // the first: no further
           {[&] { QTest::keyClick(window.SearchBox(), Qt::Key_Right, Qt::AltModifier); }, "apple pie"},
           {[&] { QTest::mouseClick(window.HitList()->viewport(), Qt::ForwardButton); }, "banana"},
           {[&] { window.BackAction()->trigger(), window.BackAction()->trigger(); }, "app"},
           {[&] { QTest::mouseClick(window.HitList()->viewport(), Qt::LeftButton, {}, RowCentre(0)); },
            "banana"},  // the only row of "ban": the way ahead is dropped
           {[&] { window.ForwardAction()->trigger(); }, "banana"}}) {
    act();
    EXPECT_TRUE(PaneShows(shown)) << window.PaneText().toStdString();
  }
  EXPECT_TRUE(window.BackAction()->isEnabled() && !window.ForwardAction()->isEnabled());
}

TEST_F(ViewerTest, TypingFollowsEachKeyKeepsTheSelectionAndLeavesTheHistory) {
  CViewerDlg& window = Open({Dic(FruitWords())});
  QSignalSpy resets(window.Hits(), &QAbstractItemModel::modelReset);
  Type("a");
  // The row selected before typing; the selected row, resets and entry afterwards.
  using Step = std::tuple<int, QString, int, int, QString>;
  for (const auto& [select, key, row, resetCount, pane] :
       std::vector<Step>{{1, "p", 1, 0, "apple"},     // the same rows: no reset
                         {3, "pl", 2, 1, "apply"},    // apply moves up and stays selected
                         {1, "y", 0, 2, "apply"}}) {  // apple pie is gone
    SCOPED_TRACE(key.toStdString());
    window.HitList()->selectRow(select);
    window.ShowSelectedEntry();
    Type(key);
    EXPECT_EQ(Row(), row);
    EXPECT_EQ(resets.count(), resetCount);
    EXPECT_TRUE(PaneShows(pane));
    EXPECT_EQ(window.focusWidget(), window.SearchBox());
  }
  EXPECT_EQ(window.SearchBox()->count(), 0);
  QTest::keyClick(window.SearchBox()->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(window.SearchBox()->itemText(0), "apply");
  // The box takes 255 characters; the keys typed beyond them are not taken.
  window.SearchBox()->lineEdit()->clear();
  Type(QString(300, u'a'));
  EXPECT_EQ(window.SearchBox()->currentText(), QString(255, u'a'));
}

TEST_F(ViewerTest, ConcurrentCountOrScanOfACutListGivesTheTotalAndShowsMoreANewKeyOrEscCancels) {
  CViewerDlg& window = Open({Dic(ManyWords(10050), "many.dic")});
  DicReader& reader = *window.Dictionaries().At(0).reader;
  for (const auto& [fullText, key, kind, shown] :
       {std::tuple(false, "w*", "pattern — ", ""), std::tuple(false, "w", "", ""),
        std::tuple(true, "w", "", " shown")}) {
    window.FullTextBox()->setChecked(fullText);
    Search(key);  // the count or the scan runs on a worker thread while this one looks up
    EXPECT_TRUE(QTest::qWaitFor([&] {
      EXPECT_EQ(reader.Lookup(u"w0001", false, 100).count, 10u);
      return window.StatusLine()->text().contains("10,050") && !window.IsScanning();
    }));
    EXPECT_EQ(window.StatusLine()->text(),
              kind + QString("10,000 of 10,050 hits%1 — <a href=\"more\">show more</a>").arg(shown));
    EXPECT_EQ(Rows(), CoreRows("w"));
    // A row names its record by position: the lookup of another key on the
    // same reader meanwhile does not change what it shows.
    window.HitList()->selectRow(5);
    window.ShowSelectedEntry();
    EXPECT_TRUE(PaneShows("w00005")) << window.PaneText().toStdString();
    window.HitList()->selectRow(9999);
    emit window.StatusLine()->linkActivated("more");
    EXPECT_TRUE(ScanEnds());
    EXPECT_EQ(Rows().mid(9999, 2) << Rows().back(),
              (QStringList{"10000|w09999|", "10001|w10000|", "10050|w10049|"}));
    EXPECT_EQ(Row(), 9999);
    EXPECT_EQ(window.StatusLine()->text(), kind + QString("10,050 hits"));
  }
  Search("訳");  // a new key cancels the scan at once: nothing of it comes in after
  Search("w0001");
  EXPECT_TRUE(ScanEnds());
  QTest::qWait(100);
  EXPECT_EQ(Rows(), CoreRows("w0001"));
  Search("訳");  // Esc stops a scan and leaves the window; then it closes the window as before
  QTest::keyClick(&window, Qt::Key_Escape);
  QTest::qWait(100);
  EXPECT_TRUE(Rows().isEmpty() && window.isVisible());
  EXPECT_EQ(window.StatusLine()->text(), "0 hits so far — cancelled");
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
  EXPECT_NE(Profile().find("SearchMode=fulltext\n"), std::string::npos) << Profile();
  EXPECT_TRUE(Open().FullTextBox()->isChecked());
}

TEST_F(ViewerTest, SeveralDictionariesAreSearchedInTheirOrderAndRemembered) {
  const QByteArray a = Dic(FruitWords()),
                   c = Dic({{.headword = "apex", .translation = "頂"}}, "c.dic");
  const QByteArray b = Dic({{.headword = V6Headword("Apricot"), .translation = "杏"}}, "b.dic",
                           {.version = 0x0600, .encoding = Encoding::kBocu1});
  CViewerDlg& window = Open({a, b});
  Search("ap");
  EXPECT_EQ(window.PaneText(), "— fruit.dic —\r\napp\r\nアプリ\r\n");
  auto dialog = window.MakeDictionariesDialog();
  dialogs_->files = {QString(c)};
  // clang-format off
  const auto fruit = [](int n) {  // the four rows of fruit.dic, numbered from n
    QStringList rows{"app|", "apple|1", "apple pie|", "apply|12"};
    for (QString& row : rows) row = QString("%1|%2|fruit.dic").arg(n++).arg(row);
    return rows;
  };
  for (const auto& [act, rows] : std::vector<std::pair<std::function<void()>, QStringList>>{
      {[] {}, fruit(1) << "5|Apricot||b.dic"},
      {[&] { dialog->Table()->item(1, 0)->setCheckState(Qt::Unchecked); }, fruit(1)},
      {[&] { dialog->AddButton()->click(); }, fruit(1) << "5|apex||c.dic"},
      {[&] { dialog->UpButton()->click(), dialog->UpButton()->click(); },
       QStringList{"1|apex||c.dic"} + fruit(2)},
      {[&] { dialog->Table()->selectRow(1), dialog->RemoveButton()->click(); }, {"1|apex||c.dic"}}}) {
    // clang-format on
    act();
    EXPECT_EQ(Rows(), rows);
  }
  window.HitList()->selectRow(0);
  window.OnDumpHeaderInfo();
  EXPECT_TRUE(window.PaneText().startsWith("— c.dic —\r\n"));
  dialog.reset();
  Close();
  const QByteArray list = "FilePath=" + c + "\nMoreFilePaths=" + b + "\nUnsearchedDictionaries=2\n";
  EXPECT_NE(Profile().find(list.toStdString()), std::string::npos) << Profile();
  std::filesystem::remove(c.toStdString());
  dialog = Open().MakeDictionariesDialog();
  EXPECT_EQ(dialog->Table()->item(0, 2)->text(), "missing: No such file or directory");
  EXPECT_EQ(dialog->Table()->item(1, 0)->checkState(), Qt::Unchecked);
  EXPECT_EQ(dialog->Table()->item(1, 2)->text(), "1");
  EXPECT_EQ(window_->windowTitle(), "KEBU mini - b.dic");
}

TEST_F(ViewerTest, MissingDictionariesAndDamagePassedOverAreToldInTheStatusLineAndInFull) {
  const QByteArray cut = Dic(ManyWords(3000), "cut.dic", {.block_size = 64, .recordsPerArea = 1});
  NewProfile(("[Globals]\nFilePath=/no/such.dic\nMoreFilePaths=" + cut + "\n").toStdString());
  CViewerDlg& window = Open();
  EXPECT_EQ(window.NoteLine()->text(), "missing: such.dic");
  std::filesystem::resize_file(cut.toStdString(), std::filesystem::file_size(cut.toStdString()) / 2);
  window.FullTextBox()->setChecked(true);
  Search("訳");
  EXPECT_TRUE(ScanEnds());
  TextScanStats stats;
  (void)ScanText(window.Dictionaries().At(1).reader->Source(), u"訳", {}, [](const TextHit&) { return true; }, &stats);
  ASSERT_GT(stats.skippedAreas, 0);
  const QString areas = Thousands(stats.skippedAreas);
  EXPECT_EQ(window.NoteLine()->text(), "missing: such.dic · cut.dic: " + areas + " damaged record areas passed over");
  EXPECT_EQ(window.MakeDictionariesDialog()->Notes()->text(),
            "/no/such.dic is missing: No such file or directory\n" + cut +
                ": the last full-text search passed over " + areas +
                " damaged record areas; their records were not searched.");
}

TEST_F(ViewerTest, CommandLineFilesAndDropsJoinTheSetOpenFileReplacesItACancelKeepsIt) {
  const QByteArray odd = Dic(FruitWords(), "w\xff.dic"), other = Dic(FruitWords(), "b.DIC");
  const QByteArray third = Dic(FruitWords(), "c.dic"), broken = QByteArray::fromStdString(files_.File("broken.dic"));
  std::filesystem::create_symlink(other.toStdString(), files_.File("link.dic"));
  WriteFile(broken.toStdString(), std::string(100, '\0'));
  DicReader reader;
  const QString why = QString::fromStdString(reader.Open(broken.toStdString()).Message());
  // The first start with a saved set: the command line adds what is not in it.
  const QByteArray saved = "FilePath=" + other + "\nMoreFilePaths=" + odd + "|" + third;
  NewProfile(("[Globals]\nFilePath=" + other + "\nMoreFilePaths=" + odd +
              "\nUnsearchedDictionaries=2\n").toStdString());
  CViewerDlg& window = Open({odd, third});
  EXPECT_EQ(window.windowTitle(), "KEBU mini - b.DIC (+2)");
  EXPECT_FALSE(window.Dictionaries().At(1).searched);
  // Dropped: the same file under another name, a text file and a non-dictionary.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(Path("link.dic")), QUrl::fromLocalFile(Path("a.txt")),
                QUrl::fromLocalFile(QString(broken))});
  QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  EXPECT_EQ(window.Dictionaries().Size(), 3);
  EXPECT_EQ(dialogs_->told, QStringList{"! " + Path("link.dic") + " is in the list already, as " +
                                        other + ".\n\n" + broken +
                                        " is not a KEBU dictionary.\n" + why});
  // A cancelled Open file changes nothing, in the window and in the profile.
  window.OpenFileAction()->trigger();
  EXPECT_EQ(window.windowTitle(), "KEBU mini - b.DIC (+2)");
  Close();
  EXPECT_NE(Profile().find((saved + "\nUnsearchedDictionaries=2\n").toStdString()), std::string::npos);
  // A file chosen replaces them, opened or not.
  CViewerDlg& again = Open();
  using Step = std::tuple<QString, QString, qsizetype>;  // answer, title, messages so far
  for (const auto& [answer, title, told] : std::vector<Step>{
           {QString(broken), "KEBU mini", 1}, {QString(other), "KEBU mini - b.DIC", 1}}) {
    dialogs_->files = {answer};
    again.OpenFileAction()->trigger();
    EXPECT_EQ(again.windowTitle(), title);
    EXPECT_EQ(dialogs_->told.size(), told);
    EXPECT_EQ(again.ExportFileAction()->isEnabled(), again.IsDictionaryOpen());
  }
  EXPECT_EQ(dialogs_->openWhileAsked, (std::vector<bool>{true, false}));
  Close();
  EXPECT_TRUE(ProfileBegins("[Globals]\nFilePath=" + other + "\nMoreFilePaths=\n")) << Profile();
}

TEST_F(ViewerTest, GeometryColumnsTextSizeFontAndHistoryComeBackSearchWordListUntouched) {
  NewProfile("[Globals]\nSearchWordList=a|b;c\n");
  const QByteArray dic = Dic(FruitWords());
  CViewerDlg& first = Open({dic, Dic(FruitWords(), "b.dic")});
  EXPECT_EQ(first.size(), QSize(446, 500));
  first.setGeometry(40, 50, 900, 600);
  first.Splitter()->setSizes({300, 200});
  first.HitList()->horizontalHeader()->resizeSection(HitListModel::kNumber, 55);
  first.HitList()->horizontalHeader()->resizeSection(HitListModel::kDictionary, 150);
  first.OnZoom(1), first.OnZoom(1);
  dialogs_->files = {"", "DejaVu Serif"};  // the font chooser cancelled, then a face chosen
  first.FontAction()->trigger(), first.FontAction()->trigger();
  EXPECT_EQ(dialogs_->fonts, QStringList(2, "MS UI Gothic"));
  // The last 100 keys searched, newest first; a key may hold "|", "%" and line breaks.
  for (int i = 0; i < 101; ++i) first.AddSearchHistory(QString("k%1").arg(i));
  first.AddSearchHistory("a|%7C\nb");
  QApplication::processEvents();  // the layout of the larger text
  const QList<int> splitter = first.Splitter()->sizes();
  Close();
  EXPECT_NE(Profile().find("SearchWordList=a|b;c\n"), std::string::npos) << Profile();
  CViewerDlg& second = Open();
  EXPECT_EQ(second.geometry(), QRect(40, 50, 900, 600));
  EXPECT_EQ(second.Splitter()->sizes(), splitter);
  EXPECT_EQ(second.HitList()->horizontalHeader()->sectionSize(HitListModel::kNumber), 55);
  EXPECT_EQ(second.HitList()->horizontalHeader()->sectionSize(HitListModel::kDictionary), 150);
  EXPECT_EQ(second.TextPane()->font().pixelSize(), 20);
  EXPECT_EQ(second.TextPane()->font().families().value(0), "DejaVu Serif");
  QStringList history;
  for (int i = 0; i < second.SearchBox()->count(); ++i) history << second.SearchBox()->itemText(i);
  EXPECT_EQ(history.size(), 100);
  EXPECT_EQ(history.mid(0, 2) << history.back(), (QStringList{"a|%7C\nb", "k100", "k2"}));
  EXPECT_EQ(second.SearchBox()->currentText(), "");
  EXPECT_EQ(second.SearchWordList(), "a|b;c");
}

TEST_F(ViewerTest, TabGoesThroughTheVisibleControlsAndTheListShowsItsFocus) {
  CViewerDlg& window = Open({Dic(ManyWords(10050))});
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const auto stops = [&] {  // the Tab stops after the search box, once round
    QStringList names;
    do {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      names << QApplication::focusWidget()->objectName();
    } while (QApplication::focusWidget() != window.SearchBox() && names.size() < 10);
    return names;
  };
  EXPECT_EQ(stops(), QStringList({"fullTextBox", "searchButton", "hitList", "textPane", "searchBox"}));
  Type("w");  // the status line offers "show more": a stop of its own
  EXPECT_EQ(stops(), QStringList({"fullTextBox", "searchButton", "hitList", "textPane", "statusLine", "searchBox"}));
  // Tabbing into the list takes its first row; the selection shows whether the list has the focus.
  window.HitList()->clearSelection(), window.HitList()->setCurrentIndex({});
  window.SearchButton()->setFocus();
  QTest::keyClick(window.SearchButton(), Qt::Key_Tab);
  EXPECT_EQ(Row(), 0);
  const auto colour = [&] { return window.HitList()->viewport()->grab().toImage().pixelColor(RowCentre(0)); };
  const QColor focused = colour();
  window.SearchBox()->setFocus();
  EXPECT_NE(colour(), focused);
}

TEST_F(ViewerTest, TheHeadwordKeepsHalfANarrowListAndTheHeightIsShared) {
  CViewerDlg& window = Open({Dic(FruitWords()), Dic(FruitWords(), "b.dic")});
  Search("ap");
  const QHeaderView& header = *window.HitList()->horizontalHeader();
  QList<int> heights;  // of the list and the pane, in the first size
  // Size, the widths of No., L, Dictionary and Reading (0: scaled down, the title keeps half).
  using Case = std::pair<QSize, QList<int>>;
  for (const auto& [size, widths] : std::vector<Case>{{{1200, 900}, {70, 30, 140, 120}},
                                                       {{446, 500}, {}}, {{300, 400}, {}},
                                                       {{446, 1000}, {}}}) {
    window.resize(size);
    QApplication::processEvents();
    QList<int> shown;
    for (int c : {0, 2, 3, 4}) shown << header.sectionSize(c);
    if (!widths.isEmpty()) EXPECT_EQ(shown, widths);
    EXPECT_GE(header.sectionSize(HitListModel::kTitle), window.HitList()->viewport()->width() / 2);
    if (heights.isEmpty()) heights = window.Splitter()->sizes();
  }
  // From 900 to 1000 pixels high: both grow, the list by at least 40% of it.
  const QList<int> grown = window.Splitter()->sizes();
  EXPECT_GE(grown[0] - heights[0], (grown[0] + grown[1] - heights[0] - heights[1]) * 2 / 5);
  Close();
  EXPECT_NE(Profile().find("ColumnWidths=70,30,140,120\n"), std::string::npos) << Profile();
}

TEST_F(ViewerTest, EveryShortcutOfTheWindowDoesItsCommand) {
  CViewerDlg& window = Open({Dic(FruitWords())});
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  Search("ap");
  window.HitList()->selectRow(1), window.ShowSelectedEntry();
  const auto focusOnSearch = [&] { return window.focusWidget() == window.SearchBox(); };
  QString modal;  // the class of the modal dialog a key opened, closed at once
  const auto closeModal = [&] {
    QTimer::singleShot(50, [&] {
      if (QWidget* dialog = QApplication::activeModalWidget()) modal = dialog->metaObject()->className(), dialog->close();
    });
  };
  using Case = std::tuple<QKeySequence, std::function<void()>, std::function<bool()>>;  // key, before, after
  const std::vector<Case> cases = {
      {QKeySequence("Ctrl+O"), [] {}, [&] { return dialogs_->openWhileAsked.size() == 1; }},
      {QKeySequence("Ctrl++"), [] {}, [&] { return window.Zoom() == 1; }},
      {QKeySequence("Ctrl+="), [] {}, [&] { return window.Zoom() == 2; }},
      {QKeySequence("Ctrl+-"), [] {}, [&] { return window.Zoom() == 1; }},
      {QKeySequence("Ctrl+0"), [] {}, [&] { return window.Zoom() == 0; }},
      {QKeySequence("Ctrl+L"), [&] { window.HitList()->setFocus(); }, focusOnSearch},
      {QKeySequence("F6"), [&] { window.HitList()->setFocus(); }, focusOnSearch},
      {QKeySequence("Ctrl+T"), [] {}, [&] { return window.FullTextBox()->isChecked(); }},
      {QKeySequence("Alt+Left"), [] {}, [&] { return PaneShows("app"); }},
      {QKeySequence("Alt+Right"), [] {}, [&] { return PaneShows("apple"); }},
      {QKeySequence(Qt::Key_Back), [] {}, [&] { return PaneShows("app"); }},
      {QKeySequence(Qt::Key_Forward), [] {}, [&] { return PaneShows("apple"); }},
      {QKeySequence::Preferences, closeModal, [&] { return modal == "kebu::viewer::CPreferencesDlg"; }},
      {QKeySequence("Ctrl+Q"), [] {}, [&] { return !window.isVisible(); }}};
  // Every shortcut of the window has its case.
  QList<QKeySequence> keys{window.FullTextBox()->shortcut()};
  for (const QAction* action : window.findChildren<QAction*>()) keys << action->shortcuts();
  for (const QKeySequence& key : keys) {
    EXPECT_TRUE(std::any_of(cases.begin(), cases.end(), [&](const Case& c) { return std::get<0>(c) == key; }))
        << key.toString().toStdString();
  }
  // The menus and each of their items have mnemonics of their own.
  const QMenuBar* bar = window.findChild<QMenuBar*>();
  QList<QList<QAction*>> menus{bar->actions()};
  for (const QAction* menu : bar->actions()) menus << menu->menu()->actions();
  for (const QList<QAction*>& items : menus) {
    QStringList mnemonics;
    for (const QAction* item : items) {
      if (!item->isSeparator()) mnemonics << QKeySequence::mnemonic(item->text()).toString();
    }
    EXPECT_FALSE(mnemonics.contains("")) << mnemonics.join(" ").toStdString();
    EXPECT_EQ(mnemonics.size(), QSet<QString>(mnemonics.begin(), mnemonics.end()).size()) << mnemonics.join(" ").toStdString();
  }
  for (const auto& [key, before, after] : cases) {
    if (key.isEmpty()) continue;  // Preferences has no key on some desktops
    before();
    QTest::keySequence(QApplication::focusWidget(), key);
    EXPECT_TRUE(QTest::qWaitFor(after, 1000)) << key.toString().toStdString();
  }
}

// The texts a user sees in `root` and its children: titles, menu items, buttons, labels,
// tips, column headers and the items of lists that are not the user's own.
QStringList VisibleTexts(const QWidget& root) {
  QStringList texts{root.windowTitle()};
  for (const QMenu* menu : root.findChildren<QMenu*>()) texts << menu->title();
  for (const QAction* action : root.findChildren<QAction*>()) texts << action->text() << action->toolTip();
  for (const QWidget* widget : root.findChildren<QWidget*>()) texts << widget->toolTip();
  for (const QAbstractButton* button : root.findChildren<QAbstractButton*>()) texts << button->text();
  for (const QLabel* label : root.findChildren<QLabel*>()) texts << label->text();
  for (const QComboBox* box : root.findChildren<QComboBox*>()) {
    for (int i = 0; i < box->count() && !box->isEditable(); ++i) texts << box->itemText(i);
  }
  for (const QAbstractItemView* view : root.findChildren<QAbstractItemView*>()) {
    for (int c = 0; view->model() != nullptr && c < view->model()->columnCount(); ++c) {
      texts << view->model()->headerData(c, Qt::Horizontal).toString();
    }
  }
  texts.removeAll(QString());
  texts.removeDuplicates();
  return texts;
}

TEST_F(ViewerTest, JapaneseLocaleTranslatesEveryVisibleTextButTheAboutTextsStay) {
  EXPECT_EQ(InstallTranslation(QLocale(QLocale::English)), nullptr);
  const auto translation = InstallTranslation(QLocale(QLocale::Japanese, QLocale::Japan));
  ASSERT_NE(translation, nullptr);
  CViewerDlg& window = Open({Dic(FruitWords()), Dic(FruitWords(), "b.dic")});
  EXPECT_EQ(window.findChild<QMenuBar*>()->actions().value(0)->text(), "ファイル(&F)");
  Search("ap");
  EXPECT_EQ(window.StatusLine()->text(), "8 件");
  EXPECT_EQ(window.AboutAction()->text(), "kebumini のﾊﾞｰｼﾞｮﾝ情報(&A)...");
  EXPECT_EQ(CAboutDlg().windowTitle(), "kebuminiのﾊﾞｰｼﾞｮﾝ情報");
  QFileDialog files;
  QtUserDialogs::Configure(files, {.nameFilters = DictionaryFilters()});
  // English words left: the program's own names, keys, the dictionaries' names and folders.
  const QRegularExpression english("[A-Za-z]{2,}"), kept("KEBU mini|kebumini|Ctrl|Enter|fruit|dic|^/.*");
  for (const QWidget* root : {static_cast<QWidget*>(&window), static_cast<QWidget*>(&files)}) {
    for (const QString& text : VisibleTexts(*root)) {
      EXPECT_FALSE(QString(text).remove(kept).contains(english)) << text.toStdString();
    }
  }
}

TEST_F(ViewerTest, ConcurrentExportLeavesTheWindowUsableAndEscOrClosingCancelsIt) {
  const QByteArray path = Dic(ManyWords(2500), "many.dic");
  const std::string fifo = files_.File("out.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  CViewerDlg& window = Open({path});
  QSignalSpy titles(&window, &QWidget::windowTitleChanged);
  std::vector<int64_t> cancelled;  // records written by each export that was cancelled
  QObject::connect(window.findChild<ExportJob*>(), &ExportJob::Finished,
                   [&](const Status& result, const ExportStats& stats) {
                     if (result.Code() == StatusCode::kCancelled) cancelled.push_back(stats.written);
                   });
  const auto exportToFifo = [&] {
    dialogs_->files = {QString::fromStdString(fifo)};
    window.ExportFileAction()->trigger();
  };
  // The export waits for a reader of the FIFO; the window goes on meanwhile.
  exportToFifo();
  EXPECT_TRUE(window.IsExporting());
  EXPECT_FALSE(window.OpenFileAction()->isEnabled() || window.ExportFileAction()->isEnabled() ||
               window.ExportAllAction()->isEnabled());
  Search("w0001");
  EXPECT_EQ(Rows().size(), 10);
  QTest::mouseClick(window.HitList()->viewport(), Qt::LeftButton, {}, RowCentre(2));
  EXPECT_EQ(window.PaneText(), "w00012\r\n訳12\r\n");
  window.DumpHeaderInfoAction()->trigger();
  char report[2048] = {};
  DumpHeaderInfo(window.Dictionaries().At(0).reader->GetHeader(), report, sizeof report);
  EXPECT_EQ(window.PaneText(), QString::fromLatin1(report));
  EXPECT_EQ(window.TextPane()->textCursor().position(), 0);
  std::string bytes;
  std::thread reader([&] {
    const int fd = ::open(fifo.c_str(), O_RDONLY);
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
    ::close(fd);
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window.IsExporting(); }));
  reader.join();
  EXPECT_EQ(bytes, ReferenceExport(path, files_.File("reference.txt")));
  EXPECT_TRUE(titles.contains({QString("KEBU mini - 2,500 / 2,500 (100%)")}));
  EXPECT_EQ(window.windowTitle(), "KEBU mini - many.dic");
  // Nobody reads the FIFO now: Esc asks, "No" goes on, "Yes" stops it before its first record.
  dialogs_->answers = {false, true};
  exportToFifo();
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_TRUE(window.IsExporting());
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window.IsExporting(); }));
  EXPECT_EQ(dialogs_->asked, QStringList(2, "Cancel the export?"));
  EXPECT_EQ(cancelled, std::vector<int64_t>{0});
  EXPECT_TRUE(window.OpenFileAction()->isEnabled());
  // An export that ends while its question is up takes the question with it.
  bool closed = false;
  dialogs_->onAsk = [&] {
    dialogs_->questionClosed = false;
    std::thread drain([&] { (void)ReadText(fifo); });
    closed = QTest::qWaitFor([&] { return dialogs_->questionClosed; });
    return drain.join(), true;  // Yes, with nothing left to cancel
  };
  exportToFifo();
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_TRUE(closed && !window.IsExporting());
  EXPECT_EQ(dialogs_->told, QStringList(2, "2,500 records written to " + QString::fromStdString(fifo) + "."));
  EXPECT_EQ(cancelled, std::vector<int64_t>{0});
  // Closing cancels it too; the window goes once the export has stopped.
  exportToFifo();
  window.close();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }));
  EXPECT_EQ(cancelled, (std::vector<int64_t>{0, 0}));
  EXPECT_TRUE(ProfileBegins("[Globals]\nFilePath=" + path + "\n"));
}

TEST_F(ViewerTest, FullTextSearchFindsTheCoresHitsInTheCheckedDictionariesAndMarksMatches) {
  const QByteArray a = Dic(FruitWords()), b = Dic({{.headword = "apex", .translation = "頂"}}, "b");
  const QByteArray c = Dic({{.headword = V6Headword("Apfel"), .translation = "りんご (アップル)"},
                            {.headword = V6Headword("bar"), .translation = "a rail"},
                            {.headword = V6Headword("handrail"), .translation = "手すり"},
                            {.headword = V6Headword("rail"), .translation = "Railway; ＲＡＩＬ",
                             .example = "ｒａｉｌｓ"}},
                           "rails.dic", {.version = 0x0600, .encoding = Encoding::kBocu1});
  NewProfile(("[Globals]\nFilePath=" + a + "\nMoreFilePaths=" + b + "|" + c +
              "\nUnsearchedDictionaries=2\nSearchMode=fulltext\n").toStdString());
  CViewerDlg& window = Open();
  Type("ap");  // typing alone searches nothing
  EXPECT_TRUE(Rows().isEmpty() && window.ExactBox()->isEnabled());
  // query, exact, best first (the rows' headwords; none: file order), status, marks
  using Case = std::tuple<QString, bool, QStringList, QString, QStringList>;
  for (const auto& [query, exact, best, status, marks] : std::vector<Case>{
           {"AP", false, {}, "6 hits", {"ap"}},
           {"AP", true, {}, "0 hits", {"ap"}},  // the pane keeps its entry
           {"アップ", false, {}, "2 hits", {"アップ"}},
           {"ｐｆｅＬ", false, {}, "1 hit", {"pfel"}},
           {"RAIL", false, {}, "3 hits", {"rail"}},
           {"RAIL", false, {"rail", "handrail", "bar"}, "3 hits", {"rail", "Rail", "ＲＡＩＬ", "ｒａｉｌ"}}}) {
    window.ExactBox()->setChecked(exact);
    window.BestFirstBox()->setChecked(!best.isEmpty());
    Search(query);
    EXPECT_TRUE(ScanEnds());
    QStringList expected = CoreRows(query, exact);
    for (int i = 0; i < best.size(); ++i) expected[i] = QString("%1|%2||rails.dic").arg(i + 1).arg(best[i]);
    EXPECT_EQ(Rows(), expected) << query.toStdString();
    EXPECT_EQ(window.StatusLine()->text(), status);
    QStringList marked;
    for (const auto& m : window.TextPane()->extraSelections()) {
      marked << m.cursor.selectedText();
      EXPECT_EQ(m.format.background().style(), Qt::SolidPattern);  // the mark is seen
    }
    EXPECT_EQ(marked, marks);
  }
  window.FullTextBox()->click();  // back to headwords: the key is looked up, nothing marked
  EXPECT_EQ(Rows(), QStringList{"1|rail||rails.dic"});
  EXPECT_TRUE(window.TextPane()->extraSelections().isEmpty() && !window.ExactBox()->isEnabled() &&
              !window.BestFirstBox()->isEnabled());
  Type("way");  // "railway": no headword
  EXPECT_TRUE(Rows().isEmpty());
  window.FullTextBox()->click();  // and full text again: the key is searched so
  EXPECT_TRUE(ScanEnds());
  EXPECT_EQ(Rows(), CoreRows("RAILway", false));
  window.FullTextBox()->click();
  Close();
  EXPECT_NE(Profile().find("SearchMode=headword\n"), std::string::npos) << Profile();
  EXPECT_NE(Profile().find("FullTextOrder=best\n"), std::string::npos) << Profile();
  EXPECT_TRUE(Open().BestFirstBox()->isChecked());
}

TEST_F(ViewerTest, ExportRefusesTheDictionaryAndSaysHowItEnded) {
  const QByteArray path =
      Dic(ManyWords(10010), "areas.dic", {.block_size = 64, .recordsPerArea = 1});
  std::filesystem::create_symlink(path.toStdString(), files_.File("link.txt"));
  // The command, the target, the start of what the user is told, the stop entry of the
  // reference export (0: nothing is written).
  using Case = std::tuple<QAction* (CViewerDlg::*)() const, QString, QString, int32_t>;
  const auto file = &CViewerDlg::ExportFileAction;
  CViewerDlg& window = Open({path});
  // clang-format off
  for (const auto& [command, target, told, stop] : std::vector<Case>{
      {file, QString(path), "! " + path + " is a dictionary that is open here", 0},
      {file, Path("link.txt"), "! " + Path("link.txt") + " is a dictionary", 0},
      {file, Path("no/out.txt"), "! The export to " + Path("no/out.txt") + " failed: ", 0},
      {file, Path("out.txt"),
       "10,002 of 10,010 records written; this export ends after index entry 10,000.\n", 10000},
      {&CViewerDlg::ExportAllAction, Path("all.txt"), "10,010 records written to " + Path("all.txt") + ".", -1}}) {
    // clang-format on
    SCOPED_TRACE(target.toStdString());
    dialogs_->told.clear();
    dialogs_->files = {target};
    (window.*command)()->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.IsExporting(); }));
    EXPECT_TRUE(told.isEmpty() ? dialogs_->told.isEmpty()
                               : dialogs_->told.size() == 1 && dialogs_->told[0].startsWith(told));
    if (stop != 0) {
      EXPECT_EQ(ReadText(target.toStdString()), ReferenceExport(path, files_.File("r"), stop));
    }
  }
}

}  // namespace
}  // namespace kebu::viewer::testing

int main(int argc, char** argv) {
  // The offscreen platform unless QT_QPA_PLATFORM names another.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
