// bench_wav2mp3, for bench/wav2mp3.sh:
//   bench_wav2mp3 make <folder> <files> <seconds>   stereo 44.1 kHz WAV files: a tone under noise
//   bench_wav2mp3 run <file.wav>...                  the WAV-to-MP3 window's run over them, with
//                                                    its initial settings, from "Convertir" to
//                                                    its closing message
#include "Dialogs.h"
#include "FileSystem.h"
#include "Unit12.h"

#include <QApplication>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string wav(int seconds, double hz, uint32_t seed)
{
    const uint32_t frames = uint32_t(seconds) * 44100;
    std::string out(44 + std::size_t(frames) * 4, '\0');
    auto put = [&](std::size_t at, uint32_t v, int n) {
        for (int k = 0; k < n; ++k) out[at + std::size_t(k)] = char(v >> (8 * k));
    };
    out.replace(0, 4, "RIFF");
    put(4, 36 + frames * 4, 4);
    out.replace(8, 8, "WAVEfmt ");
    put(16, 16, 4), put(20, 1, 2), put(22, 2, 2), put(24, 44100, 4), put(28, 176400, 4), put(32, 4, 2), put(34, 16, 2);
    out.replace(36, 4, "data");
    put(40, frames * 4, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = i / 44100.0;
        for (int c = 0; c < 2; ++c) {
            seed = seed * 1664525u + 1013904223u;
            const int v = int(9000 * std::sin(2 * M_PI * hz * (c ? 1.5 : 1.0) * t)) + int16_t(seed >> 16) / 16;
            put(44 + std::size_t(i) * 4 + std::size_t(c) * 2, uint16_t(int16_t(v)), 2);
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "make" && argc == 5) {
        for (int i = 0; i < std::atoi(argv[3]); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/take%02d.wav", i + 1);
            platform::writeFile(argv[2] + std::string(name), wav(std::atoi(argv[4]), 220.0 * (i + 1), uint32_t(i + 1)));
        }
        return 0;
    }
    if (what != "run" || argc < 3) {
        std::fprintf(stderr, "usage: see bench/wav2mp3_bench.cpp\n");
        return 2;
    }
    QApplication app(argc, argv);
    TForm12 form;
    form.Show();
    for (int i = 2; i < argc; ++i) form.ListBox1->Add(argv[i]);
    const auto start = std::chrono::steady_clock::now();
    form.Button7->click();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool done = ui::Dialogs::shown().size() == 1 && ui::Dialogs::shown()[0].text == "Conversion Terminée";
    std::printf("window run: %.3f s%s\n", seconds, done ? "" : " (not ended as expected)");
    return done ? 0 : 1;
}
