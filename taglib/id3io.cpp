#include "id3io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tagio {

TagIoError::TagIoError(IoError kind, int err)
    : std::runtime_error(std::strerror(err)), Kind(kind), Errno(err) {}

std::uint16_t StatusClass(IoError kind) {
  switch (kind) {
    case IoError::Open: return 0x0100;
    case IoError::Read: return 0x0300;
    case IoError::Write: return 0x0400;
    case IoError::Other: break;
  }
  return 0x0500;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileProtected(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!name.empty() && name[0] == '.') return true;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  if ((st.st_mode & 0222) == 0) return true;
  return ::access(path.c_str(), W_OK) != 0;
}

File::~File() { Close(); }

void File::Open(const std::string& path, bool writable) {
  Close();
  int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) throw TagIoError(IoError::Open, errno);
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = errno ? errno : EINVAL;
    ::close(fd);
    throw TagIoError(IoError::Open, S_ISREG(st.st_mode) ? err : EINVAL);
  }
  if (writable && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    throw TagIoError(IoError::Open, err);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  pos_ = 0;
}

void File::Close() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::uint64_t File::Size() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) throw TagIoError(IoError::Other, errno);
  return std::uint64_t(st.st_size);
}

std::size_t File::ReadSome(void* buf, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t r = ::pread(fd_, static_cast<char*>(buf) + done, n - done, off_t(pos_ + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      throw TagIoError(IoError::Read, errno);
    }
    if (r == 0) break;
    done += std::size_t(r);
  }
  pos_ += done;
  return done;
}

void File::ReadExact(void* buf, std::size_t n) {
  if (ReadSome(buf, n) != n) throw TagIoError(IoError::Read, EIO);
}

void File::WriteAll(const void* buf, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t r =
        ::pwrite(fd_, static_cast<const char*>(buf) + done, n - done, off_t(pos_ + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      throw TagIoError(IoError::Write, errno);
    }
    if (r == 0) throw TagIoError(IoError::Write, EIO);
    done += std::size_t(r);
  }
  pos_ += done;
}

void File::Truncate(std::uint64_t len) {
  while (::ftruncate(fd_, off_t(len)) != 0) {
    if (errno != EINTR) throw TagIoError(IoError::Write, errno);
  }
}

void File::Reserve(std::uint64_t len) {
  const std::uint64_t size = Size();
  if (len <= size) return;
  int err = ::posix_fallocate(fd_, 0, off_t(len));
  if (err == EINVAL || err == EOPNOTSUPP) {
    // No allocation on this file system: write the new tail for real so that a full disk
    // still shows now rather than in the middle of the move.
    static const char zeros[16384] = {};
    const std::uint64_t keep = pos_;
    pos_ = size;
    while (pos_ < len) WriteAll(zeros, std::size_t(std::min<std::uint64_t>(sizeof zeros, len - pos_)));
    pos_ = keep;
    err = 0;
  }
  if (err != 0) throw TagIoError(IoError::Write, err);
  if (Size() < len) Truncate(len);
}

void File::Sync() {
  if (::fsync(fd_) != 0 && errno != EINVAL) throw TagIoError(IoError::Write, errno);
}

}  // namespace tagio
