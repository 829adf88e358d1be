// dec: decodes an MP3 file into a 16-bit PCM WAV file with lame.
//
//   dec --decode <mp3 file> <wav file>
//
// The WAV file is never replaced: when it exists, dec fails and leaves it as it was. lame writes
// to a new hidden file beside it (a short name, WorkFiles.h), which takes the WAV name only once
// lame succeeded and the file is seen to be a whole WAV flushed to the disk, with a rename that
// fails rather than replace; a failed or stopped run leaves nothing behind.
// Exit code: 0 decoded, 1 not decoded (why, in French and on one line, on standard output and
// standard error), 2 wrong arguments.
#include "FileSystem.h"
#include "Input.h"
#include "Launch.h"
#include "WavHeader.h"
#include "WorkFiles.h"

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

// Tells why the WAV was not made and ends the run.
int refuse(const std::string& name, const std::string& why)
{
    launch::endWork();
    launch::complain(Me, name + ": " + why);
    std::fputs(why.c_str(), stdout);
    return 1;
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
    if (::lstat(output.c_str(), &st) == 0)
        return refuse(output, "un fichier WAV de ce nom existe déjà, laissé tel quel");

    // A FIFO in the list would hold lame's open, and the window waiting for dec with it.
    if (const int in = platform::openForReading(input); in < 0) return refuse(input, platform::errorText(errno));
    else ::close(in);

    if (!launch::beginWork(Me)) return refuse(output, "pas de dossier de travail : " + platform::errorText(errno));
    const std::string folder = platform::folderPart(output);
    char* real = ::realpath(folder.empty() ? "." : folder.c_str(), nullptr);
    const int folderFd = real ? ::open(real, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    std::string part;
    const int fd = folderFd < 0 ? -1 : launch::newWorkFile(folderFd, real, part);
    const int error = errno;
    std::free(real);
    if (folderFd >= 0) ::close(folderFd);
    if (fd < 0) return refuse(output, platform::errorText(error));
    part = folder + part;
    // mkstemp makes the file private; the WAV gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    const int code =
        launch::runTool({"lame", "--decode", "--quiet", launch::asOperand(input), launch::asOperand(part)});
    std::string failure;
    if (code != 0) failure = "lame n'a pas pu le décoder (code " + std::to_string(code) + ")";
    else if (!isWholeWav(fd))
        failure = "lame n'a écrit qu'une partie du WAV (disque plein, ou limite de taille de fichier)";
    if (const int error = launch::syncAndClose(fd); error && failure.empty()) failure = platform::errorText(error);
    if (failure.empty() && !platform::renameNoReplace(part, output))
        failure =
            errno == EEXIST ? "un fichier WAV de ce nom existe déjà, laissé tel quel" : platform::errorText(errno);
    if (!failure.empty()) return refuse(code != 0 ? input : output, failure);
    launch::endWork();
    return 0;
}
