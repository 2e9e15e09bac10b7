#include "export/atomic_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

// The path a symbolic link stands for: where it leads (as realpath has it)
// when something is there, else where its chain of links ends, so that the
// file is made there; false (errno ELOOP) for a chain that does not end. A
// link the kernel alone can follow (/dev/stdout into a pipe) stays as it is.
bool FollowLinks(std::string* path) {
  struct stat st;
  if (::lstat(path->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
  if (::stat(path->c_str(), &st) == 0 || errno != ENOENT) {
    char resolved[PATH_MAX];
    if (::realpath(path->c_str(), resolved) != nullptr) *path = resolved;
    return true;
  }
  for (int hop = 0; hop < 40; ++hop) {
    if (::lstat(path->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    char to[PATH_MAX];
    const ssize_t n = ::readlink(path->c_str(), to, sizeof to - 1);
    if (n < 0) return true;
    const std::string next(to, static_cast<size_t>(n));
    *path = next[0] == '/' ? next : FolderOf(*path) + "/" + next;
  }
  errno = ELOOP;
  return false;
}

// A name for the temporary file of `target` that no other file has yet.
std::string RandomTemporary(const std::string& target, std::mt19937_64& random) {
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, "%012llx.tmp",
                static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
  const std::string folder = FolderOf(target);
  return folder + "/" + TemporaryNameBeside(folder, NameOf(target), suffix);
}

std::mt19937_64 NewRandom() {
  std::random_device entropy;
  return std::mt19937_64((static_cast<uint64_t>(entropy()) << 32) ^ entropy() ^ ::getpid());
}

}  // namespace

Status AtomicOutput::Fail(const std::string& what, int error) {
  Abandon();
  return Status::IoError(what + std::strerror(error));
}

Status AtomicOutput::Create(const std::string& target) {
  Abandon();
  size_ = writtenBack_ = 0;
  borrowed_ = anonymous_ = false;
  target_ = target;
  if (!FollowLinks(&target_)) return Fail("cannot create: ", errno);
  hadTarget_ = false;
  struct stat st;
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
#ifdef O_TMPFILE
  // A file without a name, linked in by Commit through /proc/self/fd (which
  // needs no privilege). The file system applies the user's umask.
  fd_ = ::open(FolderOf(target_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ >= 0 && ::access("/proc/self/fd", X_OK) == 0) {
    anonymous_ = true;
    return Status::Ok();
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
#endif
  // A name no other program uses, created anew (O_EXCL) with the usual
  // permissions.
  std::mt19937_64 random = NewRandom();
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = RandomTemporary(target_, random);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      registered_.Set(temporary_);
      return Status::Ok();
    }
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
  hadTarget_ = anonymous_ = false;
  size_ = writtenBack_ = 0;
  target_.clear();
}

Status AtomicOutput::Write(const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (length > 0) {
    if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) return Status::Cancelled();
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
  if (anonymous_) {
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
    if (!hadTarget_) {  // linked in as the target itself, when none has come meanwhile
      if (::linkat(AT_FDCWD, self, AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) == 0) return Status::Ok();
        const int error = errno;
        ::unlink(target_.c_str());
        return Fail("write failed: ", error);
      }
      if (errno != EEXIST) return Fail("cannot create: ", errno);
    }
    // A name of its own for the moment it takes to rename it over the target.
    std::mt19937_64 random = NewRandom();
    for (int attempt = 0;; ++attempt) {
      temporary_ = RandomTemporary(target_, random);
      registered_.Set(temporary_);
      if (::linkat(AT_FDCWD, self, AT_FDCWD, temporary_.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
      const int error = errno;
      temporary_.clear();
      if (error != EEXIST || attempt == 100) return Fail("cannot create: ", error);
    }
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail("write failed: ", errno);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail("cannot replace: ", errno);
  temporary_.clear();
  registered_.Clear();
  return Status::Ok();
}

bool AtomicOutput::IsTerminal() const { return fd_ >= 0 && ::isatty(fd_) != 0; }

void AtomicOutput::Abandon() {
  if (fd_ >= 0 && !borrowed_) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  registered_.Clear();
}

}  // namespace kebu
