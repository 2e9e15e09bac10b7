#include "export/record_lines.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "dictionary/dic_text.h"
#include "dictionary/limits.h"
#include "export/atomic_output.h"
#include "export/json_text.h"

namespace kebu {

namespace {

constexpr int kProgressEvery = 1000;

// Lines are written straight into a large buffer, which goes out whenever
// the next line might not fit.
class LineBuffer {
 public:
  explicit LineBuffer(int fd) : fd_(fd), data_(kSize) {}

  char* Reserve(size_t bytes) {
    if (used_ + bytes > data_.size()) {
      Flush();
      if (bytes > data_.size()) data_.resize(bytes);
    }
    return failed_ ? nullptr : data_.data() + used_;
  }
  void Advance(const char* end) { used_ = static_cast<size_t>(end - data_.data()); }
  bool Flush() {
    size_t done = 0;
    while (!failed_ && done < used_) {
      const ssize_t n = ::write(fd_, data_.data() + done, used_ - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = n < 0 ? errno : ENOSPC;
        failed_ = true;
      } else {
        done += static_cast<size_t>(n);
      }
    }
    used_ = 0;
    return !failed_;
  }
  bool Failed() const { return failed_; }
  int Error() const { return error_; }

 private:
  static constexpr size_t kSize = 1 << 20;
  int fd_;
  std::vector<char> data_;
  size_t used_ = 0;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace

ReadStatus ReadWholeRecord(DicCursor& cursor, RecordText* text) {
  RawRecord r;
  const ReadStatus status = cursor.NextRecord(&r);
  if (status != ReadStatus::kRecord) {
    text->Clear();
    return status;
  }
  const bool bocu = cursor.Source().IsBocu1();
  const RecordFields& f = r.fields;
  const TextCapacities& whole = kWholeTexts;
  DecodeText(bocu, r.headword, f.headwordLength, whole.headword, &text->headword);
  DecodeText(bocu, r.area + f.translationOffset, f.translationLength, whole.translation,
             &text->translation);
  DecodeText(bocu, r.area + f.exampleOffset, f.exampleLength, whole.example, &text->example);
  // Without a substitution table the pronunciation is text, as lookup shows
  // it (sequential reading in the window gives code page 932 bytes instead).
  DecodePronunciation(bocu, r.area + f.pronunciationOffset, f.pronunciationLength,
                      whole.pronunciation, nullptr, false, &text->pronunciation);
  text->attribute = f.attribute;
  text->position = r.position;
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

ExportResult WriteRecordLines(DicCursor& cursor, int fd, LineFormat format,
                              const ExportHooks& hooks, ExportStats* stats) {
  *stats = ExportStats();
  stats->nword = cursor.Source().header.nword();
  const int32_t versionMajor = cursor.Source().versionMajor;
  LineBuffer buffer(fd);
  RecordText text;
  ExportResult result = ExportResult::kDone;
  for (;;) {
    if (hooks.cancel != nullptr && hooks.cancel->load(std::memory_order_relaxed)) {
      result = ExportResult::kCancelled;
      break;
    }
    const ReadStatus status = ReadWholeRecord(cursor, &text);
    if (status == ReadStatus::kEnd) break;
    if (status == ReadStatus::kSkippedArea) {
      ++stats->skippedAreas;
      continue;
    }
    char* const out = buffer.Reserve(LineBound(format, text));
    if (out == nullptr) break;
    char* const end = format == LineFormat::kTsv ? WriteTsvLine(out, text, versionMajor)
                                                 : WriteJsonLine(out, text);
    buffer.Advance(end);
    stats->bytes += static_cast<uint64_t>(end - out);
    if (++stats->written % kProgressEvery == 0 && hooks.progress) hooks.progress(*stats);
  }
  buffer.Flush();
  if (buffer.Failed()) {
    stats->error = std::string("write failed: ") + std::strerror(buffer.Error());
    return ExportResult::kWriteError;
  }
  if (hooks.progress) hooks.progress(*stats);
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
  std::unique_ptr<DicCursor> cursor = reader.NewCursor();
  if (cursor == nullptr) {
    stats->error = "no dictionary is open";
    return ExportResult::kNoDictionary;
  }
  cursor->Rewind();
  if (path == "-") return WriteRecordLines(*cursor, STDOUT_FILENO, format, hooks, stats);
  if (reader.IsDictionaryFile(path)) {
    stats->error = "is the dictionary being read; choose another file";
    return ExportResult::kSameFile;
  }
  AtomicOutput output;
  if (!output.Create(path)) {
    stats->error = output.Error();
    return ExportResult::kCannotCreate;
  }
  ExportResult result = WriteRecordLines(*cursor, output.fd(), format, hooks, stats);
  if (result == ExportResult::kDone && !output.Commit()) {
    stats->error = output.Error();
    result = ExportResult::kWriteError;
  }
  return result;  // anything else: the output is abandoned, the target untouched
}

}  // namespace kebu
