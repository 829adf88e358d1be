// The file a fuzz target writes its input to, when the parser it drives reads files: in memory
// where it can be, one per process (libFuzzer's -jobs run several), removed at exit with the
// lock file a settings write leaves beside it.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

inline const std::string& ScratchFile(const char* suffix)
{
    static const std::string path = [suffix] {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/sonoverne-fuzz-" + std::to_string(getpid()) + suffix;
    }();
    static const bool registered = std::atexit([] {
                                       unlink(ScratchFile("").c_str());
                                       unlink((ScratchFile("") + ".lock").c_str());
                                   }) == 0;
    (void)registered;
    return path;
}

// Writes size bytes of data to the scratch file; false when it cannot.
inline bool WriteScratchFile(const std::string& path, const unsigned char* data, std::size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}
