// The menu commands: Open file, Dump Header Info, Export file, the about
// item, and the file dialog's filters.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <set>

#include "dictionary/header_report.h"
#include "export/plain_text_export.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/hit_list_model.h"

namespace kebu::viewer::testing {
namespace {

using kebu::testing::ReadFile;

std::u16string Units(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                        static_cast<size_t>(text.size()));
}

// What the window looked like at one title change.
struct TitleState {
  QString title;
  bool exporting = false;
  bool searchEnabled = false;
  bool openEnabled = false;
  bool exportEnabled = false;
  bool dumpEnabled = false;
};

// Records every title the window is given, with the state of its commands
// at that moment; `onChange` runs inside the title change.
class TitleWatcher : public QObject {
 public:
  explicit TitleWatcher(CViewerDlg& window) : window_(window) { window.installEventFilter(this); }
  ~TitleWatcher() override { window_.removeEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &window_ && event->type() == QEvent::WindowTitleChange) {
      states.push_back({window_.windowTitle(), window_.IsExporting(),
                        window_.SearchButton()->isEnabled(), window_.OpenFileAction()->isEnabled(),
                        window_.ExportFileAction()->isEnabled(),
                        window_.DumpHeaderInfoAction()->isEnabled()});
      if (onChange) onChange(states.back());
    }
    return false;
  }

  std::vector<TitleState> Progress() const {
    std::vector<TitleState> progress;
    for (const TitleState& s : states) {
      if (!s.title.startsWith(QStringLiteral("KEBU mini"))) progress.push_back(s);
    }
    return progress;
  }

  std::vector<TitleState> states;
  std::function<void(const TitleState&)> onChange;

 private:
  CViewerDlg& window_;
};

// Words w00000... with translations, some with examples, some with empty
// translations.
std::vector<Record> ManyWords(int count) {
  std::vector<Record> records;
  for (int i = 0; i < count; ++i) {
    char word[16];
    std::snprintf(word, sizeof word, "w%05d", i);
    Record r{.headword = word, .translation = "訳" + std::to_string(i)};
    if (i % 3 == 0) r.example = "例 " + std::to_string(i);
    if (i % 17 == 0) r.translation.clear();
    records.push_back(r);
  }
  return records;
}

// The export of `path` as ExportToStream writes it with the window's options.
std::vector<uint8_t> ReferenceExport(const QString& path) {
  DicReader reader;
  EXPECT_EQ(reader.Open(Units(path).c_str()), 0);
  std::FILE* out = std::tmpfile();
  EXPECT_EQ(ExportToStream(reader, out, {}, ExportOptions(), nullptr), ExportResult::kDone);
  std::vector<uint8_t> bytes(static_cast<size_t>(std::ftell(out)));
  std::rewind(out);
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), out), bytes.size());
  std::fclose(out);
  return bytes;
}

std::vector<uint8_t> FileBytes(const QString& path) {
  return ReadFile(std::filesystem::path(path.toStdString()));
}

TEST_F(ViewerTest, OpenFileClosesFirstThenOpensTheChosenFile) {
  const QString fruit = MakeDictionary(FruitWords(), {}, "fruit.dic");
  const QString other = MakeDictionary({{.headword = "zebra", .translation = "シマウマ"}}, {},
                                       "other.DIC");
  WriteFile(files_.File("broken.dic"), std::string(100, '\0'));
  struct Case {
    const char* name;
    QString answer;
    bool open;
    QString path;
    QString title;
  };
  const std::vector<Case> cases = {
      {"cancelled", QString(), false, fruit, QStringLiteral("KEBU mini - fruit.dic")},
      {"not a dictionary", FilePath("broken.dic"), false, QString(),
       QStringLiteral("KEBU mini - fruit.dic")},
      {"missing", FilePath("nothing.dic"), false, QString(), QStringLiteral("KEBU mini - fruit.dic")},
      {"another dictionary", other, true, other, QStringLiteral("KEBU mini - other.DIC")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NewProfileFolder();
    CViewerDlg& window = OpenWindowWith(fruit);
    ASSERT_TRUE(window.IsDictionaryOpen());
    chooser_->answers = {c.answer};
    window.OpenFileAction()->trigger();

    ASSERT_EQ(chooser_->requests.size(), 1u);
    const FileRequest& request = chooser_->requests[0];
    EXPECT_EQ(request.mode, FileRequest::Mode::kOpen);
    EXPECT_EQ(request.initialName, QStringLiteral("*.DIC"));
    EXPECT_EQ(request.nameFilters, DictionaryFilters());
    EXPECT_FALSE(chooser_->openWhileAsked[0]) << "the former dictionary is closed first";

    EXPECT_EQ(window.IsDictionaryOpen(), c.open);
    EXPECT_EQ(window.Path(), c.path);
    EXPECT_EQ(window.windowTitle(), c.title);
    TypeAndSearch(QStringLiteral("zeb"));
    EXPECT_EQ(window.Hits()->rowCount(), c.open ? 1 : 0);
    window.close();
    EXPECT_EQ(ProfileValue(QStringLiteral("FilePath")).toString(), c.path);
  }
}

TEST_F(ViewerTest, ShortcutsReachTheirCommands) {
  CViewerDlg& window = OpenWindowWith(MakeDictionary(FruitWords()));
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 5000));

  QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(chooser_->requests.size(), 1u);
  EXPECT_FALSE(window.IsDictionaryOpen());

  QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(ProfileValue(QStringLiteral("FilePath")).isValid());
}

TEST_F(ViewerTest, DumpHeaderInfoReplacesThePaneUntilAnotherHitIsShown) {
  struct Case {
    const char* name;
    bool withDictionary;
  };
  for (const Case& c : std::vector<Case>{{"dictionary open", true}, {"none ever opened", false}}) {
    SCOPED_TRACE(c.name);
    NewProfileFolder();
    CViewerDlg& window = c.withDictionary ? OpenWindowWith(MakeDictionary(FruitWords()))
                                          : OpenWindow();
    if (c.withDictionary) TypeAndSearch(QStringLiteral("ap"));
    const std::vector<RowTexts> rows = Rows();

    char report[2048] = {};
    DumpHeaderInfo(window.Reader().GetHeader(), report, sizeof report);
    const QString expected = QString::fromLatin1(report);
    ASSERT_TRUE(expected.contains(QStringLiteral("\r\nversion = ")));

    window.DumpHeaderInfoAction()->trigger();
    EXPECT_EQ(window.PaneText(), expected);
    QString lines = expected;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(window.TextPane()->toPlainText(), lines);
    EXPECT_EQ(window.TextPane()->textCursor().position(), lines.size());
    EXPECT_EQ(Rows(), rows);

    if (c.withDictionary) {
      QTest::mouseClick(window.HitList()->viewport(), Qt::LeftButton, {}, RowCentre(1));
      EXPECT_EQ(window.PaneText(), QStringLiteral("apple\r\nりんご\r\nShe cut the apple.\r\n"));
    }
    window.close();
  }
}

TEST_F(ViewerTest, ExportWritesTheFileWithProgressInTheTitleWhileCommandsWait) {
  const QString path = MakeDictionary(ManyWords(2500), {}, "big.dic");
  CViewerDlg& window = OpenWindowWith(path);
  TypeAndSearch(QStringLiteral("w0001"));
  const std::vector<RowTexts> rows = Rows();
  const QString pane = window.PaneText();

  const QString target = FilePath("out.txt");
  WriteFile(files_.File("out.txt"), std::string("old content that gets replaced"));
  chooser_->answers = {target};
  TitleWatcher watcher(window);
  // Commands tried in the middle of the export do nothing.
  watcher.onChange = [&](const TitleState& state) {
    if (!state.exporting) return;
    window.OnSearch();
    window.SearchButton()->click();
    window.OnDumpHeaderInfo();
    window.OnFileOpen();
    window.OnExportFile();
    window.ShowSelectedEntry();
  };
  window.ExportFileAction()->trigger();

  ASSERT_EQ(chooser_->requests.size(), 1u);
  EXPECT_EQ(chooser_->requests[0].mode, FileRequest::Mode::kSave);
  EXPECT_EQ(chooser_->requests[0].initialName, QStringLiteral("*.txt"));
  EXPECT_EQ(chooser_->requests[0].nameFilters, TextFileFilters());

  EXPECT_EQ(FileBytes(target), ReferenceExport(path));

  const std::vector<TitleState> progress = watcher.Progress();
  ASSERT_FALSE(progress.empty());
  for (const TitleState& s : progress) {
    SCOPED_TRACE(s.title.toStdString());
    EXPECT_TRUE(s.exporting);
    EXPECT_FALSE(s.searchEnabled);
    EXPECT_FALSE(s.openEnabled);
    EXPECT_FALSE(s.exportEnabled);
    EXPECT_FALSE(s.dumpEnabled);
  }
  ASSERT_FALSE(watcher.states.empty());
  EXPECT_EQ(watcher.states.back().title, QStringLiteral("KEBU mini - big.dic"));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("KEBU mini - big.dic"));

  EXPECT_FALSE(window.IsExporting());
  EXPECT_TRUE(window.SearchButton()->isEnabled());
  EXPECT_TRUE(window.OpenFileAction()->isEnabled());
  EXPECT_TRUE(window.ExportFileAction()->isEnabled());
  EXPECT_TRUE(window.DumpHeaderInfoAction()->isEnabled());
  EXPECT_TRUE(window.HitList()->isEnabled());
  EXPECT_TRUE(window.IsDictionaryOpen());
  EXPECT_EQ(Rows(), rows);
  EXPECT_EQ(window.PaneText(), pane);
}

TEST_F(ViewerTest, ExportThatCannotRunLeavesTheTitleAlone) {
  struct Case {
    const char* name;
    bool withDictionary;
    QString answer;
    bool fileExpected;
  };
  const std::vector<Case> cases = {
      {"cancelled", true, QString(), false},
      {"no dictionary open", false, FilePath("empty.txt"), true},
      {"folder cannot be written", true, FilePath("no/such/folder/out.txt"), false},
  };
  const QString path = MakeDictionary(FruitWords());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NewProfileFolder();
    CViewerDlg& window = c.withDictionary ? OpenWindowWith(path) : OpenWindow();
    const QString title = window.windowTitle();
    TitleWatcher watcher(window);
    chooser_->answers = {c.answer};
    window.OnExportFile();
    EXPECT_TRUE(watcher.states.empty());
    EXPECT_EQ(window.windowTitle(), title);
    EXPECT_FALSE(window.IsExporting());
    EXPECT_TRUE(window.ExportFileAction()->isEnabled());
    if (c.fileExpected) {
      ASSERT_TRUE(QFile::exists(c.answer));
      EXPECT_TRUE(FileBytes(c.answer).empty());
    }
    window.close();
  }
}

TEST_F(ViewerTest, ClosingDuringAnExportWaitsForItsEnd) {
  const QString path = MakeDictionary(ManyWords(2500), {}, "big.dic");
  CViewerDlg& window = OpenWindowWith(path);
  const QString target = FilePath("out.txt");
  chooser_->answers = {target};
  TitleWatcher watcher(window);
  bool closeTried = false;
  bool visibleAfterClose = false;
  watcher.onChange = [&](const TitleState& state) {
    if (!state.exporting || closeTried) return;
    closeTried = true;
    window.close();
    QTest::keyClick(&window, Qt::Key_Escape);
    visibleAfterClose = window.isVisible();
    EXPECT_FALSE(QFile::exists(ProfileFile()));
  };
  ASSERT_TRUE(QFile::remove(ProfileFile()));
  window.OnExportFile();

  ASSERT_TRUE(closeTried);
  EXPECT_TRUE(visibleAfterClose);
  EXPECT_EQ(FileBytes(target), ReferenceExport(path));
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(ProfileValue(QStringLiteral("FilePath")).toString(), path);
}

TEST_F(ViewerTest, MenusHoldTheCommandsAndTheAboutItem) {
  CViewerDlg& window = OpenWindow();
  const QList<QAction*> menus = window.findChild<QMenuBar*>()->actions();
  ASSERT_EQ(menus.size(), 2);
  EXPECT_EQ(menus[0]->text(), QStringLiteral("File"));
  EXPECT_EQ(menus[1]->text(), QStringLiteral("&Help"));

  struct Item {
    QString text;
    QKeySequence shortcut;
  };
  const std::vector<Item> file = {
      {QStringLiteral("&Open file"), QKeySequence(QStringLiteral("Ctrl+O"))},
      {QStringLiteral("&Dump Header Info"), QKeySequence()},
      {QStringLiteral("&Export file"), QKeySequence()},
      {QString(), QKeySequence()},  // separator
      {QStringLiteral("E&xit Application"), QKeySequence(QStringLiteral("Ctrl+Q"))},
  };
  const QList<QAction*> items = menus[0]->menu()->actions();
  ASSERT_EQ(items.size(), static_cast<qsizetype>(file.size()));
  for (size_t i = 0; i < file.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(items[i]->text(), file[i].text);
    EXPECT_EQ(items[i]->shortcut(), file[i].shortcut);
    EXPECT_EQ(items[i]->isSeparator(), file[i].text.isEmpty());
  }
  const QList<QAction*> help = menus[1]->menu()->actions();
  ASSERT_EQ(help.size(), 1);
  EXPECT_EQ(help[0], window.AboutAction());
  EXPECT_EQ(help[0]->text(), QStringLiteral("kebumini のﾊﾞｰｼﾞｮﾝ情報(&A)..."));
}

TEST_F(ViewerTest, AboutItemShowsTheModalAboutBox) {
  struct Case {
    const char* name;
    std::function<void(CViewerDlg&)> act;
    bool shown;
  };
  const std::vector<Case> cases = {
      {"Help menu item", [](CViewerDlg& w) { w.AboutAction()->trigger(); }, true},
      {"command 0x10", [](CViewerDlg& w) { w.OnSysCommand(0x10); }, true},
      {"command 0x1F", [](CViewerDlg& w) { w.OnSysCommand(0x1F); }, true},
      {"command 0x20", [](CViewerDlg& w) { w.OnSysCommand(0x20); }, false},
      {"command 0xF060", [](CViewerDlg& w) { w.OnSysCommand(0xF060); }, false},
  };
  CViewerDlg& window = OpenWindow();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NewProfileFolder();
    QString caption;
    QStringList labels;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (box == nullptr || box == &window) return;
      caption = box->windowTitle();
      for (QLabel* label : box->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) labels << label->text();
      }
      QPushButton* ok = box->findChild<QPushButton*>();
      if (ok != nullptr) ok->click();
    });
    closer.start();
    c.act(window);
    QTest::qWait(30);
    closer.stop();
    if (c.shown) {
      EXPECT_EQ(caption, QStringLiteral("kebuminiのﾊﾞｰｼﾞｮﾝ情報"));
      EXPECT_TRUE(labels.contains(QStringLiteral("kebumini Version 1.0"))) << labels.join('|').toStdString();
      EXPECT_EQ(labels.size(), 2);
    } else {
      EXPECT_TRUE(caption.isEmpty());
    }
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

TEST(FileDialogTest, FiltersMatchExtensionsInAnyLetterCase) {
  TempDir dir;
  for (const char* name : {"a.DIC", "b.dic", "c.Dic", "d.txt", "e.TXT", "f", "g.dict"}) {
    WriteFile(dir.File(name), std::string("x"));
  }
  struct Case {
    const char* name;
    QStringList filters;
    int filter;
    std::set<QString> shown;
  };
  const std::set<QString> all = {"a.DIC", "b.dic", "c.Dic", "d.txt", "e.TXT", "f", "g.dict"};
  const std::vector<Case> cases = {
      {"Dic Files", DictionaryFilters(), 0, {"a.DIC", "b.dic", "c.Dic"}},
      {"All Files of the open dialog", DictionaryFilters(), 1, all},
      {"Txt Files", TextFileFilters(), 0, {"d.txt", "e.TXT"}},
      {"All Files of the save dialog", TextFileFilters(), 1, all},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QFileDialog dialog;
    FileRequest request;
    request.nameFilters = c.filters;
    DialogFileChooser::Configure(dialog, request);
    dialog.setDirectory(QString::fromStdString(dir.path().string()));
    dialog.selectNameFilter(c.filters[c.filter]);

    // The names offered in the type box.
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->itemText(1).trimmed(), QStringLiteral("All Files (*.*)"));
    EXPECT_EQ(types->itemText(0).trimmed(),
              c.filters == DictionaryFilters() ? QStringLiteral("Dic Files")
                                               : QStringLiteral("Txt Files"));

    // The files the list shows.
    auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    std::set<QString> shown;
    const bool loaded = QTest::qWaitFor(
        [&] {
          shown.clear();
          const QAbstractItemModel* model = view->model();
          for (int r = 0; r < model->rowCount(view->rootIndex()); ++r) {
            shown.insert(model->index(r, 0, view->rootIndex()).data().toString());
          }
          return shown == c.shown;
        },
        5000);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(shown, c.shown);

    // The pattern alone does it, also where matching heeds letter case (as
    // other file dialogs may).
    const QString filter = c.filters[c.filter];
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    const QStringList patterns =
        filter.mid(open + 1, filter.size() - open - 2).split(QLatin1Char(' '));
    const QStringList matched = QDir(QString::fromStdString(dir.path().string()))
                                    .entryList(patterns, QDir::Files | QDir::CaseSensitive);
    EXPECT_EQ(std::set<QString>(matched.begin(), matched.end()), c.shown);
  }
}

}  // namespace
}  // namespace kebu::viewer::testing
