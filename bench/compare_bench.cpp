// Lookup against SQLite holding the same records, and lookup time as the
// dictionary grows.
//
//   KEBU_COMPARE_DICS=a.dic[:b.dic] KEBU_GROWTH_DICS=s.dic:m.dic:l.dic
//     build/bin/compare_bench [--prepare-only] [benchmark flags]
//
// For each KEBU_COMPARE_DICS dictionary every record is read in file order
// (Rewind/ReadNext) into a SQLite table kept beside it (a.dic.sqlite, made
// again when older than the dictionary): the headword as a BLOB that sorts
// as our lookup compares (the code page 932 bytes, or for BOCU-1 the UTF-16
// units big-endian), the other texts as UTF-8, and an index on the headword.
// Then 1,000 keys, 3 to 5 leading characters of headwords picked at random,
// are looked up by both: ours by Lookup and GetHit, SQLite by the range
// query "headword >= key AND headword < successor ORDER BY headword", both
// fetching headword, translation, example and pronunciation, at most 10,000
// rows each. Before timing, both must give the same headwords in the same
// order for every key; a difference ends the program with exit code 1.
// Beside the dictionary it also writes the keys (a.dic.keys.tsv: key, range
// bounds in hex, hits) and, once, "headword TAB translation" lines in UTF-8
// (a.dic.look.txt, unsorted) for the command-line comparisons.
//
// For each KEBU_GROWTH_DICS dictionary: 1,000 whole headwords picked at
// random, looked up as whole words with every hit fetched, so that the hits
// per lookup stay about the same whatever the size.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "codec/cp932.h"
#include "codec/utf8.h"
#include "dictionary/dic_reader.h"
#include "dictionary/dic_text.h"

namespace {

using kebu::DicReader;
using Bytes = std::string;  // a BLOB as SQLite holds it

constexpr int kLimit = 10000;  // as the window and `kebu lookup` cap a list
constexpr size_t kKeyCount = 1000;

using Texts = kebu::RecordText;

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "compare_bench: %s\n", message.c_str());
  std::exit(1);
}

// The headword as the SQLite BLOB that sorts and compares as our lookup does.
Bytes SortBytes(const std::u16string& text, bool bocu) {
  const uint32_t length = static_cast<uint32_t>(text.size());
  Bytes out;
  if (bocu) {
    out.reserve(length * 2);
    for (uint32_t i = 0; i < length; ++i) {
      out.push_back(static_cast<char>(text[i] >> 8));
      out.push_back(static_cast<char>(text[i] & 0xFF));
    }
    return out;
  }
  out.resize(length * 2 + 1);
  const int32_t n = kebu::Utf16ToCp932(text.data(), static_cast<int32_t>(length),
                                       reinterpret_cast<uint8_t*>(out.data()),
                                       static_cast<int32_t>(out.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

// The key as SQLite's range compares it: version-6 keys are folded first, as
// Lookup folds them.
Bytes KeyBytes(const std::u16string& key, bool bocu, int version) {
  return SortBytes(version >= 6 ? kebu::FoldKey(key) : key, bocu);
}

// The least byte string above every string that begins with `key`; empty
// when there is none (a key of FF bytes only).
Bytes Successor(Bytes key) {
  while (!key.empty() && static_cast<uint8_t>(key.back()) == 0xFF) key.pop_back();
  if (!key.empty()) key.back() = static_cast<char>(static_cast<uint8_t>(key.back()) + 1);
  return key;
}

std::string Hex(const Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

std::string Utf8(const std::u16string& text) { return kebu::Utf16ToUtf8(text); }

std::u16string DisplayHeadword(const std::u16string& headword, int version) {
  return std::u16string(kebu::DisplayHeadword(headword, version));
}

bool NewerThan(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 &&
         sa.st_mtim.tv_sec >= sb.st_mtim.tv_sec;
}

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "?";
    sqlite3_free(error);
    Fail(std::string(sql) + ": " + message);
  }
}

sqlite3_stmt* Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
    Fail(std::string(sql) + ": " + sqlite3_errmsg(db));
  }
  return statement;
}

// Picks `count` records at random (reservoir sampling, one pass); when
// `table` is given, also fills SQLite and writes the text for `look`.
class Pass {
 public:
  Pass(size_t count, uint32_t seed) : count_(count), random_(seed) {}

  std::vector<std::u16string> picked;
  size_t records = 0;

  void Run(DicReader& reader, sqlite3_stmt* insert, std::ofstream* look) {
    auto t = std::make_unique<Texts>();
    const bool bocu = reader.GetHeader().IsBocu1();
    const int version = reader.GetVersionMajor();
    if (!reader.Rewind()) Fail("cannot rewind");
    while (reader.ReadNext(t.get()) == kebu::ReadStatus::kRecord) {
      if (picked.size() < count_) {
        picked.emplace_back(t->headword);
      } else {
        const size_t j = std::uniform_int_distribution<size_t>(0, records)(random_);
        if (j < count_) picked[j] = t->headword;
      }
      ++records;
      if (insert != nullptr) {
        const Bytes h = SortBytes(t->headword, bocu);
        const std::string tr = Utf8(t->translation), ex = Utf8(t->example),
                          pr = Utf8(t->pronunciation);
        sqlite3_bind_blob(insert, 1, h.data(), static_cast<int>(h.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, tr.data(), static_cast<int>(tr.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, ex.data(), static_cast<int>(ex.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, pr.data(), static_cast<int>(pr.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 5, t->attribute);
        if (sqlite3_step(insert) != SQLITE_DONE) Fail("insert failed");
        sqlite3_reset(insert);
      }
      if (look != nullptr) {
        std::string line = Utf8(DisplayHeadword(t->headword, version));
        line += '\t';
        line += Utf8(t->translation);
        for (char& c : line) {
          if (c == '\n' || c == '\r') c = ' ';
        }
        line += '\n';
        look->write(line.data(), static_cast<std::streamsize>(line.size()));
      }
    }
  }

 private:
  size_t count_;
  std::mt19937_64 random_;
};

// One dictionary compared with SQLite.
struct Comparison {
  std::string path;
  std::string name;
  DicReader reader;
  sqlite3* db = nullptr;
  sqlite3_stmt* range = nullptr;  // headword >= ?1 AND headword < ?2
  sqlite3_stmt* from = nullptr;   // headword >= ?1 (a key without successor)
  bool bocu = false;
  std::vector<std::u16string> keys;
  std::vector<Bytes> low, high;
  std::vector<uint32_t> expected;  // hits of each key
};

std::vector<std::string> Split(const char* list) {
  std::vector<std::string> out;
  if (list == nullptr) return out;
  std::stringstream paths(list);
  std::string path;
  while (std::getline(paths, path, ':')) {
    if (!path.empty()) out.push_back(path);
  }
  return out;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

void OpenDictionary(DicReader& reader, const std::string& path) {
  if (const kebu::Status opened = reader.Open(path); !opened.IsOk()) {
    Fail(path + ": " + opened.Message());
  }
}

// Opens or makes the SQLite copy, picks the keys, checks that both agree.
std::unique_ptr<Comparison> Prepare(const std::string& path) {
  auto c = std::make_unique<Comparison>();
  c->path = path;
  c->name = BaseName(path);
  OpenDictionary(c->reader, path);
  c->bocu = c->reader.GetHeader().IsBocu1();
  const int version = c->reader.GetVersionMajor();

  const std::string dbPath = path + ".sqlite";
  const std::string lookPath = path + ".look.txt";
  const bool makeDb = !NewerThan(dbPath, path);
  const bool makeLook = !NewerThan(lookPath, path);
  sqlite3_stmt* insert = nullptr;
  sqlite3* build = nullptr;
  const std::string partial = dbPath + ".partial";
  if (makeDb) {
    std::remove(partial.c_str());
    if (sqlite3_open(partial.c_str(), &build) != SQLITE_OK) Fail(partial + ": cannot create");
    Exec(build, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    Exec(build,
         "CREATE TABLE entry(headword BLOB NOT NULL, translation TEXT, example TEXT, "
         "pronunciation TEXT, attribute INTEGER); BEGIN;");
    insert = Prepare(build, "INSERT INTO entry VALUES (?1, ?2, ?3, ?4, ?5)");
  }
  std::ofstream look;
  if (makeLook) look.open(lookPath, std::ios::binary | std::ios::trunc);

  Pass pass(kKeyCount, 42);
  std::fprintf(stderr, "compare_bench: %s: reading%s%s\n", c->name.c_str(),
               makeDb ? ", filling SQLite" : "", makeLook ? ", writing the look text" : "");
  pass.Run(c->reader, insert, makeLook ? &look : nullptr);
  if (makeDb) {
    sqlite3_finalize(insert);
    Exec(build, "COMMIT; CREATE INDEX entry_headword ON entry(headword); ANALYZE;");
    sqlite3_close(build);
    if (std::rename(partial.c_str(), dbPath.c_str()) != 0) Fail(dbPath + ": cannot rename");
  }
  if (makeLook) look.close();

  if (sqlite3_open_v2(dbPath.c_str(), &c->db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    Fail(dbPath + ": cannot open");
  }
  const char* select =
      "SELECT headword, translation, example, pronunciation FROM entry "
      "WHERE headword >= ?1 AND headword < ?2 ORDER BY headword LIMIT 10000";
  c->range = Prepare(c->db, select);
  c->from = Prepare(c->db,
                    "SELECT headword, translation, example, pronunciation FROM entry "
                    "WHERE headword >= ?1 ORDER BY headword LIMIT 10000");
  // The range must go through the index, in index order.
  sqlite3_stmt* plan = Prepare(c->db, (std::string("EXPLAIN QUERY PLAN ") + select).c_str());
  std::string planText;
  while (sqlite3_step(plan) == SQLITE_ROW) {
    planText += reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
    planText += "; ";
  }
  sqlite3_finalize(plan);
  if (planText.find("USING COVERING INDEX entry_headword") == std::string::npos &&
      planText.find("USING INDEX entry_headword") == std::string::npos) {
    Fail(c->name + ": SQLite does not use the index: " + planText);
  }
  if (planText.find("TEMP B-TREE") != std::string::npos) {
    Fail(c->name + ": SQLite sorts the rows: " + planText);
  }

  // Keys: 3 to 5 leading characters of the picked headwords.
  std::mt19937 random(7);
  std::ofstream keyFile(path + ".keys.tsv", std::ios::binary | std::ios::trunc);
  auto t = std::make_unique<Texts>();
  for (const std::u16string& headword : pass.picked) {
    std::u16string h = DisplayHeadword(headword, version);
    const size_t length = 3 + random() % 3;
    h = h.substr(0, std::min(length, h.size()));
    const Bytes low = KeyBytes(h, c->bocu, version);
    c->keys.push_back(h);
    c->low.push_back(low);
    c->high.push_back(Successor(low));

    // Both must give the same headwords in the same order.
    const uint32_t n = c->reader.Lookup(h, false, kLimit).count;
    std::vector<Bytes> ours;
    for (uint32_t i = 0; i < n; ++i) {
      if (!c->reader.GetHit(i, t.get())) Fail(c->name + ": GetHit failed");
      ours.push_back(SortBytes(t->headword, c->bocu));
    }
    sqlite3_stmt* q = c->high.back().empty() ? c->from : c->range;
    sqlite3_bind_blob(q, 1, low.data(), static_cast<int>(low.size()), SQLITE_STATIC);
    if (q == c->range) {
      sqlite3_bind_blob(q, 2, c->high.back().data(), static_cast<int>(c->high.back().size()),
                        SQLITE_STATIC);
    }
    std::vector<Bytes> theirs;
    while (sqlite3_step(q) == SQLITE_ROW) {
      theirs.emplace_back(static_cast<const char*>(sqlite3_column_blob(q, 0)),
                          static_cast<size_t>(sqlite3_column_bytes(q, 0)));
    }
    sqlite3_reset(q);
    if (ours != theirs) {
      size_t at = 0;
      while (at < ours.size() && at < theirs.size() && ours[at] == theirs[at]) ++at;
      Fail(c->name + ": key \"" + Utf8(h) + "\" (" + Hex(low) + "): ours " +
           std::to_string(ours.size()) + " rows, SQLite " + std::to_string(theirs.size()) +
           ", first difference at row " + std::to_string(at) + ": ours " +
           (at < ours.size() ? Hex(ours[at]) : "-") + ", SQLite " +
           (at < theirs.size() ? Hex(theirs[at]) : "-"));
    }
    c->expected.push_back(n);
    const std::string line = Utf8(h) + "\t" + Hex(low) + "\t" + Hex(c->high.back()) +
                             "\t" + std::to_string(n) + "\n";
    keyFile.write(line.data(), static_cast<std::streamsize>(line.size()));
  }
  std::fprintf(stderr, "compare_bench: %s: %zu records, %zu keys agree with SQLite\n",
               c->name.c_str(), pass.records, c->keys.size());
  return c;
}

// Copies what SQLite hands out, as a caller that keeps a row would.
struct Row {
  char headword[2048], translation[9000], example[60000], pronunciation[3000];
};

size_t CopyColumn(sqlite3_stmt* q, int column, char* out, size_t capacity) {
  const void* data = column == 0 ? sqlite3_column_blob(q, column) : sqlite3_column_text(q, column);
  size_t n = static_cast<size_t>(sqlite3_column_bytes(q, column));
  if (n > capacity) n = capacity;
  if (n > 0) std::memcpy(out, data, n);
  return n;
}

void OursLookup(benchmark::State& state, Comparison* c) {
  auto t = std::make_unique<Texts>();
  c->reader.Lookup(u"a", false, 10);  // index loaded before timing
  int64_t hits = 0;
  for (auto _ : state) {
    for (size_t k = 0; k < c->keys.size(); ++k) {
      const uint32_t n = c->reader.Lookup(c->keys[k], false, kLimit).count;
      for (uint32_t i = 0; i < n; ++i) c->reader.GetHit(i, t.get());
      benchmark::DoNotOptimize(t->headword.data());
      hits += n;
    }
  }
  state.counters["lookups"] = static_cast<double>(c->keys.size());
  state.counters["hits/lookup"] = static_cast<double>(hits) /
      static_cast<double>(state.iterations() * static_cast<int64_t>(c->keys.size()));
}

void SqliteLookup(benchmark::State& state, Comparison* c) {
  auto row = std::make_unique<Row>();
  int64_t hits = 0;
  for (auto _ : state) {
    for (size_t k = 0; k < c->keys.size(); ++k) {
      sqlite3_stmt* q = c->high[k].empty() ? c->from : c->range;
      sqlite3_bind_blob(q, 1, c->low[k].data(), static_cast<int>(c->low[k].size()),
                        SQLITE_STATIC);
      if (q == c->range) {
        sqlite3_bind_blob(q, 2, c->high[k].data(), static_cast<int>(c->high[k].size()),
                          SQLITE_STATIC);
      }
      while (sqlite3_step(q) == SQLITE_ROW) {
        CopyColumn(q, 0, row->headword, sizeof row->headword);
        CopyColumn(q, 1, row->translation, sizeof row->translation);
        CopyColumn(q, 2, row->example, sizeof row->example);
        CopyColumn(q, 3, row->pronunciation, sizeof row->pronunciation);
        benchmark::DoNotOptimize(row->headword[0]);
        ++hits;
      }
      sqlite3_reset(q);
    }
  }
  state.counters["lookups"] = static_cast<double>(c->keys.size());
  state.counters["hits/lookup"] = static_cast<double>(hits) /
      static_cast<double>(state.iterations() * static_cast<int64_t>(c->keys.size()));
}

// Growth: whole headwords looked up as whole words.
struct Growth {
  std::string name;
  DicReader reader;
  size_t records = 0;
  std::vector<std::u16string> keys;
};

std::unique_ptr<Growth> PrepareGrowth(const std::string& path) {
  auto g = std::make_unique<Growth>();
  g->name = BaseName(path);
  OpenDictionary(g->reader, path);
  Pass pass(kKeyCount, 43);
  pass.Run(g->reader, nullptr, nullptr);
  g->records = pass.records;
  for (const std::u16string& h : pass.picked) {
    g->keys.push_back(DisplayHeadword(h, g->reader.GetVersionMajor()));
  }
  return g;
}

void WholeWordLookup(benchmark::State& state, Growth* g) {
  auto t = std::make_unique<Texts>();
  g->reader.Lookup(u"a", false, 10);  // index loaded before timing
  int64_t hits = 0;
  for (auto _ : state) {
    for (const std::u16string& key : g->keys) {
      const uint32_t n = g->reader.Lookup(key, true, kLimit).count;
      for (uint32_t i = 0; i < n; ++i) g->reader.GetHit(i, t.get());
      benchmark::DoNotOptimize(t->headword.data());
      hits += n;
    }
  }
  state.counters["lookups"] = static_cast<double>(g->keys.size());
  state.counters["records"] = static_cast<double>(g->records);
  state.counters["hits/lookup"] = static_cast<double>(hits) /
      static_cast<double>(state.iterations() * static_cast<int64_t>(g->keys.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> compare = Split(std::getenv("KEBU_COMPARE_DICS"));
  const std::vector<std::string> growth = Split(std::getenv("KEBU_GROWTH_DICS"));
  if (compare.empty() && growth.empty()) {
    std::fprintf(stderr,
                 "compare_bench: set KEBU_COMPARE_DICS and/or KEBU_GROWTH_DICS to dictionary "
                 "paths separated by ':'\n");
    return 2;
  }
  benchmark::Initialize(&argc, argv);
  std::vector<std::unique_ptr<Comparison>> comparisons;
  for (const std::string& path : compare) {
    comparisons.push_back(Prepare(path));
    Comparison* c = comparisons.back().get();
    benchmark::RegisterBenchmark(("ours_lookup/" + c->name).c_str(), OursLookup, c)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("sqlite_lookup/" + c->name).c_str(), SqliteLookup, c)
        ->Unit(benchmark::kMillisecond);
  }
  std::vector<std::unique_ptr<Growth>> growths;
  for (const std::string& path : growth) {
    growths.push_back(PrepareGrowth(path));
    Growth* g = growths.back().get();
    benchmark::RegisterBenchmark(("whole_word_lookup/" + g->name).c_str(), WholeWordLookup, g)
        ->Unit(benchmark::kMillisecond);
  }
  if (argc > 1 && std::strcmp(argv[1], "--prepare-only") == 0) return 0;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (auto& c : comparisons) {
    sqlite3_finalize(c->range);
    sqlite3_finalize(c->from);
    sqlite3_close(c->db);
  }
  return 0;
}
