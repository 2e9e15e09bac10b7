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

bool AtomicOutput::Fail(const std::string& what, int error) {
  error_ = what + std::strerror(error);
  Abandon();
  return false;
}

bool AtomicOutput::Create(const std::string& target) {
  Abandon();
  error_.clear();
  target_ = target;
  struct stat st;
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(target.c_str(), resolved) != nullptr) target_ = resolved;
  }
  hadTarget_ = false;
  if (::stat(target_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      error_ = "is a folder";
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      direct_ = true;
      fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
      return fd_ >= 0 || Fail("cannot open: ", errno);
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
    if (fd_ >= 0) return true;
    if (errno != EEXIST) {
      temporary_.clear();
      return Fail("cannot create: ", errno);
    }
  }
  temporary_.clear();
  return Fail("cannot create: ", EEXIST);
}

bool AtomicOutput::Write(const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (length > 0) {
    const ssize_t n = ::write(fd_, p, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = std::string("write failed: ") + std::strerror(n < 0 ? errno : ENOSPC);
      return false;
    }
    p += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

bool AtomicOutput::Commit() {
  if (fd_ < 0) {
    if (error_.empty()) error_ = "no output";
    return false;
  }
  if (direct_) {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail("write failed: ", errno);
    return true;
  }
  if (::fsync(fd_) != 0) return Fail("write failed: ", errno);
  if (hadTarget_ && ::fchmod(fd_, mode_) != 0) return Fail("cannot keep the permissions: ", errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail("write failed: ", errno);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail("cannot replace: ", errno);
  temporary_.clear();
  return true;
}

void AtomicOutput::Abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace kebu
