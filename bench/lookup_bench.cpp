// Lookup benchmarks on real dictionaries.
//
//   KEBU_BENCH_DICS=path1.dic:path2.dic build/bin/lookup_bench
//
// For each dictionary: open; open with the first lookup (the index load);
// a 3- to 5-character prefix lookup with GetHit for every hit; the empty key
// with 10,000 hits all fetched; a full sequential read.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "dictionary/dic_reader.h"

namespace {

using kebu::DicReader;

int FetchAll(DicReader& reader, uint32_t count, kebu::RecordText& text) {
  int fetched = 0;
  for (uint32_t i = 0; i < count; ++i) fetched += reader.GetHit(i, &text) ? 1 : 0;
  return fetched;
}

// Keys a user might type: 3 to 5 leading characters of headwords spread over
// the whole dictionary (the display form of version-6 headwords).
std::vector<std::u16string> SampleKeys(const std::string& path, size_t count) {
  DicReader reader;
  std::vector<std::u16string> headwords;
  if (!reader.Open(path).IsOk() || !reader.Rewind()) return {};
  kebu::RecordText text;
  for (kebu::ReadStatus s; (s = reader.ReadNext(&text)) != kebu::ReadStatus::kEnd;) {
    if (s == kebu::ReadStatus::kRecord) headwords.push_back(text.headword);
  }
  std::mt19937 random(42);
  std::vector<std::u16string> keys;
  for (size_t i = 0; i < count && !headwords.empty(); ++i) {
    std::u16string h = headwords[random() % headwords.size()];
    const size_t tab = h.find(u'\t');
    if (reader.GetVersionMajor() >= 6 && tab != std::u16string::npos) h = h.substr(tab + 1);
    const size_t length = 3 + random() % 3;
    keys.push_back(h.substr(0, std::min(length, h.size())));
  }
  return keys;
}

void Open(benchmark::State& state, std::string path) {
  for (auto _ : state) {
    DicReader reader;
    if (!reader.Open(path).IsOk()) state.SkipWithError("cannot open");
    benchmark::DoNotOptimize(reader.GetVersionMajor());
  }
}

void OpenAndFirstLookup(benchmark::State& state, std::string path,
                        std::vector<std::u16string> keys) {
  kebu::RecordText text;
  size_t k = 0;
  for (auto _ : state) {
    DicReader reader;
    (void)reader.Open(path);
    const uint32_t n = reader.Lookup(keys[k++ % keys.size()], false, 10000).count;
    benchmark::DoNotOptimize(FetchAll(reader, n, text));
  }
}

void PrefixLookup(benchmark::State& state, std::string path,
                  std::vector<std::u16string> keys) {
  DicReader reader;
  (void)reader.Open(path);
  kebu::RecordText text;
  reader.Lookup(u"a", false, 10);  // index loaded before timing
  size_t k = 0;
  int64_t hits = 0;
  for (auto _ : state) {
    const uint32_t n = reader.Lookup(keys[k++ % keys.size()], false, 10000).count;
    hits += FetchAll(reader, n, text);
  }
  state.counters["hits/lookup"] =
      benchmark::Counter(static_cast<double>(hits) / static_cast<double>(state.iterations()));
}

void EmptyKey10000(benchmark::State& state, std::string path) {
  DicReader reader;
  (void)reader.Open(path);
  kebu::RecordText text;
  for (auto _ : state) {
    const uint32_t n = reader.Lookup(u"", false, 10000).count;
    if (FetchAll(reader, n, text) != 10000) state.SkipWithError("fewer than 10000 hits");
  }
}

void FullDump(benchmark::State& state, std::string path) {
  DicReader reader;
  (void)reader.Open(path);
  kebu::RecordText text;
  int64_t records = 0;
  for (auto _ : state) {
    reader.Rewind();
    while (reader.ReadNext(&text) == kebu::ReadStatus::kRecord) ++records;
  }
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}

}  // namespace

int main(int argc, char** argv) {
  const char* list = std::getenv("KEBU_BENCH_DICS");
  if (list == nullptr || *list == 0) {
    std::fprintf(stderr, "lookup_bench: set KEBU_BENCH_DICS to dictionary paths separated by ':'\n");
    return 2;
  }
  std::stringstream paths(list);
  std::string path;
  while (std::getline(paths, path, ':')) {
    if (path.empty()) continue;
    const std::string name = path.substr(path.find_last_of('/') + 1);
    std::vector<std::u16string> keys = SampleKeys(path, 1000);
    if (keys.empty()) {
      std::fprintf(stderr, "lookup_bench: %s: cannot read\n", path.c_str());
      return 1;
    }
    benchmark::RegisterBenchmark(("open/" + name).c_str(), Open, path);
    benchmark::RegisterBenchmark(("open_first_lookup/" + name).c_str(), OpenAndFirstLookup, path, keys)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("prefix_lookup/" + name).c_str(), PrefixLookup, path, keys)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("empty_key_10000/" + name).c_str(), EmptyKey10000, path)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("full_dump/" + name).c_str(), FullDump, path)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
