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
// copy written beside each file (a short hidden name, same owner and permissions), which
// replaces the file only once it is whole and flushed to the disk, and only while the file is as
// it was when the run began. A full disk, a file size limit, a tool stopped midway or a file
// changed meanwhile leaves the file byte for byte as it was, and its name among those not
// normalised. A file with other hard links is left alone: a new file in its place would part
// them. In an album every old file is kept until all the copies are in place, also where the
// file system cannot swap two names. mp3gain only ever sees names of its own (links in a private
// folder), so that no file name can be taken for an option or be misread in its report. The
// copies and links never outlive the run (WorkFiles.h).
//
// Standard output: for each file that could not be normalised, its name and then why (in French,
// one line), each ended by a 0 byte so that any name can be read back; standard error says the
// same to a reader.
// Exit code: 0 every file normalised, 1 some not, 2 wrong arguments.
#include "FileSystem.h"
#include "Input.h"
#include "Launch.h"
#include "WorkFiles.h"

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
    int sameAs = -1;         // an earlier entry naming the same file
    int folder = -1;         // the folder of the file the name leads to, through links
    std::string folderPath;  // its absolute path
    std::string base;        // the file's name in it
    std::string copy;        // the copy beside it, which mp3gain changes (from folder)
    int copyFd = -1;
    std::string link;    // the name mp3gain sees, a link to the copy
    std::string why;     // why it is not normalised; empty while it may be
    std::string keptAs;  // the name the user's file stays under when it could not get its own back
};

void fail(Entry& e, const std::string& why)
{
    e.why = why;
    launch::complain(Me, e.name + ": " + why);
}

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
std::string copyAside(Entry& e)
{
    if (e.was.st_nlink > 1) return "il a d'autres noms (liens physiques), dont un nouveau fichier le séparerait";
    char* real = ::realpath(e.name.c_str(), nullptr);
    if (!real) return platform::errorText(errno);
    std::string path = real;
    std::free(real);
    const std::size_t slash = path.rfind('/');
    e.base = path.substr(slash + 1);
    e.folderPath = path.substr(0, slash + 1);
    e.folder = ::open(e.folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (e.folder < 0) return platform::errorText(errno);
    if (!stillAsItWas(e)) return "il a été déplacé ou modifié entre-temps";
    e.copyFd = launch::newWorkFile(e.folder, e.folderPath, e.copy);
    if (e.copyFd < 0) return "pas de copie possible à côté de lui pour y travailler : " + platform::errorText(errno);
    std::string bytes;
    std::string failure;
    struct stat st;
    // Owner and group first: changing them clears the set-id bits that the mode then restores.
    if (!readAt(e.fd, bytes, std::size_t(e.was.st_size), 0))
        failure = "illisible : " + platform::errorText(errno ? errno : EIO);
    else if (!writeAt(e.copyFd, bytes, 0))
        failure = "pas de place pour une copie à côté de lui : " + platform::errorText(errno);
    else if ((::fchown(e.copyFd, e.was.st_uid, e.was.st_gid) != 0 &&
              (::fstat(e.copyFd, &st) != 0 || st.st_uid != e.was.st_uid || st.st_gid != e.was.st_gid)) ||
             ::fchmod(e.copyFd, e.was.st_mode & 07777) != 0)
        failure = "une copie à côté de lui ne peut garder son propriétaire, son groupe et ses droits";
    if (!failure.empty()) dropCopy(e);
    return failure;
}

// An album's gain is one change for all of its files: when one of them cannot be normalised,
// none is. True when some file had failed, every other one then failing with it.
bool failTogether(std::vector<Entry>& entries)
{
    bool any = false;
    for (const Entry& e : entries) any = any || !e.why.empty();
    if (!any) return false;
    for (Entry& e : entries)
        if (e.why.empty() && (e.sameAs < 0 || entries[std::size_t(e.sameAs)].why.empty()))
            fail(e, "un autre fichier de l'album n'a pas pu être normalisé, laissé tel quel");
    return true;
}

// Puts the copy in its file's place and keeps the old file, now under the name `copy`, until
// the album is whole: the two names swap, or where the file system cannot swap them (exFAT, some
// network and FUSE file systems) the old file first moves to a new hidden name. False (errno
// set) when the file stays as it was.
bool putInPlace(Entry& e)
{
    if (::renameat2(e.folder, e.copy.c_str(), e.folder, e.base.c_str(), RENAME_EXCHANGE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    std::string aside;
    const int fd = launch::newWorkFile(e.folder, e.folderPath, aside);
    if (fd < 0) return false;
    ::close(fd);
    if (::renameat(e.folder, e.base.c_str(), e.folder, aside.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(e.folder, aside.c_str(), 0);
        errno = error;
        return false;
    }
    if (::renameat(e.folder, e.copy.c_str(), e.folder, e.base.c_str()) != 0) {
        const int error = errno;
        if (::renameat(e.folder, aside.c_str(), e.folder, e.base.c_str()) != 0) e.keptAs = aside;
        errno = error;
        return false;
    }
    e.copy = aside;
    return true;
}

// Writes each file not normalised and why, each ended by a 0 byte: true when there was one.
bool report(const std::vector<Entry>& entries)
{
    bool any = false;
    for (const Entry& e : entries) {
        if (e.why.empty()) continue;
        any = true;
        std::fwrite(e.name.c_str(), 1, e.name.size() + 1, stdout);
        std::fwrite(e.why.c_str(), 1, e.why.size() + 1, stdout);
    }
    return any;
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

    if (!launch::beginWork(Me)) {
        const std::string why = "pas de dossier de travail : " + platform::errorText(errno);
        for (Entry& e : entries) fail(e, why);
        report(entries);
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
        if (e.fd < 0) {
            fail(e, platform::errorText(errno));
            continue;
        }
        if (::fstat(e.fd, &st) != 0 || !S_ISREG(st.st_mode) || !readTags(e.fd, e.tags)) {
            fail(e, platform::errorText(S_ISREG(st.st_mode) ? EIO : platform::NotRegularFile));
            continue;
        }
        // A file named twice gets its gain changed once.
        for (std::size_t j = 0; j < i; ++j)
            if (entries[j].fd >= 0 && entries[j].was.st_dev == st.st_dev && entries[j].was.st_ino == st.st_ino)
                e.sameAs = int(j);
        if (e.sameAs >= 0) continue;
        if (const std::string failure = copyAside(e); !failure.empty()) {
            fail(e, failure + ", laissé tel quel");
            continue;
        }
        e.link = launch::newWorkLink(e.folderPath + e.copy, std::to_string(i) + ".mp3");
        if (e.link.empty()) {
            fail(e, "pas de lien possible dans le dossier de travail : " + platform::errorText(errno));
            continue;
        }
        command.push_back(e.link);
    }

    // An album with a file that cannot be worked on is not worked on at all.
    const bool albumLeft = album && failTogether(entries);

    std::string gains;
    // mp3gain exits with 1 when some file was no MP3; a higher code, or a signal, leaves
    // unknown what it did to any copy.
    std::string stopped;
    if (command.size() > options && !albumLeft) {
        const int code = launch::runTool(command, &gains);
        if (code == 127) stopped = "mp3gain est introuvable ou n'a pas pu être lancé";
        else if (code > 1)
            stopped = "mp3gain s'est arrêté avant la fin (code " + std::to_string(code) + "), laissé tel quel";
    }
    // What follows puts files in place: a signal now waits until they all are, or none is.
    launch::holdSignals();

    // mp3gain's report lists, one a line, the files it could read: "<name>\t<gain>\t...".
    for (Entry& e : entries) {
        if (!e.why.empty() || e.link.empty()) continue;
        if (!stopped.empty()) fail(e, stopped);
        else if (gains.find("\n" + e.link + "\t") == std::string::npos) fail(e, "mp3gain ne le lit pas comme un MP3");
    }
    if (album) failTogether(entries);
    // Every copy whole on the disk with its tags, before any takes its file's place.
    for (Entry& e : entries) {
        if (e.copyFd < 0 || !e.why.empty()) continue;
        if (!keepTags(e.copyFd, e.tags)) fail(e, "ses tags n'ont pas pu être gardés tels quels, laissé tel quel");
        else if (const int error = launch::syncAndClose(std::exchange(e.copyFd, -1)))
            fail(e, platform::errorText(error) + ", laissé tel quel");
    }
    if (album) failTogether(entries);
    // Each copy takes its file's place. In an album the old file stays under the copy's name until
    // every copy has taken its place, so that one that cannot gives the others their files back.
    std::vector<Entry*> placed;
    for (Entry& e : entries) {
        if (!e.why.empty() || e.copy.empty() || e.sameAs >= 0) continue;
        if (!stillAsItWas(e)) fail(e, "il a été déplacé ou modifié entre-temps, laissé tel quel");
        else if (album ? !putInPlace(e) : ::renameat(e.folder, e.copy.c_str(), e.folder, e.base.c_str()) != 0)
            fail(e, platform::errorText(errno) +
                        (e.keptAs.empty() ? ", laissé tel quel"
                                          : ", son fichier d'origine reste sous le nom « " + e.keptAs + " »"));
        else if (album) placed.push_back(&e);  // the old file now under the copy's name, removed below
        else e.copy.clear();                   // it is the file now
        if (album && !e.why.empty()) break;
    }
    if (album && failTogether(entries))
        for (Entry* e : placed) {
            // The old file takes its name back over the normalised one.
            if (::renameat(e->folder, e->copy.c_str(), e->folder, e->base.c_str()) != 0) {
                e->keptAs = std::exchange(e->copy, std::string());
                fail(*e, "normalisé alors qu'un autre fichier de l'album ne l'a pas été (" +
                             platform::errorText(errno) + ") : son fichier d'origine reste sous le nom « " + e->keptAs +
                             " »");
            }
            e->copy.clear();
        }
    for (Entry& e : entries) {
        if (e.sameAs >= 0) e.why = entries[std::size_t(e.sameAs)].why;
        dropCopy(e);
        if (e.folder >= 0) ::close(e.folder);
        if (e.fd >= 0) ::close(e.fd);
    }
    launch::endWork();
    return report(entries) ? 1 : 0;
}
