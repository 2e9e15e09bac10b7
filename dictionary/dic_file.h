// Read-only access to a dictionary file by positional reads.
//
// Every read names its offset, so there is no shared file position: any
// number of threads may read one open file at once. A file that shrinks or
// changes while it is open only gives short reads, never a fault.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/status.h"

namespace kebu {

class DicFile {
 public:
  DicFile() = default;
  ~DicFile();
  DicFile(const DicFile&) = delete;
  DicFile& operator=(const DicFile&) = delete;

  // Opens the file at `path` (the file system's own bytes, passed through
  // unchanged) for reading. Anything but a regular file (a folder, a FIFO, a
  // socket, a device) is refused at once, without waiting for a writer
  // (kInvalidArgument); a file that is not there is kNotFound, any other
  // refusal of the system kIoError, each with the system's words ("No such
  // file or directory", "is a FIFO, not a dictionary file").
  Status Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Reads up to `length` bytes at `offset` into `out` and returns how many
  // arrived (fewer at the end of the file or on an error; 0 for a negative
  // offset).
  size_t ReadAt(int64_t offset, void* out, size_t length) const;
  bool ReadExactAt(int64_t offset, void* out, size_t length) const {
    return ReadAt(offset, out, length) == length;
  }

  // Size of the file when it was opened.
  int64_t Size() const { return size_; }
  // Whether `path` names this file (the same device and inode, so links and
  // other spellings of its path count).
  bool IsSameFile(const std::string& path) const;

 private:
  int fd_ = -1;
  int64_t size_ = 0;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace kebu
