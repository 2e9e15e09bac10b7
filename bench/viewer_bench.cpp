// Timing of the viewer window (Google Benchmark), with the dictionaries named
// in KEBU_VIEWER_DICS (paths separated by ":"; without it, one dictionary of
// --records=N synthetic records is made with the writer):
//  - keystroke: one key typed into the search box (a character, or a
//    backspace) until the hit list and the entry are updated and painted;
//    one key per repetition, 50 repetitions walking through a typed
//    sequence, so the median and the 95th percentile are over 50 keys;
//  - search filling all rows: the empty key with Enter, 10,000 rows and the
//    first entry shown and painted;
//  - start: from constructing the window (profile read, dictionaries opened)
//    to its first painted showing;
//  - show more: the headword search's first page and "show more" until N
//    pages of 10,000 hits are listed (the empty key, every dictionary), each
//    hit's headword read as its row is made; no window.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
//
//   KEBU_VIEWER_DICS=a.dic:b.dic:c.dic viewer_bench [--records=N] [benchmark flags]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "dictionary/limits.h"
#include "viewer/dictionary_list.h"
#include "viewer/headword_search.h"
#include "viewer/hit_list_model.h"
#include "bench/viewer_typing.h"
#include "viewer/profile.h"
#include "viewer/viewer_dlg.h"
#include "viewer/viewer_settings.h"

namespace {

using kebu::viewer::CViewerDlg;
using kebu::viewer::bench::ServeEvents;
using kebu::viewer::bench::TypedKeys;
using kebu::viewer::bench::TypeKey;

int g_records = 120000;
std::unique_ptr<kebu::testing::TempDir> g_dir;
std::vector<QByteArray> g_dictionaries;
// The window that the keystrokes go to, kept from one repetition to the next.
std::unique_ptr<CViewerDlg> g_window;

void RememberDictionaries() {
  g_dir = std::make_unique<kebu::testing::TempDir>();
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(g_dir->path() / "config"));
  if (g_dictionaries.empty()) {
    std::vector<kebu::testing::Record> records;
    records.reserve(static_cast<size_t>(g_records));
    static const char* const kTranslations[] = {"辞書", "見出し語の訳語", "ファイル；記録",
                                                "東京の大きな駅", "電車；列車"};
    for (int i = 0; i < g_records; ++i) {
      char word[32];
      std::snprintf(word, sizeof word, "%c%06d word", 'a' + i % 26, i);
      records.push_back({.headword = word, .translation = kTranslations[i % 5]});
    }
    kebu::testing::Options options;
    options.recordLayout = false;
    kebu::testing::WriteFile(g_dir->File("big.dic"),
                             kebu::testing::MakeDictionary(std::move(records), options).bytes);
    g_dictionaries.push_back(QByteArray::fromStdString(g_dir->File("big.dic")));
  }
  kebu::viewer::ViewerSettings settings;
  settings.paths = g_dictionaries;
  kebu::viewer::Profile profile;
  kebu::viewer::WriteSettings(settings, &profile);
  profile.Save();
}

std::unique_ptr<CViewerDlg> ShownWindow() {
  auto window = std::make_unique<CViewerDlg>();
  window->show();
  (void)QTest::qWaitForWindowExposed(window.get());
  ServeEvents();
  return window;
}

void BM_Keystroke(benchmark::State& state) {
  static int next = 0;
  if (g_window == nullptr) g_window = ShownWindow();
  CViewerDlg* window = g_window.get();
  if (window->Dictionaries().OpenCount() != static_cast<int>(g_dictionaries.size())) {
    state.SkipWithError("a dictionary did not open");
    return;
  }
  const QStringList& keys = TypedKeys();
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    TypeKey(*window, keys[next % keys.size()]);
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    ++next;
  }
  state.counters["rows"] = window->Hits()->rowCount();
}
BENCHMARK(BM_Keystroke)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(50)
    ->ComputeStatistics("p95",
                        [](const std::vector<double>& v) {
                          std::vector<double> sorted = v;
                          std::sort(sorted.begin(), sorted.end());
                          return sorted[static_cast<size_t>(0.95 * (sorted.size() - 1) + 0.5)];
                        })
    ->ReportAggregatesOnly(true);

void BM_SearchFillingAllRows(benchmark::State& state) {
  std::unique_ptr<CViewerDlg> window = ShownWindow();
  for (auto _ : state) {
    window->SearchBox()->setEditText(QString());
    window->OnSearch();
    ServeEvents();
    if (window->Hits()->rowCount() != 10000) state.SkipWithError("not 10,000 rows");
  }
  window->close();
}
BENCHMARK(BM_SearchFillingAllRows)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_StartToShownWindow(benchmark::State& state) {
  for (auto _ : state) {
    std::unique_ptr<CViewerDlg> window = ShownWindow();
    state.PauseTiming();
    if (!window->IsDictionaryOpen()) state.SkipWithError("dictionary did not open");
    window.reset();  // no close(): the profile stays as it is
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartToShownWindow)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_ShowMore(benchmark::State& state) {
  kebu::viewer::DictionaryList list;
  for (const QByteArray& path : g_dictionaries) list.Add(path);
  const int64_t pages = state.range(0);
  for (auto _ : state) {
    kebu::viewer::HeadwordSearch search;
    size_t rows = search.First(list, u"", kebu::kWindowHitLimit).size();
    for (int64_t page = 1; page < pages && search.HasMore(); ++page) {
      rows += search.More(list, kebu::kWindowHitLimit).size();
    }
    if (rows != static_cast<size_t>(pages * kebu::kWindowHitLimit)) {
      state.SkipWithError("fewer hits than the pages hold");
    }
  }
}
BENCHMARK(BM_ShowMore)
    ->Arg(1)
    ->Arg(5)
    ->Arg(10)
    ->Arg(20)
    ->Arg(40)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--records=", 10) == 0) {
      g_records = std::atoi(argv[i] + 10);
    } else {
      args.push_back(argv[i]);
    }
  }
  for (const QByteArray& path : qgetenv("KEBU_VIEWER_DICS").split(':')) {
    if (!path.isEmpty()) g_dictionaries.push_back(path);
  }
  int count = static_cast<int>(args.size());
  QApplication application(count, args.data());
  RememberDictionaries();
  benchmark::Initialize(&count, args.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_window.reset();
  g_dir.reset();
  return 0;
}
