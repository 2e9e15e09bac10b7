// kebumini_screenshot: pictures of the viewer for the documentation and for
// checking it by eye.
//
//   kebumini_screenshot --window OUT.png DICTIONARY KEY [ROW]
//       Builds the main window with DICTIONARY remembered as the last one
//       (in a profile of its own, under a temporary folder), types KEY into
//       the search box, presses Search, selects hit ROW (counted from 1,
//       default 1) and writes the window into OUT.png.
//   kebumini_screenshot --about OUT.png
//       Writes the about box into OUT.png.
//   kebumini_screenshot --screen OUT.png
//       Writes the whole screen into OUT.png (to see a real kebumini window
//       under a virtual X server).
//   kebumini_screenshot --startup DICTIONARY
//       Prints how long the way from the start of main to the first shown
//       window with DICTIONARY open takes, step by step.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <cstdio>

#include "viewer/about_dlg.h"
#include "viewer/hit_list_model.h"
#include "viewer/profile.h"
#include "viewer/viewer_dlg.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: kebumini_screenshot --window OUT.png DICTIONARY KEY [ROW]\n"
               "       kebumini_screenshot --about OUT.png\n"
               "       kebumini_screenshot --screen OUT.png\n"
               "       kebumini_screenshot --startup DICTIONARY\n");
  return 2;
}

bool Save(const QPixmap& picture, const QString& path) {
  if (picture.isNull() || !picture.save(path, "PNG")) {
    std::fprintf(stderr, "kebumini_screenshot: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s: %dx%d\n", qPrintable(path), picture.width(), picture.height());
  return true;
}

void Settle(QWidget& widget) {
  widget.show();
  (void)QTest::qWaitForWindowExposed(&widget, 2000);
  QTest::qWait(50);
}

// Profile pointing at `dictionary`, in a temporary folder.
bool RememberDictionary(QTemporaryDir& config, const QString& dictionary) {
  if (!config.isValid()) return false;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
  std::unique_ptr<QSettings> profile = kebu::viewer::OpenProfile();
  kebu::viewer::WriteProfileString(*profile, QStringLiteral("FilePath"),
                                   QDir(dictionary).absolutePath());
  return true;
}

int Window(const QString& out, const QString& dictionary, const QString& key, int row) {
  using kebu::viewer::CViewerDlg;
  QTemporaryDir config;
  if (!RememberDictionary(config, dictionary)) return 1;
  CViewerDlg window;
  if (!window.IsDictionaryOpen()) {
    std::fprintf(stderr, "kebumini_screenshot: cannot open %s\n", qPrintable(dictionary));
    return 1;
  }
  Settle(window);
  window.SearchBox()->setEditText(key);
  window.OnSearch();
  if (row > 1 && row <= window.Hits()->rowCount()) {
    QTableView* list = window.HitList();
    const QModelIndex index = window.Hits()->index(row - 1, 0);
    list->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->scrollTo(index);
    window.ShowSelectedEntry();
  }
  QTest::qWait(50);
  const bool saved = Save(window.grab(), out);
  window.close();
  return saved ? 0 : 1;
}

int About(const QString& out) {
  kebu::viewer::CAboutDlg about;
  Settle(about);
  return Save(about.grab(), out) ? 0 : 1;
}

int Screen(const QString& out) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return 1;
  return Save(screen->grabWindow(0), out) ? 0 : 1;
}

int Startup(const QElapsedTimer& sinceMain, qint64 applicationReady, const QString& dictionary) {
  QTemporaryDir config;
  if (!RememberDictionary(config, dictionary)) return 1;
  const qint64 profileWritten = sinceMain.nsecsElapsed();
  kebu::viewer::CViewerDlg window;
  const qint64 constructed = sinceMain.nsecsElapsed();
  window.show();
  while (window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  QCoreApplication::processEvents();  // the first painting
  const qint64 shown = sinceMain.nsecsElapsed();
  std::printf("QApplication ready %.1f ms; window built, dictionary %s %.1f ms; "
              "shown %.1f ms after main (profile setup %.1f ms not part of a real start)\n",
              applicationReady / 1e6, window.IsDictionaryOpen() ? "open" : "NOT open",
              (constructed - profileWritten) / 1e6, (shown - profileWritten + applicationReady) / 1e6,
              (profileWritten - applicationReady) / 1e6);
  return window.IsDictionaryOpen() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer sinceMain;
  sinceMain.start();
  QApplication application(argc, argv);
  const qint64 applicationReady = sinceMain.nsecsElapsed();
  const QStringList args = QCoreApplication::arguments();
  if (args.size() >= 5 && args[1] == QLatin1String("--window")) {
    const int row = args.size() >= 6 ? args[5].toInt() : 1;
    return Window(args[2], args[3], args[4], row);
  }
  if (args.size() == 3 && args[1] == QLatin1String("--about")) return About(args[2]);
  if (args.size() == 3 && args[1] == QLatin1String("--screen")) return Screen(args[2]);
  if (args.size() == 3 && args[1] == QLatin1String("--startup")) {
    return Startup(sinceMain, applicationReady, args[2]);
  }
  return Usage();
}
