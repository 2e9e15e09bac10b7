// Read-only access to a dictionary file by positional reads.
//
// Every read names its offset, so there is no shared file position, and a
// file that shrinks or changes while it is open only gives short reads,
// never a fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kebu {

class DicFile {
 public:
  DicFile() = default;
  ~DicFile();
  DicFile(const DicFile&) = delete;
  DicFile& operator=(const DicFile&) = delete;

  // Opens `path` (zero-terminated UTF-16) for reading. Returns false, with
  // errno-style text in LastError(), when it cannot be opened or is not a
  // regular file.
  bool Open(const char16_t* path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Reads up to `length` bytes at `offset` into `out` and returns how many
  // arrived (fewer at the end of the file or on an error; 0 for a negative
  // offset).
  size_t ReadAt(int64_t offset, void* out, size_t length) const;
  // Reads exactly `length` bytes or reports false.
  bool ReadExactAt(int64_t offset, void* out, size_t length) const {
    return ReadAt(offset, out, length) == length;
  }

  // Size of the file when it was opened.
  int64_t Size() const { return size_; }
  const std::string& LastError() const { return error_; }

 private:
  int fd_ = -1;
  int64_t size_ = 0;
  std::string error_;
};

// A UTF-16 path as the platform's file functions take it (UTF-8 here).
std::string PathToNative(const char16_t* path);

}  // namespace kebu
