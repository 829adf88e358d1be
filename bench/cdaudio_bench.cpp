// The CD and encoder components on their own, for bench/cdaudio.sh:
//   bench_cdaudio wav <out.wav> <seconds>                 a stereo 44.1 kHz test WAV
//   bench_cdaudio disc <folder> <tracks> <seconds>        a BIN/CUE image, tones and noise
//   bench_cdaudio encode <in.wav> <out.mp3>               TLameCoder, 128 kbit/s CBR stereo
//   bench_cdaudio rip <letter> <folder> wav|mp3 [mono]     every audio track of a lettered drive
//                                                          (mono: "Mono" at 22050 Hz)
#include "CDRipper.h"
#include "CdImages.h"
#include "LameCoder.h"
#include "MP3Coder.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: see bench/cdaudio_bench.cpp\n");
        return 2;
    }
    const std::string what = argv[1];
    try {
        if (what == "wav") {
            cdtest::TrackPlan tone{cdtest::TrackPlan::Tone, uint32_t(std::atoi(argv[3]) * 75), 0, 523.25};
            std::vector<uint8_t> pcm;
            uint32_t seed = 1;
            cdtest::appendAudio(pcm, tone, tone.sectors, seed);
            // A little noise over the tone, so that the encoder has work to do.
            for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
                seed = seed * 1664525u + 1013904223u;
                int v = int16_t(pcm[i] | pcm[i + 1] << 8) + int(int16_t(seed >> 16) / 16);
                v = v > 32767 ? 32767 : v < -32768 ? -32768 : v;
                pcm[i] = uint8_t(v);
                pcm[i + 1] = uint8_t(uint16_t(v) >> 8);
            }
            std::vector<uint8_t> h(44);
            auto p32 = [&](size_t at, uint32_t v) {
                for (int k = 0; k < 4; ++k) h[at + size_t(k)] = uint8_t(v >> (8 * k));
            };
            std::memcpy(h.data(), "RIFF", 4);
            p32(4, uint32_t(pcm.size() + 36));
            std::memcpy(&h[8], "WAVEfmt ", 8);
            p32(16, 16);
            p32(20, 1 | 2 << 16);
            p32(24, 44100);
            p32(28, 176400);
            p32(32, 4 | 16 << 16);
            std::memcpy(&h[36], "data", 4);
            p32(40, uint32_t(pcm.size()));
            h.insert(h.end(), pcm.begin(), pcm.end());
            cdtest::writeFile(argv[2], h);
        } else if (what == "disc" && argc >= 5) {
            std::vector<cdtest::TrackPlan> tracks;
            for (int i = 0; i < std::atoi(argv[3]); ++i)
                tracks.push_back({i % 2 ? cdtest::TrackPlan::Noise : cdtest::TrackPlan::Tone,
                                  uint32_t(std::atoi(argv[4]) * 75), 0, 220.0 * (i + 1)});
            cdtest::Disc d = cdtest::makeDisc(argv[2], "bench", tracks);
            std::printf("%s\n", d.cue.c_str());
        } else if (what == "encode") {
            TLameCoder coder;
            coder.Bitrate = 128;
            coder.SetMode(TLameMode::STEREO);
            coder.SetInputFiles({argv[2]});
            coder.SetOutputFiles({argv[3]});
            auto start = std::chrono::steady_clock::now();
            coder.Encode();
            std::printf("TLameCoder: %.3f s\n", seconds(start));
        } else if (what == "rip" && argc >= 5) {
            TCDRipper ripper;
            TMP3Coder coder;
            coder.Bitrate = 128;
            ripper.SetCoder(&coder);
            // As the window sets them: after the coder is attached.
            if (argc >= 6 && std::strcmp(argv[5], "mono") == 0) {
                coder.SetMode(TMP3CoderMode::MONO);
                coder.SampleRate = 22050;
            }
            int32_t drive = -1;
            for (int32_t k = 0; k < ripper.Drives.Count(); ++k)
                if (ripper.Drives.Objects(k)->Letter == argv[2][0]) drive = k;
            if (drive < 0) throw std::runtime_error("no such drive");
            ripper.SetActiveCdRomNum(drive);
            ripper.Encode = std::strcmp(argv[4], "mp3") == 0;
            ripper.WriteWav = true;
            auto start = std::chrono::steady_clock::now();
            for (int32_t t = 1; t <= ripper.Tracks.Count(); ++t)
                if (ripper.Tracks.Objects(t - 1)->Kind == "Audio")
                    ripper.RipTrack(t, std::string(argv[3]) + "/track" + ZeroPad2(uint16_t(t)) + ".wav");
            std::printf("TCDRipper (%s): %.3f s\n", argv[4], seconds(start));
        } else {
            std::fprintf(stderr, "unknown command %s\n", what.c_str());
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
