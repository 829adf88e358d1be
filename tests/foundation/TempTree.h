// A temporary folder tree for the foundation tests, and a way to run a piece of a test in a
// child process as an ordinary user (the tests may run as root, who reads and writes anything).
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class TempTree {
public:
    TempTree()
    {
        std::string pattern = testing::TempDir() + "sonoverne-found-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        root_ = pattern;
        // Reachable by the ordinary user of asOrdinaryUser().
        chmod(root_.c_str(), 0755);
    }
    ~TempTree()
    {
        std::error_code ec;
        // Folders locked by a test are opened again so that everything can go.
        for (auto it = std::filesystem::recursive_directory_iterator(
                 root_, std::filesystem::directory_options::skip_permission_denied, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0755);
        std::filesystem::remove_all(root_, ec);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // Root without a trailing separator.
    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    std::string dir(const std::string& relative) const
    {
        std::string p = path(relative);
        std::filesystem::create_directories(p);
        return p;
    }

    std::string file(const std::string& relative, const std::string& content = std::string()) const
    {
        std::string p = path(relative);
        std::filesystem::create_directories(std::filesystem::path(p).parent_path());
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(content.data(), std::streamsize(content.size()));
        return p;
    }

    static std::string read(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string root_;
};

// Runs body in a child process and returns its exit code (-1 when it died of a signal).
// The child never returns into the test framework.
inline int inChild(const std::function<int()>& body)
{
    pid_t pid = fork();
    if (pid == 0) {
        int code = 100;
        try {
            code = body();
        } catch (...) {
            code = 101;
        }
        _exit(code);
    }
    if (pid < 0) return -2;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// As inChild, but the child first drops to the user "nobody" when the tests run as root.
inline int asOrdinaryUser(const std::function<int()>& body)
{
    return inChild([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 102;
        return body();
    });
}
