#include "search/text_scan.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "dictionary/dic_cursor.h"
#include "search/text_query.h"

namespace kebu {

namespace {

// A run of index entries, scanned by one thread. A run that is not the next
// to come out keeps its hits until the ones before it are out.
struct Run {
  int32_t first = 0;
  int32_t stop = 0;
  std::vector<TextHit> hits;
  bool done = false;  // under Shared::mutex
};

struct Shared {
  Shared(const TextQuery& q, const std::shared_ptr<const DicSource>& s, const std::atomic<bool>* c)
      : query(q), source(s), cancel(c) {}
  const TextQuery& query;
  const std::shared_ptr<const DicSource>& source;
  const std::atomic<bool>* cancel;
  std::vector<Run> runs;
  std::atomic<size_t> nextRun{1};  // run 0 is the calling thread's
  std::atomic<bool> stop{false};
  std::atomic<bool> cancelled{false};
  std::atomic<bool> outOfMemory{false};
  std::atomic<int32_t> entriesDone{0};
  std::atomic<int64_t> skippedAreas{0};
  std::mutex mutex;
  std::condition_variable runDone;
};

// Scans the entries of `run` with `cursor` and gives each hit to `sink`
// (false: stop). `areaDone` is called between record areas. False when the
// scan was stopped, cancelled or ran out of memory before the end.
template <typename Sink, typename AreaDone>
bool ScanRun(Shared& shared, const Run& run, DicCursor& cursor, TextScratch& scratch, Sink sink,
             AreaDone areaDone) {
  const TextQuery& query = shared.query;
  int32_t entry = run.first;
  int32_t marked = -1;  // the entry whose area `marks` is of
  bool whole = true;
  cursor.SeekRun(run.first, run.stop, 0);
  RawRecord r;
  // Translations and examples pass the byte test area by area, headwords
  // (whose first bytes stand in the record before) one by one.
  auto mayContain = [&](int32_t offset, uint16_t length) {
    if (query.DecodesAll()) return true;
    if (marked != cursor.Entry()) {
      query.MarkArea(r.area, r.areaSize, &scratch.marks);
      marked = cursor.Entry();
    }
    return AnyMark(scratch.marks, static_cast<size_t>(offset), static_cast<size_t>(offset) + length);
  };
  for (;;) {
    const ReadStatus status = cursor.NextRecord(&r);
    const int32_t now = status == ReadStatus::kEnd ? run.stop : std::min(cursor.Entry(), run.stop);
    if (now != entry) {
      shared.entriesDone.fetch_add(now - entry, std::memory_order_relaxed);
      entry = now;
      if (shared.cancel != nullptr && shared.cancel->load(std::memory_order_relaxed)) {
        shared.cancelled = true;
        shared.stop = true;
      }
      if (shared.stop.load(std::memory_order_relaxed)) {
        whole = false;
        break;
      }
      areaDone();
    }
    if (status == ReadStatus::kEnd) break;
    if (status == ReadStatus::kSkippedArea) {
      shared.skippedAreas.fetch_add(1, std::memory_order_relaxed);
      continue;
    }
    const RecordFields& f = r.fields;
    uint8_t fields = 0;
    if (query.Contains(r.headword, f.headwordLength, &scratch)) fields |= kInHeadword;
    if (f.translationLength > 0 && mayContain(f.translationOffset, f.translationLength) &&
        query.DecodedContains(r.area + f.translationOffset, f.translationLength, &scratch)) {
      fields |= kInTranslation;
    }
    if (f.exampleLength > 0 && mayContain(f.exampleOffset, f.exampleLength) &&
        query.DecodedContains(r.area + f.exampleOffset, f.exampleLength, &scratch)) {
      fields |= kInExample;
    }
    if (fields != 0 && !sink(TextHit{r.position, fields})) {
      shared.stop = true;
      whole = false;
      break;
    }
  }
  return whole;
}

// A helper thread: takes the next run not yet taken and keeps its hits.
void Helper(Shared* shared) {
  DicCursor cursor(shared->source);
  TextScratch scratch;
  for (;;) {
    const size_t i = shared->nextRun.fetch_add(1);
    if (i >= shared->runs.size()) return;
    Run& run = shared->runs[i];
    if (!shared->stop) {
      try {
        ScanRun(*shared, run, cursor, scratch,
                [&](const TextHit& hit) {
                  run.hits.push_back(hit);
                  return true;
                },
                [] {});
      } catch (const std::bad_alloc&) {
        shared->outOfMemory = true;
        shared->stop = true;
      }
    }
    {
      std::lock_guard<std::mutex> lock(shared->mutex);
      run.done = true;
    }
    shared->runDone.notify_all();
  }
}

// The calling thread's part: scans run 0 straight into onHit, then takes
// further runs, and hands on every run that is done once those before it
// are. Whatever it throws (a callback, memory), ScanText stops and joins the
// helpers before it returns.
void ScanOnCallingThread(Shared& shared, const TextScanOptions& options,
                         const std::function<bool(const TextHit&)>& onHit, TextScanStats* stats) {
  const int32_t entries = stats->entries;
  auto progress = [&](int32_t done) {
    if (options.progress) options.progress(done, entries);
  };
  size_t nextOut = 0;
  auto deliver = [&](const TextHit& hit) {
    if (!onHit(hit)) {
      stats->stopped = true;
      return false;
    }
    ++stats->hits;
    return true;
  };
  auto handOn = [&] {
    while (nextOut < shared.runs.size() && !shared.stop) {
      Run& run = shared.runs[nextOut];
      {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (!run.done) return;
      }
      for (const TextHit& hit : run.hits) {
        if (!deliver(hit)) {
          shared.stop = true;
          return;
        }
      }
      std::vector<TextHit>().swap(run.hits);
      ++nextOut;
    }
  };
  DicCursor cursor(shared.source);
  TextScratch scratch;
  for (size_t i = 0; !shared.stop;) {
    Run& run = shared.runs[i];
    const bool direct = i == nextOut;
    // A hit buffer that cannot grow throws like a callback.
    ScanRun(shared, run, cursor, scratch,
            [&](const TextHit& hit) {
              if (direct) return deliver(hit);
              run.hits.push_back(hit);
              return true;
            },
            [&] { progress(shared.entriesDone.load(std::memory_order_relaxed)); });
    {
      std::lock_guard<std::mutex> lock(shared.mutex);
      run.done = true;
    }
    if (direct && !shared.stop) ++nextOut;
    handOn();
    i = shared.nextRun.fetch_add(1);
    if (i >= shared.runs.size()) break;
  }
  // The helpers' last runs.
  while (nextOut < shared.runs.size() && !shared.stop) {
    {
      std::unique_lock<std::mutex> lock(shared.mutex);
      shared.runDone.wait_for(lock, std::chrono::milliseconds(50),
                              [&] { return shared.runs[nextOut].done; });
    }
    handOn();
    progress(shared.entriesDone.load(std::memory_order_relaxed));
  }
}

}  // namespace

Status ScanText(const std::shared_ptr<const DicSource>& source, std::u16string_view query,
                const TextScanOptions& options, const std::function<bool(const TextHit&)>& onHit,
                TextScanStats* stats) {
  TextScanStats ignored;
  if (stats == nullptr) stats = &ignored;
  *stats = TextScanStats();
  if (source == nullptr) return Status::Ok();
  try {
    const TextQuery compiled(query, options.exact, source->IsBocu1());
    const int32_t entries = source->index.EntryLimit();
    stats->entries = entries;
    if (compiled.MatchesNothing() || entries <= 0) {
      if (options.progress) options.progress(entries, entries);
      return Status::Ok();
    }
    int threads = options.threads > 0
                      ? options.threads
                      : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // Several runs a thread, so that a thread that is done early takes more.
    const int32_t runCount = threads <= 1 ? 1 : std::min<int32_t>(entries, threads * 8);
    threads = std::min(threads, runCount);
    Shared shared(compiled, source, options.cancel);
    shared.runs.resize(static_cast<size_t>(runCount));
    for (int32_t i = 0; i < runCount; ++i) {
      shared.runs[i].first = static_cast<int32_t>(int64_t{entries} * i / runCount);
      shared.runs[i].stop = static_cast<int32_t>(int64_t{entries} * (i + 1) / runCount);
    }
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(threads));
    // Whatever the calling thread's part throws (a callback, memory), the
    // helpers are told to stop and joined before it leaves.
    Status status;
    try {
      for (int t = 1; t < threads; ++t) {
        try {
          helpers.emplace_back(Helper, &shared);
        } catch (const std::system_error&) {
          break;  // fewer threads: the calling one takes the runs left over
        }
      }
      ScanOnCallingThread(shared, options, onHit, stats);
    } catch (const std::bad_alloc&) {
      status = Status::OutOfMemory();
    } catch (const std::exception& e) {
      status = Status::Internal(e.what());
    } catch (...) {
      status = Status::Internal("unknown exception");
    }
    shared.stop = true;
    for (std::thread& helper : helpers) helper.join();
    stats->skippedAreas = shared.skippedAreas.load();
    if (!status.IsOk()) return status;
    if (stats->stopped) return Status::Ok();
    if (shared.cancelled) return Status::Cancelled();
    if (shared.outOfMemory) return Status::OutOfMemory();
    if (options.progress) options.progress(entries, entries);
    return Status::Ok();
  } catch (const std::bad_alloc&) {  // before any thread started (the query, the runs)
    return Status::OutOfMemory();
  } catch (const std::exception& e) {  // the final progress call
    return Status::Internal(e.what());
  }
}

}  // namespace kebu
