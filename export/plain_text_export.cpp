#include "export/plain_text_export.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "codec/utf8.h"
#include "export/atomic_output.h"

namespace kebu {

namespace {

constexpr int kProgressEvery = 1000;

// An output buffer written out in large pieces. Texts are encoded straight
// into it; it is flushed when the next piece might not fit.
class OutputBuffer {
 public:
  explicit OutputBuffer(int fd) : fd_(fd), data_(kSize) {}

  // Makes room for `bytes` more bytes; false after a write error.
  bool Reserve(size_t bytes) {
    if (used_ + bytes <= data_.size()) return !failed_;
    if (!Flush()) return false;
    if (bytes > data_.size()) data_.resize(bytes);
    return true;
  }
  uint8_t* End() { return data_.data() + used_; }
  void Advance(size_t bytes) {
    used_ += bytes;
    total_ += bytes;
  }
  void Append(const char* text, size_t length) {
    std::memcpy(End(), text, length);
    Advance(length);
  }
  // UTF-8 of `text`; with `visible`, control characters as escapes (at
  // most 6 bytes a unit, where plain UTF-8 needs 3).
  void AppendText(const char16_t* text, uint32_t units, bool visible) {
    if (!visible) {
      Advance(Utf16ToUtf8(text, units, End()));
      return;
    }
    scratch_.clear();
    AppendVisibleUtf8(std::u16string_view(text, units), &scratch_);
    Append(scratch_.data(), scratch_.size());
  }
  // A decimal number, two digits at a time from the right.
  void AppendInt(int32_t value) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char digits[12];
    char* const end = digits + sizeof digits;
    char* p = end;
    uint32_t v = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    while (v >= 100) {
      p -= 2;
      std::memcpy(p, kPairs + 2 * (v % 100), 2);
      v /= 100;
    }
    if (v >= 10) {
      p -= 2;
      std::memcpy(p, kPairs + 2 * v, 2);
    } else {
      *--p = static_cast<char>('0' + v);
    }
    if (value < 0) *--p = '-';
    Append(p, static_cast<size_t>(end - p));
  }
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
  uint64_t Total() const { return total_; }

 private:
  static constexpr size_t kSize = 1 << 20;
  int fd_;
  std::vector<uint8_t> data_;
  std::string scratch_;
  size_t used_ = 0;
  uint64_t total_ = 0;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace

std::string ProgressTitle(const ExportStats& stats) {
  char text[80];
  if (stats.nword == 0) {
    std::snprintf(text, sizeof text, "%lld / %d", static_cast<long long>(stats.written), stats.nword);
  } else {
    // As the window always showed it: 100 per record, divided by nword as
    // an unsigned 32-bit number.
    const uint32_t total = static_cast<uint32_t>(stats.written * 100);
    std::snprintf(text, sizeof text, "%lld / %d (%u%%)", static_cast<long long>(stats.written),
                  stats.nword, total / static_cast<uint32_t>(stats.nword));
  }
  return text;
}

ExportResult ExportToDescriptor(DicCursor& cursor, int fd, const ExportHooks& hooks,
                                const ExportOptions& options, ExportStats* stats) {
  *stats = ExportStats();
  stats->nword = cursor.Source().header.nword();
  OutputBuffer buffer(fd);
  // The texts as the window would show them, decoded into strings that keep
  // their memory from record to record (the pronunciation is not written,
  // so it is not decoded).
  const bool bocu = cursor.Source().IsBocu1();
  const RecordDecoding decoding{kWindowCapacities, PronunciationRule::kLeftOut};
  RecordText text;
  RawRecord r;
  ExportResult result = ExportResult::kDone;
  for (;;) {
    if (hooks.cancel != nullptr && hooks.cancel->load(std::memory_order_relaxed)) {
      result = ExportResult::kCancelled;
      stats->error = "cancelled";
      break;
    }
    const ReadStatus status = cursor.NextRecord(&r);
    if (status == ReadStatus::kEnd) break;
    if (status == ReadStatus::kSkippedArea) {
      ++stats->skippedAreas;
      continue;
    }
    DecodeRecord(r, bocu, decoding, &text);  // the cursor's parser keeps texts in their area
    // A record without a headword is its position line alone; one without
    // a translation has no translation line (and no example).
    const uint32_t headwordUnits = static_cast<uint32_t>(text.headword.size());
    const uint32_t translationUnits =
        headwordUnits != 0 ? static_cast<uint32_t>(text.translation.size()) : 0;
    const uint32_t exampleUnits =
        translationUnits != 0 ? static_cast<uint32_t>(text.example.size()) : 0;
    // Position line, then up to three UTF-8 texts.
    const size_t perUnit = options.visibleControls ? 6 : 3;
    if (!buffer.Reserve(64 + perUnit * (headwordUnits + translationUnits + exampleUnits))) break;
    buffer.Append("[index=", 7);
    buffer.AppendInt(r.position.indexEntry);
    buffer.Append(" data=", 6);
    buffer.AppendInt(r.position.block);
    buffer.Append(":", 1);
    buffer.AppendInt(r.position.recordOffset);
    buffer.Append("]\n", 2);
    if (headwordUnits != 0) {
      buffer.AppendText(text.headword.data(), headwordUnits, options.visibleControls);
      buffer.Append("\n", 1);
    }
    if (translationUnits != 0) {
      buffer.AppendText(text.translation.data(), translationUnits, options.visibleControls);
      if (exampleUnits != 0) {
        buffer.Append(" / ", 3);
        buffer.AppendText(text.example.data(), exampleUnits, options.visibleControls);
      }
      buffer.Append("\n", 1);
    }
    if (++stats->written % kProgressEvery == 0 && hooks.progress) hooks.progress(*stats);
    // Only records with a translation take part in the stop rule.
    if (translationUnits != 0 && options.stopAfterEntry >= 0 &&
        r.position.indexEntry > options.stopAfterEntry) {
      stats->stoppedByRule = true;
      break;
    }
  }
  buffer.Flush();
  stats->bytes = buffer.Total();
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

ExportResult WriteOutputFile(const DicReader& reader, const std::string& path, ExportStats* stats,
                             const std::function<ExportResult(int fd)>& write) {
  if (!reader.IsOpen()) {
    stats->error = "no dictionary is open";
    return ExportResult::kNoDictionary;
  }
  if (reader.IsDictionaryFile(path)) {
    stats->error = "is the dictionary being read; choose another file";
    return ExportResult::kSameFile;
  }
  AtomicOutput output;
  if (!output.Create(path)) {
    stats->error = output.Error();
    return ExportResult::kCannotCreate;
  }
  ExportResult result = write(output.fd());
  if (result == ExportResult::kDone && !output.Commit()) {
    stats->error = output.Error();
    result = ExportResult::kWriteError;
  }
  return result;  // anything else: the output is abandoned, the target untouched
}

ExportResult ExportPlainText(const DicReader& reader, const std::string& path,
                             const ExportHooks& hooks, const ExportOptions& options,
                             ExportStats* stats) {
  ExportStats local;
  if (stats == nullptr) stats = &local;
  *stats = ExportStats();
  return WriteOutputFile(reader, path, stats, [&](int fd) {
    std::unique_ptr<DicCursor> cursor = reader.NewCursor();
    cursor->Rewind();
    return ExportToDescriptor(*cursor, fd, hooks, options, stats);
  });
}

}  // namespace kebu
