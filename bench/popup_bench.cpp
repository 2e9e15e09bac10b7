// The popup as a user meets it, on X11 (run it under Xvfb): the window of
// kebumini with the DICT files, scanning the primary selection, listening
// for later starts as the program does (a runtime folder and a profile in
// temporary folders).
//  - first popups: from the selection set to the first paint of its popup,
//    for the first English word (WordNet's lists load), the first Japanese
//    word (MeCab loads) and the first word that only Hunspell could find
//    (Hunspell loads), in this order, in a fresh process;
//  - selection_ms: 50 words (25 English as they stand in EDICT's glosses, 25
//    Japanese inflected from its headwords) ROUNDS times each: from starting
//    `xclip -selection primary` with the word to the first paint of the
//    popup showing it (the popup closed before each, as a click elsewhere
//    closes it); median, 95th percentile and slowest; after_read_ms: the
//    same from the moment the window has read the new selection's text
//    (the lookup and the popup: the window's own share);
//  - memory: VmRSS and VmHWM of the process then (scanning on, the tools
//    loaded);
//  - second_start_ms: from starting `kebumini --lookup WORD` (a second
//    process, which hands the word to this window) to the first paint of
//    the popup showing it; median, 95th percentile.
//
//   popup_bench [--rounds=N] DICT...   prints one JSON object
//
// Exit code 1 when not on X11, when xclip or kebumini is missing, when a
// dictionary does not open or a popup does not come.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "viewer/companion.h"
#include "viewer/popup_dlg.h"
#include "viewer/single_instance.h"
#include "viewer/viewer_app.h"
#include "viewer/viewer_dlg.h"

namespace {

using namespace kebu::viewer;

const char* const kEnglish[] = {
    "running", "went",   "mice",    "better",   "studies", "stopped", "walked", "taking", "children",
    "geese",   "biggest", "leaves", "Americans", "knives", "cities",  "eaten",  "quickly", "kindness",
    "boxes",   "hoped",  "carried", "worse",    "teeth",   "women",   "written"};
const char* const kJapanese[] = {
    "食べました", "行かなかった", "美しくない", "静かな", "鉄道会社に勤めています", "勉強しています",
    "読んだ", "書きます", "見ない", "来た", "高かった", "新しくて", "飲みました", "話している", "泳いだ",
    "持っていない", "寒いです", "元気な", "電車で行きます", "日本語を勉強する", "食べさせられた",
    "待ってください", "分かりません", "遊んだ", "「辞書」"};

double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
  }
  return -1;
}

[[noreturn]] void Fail(const QString& why) {
  std::fprintf(stderr, "popup_bench: %s\n", qPrintable(why));
  std::exit(1);
}

// The clock from a start to the popup's first paint: the popup is closed
// before, so its first paint shows the start's result.
class PaintClock : public QObject {
 public:
  explicit PaintClock(Companion& companion) : companion_(companion) {
    qApp->installEventFilter(this);
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this] {
      if (read_ < 0) read_ = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
    });
  }
  // When the window had read the last selection, ms after the start (the
  // window's own handler of the change comes first).
  double Read() const { return read_; }
  // Runs `start` (which makes a lookup of `text` arrive) and waits for the
  // paint; ms.
  template <typename Start>
  double Time(const QString& text, Start start) {
    if (companion_.Popup() != nullptr) companion_.Popup()->hide();
    QCoreApplication::processEvents();
    painted_ = -1;
    read_ = -1;
    // A real event loop, as the window's: QTest::qWaitFor sleeps 10 ms
    // between its rounds of events.
    QEventLoop loop;
    loop_ = &loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    clock_.start();
    start();
    if (painted_ < 0) loop.exec();
    loop_ = nullptr;
    if (painted_ < 0) Fail("no popup for " + text);
    return painted_;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && painted_ < 0 && watched->isWidgetType()) {
      const CPopupDlg* popup = companion_.Popup();
      if (popup != nullptr && static_cast<QWidget*>(watched)->window() == popup) {
        painted_ = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
        if (loop_ != nullptr) loop_->quit();
      }
    }
    return false;
  }

 private:
  Companion& companion_;
  QElapsedTimer clock_;
  QEventLoop* loop_ = nullptr;
  double painted_ = -1;
  double read_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
  int rounds = 3;
  std::vector<QByteArray> files;
  for (int i = 1; i < argc; ++i) {
    const QByteArray arg(argv[i]);
    if (arg.startsWith("--rounds=")) rounds = std::max(1, arg.mid(9).toInt());
    else files.push_back(QFile::encodeName(QFileInfo(QString::fromLocal8Bit(arg)).absoluteFilePath()));
  }
  QTemporaryDir config, runtime;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication application(argc, argv);
  if (QGuiApplication::platformName() != "xcb") Fail("needs X11 (run it under xvfb-run)");
  const QString kebumini = QCoreApplication::applicationDirPath() + "/kebumini";
  if (QStandardPaths::findExecutable("xclip").isEmpty() || !QFile::exists(kebumini)) {
    Fail("needs xclip and " + kebumini);
  }
  InstanceLock lock;
  if (lock.Acquire(runtime.path()) != InstanceLock::State::kFirst) Fail(lock.Error());
  CViewerApp app;
  QString error;
  CommandLine line;
  line.files = files;
  if (!app.Start(line, SocketPath(runtime.path()), &error)) Fail(error);
  CViewerDlg& window = *app.Window();
  if (window.Dictionaries().OpenCount() != static_cast<int>(files.size())) Fail("a dictionary did not open");
  if (!QTest::qWaitForWindowExposed(&window)) Fail("the window is not shown");
  Companion& companion = window.GetCompanion();
  CompanionSettings scan;
  scan.scan = true;
  companion.SetSettings(scan);
  PaintClock clock(companion);

  const auto select = [&](const QString& text) {
    return [text] {
      auto* xclip = new QProcess(qApp);
      xclip->setStandardOutputFile(QProcess::nullDevice());
      QObject::connect(xclip, &QProcess::finished, xclip, &QObject::deleteLater);
      xclip->start("xclip", {"-selection", "primary"});
      xclip->write(text.toUtf8());
      xclip->closeWriteChannel();
    };
  };
  // First uses, in a process that has looked nothing up yet.
  std::printf("{\n  \"first_popups_ms\": {");
  const char* const firsts[] = {"went", "食べました", "qzxv"};
  for (const char* text : firsts) {
    const double ms = clock.Time(QString::fromUtf8(text), select(QString::fromUtf8(text)));
    std::printf("%s\"%s\": %.1f", text == firsts[0] ? "" : ", ", text, ms);
  }
  std::printf("},\n");

  std::vector<QString> texts;
  for (const char* w : kEnglish) texts.push_back(QString::fromUtf8(w));
  for (const char* w : kJapanese) texts.push_back(QString::fromUtf8(w));
  std::vector<double> selection, afterRead;
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < texts.size(); ++i) {
      selection.push_back(clock.Time(texts[i], select(texts[i])));
      afterRead.push_back(selection.back() - clock.Read());
    }
  }
  std::printf("  \"selection_ms\": {\"median\": %.2f, \"p95\": %.2f, \"max\": %.2f, \"n\": %zu},\n",
              Quantile(selection, 0.5), Quantile(selection, 0.95), Quantile(selection, 1.0),
              selection.size());
  std::printf("  \"after_read_ms\": {\"median\": %.2f, \"p95\": %.2f},\n",
              Quantile(afterRead, 0.5), Quantile(afterRead, 0.95));
  std::printf("  \"memory_kb\": {\"VmRSS\": %ld, \"VmHWM\": %ld},\n", StatusKb("VmRSS:"),
              StatusKb("VmHWM:"));

  std::vector<double> second;
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < texts.size(); i += 5) {
      second.push_back(clock.Time(texts[i], [&, text = texts[i]] {
        auto* process = new QProcess(qApp);
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        process->start(kebumini, {"--lookup", text});
      }));
    }
  }
  std::printf("  \"second_start_ms\": {\"median\": %.2f, \"p95\": %.2f, \"max\": %.2f, \"n\": %zu}\n}\n",
              Quantile(second, 0.5), Quantile(second, 0.95), Quantile(second, 1.0), second.size());
  QTest::qWait(200);  // the last processes end
  return 0;
}
