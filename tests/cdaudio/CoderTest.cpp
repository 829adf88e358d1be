// The encoders: the configuration record, the settings, and whole files encoded by TLameCoder,
// decoded back with lame --decode.
#include "LameCoder.h"
#include "MP3Coder.h"
#include "CdImages.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint16_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); }
void put32(Bytes& b, uint32_t v) { put16(b, uint16_t(v)); put16(b, uint16_t(v >> 16)); }
void tag(Bytes& b, const char* t) { for (int i = 0; i < 4; ++i) b.push_back(uint8_t(t[i])); }

Bytes tone(size_t frames, int channels)
{
    Bytes pcm;
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            put16(pcm, uint16_t(int16_t(9000 * std::sin(2 * M_PI * (440 + 110 * c) * double(i) / 44100))));
    return pcm;
}

// A WAV file: fmt fields, chunks before and after the data.
Bytes wav(const Bytes& pcm, uint16_t channels, uint16_t bits = 16, uint16_t format = 1,
          const Bytes& before = {}, const Bytes& after = {})
{
    Bytes b;
    tag(b, "RIFF"); put32(b, 0); tag(b, "WAVE");
    tag(b, "fmt "); put32(b, 16); put16(b, format); put16(b, channels); put32(b, 44100);
    put32(b, 44100u * channels * bits / 8); put16(b, uint16_t(channels * bits / 8)); put16(b, bits);
    for (uint8_t x : before) b.push_back(x);
    tag(b, "data"); put32(b, uint32_t(pcm.size()));
    for (uint8_t x : pcm) b.push_back(x);
    for (uint8_t x : after) b.push_back(x);
    uint32_t riff = uint32_t(b.size() - 8);
    std::memcpy(b.data() + 4, &riff, 4);
    return b;
}

Bytes chunk(const char* id, size_t size)
{
    Bytes b;
    tag(b, id); put32(b, uint32_t(size));
    for (size_t i = 0; i < size; ++i) b.push_back(uint8_t('a' + i % 26));
    if (size & 1) b.push_back(0);  // chunks are padded to an even length
    return b;
}

// Sample frames of the decoded MP3, as lame --decode writes them.
long decodedFrames(const std::string& mp3, int channels)
{
    std::string wavName = mp3 + ".dec.wav";
    std::string cmd = "lame --quiet --decode '" + mp3 + "' '" + wavName + "'";
    if (std::system(cmd.c_str()) != 0) return -1;
    Bytes d = cdtest::readFile(wavName);
    return d.size() < 44 ? -1 : long(d.size() - 44) / (2 * channels);
}

struct Folder {
    std::string path = cdtest::tempFolder();
    ~Folder() { std::string cmd = "rm -rf '" + path + "'"; if (std::system(cmd.c_str())) {} }
    std::string file(const std::string& name, const Bytes& bytes) const
    {
        cdtest::writeFile(path + "/" + name, bytes);
        return path + "/" + name;
    }
};

TEST(Coder, ConfigurationRecordAndSettings)
{
    TMP3Coder c;
    c.SampleRate = 22050;
    c.Bitrate = 160;
    c.MaxBitrate = 256;
    c.Quality = HIGH_QUALITY;
    c.SetMode(TMP3CoderMode::JSTEREO);
    c.Copyright = true;
    c.VBRQuality = 2;
    c.SetEnableVBR(true);
    ASSERT_EQ(c.InitStream(), BE_ERR_SUCCESSFUL);
    const BE_CONFIG& r = c.Config();
    struct { BE_CONFIG::Offset at; uint32_t value; } rows[] = {
        {BE_CONFIG::Kind, 256}, {BE_CONFIG::StructVersion, 1}, {BE_CONFIG::StructSize, 331},
        {BE_CONFIG::SampleRate, 22050}, {BE_CONFIG::ReSampleRate, 0}, {BE_CONFIG::Mode, 1},
        {BE_CONFIG::Bitrate, 160}, {BE_CONFIG::MaxBitrate, 256}, {BE_CONFIG::Preset, 2},
        {BE_CONFIG::MpegVersion, 1}, {BE_CONFIG::Private, 0}, {BE_CONFIG::CRC, 0xFFFFFFFF},
        {BE_CONFIG::Copyright, 0xFFFFFFFF}, {BE_CONFIG::Original, 0}, {BE_CONFIG::WriteVBRHeader, 0xFFFFFFFF},
        {BE_CONFIG::EnableVBR, 0xFFFFFFFF}, {BE_CONFIG::VBRQuality, 2}};
    for (auto& row : rows) EXPECT_EQ(r.get(row.at), row.value) << "offset " << row.at;
    for (size_t i = 76; i < 331; ++i) EXPECT_EQ(r.bytes[i], 0) << i;
    EXPECT_EQ(c.SamplesPerChunk() % 2304, 0u);
    EXPECT_NE(c.OutputBuffer(), nullptr);
    c.CloseStream();
    EXPECT_EQ(c.OutputBuffer(), nullptr);

    // VBR coupling: the header follows VBR, not the other way round.
    TLameCoder l;
    l.WriteVBRHeader = true;
    EXPECT_FALSE(l.EnableVBR());
    l.SetEnableVBR(false);
    EXPECT_FALSE(l.WriteVBRHeader);
    // Modes outside 0..3 store nothing.
    l.SetMode(TLameMode::MONO);
    l.SetMode(TLameMode(7));
    EXPECT_EQ(l.Mode(), TLameMode::MONO);
    TLameCoder copy;
    copy.Assign(l);
    EXPECT_EQ(copy.Mode(), TLameMode::MONO);
    EXPECT_EQ(copy.DefaultExt, ".mp3");

    l.SetInputFiles({"/x/a.wav", "/x.d/b", "c.tar.raw"});
    EXPECT_EQ(l.OutputFiles(), (std::vector<std::string>{"/x/a.mp3", "/x.d/b.mp3", "c.tar.mp3"}));

    TLameVersion v;
    v.Assign(l.LameVersion());
    EXPECT_EQ(v.MajorVersion(), 3);  // libmp3lame 3.x
}

// Inputs and what the encoder makes of them: the audio frames it must keep, or its error.
TEST(Coder, EncodesWhatTheInputHolds)
{
    Folder dir;
    const size_t odd = 44100 + 3001;  // a last chunk of less than a block
    struct Case {
        const char* name;
        Bytes file;
        int channels;
        TLameMode mode;
        long frames;         // -1: expect an error
        const char* error;
    } cases[] = {
        {"canonical.wav", wav(tone(odd, 2), 2), 2, TLameMode::STEREO, long(odd), nullptr},
        {"mono.wav", wav(tone(odd, 1), 1), 1, TLameMode::MONO, long(odd), nullptr},
        {"chunks.wav", wav(tone(odd, 2), 2, 16, 1, chunk("LIST", 40001), chunk("id3 ", 3000)), 2,
         TLameMode::STEREO, long(odd), nullptr},
        {"fact.wav", wav(tone(odd, 2), 2, 16, 1, chunk("fact", 4)), 2, TLameMode::STEREO, long(odd), nullptr},
        {"raw.pcm", tone(odd, 2), 2, TLameMode::STEREO, long(odd), nullptr},
        {"empty.wav", wav({}, 2), 2, TLameMode::STEREO, 0, nullptr},
        {"8bit.wav", wav(Bytes(8000, 0x80), 2, 8), 2, TLameMode::STEREO, -1, "PCM 16 bits"},
        {"24bit.wav", wav(Bytes(9000, 0), 2, 24), 2, TLameMode::STEREO, -1, "PCM 16 bits"},
        {"float.wav", wav(Bytes(8000, 0), 2, 32, 3), 2, TLameMode::STEREO, -1, "PCM 16 bits"},
        {"nodata.wav", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, 2, TLameMode::STEREO, -1, "PCM 16 bits"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TLameCoder coder;
        coder.SetMode(c.mode);
        coder.SetInputFiles({dir.file(c.name, c.file)});
        std::vector<uint16_t> progress;
        coder.OnProgress = [&](TLameCoder*, uint16_t p) { progress.push_back(p); };
        if (c.frames < 0) {
            try {
                coder.Encode();
                ADD_FAILURE() << "no error";
            } catch (const ELameError& e) {
                EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
            }
            continue;
        }
        coder.Encode();
        long decoded = decodedFrames(coder.OutputFiles()[0], c.channels);
        if (c.frames == 0) {
            EXPECT_TRUE(progress.empty());
            EXPECT_LT(decoded, 2 * 1152);
            continue;
        }
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), 100);
        // The codec adds its delay and pads the last frame: less than two frames either way.
        EXPECT_GE(decoded, c.frames - 1152);
        EXPECT_LE(decoded, c.frames + 2 * 1152);
    }
}

TEST(Coder, EventsAbortAndErrorsEndTheRun)
{
    Folder dir;
    std::string a = dir.file("a.wav", wav(tone(30000, 2), 2));
    std::string b = dir.file("b.wav", wav(tone(20000, 2), 2));
    TLameCoder coder;
    std::string log;
    coder.OnBeginProcess = [&](TLameCoder*) { log += "<"; };
    coder.OnBeginFile = [&](TLameCoder*, uint16_t n, const std::string& f) { log += "b" + std::to_string(n) + (f == a || f == b ? "" : "?"); };
    coder.OnEndFile = [&](TLameCoder*, uint16_t n, const std::string& f) { log += "e" + std::to_string(n) + (f.ends_with(".mp3") ? "" : "?"); };
    coder.OnEndProcess = [&](TLameCoder*) { log += ">"; };
    coder.Encode();
    EXPECT_EQ(log, "<>");
    log.clear();
    coder.SetInputFiles({a, b});
    coder.Abort();  // before the run: no effect
    coder.Encode();
    EXPECT_EQ(log, "<b0e0b1e1>");

    // A stop from a progress handler ends the run after the chunk under way.
    log.clear();
    std::remove((dir.path + "/b.mp3").c_str());
    coder.OnProgress = [&](TLameCoder* s, uint16_t) { s->Abort(); };
    coder.Encode();
    EXPECT_EQ(log, "<b0");
    EXPECT_FALSE(std::ifstream(dir.path + "/b.mp3").good());
    coder.OnProgress = nullptr;

    // A full disk: short writes of a chunk and of the final flush.
    coder.SetInputFiles({a});
    coder.Encode();
    const long full = long(cdtest::readFile(dir.path + "/a.mp3").size());
    std::signal(SIGXFSZ, SIG_IGN);
    struct { rlim_t limit; const char* error; } rows[] = {{1000, "Write Error"}, {rlim_t(full - 1), "Write error"}};
    for (auto& row : rows) {
        log.clear();
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = row.limit;
        setrlimit(RLIMIT_FSIZE, &small);
        std::string what = "no error";
        try { coder.Encode(); } catch (const ELameError& e) { what = e.what(); }
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(what, row.error);
        EXPECT_EQ(log, "<b0");
    }
}

}  // namespace
