// bench_browser <collection>: the main window's scan of a large collection, timed in phases, on
// the offscreen platform. In one run, on a warm cache:
//   plain   open each *.mp3 of the tree, read its first 4,096 bytes, close it;
//   scan    the main window's walk: walker, wait box and ReadFileTags for every file;
//   build   BuildDistinctLists, the artist tree and the root's list fill (end of the walk);
//   sort    header clicks on the filled list ("Artiste", "Taille (Mo)", "Nom du fichier");
//   memory  VmRSS after the scan, and its growth over the scan per file.
// Run through bench/browser.sh, which makes the collection.
#include "FileSystem.h"
#include "Program.h"
#include "Unit1.h"
#include "variable.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// This thread's processor time: on a busy machine the wall clock also counts other programs.
double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

bool IsMp3(const char* name)
{
    const size_t n = std::strlen(name);
    return n >= 4 && strcasecmp(name + n - 4, ".mp3") == 0;
}

// The plain reader: depth first over the tree, the first 4,096 bytes of every MP3 file.
long PlainRead(const std::string& folder, unsigned long& checksum)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir) return 0;
    long files = 0;
    char buffer[4096];
    while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        const std::string path = folder + "/" + entry->d_name;
        if (entry->d_type == DT_DIR) {
            files += PlainRead(path, checksum);
        } else if (IsMp3(entry->d_name)) {
            const int fd = open(path.c_str(), O_RDONLY);
            if (fd < 0) continue;
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got > 0) checksum += static_cast<unsigned char>(buffer[got - 1]);
            close(fd);
            ++files;
        }
    }
    closedir(dir);
    return files;
}

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <collection folder>\n", argv[0]);
        return 2;
    }
    const std::string collection = argv[1];
    const std::string work =
        std::filesystem::temp_directory_path() / ("sonoverne-bench-browser-" + std::to_string(getpid()));
    std::filesystem::create_directories(work + "/config");
    std::filesystem::create_directories(work + "/prog");
    setenv("XDG_CONFIG_HOME", (work + "/config").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    platform::setProgramFolder(work + "/prog/");

    unsigned long checksum = 0;
    PlainRead(collection, checksum);  // warms the kernel's caches for both sides
    auto start = Clock::now();
    const long plainFiles = PlainRead(collection, checksum);
    const double plain = Seconds(start);

    QApplication app(argc, argv);
    CreateForms();
    {
        std::ofstream settings(SettingsFilePath(), std::ios::binary | std::ios::trunc);
        settings << "[Liste]\r\nDossier=" << collection << "\r\n";
    }
    // The walk ends in ScruteDossier1FinExecute, which builds the lists, the tree and the list.
    Clock::time_point walkEnd, buildEnd;
    double buildCpu = 0;
    auto finish = Form1->ScruteDossier1.OnFinExecute;
    Form1->ScruteDossier1.OnFinExecute = [&](TScruteDossier* sender) {
        walkEnd = Clock::now();
        const double cpu = CpuSeconds();
        finish(sender);
        buildCpu = CpuSeconds() - cpu;
        buildEnd = Clock::now();
    };
    const long rssBeforeKiB = ResidentKiB();
    start = Clock::now();
    Form1->Rafraichir1Click();
    const double scan = std::chrono::duration<double>(walkEnd - start).count();
    const double build = std::chrono::duration<double>(buildEnd - walkEnd).count();
    const long rssKiB = ResidentKiB();

    start = Clock::now();
    Form1->BuildDistinctLists();
    const double buildAgain = Seconds(start);

    // Where the scan's time goes: the same work again, piece by piece.
    double walkOnly = 0, tagsOnly = 0, sizesOnly = 0, eventsOnly = 0;
    {
        TScruteDossier walker;
        walker.Dossier = collection;
        walker.Filtre = "*.mp3";
        walker.MaxPenetration = 1000000;
        walker.OnFichier = [](TScruteDossier*, const std::string&) {};
        start = Clock::now();
        walker.Execute();
        walkOnly = Seconds(start);
        start = Clock::now();
        for (int pos = 1; pos <= FileCount; ++pos) MainTag.LoadFromFile(FilePaths.at(pos), 0);
        tagsOnly = Seconds(start);
        int64_t total = 0;
        start = Clock::now();
        for (int pos = 1; pos <= FileCount; ++pos) total += FileSizeOf(FilePaths.at(pos));
        sizesOnly = Seconds(start);
        start = Clock::now();
        for (int pos = 1; pos <= FileCount; ++pos) QCoreApplication::processEvents();
        eventsOnly = Seconds(start);
        if (total < 0) return 1;
    }

    double sorts[3], sortsCpu[3];
    const int columns[3] = {0, 7, 4};
    for (int i = 0; i < 3; ++i) {
        start = Clock::now();
        const double cpu = CpuSeconds();
        Form1->ListView1ColumnClick(columns[i]);
        sortsCpu[i] = CpuSeconds() - cpu;
        sorts[i] = Seconds(start);
    }

    std::printf("files: plain %ld, scan %d, list rows %d, artists %d, albums %d, genres %d\n", plainFiles, FileCount,
                Form1->ListModel->rowCount(), Form1->ArtistCount, Form1->AlbumCount, Form1->GenreCount);
    std::printf("(a) plain read 4 KiB   %8.3f s\n", plain);
    std::printf("    scan               %8.3f s   ratio %.2f (target <= 2)\n", scan, scan / plain);
    std::printf("    of which: walk with events %.3f s, tag loads %.3f s, sizes %.3f s, events alone %.3f s\n",
                walkOnly, tagsOnly, sizesOnly, eventsOnly);
    std::printf("(b) lists+tree+list    %8.3f s   cpu %.3f s (again, alone: %.3f s; target <= 0.300)\n", build,
                buildCpu, buildAgain);
    std::printf("(c) sort Artiste       %8.3f s   cpu %.3f s (every sort: target <= 0.300)\n", sorts[0], sortsCpu[0]);
    std::printf("    sort Taille (Mo)   %8.3f s   cpu %.3f s\n", sorts[1], sortsCpu[1]);
    std::printf("    sort Nom du fichier%8.3f s   cpu %.3f s\n", sorts[2], sortsCpu[2]);
    std::printf("(d) VmRSS after scan   %8.1f MiB, grown by %.1f MiB: %.0f bytes per file (target <= 1024)\n",
                rssKiB / 1024.0, (rssKiB - rssBeforeKiB) / 1024.0,
                FileCount > 0 ? (rssKiB - rssBeforeKiB) * 1024.0 / FileCount : 0.0);

    DestroyForms();
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    return plainFiles == FileCount ? 0 : 1;
}
