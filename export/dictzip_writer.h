// A gzip file that readers can seek in: the data is compressed in chunks of
// a fixed length, each chunk starts the deflate stream afresh (a full
// flush), and the gzip header's extra field "RA" lists every chunk's
// compressed size, so a reader finds the chunk of any offset and inflates
// only that one (the form of StarDict's .dict.dz files).
//
// Chunks are compressed on worker threads while the caller goes on
// appending; the compressed file is held in memory until Finish.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/status.h"
#include "export/atomic_output.h"

namespace kebu {

class DictzipWriter {
 public:
  // Uncompressed bytes per chunk: the most whose compressed size surely
  // fits the 16-bit sizes of the chunk table, even for data that does not
  // compress.
  static constexpr size_t kChunkLength = 58315;
  // At most this many chunks fit the 64 KiB extra field.
  static constexpr size_t kMaxChunks = (65535 - 4 - 6) / 2;

  // zlib's level (1..9); `threads` compressing workers (at least 1).
  DictzipWriter(int level, int threads);
  ~DictzipWriter();
  DictzipWriter(const DictzipWriter&) = delete;
  DictzipWriter& operator=(const DictzipWriter&) = delete;

  void Append(std::string_view data);
  // Uncompressed bytes appended so far.
  uint64_t Size() const { return size_; }
  // Compresses the rest and writes the whole file to `out`: kUnsupported
  // when the data is too long for the chunk table, kOutOfMemory, or the
  // failure of a write.
  Status Finish(AtomicOutput& out);

 private:
  struct Work;
  void Submit();

  Work* work_;
  std::string current_;  // the chunk being filled
  uint64_t size_ = 0;
};

}  // namespace kebu
