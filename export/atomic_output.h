// Output files that never destroy data: written as a file without a name in
// the target's folder (O_TMPFILE) that is linked in as the target only when
// complete and flushed, so that not even a killed process leaves anything
// behind; where the file system cannot do that, under a temporary name
// renamed over the target. Until then an existing target stays exactly as it
// was, and a failed or abandoned output leaves no temporary file behind.
//
// It is also the one writer of the export module: every byte of an output
// (files, devices, FIFOs, standard output) goes through Write.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/status.h"
#include "export/temporary_names.h"

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
  // file it names is replaced (or made, when it names none yet) and the link
  // stays. Fails with kInvalidArgument ("is a folder") or kIoError ("cannot
  // create: ...").
  Status Create(const std::string& target);
  // Starts an output into the open descriptor `fd` (standard output), as it
  // is: nothing is made, renamed or closed.
  void CreateOn(int fd);
  // Writes all `length` bytes (a signal in between does not cut them);
  // kIoError ("write failed: No space left on device"), or kCancelled once
  // the cancel flag is set (also when a signal ends a write that waits for
  // a slow reader).
  Status Write(const void* data, size_t length);
  // The flag that Write looks at before each piece; null: none.
  void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
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
  // Whether the output goes to a terminal (whose text is for people).
  bool IsTerminal() const;

 private:
  Status Fail(const std::string& what, int error);

  int fd_ = -1;
  bool direct_ = false;     // writing straight into a device or FIFO
  bool borrowed_ = false;   // a descriptor of the caller's: never closed
  bool anonymous_ = false;  // an O_TMPFILE file: no name until Commit
  bool hadTarget_ = false;  // a regular file is replaced: keep its mode
  unsigned mode_ = 0;
  uint64_t size_ = 0;
  uint64_t writtenBack_ = 0;  // bytes StartWriteBack has handed on
  const std::atomic<bool>* cancel_ = nullptr;
  std::string target_;
  std::string temporary_;
  TemporaryName registered_;  // temporary_, for a signal handler
};

}  // namespace kebu
