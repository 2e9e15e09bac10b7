// What the companion's tests share: a display server of their own (Xvfb or
// weston, ended with the test process), the window with a runtime folder
// and a profile of its own, dictionaries from the writer, and the popup's
// state.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QtTest>
#include <QtWidgets>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "viewer/companion.h"
#include "viewer/popup_dlg.h"
#include "viewer/viewer_app.h"
#include "viewer/single_instance.h"
#include "viewer/viewer_dlg.h"

namespace kebu::viewer::testing {

using namespace kebu::testing;

// Whether `program` is on the PATH.
inline bool Installed(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

// Starts `argv`, ended by SIGTERM when this process ends; `keepFd` stays open in it.
inline pid_t SpawnTied(std::vector<std::string> argv, int keepFd = -1) {
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::_exit(127);
  for (int fd = 3; fd < 256; ++fd) {
    if (fd != keepFd) ::close(fd);
  }
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  ::execvp(args[0], args.data());
  ::_exit(127);
}

// Dictionaries of English and Japanese words for the forms.
inline std::vector<Record> EnglishWords() {
  return {{.headword = "go", .translation = "行く"},
          {.headword = "mouse", .translation = "ねずみ"},
          {.headword = "run", .translation = "走る", .example = "He runs every day.", .pronunciation = "ラン"}};
}
inline std::vector<Record> JapaneseWords() {
  return {{.headword = V6Headword("run"), .translation = "a run; 走ること"},
          {.headword = V6Headword("行く"), .translation = "to go"},
          {.headword = V6Headword("食べる"), .translation = "to eat", .example = "魚を食べました。",
           .pronunciation = "たべる"},
          {.headword = V6Headword("鉄道会社"), .translation = "railway company"}};
}

class CompanionTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("XDG_CONFIG_HOME", config_.path().c_str());
    qputenv("XDG_RUNTIME_DIR", runtime_.path().c_str());
    english_ = Dic(EnglishWords(), "english.dic");
    japanese_ = Dic(JapaneseWords(), "japanese.dic", {.version = 0x0600, .encoding = Encoding::kBocu1});
  }
  void TearDown() override { app_.reset(); }
  QByteArray Dic(std::vector<Record> records, const std::string& name, Options options = {}) {
    WriteFile(files_.File(name), MakeDictionary(std::move(records), options).bytes);
    return QByteArray::fromStdString(files_.File(name));
  }
  // The window with `line`'s files; listening at the runtime folder's socket with `listen`.
  CViewerDlg& Start(const CommandLine& line, bool listen = false) {
    app_ = std::make_unique<CViewerApp>();
    QString error;
    EXPECT_TRUE(app_->Start(line, listen ? SocketPath(Runtime()) : QString(), &error)) << error.toStdString();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(app_->Window()) || line.lookup || line.lookupSelection);
    return *app_->Window();
  }
  QString Runtime() const { return QString::fromStdString(runtime_.path()); }
  Companion& GetCompanion() const { return app_->Window()->GetCompanion(); }
  CPopupDlg* Popup() const { return GetCompanion().Popup(); }
  // Waits for the popup to show `word` ("Open in window"'s word); false when it does not.
  bool PopupShows(const QString& word, int timeoutMs = 5000) const {
    return QTest::qWaitFor([&] { return Popup() && Popup()->isVisible() && Popup()->Word() == word; },
                           timeoutMs);
  }
  QString PopupText() const { return Popup()->EntryView()->toPlainText(); }
  // Runs kebumini with `args` while this process's events go on; its exit status.
  int Kebumini(const QStringList& args) const {
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/kebumini", args);
    EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000));
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }

  TempDir config_, runtime_, files_;
  QByteArray english_, japanese_;
  std::unique_ptr<CViewerApp> app_;
};

}  // namespace kebu::viewer::testing
