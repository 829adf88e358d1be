// bench_tageditor [folder] [files]: the multi-file tag editor setting one ticked field ("Album")
// on 10,000 tagged files whose change fits their padding, against a load-only pass over the same
// files (the tag object loading each of them), in the same run, on a warm cache and with the
// window shown (offscreen), so that the run's repaints count. Also checks that only tag bytes were
// written: no file changes size, the audio of every file is untouched. For scale, the floor of
// any in-place save (the load, then one write of the tag's own bytes) and the same change through
// the tag library alone are timed too. HIDDEN=1 runs the editor with its window hidden.
#include "Program.h"
#include "Unit6.h"
#include "batchfiles.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace batchfiles;

namespace {

double LoadOnly(const std::vector<std::string>& paths)
{
    Tid3v2tag tag;
    const auto t0 = Clock::now();
    for (const std::string& path : paths)
        if (!tagOk(tag.LoadFromFile(path, 0))) std::fprintf(stderr, "load failed: %s\n", path.c_str());
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
    const Collection made = MakeCollection(folder, files);
    const std::vector<std::string>& paths = made.paths;
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
        tagBytes += static_cast<long long>(now.size() - made.audio.size());
        if (!OnlyTagChanged(now, before[i].size(), made.audio, "Un album nettement plus long")) ++wrong;
    }
    const double load = std::min(load1, load2);
    std::printf("%d files: load only %.3f s (%.3f s, %.3f s), editor %.3f s, ratio %.2f\n", files, load, load1, load2,
                edit, edit / load);
    std::printf("library alone (load, set, save) %.3f s, ratio %.2f\n", library, library / load);
    std::printf("floor (load, then one write of the tag bytes in place) %.3f s, ratio %.2f\n", floor, floor / load);
    std::printf("written %lld bytes, tags %lld bytes; files changed in size or audio or missing the album: %d\n",
                written, tagBytes, wrong);
    DestroyForms();
    fs::remove_all(folder);
    return wrong == 0 ? 0 : 1;
}
