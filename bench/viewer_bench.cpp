// Timing of the viewer window on a big dictionary (built once, in a
// temporary folder, with the test builder):
//  - a search with the empty key that fills all 10,000 rows, from OnSearch
//    to the rows and the first entry shown (events served, window painted);
//  - from constructing the window (profile read, dictionary opened) to its
//    first painted showing.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
//
//   viewer_bench [--records=N] [benchmark flags]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QSettings>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/dic_builder.h"
#include "viewer/hit_list_model.h"
#include "viewer/profile.h"
#include "viewer/viewer_dlg.h"

namespace {

using kebu::testing::BuildDictionary;
using kebu::testing::Options;
using kebu::testing::Record;
using kebu::testing::TempDir;
using kebu::viewer::CViewerDlg;

int g_records = 120000;
std::unique_ptr<TempDir> g_dir;

// Words "a00000"... with Japanese translations of varying length, every
// fourth with an example.
void MakeBigDictionary() {
  g_dir = std::make_unique<TempDir>();
  std::vector<Record> records;
  records.reserve(static_cast<size_t>(g_records));
  static const char* const kTranslations[] = {"辞書", "見出し語の訳語", "ファイル；記録",
                                              "東京の大きな駅", "電車；列車"};
  for (int i = 0; i < g_records; ++i) {
    char word[32];
    std::snprintf(word, sizeof word, "%c%06d word", 'a' + i % 26, i);
    Record r{.headword = word, .translation = kTranslations[i % 5]};
    r.attribute = static_cast<uint8_t>(i % 4 == 0 ? i % 16 : 0) & 0x0F;
    if (i % 4 == 0) r.example = "例文です。 / This is example number " + std::to_string(i) + ".";
    records.push_back(std::move(r));
  }
  Options options;
  options.record_layout = false;
  const auto bytes = BuildDictionary(std::move(records), options).bytes;
  kebu::testing::WriteFile(g_dir->File("big.dic"), bytes);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                     QString::fromStdString((g_dir->path() / "config").string()));
  std::unique_ptr<QSettings> profile = kebu::viewer::OpenProfile();
  kebu::viewer::WriteProfileString(*profile, QStringLiteral("FilePath"),
                                   QString::fromStdString(g_dir->File("big.dic").string()));
  std::fprintf(stderr, "viewer_bench: %d records, %zu bytes\n", g_records, bytes.size());
}

void BM_SearchFillingAllRows(benchmark::State& state) {
  CViewerDlg window;
  if (!window.IsDictionaryOpen()) {
    state.SkipWithError("dictionary did not open");
    return;
  }
  window.show();
  (void)QTest::qWaitForWindowExposed(&window);
  window.SearchBox()->setEditText(QString());
  for (auto _ : state) {
    window.OnSearch();
    QCoreApplication::processEvents();  // layout and painting of the rows
    if (window.Hits()->rowCount() != 10000) state.SkipWithError("not 10,000 rows");
  }
  window.close();
}
BENCHMARK(BM_SearchFillingAllRows)->Unit(benchmark::kMillisecond)->Iterations(20)
    ->Repetitions(5)->ReportAggregatesOnly(true);

// The same without serving events: the window's own work alone.
void BM_SearchFillingAllRowsNoPaint(benchmark::State& state) {
  CViewerDlg window;
  window.show();
  (void)QTest::qWaitForWindowExposed(&window);
  for (auto _ : state) {
    window.OnSearch();
  }
  window.close();
}
BENCHMARK(BM_SearchFillingAllRowsNoPaint)->Unit(benchmark::kMillisecond)->Iterations(20)
    ->Repetitions(5)->ReportAggregatesOnly(true);

void BM_StartToShownWindow(benchmark::State& state) {
  for (auto _ : state) {
    auto window = std::make_unique<CViewerDlg>();
    window->show();
    (void)QTest::qWaitForWindowExposed(window.get());
    QCoreApplication::processEvents();
    if (!window->IsDictionaryOpen()) state.SkipWithError("dictionary did not open");
    state.PauseTiming();
    window->close();
    window.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartToShownWindow)->Unit(benchmark::kMillisecond)->Iterations(10)
    ->Repetitions(5)->ReportAggregatesOnly(true);

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
  int count = static_cast<int>(args.size());
  QApplication application(count, args.data());
  MakeBigDictionary();
  benchmark::Initialize(&count, args.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_dir.reset();
  return 0;
}
