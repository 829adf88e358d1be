// Saving speed.
//  1. A change that fits in the padding: bytes written (only the tag may be) and time.
//  2. A change that grows the tag of a 50 MB file (all the audio moves), against one `cp` of
//     the same file and against mutagen saving the same change, in the same run.
//  3. Batch tools: load + changed title + save "=" on 10,000 tagged files whose change fits their
//     padding, against a load-only pass over the same files, in the same run, best of ROUNDS
//     (default 5) of each; checks that only tag bytes were written (sizes and audio unchanged).
//   bench_id3v2_save [folder]      (GROW=n: grow the tag by an n-byte text instead of 20,000;
//                                   FILES=n: files of the third measure, 0 skips it; ONLY=3: the
//                                   third alone)
#include "batchfiles.h"
#include "id3v2.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace batchfiles;

namespace {

void MakeFile(const std::string& path, std::size_t audioBytes)
{
    std::string audio(audioBytes, '\0');
    for (std::size_t i = 0; i < audio.size(); ++i) audio[i] = char((i * 2654435761u) >> 13);
    std::ofstream(path, std::ios::binary) << audio;
    Tid3v2tag tag;
    tag.LoadFromFile(path, 0);
    for (const char* id : {"TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK"})
        tag.SetTextFrame(id, std::string(id) + " text");
    tag.SetComment({0, "ENG", "", "Un commentaire"}, "", "None");
    tag.SaveToFile("=", 3, 0, -1);
}

double Shell(const std::string& cmd)
{
    const auto t0 = Clock::now();
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    return Since(t0);
}

// 3: the save a batch tool makes after its load, against the load alone.
void BatchPass(const fs::path& folder, int files)
{
    const fs::path dir = folder / "batch";
    const Collection made = MakeCollection(dir, files);
    const std::vector<std::string>& paths = made.paths;
    std::vector<std::size_t> sizes;
    for (const std::string& path : paths) sizes.push_back(ReadAll(path).size());  // also warms the cache

    const int rounds = std::getenv("ROUNDS") ? std::max(1, std::atoi(std::getenv("ROUNDS"))) : 5;
    double bestLoad = 1e9, bestSave = 1e9, bestRatio = 1e9;
    Tid3v2tag tag;
    Tid3v2tag saver;  // as the batch tools keep theirs: the load's open serves the save
    saver.HoldFileForSave = true;
    int failed = 0;
    for (int round = 0; round < rounds; ++round) {
        auto t0 = Clock::now();
        for (const std::string& path : paths)
            if (!tagOk(tag.LoadFromFile(path, 0))) ++failed;
        const double load = Since(t0);
        // Same length every round, a different text each: always a change, always in the padding.
        const std::string title = "Titre modifie " + std::to_string(round % 10);
        t0 = Clock::now();
        for (const std::string& path : paths) {
            if (!tagOk(saver.LoadFromFile(path, 0))) ++failed;
            saver.SetTextFrame("TIT2", title);
            if (!tagOk(saver.SaveToFile("=", 255, 255, -1))) ++failed;
        }
        const double save = Since(t0);
        std::printf("  round %d: load only %.3f s, load+set+save %.3f s, ratio %.2f\n", round + 1, load, save,
                    save / load);
        bestLoad = std::min(bestLoad, load);
        bestSave = std::min(bestSave, save);
        bestRatio = std::min(bestRatio, save / load);
    }
    int wrong = 0;
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (!OnlyTagChanged(ReadAll(paths[i]), sizes[i], made.audio, "Titre modifie")) ++wrong;
    std::printf("batch save, %d files: best load only %.3f s, best load+set+save %.3f s: ratio of bests %.2f, "
                "best round ratio %.2f\n",
                files, bestLoad, bestSave, bestSave / bestLoad, bestRatio);
    std::printf("  failed loads/saves %d; files changed in size or audio or missing the title: %d\n", failed, wrong);
    fs::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path folder = argc > 1 ? argv[1] : fs::temp_directory_path() / "sonoverne-bench-save";
    fs::create_directories(folder);

    const int files = std::getenv("FILES") ? std::atoi(std::getenv("FILES")) : 10000;
    if (files > 0) BatchPass(folder, files);
    if (std::getenv("ONLY") && std::string(std::getenv("ONLY")) == "3") return 0;

    // 1. In the padding.
    const std::string small = (folder / "padding.mp3").string();
    MakeFile(small, 5u << 20);
    Tid3v2tag tag;
    const int rounds = 200;
    long long written = 0;
    double seconds = 0;
    for (int i = 0; i < rounds; ++i) {
        tag.LoadFromFile(small, 0);
        tag.SetTextFrame("TIT2", "Title " + std::to_string(i));
        const long long w0 = WrittenBytes();
        const auto t0 = Clock::now();
        if (!tagOk(tag.SaveToFile("=", 255, 255, -1))) std::fprintf(stderr, "save failed\n");
        seconds += Since(t0);
        written += WrittenBytes() - w0;
    }
    std::printf("save within the padding (5 MB file): %.1f us per save, %lld bytes written per save "
                "(whole tag: %u bytes)\n",
                seconds / rounds * 1e6, written / rounds, tag.TagSize);

    // 2. Growth of a 50 MB file.
    const std::string big = (folder / "big.mp3").string();
    const std::string copy = (folder / "big-copy.mp3").string();
    const std::string forMutagen = (folder / "big-mutagen.mp3").string();
    MakeFile(big, 50u << 20);
    Shell("cp '" + big + "' '" + forMutagen + "' && sync");
    const double cp = Shell("cp '" + big + "' '" + copy + "'");
    tag.LoadFromFile(big, 0);
    const std::string grown(std::getenv("GROW") ? std::atoi(std::getenv("GROW")) : 20000, 'g');
    tag.SetTextFrame("TALB", grown);
    const long long w0 = WrittenBytes();
    const auto t0 = Clock::now();
    const TTagStatus s = tag.SaveToFile("=", 255, 255, -1);
    const double ours = Since(t0);
    const long long w = WrittenBytes() - w0;
    const std::string script =
        "import sys, time\n"
        "from mutagen.id3 import ID3, TALB\n"
        "t = ID3(sys.argv[1])\n"
        "t.add(TALB(encoding=0, text=['g' * int(__import__('os').environ.get('GROW', '20000'))]))\n"
        "t0 = time.perf_counter()\n"
        "t.save(sys.argv[1], v2_version=3)\n"
        "print(time.perf_counter() - t0)\n";
    const std::string scriptPath = (folder / "save.py").string();
    std::ofstream(scriptPath) << script;
    double theirs = -1;
    if (FILE* p = popen(("/usr/bin/python3 '" + scriptPath + "' '" + forMutagen + "'").c_str(), "r")) {
        if (std::fscanf(p, "%lf", &theirs) != 1) theirs = -1;
        pclose(p);
    }
    std::printf("growing save of a 50 MB file: %.3f s (status %04x, %lld bytes written)\n", ours, s, w);
    std::printf("  one cp of that file:        %.3f s  -> ours / cp = %.2f\n", cp, ours / cp);
    std::printf("  mutagen, same change:       %.3f s  -> ours / mutagen = %.2f\n", theirs, ours / theirs);
    fs::remove(copy);
    return 0;
}
