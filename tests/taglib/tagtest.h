// Helpers of the tag library's tests: temporary files, a builder of raw ID3v2 tags, and the
// bridge to mutagen, the independent reader.
#pragma once

#include "id3v2.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace tagtest {

namespace fs = std::filesystem;

inline std::string Bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int v : b) s.push_back(char(v));
    return s;
}

inline TBytes ToBytes(const std::string& s) { return TBytes(s.begin(), s.end()); }
inline std::string ToString(const TBytes& b) { return std::string(b.begin(), b.end()); }

// A temporary folder removed at the end of the test.
class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "sonoverne-tags-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        path_ = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

inline void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(data.data(), std::streamsize(data.size()));
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline std::string BE32(std::uint32_t v)
{
    return Bytes({int(v >> 24 & 0xFF), int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)});
}
inline std::string Synchsafe(std::uint32_t v)
{
    return Bytes({int(v >> 21 & 0x7F), int(v >> 14 & 0x7F), int(v >> 7 & 0x7F), int(v & 0x7F)});
}

// Raw frames and headers, for byte-exact inputs.
inline std::string FrameV23(const std::string& id, const std::string& data, int status = 0, int format = 0)
{
    return id + BE32(std::uint32_t(data.size())) + Bytes({status, format}) + data;
}
inline std::string FrameV24(const std::string& id, const std::string& data, int status = 0, int format = 0)
{
    return id + Synchsafe(std::uint32_t(data.size())) + Bytes({status, format}) + data;
}
inline std::string Header(int version, int flags, std::uint32_t size, int revision = 0)
{
    return "ID3" + Bytes({version, revision, flags}) + Synchsafe(size);
}
// A whole tag: header with the body's size, then the body.
inline std::string Tag(int version, const std::string& body, int flags = 0)
{
    return Header(version, flags, std::uint32_t(body.size())) + body;
}
// Unsynchronisation of a whole buffer, written independently of the library.
inline std::string Unsync(const std::string& in)
{
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        out.push_back(in[i]);
        if (std::uint8_t(in[i]) == 0xFF && i + 1 < in.size() && (in[i + 1] == 0 || std::uint8_t(in[i + 1]) >= 0xE0))
            out.push_back(0);
    }
    return out;
}

// Some bytes standing for audio: every value, no "ID3" or "TAG" by chance at the start.
inline std::string Audio(std::size_t n, unsigned seed = 1)
{
    std::string s(n, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        s[i] = char(x >> 24);
    }
    if (n) s[0] = char(0xFF);
    return s;
}

// ---- mutagen --------------------------------------------------------------------------------

inline std::string ToolScript() { return std::string(SONOVERNE_TEST_SOURCE_DIR) + "/taglib/mutagen_tool.py"; }

inline std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs the tool and returns its standard output; fails the test when it fails.
inline std::string RunTool(const std::string& args)
{
    const std::string cmd = "/usr/bin/python3 " + Quote(ToolScript()) + " " + args;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        ADD_FAILURE() << "cannot run " << cmd;
        return {};
    }
    std::string out;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int rc = pclose(p);
    EXPECT_EQ(rc, 0) << cmd.substr(0, 300) << "\n" << out.substr(0, 3000);
    return out;
}

inline std::string Unhex(const std::string& h)
{
    std::string s;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2) s.push_back(char(std::stoi(h.substr(i, 2), nullptr, 16)));
    return s;
}
inline std::string Hex(const std::string& s)
{
    static const char* d = "0123456789abcdef";
    std::string h;
    for (unsigned char c : s) {
        h.push_back(d[c >> 4]);
        h.push_back(d[c & 15]);
    }
    return h;
}

// What mutagen reads in a file's ID3v2 tag: the frames in its order (duplicates merged), the
// first text of each text frame (as ISO-8859-1 bytes, or "!" when it does not fit), and each
// comment keyed "lang:desc"; the same texts whole, in UTF-8.
struct MutagenView {
    int version = 0;
    std::vector<std::string> frames;
    std::map<std::string, std::string> texts;
    std::map<std::string, std::string> comments;
    std::map<std::string, std::string> wholeTexts;
    std::map<std::string, std::string> wholeComments;
};

inline std::string FromHexField(const std::string& f) { return f == "!" ? "!" : Unhex(f.substr(1)); }

inline MutagenView ParseDump(const std::string& out)
{
    MutagenView v;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream in(line);
        std::string kind, a, b, c, d;
        in >> kind >> a >> b >> c >> d;
        if (kind == "V") {
            v.version = std::stoi(a);
        } else if (kind == "F") {
            v.frames.push_back(a);
        } else if (kind == "T") {
            v.texts[a] = FromHexField(b);
            v.wholeTexts[a] = FromHexField(c);
        } else if (kind == "C") {
            v.comments[FromHexField(a) + ":" + FromHexField(b)] = FromHexField(c);
            v.wholeComments[FromHexField(a) + ":" + FromHexField(b)] = FromHexField(d);
        }
    }
    return v;
}

inline MutagenView MutagenRead(const std::string& path) { return ParseDump(RunTool("dump " + Quote(path))); }

// One run of mutagen for many files.
inline std::map<std::string, MutagenView> MutagenReadMany(const std::vector<std::string>& paths)
{
    std::map<std::string, MutagenView> views;
    if (paths.empty()) return views;
    std::string args = "dump";
    for (const auto& p : paths) args += " " + Quote(p);
    if (paths.size() == 1) args += " " + Quote(paths[0]);  // two names: the dumps are labelled
    const std::string out = RunTool(args);
    std::string current, chunk;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("= ", 0) == 0) {
            if (!current.empty()) views[current] = ParseDump(chunk);
            current = line.substr(2);
            chunk.clear();
        } else {
            chunk += line + "\n";
        }
    }
    if (!current.empty()) views[current] = ParseDump(chunk);
    return views;
}

}  // namespace tagtest
