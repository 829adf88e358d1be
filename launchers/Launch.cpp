#include "Launch.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace launch {

namespace {

// The tool's file in the first absolute folder of PATH that holds it as an executable; empty
// when none does. An empty entry (the current folder) or a relative one would name a folder
// that depends on where we were started: they are passed over, so that no file planted beside
// the user's music is ever run.
std::string findTool(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/bin:/usr/bin";
    for (std::size_t at = 0; at <= folders.size();) {
        std::size_t end = folders.find(':', at);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = folders.substr(at, end - at);
        at = end + 1;
        if (folder.empty() || folder[0] != '/') continue;
        const std::string file = folder + "/" + name;
        struct stat st;
        if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(file.c_str(), X_OK) == 0) return file;
    }
    return std::string();
}

}  // namespace

int runTool(const std::vector<std::string>& argv, std::string* output)
{
    const std::string program = findTool(argv[0]);
    if (program.empty()) {
        complain(argv[0].c_str(), "not found in the folders of PATH");
        return 127;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (output && ::pipe2(pipeFds, O_CLOEXEC) != 0) return 127;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output) posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    else posix_spawn_file_actions_adddup2(&actions, 2, 1);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (output) {
        ::close(pipeFds[1]);
        if (spawned == 0) {
            char buf[4096];
            for (;;) {
                const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
                if (n > 0) output->append(buf, size_t(n));
                else if (n == 0 || errno != EINTR) break;
            }
        }
        ::close(pipeFds[0]);
    }
    if (spawned != 0) {
        complain(argv[0].c_str(), std::strerror(spawned));
        return 127;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return 127;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 127;
}

std::string asOperand(const std::string& name) { return !name.empty() && name[0] == '-' ? "./" + name : name; }

bool readAt(int fd, std::string& out, std::size_t count, off_t at)
{
    out.resize(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, out.data() + done, count - done, at + off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

int syncAndClose(int fd)
{
    int error = ::fsync(fd) != 0 ? errno : 0;
    if (::close(fd) != 0 && !error) error = errno;
    return error;
}

void complain(const char* program, const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
}

}  // namespace launch
