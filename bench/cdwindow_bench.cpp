// The CD window's extraction run against the components' own rip of the same tracks, in the same
// process, turn about, best of several rounds: a 10-track image to MP3 at 128 kbit/s.
// Usage: QT_QPA_PLATFORM=offscreen bench_cdwindow [track seconds (20)] [rounds (3)]
#include "CdImages.h"
#include "FileSystem.h"
#include "Program.h"
#include "Unit11.h"
#include "Unit19.h"
#include "variable.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv)
{
    const int trackSeconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::string root = cdtest::tempFolder();
    fs::create_directories(root + "/config");
    fs::create_directories(root + "/music");
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    std::ofstream(root + "/config/Sonoverne.ini") << "[Liste]\r\nDossier=" << root << "/music\r\n";
    std::vector<cdtest::TrackPlan> tracks;
    for (int i = 0; i < 10; ++i)
        tracks.push_back({i % 2 ? cdtest::TrackPlan::Noise : cdtest::TrackPlan::Tone, uint32_t(trackSeconds * 75), 0,
                          220.0 * (i + 1)});
    const cdtest::Disc disc = cdtest::makeDisc(root, "bench", tracks);
    setenv("SONOVERNE_CD_IMAGES", disc.cue.c_str(), 1);

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    CreateForms();
    platform::setProgramFolder(root + "/");
    double bestWindow = 1e9, bestComponents = 1e9;
    for (int round = 0; round < rounds; ++round) {
        // The components alone: the same encoder settings, every track.
        {
            const std::string out = root + "/components" + std::to_string(round);
            fs::create_directories(out);
            TCDRipper ripper;
            TMP3Coder coder;
            coder.Bitrate = 128;
            coder.CRC = false;
            ripper.SetCoder(&coder);
            ripper.Encode = true;
            ripper.WriteWav = true;
            const auto start = std::chrono::steady_clock::now();
            for (int32_t t = 1; t <= ripper.Tracks.Count(); ++t)
                ripper.RipTrack(t, out + "/" + ZeroPad2(uint16_t(t)) + ".wav");
            bestComponents = std::min(bestComponents, seconds(start));
        }
        // The window's run: names, folders, tags, progress, the closing rescan.
        {
            Form11->Show();
            RipFolder = root + "/window" + std::to_string(round);
            Form19->Edit1->setText(QStringLiteral("%1\\%2\\%4 - %6"));
            const auto start = std::chrono::steady_clock::now();
            Form11->Button1Click();
            bestWindow = std::min(bestWindow, seconds(start));
        }
    }
    std::printf("10 tracks of %d s to MP3, best of %d\n", trackSeconds, rounds);
    std::printf("components' rip   %8.3f s\n", bestComponents);
    std::printf("window's run      %8.3f s\n", bestWindow);
    std::printf("ratio             %8.3f\n", bestWindow / bestComponents);
    DestroyForms();
    fs::remove_all(root);
    return 0;
}
