#include "Launch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace launch {

int runTool(const std::vector<std::string>& argv, std::string* output)
{
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (output && ::pipe2(pipeFds, O_CLOEXEC) != 0) return 127;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    else
        posix_spawn_file_actions_adddup2(&actions, 2, 1);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
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

std::string asOperand(const std::string& name)
{
    return !name.empty() && name[0] == '-' ? "./" + name : name;
}

void complain(const char* program, const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
}

}  // namespace launch
