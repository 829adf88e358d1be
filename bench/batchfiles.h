// What the batch-save benches share: their collection of tagged files whose change fits the
// padding, and the measures they take of it.
#pragma once

#include "id3v2.h"
#include "mp3gen.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace batchfiles {

using Clock = std::chrono::steady_clock;

inline double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Bytes this process has handed to write calls so far.
inline long long WrittenBytes()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "wchar:") return value;
    return -1;
}

inline std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Collection {
    std::vector<std::string> paths;
    std::string audio;  // the same silent frames after each tag
};

// files tagged files in folder (made anew), saved once by the tag library as every file a tool
// has touched: each tag ends with the library's padding, which a changed text fits into.
inline Collection MakeCollection(const std::filesystem::path& folder, int files)
{
    namespace gen = sonoverne::mp3gen;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    gen::Mp3Spec spec;
    spec.audio = gen::SilentFrames(4);
    Collection made;
    made.audio = spec.audio;
    for (int i = 0; i < files; ++i) {
        gen::TagTexts t;
        t.title = "Titre " + std::to_string(i);
        t.artist = "Artiste " + std::to_string(i % 97);
        t.album = "Album";
        t.year = "1999";
        t.track = std::to_string(i % 20 + 1);
        t.comment = "Remarque";
        spec.id3v2 = gen::Id3v2Spec{t, {}, 256};
        made.paths.push_back((folder / (std::to_string(i) + ".mp3")).string());
        gen::WriteFile(made.paths.back(), gen::Mp3Bytes(spec));
        Tid3v2tag tag;
        if (!tagOk(tag.LoadFromFile(made.paths.back(), 0)) || !tagOk(tag.SaveToFile("=", 255, 255, -1)))
            std::fprintf(stderr, "cannot prepare %s\n", made.paths.back().c_str());
    }
    return made;
}

// Whether a file holds its audio unchanged at its end, at its old length, and text in its tag.
inline bool OnlyTagChanged(const std::string& now, std::size_t oldSize, const std::string& audio,
                           const std::string& text)
{
    return now.size() == oldSize && now.size() >= audio.size() &&
           now.compare(now.size() - audio.size(), audio.size(), audio) == 0 && now.find(text) != std::string::npos;
}

}  // namespace batchfiles
