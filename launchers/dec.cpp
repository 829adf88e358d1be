// dec: decodes an MP3 file into a 16-bit PCM WAV file with lame.
//
//   dec --decode <mp3 file> <wav file>
//
// The WAV file is never replaced: when it exists, dec fails and leaves it as it was. lame writes
// to a new hidden file beside it, which takes the WAV name only once lame succeeded and the file
// is seen to be a whole WAV flushed to the disk, with a rename that fails rather than replace;
// a failed run leaves nothing behind.
// Exit code: 0 decoded, 1 not decoded (the reason on standard error), 2 wrong arguments.
#include "Input.h"
#include "Launch.h"
#include "WavHeader.h"

#include <cerrno>
#include <cstdint>
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

// True when the file is one whole 16-bit PCM WAV. lame writes its header before the audio and
// does not see a write the disk refused: its file then says more than it holds.
bool isWholeWav(int fd)
{
    struct stat st;
    const int copy = ::fstat(fd, &st) == 0 ? ::dup(fd) : -1;
    FILE* f = copy < 0 ? nullptr : ::fdopen(copy, "rb");
    if (!f) {
        if (copy >= 0) ::close(copy);
        return false;
    }
    std::rewind(f);
    cdaudio::TWavAudio audio;
    const bool whole =
        cdaudio::ReadWavHeader(f, uint64_t(st.st_size), audio) && cdaudio::WavIsWhole(audio, uint64_t(st.st_size));
    std::fclose(f);
    return whole;
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

    // A FIFO in the list would hold lame's open, and the window waiting for dec with it.
    if (const int in = platform::openForReading(input); in < 0) {
        launch::complain(Me, input + ": " + platform::errorText(errno));
        return 1;
    } else {
        ::close(in);
    }

    std::string part;
    const int fd = launch::hiddenFileBeside(AT_FDCWD, output, part);
    if (fd < 0) {
        launch::complain(Me, output + ": " + std::strerror(errno));
        return 1;
    }
    // mkstemp makes the file private; the WAV gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    const int code =
        launch::runTool({"lame", "--decode", "--quiet", launch::asOperand(input), launch::asOperand(part)});
    std::string failure;
    if (code != 0) failure = input + ": lame could not decode it (exit code " + std::to_string(code) + ")";
    else if (!isWholeWav(fd)) failure = output + ": lame wrote only part of it (disk full, or a file size limit)";
    if (const int error = launch::syncAndClose(fd); error && failure.empty())
        failure = output + ": " + std::strerror(error);
    if (failure.empty() && !renameNoReplace(part, output))
        failure = output + ": " + (errno == EEXIST ? "exists already, left as it is" : std::strerror(errno));
    if (!failure.empty()) {
        ::unlink(part.c_str());
        launch::complain(Me, failure);
        return 1;
    }
    return 0;
}
