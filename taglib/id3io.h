// File access for the tag classes: POSIX calls behind a small class whose failures are typed, so
// that the tag classes can turn them into their status words. Paths are bytes, never decoded.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

struct stat;

namespace tagio {

enum class IoError { Open, Read, Write, Other };

class TagIoError : public std::runtime_error {
public:
    TagIoError(IoError kind, int err);
    IoError Kind;
    int Errno;
};

// The error class (high byte of a status word) for a failure kind.
std::uint16_t StatusClass(IoError kind);

// Regular file that exists (following links).
bool FileExists(const std::string& path);

// Read-only (the user may not write it, or it has no write bit at all, which root's own access
// check would ignore) or hidden (its name begins with '.'). There is no system attribute here.
bool FileProtected(const std::string& path);

class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // Opens a regular file; never blocks on a FIFO or a device. Writable opens also take an
    // exclusive advisory lock, so that two savers never interleave.
    void Open(const std::string& path, bool writable);
    // Opens a file to save into it, as Open(path, true) after FileExists and FileProtected would,
    // in one open and one fstat instead of looking the name up four times: 0 when open, else the
    // status class the checks by name give (0x0100 missing or not a regular file, 0x0200 read-only
    // or hidden), with nothing written. Open failures of a file that passes them throw, as Open.
    // byName: make the checks by name before opening, for a file not known to be a writable
    // regular file (root would open one without any write bit, a device would see the open).
    std::uint16_t OpenToSave(const std::string& path, bool byName);
    // Opens a regular file to read it, as Open(path, false), but writable where the user may
    // write it and without a lock: a save that follows at once then takes this very open
    // (ResumeToSave) instead of opening the file again.
    void OpenForUpdate(const std::string& path);
    // The open file of OpenForUpdate, locked and made ready to save, when the name still leads
    // to it and it has not changed since it was opened (same identity): true. Otherwise it is
    // closed and false says to open the name again, as a save would. A lock held elsewhere
    // throws, as in Open.
    bool ResumeToSave(const std::string& path);
    // Takes over another File's open file; each keeps its own read-ahead buffer.
    void TakeOver(File& other) noexcept;
    void Close() noexcept;
    bool IsOpen() const { return fd_ >= 0; }

    std::uint64_t Size() const;
    // Who the open file is, and as what: device, inode, size, modification and change times
    // (nanoseconds) and links, as its open found them. Any write to a file, a rename onto its
    // name, its removal or a chmod changes one of them (the links even within the clock's tick).
    using Identity = std::array<std::uint64_t, 6>;
    const Identity& Id() const { return identity_; }
    // Read-only or hidden, as FileProtected says, judged from the open file's permission bits.
    bool Protected(const std::string& path) const;
    std::uint64_t Position() const { return pos_; }
    void Seek(std::uint64_t pos) { pos_ = pos; }

    // Exactly n bytes at the position, or IoError::Read.
    void ReadExact(void* buf, std::size_t n);
    // Reads up to n bytes at pos in one call and serves later reads inside them from memory: a
    // small tag then costs one read of the file instead of several.
    void ReadAhead(std::uint64_t pos, std::size_t n);
    // The read-ahead buffer, lent by a caller that keeps it from one file to the next (a scan of
    // a collection then allocates it once) and taken back before the File goes.
    void LendBuffer(std::unique_ptr<std::uint8_t[]> buffer, std::size_t size);
    std::unique_ptr<std::uint8_t[]> TakeBuffer(std::size_t& size);
    // At most n bytes at the position; returns how many.
    std::size_t ReadSome(void* buf, std::size_t n);
    // All n bytes at the position, or IoError::Write.
    void WriteAll(const void* buf, std::size_t n);
    // Makes the file exactly len bytes long.
    void Truncate(std::uint64_t len);
    // Makes sure the blocks up to len exist (the file grows to len if shorter): a full disk or a
    // size limit (checked before the file grows, so that the limit's signal never comes) shows
    // here, before anything is moved.
    void Reserve(std::uint64_t len);
    // Copies n bytes from one place of the file to another that does not overlap it, inside the
    // kernel; false (nothing copied) when the file system cannot, so that the caller copies.
    bool CopyWithin(std::uint64_t from, std::uint64_t to, std::uint64_t n);

private:
    // Takes the exclusive lock of a file opened for writing; closes it and throws when it is held.
    static void Lock(int fd);
    // Takes an open regular file (locked when writable).
    void Adopt(int fd, const struct stat& st, bool writable);
    std::uint64_t StatSize();
    int fd_ = -1;
    std::uint64_t pos_ = 0;
    bool writable_ = false;
    bool canWrite_ = false;   // opened for writing, whether or not it is locked yet
    std::uint64_t size_ = 0;  // kept up to date by this object's writes when writable
    std::unique_ptr<std::uint8_t[]> ahead_;
    std::size_t aheadSize_ = 0;
    std::uint64_t aheadPos_ = 0;
    std::size_t aheadLen_ = 0;  // as the open found it: a file opened to read does not change here
    Identity identity_{};
    unsigned mode_ = 0;
    unsigned uid_ = 0;
    unsigned gid_ = 0;
    bool kernelCopy_ = true;
};

}  // namespace tagio
