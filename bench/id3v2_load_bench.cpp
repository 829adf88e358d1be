// Loading speed: 10,000 generated tagged files, each loaded and asked for the six texts the
// windows show and the comment; the same work done by TagLib in the same run.
//   bench_id3v2_load [folder] [files]
#include "id3v2.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kIds[] = {"TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK"};

std::string BE32(std::uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

std::string Frame(const std::string& id, const std::string& data)
{
    return id + BE32(std::uint32_t(data.size())) + std::string(2, '\0') + data;
}

// An ID3v2.3 tag as taggers write them: the six texts, a comment, padding; then some audio.
std::string MakeFile(int i)
{
    std::string body;
    const std::string n = std::to_string(i);
    body += Frame("TIT2", std::string(1, '\0') + "Titre du morceau " + n);
    body += Frame("TPE1", std::string(1, '\0') + "Artiste " + std::to_string(i % 300));
    body += Frame("TALB", std::string(1, '\0') + "Album " + std::to_string(i % 900));
    body += Frame("TYER", std::string(1, '\0') + std::to_string(1960 + i % 60));
    body += Frame("TCON", std::string(1, '\0') + "(17)Rock");
    body += Frame("TRCK", std::string(1, '\0') + std::to_string(1 + i % 20));
    body += Frame("COMM", std::string(1, '\0') + "eng" + std::string(1, '\0') + "Commentaire " + n);
    body += std::string(1024, '\0');
    std::string tag = "ID3";
    tag += std::string{3, 0, 0};
    const std::uint32_t s = std::uint32_t(body.size());
    tag += std::string{char(s >> 21 & 0x7F), char(s >> 14 & 0x7F), char(s >> 7 & 0x7F), char(s & 0x7F)};
    std::string audio(16384, '\0');
    for (std::size_t k = 0; k < audio.size(); ++k) audio[k] = char((k * 131 + i) & 0xFF);
    audio[0] = char(0xFF);
    audio[1] = char(0xFB);
    return tag + body + audio;
}

using Clock = std::chrono::steady_clock;

template <typename F>
double FilesPerSecond(const std::vector<std::string>& paths, F work, std::size_t& checksum)
{
    const auto t0 = Clock::now();
    for (const auto& p : paths) checksum += work(p);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    return double(paths.size()) / s;
}

std::size_t Ours(const std::string& path)
{
    static Tid3v2tag tag;
    std::size_t n = 0;
    if (!tagOk(tag.LoadFromFile(path, 0))) return 0;
    std::string text;
    for (const char* id : kIds)
        if (tag.GetTextFrame(id, text) == 0) n += text.size();
    TCommentFrame c;
    if (tag.GetComment(c, "", "None") == 0) n += c.Text.size();
    return n;
}

std::size_t Theirs(const std::string& path)
{
    TagLib::MPEG::File file(path.c_str(), false);
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    if (!tag) return 0;
    std::size_t n = 0;
    const auto& map = tag->frameListMap();
    for (const char* id : kIds) {
        auto it = map.find(id);
        // TagLib turns an ID3v2.3 year into its ID3v2.4 frame as it reads.
        if (it == map.end() && std::string(id) == "TYER") it = map.find("TDRC");
        if (it != map.end() && !it->second.isEmpty())
            n += std::string(it->second.front()->toString().toCString(false)).size();
    }
    n += std::string(tag->comment().toCString(false)).size();
    return n;
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path folder = argc > 1 ? argv[1] : fs::temp_directory_path() / "sonoverne-bench-load";
    const int count = argc > 2 ? std::atoi(argv[2]) : 10000;
    fs::create_directories(folder);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        const fs::path p = folder / ("f" + std::to_string(i) + ".mp3");
        if (!fs::exists(p)) { std::ofstream(p, std::ios::binary) << MakeFile(i); }
        paths.push_back(p.string());
    }
    std::size_t a = 0, b = 0;
    // Warm the cache and both libraries, then measure each three times and keep the best.
    FilesPerSecond(paths, Ours, a);
    FilesPerSecond(paths, Theirs, b);
    double ours = 0, theirs = 0;
    for (int round = 0; round < 3; ++round) {
        ours = std::max(ours, FilesPerSecond(paths, Ours, a));
        theirs = std::max(theirs, FilesPerSecond(paths, Theirs, b));
    }
    std::printf("files: %d (warm cache)\n", count);
    std::printf("Sonoverne tag library: %.0f files/s\n", ours);
    std::printf("TagLib %s:           %.0f files/s\n", "MPEG::File", theirs);
    std::printf("ratio: %.2fx  (texts read: %zu vs %zu)\n", ours / theirs, a, b);
    return 0;
}
