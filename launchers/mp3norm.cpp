// mp3norm: evens out the loudness of MP3 files with mp3gain, which changes only the gain field
// of each audio frame (lossless, no new encoding).
//
//   mp3norm [/r | /a] [/c] [/m<level>] <file> ...
//
//   /r        track gain: each file on its own (the default)
//   /a        album gain: one change for all the files, which keep their differences; when one
//             of them cannot be normalised, none is
//   /c        apply the gain even where it clips; without it the gain is lowered so as not to
//             clip (mp3gain -k) rather than asking: nobody sees this program's questions
//   /m<level> target level 0 to 10 (default 5). mp3gain changes the gain in steps of 1.5 dB and
//             aims at 89 dB by default; each level is one step from there, so the target is
//             89 + 1.5 × (level − 5) dB: 81.5 dB at 0, 89 dB at 5, 96.5 dB at 10 (mp3gain -m).
//
// Tags stay byte for byte as they were: mp3gain reads and writes no tag (-s s, so no APE tag is
// added), and the ID3v2 tag at the front and the ID3v1 tag at the end are compared afterwards and
// written back should anything have touched them.
// mp3gain changes the frames where they are (-T) and notices no write that fails: it works on a
// copy written beside each file (hidden name, same owner and permissions), which replaces the
// file only once it is whole and flushed to the disk, and only while the file is as it was when
// the run began. A full disk, a file size limit, a tool stopped midway or a file changed
// meanwhile leaves the file byte for byte as it was, and its name among those not normalised.
// A file with other hard links is left alone: a new file in its place would part them.
// mp3gain only ever sees names of its own (links in a private folder), so that no file name can
// be taken for an option or be misread in its report.
//
// Standard output: the name of each file that could not be normalised, each ended by a 0 byte so
// that any name can be read back; the reasons go to standard error.
// Exit code: 0 every file normalised, 1 some not, 2 wrong arguments.
#include "FileSystem.h"
#include "Launch.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using launch::readAt;

namespace {

const char* const Me = "mp3norm";

// The bytes of a file that are not audio: its ID3v2 tag and its ID3v1 tag (with an extended
// "TAG+" block before it).
struct Tags {
    off_t size = 0;
    std::string head;  // ID3v2 tag at offset 0
    std::string tail;  // ID3v1 block at size - tail.size()
};

bool writeAt(int fd, const std::string& bytes, off_t at)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, at + off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

bool readTags(int fd, Tags& tags)
{
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    tags = Tags{};
    tags.size = st.st_size;
    std::string header;
    if (st.st_size >= 10 && readAt(fd, header, 10, 0) && header.compare(0, 3, "ID3") == 0) {
        const auto b = [&](int i) { return std::size_t(static_cast<unsigned char>(header[std::size_t(i)]) & 0x7f); };
        std::size_t length = 10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9));
        if (header[5] & 0x10) length += 10;  // footer
        if (off_t(length) > st.st_size) length = std::size_t(st.st_size);
        if (!readAt(fd, tags.head, length, 0)) return false;
    }
    std::string v1;
    if (st.st_size >= off_t(tags.head.size()) + 128 && readAt(fd, v1, 128, st.st_size - 128) &&
        v1.compare(0, 3, "TAG") == 0) {
        std::string extended;
        if (st.st_size >= off_t(tags.head.size()) + 128 + 227 && readAt(fd, extended, 227, st.st_size - 128 - 227) &&
            extended.compare(0, 4, "TAG+") == 0)
            v1 = extended + v1;
        tags.tail = v1;
    }
    return true;
}

// Writes back whatever changed in the tags; false when that was needed and impossible.
bool keepTags(int fd, const Tags& before)
{
    Tags after;
    if (!readTags(fd, after) || after.size != before.size) return false;
    std::string now;
    if (!before.head.empty() && (!readAt(fd, now, before.head.size(), 0) || now != before.head) &&
        !writeAt(fd, before.head, 0))
        return false;
    const off_t tailAt = before.size - off_t(before.tail.size());
    if (!before.tail.empty() && (!readAt(fd, now, before.tail.size(), tailAt) || now != before.tail) &&
        !writeAt(fd, before.tail, tailAt))
        return false;
    return true;
}

struct Entry {
    std::string name;  // as given
    int fd = -1;       // opened for writing: only a file the user may change is normalised
    struct stat was {};
    Tags tags;
    int sameAs = -1;   // an earlier entry naming the same file
    int folder = -1;   // the folder of the file the name leads to, through links
    std::string base;  // the file's name in it
    std::string copy;  // the copy beside it, which mp3gain changes (from folder)
    int copyFd = -1;
    std::string link;  // the name mp3gain sees, a link to the copy
    bool failed = false;
};

// True while `base` in the folder is still the file opened at the start, as it was then: a file
// replaced, or written to by someone else meanwhile, is not overwritten with our copy.
bool stillAsItWas(const Entry& e)
{
    struct stat now;
    return ::fstatat(e.folder, e.base.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == e.was.st_dev &&
           now.st_ino == e.was.st_ino && now.st_size == e.was.st_size && now.st_mtim.tv_sec == e.was.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == e.was.st_mtim.tv_nsec && now.st_ctim.tv_sec == e.was.st_ctim.tv_sec &&
           now.st_ctim.tv_nsec == e.was.st_ctim.tv_nsec;
}

void dropCopy(Entry& e)
{
    if (e.copyFd >= 0) ::close(e.copyFd);
    e.copyFd = -1;
    if (!e.copy.empty()) ::unlinkat(e.folder, e.copy.c_str(), 0);
    e.copy.clear();
}

// Writes the whole file into a new hidden file beside the one its name leads to (through links),
// with its owner, group and permissions: the reason when it could not, nothing then left. The
// file's folder is held open, so that the copy takes the file's place there and nowhere else.
std::string copyAside(Entry& e, std::string& path)
{
    if (e.was.st_nlink > 1) return "it has other names (hard links), which a new file would part from it";
    char* real = ::realpath(e.name.c_str(), nullptr);
    if (!real) return std::strerror(errno);
    path = real;
    std::free(real);
    const std::size_t slash = path.rfind('/');
    e.base = path.substr(slash + 1);
    path.resize(slash + 1);
    e.folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (e.folder < 0) return std::strerror(errno);
    if (!stillAsItWas(e)) return "it was moved or changed meanwhile";
    e.copyFd = platform::hiddenFileBeside(e.folder, e.base, e.copy);
    if (e.copyFd < 0) return std::string("no copy to work on beside it: ") + std::strerror(errno);
    path += e.copy;
    std::string bytes;
    std::string failure;
    struct stat st;
    // Owner and group first: changing them clears the set-id bits that the mode then restores.
    if (!readAt(e.fd, bytes, std::size_t(e.was.st_size), 0))
        failure = std::string("it could not be read: ") + std::strerror(errno ? errno : EIO);
    else if (!writeAt(e.copyFd, bytes, 0))
        failure = std::string("no room for a copy to work on beside it: ") + std::strerror(errno);
    else if ((::fchown(e.copyFd, e.was.st_uid, e.was.st_gid) != 0 &&
              (::fstat(e.copyFd, &st) != 0 || st.st_uid != e.was.st_uid || st.st_gid != e.was.st_gid)) ||
             ::fchmod(e.copyFd, e.was.st_mode & 07777) != 0)
        failure = "a copy beside it could not keep its owner, group and permissions";
    if (!failure.empty()) dropCopy(e);
    return failure;
}

// An album's gain is one change for all of its files: when one of them cannot be normalised,
// none is. True when some file had failed, every other one then failing with it.
bool failTogether(std::vector<Entry>& entries)
{
    bool any = false;
    for (const Entry& e : entries) any = any || e.failed;
    if (!any) return false;
    for (Entry& e : entries) {
        if (e.failed || (e.sameAs >= 0 && entries[std::size_t(e.sameAs)].failed)) continue;
        if (e.sameAs < 0)
            launch::complain(Me, e.name + ": another file of the album could not be normalised, left as it is");
        e.failed = true;
    }
    return true;
}

// Swaps the two names, so that a copy that took its file's place can give it back; false (errno
// set) when it cannot. Where the file system cannot swap, the copy just takes the place.
bool swapNames(const Entry& e, bool& swapped)
{
    swapped = ::renameat2(e.folder, e.copy.c_str(), e.folder, e.base.c_str(), RENAME_EXCHANGE) == 0;
    if (swapped) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    return ::renameat(e.folder, e.copy.c_str(), e.folder, e.base.c_str()) == 0;
}

bool parseLevel(const char* text, int& level)
{
    if (!*text) return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (*end || errno || value < 0 || value > 10) return false;
    level = int(value);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    bool album = false, clip = false;
    int level = 5;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string a = argv[first];
        if (a == "/r") album = false;
        else if (a == "/a") album = true;
        else if (a == "/c") clip = true;
        else if (a.compare(0, 2, "/m") == 0 && a.size() > 2 &&
                 a.find_first_not_of("0123456789", 2) == std::string::npos) {
            if (!parseLevel(a.c_str() + 2, level)) {
                launch::complain(Me, "the level " + a.substr(2) + " is not between 0 and 10");
                return 2;
            }
        } else break;
    }
    // A write past a file size limit then fails (and is cleaned up) instead of killing us midway.
    std::signal(SIGXFSZ, SIG_IGN);
    if (first == argc) {
        std::fprintf(stderr, "usage: mp3norm [/r | /a] [/c] [/m<0-10>] <mp3 file> ...\n");
        return 2;
    }

    std::vector<Entry> entries;
    for (int i = first; i < argc; ++i) entries.emplace_back().name = argv[i];

    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/mp3norm-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        launch::complain(Me, std::string("no private folder: ") + std::strerror(errno));
        for (const Entry& e : entries) std::fwrite(e.name.c_str(), 1, e.name.size() + 1, stdout);
        return 1;
    }

    std::vector<std::string> command{
        "mp3gain", album ? "-a" : "-r", clip ? "-c" : "-k", "-m", std::to_string(level - 5), "-s", "s", "-T", "-q",
        "-o"};
    const std::size_t options = command.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Entry& e = entries[i];
        struct stat& st = e.was;
        e.fd = ::open(e.name.c_str(), O_RDWR | O_CLOEXEC);
        if (e.fd < 0 || ::fstat(e.fd, &st) != 0 || !S_ISREG(st.st_mode) || !readTags(e.fd, e.tags)) {
            launch::complain(Me, e.name + ": " + (e.fd < 0 ? std::strerror(errno) : "not a readable file"));
            e.failed = true;
            continue;
        }
        // A file named twice gets its gain changed once.
        for (std::size_t j = 0; j < i; ++j)
            if (entries[j].fd >= 0 && entries[j].was.st_dev == st.st_dev && entries[j].was.st_ino == st.st_ino)
                e.sameAs = int(j);
        if (e.sameAs >= 0) continue;
        std::string copy;
        if (const std::string failure = copyAside(e, copy); !failure.empty()) {
            launch::complain(Me, e.name + ": " + failure + ", left as it is");
            e.failed = true;
            continue;
        }
        e.link = folder + "/" + std::to_string(i) + ".mp3";
        if (::symlink(copy.c_str(), e.link.c_str()) != 0) {
            launch::complain(Me, e.name + ": " + std::strerror(errno));
            e.failed = true;
            e.link.clear();
            continue;
        }
        command.push_back(e.link);
    }

    // An album with a file that cannot be worked on is not worked on at all.
    const bool albumLeft = album && failTogether(entries);

    std::string report;
    // mp3gain exits with 1 when some file was no MP3; a higher code, or a signal, leaves
    // unknown what it did to any copy.
    bool stopped = false;
    if (command.size() > options && !albumLeft) {
        const int code = launch::runTool(command, &report);
        stopped = code > 1;
        if (code == 127) launch::complain(Me, "mp3gain could not be started");
        else if (stopped) launch::complain(Me, "mp3gain stopped short (exit code " + std::to_string(code) + ")");
    }

    // mp3gain's report lists, one a line, the files it could read: "<name>\t<gain>\t...".
    for (Entry& e : entries) {
        if (e.failed || e.link.empty()) continue;
        if (stopped) {
            e.failed = true;
        } else if (report.find("\n" + e.link + "\t") == std::string::npos) {
            launch::complain(Me, e.name + ": mp3gain could not read it as MP3");
            e.failed = true;
        }
    }
    if (album) failTogether(entries);
    // Every copy whole on the disk with its tags, before any takes its file's place.
    for (Entry& e : entries) {
        if (e.copyFd < 0 || e.failed) continue;
        if (!keepTags(e.copyFd, e.tags)) {
            launch::complain(Me, e.name + ": its tags could not be kept as they were");
            e.failed = true;
        } else if (const int error = launch::syncAndClose(std::exchange(e.copyFd, -1))) {
            launch::complain(Me, e.name + ": " + std::strerror(error) + ", left as it is");
            e.failed = true;
        }
    }
    if (album) failTogether(entries);
    // Each copy takes its file's place. In an album the old file stays under the copy's name until
    // every copy has taken its place, so that one that cannot gives the others their files back.
    std::vector<Entry*> swapped;
    for (Entry& e : entries) {
        if (e.failed || e.copy.empty() || e.sameAs >= 0) continue;
        bool swap = false;
        if (!stillAsItWas(e)) {
            launch::complain(Me, e.name + ": it was moved or changed meanwhile, left as it is");
            e.failed = true;
        } else if (album ? !swapNames(e, swap) : ::renameat(e.folder, e.copy.c_str(), e.folder, e.base.c_str()) != 0) {
            launch::complain(Me, e.name + ": " + std::strerror(errno) + ", left as it is");
            e.failed = true;
        } else if (swap) {
            swapped.push_back(&e);  // the old file now under the copy's name, removed below
        } else {
            e.copy.clear();  // it is the file now
        }
        if (album && e.failed) break;
    }
    if (album && failTogether(entries))
        for (Entry* e : swapped) {
            bool again = false;
            if (!swapNames(*e, again)) launch::complain(Me, e->name + ": its old file stays as " + e->copy);
            if (!again) e->copy.clear();  // not to be removed: the old file, or the name is gone
        }
    for (Entry& e : entries) {
        if (e.sameAs >= 0) e.failed = entries[std::size_t(e.sameAs)].failed;
        dropCopy(e);
        if (e.folder >= 0) ::close(e.folder);
        if (e.fd >= 0) ::close(e.fd);
        if (!e.link.empty()) ::unlink(e.link.c_str());
    }
    ::rmdir(folder.c_str());

    bool anyFailed = false;
    for (const Entry& e : entries) {
        if (!e.failed) continue;
        anyFailed = true;
        std::fwrite(e.name.c_str(), 1, e.name.size() + 1, stdout);
    }
    return anyFailed ? 1 : 0;
}
