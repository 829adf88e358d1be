#include "probe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace probe {

namespace {

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return parts;
        start = tab + 1;
    }
}

std::uint32_t Le32(const std::string& s, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

}  // namespace

std::string Quote(const std::string& arg)
{
    std::string out = "'";
    for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int Run(const std::string& command, std::string* out)
{
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        if (out) out->append(buf, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Report Mutagen(const std::vector<std::string>& paths)
{
    std::string command = "PYTHONIOENCODING=utf-8 /usr/bin/python3 " + Quote(SONOVERNE_MP3PROBE);
    for (const std::string& p : paths) command += " " + Quote(p);
    std::string out;
    const int rc = Run(command, &out);
    EXPECT_EQ(rc, 0) << command;
    Report report;
    FileReport* current = nullptr;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto f = SplitTabs(line);
        if (f[0] == "file" && f.size() == 3) {
            current = &report[f[1]];
            current->size = std::stol(f[2]);
        } else if (!current) {
            ADD_FAILURE() << "probe output before any file: " << line;
        } else if (f[0] == "id3" && f.size() == 3) {
            current->hasId3 = true;
            current->id3Version = f[1];
            current->id3Size = std::stol(f[2]);
        } else if (f[0] == "text" && f.size() == 5) {
            current->texts[f[1]] = {std::stoi(f[2]), f[4], f[3] == "1"};
        } else if (f[0] == "comm" && f.size() == 6) {
            current->hasComment = true;
            current->commentLanguage = f[1];
            current->commentDescription = f[2];
            current->comment = {std::stoi(f[3]), f[5], f[4] == "1"};
        } else if (f[0] == "mpeg" && f.size() == 6) {
            current->hasMpeg = true;
            current->sampleRate = std::stoi(f[1]);
            current->bitrate = std::stoi(f[2]);
            current->length = std::stod(f[3]);
            current->channels = std::stoi(f[4]);
            current->sketchy = f[5] == "1";
        } else if (!(f.size() == 2 && f[1] == "none")) {
            ADD_FAILURE() << "unexpected probe line: " << line;
        }
    }
    return report;
}

FileReport MutagenFile(const std::string& path)
{
    Report r = Mutagen({path});
    EXPECT_EQ(r.size(), 1u) << path;
    return r[path];
}

Decoded LameDecode(const std::string& mp3, const std::string& wav)
{
    Decoded d;
    d.exitCode = Run("lame --quiet --decode " + Quote(mp3) + " " + Quote(wav) + " 2>&1");
    if (d.exitCode != 0) return d;
    const std::string bytes = ReadBytes(wav);
    // Walk the RIFF chunks to "fmt " and "data".
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const std::uint32_t size = Le32(bytes, at + 4);
        if (id == "fmt " && at + 12 <= bytes.size()) d.channels = static_cast<unsigned char>(bytes[at + 10]);
        if (id == "data") {
            const std::size_t n = std::min<std::size_t>(size, bytes.size() - at - 8) / 2;
            d.samples.resize(n);
            std::memcpy(d.samples.data(), bytes.data() + at + 8, n * 2);
            break;
        }
        at += 8 + size + (size & 1);
    }
    return d;
}

TempDir::TempDir()
{
    std::string pattern = std::filesystem::temp_directory_path().string() + "/sonoverne-tools-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace probe
