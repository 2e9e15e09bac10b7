// The main window: start-up, profile, search, hit list, text pane, history.
#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryFile>

#include "tests/viewer/viewer_fixture.h"
#include "viewer/hit_list_model.h"

namespace kebu::viewer::testing {
namespace {

TEST_F(ViewerTest, StartOpensTheRememberedDictionaryAndFocusesTheSearchBox) {
  const QString path = MakeDictionary(FruitWords(), {}, "fruit.dic");
  CViewerDlg& window = OpenWindowWith(path);

  EXPECT_TRUE(window.IsDictionaryOpen());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("KEBU mini - fruit.dic"));
  EXPECT_EQ(window.Path(), path);
  QWidget* focus = window.focusWidget();
  EXPECT_TRUE(focus == window.SearchBox() || focus == window.SearchBox()->lineEdit())
      << (focus ? focus->objectName().toStdString() : "no focus");
  EXPECT_EQ(window.Hits()->rowCount(), 0);
}

TEST_F(ViewerTest, RememberedDictionaryThatFailsToOpenIsForgotten) {
  struct Case {
    const char* name;
    std::function<QString()> path;
  };
  const std::vector<Case> cases = {
      {"missing file", [&] { return FilePath("gone.dic"); }},
      {"not a dictionary",
       [&] {
         WriteFile(files_.File("text.dic"), std::string(300, 'x'));
         return FilePath("text.dic");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NewProfileFolder();
    CViewerDlg& window = OpenWindowWith(c.path());
    EXPECT_FALSE(window.IsDictionaryOpen());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("KEBU mini"));
    EXPECT_TRUE(window.Path().isEmpty());
    window.close();
    const QVariant saved = ProfileValue(QStringLiteral("FilePath"));
    EXPECT_TRUE(saved.isValid());
    EXPECT_EQ(saved.toString(), QString());
  }
}

TEST_F(ViewerTest, FirstRunWritesAllThreeSettingsWithTheirDefaults) {
  CViewerDlg& window = OpenWindow();
  EXPECT_FALSE(window.IsDictionaryOpen());
  EXPECT_EQ(window.FontName(), QStringLiteral("MS UI Gothic"));
  EXPECT_EQ(window.TextPane()->font().families().value(0), QStringLiteral("MS UI Gothic"));
  window.close();
  EXPECT_EQ(ProfileValue(QStringLiteral("FilePath")), QVariant(QString()));
  EXPECT_EQ(ProfileValue(QStringLiteral("SearchWordList")), QVariant(QString()));
  EXPECT_EQ(ProfileValue(QStringLiteral("fontName")), QVariant(QStringLiteral("MS UI Gothic")));
}

TEST_F(ViewerTest, SearchWordListAndFontNameComeBackUnchanged) {
  struct Case {
    const char* name;
    std::string profile;    // written by hand
    QString searchWordList;  // as read and written back
    QString fontName;
  };
  const std::vector<Case> cases = {
      {"plain", "[Globals]\nSearchWordList=apple\nfontName=IPAGothic\n",
       QStringLiteral("apple"), QStringLiteral("IPAGothic")},
      {"commas and blanks", "[Globals]\nSearchWordList=apple, pear,kiwi\nfontName=Sans\n",
       QStringLiteral("apple, pear,kiwi"), QStringLiteral("Sans")},
      {"Japanese, face not installed",
       "[Globals]\nSearchWordList=りんご;梨\nfontName=ＭＳ ゴシック\n",
       QStringLiteral("りんご;梨"), QStringLiteral("ＭＳ ゴシック")},
      {"quoted", "[Globals]\nSearchWordList=\"a,b\"\nfontName=\"Noto Sans, Bold\"\n",
       QStringLiteral("a,b"), QStringLiteral("Noto Sans, Bold")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NewProfileFolder();
    WriteRawProfile(c.profile);
    CViewerDlg& window = OpenWindow();
    EXPECT_EQ(window.SearchWordList(), c.searchWordList);
    EXPECT_EQ(window.FontName(), c.fontName);
    // The list never shows in the search box; the face is asked for by name.
    EXPECT_EQ(window.SearchBox()->count(), 0);
    EXPECT_EQ(window.SearchBox()->currentText(), QString());
    EXPECT_EQ(window.SearchBox()->font().families().value(0), c.fontName);
    window.close();
    EXPECT_EQ(ProfileValue(QStringLiteral("SearchWordList")).toString(), c.searchWordList);
    EXPECT_EQ(ProfileValue(QStringLiteral("fontName")).toString(), c.fontName);
  }
}

TEST_F(ViewerTest, SettingsAreWrittenOnceWhenTheWindowClosesWhicheverWay) {
  const QString path = MakeDictionary(FruitWords());
  struct Case {
    const char* name;
    std::function<void(CViewerDlg&)> close;
  };
  const std::vector<Case> cases = {
      {"Exit Application", [](CViewerDlg& w) { w.ExitAction()->trigger(); }},
      {"Esc", [](CViewerDlg& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
      {"close box", [](CViewerDlg& w) { w.close(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NewProfileFolder();
    WriteProfile(QStringLiteral("FilePath"), path);
    CViewerDlg& window = OpenWindow();
    // Nothing is written while the window runs.
    ASSERT_TRUE(QFile::remove(ProfileFile()));
    TypeAndSearch(QStringLiteral("ap"));
    EXPECT_FALSE(QFile::exists(ProfileFile()));

    c.close(window);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(ProfileValue(QStringLiteral("FilePath")).toString(), path);

    // A second close writes nothing more.
    ASSERT_TRUE(QFile::remove(ProfileFile()));
    window.close();
    window.done(QDialog::Rejected);
    EXPECT_FALSE(QFile::exists(ProfileFile()));
  }
}

TEST_F(ViewerTest, SearchListsNumberedHitsSelectsTheFirstAndShowsIt) {
  struct Case {
    QString key;
    std::vector<RowTexts> rows;
    QString pane;  // exact, for the first row
  };
  const std::vector<Case> cases = {
      {QStringLiteral("ap"),
       {{"1", "app", ""}, {"2", "apple", "1"}, {"3", "apple pie", ""}, {"4", "apply", "12"}},
       QStringLiteral("app\r\nアプリ\r\n")},
      {QStringLiteral("appl"),
       {{"1", "apple", "1"}, {"2", "apple pie", ""}, {"3", "apply", "12"}},
       QStringLiteral("apple\r\nりんご\r\nShe cut the apple.\r\n")},
      {QStringLiteral("ban"), {{"1", "banana", ""}},
       QStringLiteral("banana\r\nバナナ\r\n黄色い果物\r\n")},
      {QStringLiteral("日本"), {{"1", "日本語", ""}}, QStringLiteral("日本語\r\nJapanese\r\n")},
  };
  CViewerDlg& window = OpenWindowWith(MakeDictionary(FruitWords()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key.toStdString());
    TypeAndSearch(c.key);
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(window.HitList()->currentIndex().row(), 0);
    EXPECT_EQ(window.focusWidget(), window.HitList());
    EXPECT_EQ(window.PaneText(), c.pane);
    // The pane shows the same text as lines, the caret at the start.
    QString lines = c.pane;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(window.TextPane()->toPlainText(), lines);
    EXPECT_EQ(window.TextPane()->textCursor().position(), 0);
  }
}

TEST_F(ViewerTest, VersionSixHeadwordsShowTheTextAfterTheirFirstTab) {
  using kebu::testing::Encoding;
  using kebu::testing::V6Headword;
  struct Case {
    const char* name;
    uint16_t version;
    Encoding encoding;
    std::vector<Record> records;
    QString key;
    std::vector<RowTexts> rows;
    QString pane;
  };
  const std::vector<Case> cases = {
      {"version 6: x TAB y shown as y, a shorter word after it whole",
       0x0600,
       Encoding::kBocu1,
       {{.headword = V6Headword("Apple"), .translation = "りんご"},
        {.headword = "apply", .translation = "適用する"},
        {.headword = "cat\tネコ\tねこ", .translation = "猫"}},
       QStringLiteral("ap"),
       {{"1", "Apple", ""}, {"2", "apply", ""}},
       QStringLiteral("Apple\r\nりんご\r\n")},
      {"version 6: only the first TAB counts",
       0x0600,
       Encoding::kBocu1,
       {{.headword = "cat\tネコ\tねこ", .translation = "猫"}},
       QStringLiteral("cat"),
       {{"1", "ネコ\tねこ", ""}},
       QStringLiteral("ネコ\tねこ\r\n猫\r\n")},
      {"version 5: shown whole",
       0x0500,
       Encoding::kCp932,
       {{.headword = "apple\tApple", .translation = "りんご"}},
       QStringLiteral("ap"),
       {{"1", "apple\tApple", ""}},
       QStringLiteral("apple\tApple\r\nりんご\r\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NewProfileFolder();
    Options options;
    options.version = c.version;
    options.encoding = c.encoding;
    CViewerDlg& window = OpenWindowWith(MakeDictionary(c.records, options));
    TypeAndSearch(c.key);
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_EQ(window.PaneText(), c.pane);
    window.close();
  }
}

TEST_F(ViewerTest, SearchWithoutAnOpenDictionaryChangesNothing) {
  CViewerDlg& window = OpenWindow();
  window.SearchBox()->setEditText(QStringLiteral("ap"));
  window.OnSearch();
  TypeAndSearch(QStringLiteral("ap"));
  EXPECT_EQ(window.Hits()->rowCount(), 0);
  EXPECT_EQ(window.SearchBox()->count(), 0);
  EXPECT_EQ(window.PaneText(), QString());

  // After an Open file that is cancelled the rows of the last search stay,
  // Search does nothing, and a click on a row leaves the pane alone.
  window.close();
  CViewerDlg& second = OpenWindowWith(MakeDictionary(FruitWords()));
  TypeAndSearch(QStringLiteral("ap"));
  const std::vector<RowTexts> rows = Rows();
  const QString pane = second.PaneText();
  chooser_->answers = {QString()};
  second.OnFileOpen();
  TypeAndSearch(QStringLiteral("ban"));
  EXPECT_EQ(Rows(), rows);
  EXPECT_EQ(History(), QStringList{QStringLiteral("ap")});
  QTest::mouseClick(second.HitList()->viewport(), Qt::LeftButton, {}, RowCentre(2));
  EXPECT_EQ(second.PaneText(), pane);
}

TEST_F(ViewerTest, EmptyKeyListsTheFirstTenThousandRecordsWithoutHistory) {
  std::vector<Record> records;
  for (int i = 0; i < 10050; ++i) {
    char word[16];
    std::snprintf(word, sizeof word, "w%05d", i);
    records.push_back({.headword = word, .translation = "t"});
  }
  CViewerDlg& window = OpenWindowWith(MakeDictionary(records));
  TypeAndSearch(QString());
  const std::vector<RowTexts> rows = Rows();
  ASSERT_EQ(rows.size(), 10000u);
  EXPECT_EQ(rows.front(), (RowTexts{"1", "w00000", ""}));
  EXPECT_EQ(rows[4999], (RowTexts{"5000", "w04999", ""}));
  EXPECT_EQ(rows.back(), (RowTexts{"10000", "w09999", ""}));
  EXPECT_EQ(window.PaneText(), QStringLiteral("w00000\r\nt\r\n"));
  EXPECT_EQ(window.SearchBox()->count(), 0);
}

TEST_F(ViewerTest, KeyWithoutHitsEmptiesTheListKeepsThePaneAndEntersTheHistory) {
  CViewerDlg& window = OpenWindowWith(MakeDictionary(FruitWords()));
  TypeAndSearch(QStringLiteral("ap"));
  const QString pane = window.PaneText();
  TypeAndSearch(QStringLiteral("zebra"));
  EXPECT_EQ(window.Hits()->rowCount(), 0);
  EXPECT_EQ(window.PaneText(), pane);
  EXPECT_EQ(History(), (QStringList{QStringLiteral("zebra"), QStringLiteral("ap")}));
}

TEST_F(ViewerTest, HistoryPutsEachKeyOnTopAndReplacesAnyCaseVariant) {
  struct Case {
    const char* name;
    QStringList keys;     // searched in this order
    QStringList history;  // top first
  };
  const std::vector<Case> cases = {
      {"newest on top", {"ap", "ban", "zz"}, {"zz", "ban", "ap"}},
      {"ABC then abc", {"ABC", "abc"}, {"abc"}},
      {"repeat moves up", {"ap", "ban", "AP"}, {"AP", "ban"}},
      {"empty key not kept", {"ap", "", "ban"}, {"ban", "ap"}},
      {"Japanese", {"日本", "ap", "日本"}, {"日本", "ap"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NewProfileFolder();
    CViewerDlg& window = OpenWindowWith(MakeDictionary(FruitWords()));
    for (const QString& key : c.keys) TypeAndSearch(key);
    EXPECT_EQ(History(), c.history);
    // The top entry is also in the edit field.
    if (!c.keys.back().isEmpty()) {
      EXPECT_EQ(window.SearchBox()->currentText(), c.history.front());
    }
    window.close();
  }
}

TEST_F(ViewerTest, LeftClickAndKeyReleaseShowTheSelectedEntryRightClickDoesNot) {
  CViewerDlg& window = OpenWindowWith(MakeDictionary(FruitWords()));
  TypeAndSearch(QStringLiteral("ap"));
  QWidget* viewport = window.HitList()->viewport();
  const QString first = QStringLiteral("app\r\nアプリ\r\n");
  ASSERT_EQ(window.PaneText(), first);

  struct Step {
    const char* name;
    std::function<void()> act;
    QString pane;  // afterwards
  };
  const std::vector<Step> steps = {
      {"right click on row 3", [&] { QTest::mouseClick(viewport, Qt::RightButton, {}, RowCentre(2)); },
       first},
      {"left click on row 3",
       [&] { QTest::mouseClick(viewport, Qt::LeftButton, {}, RowCentre(2)); },
       QStringLiteral("apple pie\r\nアップルパイ\r\n")},
      {"Down pressed, not yet released",
       [&] { QTest::keyPress(window.HitList(), Qt::Key_Down); },
       QStringLiteral("apple pie\r\nアップルパイ\r\n")},
      {"Down released", [&] { QTest::keyRelease(window.HitList(), Qt::Key_Down); },
       QStringLiteral("apply\r\n適用する\r\n")},
      {"Home clicked", [&] { QTest::keyClick(window.HitList(), Qt::Key_Home); }, first},
      {"right click on row 2, then a key released",
       [&] {
         QTest::mouseClick(viewport, Qt::RightButton, {}, RowCentre(1));
         QTest::keyClick(window.HitList(), Qt::Key_Shift);
       },
       QStringLiteral("apple\r\nりんご\r\nShe cut the apple.\r\n")},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.act();
    EXPECT_EQ(window.PaneText(), step.pane);
  }
}

TEST(FileNameOfPathTest, TakesTheTextAfterTheLastSeparator) {
  struct Case {
    QString path;
    QString name;
  };
  const std::vector<Case> cases = {
      {QStringLiteral("C:\\dic\\eng.dic"), QStringLiteral("eng.dic")},
      {QStringLiteral("/home/a/b.dic"), QStringLiteral("b.dic")},
      {QStringLiteral("b.dic"), QStringLiteral("b.dic")},
      {QStringLiteral("C:\\dic\\"), QString()},
      {QStringLiteral("/home/a/"), QString()},
      // The backslash is looked for first.
      {QStringLiteral("/x\\y/z.dic"), QStringLiteral("y/z.dic")},
      {QString(), QString()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileNameOfPath(c.path), c.name) << c.path.toStdString();
  }
}

}  // namespace
}  // namespace kebu::viewer::testing
