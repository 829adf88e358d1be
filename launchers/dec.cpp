// dec: decodes an MP3 file into a 16-bit PCM WAV file with lame.
//
//   dec --decode <mp3 file> <wav file>
//
// The WAV file is never replaced: when it exists, dec fails and leaves it as it was. lame writes
// to a new file beside it, which takes the WAV name only once the decoding succeeded, with a
// rename that fails rather than replace; a failed run leaves nothing behind.
// Exit code: 0 decoded, 1 not decoded (the reason on standard error), 2 wrong arguments.
#include "Launch.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const Me = "dec";

// Renames without ever replacing; where the file system has no such rename, a hard link (which
// fails on an existing name) and the removal of the old name.
bool renameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || std::strcmp(argv[1], "--decode") != 0) {
        std::fprintf(stderr, "usage: dec --decode <mp3 file> <wav file>\n");
        return 2;
    }
    const std::string input = argv[2], output = argv[3];
    struct stat st;
    if (::lstat(output.c_str(), &st) == 0) {
        launch::complain(Me, output + ": exists already, left as it is");
        return 1;
    }

    std::string part = folderOf(output);
    if (part.back() != '/') part += '/';
    part += ".dec-XXXXXX";
    const int fd = ::mkstemp(part.data());
    if (fd < 0) {
        launch::complain(Me, output + ": " + std::strerror(errno));
        return 1;
    }
    // mkstemp makes the file private; the WAV gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);

    const int code = launch::runTool({"lame", "--decode", "--quiet", launch::asOperand(input), launch::asOperand(part)});
    if (code != 0) {
        ::unlink(part.c_str());
        launch::complain(Me, input + ": lame could not decode it (exit code " + std::to_string(code) + ")");
        return 1;
    }
    if (!renameNoReplace(part, output)) {
        const int error = errno;
        ::unlink(part.c_str());
        launch::complain(Me, output + ": " + (error == EEXIST ? "exists already, left as it is" : std::strerror(error)));
        return 1;
    }
    return 0;
}
