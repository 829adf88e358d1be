// What independent programs make of generated files: mutagen's reading of tags and MPEG frames,
// lame's decoding. Shared by the tests of the MP3 writer and of the generators.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace probe {

struct Text {
    int encoding = -1;
    std::string text;         // UTF-8
    bool terminated = false;  // the frame's bytes end with a terminator (mutagen drops it)
};

struct FileReport {
    long size = 0;
    bool hasId3 = false;
    std::string id3Version;  // "2.3.0", "2.4.0", "1.1"
    long id3Size = 0;        // whole ID3v2 tag, header included
    std::map<std::string, Text> texts;
    bool hasComment = false;
    std::string commentLanguage, commentDescription;
    Text comment;
    bool hasMpeg = false;
    int sampleRate = 0, bitrate = 0, channels = 0;
    double length = 0;
    bool sketchy = false;
};

// Keyed by the path relative to a folder argument, or by the path itself for a file argument.
using Report = std::map<std::string, FileReport>;

Report Mutagen(const std::vector<std::string>& paths);
FileReport MutagenFile(const std::string& path);

struct Decoded {
    int exitCode = -1;
    std::vector<short> samples;  // interleaved
    int channels = 0;
};
Decoded LameDecode(const std::string& mp3, const std::string& wav);

// Runs a shell command; returns its exit status and fills `out` with its standard output.
int Run(const std::string& command, std::string* out = nullptr);
std::string Quote(const std::string& arg);

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string ReadBytes(const std::string& path);

}  // namespace probe
