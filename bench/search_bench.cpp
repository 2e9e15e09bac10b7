// Full-text search benchmarks on real dictionaries.
//
//   KEBU_BENCH_DICS=real-1m.dic:real-1m-v6.dic build/bin/search_bench
//
// For each dictionary and query: the whole scan with every hit collected, on
// one thread and on as many as the machine has cores; the time to the first
// 100 hits of the query with the most hits. bench/search_compare.py runs it
// beside grep and SQLite FTS5.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "codec/utf8.h"
#include "dictionary/dic_reader.h"
#include "search/text_scan.h"

namespace {

// An English word with many hits, a Japanese word, a rare word, a word with
// no hit, and two letters with very many hits.
const char* const kQueries[] = {"railway", "鉄道", "xylophone", "qzxjvw", "ar"};

struct Dictionary {
  std::string name;
  std::shared_ptr<kebu::DicReader> reader;
};

void Scan(benchmark::State& state, std::shared_ptr<kebu::DicReader> reader, std::u16string query,
          int threads) {
  std::vector<kebu::TextHit> hits;
  kebu::TextScanOptions options;
  options.threads = threads;
  for (auto _ : state) {
    hits.clear();
    hits.shrink_to_fit();  // collecting the hits is part of the work
    kebu::ScanText(reader->Source(), query, options, [&](const kebu::TextHit& hit) {
      hits.push_back(hit);
      return true;
    });
    benchmark::DoNotOptimize(hits.data());
  }
  state.counters["hits"] = static_cast<double>(hits.size());
  state.SetBytesProcessed(state.iterations() * reader->Source()->file.Size());
}

void FirstHits(benchmark::State& state, std::shared_ptr<kebu::DicReader> reader,
               std::u16string query, int threads) {
  kebu::TextScanOptions options;
  options.threads = threads;
  size_t seen = 0;
  for (auto _ : state) {
    seen = 0;
    kebu::ScanText(reader->Source(), query, options,
                   [&](const kebu::TextHit&) { return ++seen < 100; });
  }
  state.counters["hits"] = static_cast<double>(seen);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* list = std::getenv("KEBU_BENCH_DICS");
  if (list == nullptr) {
    std::fprintf(stderr, "search_bench: set KEBU_BENCH_DICS=dict.dic[:dict2.dic...]\n");
    return 2;
  }
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::stringstream paths(list);
  for (std::string path; std::getline(paths, path, ':');) {
    auto reader = std::make_shared<kebu::DicReader>();
    if (const kebu::Status opened = reader->Open(path); !opened.IsOk()) {
      std::fprintf(stderr, "search_bench: %s: %s\n", path.c_str(), opened.Message().c_str());
      return 1;
    }
    const std::string name = path.substr(path.find_last_of('/') + 1);
    for (const char* query : kQueries) {
      const std::u16string q = kebu::Utf8ToUtf16(query);
      for (int threads : {1, cores}) {
        benchmark::RegisterBenchmark(
            ("scan/" + name + "/" + query + "/threads:" + std::to_string(threads)).c_str(), Scan,
            reader, q, threads)
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime()
            ->UseRealTime();
        if (cores == 1) break;
      }
    }
    benchmark::RegisterBenchmark(("first100/" + name + "/ar/threads:" + std::to_string(cores)).c_str(),
                                 FirstHits, reader, u"ar", cores)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
