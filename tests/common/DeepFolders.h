// Folders deeper than a path can name (PATH_MAX bytes), as a user's collection copied from
// another system may hold: made, written into and removed through descriptors, one level at a
// time, since no path reaches them.
#pragma once

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sonoverne::test {

// A path under `base` of at least `length` bytes, of folders named by 200 letters.
inline std::string deepPath(const std::string& base, std::size_t length)
{
    std::string path = base;
    for (char letter = 'a'; path.size() < length; letter = letter == 'z' ? 'a' : char(letter + 1))
        path += "/" + std::string(200, letter);
    return path;
}

// Opens the folder `path` (absolute), making what is missing; -1 when it cannot.
inline int openDeep(const std::string& path)
{
    int fd = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (std::size_t from = 1; fd >= 0 && from < path.size();) {
        std::size_t to = path.find('/', from);
        if (to == std::string::npos) to = path.size();
        const std::string name = path.substr(from, to - from);
        from = to + 1;
        if (name.empty()) continue;
        mkdirat(fd, name.c_str(), 0755);
        const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
    }
    return fd;
}

// Writes a file at a path of any length; false when it cannot.
inline bool writeDeep(const std::string& path, const std::string& bytes)
{
    const std::size_t slash = path.rfind('/');
    const int folder = openDeep(path.substr(0, slash));
    if (folder < 0) return false;
    const int fd = openat(folder, path.c_str() + slash + 1, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    close(folder);
    if (fd < 0) return false;
    const bool written = write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    return close(fd) == 0 && written;
}

// Removes a tree of any depth: rm(1) goes down through descriptors.
inline void removeDeep(const std::string& path)
{
    if (std::system(("rm -rf '" + path + "'").c_str()) != 0) {
        // What is left stays in the test's temporary folder.
    }
}

// Removes the tree at `root` when it goes, also when a test stops early: a tree too deep for a
// path outlives the usual removal of the test's folder.
class DeepTree {
public:
    explicit DeepTree(std::string root) : root_(std::move(root)) {}
    ~DeepTree() { removeDeep(root_); }
    DeepTree(const DeepTree&) = delete;
    DeepTree& operator=(const DeepTree&) = delete;

private:
    std::string root_;
};

}  // namespace sonoverne::test
