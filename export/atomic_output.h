// Output files that never destroy data: written under a temporary name in
// the target's folder and renamed over the target only when complete and
// flushed. Until then an existing target stays exactly as it was, and a
// failed or abandoned output leaves no temporary file behind.
#pragma once

#include <cstddef>
#include <string>

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
  // file it names is replaced and the link stays. False with Error() set
  // when the target is a folder or the temporary file cannot be made.
  bool Create(const std::string& target);
  // The descriptor to write to.
  int fd() const { return fd_; }
  // Writes all `length` bytes; false with Error() set.
  bool Write(const void* data, size_t length);
  // Flushes the data to the disk, gives the file the permissions of the
  // target it replaces (or the usual ones for a new file) and renames it
  // over the target. False with Error() set; nothing is left behind then.
  bool Commit();
  // Drops the output: the temporary file is removed, the target untouched.
  void Abandon();

  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& what, int error);

  int fd_ = -1;
  bool direct_ = false;     // writing straight into a device or FIFO
  bool hadTarget_ = false;  // a regular file is replaced: keep its mode
  unsigned mode_ = 0;
  std::string target_;
  std::string temporary_;
  std::string error_;
};

}  // namespace kebu
