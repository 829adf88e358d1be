#include "WorkFiles.h"

#include "Launch.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace launch {

namespace {

// The tools whose leftovers a run clears: both launchers share the temporary folder.
const char* const Tools[] = {"mp3norm", "dec"};
// In the private folder: one record per file made, "<device> <inode> <path>" ended by a 0 byte.
const char* const ListName = "made";
const int Signals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

struct Made {
    std::string path;
    dev_t device;
    ino_t inode;
};

std::string toolName;
std::string privateFolder;
int folderFd = -1;  // holds the lock that tells other runs this one is alive
int listFd = -1;
// Read by the signal handler: changed only while the signals are held.
std::vector<Made> made;

sigset_t signalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : Signals) sigaddset(&set, s);
    return set;
}

struct HoldSignals {
    sigset_t was;
    HoldSignals()
    {
        const sigset_t set = signalSet();
        sigprocmask(SIG_BLOCK, &set, &was);
    }
    ~HoldSignals() { sigprocmask(SIG_SETMASK, &was, nullptr); }
};

// True while the path still leads to the very file (or link) that was made.
bool stillMade(const char* path, dev_t device, ino_t inode)
{
    struct stat st;
    return ::lstat(path, &st) == 0 && st.st_dev == device && st.st_ino == inode && st.st_uid == ::geteuid() &&
           (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode));
}

// Only calls that a signal handler may make.
void removeMade()
{
    for (const Made& m : made)
        if (stillMade(m.path.c_str(), m.device, m.inode)) ::unlink(m.path.c_str());
    if (folderFd >= 0) ::unlinkat(folderFd, ListName, 0);
    if (!privateFolder.empty()) ::rmdir(privateFolder.c_str());
}

extern "C" void onSignal(int signal)
{
    const int saved = errno;
    if (const pid_t tool = runningTool(); tool > 0) ::kill(tool, signal);
    removeMade();
    ::signal(signal, SIG_DFL);
    ::raise(signal);  // delivered once the handler returns
    errno = saved;
}

void record(const std::string& path, const struct stat& st)
{
    const std::string line = std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " + path;
    // A list that cannot be written costs only the clearing after a kill.
    [[maybe_unused]] const ssize_t written = listFd >= 0 ? ::write(listFd, line.c_str(), line.size() + 1) : 0;
    made.push_back({path, st.st_dev, st.st_ino});
}

// A name "<prefix>XXXXXX" with six letters or digits after the prefix.
bool isWorkName(const std::string& name, const std::string& prefix)
{
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
    for (std::size_t i = prefix.size(); i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

std::string randomEnding()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::random_device random;
    std::string ending;
    for (int i = 0; i < 6; ++i) ending += letters[random() % (sizeof letters - 1)];
    return ending;
}

// Removes what the list of a run that no longer lives names, where it is still what that run
// made; then the list and the folder, which goes only when nothing else is in it.
void clearFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st;
    const int list = ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0
                         ? ::openat(fd, ListName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC)
                         : -1;
    if (list >= 0) {
        std::string bytes;
        char buffer[4096];
        for (ssize_t n; (n = ::read(list, buffer, sizeof buffer)) > 0;) bytes.append(buffer, std::size_t(n));
        ::close(list);
        // The first record is the folder itself: a list that does not start so is not ours.
        bool ours = false;
        for (std::size_t at = 0, end; (end = bytes.find('\0', at)) != std::string::npos; at = end + 1) {
            const std::string line = bytes.substr(at, end - at);
            char* rest = nullptr;
            const unsigned long long device = std::strtoull(line.c_str(), &rest, 10);
            if (*rest != ' ') break;
            const unsigned long long inode = std::strtoull(rest + 1, &rest, 10);
            if (*rest != ' ' || rest[1] != '/') break;
            if (at == 0) ours = device == st.st_dev && inode == st.st_ino;
            if (!ours) break;
            if (stillMade(rest + 1, dev_t(device), ino_t(inode))) ::unlink(rest + 1);
        }
        if (ours) {
            ::unlinkat(fd, ListName, 0);
            ::rmdir(folder.c_str());
        }
    }
    ::close(fd);
}

}  // namespace

bool beginWork(const char* tool)
{
    toolName = tool;
    const char* tmp = std::getenv("TMPDIR");
    const std::string temporary = std::string(tmp && *tmp ? tmp : "/tmp") + "/";
    if (DIR* listing = ::opendir(temporary.c_str())) {
        std::vector<std::string> leftovers;
        while (const dirent* entry = ::readdir(listing))
            for (const char* t : Tools)
                if (isWorkName(entry->d_name, std::string(t) + "-")) leftovers.push_back(temporary + entry->d_name);
        ::closedir(listing);
        for (const std::string& folder : leftovers) clearFolder(folder);
    }

    std::string folder = temporary + toolName + "-XXXXXX";
    if (!::mkdtemp(folder.data())) return false;
    folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd < 0 || ::flock(folderFd, LOCK_EX) != 0) {
        const int error = errno;
        ::rmdir(folder.c_str());
        errno = error;
        return false;
    }
    listFd = ::openat(folderFd, ListName, O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    privateFolder = folder;
    struct stat st;
    if (::fstat(folderFd, &st) == 0) record(folder, st);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int s : Signals) sigaddset(&action.sa_mask, s);
    for (int s : Signals) ::sigaction(s, &action, nullptr);
    return true;
}

const std::string& workFolder() { return privateFolder; }

int newWorkFile(int folder, const std::string& folderPath, std::string& name)
{
    const HoldSignals hold;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = "." + toolName + "-" + randomEnding();
        const int fd = ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        struct stat st;
        const bool slash = !folderPath.empty() && folderPath.back() == '/';
        if (fd >= 0 && ::fstat(fd, &st) == 0) record(folderPath + (slash ? "" : "/") + name, st);
        return fd;
    }
    return -1;
}

std::string newWorkLink(const std::string& target, const std::string& name)
{
    const HoldSignals hold;
    const std::string path = privateFolder + "/" + name;
    struct stat st;
    if (::symlink(target.c_str(), path.c_str()) != 0) return std::string();
    if (::lstat(path.c_str(), &st) == 0) record(path, st);
    return path;
}

void holdSignals()
{
    const sigset_t set = signalSet();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

void endWork()
{
    const HoldSignals hold;
    removeMade();
    made.clear();
    if (listFd >= 0) ::close(listFd);
    if (folderFd >= 0) ::close(folderFd);
    listFd = folderFd = -1;
    privateFolder.clear();
}

}  // namespace launch
