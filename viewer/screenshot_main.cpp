// kebumini_screenshot: pictures of the viewer for the documentation and for
// checking it by eye, and the start-up time.
//
//   kebumini_screenshot --window OUT.png KEY ROW DICTIONARY...
//       Builds the main window with the DICTIONARY files remembered as its
//       list (in a profile of its own, under a temporary folder), types KEY
//       into the search box, presses Search, selects hit ROW (counted from
//       1) and writes the window into OUT.png, in the language of the
//       locale (LANG).
//   kebumini_screenshot --about OUT.png
//       Writes the about box into OUT.png.
//   kebumini_screenshot --screen OUT.png
//       Writes the whole screen into OUT.png (to see a real kebumini window
//       under a virtual X server).
//   kebumini_screenshot --startup DICTIONARY...
//       Prints how long the way from the start of main to the first painted
//       window with the DICTIONARY files open (remembered in the profile)
//       takes, step by step.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <cstdio>

#include "viewer/about_dlg.h"
#include "viewer/hit_list_model.h"
#include "viewer/profile.h"
#include "viewer/viewer_app.h"
#include "viewer/viewer_dlg.h"
#include "viewer/viewer_settings.h"

namespace {

using kebu::viewer::CViewerDlg;

int Usage() {
  std::fprintf(stderr,
               "usage: kebumini_screenshot --window OUT.png KEY ROW DICTIONARY...\n"
               "       kebumini_screenshot --about OUT.png\n"
               "       kebumini_screenshot --screen OUT.png\n"
               "       kebumini_screenshot --startup DICTIONARY...\n");
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

// A profile in a temporary folder that remembers `dictionaries`.
bool RememberDictionaries(QTemporaryDir& config, const QStringList& dictionaries) {
  if (!config.isValid()) return false;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  kebu::viewer::ViewerSettings settings;
  for (const QString& path : dictionaries) {
    settings.paths.push_back(QFile::encodeName(QDir(path).absolutePath()));
  }
  kebu::viewer::Profile profile;
  kebu::viewer::WriteSettings(settings, &profile);
  return profile.Save();
}

int Window(const QString& out, const QString& key, int row, const QStringList& dictionaries) {
  QTemporaryDir config;
  if (!RememberDictionaries(config, dictionaries)) return 1;
  CViewerDlg window;
  if (window.Dictionaries().OpenCount() != dictionaries.size()) {
    std::fprintf(stderr, "kebumini_screenshot: cannot open %s\n",
                 qPrintable(dictionaries.join(QLatin1Char(' '))));
    return 1;
  }
  // Larger than the default, so that the three groups of hits show.
  window.resize(600, 560);
  window.Splitter()->setSizes({280, 200});
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
  QTest::qWait(100);
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

int Startup(const QElapsedTimer& sinceMain, qint64 applicationReady,
            const QStringList& dictionaries) {
  QTemporaryDir config;
  if (!RememberDictionaries(config, dictionaries)) return 1;
  const qint64 profileWritten = sinceMain.nsecsElapsed();
  CViewerDlg window;
  const qint64 constructed = sinceMain.nsecsElapsed();
  window.show();
  while (window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  QCoreApplication::processEvents();  // the first painting
  const qint64 shown = sinceMain.nsecsElapsed();
  const int open = window.Dictionaries().OpenCount();
  std::printf(
      "QApplication ready %.1f ms; window built, %d of %lld dictionaries open %.1f ms; "
      "shown %.1f ms after main (profile setup %.1f ms not part of a real start)\n",
      applicationReady / 1e6, open, static_cast<long long>(dictionaries.size()),
      (constructed - profileWritten) / 1e6, (shown - profileWritten + applicationReady) / 1e6,
      (profileWritten - applicationReady) / 1e6);
  return open == dictionaries.size() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer sinceMain;
  sinceMain.start();
  QApplication application(argc, argv);
  const qint64 applicationReady = sinceMain.nsecsElapsed();
  const QStringList args = QCoreApplication::arguments();
  if (args.size() >= 6 && args[1] == QLatin1String("--window")) {
    // In the user's language, as the program shows it (LANG=ja_JP.UTF-8).
    const auto translation = kebu::viewer::InstallTranslation(QLocale::system());
    return Window(args[2], args[3], args[4].toInt(), args.mid(5));
  }
  if (args.size() == 3 && args[1] == QLatin1String("--about")) return About(args[2]);
  if (args.size() == 3 && args[1] == QLatin1String("--screen")) return Screen(args[2]);
  if (args.size() >= 3 && args[1] == QLatin1String("--startup")) {
    return Startup(sinceMain, applicationReady, args.mid(2));
  }
  return Usage();
}
