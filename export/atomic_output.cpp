#include "export/atomic_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace kebu {

namespace {

// The folder part of a path ("." for a bare name) and the name part.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Status AtomicOutput::Fail(const std::string& what, int error) {
  Abandon();
  return Status::IoError(what + std::strerror(error));
}

Status AtomicOutput::Create(const std::string& target) {
  Abandon();
  size_ = writtenBack_ = 0;
  borrowed_ = false;
  target_ = target;
  struct stat st;
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(target.c_str(), resolved) != nullptr) target_ = resolved;
  }
  hadTarget_ = false;
  if (::stat(target_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Status::InvalidArgument("is a folder");
    if (!S_ISREG(st.st_mode)) {
      direct_ = true;
      fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
      return fd_ >= 0 ? Status::Ok() : Fail("cannot open: ", errno);
    }
    hadTarget_ = true;
    mode_ = st.st_mode & 07777;
  }
  direct_ = false;
  // A name no other program uses, created anew (O_EXCL) with the usual
  // permissions: the file system applies the user's umask.
  std::random_device entropy;
  std::mt19937_64 random((static_cast<uint64_t>(entropy()) << 32) ^ entropy() ^ ::getpid());
  const std::string prefix = FolderOf(target_) + "/." + NameOf(target_) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "%012llx.tmp",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    temporary_ = prefix + suffix;
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) return Status::Ok();
    if (errno != EEXIST) {
      temporary_.clear();
      return Fail("cannot create: ", errno);
    }
  }
  temporary_.clear();
  return Fail("cannot create: ", EEXIST);
}

void AtomicOutput::CreateOn(int fd) {
  Abandon();
  fd_ = fd;
  borrowed_ = direct_ = true;
  hadTarget_ = false;
  size_ = writtenBack_ = 0;
  target_.clear();
}

Status AtomicOutput::Write(const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (length > 0) {
    const ssize_t n = fd_ < 0 ? -1 : ::write(fd_, p, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      return Status::IoError(std::string("write failed: ") +
                             std::strerror(fd_ < 0 ? EBADF : n < 0 ? errno : ENOSPC));
    }
    p += n;
    length -= static_cast<size_t>(n);
    size_ += static_cast<uint64_t>(n);
  }
  return Status::Ok();
}

void AtomicOutput::StartWriteBack() {
#ifdef __linux__
  // An error here (a pipe, a device) changes nothing.
  if (fd_ >= 0 && !direct_ && size_ > writtenBack_) {
    ::sync_file_range(fd_, static_cast<off_t>(writtenBack_),
                      static_cast<off_t>(size_ - writtenBack_), SYNC_FILE_RANGE_WRITE);
  }
#endif
  writtenBack_ = size_;
}

Status AtomicOutput::Commit() {
  if (fd_ < 0) return Status::IoError("no output");
  if (borrowed_) {
    fd_ = -1;
    return Status::Ok();
  }
  if (direct_) {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail("write failed: ", errno);
    return Status::Ok();
  }
  if (::fsync(fd_) != 0) return Fail("write failed: ", errno);
  if (hadTarget_ && ::fchmod(fd_, mode_) != 0) return Fail("cannot keep the permissions: ", errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail("write failed: ", errno);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail("cannot replace: ", errno);
  temporary_.clear();
  return Status::Ok();
}

void AtomicOutput::Abandon() {
  if (fd_ >= 0 && !borrowed_) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace kebu
