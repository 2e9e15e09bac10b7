#include "export/dictzip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace kebu {

namespace {

struct Chunk {
  std::string input;
  std::string output;
  uint32_t crc = 0;
  bool outOfMemory = false;
};

// One chunk as a deflate stream of its own, ended by a full flush: byte
// aligned, and no later chunk refers back into it. The chunks one after the
// other and a final empty block are one deflate stream. Readers inflate
// chunk after chunk with one stream and take anything but Z_OK as an
// error, so the final block stands behind the last chunk, outside the
// chunk table.
void Compress(Chunk& chunk, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
  chunk.output.resize(deflateBound(&z, chunk.input.size()) + 16);
  z.next_in = reinterpret_cast<Bytef*>(chunk.input.data());
  z.avail_in = static_cast<uInt>(chunk.input.size());
  z.next_out = reinterpret_cast<Bytef*>(chunk.output.data());
  z.avail_out = static_cast<uInt>(chunk.output.size());
  deflate(&z, Z_FULL_FLUSH);
  chunk.output.resize(z.total_out);
  deflateEnd(&z);
  chunk.crc = static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(chunk.input.data()), static_cast<uInt>(chunk.input.size())));
  chunk.input = std::string();
}

void PutLe16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void PutLe32(std::string& out, uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}

}  // namespace

struct DictzipWriter::Work {
  int level;
  std::mutex mutex;
  std::condition_variable wake;     // workers: a chunk to compress, or stop
  std::condition_variable settled;  // appender: a chunk was compressed
  std::deque<Chunk> chunks;
  size_t next = 0;     // the first chunk no worker has taken
  size_t pending = 0;  // taken or waiting, not done
  bool stop = false;
  std::vector<std::thread> threads;

  void Run() {
    std::unique_lock lock(mutex);
    for (;;) {
      wake.wait(lock, [&] { return stop || next < chunks.size(); });
      if (next >= chunks.size()) return;
      Chunk& chunk = chunks[next++];  // a deque keeps its elements in place
      lock.unlock();
      try {
        Compress(chunk, level);
      } catch (const std::bad_alloc&) {
        chunk.outOfMemory = true;
      }
      lock.lock();
      --pending;
      settled.notify_all();
    }
  }
};

DictzipWriter::DictzipWriter(int level, int threads) : work_(new Work) {
  work_->level = level;
  for (int i = 0; i < std::max(threads, 1); ++i) {
    try {
      work_->threads.emplace_back([this] { work_->Run(); });
    } catch (const std::system_error&) {
      break;  // fewer threads; with none, Submit compresses each chunk itself
    }
  }
  current_.reserve(kChunkLength);
}

DictzipWriter::~DictzipWriter() {
  {
    std::lock_guard lock(work_->mutex);
    work_->stop = true;
    work_->next = work_->chunks.size();  // what is left is not compressed
  }
  work_->wake.notify_all();
  for (std::thread& t : work_->threads) t.join();
  delete work_;
}

void DictzipWriter::Submit() {
  std::unique_lock lock(work_->mutex);
  // Bounded memory: the appender waits while the workers are well behind.
  const size_t limit = std::max<size_t>(1, 4 * work_->threads.size());
  work_->settled.wait(lock, [&] { return work_->pending < limit; });
  Chunk& chunk = work_->chunks.emplace_back();
  chunk.input = std::move(current_);
  if (work_->threads.empty()) {
    ++work_->next;
    lock.unlock();
    try {
      Compress(chunk, work_->level);
    } catch (const std::bad_alloc&) {
      chunk.outOfMemory = true;
    }
  } else {
    ++work_->pending;
    lock.unlock();
    work_->wake.notify_one();
  }
  current_ = std::string();
  current_.reserve(kChunkLength);
}

void DictzipWriter::Append(std::string_view data) {
  size_ += data.size();
  while (!data.empty()) {
    const size_t n = std::min(data.size(), kChunkLength - current_.size());
    current_.append(data.data(), n);
    data.remove_prefix(n);
    if (current_.size() == kChunkLength) Submit();
  }
}

Status DictzipWriter::Finish(AtomicOutput& out) {
  if (!current_.empty() || work_->chunks.empty()) Submit();
  {
    std::unique_lock lock(work_->mutex);
    work_->settled.wait(lock, [&] { return work_->pending == 0; });
  }
  const std::deque<Chunk>& chunks = work_->chunks;
  for (const Chunk& chunk : chunks) {
    if (chunk.outOfMemory) return Status::OutOfMemory();
  }
  if (chunks.size() > kMaxChunks) {
    return Status::Unsupported("too much text for one dictzip file (" + std::to_string(size_) +
                               " bytes)");
  }
  std::string header = {'\x1f', '\x8b', 8, 4};  // gzip, deflate, an extra field
  PutLe32(header, 0);                           // no time: the output is the same each run
  header += '\0';                               // no compression level said
  header += '\3';                               // Unix
  const uint32_t fieldLength = static_cast<uint32_t>(6 + 2 * chunks.size());
  PutLe16(header, 4 + fieldLength);
  header += "RA";
  PutLe16(header, fieldLength);
  PutLe16(header, 1);  // version of the chunk table
  PutLe16(header, kChunkLength);
  PutLe16(header, static_cast<uint32_t>(chunks.size()));
  uint32_t crc = 0;
  uint64_t offset = 0;
  for (const Chunk& chunk : chunks) {
    PutLe16(header, static_cast<uint32_t>(chunk.output.size()));
    const uint64_t length = std::min<uint64_t>(kChunkLength, size_ - offset);
    crc = static_cast<uint32_t>(crc32_combine(crc, chunk.crc, static_cast<z_off_t>(length)));
    offset += length;
  }
  Status written = out.Write(header.data(), header.size());
  for (const Chunk& chunk : chunks) {
    if (written.IsOk()) written = out.Write(chunk.output.data(), chunk.output.size());
  }
  std::string trailer = {'\x03', '\0'};  // the final block, empty
  PutLe32(trailer, crc);
  PutLe32(trailer, static_cast<uint32_t>(size_));
  if (written.IsOk()) written = out.Write(trailer.data(), trailer.size());
  return written;
}

}  // namespace kebu
