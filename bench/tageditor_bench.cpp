// bench_tageditor [folder] [files]: the multi-file tag editor setting one ticked field ("Album")
// on 10,000 tagged files whose change fits their padding, against a load-only pass over the same
// files (the tag object loading each of them), in the same run, on a warm cache and with the
// window shown (offscreen), so that the run's repaints count. Also checks that only tag bytes were
// written: no file changes size, the audio of every file is untouched. For scale, the floor of
// any in-place save (the load, then one write of the tag's own bytes) and the same change through
// the tag library alone are timed too. HIDDEN=1 runs the editor with its window hidden.
#include "Program.h"
#include "Unit6.h"
#include "mp3gen.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace gen = sonoverne::mp3gen;
using Clock = std::chrono::steady_clock;

namespace {

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

long long WrittenBytes()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "wchar:") return value;
    return -1;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

double LoadOnly(const std::vector<std::string>& paths)
{
    Tid3v2tag tag;
    const auto t0 = Clock::now();
    for (const std::string& path : paths)
        if (tag.LoadFromFile(path, 0) >= 0x0100) std::fprintf(stderr, "load failed: %s\n", path.c_str());
    return Since(t0);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : (fs::temp_directory_path() / "sonoverne-tageditor-bench").string();
    const int files = argc > 2 ? std::atoi(argv[2]) : 10000;
    QApplication app(argc, argv);
    CreateForms();

    // Tagged files with room in their padding; the audio is the same silent frames in each.
    fs::remove_all(folder);
    fs::create_directories(folder);
    gen::Mp3Spec spec;
    spec.audio = gen::SilentFrames(4);
    std::vector<std::string> paths;
    for (int i = 0; i < files; ++i) {
        gen::TagTexts t;
        t.title = "Titre " + std::to_string(i);
        t.artist = "Artiste " + std::to_string(i % 97);
        t.album = "Album";
        t.year = "1999";
        t.track = std::to_string(i % 20 + 1);
        t.comment = "Remarque";
        spec.id3v2 = gen::Id3v2Spec{t, {}, 256};
        paths.push_back(folder + "/" + std::to_string(i) + ".mp3");
        gen::WriteFile(paths.back(), gen::Mp3Bytes(spec));
        // Saved once by the tag library, as every file a tool has touched: the tag then ends
        // with the library's padding, which the album below fits into.
        Tid3v2tag tag;
        if (tag.LoadFromFile(paths.back(), 0) >= 0x0100 || tag.SaveToFile("=", 255, 255, -1) >= 0x0100)
            std::fprintf(stderr, "cannot prepare %s\n", paths.back().c_str());
    }
    std::vector<std::string> before;
    for (const std::string& path : paths) before.push_back(ReadAll(path));  // also warms the cache

    const double load1 = LoadOnly(paths);
    if (!std::getenv("HIDDEN")) Form6->Show();
    for (const std::string& path : paths) Form6->ListBox1->Add(path);
    Form6->CheckBox3->setChecked(true);
    Form6->id3album->setText("Un album nettement plus long");
    QCoreApplication::processEvents();
    const long long written0 = WrittenBytes();
    const auto t0 = Clock::now();
    Form6->Button5Click();
    const double edit = Since(t0);
    const long long written = WrittenBytes() - written0;

    // The floor of any in-place save: the load, then one write of the tag's bytes as they are.
    const double floor = [&] {
        Tid3v2tag tag;
        std::vector<char> head(4096);
        const auto f0 = Clock::now();
        for (const std::string& path : paths) {
            tag.LoadFromFile(path, 0);
            const int fd = ::open(path.c_str(), O_RDWR);
            const ssize_t got = ::pread(fd, head.data(), head.size(), 0);
            if (got <= 0 || ::pwrite(fd, head.data(), size_t(std::min<ssize_t>(got, tag.TagSize)), 0) < 0)
                std::fprintf(stderr, "floor: %s\n", path.c_str());
            ::close(fd);
        }
        return Since(f0);
    }();

    // The same save through the tag library alone, on the same files.
    const double library = [&] {
        Tid3v2tag tag;
        tag.HoldFileForSave = true;
        const auto l0 = Clock::now();
        for (const std::string& path : paths) {
            tag.LoadFromFile(path, 0);
            tag.SetTextFrame("TALB", "Un album nettement plus long");
            tag.SaveToFile("=", 255, 255, -1);
        }
        return Since(l0);
    }();

    const double load2 = LoadOnly(paths);

    // Only tag bytes: same size, same audio, the new album in each.
    long long tagBytes = 0;
    int wrong = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string now = ReadAll(paths[i]);
        const size_t audio = spec.audio.size();
        tagBytes += static_cast<long long>(now.size() - audio);
        if (now.size() != before[i].size() || now.compare(now.size() - audio, audio, spec.audio) != 0 ||
            now.find("Un album nettement plus long") == std::string::npos)
            ++wrong;
    }
    const double load = std::min(load1, load2);
    std::printf("%d files: load only %.3f s (%.3f s, %.3f s), editor %.3f s, ratio %.2f\n", files, load, load1, load2,
                edit, edit / load);
    std::printf("library alone (load, set, save) %.3f s, ratio %.2f\n", library, library / load);
    std::printf("floor (load, then one write of the tag bytes in place) %.3f s, ratio %.2f\n", floor, floor / load);
    std::printf("written %lld bytes, tags %lld bytes; files changed in size or audio or missing the album: %d\n", written,
                tagBytes, wrong);
    DestroyForms();
    fs::remove_all(folder);
    return wrong == 0 ? 0 : 1;
}
