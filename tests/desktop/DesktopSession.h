// A real X server with a window manager for the tests that must see what a user sees: Xvfb on a
// display of its own, openbox on it, and DISPLAY pointing there. The offscreen platform paints
// every window into memory whenever asked; only a real server shows a window left unpainted.
#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sonoverne::test {

class DesktopSession {
public:
    DesktopSession() = default;
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;
    ~DesktopSession() { stop(); }

    // Starts the server and the window manager; false (with why on stderr) when either fails.
    // A server can fail to start now and then (its display taken meanwhile): it is tried again.
    bool start()
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (startOnce()) return true;
            stop();
        }
        return false;
    }

    const std::string& display() const { return display_; }

private:
    bool startOnce()
    {
        int fds[2];
        if (::pipe(fds) != 0) return false;
        server_ = ::fork();
        if (server_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // a test killed by its time-out leaves no server
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x900x24", "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        char number[16] = {};
        const ssize_t got = server_ > 0 ? ::read(fds[0], number, sizeof number - 1) : -1;
        ::close(fds[0]);
        if (got <= 0 || ::waitpid(server_, nullptr, WNOHANG) != 0) {
            std::fprintf(stderr, "Xvfb did not start\n");
            return false;
        }
        display_ = ":" + std::string(number, std::size_t(got)).substr(0, std::string(number).find('\n'));
        ::setenv("DISPLAY", display_.c_str(), 1);
        wm_ = ::fork();
        if (wm_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // The window manager is there once it names its check window on the root.
        for (int i = 0; i < 200; ++i) {
            if (std::system("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") == 0) return true;
            if (::waitpid(wm_, nullptr, WNOHANG) != 0 || ::waitpid(server_, nullptr, WNOHANG) != 0) break;
            ::usleep(50000);
        }
        std::fprintf(stderr, "openbox did not start on %s\n", display_.c_str());
        return false;
    }

    void stop()
    {
        for (pid_t* pid : {&wm_, &server_})
            if (*pid > 0) {
                ::kill(*pid, SIGTERM);
                ::waitpid(*pid, nullptr, 0);
                *pid = -1;
            }
    }

    pid_t server_ = -1;
    pid_t wm_ = -1;
    std::string display_;
};

}  // namespace sonoverne::test
