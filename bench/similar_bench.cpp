// Suggestions and headword patterns on real dictionaries.
//
//   KEBU_BENCH_DICS=real-1m.dic:real-1m-v6.dic build/bin/similar_bench
//
// For each dictionary: FindSimilarHeadwords for misspelt keys of 5 to 11
// units (one thread and one per core); ScanHeadwordPattern for patterns with
// a literal beginning and for patterns that begin with `*` (the window's
// first page, and the first 100 hits); and beside the
// latter a full-text scan of the headwords alone for the pattern's literal
// (the same cursors and threads, TextQuery's test on each headword), the
// yardstick a `*` pattern is held to. bench/similar_compare.py runs it
// beside sdcv and tre-agrep.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "codec/utf8.h"
#include "dictionary/dic_cursor.h"
#include "dictionary/dic_reader.h"
#include "search/headword_pattern.h"
#include "search/similar_headwords.h"
#include "search/text_query.h"

namespace {

// Misspelt keys (no headword begins with any of them, in either dictionary).
const char* const kKeys[] = {"しんかんせ", "テレビゲーヌ", "東京国際空巷", "アイスクリーン", "日本語能力試検",
                             "カレンダークロツク", "インターネットカフエー", "国際連合安全保証理事会"};
// Patterns with a literal beginning, and patterns that begin with `*` with
// the literal a headword scan looks for.
const char* const kNarrowed[] = {"東京*", "カレンダ*", "イン*ネット", "日本語*試験"};
const std::pair<const char*, const char*> kUnnarrowed[] = {{"*駅", "駅"}, {"*クロック", "クロック"}, {"*ネット*", "ネット"}};

void Similar(benchmark::State& state, std::shared_ptr<kebu::DicReader> reader, std::u16string key, int threads) {
  kebu::SimilarOptions options;
  options.threads = threads;
  size_t found = 0;
  for (auto _ : state) {
    auto list = kebu::FindSimilarHeadwords({reader->Source()}, key, options);
    found = list.IsOk() ? list->size() : 0;
    benchmark::DoNotOptimize(found);
  }
  state.counters["found"] = static_cast<double>(found);
}

// The window's first page: 10,000 rows, every hit counted; or the first `rows` only.
void Pattern(benchmark::State& state, std::shared_ptr<kebu::DicReader> reader, std::u16string pattern, int threads,
             uint64_t rows) {
  kebu::HeadwordPatternOptions options;
  options.threads = threads;
  options.limit = rows;
  options.countAll = rows == kebu::kWindowHitLimit;
  const kebu::HeadwordPattern compiled(pattern);
  uint64_t hits = 0;
  for (auto _ : state) {
    std::vector<kebu::RecordPosition> listed;
    auto stats = kebu::ScanHeadwordPattern(reader->Source(), compiled, options, [&](const kebu::RecordPosition& at) {
      listed.push_back(at);
      return true;
    });
    hits = stats.IsOk() ? stats->hits : 0;
    benchmark::DoNotOptimize(listed.data());
  }
  state.counters["hits"] = static_cast<double>(hits);
}

// The yardstick: every headword read and tested for `text` (exact), the
// entries split evenly between `threads` threads, each with its own cursor.
void HeadwordScan(benchmark::State& state, std::shared_ptr<kebu::DicReader> reader, std::u16string text, int threads) {
  const auto source = reader->Source();
  const kebu::TextQuery query(text, true, source->IsBocu1());
  const int32_t entries = source->index.EntryLimit();
  std::vector<uint64_t> counts(static_cast<size_t>(threads));
  auto scan = [&](int t) {
    kebu::DicCursor cursor(source);
    kebu::TextScratch scratch;
    cursor.SeekRun(static_cast<int32_t>(int64_t{entries} * t / threads),
                   static_cast<int32_t>(int64_t{entries} * (t + 1) / threads), 0);
    kebu::RawRecord r;
    uint64_t n = 0;
    for (kebu::ReadStatus s; (s = cursor.NextRecord(&r)) != kebu::ReadStatus::kEnd;) {
      if (s == kebu::ReadStatus::kRecord && query.Contains(r.headword, r.fields.headwordLength, &scratch)) ++n;
    }
    counts[static_cast<size_t>(t)] = n;
  };
  for (auto _ : state) {
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) helpers.emplace_back(scan, t);
    scan(0);
    for (std::thread& h : helpers) h.join();
  }
  uint64_t total = 0;
  for (uint64_t n : counts) total += n;
  state.counters["hits"] = static_cast<double>(total);
}

template <typename... Args>
void Register(const std::string& name, Args&&... args) {
  benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime()
      ->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* list = std::getenv("KEBU_BENCH_DICS");
  if (list == nullptr) {
    std::fprintf(stderr, "similar_bench: set KEBU_BENCH_DICS=dict.dic[:dict2.dic...]\n");
    return 2;
  }
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::vector<int> threadCounts = {1};
  if (cores > 1) threadCounts.push_back(cores);
  std::stringstream paths(list);
  for (std::string path; std::getline(paths, path, ':');) {
    auto reader = std::make_shared<kebu::DicReader>();
    if (const kebu::Status opened = reader->Open(path); !opened.IsOk()) {
      std::fprintf(stderr, "similar_bench: %s: %s\n", path.c_str(), opened.Message().c_str());
      return 1;
    }
    const std::string name = path.substr(path.find_last_of('/') + 1);
    for (int threads : threadCounts) {
      const std::string t = "/threads:" + std::to_string(threads);
      for (const char* key : kKeys) Register("similar/" + name + "/" + key + t, Similar, reader, kebu::Utf8ToUtf16(key), threads);
      for (const char* p : kNarrowed) {
        Register("pattern/" + name + "/" + p + t, Pattern, reader, kebu::Utf8ToUtf16(p), threads, kebu::kWindowHitLimit);
      }
      for (const auto& [p, text] : kUnnarrowed) {
        Register("pattern/" + name + "/" + p + t, Pattern, reader, kebu::Utf8ToUtf16(p), threads, kebu::kWindowHitLimit);
        Register("first100/" + name + "/" + p + t, Pattern, reader, kebu::Utf8ToUtf16(p), threads, 100);
        Register("headwords/" + name + "/" + text + t, HeadwordScan, reader, kebu::Utf8ToUtf16(text), threads);
      }
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
