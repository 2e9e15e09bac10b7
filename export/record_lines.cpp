#include "export/record_lines.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

void FormatRun(DicCursor& cursor, LineFormat format, const std::atomic<bool>* cancel, Run* run) {
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
    char* const out = run->lines.Reserve(LineBound(format, text));
    run->lines.Advance(format == LineFormat::kTsv ? WriteTsvLine(out, text, versionMajor)
                                                  : WriteJsonLine(out, text));
    ++run->records;
  }
}

bool WriteAll(int fd, const char* data, size_t length, int* error) {
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? errno : ENOSPC;
      return false;
    }
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
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

size_t LineBound(LineFormat format, const RecordText& text) {
  const size_t units = text.headword.size() + text.translation.size() + text.example.size() +
                       text.pronunciation.size();
  // TSV: at most 3 bytes a unit (an escape takes 2); JSON: 6 (\u001f), and
  // the names, quotes and numbers.
  return format == LineFormat::kTsv ? 3 * units + 32 : kJsonBytesPerUnit * units + 256;
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

ExportResult WriteRecordLines(std::shared_ptr<const DicSource> source, int fd, LineFormat format,
                              const ExportHooks& hooks, ExportStats* stats, int threads) {
  *stats = ExportStats();
  stats->nword = source->header.nword();
  const int32_t entries = source->index.EntryLimit();
  // Runs of entries are formatted on worker threads and written here in
  // their order, so the output is what one pass would write.
  std::deque<Run> runs;
  for (int32_t first = 0; first < entries; first += kEntriesPerRun) {
    Run& run = runs.emplace_back();
    run.first = first;
    run.stop = std::min(entries, first + kEntriesPerRun);
  }
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
        FormatRun(cursor, format, hooks.cancel, &run);
      } catch (const std::bad_alloc&) {
        run.outOfMemory = true;
      }
      lock.lock();
      run.done = true;
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (int i = 0; i < std::max(threads, 1) && static_cast<size_t>(i) < runs.size(); ++i) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error& e) {  // the system refused a thread
      if (!workers.empty()) break;          // fewer workers do the same work
      stats->error = std::string("cannot start a thread: ") + std::strerror(e.code().value());
      return ExportResult::kWriteError;
    }
  }
  ExportResult result = ExportResult::kDone;
  int error = 0;
  for (Run& run : runs) {
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return run.done; });
    }
    if (hooks.cancel != nullptr && hooks.cancel->load(std::memory_order_relaxed)) {
      result = ExportResult::kCancelled;
      stats->error = "cancelled";
      break;
    }
    if (run.outOfMemory) {
      result = ExportResult::kWriteError;
      error = ENOMEM;
      break;
    }
    if (!WriteAll(fd, run.lines.Data(), run.lines.Size(), &error)) {
      result = ExportResult::kWriteError;
      break;
    }
#ifdef __linux__
    // Write-back starts now, run after run, rather than all in the final
    // flush of the output (an error here, as for a pipe, changes nothing).
    ::sync_file_range(fd, static_cast<off_t>(stats->bytes), static_cast<off_t>(run.lines.Size()),
                      SYNC_FILE_RANGE_WRITE);
#endif
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
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  changed.notify_all();
  for (std::thread& worker : workers) worker.join();
  if (result == ExportResult::kWriteError) {
    stats->error = error == ENOMEM ? std::string("out of memory")
                                   : std::string("write failed: ") + std::strerror(error);
    return result;
  }
  if (result == ExportResult::kDone && stats->written == 0 && stats->nword > 0) {
    stats->error = "no record could be read, though the header counts " +
                   std::to_string(stats->nword);
    return ExportResult::kNoRecords;
  }
  return result;
}

ExportResult ConvertToLines(const DicReader& reader, const std::string& path, LineFormat format,
                            const ExportHooks& hooks, ExportStats* stats) {
  *stats = ExportStats();
  if (path == "-" && reader.IsOpen()) {
    return WriteRecordLines(reader.Source(), STDOUT_FILENO, format, hooks, stats);
  }
  return WriteOutputFile(reader, path, stats, [&](int fd) {
    return WriteRecordLines(reader.Source(), fd, format, hooks, stats);
  });
}

}  // namespace kebu
