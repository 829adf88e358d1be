// The encoders: the configuration record, the settings, and whole files encoded by TLameCoder,
// decoded back with lame --decode.
#include "CdImages.h"
#include "LameCoder.h"
#include "MP3Coder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(Bytes& b, uint32_t v)
{
    put16(b, uint16_t(v));
    put16(b, uint16_t(v >> 16));
}
void tag(Bytes& b, const char* t)
{
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(t[i]));
}

// 440 Hz on the left; the right channel 110 Hz higher, or the same tone when spread is 0.
Bytes tone(size_t frames, int channels, uint32_t rate = 44100, int spread = 110)
{
    Bytes pcm;
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            put16(pcm, uint16_t(int16_t(9000 * std::sin(2 * M_PI * (440 + spread * c) * double(i) / rate))));
    return pcm;
}

// A WAV file: fmt fields, chunks before and after the data.
Bytes wav(const Bytes& pcm, uint16_t channels, uint16_t bits = 16, uint16_t format = 1, const Bytes& before = {},
          const Bytes& after = {}, uint32_t rate = 44100)
{
    Bytes b;
    tag(b, "RIFF");
    put32(b, 0);
    tag(b, "WAVE");
    tag(b, "fmt ");
    put32(b, 16);
    put16(b, format);
    put16(b, channels);
    put32(b, rate);
    put32(b, rate * channels * bits / 8);
    put16(b, uint16_t(channels * bits / 8));
    put16(b, bits);
    for (uint8_t x : before) b.push_back(x);
    tag(b, "data");
    put32(b, uint32_t(pcm.size()));
    for (uint8_t x : pcm) b.push_back(x);
    for (uint8_t x : after) b.push_back(x);
    uint32_t riff = uint32_t(b.size() - 8);
    std::memcpy(b.data() + 4, &riff, 4);
    return b;
}

Bytes chunk(const char* id, size_t size)
{
    Bytes b;
    tag(b, id);
    put32(b, uint32_t(size));
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

// The frame the encoder puts first: where a VBR header ("Xing", or "Info" for constant bit
// rate) belongs.
std::string firstFrameTag(const std::string& mp3)
{
    Bytes b = cdtest::readFile(mp3);
    std::string head(b.begin(), b.begin() + long(std::min<size_t>(b.size(), 64)));
    for (const char* t : {"Xing", "Info"})
        if (head.find(t) != std::string::npos) return t;
    return "";
}

struct Folder {
    std::string path = cdtest::tempFolder();
    ~Folder()
    {
        std::string cmd = "rm -rf '" + path + "'";
        if (std::system(cmd.c_str())) {}
    }
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
    struct {
        BE_CONFIG::Offset at;
        uint32_t value;
    } rows[] = {{BE_CONFIG::Kind, 256},
                {BE_CONFIG::StructVersion, 1},
                {BE_CONFIG::StructSize, 331},
                {BE_CONFIG::SampleRate, 22050},
                {BE_CONFIG::ReSampleRate, 0},
                {BE_CONFIG::Mode, 1},
                {BE_CONFIG::Bitrate, 160},
                {BE_CONFIG::MaxBitrate, 256},
                {BE_CONFIG::Preset, 2},
                {BE_CONFIG::MpegVersion, 1},
                {BE_CONFIG::Private, 0},
                {BE_CONFIG::CRC, 0xFFFFFFFF},
                {BE_CONFIG::Copyright, 0xFFFFFFFF},
                {BE_CONFIG::Original, 0},
                {BE_CONFIG::WriteVBRHeader, 0xFFFFFFFF},
                {BE_CONFIG::EnableVBR, 0xFFFFFFFF},
                {BE_CONFIG::VBRQuality, 2}};
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
        long frames;  // -1: expect an error
        const char* error;
    } cases[] = {
        {"canonical.wav", wav(tone(odd, 2), 2), 2, TLameMode::STEREO, long(odd), nullptr},
        {"mono.wav", wav(tone(odd, 1), 1), 1, TLameMode::MONO, long(odd), nullptr},
        {"chunks.wav", wav(tone(odd, 2), 2, 16, 1, chunk("LIST", 40001), chunk("id3 ", 3000)), 2, TLameMode::STEREO,
         long(odd), nullptr},
        {"fact.wav", wav(tone(odd, 2), 2, 16, 1, chunk("fact", 4)), 2, TLameMode::STEREO, long(odd), nullptr},
        {"raw.pcm", tone(odd, 2), 2, TLameMode::STEREO, long(odd), nullptr},
        {"empty.wav", wav({}, 2), 2, TLameMode::STEREO, 0, nullptr},
        {"8bit.wav", wav(Bytes(8000, 0x80), 2, 8), 2, TLameMode::STEREO, -1, "PCM 16 bits"},
        {"24bit.wav", wav(Bytes(9000, 0), 2, 24), 2, TLameMode::STEREO, -1, "PCM 16 bits"},
        {"float.wav", wav(Bytes(8000, 0), 2, 32, 3), 2, TLameMode::STEREO, -1, "PCM 16 bits"},
        {"nodata.wav", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, 2, TLameMode::STEREO, -1,
         "PCM 16 bits"},
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

// A WAV file is encoded as its header says, whatever the settings: its length and pitch kept,
// its channels mixed to the mode, its rate resampled to SampleRate; the VBR header frame filled.
TEST(Coder, KeepsTheLengthAndPitchOfTheInput)
{
    Folder dir;
    const size_t odd = 44100 + 3001;
    struct Case {
        const char* name;
        Bytes file;
        TLameMode mode;
        uint32_t setting;  // SampleRate
        bool vbr, header;
        uint32_t rate;  // of the decoded MP3
        int channels;   // 0: as the library chooses
        long frames;
        const char* tag;  // in the first frame
        long slack;       // decoded length against frames: within [-slack, +slack]; -1: codec delay
        uint32_t bitrate = 128;
    } cases[] = {
        {"vbr.wav", wav(tone(odd, 2), 2), TLameMode::STEREO, 44100, true, true, 44100, 2, long(odd), "Xing", 0},
        {"cbrheader.wav", wav(tone(odd, 2), 2), TLameMode::JSTEREO, 44100, false, true, 44100, 2, long(odd), "Info", 0},
        {"noheader.wav", wav(tone(odd, 2), 2), TLameMode::STEREO, 44100, true, false, 44100, 2, long(odd), "", -1},
        {"stereo-mono.wav", wav(tone(odd, 2, 44100, 0), 2), TLameMode::MONO, 44100, false, false, 44100, 1, long(odd),
         "", -1},
        {"mono-stereo.wav", wav(tone(odd, 1), 1), TLameMode::STEREO, 44100, false, false, 44100, 0, long(odd), "", -1},
        {"mono-dual.wav", wav(tone(odd, 1), 1), TLameMode::DUALCHANNEL, 44100, false, false, 44100, 0, long(odd), "",
         -1},
        {"48k.wav", wav(tone(odd, 2, 48000), 2, 16, 1, {}, {}, 48000), TLameMode::STEREO, 44100, false, false, 44100, 2,
         long(odd * 44100 / 48000), "", -1},
        {"22k-up.wav", wav(tone(odd, 1, 22050), 1, 16, 1, {}, {}, 22050), TLameMode::JSTEREO, 44100, false, false,
         44100, 0, long(odd * 2), "", -1},
        // Five and a half times the samples out of every chunk: the output buffer holds them.
        {"8k-up.wav", wav(tone(odd / 4, 1, 8000), 1, 16, 1, {}, {}, 8000), TLameMode::MONO, 44100, false, false, 44100,
         1, long(odd / 4 * 44100 / 8000), "", -1, 320},
        {"48k-mono-vbr.wav", wav(tone(odd, 2, 48000, 0), 2, 16, 1, {}, {}, 48000), TLameMode::MONO, 32000, true, true,
         32000, 1, long(odd * 32000 / 48000), "Xing", 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TLameCoder coder;
        coder.SetMode(c.mode);
        coder.SampleRate = c.setting;
        coder.Bitrate = c.bitrate;
        coder.SetEnableVBR(c.vbr);
        coder.WriteVBRHeader = c.header;
        coder.SetInputFiles({dir.file(c.name, c.file)});
        coder.Encode();
        const std::string mp3 = coder.OutputFiles()[0];
        EXPECT_EQ(firstFrameTag(mp3), c.tag);
        cdtest::Decoded d = cdtest::decode(mp3);
        EXPECT_EQ(d.rate, c.rate);
        if (c.channels) { EXPECT_EQ(d.channels, c.channels); }
        if (c.slack < 0) {
            EXPECT_GE(d.frames, c.frames - 1152);
            EXPECT_LE(d.frames, c.frames + 2 * 1152);
        } else {
            EXPECT_LE(std::abs(d.frames - c.frames), c.slack) << d.frames << " for " << c.frames;
        }
        EXPECT_NEAR(d.hz, 440, 4.4);
    }
}

// The VBR header frame goes into the frame the stream reserved, behind an ID3v2 tag when one
// precedes the audio; bytes that are not that blank frame are left alone.
TEST(Coder, VBRHeaderFillsTheReservedFrame)
{
    Folder dir;
    TMP3Coder c;
    c.SetEnableVBR(true);
    ASSERT_EQ(c.InitStream(), BE_ERR_SUCCESSFUL);
    Bytes mp3;
    Bytes pcm = tone(c.SamplesPerChunk() / 2 * 12, 2);
    for (size_t at = 0; at < pcm.size(); at += 2 * c.SamplesPerChunk()) {
        uint32_t n = 0;
        ASSERT_EQ(c.EncodeChunk(pcm.data() + at, c.OutputBuffer(), n), BE_ERR_SUCCESSFUL);
        mp3.insert(mp3.end(), c.OutputBuffer(), c.OutputBuffer() + n);
    }
    uint32_t n = 0;
    c.DeinitStream(c.OutputBuffer(), n);
    mp3.insert(mp3.end(), c.OutputBuffer(), c.OutputBuffer() + n);
    ASSERT_GT(mp3.size(), 4000u);
    auto id3 = [](uint8_t version, uint8_t flags, uint32_t size) {
        Bytes b{'I',
                'D',
                '3',
                version,
                0,
                flags,
                uint8_t(size >> 21 & 0x7F),
                uint8_t(size >> 14 & 0x7F),
                uint8_t(size >> 7 & 0x7F),
                uint8_t(size & 0x7F)};
        b.resize(10 + size, 0);
        return b;
    };
    struct {
        const char* name;
        Bytes before;
        size_t frameAt;  // where the frame is: the tag's bytes
        bool filled;
    } cases[] = {
        {"bare", {}, 0, true},
        {"id3v23", id3(3, 0, 300), 310, true},
        {"id3v24 footer",
         [&] {
             Bytes b = id3(4, 0x10, 129);
             b.resize(b.size() + 10, 0);
             return b;
         }(),
         149, true},
        // The tag claims less than it holds: what follows it is no blank frame.
        {"wrong tag size",
         [&] {
             Bytes b = id3(3, 0, 40);
             b.resize(60, 0x55);
             return b;
         }(),
         60, false},
    };
    for (auto& k : cases) {
        SCOPED_TRACE(k.name);
        Bytes file = k.before;
        file.insert(file.end(), mp3.begin(), mp3.end());
        std::string name = dir.file("tag.mp3", file);
        EXPECT_EQ(c.WriteVBRHeaderFrame(name) == BE_ERR_SUCCESSFUL, k.filled);
        Bytes after = cdtest::readFile(name);
        ASSERT_EQ(after.size(), file.size());
        EXPECT_TRUE(std::equal(file.begin(), file.begin() + long(k.frameAt), after.begin()));
        std::string frame(after.begin() + long(k.frameAt), after.begin() + long(k.frameAt) + 64);
        EXPECT_EQ(frame.find("Xing") != std::string::npos, k.filled);
        if (!k.filled) { EXPECT_EQ(after, file); }
        // Once filled, the frame is no longer blank: a second call changes nothing.
        if (k.filled) {
            EXPECT_NE(c.WriteVBRHeaderFrame(name), BE_ERR_SUCCESSFUL);
            EXPECT_EQ(cdtest::readFile(name), after);
        }
    }
    c.CloseStream();
}

TEST(Coder, EventsAbortAndErrorsEndTheRun)
{
    Folder dir;
    std::string a = dir.file("a.wav", wav(tone(30000, 2), 2));
    std::string b = dir.file("b.wav", wav(tone(20000, 2), 2));
    TLameCoder coder;
    std::string log;
    coder.OnBeginProcess = [&](TLameCoder*) { log += "<"; };
    coder.OnBeginFile = [&](TLameCoder*, uint16_t n, const std::string& f) {
        log += "b" + std::to_string(n) + (f == a || f == b ? "" : "?");
    };
    coder.OnEndFile = [&](TLameCoder*, uint16_t n, const std::string& f) {
        log += "e" + std::to_string(n) + (f.ends_with(".mp3") ? "" : "?");
    };
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
    struct {
        rlim_t limit;
        const char* error;
    } rows[] = {{1000, "Write Error"}, {rlim_t(full - 1), "Write error"}};
    for (auto& row : rows) {
        log.clear();
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = row.limit;
        setrlimit(RLIMIT_FSIZE, &small);
        std::string what = "no error";
        try {
            coder.Encode();
        } catch (const ELameError& e) {
            what = e.what();
        }
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(what, row.error);
        EXPECT_EQ(log, "<b0");
    }
}

}  // namespace
