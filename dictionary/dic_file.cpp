#include "dictionary/dic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "codec/utf8.h"

namespace kebu {

std::string PathToNative(const char16_t* path) {
  std::u16string_view view(path);
  return Utf16ToUtf8(view);
}

DicFile::~DicFile() { Close(); }

bool DicFile::Open(const char16_t* path) {
  Close();
  error_.clear();
  const std::string native = PathToNative(path);
  int fd;
  do {
    fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    error_ = std::strerror(errno);
    ::close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error_ = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
    ::close(fd);
    return false;
  }
  fd_ = fd;
  size_ = st.st_size;
  return true;
}

void DicFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
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
