// Output files that never destroy data: written under a temporary name in
// the target's folder and renamed over the target only when complete and
// flushed. Until then an existing target stays exactly as it was, and a
// failed or abandoned output leaves no temporary file behind.
//
// It is also the one writer of the export module: every byte of an output
// (files, devices, FIFOs, standard output) goes through Write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/status.h"

namespace kebu {

class AtomicOutput {
 public:
  AtomicOutput() = default;
  ~AtomicOutput() { Abandon(); }
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  // Starts the output for `target`. A target that exists and is not a
  // regular file (a device such as /dev/null, a FIFO) is written directly,
  // as nothing could be renamed over it; a symbolic link is followed, so the
  // file it names is replaced and the link stays. Fails with
  // kInvalidArgument ("is a folder") or kIoError ("cannot create: ...").
  Status Create(const std::string& target);
  // Starts an output into the open descriptor `fd` (standard output), as it
  // is: nothing is made, renamed or closed.
  void CreateOn(int fd);
  // Writes all `length` bytes (a signal in between does not cut them);
  // kIoError ("write failed: No space left on device").
  Status Write(const void* data, size_t length);
  // Lets the system start writing back what was written since the last
  // call, so that the final flush has less to wait for (a file only).
  void StartWriteBack();
  // Flushes the data to the disk, gives the file the permissions of the
  // target it replaces (or the usual ones for a new file) and renames it
  // over the target: kIoError when any of it fails, and nothing is left
  // behind then.
  Status Commit();
  // Drops the output: the temporary file is removed, the target untouched.
  void Abandon();

  // Bytes written so far.
  uint64_t Size() const { return size_; }

 private:
  Status Fail(const std::string& what, int error);

  int fd_ = -1;
  bool direct_ = false;     // writing straight into a device or FIFO
  bool borrowed_ = false;   // a descriptor of the caller's: never closed
  bool hadTarget_ = false;  // a regular file is replaced: keep its mode
  unsigned mode_ = 0;
  uint64_t size_ = 0;
  uint64_t writtenBack_ = 0;  // bytes StartWriteBack has handed on
  std::string target_;
  std::string temporary_;
};

}  // namespace kebu
