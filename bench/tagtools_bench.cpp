// bench_tagtools <10,000-file collection> <100,000-file collection>: two batch tag tools against a
// load-only pass over the same files in the same run, on a warm cache, on the offscreen platform.
//   load     Tid3v2tag::LoadFromFile of every file, nothing else;
//   format   "Formater" of the case-formatting window over the same files: upper case, then lower
//            case (each rewrites the four frames; a change of case fits the tag as it stands);
//   list     with folder and album headers over the second collection, the window shown: its
//            build alone, then "Créer la Liste" (the build again, the memo filled, the list window
//            shown); then parts alone: the showing, the text without the window's list box, and
//            the list box's progress and selection of each entry.
// The first collection is rewritten: make it for this use only (bench/tagtools.sh does).
#include "NameOrder.h"
#include "Program.h"
#include "TagFields.h"
#include "Unit1.h"
#include "Unit10.h"
#include "Unit13.h"
#include "Unit9.h"
#include "id3v2.h"
#include "variable.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::vector<std::string> Mp3Files(const std::string& root)
{
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().extension() == ".mp3") out.push_back(entry.path().string());
    // The list windows keep their entries in this order: filling them then only appends.
    std::vector<ui::PathKey> keys;
    keys.reserve(out.size());
    for (const std::string& path : out) keys.emplace_back(path);
    std::vector<size_t> order(out.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<std::string> sorted;
    sorted.reserve(out.size());
    for (size_t i : order) sorted.push_back(std::move(out[i]));
    return sorted;
}

double LoadOnly(const std::vector<std::string>& files)
{
    Tid3v2tag tag;
    long loaded = 0;
    const auto start = Clock::now();
    for (const std::string& path : files) loaded += tagOk(tag.LoadFromFile(path, 0));
    const double seconds = Seconds(start);
    if (loaded == 0) std::fprintf(stderr, "no tag could be loaded\n");
    return seconds;
}

double Format(const std::vector<std::string>& files, QRadioButton* radio)
{
    Form13->ListBox1->Clear();
    for (const std::string& path : files) Form13->ListBox1->Add(path);
    radio->setChecked(true);
    const auto start = Clock::now();
    Form13->Button7Click();
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <10,000-file collection (rewritten)> <100,000-file collection>\n", argv[0]);
        return 2;
    }
    const std::string work =
        std::filesystem::temp_directory_path() / ("sonoverne-bench-tagtools-" + std::to_string(getpid()));
    std::filesystem::create_directories(work + "/config");
    std::filesystem::create_directories(work + "/music");
    setenv("XDG_CONFIG_HOME", (work + "/config").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    CreateForms();
    {
        // The main window comes back after the list: its first showing walks this empty folder.
        std::ofstream settings(SettingsFilePath(), std::ios::binary | std::ios::trunc);
        settings << "[Liste]\r\nDossier=" << work << "/music\r\n";
    }

    const std::vector<std::string> small = Mp3Files(argv[1]);
    const std::vector<std::string> large = Mp3Files(argv[2]);

    LoadOnly(small);  // warms the caches
    const double load10k = LoadOnly(small);
    const double upper = Format(small, Form13->RadioButton2);
    const double lower = Format(small, Form13->RadioButton1);
    const double load10kAgain = LoadOnly(small);
    // The same work without the window: load, four frames set, save.
    Tid3v2tag bare;
    bare.HoldFileForSave = true;  // as the window's own tag object
    auto begin = Clock::now();
    for (const std::string& path : small) {
        if (!tagOk(bare.LoadFromFile(path, 0))) continue;
        for (const char* frame : {"TIT2", "TPE1", "TALB", "TCON"})
            bare.SetTextFrame(frame, upperTagText(readTagField(bare, frame).text));
        bare.SaveToFile("=", 255, 255, -1);
    }
    const double tagOnly = Seconds(begin);
    std::printf("case formatting, %zu files\n", small.size());
    std::printf("  load only      %8.3f s (again after: %.3f s)\n", load10k, load10kAgain);
    std::printf("  upper case     %8.3f s  = %.2f x load\n", upper, upper / load10k);
    std::printf("  lower case     %8.3f s  = %.2f x load\n", lower, lower / load10k);
    std::printf("  tag work alone %8.3f s  = %.2f x load (load, set, save; no window)\n", tagOnly, tagOnly / load10k);

    LoadOnly(large);
    const double load100k = LoadOnly(large);
    // As in the program: the main window has been shown once, then hidden by the list window.
    Form1->Show();
    QCoreApplication::processEvents();
    Form9->Show();
    Form1->Hide();
    QCoreApplication::processEvents();
    for (const std::string& path : large) Form9->ListBox1->Add(path);
    // What the list box costs while the window is shown: the progress, selection and path of
    // every entry, as the run does them.
    auto start = Clock::now();
    Form9->Picker->beginRun();
    std::string item;
    for (size_t i = 0; i < large.size(); ++i) {
        Form9->Picker->showEntry(int(i));
        item = Form9->ListBox1->Item(int(i));
    }
    const double entries = Seconds(start);
    Form9->CheckBox4->setChecked(true);
    Form9->CheckBox6->setChecked(true);
    start = Clock::now();
    Form9->BuildListText();
    const double build = Seconds(start);
    const std::string built = ListText;
    start = Clock::now();
    Form9->Button7Click();
    const double handler = Seconds(start);
    Form10->Hide();
    const size_t bytes = ListText.size();

    // The text alone, as the handler builds it, without the list box and the memo.
    ListOptions options;
    options.folders = options.albums = true;
    Tid3v2tag tag;
    std::string text, previousAlbum;
    start = Clock::now();
    for (size_t i = 0; i < large.size(); ++i) {
        if (!tagOk(tag.LoadFromFile(large[i], 0))) continue;
        AppendListEntry(text, options, previousAlbum, i == 0 ? nullptr : &large[i - 1], large[i],
                        readTagField(tag, "TPE1").text, readTagField(tag, "TIT2").text, readTagField(tag, "TALB").text);
    }
    const double textOnly = Seconds(start);
    // What the handler spends on showing the text: the memo filled, the window shown.
    Form10->setMemoText(std::string());
    start = Clock::now();
    Form10->setMemoText(ListText);
    Form10->Show();
    const double memo = Seconds(start);
    Form10->Hide();

    std::printf("text list, %zu files, folder and album headers (%zu bytes%s)\n", large.size(), bytes,
                text == ListText ? "" : ", DIFFERS from the window's");
    std::printf("  load only          %8.3f s\n", load100k);
    std::printf("  \"Créer la Liste\"   %8.3f s  = %.2f x load (build, memo filled, window shown)\n", handler,
                handler / load100k);
    std::printf("  its build alone    %8.3f s  = %.2f x load (window shown, no memo)%s\n", build, build / load100k,
                built == ListText ? "" : ", DIFFERS");
    std::printf("  showing alone      %8.3f s (memo filled, window shown)\n", memo);
    std::printf("  text alone         %8.3f s  = %.2f x load (no list box, no memo)\n", textOnly, textOnly / load100k);
    std::printf("  list entries alone %8.3f s (progress, selection and path, window shown)\n", entries);

    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    return 0;
}
