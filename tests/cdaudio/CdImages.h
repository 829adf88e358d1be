// Test discs: BIN/CUE images written at test time with known audio per track, opened through
// SONOVERNE_CD_IMAGES as the CD letters D, E, ...
#pragma once

#include "CdDrives.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace cdtest {

constexpr size_t SectorBytes = 2352;

struct TrackPlan {
    enum Kind { Tone, Noise, Data } kind = Tone;
    uint32_t sectors = 75;
    uint32_t pregap = 0;  // sectors of INDEX 00 before the track, stored in the image
    double frequency = 440;
};

struct Disc {
    std::string cue, bin;
    std::vector<uint8_t> image;    // every sector of the BIN file
    std::vector<uint32_t> starts;  // sector of INDEX 01 of each track, then the lead-out
    std::vector<bool> audio;
    // Bytes of the image a rip of track t (1-based) must give: its INDEX 01 up to the next one.
    std::vector<uint8_t> trackBytes(size_t t) const
    {
        return std::vector<uint8_t>(image.begin() + long(starts[t - 1] * SectorBytes),
                                    image.begin() + long(starts[t] * SectorBytes));
    }
};

inline std::string tempFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/cdtestXXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    return pattern;
}

inline std::string msf(uint32_t sector)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", sector / 4500, (sector / 75) % 60, sector % 75);
    return text;
}

inline void appendAudio(std::vector<uint8_t>& out, const TrackPlan& t, uint32_t sectors, uint32_t& seed)
{
    size_t frames = size_t(sectors) * 588;
    for (size_t i = 0; i < frames; ++i) {
        int16_t l, r;
        if (t.kind == TrackPlan::Tone) {
            double v = std::sin(2 * M_PI * t.frequency * double(i) / 44100.0);
            l = int16_t(12000 * v);
            r = int16_t(-9000 * v);
        } else {
            seed = seed * 1664525u + 1013904223u;
            l = int16_t(seed >> 16);
            r = int16_t(seed);
        }
        out.push_back(uint8_t(l));
        out.push_back(uint8_t(uint16_t(l) >> 8));
        out.push_back(uint8_t(r));
        out.push_back(uint8_t(uint16_t(r) >> 8));
    }
}

inline void appendData(std::vector<uint8_t>& out, uint32_t sectors, uint32_t firstLba)
{
    for (uint32_t s = 0; s < sectors; ++s) {
        std::vector<uint8_t> sector(SectorBytes, 0);
        for (int i = 1; i < 11; ++i) sector[size_t(i)] = 0xFF;  // sync pattern
        uint32_t lba = firstLba + s + 150;
        auto bcd = [](uint32_t v) { return uint8_t((v / 10) << 4 | (v % 10)); };
        sector[12] = bcd(lba / 4500);
        sector[13] = bcd((lba / 75) % 60);
        sector[14] = bcd(lba % 75);
        sector[15] = 1;  // mode 1
        for (size_t i = 16; i < 2064; ++i) sector[i] = uint8_t(i * 7 + s);
        out.insert(out.end(), sector.begin(), sector.end());
    }
}

// Writes name.bin and name.cue into folder.
inline Disc makeDisc(const std::string& folder, const std::string& name, const std::vector<TrackPlan>& tracks)
{
    Disc d;
    d.bin = folder + "/" + name + ".bin";
    d.cue = folder + "/" + name + ".cue";
    std::string cue = "FILE \"" + name + ".bin\" BINARY\r\n";
    uint32_t seed = 12345;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const TrackPlan& t = tracks[i];
        uint32_t at = uint32_t(d.image.size() / SectorBytes);
        char line[64];
        std::snprintf(line, sizeof line, "  TRACK %02zu %s\r\n", i + 1,
                      t.kind == TrackPlan::Data ? "MODE1/2352" : "AUDIO");
        cue += line;
        if (t.pregap) cue += "    INDEX 00 " + msf(at) + "\r\n";
        cue += "    INDEX 01 " + msf(at + t.pregap) + "\r\n";
        if (t.kind == TrackPlan::Data) appendData(d.image, t.pregap + t.sectors, at);
        else appendAudio(d.image, t, t.pregap + t.sectors, seed);
        d.starts.push_back(at + t.pregap);
        d.audio.push_back(t.kind != TrackPlan::Data);
    }
    d.starts.push_back(uint32_t(d.image.size() / SectorBytes));
    std::ofstream(d.bin, std::ios::binary).write(reinterpret_cast<const char*>(d.image.data()), long(d.image.size()));
    std::ofstream(d.cue, std::ios::binary) << cue;
    return d;
}

inline std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

// What lame --decode makes of an MP3: its rate, channels, sample frames and the pitch of its
// first channel (rising zero crossings per second, away from the ends).
struct Decoded {
    uint32_t rate = 0;
    int channels = 0;
    long frames = -1;
    double hz = 0;
};

inline Decoded decode(const std::string& mp3)
{
    Decoded r;
    std::string wavName = mp3 + ".dec.wav";
    std::string cmd = "lame --quiet --decode '" + mp3 + "' '" + wavName + "'";
    std::vector<uint8_t> d;
    if (std::system(cmd.c_str()) != 0 || (d = readFile(wavName)).size() < 44) return r;
    r.channels = d[22] | d[23] << 8;
    r.rate = uint32_t(d[24] | d[25] << 8 | d[26] << 16 | d[27] << 24);
    if (r.channels < 1) return r;
    r.frames = long(d.size() - 44) / (2 * r.channels);
    auto sample = [&](long k) {
        return int16_t(d[44 + size_t(k) * 2 * size_t(r.channels)] | d[45 + size_t(k) * 2 * size_t(r.channels)] << 8);
    };
    long from = r.frames / 10, to = r.frames - r.frames / 10, rises = 0;
    for (long k = from + 1; k < to; ++k)
        if (sample(k - 1) < 0 && sample(k) >= 0) ++rises;
    if (to > from) r.hz = double(rises) * r.rate / double(to - from);
    return r;
}

// The test discs, all at once: letters D, E, ... in this order.
struct DiscSet {
    std::string folder = tempFolder();
    std::vector<Disc> discs;
    explicit DiscSet(const std::vector<std::pair<std::string, std::vector<TrackPlan>>>& extra = {})
    {
        using T = TrackPlan;
        discs.push_back(
            makeDisc(folder, "tones", {{T::Tone, 300, 0, 440}, {T::Noise, 451, 0, 0}, {T::Tone, 200, 0, 1000}}));
        discs.push_back(
            makeDisc(folder, "pregap", {{T::Noise, 160, 0, 0}, {T::Tone, 300, 150, 660}, {T::Noise, 77, 33, 0}}));
        discs.push_back(
            makeDisc(folder, "mixed", {{T::Data, 600, 0, 0}, {T::Tone, 250, 150, 220}, {T::Noise, 99, 0, 0}}));
        discs.push_back(makeDisc(folder, "single", {{T::Noise, 1234, 0, 0}}));
        std::vector<T> many;
        for (int i = 0; i < 99; ++i) many.push_back({i % 2 ? T::Noise : T::Tone, uint32_t(20 + i), 0, 100.0 + i * 10});
        discs.push_back(makeDisc(folder, "many", many));
        for (auto& [name, tracks] : extra) discs.push_back(makeDisc(folder, name, tracks));
        std::string env;
        for (auto& d : discs) env += (env.empty() ? "" : ":") + d.cue;
        setenv("SONOVERNE_CD_IMAGES", env.c_str(), 1);
    }
    ~DiscSet()
    {
        std::string cmd = "rm -rf '" + folder + "'";
        if (std::system(cmd.c_str())) {}
    }
    // The letter of disc i: after the machine's own CD devices, if any.
    char letter(size_t i) const
    {
        std::vector<std::string> all = cdaudio::cdSources();
        for (size_t k = 0; k < all.size(); ++k)
            if (all[k] == discs[i].cue) return char('D' + k);
        throw std::runtime_error("disc not lettered");
    }
};

}  // namespace cdtest
