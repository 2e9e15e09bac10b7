#include "export/plain_text_export.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "codec/utf8.h"
#include "dictionary/dic_file.h"
#include "dictionary/dic_text.h"
#include "dictionary/text_buffers.h"

namespace kebu {

namespace {

constexpr int kProgressEvery = 1000;

// An output buffer written out in large pieces. Texts are encoded straight
// into it; it is flushed when the next piece might not fit.
class OutputBuffer {
 public:
  explicit OutputBuffer(std::FILE* out) : out_(out), data_(kSize) {}

  // Makes room for `bytes` more bytes; false after a write error.
  bool Reserve(size_t bytes) {
    if (used_ + bytes <= data_.size()) return !failed_;
    if (!Flush()) return false;
    if (bytes > data_.size()) data_.resize(bytes);
    return true;
  }
  uint8_t* End() { return data_.data() + used_; }
  void Advance(size_t bytes) { used_ += bytes; total_ += bytes; }
  void Append(const char* text, size_t length) {
    std::memcpy(End(), text, length);
    Advance(length);
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
    if (failed_) return false;
    if (used_ > 0 && std::fwrite(data_.data(), 1, used_, out_) != used_) {
      error_ = errno;
      failed_ = true;
    }
    used_ = 0;
    return !failed_;
  }
  bool Failed() const { return failed_; }
  int Error() const { return error_; }
  uint64_t Total() const { return total_; }

 private:
  static constexpr size_t kSize = 1 << 20;
  std::FILE* out_;
  std::vector<uint8_t> data_;
  size_t used_ = 0;
  uint64_t total_ = 0;
  bool failed_ = false;
  int error_ = 0;
};

// Encodes a zero-terminated text into the buffer; returns its byte count.
size_t AppendText(OutputBuffer& buffer, const char16_t* text, uint32_t units) {
  const uint32_t bytes = Utf16ToUtf8(text, units, buffer.End());
  buffer.Advance(bytes);
  return bytes;
}

std::string ProgressText(int32_t counted, int32_t nword, uint32_t total) {
  char text[64];
  if (nword == 0) {
    std::snprintf(text, sizeof text, "%d / %d", counted, nword);
  } else {
    std::snprintf(text, sizeof text, "%d / %d (%u%%)", counted, nword,
                  total / static_cast<uint32_t>(nword));
  }
  return text;
}

}  // namespace

ExportResult ExportToStream(DicReader& reader, std::FILE* out, const ExportHooks& hooks,
                            const ExportOptions& options, ExportStats* stats) {
  ExportStats local;
  if (stats == nullptr) stats = &local;
  *stats = ExportStats();
  if (reader.Rewind() != 0) return ExportResult::kNothingToRead;

  TextBuffers texts;
  OutputBuffer buffer(out);
  const int32_t nword = reader.GetHeader().nword();
  uint32_t total = 0;
  RecordPosition position;

  TextLengths lengths;
  // The pronunciation is not written, so it is not asked for.
  while (texts.ReadNext(reader, &position, &lengths, false) == 0) {
    if (hooks.pump) hooks.pump();
    const uint32_t headwordUnits = lengths.headword;
    const uint32_t translationUnits = headwordUnits ? lengths.translation : 0;
    const uint32_t exampleUnits = translationUnits ? lengths.example : 0;
    // Position line, then up to three UTF-8 texts of 3 bytes per unit at most.
    if (!buffer.Reserve(64 + 3 * (headwordUnits + translationUnits + exampleUnits))) break;
    buffer.Append("[index=", 7);
    buffer.AppendInt(position.indexEntry);
    buffer.Append(" data=", 6);
    buffer.AppendInt(position.block);
    buffer.Append(":", 1);
    buffer.AppendInt(position.recordOffset);
    buffer.Append("]\n", 2);
    ++stats->written;
    if (headwordUnits == 0) continue;
    AppendText(buffer, texts.headword.data(), headwordUnits);
    buffer.Append("\n", 1);
    if (translationUnits == 0) continue;
    AppendText(buffer, texts.translation.data(), translationUnits);
    if (exampleUnits != 0) {
      buffer.Append(" / ", 3);
      AppendText(buffer, texts.example.data(), exampleUnits);
    }
    buffer.Append("\n", 1);
    if (options.stopAfterEntry >= 0 && position.indexEntry > options.stopAfterEntry) break;
    ++stats->counted;
    total += 100;
    if (stats->counted % kProgressEvery == 0 && hooks.setTitle) {
      hooks.setTitle(ProgressText(stats->counted, nword, total));
    }
  }
  buffer.Flush();
  stats->bytes = buffer.Total();
  if (buffer.Failed() || std::fflush(out) != 0 || std::ferror(out)) {
    stats->error = std::strerror(buffer.Error() != 0 ? buffer.Error() : errno);
    return ExportResult::kWriteError;
  }
  return ExportResult::kDone;
}

ExportResult ExportPlainText(DicReader& reader, const char16_t* path,
                             const ExportHooks& hooks, const ExportOptions& options,
                             ExportStats* stats) {
  ExportStats local;
  if (stats == nullptr) stats = &local;
  const std::string native = PathToNative(path);
  std::FILE* out = std::fopen(native.c_str(), "wb");
  if (out == nullptr) {
    *stats = ExportStats();
    stats->error = std::strerror(errno);
    return ExportResult::kCannotCreate;
  }
  std::setvbuf(out, nullptr, _IONBF, 0);  // the export buffers by itself
  ExportResult result = ExportToStream(reader, out, hooks, options, stats);
  if (std::fclose(out) != 0 && result == ExportResult::kDone) {
    stats->error = std::strerror(errno);
    result = ExportResult::kWriteError;
  }
  if (result != ExportResult::kNothingToRead && hooks.restoreTitle) hooks.restoreTitle();
  return result;
}

}  // namespace kebu
