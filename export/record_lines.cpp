#include "export/record_lines.h"

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "dictionary/dic_text.h"
#include "dictionary/limits.h"
#include "export/json_text.h"

namespace kebu {

namespace {

// Index entries formatted as one piece of work, and pieces in flight.
constexpr int32_t kEntriesPerRun = 64;
constexpr size_t kRunsInFlight = 8;

// Bytes that grow without being cleared first.
class Bytes {
 public:
  char* Reserve(size_t more) {
    if (size_ + more > capacity_) {
      capacity_ = std::max(2 * capacity_, size_ + more + (1 << 16));
      auto grown = std::make_unique<char[]>(capacity_);
      if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
      data_ = std::move(grown);
    }
    return data_.get() + size_;
  }
  void Advance(const char* end) { size_ = static_cast<size_t>(end - data_.get()); }
  void Clear() { size_ = 0; }
  const char* Data() const { return data_.get(); }
  size_t Size() const { return size_; }

 private:
  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// The lines of the records of index entries [first, stop).
struct Run {
  int32_t first = 0;
  int32_t stop = 0;
  Bytes lines;
  int64_t records = 0;
  int64_t skippedAreas = 0;
  bool done = false;
  bool outOfMemory = false;
};

void FormatRun(DicCursor& cursor, LineFormat format, bool visible, const std::atomic<bool>* cancel,
               Run* run) {
  const int32_t versionMajor = cursor.Source().versionMajor;
  // Part of one pass from entry 0: an area that an earlier entry named is
  // passed over here too.
  cursor.SeekRun(run->first, run->stop, 0);
  RecordText text;
  for (ReadStatus status; (status = ReadWholeRecord(cursor, &text)) != ReadStatus::kEnd;) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return;
    if (status == ReadStatus::kSkippedArea) {
      ++run->skippedAreas;
      continue;
    }
    char* const out = run->lines.Reserve(LineBound(format, text, visible));
    run->lines.Advance(format == LineFormat::kTsv ? WriteTsvLine(out, text, versionMajor, visible)
                                                  : WriteJsonLine(out, text));
    ++run->records;
  }
}

}  // namespace

ReadStatus ReadWholeRecord(DicCursor& cursor, RecordText* text) {
  RawRecord r;
  const ReadStatus status = cursor.NextRecord(&r);
  if (status != ReadStatus::kRecord) {
    text->Clear();
    return status;
  }
  // The pronunciation is text, as lookup shows it (sequential reading in the
  // window gives code page 932 bytes instead). The cursor's parser lets no
  // text out of its area.
  DecodeRecord(r, cursor.Source().IsBocu1(), {kWholeTexts, PronunciationRule::kText}, text);
  return ReadStatus::kRecord;
}

size_t LineBound(LineFormat format, const RecordText& text, bool visible) {
  const size_t units = text.headword.size() + text.translation.size() + text.example.size() +
                       text.pronunciation.size();
  // TSV: at most 3 bytes a unit (an escape takes 2; a visible one 6); JSON:
  // 6 (\u001f), and the names, quotes and numbers.
  return format == LineFormat::kTsv ? (visible ? 6 : 3) * units + 32
                                    : kJsonBytesPerUnit * units + 256;
}

void AppendLine(std::string& out, LineFormat format, const RecordText& text,
                int32_t versionMajor) {
  const size_t at = out.size();
  out.resize(at + LineBound(format, text));
  char* const start = out.data() + at;
  char* const end = format == LineFormat::kTsv ? WriteTsvLine(start, text, versionMajor)
                                               : WriteJsonLine(start, text);
  out.resize(static_cast<size_t>(end - out.data()));
}

Status WriteRecordLines(std::shared_ptr<const DicSource> source, AtomicOutput& out,
                        LineFormat format, const ExportHooks& hooks, ExportStats* stats,
                        int threads) {
  *stats = ExportStats();
  if (source == nullptr) return Status::InvalidArgument("no dictionary is open");
  stats->nword = source->header.nword();
  out.SetCancel(hooks.cancel);
  const bool visible = out.IsTerminal();
  const int32_t entries = source->index.EntryLimit();
  // Runs of entries are formatted on worker threads and written here in
  // their order, so the output is what one pass would write.
  std::deque<Run> runs;
  std::mutex mutex;
  std::condition_variable changed;
  size_t next = 0;     // the first run no worker has taken
  size_t written = 0;  // runs written out
  bool stop = false;
  // Buffers of runs written out, used again: fresh ones would cost a page
  // fault for every 4 KiB.
  std::vector<Bytes> spare;
  auto work = [&] {
    DicCursor cursor(source);
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stop || (next < runs.size() && next < written + kRunsInFlight); });
      if (stop) return;
      Run& run = runs[next++];
      if (!spare.empty()) {
        run.lines = std::move(spare.back());
        spare.pop_back();
      }
      lock.unlock();
      try {
        FormatRun(cursor, format, visible, hooks.cancel, &run);
      } catch (const std::bad_alloc&) {
        run.outOfMemory = true;
      }
      lock.lock();
      run.done = true;
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  // Whatever this thread's part throws (memory, the progress hook), the
  // workers are stopped and joined before it leaves.
  Status result;
  try {
    for (int32_t first = 0; first < entries; first += kEntriesPerRun) {
      Run& run = runs.emplace_back();
      run.first = first;
      run.stop = std::min(entries, first + kEntriesPerRun);
    }
    workers.reserve(static_cast<size_t>(std::max(threads, 1)));
    for (int i = 0; i < std::max(threads, 1) && static_cast<size_t>(i) < runs.size(); ++i) {
      try {
        workers.emplace_back(work);
      } catch (const std::system_error& e) {  // the system refused a thread
        if (!workers.empty()) break;          // fewer workers do the same work
        return Status(StatusCode::kOutOfMemory,
                      std::string("cannot start a thread: ") + std::strerror(e.code().value()));
      }
    }
    for (Run& run : runs) {
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return run.done; });
      }
      if (CancelRequested(hooks)) {
        result = Status::Cancelled();
        break;
      }
      if (run.outOfMemory) {
        result = Status::OutOfMemory();
        break;
      }
      result = out.Write(run.lines.Data(), run.lines.Size());
      if (!result.IsOk()) break;
      // Write-back starts now, run after run, rather than all in the final
      // flush of the output.
      out.StartWriteBack();
      stats->bytes += run.lines.Size();
      stats->written += run.records;
      stats->skippedAreas += run.skippedAreas;
      {
        std::lock_guard lock(mutex);
        run.lines.Clear();
        spare.push_back(std::move(run.lines));
        ++written;
      }
      changed.notify_all();
      if (hooks.progress) hooks.progress(*stats);
    }
  } catch (const std::bad_alloc&) {
    result = Status::OutOfMemory();
  } catch (const std::exception& e) {
    result = Status::Internal(e.what());
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  changed.notify_all();
  for (std::thread& worker : workers) worker.join();
  if (result.IsOk() && stats->written == 0 && stats->nword > 0) return NoRecordRead(stats->nword);
  return result;
}

Status ConvertToLines(const std::shared_ptr<const DicSource>& source, const std::string& path,
                      LineFormat format, const ExportHooks& hooks, ExportStats* stats) {
  *stats = ExportStats();
  if (path == "-" && source != nullptr) {
    AtomicOutput out;
    out.CreateOn(STDOUT_FILENO);
    return WriteRecordLines(source, out, format, hooks, stats);
  }
  return WriteOutputFile(source, path, [&](AtomicOutput& out) {
    return WriteRecordLines(source, out, format, hooks, stats);
  });
}

}  // namespace kebu
