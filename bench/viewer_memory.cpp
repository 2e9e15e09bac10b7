// The viewer window with the DICT files remembered as its dictionaries (a
// profile in a temporary folder), on the offscreen platform unless
// QT_QPA_PLATFORM names another:
//  - start_ms: from constructing the window (profile read, dictionaries
//    opened) to its first painted showing;
//  - typing_ms: each of the 50 keys of the typed sequence (see
//    viewer_typing.h), from the key to the hit list and the entry updated
//    and painted, with their median and 95th percentile;
//  - search_ms: a search with the empty key and Enter that fills all 10,000
//    rows and shows the first entry, and ten more;
//  - peak resident memory (getrusage's ru_maxrss, KB) after the window is
//    shown, after the typing and after the searches.
//
//   viewer_memory DICT...   prints one JSON object
//
// Exit code 1 when a dictionary does not open or the search does not fill
// 10,000 rows.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/viewer_typing.h"
#include "viewer/hit_list_model.h"
#include "viewer/profile.h"
#include "viewer/viewer_dlg.h"
#include "viewer/viewer_settings.h"

namespace {

using kebu::viewer::bench::ServeEvents;

long PeakKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double Ms(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

std::string List(const std::vector<double>& values) {
  std::string text;
  for (double v : values) text += (text.empty() ? "" : ", ") + std::to_string(v);
  return "[" + text + "]";
}

double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: viewer_memory DICT...\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  {
    kebu::viewer::ViewerSettings settings;
    for (int i = 1; i < argc; ++i) settings.paths.emplace_back(argv[i]);
    kebu::viewer::Profile profile;
    kebu::viewer::WriteSettings(settings, &profile);
    profile.Save();
  }

  QElapsedTimer timer;
  timer.start();
  auto window = std::make_unique<kebu::viewer::CViewerDlg>();
  window->show();
  (void)QTest::qWaitForWindowExposed(window.get());
  ServeEvents();
  const double start = Ms(timer);
  if (window->Dictionaries().OpenCount() != argc - 1) {
    std::fprintf(stderr, "viewer_memory: a dictionary did not open\n");
    return 1;
  }
  const long shown = PeakKb();

  std::vector<double> typing;
  for (const QString& key : kebu::viewer::bench::TypedKeys()) {
    timer.restart();
    kebu::viewer::bench::TypeKey(*window, key);
    typing.push_back(Ms(timer));
  }
  const long typed = PeakKb();

  std::vector<double> searches;
  for (int i = 0; i < 11; ++i) {
    window->SearchBox()->setEditText(QString());
    timer.restart();
    window->OnSearch();
    ServeEvents();
    searches.push_back(Ms(timer));
  }
  const long searched = PeakKb();
  const int rows = window->Hits()->rowCount();
  std::printf(
      "{\"dictionaries\": %d, \"start_ms\": %.2f, \"shown_kb\": %ld, \"typed_kb\": %ld, "
      "\"searched_kb\": %ld, \"rows\": %d, \"typing_median_ms\": %.2f, \"typing_p95_ms\": %.2f, "
      "\"typing_max_ms\": %.2f, \"typing_ms\": %s, \"search_ms\": %s}\n",
      argc - 1, start, shown, typed, searched, rows, Quantile(typing, 0.5), Quantile(typing, 0.95),
      *std::max_element(typing.begin(), typing.end()), List(typing).c_str(),
      List(searches).c_str());
  window.reset();  // no close(): nothing is written to the temporary profile
  return rows == kebu::kWindowHitLimit ? 0 : 1;
}
