// Peak resident memory of the viewer window: the window made with DICT as
// the profile's dictionary (a profile in a temporary folder), shown on the
// offscreen platform, then a search with the empty key that fills all
// 10,000 rows and shows the first entry.
//
//   viewer_memory DICT      prints {"shown_kb": ..., "searched_kb": ..., "rows": ...,
//                                   "search_ms": [...]}
//
// search_ms: the time of that search and of ten more, each from OnSearch to
// the rows and the first entry shown and the events served (painting
// included).
//
// The figures are getrusage's ru_maxrss (the peak so far, in KB) after the
// window is shown and after the search. Exit code 1 when the dictionary does
// not open or the search does not fill 10,000 rows.
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "viewer/hit_list_model.h"
#include "viewer/profile.h"
#include "viewer/viewer_dlg.h"

namespace {

long PeakKb() {
  rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void ServeEvents() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: viewer_memory DICT\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QTemporaryDir config;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
  {
    std::unique_ptr<QSettings> profile = kebu::viewer::OpenProfile();
    kebu::viewer::WriteProfileString(*profile, QStringLiteral("FilePath"),
                                     QString::fromLocal8Bit(argv[1]));
  }

  auto window = std::make_unique<kebu::viewer::CViewerDlg>();
  if (!window->IsDictionaryOpen()) {
    std::fprintf(stderr, "viewer_memory: %s did not open\n", argv[1]);
    return 1;
  }
  window->show();
  ServeEvents();
  const long shown = PeakKb();

  window->SearchBox()->setEditText(QString());
  QElapsedTimer timer;
  timer.start();
  window->OnSearch();
  ServeEvents();
  std::string times = std::to_string(timer.nsecsElapsed() / 1e6);
  const long searched = PeakKb();
  const int rows = window->Hits()->rowCount();
  for (int i = 0; i < 10; ++i) {
    window->SearchBox()->setEditText(QString());
    timer.restart();
    window->OnSearch();
    ServeEvents();
    times += ", " + std::to_string(timer.nsecsElapsed() / 1e6);
  }
  std::printf("{\"shown_kb\": %ld, \"searched_kb\": %ld, \"rows\": %d, \"search_ms\": [%s]}\n",
              shown, searched, rows, times.c_str());
  window->close();
  window.reset();
  return rows == kebu::kWindowHitLimit ? 0 : 1;
}
