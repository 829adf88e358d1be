#include "id3io.h"

#include "FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tagio {

TagIoError::TagIoError(IoError kind, int err) : std::runtime_error(std::strerror(err)), Kind(kind), Errno(err) {}

std::uint16_t StatusClass(IoError kind)
{
    switch (kind) {
    case IoError::Open: return 0x0100;
    case IoError::Read: return 0x0300;
    case IoError::Write: return 0x0400;
    case IoError::Other: break;
    }
    return 0x0500;
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {
bool Hidden(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return path.size() > slash + 1 && path[slash + 1] == '.';  // npos + 1 is 0
}
}  // namespace

bool FileProtected(const std::string& path) { return Hidden(path) || platform::isReadOnly(path); }

File::~File() { Close(); }

namespace {
int OpenFlags(bool writable) { return (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY; }

// What the system says of an open file that must be a regular one; closes it and throws when it
// is not, or cannot say.
struct stat RegularFile(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        throw TagIoError(IoError::Open, err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw TagIoError(IoError::Open, EINVAL);
    }
    return st;
}
}  // namespace

void File::Open(const std::string& path, bool writable)
{
    Close();
    int fd = ::open(path.c_str(), OpenFlags(writable));
    if (fd < 0) throw TagIoError(IoError::Open, errno);
    const struct stat st = RegularFile(fd);
    if (writable) Lock(fd);
    Adopt(fd, st, writable);
}

void File::OpenForUpdate(const std::string& path)
{
    Close();
    // Not through a link at its end: a save would have to ask where the name leads now.
    const int fd = ::open(path.c_str(), OpenFlags(true) | O_NOFOLLOW);
    if (fd < 0) return Open(path, false);  // read-only here, or a link: as any load, no resuming
    Adopt(fd, RegularFile(fd), false);
    canWrite_ = true;
}

namespace {
File::Identity IdentityOf(const struct stat& st)
{
    return {std::uint64_t(st.st_dev),
            std::uint64_t(st.st_ino),
            std::uint64_t(st.st_size),
            std::uint64_t(st.st_mtim.tv_sec) * 1000000000u + std::uint64_t(st.st_mtim.tv_nsec),
            std::uint64_t(st.st_ctim.tv_sec) * 1000000000u + std::uint64_t(st.st_ctim.tv_nsec),
            std::uint64_t(st.st_nlink)};
}
}  // namespace

bool File::ResumeToSave(const std::string& path)
{
    if (fd_ < 0 || !canWrite_ || writable_) {
        Close();
        return false;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        Close();
        throw TagIoError(IoError::Open, err);
    }
    // Under the lock, the same identity proves that nothing wrote the file since it was opened,
    // and that its name was neither removed nor given to another file: either changes its links
    // and so its change time.
    struct stat st;
    if (Hidden(path) || ::fstat(fd_, &st) != 0 || IdentityOf(st) != identity_ || platform::markedReadOnly(st.st_mode)) {
        Close();
        return false;
    }
    Adopt(fd_, st, true);
    aheadLen_ = 0;
    return true;
}

void File::TakeOver(File& other) noexcept
{
    Close();
    fd_ = other.fd_;
    pos_ = other.pos_;
    writable_ = other.writable_;
    canWrite_ = other.canWrite_;
    size_ = other.size_;
    identity_ = other.identity_;
    mode_ = other.mode_;
    uid_ = other.uid_;
    gid_ = other.gid_;
    aheadLen_ = 0;
    other.fd_ = -1;
    other.aheadLen_ = 0;
}

void File::Lock(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        throw TagIoError(IoError::Open, err);
    }
}

std::uint16_t File::OpenToSave(const std::string& path, bool byName)
{
    Close();
    // A hidden name is refused without opening anything.
    if (Hidden(path)) return FileExists(path) ? 0x0200 : 0x0100;
    if (byName) {
        if (!FileExists(path)) return 0x0100;
        if (FileProtected(path)) return 0x0200;
    }
    const int fd = ::open(path.c_str(), OpenFlags(true));
    if (fd < 0) {
        const int err = errno;
        // Which answer the checks by name give for a file that cannot be opened for writing (one
        // missing, one the user may not write, a read-only file system...): off the common path.
        if (!FileExists(path)) return 0x0100;
        if (FileProtected(path)) return 0x0200;
        throw TagIoError(IoError::Open, err);
    }
    // Locked before it is looked at: what fstat says then stays true until the save ends, as far
    // as savers that lock are concerned.
    Lock(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        throw TagIoError(IoError::Open, err);
    }
    // Not a regular file is a missing one; a file without write bits is read-only even to root.
    // The open itself proved the user may write it.
    const std::uint16_t refused = !S_ISREG(st.st_mode) ? 0x0100 : platform::markedReadOnly(st.st_mode) ? 0x0200 : 0;
    if (refused) {
        ::close(fd);
        return refused;
    }
    Adopt(fd, st, true);
    return 0;
}

void File::Adopt(int fd, const struct stat& st, bool writable)
{
    // O_NONBLOCK only kept the open from waiting on a FIFO: on a regular file it changes nothing.
    fd_ = fd;
    pos_ = 0;
    writable_ = writable;
    canWrite_ = writable;
    size_ = std::uint64_t(st.st_size);
    mode_ = unsigned(st.st_mode);
    uid_ = st.st_uid;
    gid_ = st.st_gid;
    identity_ = IdentityOf(st);
}

bool File::Protected(const std::string& path) const
{
    if (Hidden(path) || platform::markedReadOnly(mode_)) return true;
    // Judged from the permission bits the open already has, without asking the system again;
    // a save asks it for real (its open for writing, OpenToSave) before it writes anything.
    static const uid_t user = ::geteuid();  // this program never changes who it runs as
    if (user == 0) return false;
    if (uid_ == user) return (mode_ & 0200) == 0;
    static const std::vector<gid_t> groups = [] {
        std::vector<gid_t> g(std::size_t(std::max(0, ::getgroups(0, nullptr))));
        g.resize(std::size_t(std::max(0, ::getgroups(int(g.size()), g.data()))));
        g.push_back(::getegid());
        return g;
    }();
    if (std::find(groups.begin(), groups.end(), gid_) != groups.end()) return (mode_ & 0020) == 0;
    return (mode_ & 0002) == 0;
}

void File::Close() noexcept
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    writable_ = canWrite_ = false;
}

std::uint64_t File::Size() const { return size_; }

void File::ReadAhead(std::uint64_t pos, std::size_t n)
{
    aheadLen_ = 0;  // not served from while it is being filled
    // Asking only for what the file holds spares the read that would find its end.
    if (!writable_) n = std::size_t(std::min<std::uint64_t>(n, size_ > pos ? size_ - pos : 0));
    if (aheadSize_ < n) {
        ahead_.reset(new std::uint8_t[n]);  // no zeroing: every byte used is read first
        aheadSize_ = n;
    }
    const std::uint64_t keep = pos_;
    pos_ = pos;
    const std::size_t got = ReadSome(ahead_.get(), n);
    pos_ = keep;
    aheadPos_ = pos;
    aheadLen_ = got;
}

void File::LendBuffer(std::unique_ptr<std::uint8_t[]> buffer, std::size_t size)
{
    aheadLen_ = 0;
    ahead_ = std::move(buffer);
    aheadSize_ = ahead_ ? size : 0;
}

std::unique_ptr<std::uint8_t[]> File::TakeBuffer(std::size_t& size)
{
    aheadLen_ = 0;
    size = aheadSize_;
    aheadSize_ = 0;
    return std::move(ahead_);
}

std::size_t File::ReadSome(void* buf, std::size_t n)
{
    std::size_t done = 0;
    // What the read-ahead holds comes from memory.
    if (aheadLen_ && pos_ >= aheadPos_ && pos_ < aheadPos_ + aheadLen_) {
        const std::size_t from = std::size_t(pos_ - aheadPos_);
        done = std::min(n, aheadLen_ - from);
        std::memcpy(buf, ahead_.get() + from, done);
        // Reading ahead stopped at the end of the file: nothing lies beyond it.
        if (done < n && aheadPos_ + aheadLen_ >= size_ && !writable_) {
            pos_ += done;
            return done;
        }
    }
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

void File::ReadExact(void* buf, std::size_t n)
{
    if (ReadSome(buf, n) != n) throw TagIoError(IoError::Read, EIO);
}

void File::WriteAll(const void* buf, std::size_t n)
{
    aheadLen_ = 0;
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(fd_, static_cast<const char*>(buf) + done, n - done, off_t(pos_ + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            throw TagIoError(IoError::Write, errno);
        }
        if (r == 0) throw TagIoError(IoError::Write, EIO);
        done += std::size_t(r);
    }
    pos_ += done;
    size_ = std::max(size_, pos_);
}

void File::Truncate(std::uint64_t len)
{
    aheadLen_ = 0;
    while (::ftruncate(fd_, off_t(len)) != 0) {
        if (errno != EINTR) throw TagIoError(IoError::Write, errno);
    }
    size_ = len;
}

std::uint64_t File::StatSize()
{
    struct stat st;
    if (::fstat(fd_, &st) != 0) throw TagIoError(IoError::Other, errno);
    return size_ = std::uint64_t(st.st_size);
}

void File::Reserve(std::uint64_t len)
{
    const std::uint64_t size = StatSize();
    if (len <= size) return;
    // Growing past the process's file-size limit would raise SIGXFSZ, which ends the program by
    // default, possibly after the file has grown: refuse before.
    struct rlimit limit;
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && len > limit.rlim_cur)
        throw TagIoError(IoError::Write, EFBIG);
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
    // Asked, not assumed: what the allocation left is what the move below relies on.
    if (StatSize() < len) Truncate(len);
}

bool File::CopyWithin(std::uint64_t from, std::uint64_t to, std::uint64_t n)
{
    if (!kernelCopy_) return false;
    aheadLen_ = 0;
    std::uint64_t done = 0;
    while (done < n) {
        loff_t in = loff_t(from + done), out = loff_t(to + done);
        const ssize_t r = ::copy_file_range(fd_, &in, fd_, &out, std::size_t(n - done), 0);
        if (r < 0) {
            if (errno == EINTR) continue;
            // Not supported here: nothing was copied yet, the caller copies through memory.
            if (done == 0 && (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP)) {
                kernelCopy_ = false;
                return false;
            }
            throw TagIoError(IoError::Write, errno);
        }
        if (r == 0) throw TagIoError(IoError::Read, EIO);  // the source ends before n bytes
        done += std::uint64_t(r);
    }
    return true;
}

}  // namespace tagio
