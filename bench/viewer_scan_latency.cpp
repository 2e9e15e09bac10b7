// How long the window's thread is kept from its events while full-text scans
// run: the window with the DICT files remembered as its dictionaries, on the
// offscreen platform unless QT_QPA_PLATFORM names another, in full-text mode.
// For each query Enter is pressed in the search box and the scan runs to its
// end while a 1 ms timer on the window's thread notes each delivery of its
// event. The gap between two deliveries is the longest the thread was busy
// with something else meanwhile (starting the scan, appending a batch of
// rows, painting the list): per query and over all queries, the largest gap
// and the 99th percentile, with the scan's time, its rows and the batches
// that brought them. The same timer on the idle window for as long as all
// scans took gives the figures without a scan, for the machine's own share
// (other programs' load shows there too).
//
//   viewer_scan_latency [--rounds=N] DICT...   prints one JSON object
//
// Exit code 1 when a dictionary does not open or a scan lists no row.
#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/viewer_typing.h"
#include "viewer/hit_list_model.h"
#include "viewer/profile.h"
#include "viewer/viewer_dlg.h"
#include "viewer/viewer_settings.h"

namespace {

// An English word with a few hundred hits, a Japanese one, a rare word, and
// short queries whose hits pass the 10,000-row cap many times over.
const char* const kQueries[] = {"railway", "鉄道", "xylophone", "ar", "e"};

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

// The status line without its link.
QString Plain(QString html) { return html.remove(QRegularExpression(QStringLiteral("<[^>]*>"))); }

struct Run {
  double scanMs = 0;
  int rows = 0;
  int batches = 0;
  std::vector<double> gaps;  // ms between two timer deliveries
};

// The timer's gaps while `serve` serves events, until it returns false.
template <typename Serve>
std::vector<double> Gaps(Serve serve) {
  std::vector<double> gaps;
  QElapsedTimer clock;
  double last = 0;
  QTimer ticks;
  ticks.setTimerType(Qt::PreciseTimer);
  ticks.setInterval(1);
  QObject::connect(&ticks, &QTimer::timeout, [&] {
    const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    gaps.push_back(now - last);
    last = now;
  });
  ticks.start();
  clock.start();
  while (serve()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return gaps;
}

// Enter on `query`, then the events served until the scan has ended.
Run Scan(kebu::viewer::CViewerDlg& window, const QString& query) {
  Run run;
  const QMetaObject::Connection counting = QObject::connect(
      window.Hits(), &QAbstractItemModel::rowsInserted, [&run] { ++run.batches; });
  QLineEdit* edit = window.SearchBox()->lineEdit();
  edit->setText(query);
  QElapsedTimer clock;
  bool pressed = false;
  int painting = 3;  // rounds of events after the end: the last batch painted
  run.gaps = Gaps([&] {
    if (!pressed) {
      pressed = true;
      clock.start();
      QTest::keyClick(edit, Qt::Key_Return);
    } else if (!window.IsScanning()) {
      if (painting == 3) run.scanMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
      --painting;
    }
    return painting > 0;
  });
  run.rows = window.Hits()->rowCount();
  QObject::disconnect(counting);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 3;
  std::vector<QByteArray> paths;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--rounds=", 9) == 0) {
      rounds = std::max(1, std::atoi(argv[i] + 9));
    } else {
      paths.emplace_back(argv[i]);
    }
  }
  if (paths.empty()) {
    std::fprintf(stderr, "usage: viewer_scan_latency [--rounds=N] DICT...\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  {
    kebu::viewer::ViewerSettings settings;
    settings.paths = paths;
    settings.fullText = true;
    kebu::viewer::Profile profile;
    kebu::viewer::WriteSettings(settings, &profile);
    profile.Save();
  }
  auto window = std::make_unique<kebu::viewer::CViewerDlg>();
  window->show();
  (void)QTest::qWaitForWindowExposed(window.get());
  kebu::viewer::bench::ServeEvents();
  if (window->Dictionaries().OpenCount() != static_cast<int>(paths.size())) {
    std::fprintf(stderr, "viewer_scan_latency: a dictionary did not open\n");
    return 1;
  }

  std::vector<double> all;
  double scanning = 0;
  std::string out = "{\"dictionaries\": " + std::to_string(paths.size()) + ", \"queries\": [";
  bool listed = true;
  for (const char* query : kQueries) {
    std::vector<double> gaps, scans;
    Run run;
    for (int r = 0; r < rounds; ++r) {
      run = Scan(*window, QString::fromUtf8(query));
      gaps.insert(gaps.end(), run.gaps.begin(), run.gaps.end());
      scans.push_back(run.scanMs);
      scanning += run.scanMs;
    }
    all.insert(all.end(), gaps.begin(), gaps.end());
    listed = listed && run.rows > 0;
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s\n  {\"query\": \"%s\", \"rows\": %d, \"status\": \"%s\", \"batches\": %d, "
                  "\"scan_median_ms\": %.1f, \"gap_max_ms\": %.2f, \"gap_p99_ms\": %.2f, "
                  "\"ticks\": %zu}",
                  query == kQueries[0] ? "" : ",", query, run.rows,
                  Plain(window->StatusLine()->text()).toUtf8().constData(), run.batches,
                  Quantile(scans, 0.5), *std::max_element(gaps.begin(), gaps.end()),
                  Quantile(gaps, 0.99), gaps.size());
    out += line;
  }
  QElapsedTimer idleClock;
  idleClock.start();
  const std::vector<double> idle =
      Gaps([&] { return static_cast<double>(idleClock.nsecsElapsed()) / 1e6 < scanning; });
  char total[256];
  std::snprintf(total, sizeof total,
                "\n], \"gap_max_ms\": %.2f, \"gap_p99_ms\": %.2f, \"idle_gap_max_ms\": %.2f, "
                "\"idle_gap_p99_ms\": %.2f}\n",
                *std::max_element(all.begin(), all.end()), Quantile(all, 0.99),
                *std::max_element(idle.begin(), idle.end()), Quantile(idle, 0.99));
  out += total;
  std::fputs(out.c_str(), stdout);
  window.reset();  // no close(): nothing is written to the temporary profile
  return listed ? 0 : 1;
}
