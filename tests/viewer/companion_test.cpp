// The reading companion under X11 (an Xvfb of the test's own): scan mode
// with the selection and the clipboard set by another program (xclip), the
// modifier key held (xdotool), the window's own selections, the popup's
// keys, pin and closing, lookups handed over by a second kebumini process,
// a stale socket after kill -9, the settings, and the command line.
#include <sys/stat.h>

#include "tests/viewer/companion_support.h"
#include "viewer/preferences_dlg.h"

namespace kebu::viewer::testing {
namespace {

QString g_noDisplay;  // why the tests that need X11 are skipped

class X11Test : public CompanionTestBase {
 protected:
  void SetUp() override {
    if (!g_noDisplay.isEmpty()) GTEST_SKIP() << g_noDisplay.toStdString();
    CompanionTestBase::SetUp();
  }
  // Sets the primary selection or the clipboard from another program.
  void Select(const char* selection, const QString& text) {
    QProcess xclip;
    xclip.setStandardOutputFile(QProcess::nullDevice());
    xclip.start("xclip", {"-selection", selection});
    xclip.write(text.toUtf8());
    xclip.closeWriteChannel();
    EXPECT_TRUE(xclip.waitForFinished() && xclip.exitCode() == 0);
  }
  static void Xdotool(const QStringList& args) { QProcess::execute("xdotool", args); }
  void Scan(void (*change)(CompanionSettings&) = nullptr) {
    CompanionSettings settings{.scan = true, .clipboard = true};
    if (change != nullptr) change(settings);
    GetCompanion().SetSettings(settings);
  }
};

TEST_F(X11Test, ScanningShowsWhatAnotherProgramSelectsInItsDictionaryFormWithoutTakingTheFocus) {
  for (const char* tool : {"xclip", "xdotool"}) {
    if (!Installed(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  CViewerDlg& window = Start({.files = {english_, japanese_}});
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  Xdotool({"mousemove", "600", "500"});
  Scan();
  // What changes, the selection made, and the popup's word, line and entries ("": none comes).
  using Row = std::tuple<void (*)(CompanionSettings&), const char*, QString, QString, QString, QString>;
  const auto modifier = [](CompanionSettings& s) { s.modifier = Qt::ControlModifier; };
  // clang-format off
  for (const auto& [change, selection, text, word, line, entries] : std::vector<Row>{
      {nullptr, "primary", "running", "run", "running → run",
       "english.dic\nrun  [ラン]\n走る\nHe runs every day.\njapanese.dic\nrun\na run; 走ること"},
      {nullptr, "clipboard", " 食べました。", "食べる", "食べました → 食べる",
       "japanese.dic\n食べる  [たべる]\nto eat\n魚を食べました。"},
      {nullptr, "primary", "“Mice!”", "mouse", "Mice → mouse", "english.dic\nmouse\nねずみ"},
      {nullptr, "primary", "鉄道会社に勤めています", "鉄道会社", "鉄道会社に勤めています → 鉄道会社",
       "japanese.dic\n鉄道会社\nrailway company"},
      {nullptr, "primary", QString(80, u'x'), QString(80, u'x'), "No entry for “" + QString(80, u'x') + "”", ""},
      {nullptr, "primary", QString(81, u'y'), "", "", ""},  // longer than ScanMaxChars
      {nullptr, "primary", QString("𠮷").repeated(50), QString("𠮷").repeated(50), "", ""},  // 50 characters, 100 units
      {[](CompanionSettings& s) { s.maxChars = 90; }, "primary", QString(81, u'y'), QString(81, u'y'), "", ""},
      {[](CompanionSettings& s) { s.forms = false; }, "primary", "went", "went", "No entry for “went”", ""},
      {[](CompanionSettings& s) { s.primary = false; }, "primary", "went", "", "", ""},
      {[](CompanionSettings& s) { s.clipboard = false; }, "clipboard", "went", "", "", ""},
      {[](CompanionSettings& s) { s.scan = false; }, "primary", "went", "", "", ""},
      {modifier, "primary", "went", "", "", ""},  // Ctrl is not held
      {modifier, "ctrl", "went", "go", "went → go", "english.dic\ngo\n行く"}}) {
    // clang-format on
    SCOPED_TRACE(text.toStdString());
    Scan(change);
    if (Popup() != nullptr) Popup()->hide();
    const bool ctrl = std::string(selection) == "ctrl";
    if (ctrl) Xdotool({"keydown", "ctrl"});
    Select(ctrl ? "primary" : selection, text);
    if (word.isEmpty()) {
      QTest::qWait(400);
      EXPECT_TRUE(Popup() == nullptr || !Popup()->isVisible());
      continue;
    }
    EXPECT_TRUE(PopupShows(word));
    if (ctrl) Xdotool({"keyup", "ctrl"});
    if (!line.isEmpty()) {
      EXPECT_EQ(Popup()->DescriptionLabel()->text(), line);
    }
    EXPECT_EQ(PopupText(), entries);
    // Shown without the focus, on the screen, clear of the pointer's line.
    EXPECT_TRUE(window.isActiveWindow() && !Popup()->isActiveWindow());
    EXPECT_TRUE(window.screen()->geometry().contains(Popup()->frameGeometry()));
    EXPECT_GT(Popup()->y(), QCursor::pos().y());
  }
  // The window's own selection (a word double-clicked in its pane) is passed over.
  Scan();
  window.ShowInSearch("go");  // "— english.dic —", "go", "行く"
  Popup()->hide();
  QTextCursor second(window.TextPane()->document()->findBlockByNumber(1));
  QTest::mouseDClick(window.TextPane()->viewport(), Qt::LeftButton, {},
                     window.TextPane()->cursorRect(second).center() + QPoint(4, 0));
  EXPECT_EQ(QGuiApplication::clipboard()->text(QClipboard::Selection), "go");
  QTest::qWait(400);
  EXPECT_FALSE(Popup()->isVisible());
}

TEST_F(X11Test, ThePopupsKeysPinAndOpenInWindowAndAClickElsewhereClosesIt) {
  if (!Installed("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  CViewerDlg& window = Start({.files = {english_, japanese_}});
  window.OnZoom(1);
  Xdotool({"mousemove", "200", "150"});
  GetCompanion().LookUp("running");
  ASSERT_TRUE(PopupShows("run"));
  CPopupDlg& popup = *Popup();
  EXPECT_EQ(popup.EntryView()->font().pixelSize(), 18);  // the window's zoom
  EXPECT_FALSE(popup.isActiveWindow());
  QTest::mouseClick(popup.EntryView()->viewport(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&popup));
  for (const auto& [key, hit] : {std::pair(Qt::Key_Tab, 1), {Qt::Key_Tab, 1}, {Qt::Key_Backtab, 0}, {Qt::Key_N, 1}}) {
    QTest::keyClick(popup.EntryView(), key);
    EXPECT_EQ(popup.CurrentHit(), hit);
  }
  EXPECT_EQ(popup.HitCount(), 2);
  // A click elsewhere on the screen closes it, unless it is pinned.
  const auto clickElsewhere = [&] {
    QPoint free(5, 1000);
    if (window.frameGeometry().contains(free) || popup.frameGeometry().contains(free)) free = {1270, 5};
    Xdotool({"mousemove", QString::number(free.x()), QString::number(free.y()), "click", "1"});
    QTest::qWait(300);
  };
  popup.PinButton()->click();
  clickElsewhere();
  EXPECT_TRUE(popup.isVisible());
  popup.PinButton()->click();
  clickElsewhere();
  EXPECT_FALSE(popup.isVisible());
  GetCompanion().LookUp("went");  // Esc closes it once it has been clicked
  ASSERT_TRUE(PopupShows("go"));
  QTest::mouseClick(popup.EntryView()->viewport(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&popup));
  QTest::keyClick(popup.EntryView(), Qt::Key_Escape);
  EXPECT_FALSE(popup.isVisible());
  GetCompanion().LookUp("食べました");  // Open in window searches the word there
  ASSERT_TRUE(PopupShows("食べる"));
  popup.OpenButton()->click();
  EXPECT_EQ(window.SearchBox()->currentText(), "食べる");
  EXPECT_EQ(window.PaneText(), "— japanese.dic —\r\n食べる\r\n[たべる]\r\nto eat\r\n魚を食べました。\r\n");
  EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_FALSE(popup.isVisible());
}

TEST_F(X11Test, ASecondStartHandsItsLineToTheRunningWindowAndAStaleSocketIsCleanedUp) {
  if (!Installed("xclip")) GTEST_SKIP() << "xclip is not installed";
  InstanceLock lock, second;
  ASSERT_EQ(lock.Acquire(Runtime()), InstanceLock::State::kFirst);
  EXPECT_EQ(second.Acquire(Runtime()), InstanceLock::State::kRunning);
  CViewerDlg& window = Start({.files = {english_}}, true);
  struct stat socket {};
  ASSERT_EQ(::stat(SocketPath(Runtime()).toUtf8().constData(), &socket), 0);
  EXPECT_EQ(socket.st_mode & 077, 0u);  // the user's only
  Select("primary", "went");
  // The arguments, the exit status, the dictionaries then and the popup's word ("": none).
  using Row = std::tuple<QStringList, int, int, QString>;
  for (const auto& [args, status, dictionaries, word] : std::vector<Row>{
           {{QString(japanese_), QString(english_)}, 0, 2, ""},  // added, the open one not again
           {{"--lookup", "食べました"}, 0, 2, "食べる"},
           {{"--lookup-selection"}, 0, 2, "go"},
           {{"--lookup", "x", "--lookup-selection"}, 2, 2, ""}}) {
    SCOPED_TRACE(args.join(' ').toStdString());
    EXPECT_EQ(Kebumini(args), status);
    EXPECT_EQ(window.Dictionaries().Size(), dictionaries);
    if (!word.isEmpty()) {
      EXPECT_TRUE(PopupShows(word));
    }
  }
  // A window killed leaves its socket; the next first start removes it and listens.
  TempDir other;
  qputenv("XDG_RUNTIME_DIR", other.path().c_str());
  QProcess killed;
  killed.start(QCoreApplication::applicationDirPath() + "/kebumini", {QString(english_)});
  const QString socketPath = SocketPath(QString::fromStdString(other.path()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(socketPath); }, 10000));  // it listens
  ASSERT_EQ(Kebumini({}), 0);  // and answers
  killed.kill();
  ASSERT_TRUE(killed.waitForFinished());
  ASSERT_TRUE(QFile::exists(socketPath));
  app_.reset();
  InstanceLock after;
  ASSERT_EQ(after.Acquire(QString::fromStdString(other.path())), InstanceLock::State::kFirst);
  app_ = std::make_unique<CViewerApp>();
  QString error;
  ASSERT_TRUE(app_->Start({.files = {english_}}, socketPath, &error))
      << error.toStdString();
  EXPECT_EQ(Kebumini({"--lookup", "mice"}), 0);
  EXPECT_TRUE(PopupShows("mouse"));
}

TEST_F(X11Test, TheSettingsComeFromThePreferencesAndTheProfileAndAMissingToolIsNamed) {
  CViewerDlg& window = Start({.files = {japanese_}});
  CPreferencesDlg preferences(GetCompanion().Settings());
  EXPECT_FALSE(preferences.ScanBox()->isChecked());
  preferences.ScanBox()->setChecked(true);
  preferences.PrimaryBox()->setChecked(false);
  preferences.ClipboardBox()->setChecked(true);
  preferences.ModifierBox()->setCurrentIndex(2);  // Alt
  preferences.MaxCharsBox()->setValue(40);
  preferences.FormsBox()->setChecked(false);
  GetCompanion().SetSettings(preferences.Settings());
  EXPECT_TRUE(GetCompanion().ScanAction()->isChecked());
  window.close();
  const std::string keys = "ScanSelections=1\nScanPrimary=0\nScanClipboard=1\nScanModifier=alt\n"
                           "ScanMaxChars=40\nDictionaryForms=0\n";
  EXPECT_NE(ReadText(config_.File("kebumini/kebumini.ini")).find(keys), std::string::npos);
  Start({});
  GetCompanion().ScanAction()->toggle();
  const CompanionSettings read = GetCompanion().Settings();
  EXPECT_EQ(read, (CompanionSettings{false, false, true, Qt::AltModifier, 40, false}));
  // Values that are no such value read as the defaults.
  WriteFile(config_.File("kebumini/kebumini.ini"),
            "[Globals]\nScanSelections=yes\nScanModifier=hyper\nScanMaxChars=0\nDictionaryForms=2\n");
  EXPECT_EQ(Start({}).GetCompanion().Settings(), CompanionSettings());
  // Without MeCab's dictionary the popup says what to install; a newer
  // request supersedes an older one, whose result never comes.
  PopupLookup lookup(forms::LanguageToolPaths::InFolder("/nonexistent"));
  std::vector<PopupResult> done;
  QObject::connect(&lookup, &PopupLookup::Done, [&](const PopupResult& result) { done.push_back(result); });
  DicReader reader;
  ASSERT_TRUE(reader.Open(japanese_.toStdString()).IsOk());
  lookup.Request("鉄道会社", {{reader.Source(), "j"}}, true);
  lookup.Request("食べました", {{reader.Source(), "j"}}, true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !done.empty(); }));
  QTest::qWait(100);
  ASSERT_EQ(done.size(), 1u);
  CPopupDlg popup;
  popup.ShowResult(done[0], QFont(), {});
  EXPECT_EQ(popup.NoteLabel()->text(), "Japanese forms need MeCab with IPADIC: install mecab-ipadic-utf8.");
}

TEST(PlacePopup, StaysOnTheScreenAndClearOfThePointersLine) {
  const QRect screen(0, 0, 1000, 800);
  // The pointer, the popup's size; where it goes.
  using Row = std::tuple<QPoint, QSize, QRect>;
  for (const auto& [pointer, size, place] : std::vector<Row>{
           {{300, 200}, {400, 300}, {280, 221, 400, 300}},   // below, a line clear
           {{300, 700}, {400, 300}, {280, 380, 400, 300}},   // above: no room below
           {{900, 100}, {400, 300}, {600, 121, 400, 300}},   // moved in from the right edge
           {{10, 390}, {400, 500}, {0, 411, 400, 389}},      // cut to the larger room
           {{500, 400}, {1200, 200}, {0, 421, 1000, 200}}}) {  // no wider than the screen
    EXPECT_EQ(PlacePopup(screen, pointer, size, 20), place) << pointer.x() << "," << pointer.y();
  }
}

TEST(CommandLine, LookupsFilesQtsOptionsAndWrongUsage) {
  const QByteArray here = QFile::encodeName(QDir::currentPath());
  using Row = std::pair<std::vector<const char*>, CommandLine>;
  for (const auto& [args, line] : std::vector<Row>{
           {{"a.dic", "/x/b.dic"}, {.files = {here + "/a.dic", "/x/b.dic"}}},
           {{"--lookup", "走った", "a.dic"}, {.files = {here + "/a.dic"}, .lookup = "走った"}},
           {{"--lookup=-x", "--lookup-selection"},
            {.lookup = "-x", .lookupSelection = true, .error = "--lookup and --lookup-selection exclude each other"}},
           {{"-platform", "xcb", "-reverse", "--style", "x", "--", "--help"}, {.files = {here + "/--help"}}},
           {{"--help", "--version"}, {.help = true, .version = true}},
           {{"--lookup"}, {.error = "--lookup needs the text to look up"}},
           {{"--bogus"}, {.error = "unknown option --bogus"}}}) {
    std::vector<char*> argv{const_cast<char*>("kebumini")};
    for (const char* a : args) argv.push_back(const_cast<char*>(a));
    EXPECT_EQ(ParseCommandLine(static_cast<int>(argv.size()), argv.data()), line) << args[0];
    if (line.error.isEmpty() && !line.help) {
      EXPECT_EQ(DecodeRequest(EncodeRequest(line)), line);  // as the socket carries it
    }
  }
  EXPECT_EQ(DecodeRequest("kebumini"), std::nullopt);
}

}  // namespace
}  // namespace kebu::viewer::testing

// An Xvfb of the test's own, unless Xvfb is missing (then the tests that
// need it are skipped, saying so). Listing the tests needs no display.
static void StartXvfb() {
  using kebu::viewer::testing::g_noDisplay;
  if (!kebu::viewer::testing::Installed("Xvfb")) {
    g_noDisplay = "Xvfb is not installed (package xvfb)";
    return;
  }
  int ready[2];
  if (::pipe(ready) != 0) std::abort();
  kebu::viewer::testing::SpawnTied({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0",
                                    "1280x1024x24", "-nolisten", "tcp"},
                                   ready[1]);
  ::close(ready[1]);
  std::string display;
  char c;
  while (::read(ready[0], &c, 1) == 1 && c != '\n') display += c;
  ::close(ready[0]);
  if (display.empty()) {
    g_noDisplay = "Xvfb did not start";
    return;
  }
  qputenv("DISPLAY", (":" + display).c_str());
  qputenv("QT_QPA_PLATFORM", "xcb");
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!::testing::GTEST_FLAG(list_tests)) StartXvfb();
  if (!kebu::viewer::testing::g_noDisplay.isEmpty() || ::testing::GTEST_FLAG(list_tests)) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
