#include "dictionary/dic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kebu {

namespace {

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder, not a dictionary file";
  if (S_ISFIFO(mode)) return "is a FIFO, not a dictionary file";
  if (S_ISSOCK(mode)) return "is a socket, not a dictionary file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a dictionary file";
  return "is not a regular file";
}

Status SystemError(int error) {
  if (error == ENOENT) return Status::NotFound(std::strerror(error));
  return Status::IoError(std::strerror(error));
}

}  // namespace

DicFile::~DicFile() { Close(); }

Status DicFile::Open(const std::string& path) {
  Close();
  // Opened without waiting (a FIFO would wait for a writer), then looked at:
  // anything but a regular file is refused.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return SystemError(errno);
  struct stat st;
  Status status;
  if (::fstat(fd, &st) != 0) {
    status = SystemError(errno);
  } else if (!S_ISREG(st.st_mode)) {
    status = Status::InvalidArgument(KindOf(st.st_mode));
  } else {
    fd_ = fd;
    size_ = st.st_size;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    return Status::Ok();
  }
  ::close(fd);
  return status;
}

void DicFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

bool DicFile::IsSameFile(const std::string& path) const {
  struct stat st;
  return fd_ >= 0 && ::stat(path.c_str(), &st) == 0 && st.st_dev == device_ &&
         st.st_ino == inode_;
}

size_t DicFile::ReadAt(int64_t offset, void* out, size_t length) const {
  if (fd_ < 0 || offset < 0) return 0;
  size_t done = 0;
  auto* dst = static_cast<uint8_t*>(out);
  while (done < length) {
    const ssize_t got = ::pread(fd_, dst + done, length - done,
                                static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

}  // namespace kebu
