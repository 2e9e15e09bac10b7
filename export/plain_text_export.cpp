#include "export/plain_text_export.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
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
  explicit OutputBuffer(AtomicOutput& out) : out_(out), data_(kSize) {}

  // Makes room for `bytes` more bytes; false after a write error.
  bool Reserve(size_t bytes) {
    if (used_ + bytes <= data_.size()) return status_.IsOk();
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
    if (status_.IsOk() && used_ > 0) status_ = out_.Write(data_.data(), used_);
    used_ = 0;
    return status_.IsOk();
  }
  // Ok, or the first write's failure.
  const Status& WriteStatus() const { return status_; }
  uint64_t Total() const { return total_; }

 private:
  static constexpr size_t kSize = 1 << 20;
  AtomicOutput& out_;
  std::vector<uint8_t> data_;
  std::string scratch_;
  size_t used_ = 0;
  uint64_t total_ = 0;
  Status status_;
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

namespace {

Status Export(DicCursor& cursor, AtomicOutput& out, const ExportHooks& hooks,
              const ExportOptions& options, ExportStats* stats) {
  *stats = ExportStats();
  stats->nword = cursor.Source().header.nword();
  OutputBuffer buffer(out);
  out.SetCancel(hooks.cancel);
  const bool visible = out.IsTerminal();
  // The texts as the window would show them, decoded into buffers made once
  // (the pronunciation is not written, so it is not decoded).
  const bool bocu = cursor.Source().IsBocu1();
  RecordBuffers text({kWindowCapacities, PronunciationRule::kLeftOut});
  RawRecord r;
  Status result;
  for (;;) {
    if (CancelRequested(hooks)) {
      result = Status::Cancelled();
      break;
    }
    const ReadStatus status = cursor.NextRecord(&r);
    if (status == ReadStatus::kEnd) break;
    if (status == ReadStatus::kSkippedArea) {
      ++stats->skippedAreas;
      continue;
    }
    DecodeRecord(r, bocu, &text);  // the cursor's parser keeps texts in their area
    // A record without a headword is its position line alone; one without
    // a translation has no translation line (and no example).
    const uint32_t headwordUnits = static_cast<uint32_t>(text.Headword().size());
    const uint32_t translationUnits =
        headwordUnits != 0 ? static_cast<uint32_t>(text.Translation().size()) : 0;
    const uint32_t exampleUnits =
        translationUnits != 0 ? static_cast<uint32_t>(text.Example().size()) : 0;
    // Position line, then up to three UTF-8 texts.
    const size_t perUnit = visible ? 6 : 3;
    if (!buffer.Reserve(64 + perUnit * (headwordUnits + translationUnits + exampleUnits))) break;
    buffer.Append("[index=", 7);
    buffer.AppendInt(r.position.indexEntry);
    buffer.Append(" data=", 6);
    buffer.AppendInt(r.position.block);
    buffer.Append(":", 1);
    buffer.AppendInt(r.position.recordOffset);
    buffer.Append("]\n", 2);
    if (headwordUnits != 0) {
      buffer.AppendText(text.Headword().data(), headwordUnits, visible);
      buffer.Append("\n", 1);
    }
    if (translationUnits != 0) {
      buffer.AppendText(text.Translation().data(), translationUnits, visible);
      if (exampleUnits != 0) {
        buffer.Append(" / ", 3);
        buffer.AppendText(text.Example().data(), exampleUnits, visible);
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
  if (!buffer.WriteStatus().IsOk()) return buffer.WriteStatus();
  if (hooks.progress) hooks.progress(*stats);
  if (result.IsOk() && stats->written == 0 && stats->nword > 0) return NoRecordRead(stats->nword);
  return result;
}

}  // namespace

Status ExportToOutput(DicCursor& cursor, AtomicOutput& out, const ExportHooks& hooks,
                      const ExportOptions& options, ExportStats* stats) {
  try {
    return Export(cursor, out, hooks, options, stats);
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory();
  }
}

Status ExportPlainText(const std::shared_ptr<const DicSource>& source, const std::string& path,
                       const ExportHooks& hooks, const ExportOptions& options,
                       ExportStats* stats) {
  ExportStats local;
  if (stats == nullptr) stats = &local;
  *stats = ExportStats();
  return WriteOutputFile(source, path, [&](AtomicOutput& out) {
    DicCursor cursor(source);
    cursor.Rewind();
    return Export(cursor, out, hooks, options, stats);
  });
}

}  // namespace kebu
