#include "FileSystem.h"

#include "Input.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

mode_t currentUmask()
{
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Iterative wildcard match with backtracking on the last "*": linear in practice, never
// exponential on hostile names.
bool wildcardMatch(std::string_view name, std::string_view mask)
{
    size_t n = 0, m = 0, starM = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || foldAscii(mask[m]) == foldAscii(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string_view::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

std::string& programFolderStore()
{
    static std::string folder;
    return folder;
}

std::string (*programFolderFallback)() = nullptr;

}  // namespace

bool matchesMask(std::string_view name, std::string_view mask)
{
    if (mask.empty()) return false;
    // The common masks, every entry of a walk meets them: "*", "*.*" and "*.ext".
    if (mask == "*" || mask == "*.*") return true;
    if (mask[0] == '*' && mask.find_first_of("*?", 1) == std::string_view::npos) {
        const std::string_view tail = mask.substr(1);
        if (name.size() < tail.size()) return false;
        const std::string_view end = name.substr(name.size() - tail.size());
        for (size_t i = 0; i < tail.size(); ++i)
            if (foldAscii(end[i]) != foldAscii(tail[i])) return false;
        return true;
    }
    if (wildcardMatch(name, mask)) return true;
    // A final ".*" also admits names without an extension: "notes.*" matches "notes".
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*")
        return wildcardMatch(name, mask.substr(0, mask.size() - 2));
    return false;
}

std::vector<std::string_view> splitMasks(std::string_view masks)
{
    std::vector<std::string_view> out;
    size_t start = 0;
    while (true) {
        const size_t semicolon = masks.find(';', start);
        out.push_back(
            masks.substr(start, semicolon == std::string_view::npos ? std::string_view::npos : semicolon - start));
        if (semicolon == std::string_view::npos) return out;
        start = semicolon + 1;
    }
}

namespace {

void sizeAndTimeOf(const struct stat& st, int64_t& size, int32_t& dosTime)
{
    size = st.st_size;
    struct tm local {};
    time_t t = st.st_mtime;
    if (!localtime_r(&t, &local) || local.tm_year < 80) {
        dosTime = (1 << 21) | (1 << 16);  // 1980-01-01, the earliest stamp there is
    } else {
        dosTime = int32_t((uint32_t(local.tm_year - 80) << 25) | (uint32_t(local.tm_mon + 1) << 21) |
                          (uint32_t(local.tm_mday) << 16) | (uint32_t(local.tm_hour) << 11) |
                          (uint32_t(local.tm_min) << 5) | uint32_t(local.tm_sec / 2));
    }
}

}  // namespace

bool fileSizeAndTime(const std::string& path, int64_t& size, int32_t& dosTime)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    sizeAndTimeOf(st, size, dosTime);
    return true;
}

FolderSnapshot::FolderSnapshot(const std::string& folder)
{
    const int fd = open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno;
        return;
    }
    fd_ = fd;
    // Read straight from the descriptor: a directory stream would need one of its own.
    alignas(dirent64) char buffer[32768];
    while (true) {
        const ssize_t got = getdents64(fd_, buffer, sizeof buffer);
        if (got < 0) error_ = errno;  // a folder that cannot be read further
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* d = reinterpret_cast<const dirent64*>(buffer + at);
            at += d->d_reclen;
            const std::string_view name(d->d_name);
            if (name == "." || name == "..") continue;
            DirEntry& entry = entries_.emplace_back();
            entry.name.assign(name);
            if (d->d_type == DT_DIR) {
                entry.isDirectory = true;
            } else if (d->d_type != DT_REG) {
                // Links and file systems without types: ask for what the entry leads to.
                struct stat st;
                if (fstatat(fd_, d->d_name, &st, 0) == 0) entry.isDirectory = S_ISDIR(st.st_mode);
                else entry.error = errno;
            }
        }
    }
}

FolderSnapshot::~FolderSnapshot() { close(); }

void FolderSnapshot::close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool FolderSnapshot::identity(uint64_t& device, uint64_t& inode) const
{
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0) return false;
    device = uint64_t(st.st_dev);
    inode = uint64_t(st.st_ino);
    return true;
}

bool FolderSnapshot::sizeAndTime(const std::string& name, int64_t& size, int32_t& dosTime) const
{
    struct stat st;
    if (fd_ < 0 || fstatat(fd_, name.c_str(), &st, 0) != 0) return false;
    sizeAndTimeOf(st, size, dosTime);
    return true;
}

bool fileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool folderExists(const std::string& path)
{
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isHidden(const std::string& path)
{
    std::string name = fileNamePart(path);
    return !name.empty() && name[0] == '.';
}

bool isReadOnly(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    return markedReadOnly(st.st_mode) || access(path.c_str(), W_OK) != 0;
}

bool isLink(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

namespace {

// Writes every byte, through interrupted and short writes: 0, or the error number.
int writeAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        done += size_t(n);
    }
    return 0;
}

}  // namespace

int writeFile(const std::string& path, const std::string& bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    int error = writeAll(fd, bytes);
    if (close(fd) != 0 && !error) error = errno;
    return error;
}

int fileBehindLinks(const std::string& path, std::string& file)
{
    file = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(file.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
        std::string target(size_t(PATH_MAX), '\0');
        const ssize_t n = readlink(file.c_str(), target.data(), target.size());
        if (n <= 0 || size_t(n) >= target.size()) return 0;  // changed meanwhile: as it stands
        target.resize(size_t(n));
        file = target[0] == '/' ? target : folderPart(file) + target;
    }
    return ELOOP;
}

int hiddenFileBeside(int folder, const std::string& path, std::string& name)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Fresh random bytes each time: processes forked from one another never draw alike.
        unsigned char bytes[6];
        if (getrandom(bytes, sizeof bytes, 0) != ssize_t(sizeof bytes)) {
            struct timespec now {};
            clock_gettime(CLOCK_REALTIME, &now);
            const uint64_t mixed = uint64_t(now.tv_nsec) * 2654435761u ^ uint64_t(getpid()) << 20 ^ uint64_t(attempt);
            for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(mixed >> (8 * i));
        }
        // The name's beginning, so that the hidden name fits where the name itself fits.
        name = folderPart(path) + "." + fileNamePart(path).substr(0, NAME_MAX - 8) + ".";
        for (const unsigned char b : bytes) name += letters[b % (sizeof letters - 1)];
        const int fd = openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

int writeFileAside(const std::string& path, const std::string& bytes, AtLink atLink)
{
    std::string target = path;
    if (atLink == AtLink::WriteTarget)
        if (const int error = fileBehindLinks(path, target)) return error;
    // Replacing goes by the folder's permissions alone: a file its user may not write is kept.
    // A link that is itself replaced leaves the file it names alone, whatever that file's mode.
    if (!(atLink == AtLink::ReplaceLink && isLink(target)) && isReadOnly(target)) return ReadOnlyFile;
    std::string temp;
    const int fd = hiddenFileBeside(AT_FDCWD, target, temp);
    if (fd < 0) return errno;
    int error = writeAll(fd, bytes);
    struct stat st;
    if (!error)
        fchmod(fd,
               lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_mode & 07777 : 0644 & ~currentUmask());
    if (close(fd) != 0 && !error) error = errno;
    if (!error && rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) unlink(temp.c_str());
    return error;
}

std::string moveAside(const std::string& path)
{
    std::string aside;
    const int fd = hiddenFileBeside(AT_FDCWD, path, aside);
    if (fd < 0) return std::string();
    close(fd);
    if (rename(path.c_str(), aside.c_str()) != 0) {
        const int saved = errno;
        unlink(aside.c_str());
        errno = saved;
        return std::string();
    }
    return aside;
}

bool SetAside::take(const std::string& name) { return moveAsideUnless(name, false); }

bool SetAside::takeUnlessFile(const std::string& name) { return moveAsideUnless(name, true); }

bool SetAside::moveAsideUnless(const std::string& name, bool regularFile)
{
    output_ = name;
    aside_.clear();
    // A dangling link is in the way too: writing through it would make the file it names.
    struct stat st;
    if (lstat(name.c_str(), &st) != 0 || S_ISDIR(st.st_mode) || (regularFile && S_ISREG(st.st_mode))) return true;
    aside_ = moveAside(name);
    if (aside_.empty()) output_.clear();  // what stays there is not ours to remove
    return !aside_.empty();
}

void SetAside::keepNew()
{
    if (!aside_.empty()) unlink(aside_.c_str());
    aside_.clear();
    output_.clear();
}

void SetAside::giveBack(bool removeNew)
{
    if (!aside_.empty()) rename(aside_.c_str(), output_.c_str());
    else if (removeNew && !output_.empty()) unlink(output_.c_str());
    aside_.clear();
    output_.clear();
}

void SetAside::settle()
{
    if (fileExists(output_)) keepNew();
    else giveBack(false);
}

bool makeFolders(const std::string& folder)
{
    std::string path;
    size_t from = 0;
    while (from <= folder.size()) {
        size_t to = folder.find('/', from);
        if (to == std::string::npos) to = folder.size();
        path = folder.substr(0, to);
        if (!path.empty() && mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
        from = to + 1;
    }
    if (!folderExists(folder)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool renameNoReplace(const std::string& from, const std::string& to)
{
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    const int refused = errno;
    if (refused != EINVAL && refused != ENOSYS && refused != ENOTSUP) return false;
#else
    const int refused = ENOSYS;
#endif
    // File systems without the flag: a hard link fails on an existing name, as we want.
    if (link(from.c_str(), to.c_str()) != 0) {
        // One without links either (FAT) said EINVAL of the name itself: that is the reason.
        if (errno == EPERM && refused == EINVAL) errno = EINVAL;
        return false;
    }
    if (unlink(from.c_str()) != 0) {
        int saved = errno;
        unlink(to.c_str());
        errno = saved;
        return false;
    }
    return true;
}

std::string folderPart(const std::string& path)
{
    size_t slash = path.rfind(PathSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string fileNamePart(const std::string& path)
{
    size_t slash = path.rfind(PathSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withTrailingSeparator(const std::string& folder)
{
    if (!folder.empty() && folder.back() == PathSeparator) return folder;
    return folder + PathSeparator;
}

std::string programFolder()
{
    std::string& folder = programFolderStore();
    if (folder.empty()) {
        // The executable's own path, as bytes: a folder name that is not valid UTF-8 survives.
        char buf[4096];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
        if (n > 0 && size_t(n) < sizeof buf) folder = folderPart(std::string(buf, size_t(n)));
        else if (programFolderFallback) folder = programFolderFallback();
        folder = withTrailingSeparator(folder);
    }
    return folder;
}

void setProgramFolder(const std::string& folder)
{
    programFolderStore() = folder.empty() ? std::string() : withTrailingSeparator(folder);
}

void setProgramFolderFallback(std::string (*folder)()) { programFolderFallback = folder; }

std::vector<char> drives() { return {PathSeparator}; }

char driveOf(const std::string& path) { return path.empty() ? '\0' : path[0]; }

std::string driveRoot(char drive)
{
    if (drive == PathSeparator || drive == '\0') return "/";
    return std::string(1, drive) + ":/";
}

}  // namespace platform
