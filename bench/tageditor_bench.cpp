// bench_tageditor [folder] [files]: the multi-file tag editor setting one ticked field ("Album")
// on 10,000 tagged files whose change fits their padding, against a load-only pass over the same
// files (the tag object loading each of them), in the same run, on a warm cache and with the
// window shown (offscreen), so that the run's repaints count. Also checks that only tag bytes were
// written: no file changes size, the audio of every file is untouched. For scale, the floor of
// any in-place save (the load, then one write of the tag's own bytes) and the same change through
// the tag library alone are timed too. HIDDEN=1 runs the editor with its window hidden.
//
// bench_tageditor single [characters] [rounds] [keys]: the single-file tag editor with the ID3v1
// option on, over a file whose comment has 30,000 characters: per round, the opening (shown,
// laid out and painted) and the median of `keys` keystrokes typed at the comment's end and at
// its start (each until painted), one line per round.
#include "Program.h"
#include "Unit4.h"
#include "Unit6.h"
#include "batchfiles.h"
#include "variable.h"

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>
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

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// One key typed into a field, until the window has painted it.
double Keystroke(QWidget* field, Qt::Key key, const QString& text)
{
    const auto t0 = Clock::now();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(field, &press);
    QApplication::sendEvent(field, &release);
    QCoreApplication::processEvents();
    return Since(t0);
}

int SingleFileEditor(int characters, int rounds, int keys)
{
    namespace gen = sonoverne::mp3gen;
    const fs::path folder = fs::temp_directory_path() / "sonoverne-tageditor1-bench";
    fs::create_directories(folder);
    const std::string path = (folder / "long.mp3").string();
    gen::Mp3Spec spec;
    spec.audio = gen::SilentFrames(4);
    gen::TagTexts t;
    t.title = "Un titre de plus de trente caract\xe8res, pour la couleur";
    t.artist = "Artiste";
    std::string comment;
    while (int(comment.size()) < characters) comment += "Une remarque sans fin, ";
    comment.resize(size_t(characters));
    t.comment = comment;
    spec.id3v2 = gen::Id3v2Spec{t, {}, 0};
    gen::WriteFile(path, gen::Mp3Bytes(spec));
    UseId3v1 = true;
    Form4->setFileName(path);
    int wrong = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto t0 = Clock::now();
        Form4->Show();
        QCoreApplication::processEvents();
        const double open = Since(t0);
        ui::RichEdit* edit = Form4->commentaireEdit;
        if (edit->Text() != comment) ++wrong;
        edit->setFocus();
        std::vector<double> atEnd, atStart;
        edit->setCaretPosition(characters);
        for (int k = 0; k < keys; ++k) atEnd.push_back(Keystroke(edit, Qt::Key_A, QStringLiteral("a")));
        edit->setCaretPosition(0);
        for (int k = 0; k < keys; ++k) atStart.push_back(Keystroke(edit, Qt::Key_A, QStringLiteral("a")));
        if (int(edit->Text().size()) != characters + 2 * keys) ++wrong;
        Form4->Hide();
        QCoreApplication::processEvents();
        std::printf("%d characters: open %.3f s, keystroke at the end %.1f ms, at the start %.1f ms\n", characters,
                    open, Median(atEnd) * 1000, Median(atStart) * 1000);
        std::fflush(stdout);
    }
    fs::remove_all(folder);
    return wrong == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "single") {
        QApplication app(argc, argv);
        CreateForms();
        const int result = SingleFileEditor(argc > 2 ? std::atoi(argv[2]) : 30000, argc > 3 ? std::atoi(argv[3]) : 5,
                                            argc > 4 ? std::atoi(argv[4]) : 20);
        DestroyForms();
        return result;
    }
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
