// The ripper on the generated images: drives, tables of contents, and rips that must give the
// audio written into the image byte for byte.
#include "CDInfo.h"
#include "CDRipper.h"
#include "CdImages.h"
#include "CdRipTesting.h"
#include "ErrorOf.h"
#include "FifoWatchdog.h"
#include "MP3Coder.h"
#include "wnaspi32.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

cdtest::DiscSet& discs()
{
    static cdtest::DiscSet set;
    return set;
}

// The drive index of disc i in the ripper's list.
int32_t driveOf(TCDRipper& r, size_t i, cdtest::DiscSet& set = discs())
{
    char letter = set.letter(i);
    for (int32_t k = 0; k < r.Drives.Count(); ++k)
        if (r.Drives.Objects(k)->Letter == letter) return k;
    throw std::runtime_error("no drive");
}

long decodedFrames(const std::string& mp3, int channels)
{
    std::string out = mp3 + ".dec.wav";
    if (std::system(("lame --quiet --decode '" + mp3 + "' '" + out + "'").c_str()) != 0) return -1;
    return long(cdtest::readFile(out).size() - 44) / (2 * channels);
}

TEST(Ripper, DrivesAndTablesOfContents)
{
    EXPECT_EQ(ZeroPad2(1), "01");
    EXPECT_EQ(ZeroPad2(9), "09");
    EXPECT_EQ(ZeroPad2(10), "10");
    EXPECT_EQ(ZeroPad2(100), "100");
    auto& set = discs();
    TCDRipper r;
    ASSERT_EQ(size_t(r.Drives.Count()), set.discs.size() + cdaudio::cdSources().size() - set.discs.size());
    for (size_t i = 0; i < set.discs.size(); ++i) {
        const cdtest::Disc& d = set.discs[i];
        int32_t k = driveOf(r, i);
        EXPECT_EQ(r.Drives.Strings(k), d.cue.substr(d.cue.rfind('/') + 1));
        r.SetActiveCdRomNum(k);
        EXPECT_EQ(r.CdRomName(), r.Drives.Strings(k));
        ASSERT_EQ(size_t(r.Tracks.Count()), d.audio.size());
        EXPECT_EQ(r.TocEntryCount, r.Tracks.Count());
        for (int32_t t = 0; t < r.Tracks.Count(); ++t) {
            EXPECT_EQ(r.Tracks.Strings(t), "Track " + ZeroPad2(uint16_t(t + 1)));
            const TTrack* track = r.Tracks.Objects(t);
            EXPECT_EQ(track->Number, t + 1);
            EXPECT_EQ(uint32_t(track->StartSector), d.starts[size_t(t)]);
            EXPECT_EQ(uint32_t(track->EndSector), d.starts[size_t(t) + 1] - 1);
            EXPECT_EQ(track->Kind, d.audio[size_t(t)] ? "Audio" : "Data");
        }
    }
    // Setting the current drive again reads nothing; outside the list is refused.
    r.Tracks.Clear();
    r.SetActiveCdRomNum(r.ActiveCdRomNum());
    EXPECT_EQ(r.Tracks.Count(), 0);
    EXPECT_EQ(errorOf([&] { r.SetActiveCdRomNum(-1); }),
              "Le N° de lecteur de CD Rom doit être compris entre 0 et " + std::to_string(r.Drives.Count() - 1));
    EXPECT_EQ(errorOf([&] { r.SetActiveCdRomNum(r.Drives.Count()); }).find("Le N° de lecteur de "), 0u);

    // No images and no drive: an empty ripper.
    std::string images = getenv("SONOVERNE_CD_IMAGES");
    unsetenv("SONOVERNE_CD_IMAGES");
    if (cdaudio::cdSources().empty()) {
        TCDRipper none;
        EXPECT_EQ(none.Drives.Count(), 0);
        EXPECT_EQ(none.Tracks.Count(), 0);
        EXPECT_EQ(errorOf([&] { none.SetActiveCdRomNum(0); }), "Aucun lecteur CD Rom trouvé sur ce système");
    }
    setenv("SONOVERNE_CD_IMAGES", images.c_str(), 1);

    wnaspi32::Load();  // not on this system: not an error
    EXPECT_FALSE(wnaspi32::Loaded());
    wnaspi32::Unload();
}

TEST(Ripper, EveryAudioTrackRipsByteForByte)
{
    auto& set = discs();
    TCDRipper r;
    for (size_t i = 0; i < set.discs.size(); ++i) {
        const cdtest::Disc& d = set.discs[i];
        r.SetActiveCdRomNum(driveOf(r, i));
        for (size_t t = 1; t < d.starts.size(); ++t) {
            if (!d.audio[t - 1]) continue;
            SCOPED_TRACE(d.cue + " track " + std::to_string(t));
            std::string out = set.folder + "/rip.raw";
            std::vector<uint16_t> progress;
            r.OnProgress = [&](TCDRipper*, uint16_t p) { progress.push_back(p); };
            r.RipTrack(int32_t(t), out);
            std::vector<uint8_t> got = cdtest::readFile(out), want = d.trackBytes(t);
            EXPECT_EQ(got.size(), want.size());
            EXPECT_TRUE(got == want);
            ASSERT_FALSE(progress.empty());
            EXPECT_EQ(progress.back(), 100);
            EXPECT_EQ(r.JitterErrors, 0);
        }
    }
}

TEST(Ripper, WavHeaderAndOutputFormats)
{
    auto& set = discs();
    const cdtest::Disc& d = set.discs[0];
    const std::vector<uint8_t> pcm = d.trackBytes(2);
    const uint32_t sectors = d.starts[2] - d.starts[1];
    auto sample = [&](size_t frame, int ch) {
        return int16_t(pcm[frame * 4 + size_t(ch) * 2] | pcm[frame * 4 + size_t(ch) * 2 + 1] << 8);
    };
    struct {
        TOutputFormat format;
        uint16_t channels;
        uint32_t rate;
    } rows[] = {{STEREO44100, 2, 44100}, {MONO44100, 1, 44100},   {STEREO22050, 2, 22050},
                {MONO22050, 1, 22050},   {STEREO11025, 2, 11025}, {MONO11025, 1, 11025}};
    TCDRipper r;
    r.SetActiveCdRomNum(driveOf(r, 0));
    r.WriteWav = true;
    for (auto& row : rows) {
        SCOPED_TRACE(int(row.format));
        r.SetOutputFormat(row.format);
        std::string out = set.folder + "/rip.wav";
        r.RipTrack(2, out);
        std::vector<uint8_t> f = cdtest::readFile(out);
        auto u32 = [&](size_t at) {
            return uint32_t(f[at] | f[at + 1] << 8 | f[at + 2] << 16 | uint32_t(f[at + 3]) << 24);
        };
        auto u16 = [&](size_t at) { return uint16_t(f[at] | f[at + 1] << 8); };
        const uint32_t step = 44100 / row.rate;
        const uint32_t data = (sectors - 1) * 588 / step * row.channels * 2;  // the header counts last - first
        ASSERT_EQ(f.size(), 44 + size_t(sectors) * 588 / step * row.channels * 2);
        EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
        EXPECT_EQ(u32(4), data + 36);
        EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(u32(16), 16u);
        EXPECT_EQ(u16(20), 1);
        EXPECT_EQ(u16(22), row.channels);
        EXPECT_EQ(u32(24), row.rate);
        EXPECT_EQ(u32(28), row.rate * row.channels * 2);
        EXPECT_EQ(u16(32), row.channels * 2);
        EXPECT_EQ(u16(34), 16);
        EXPECT_EQ(std::string(f.begin() + 36, f.begin() + 40), "data");
        EXPECT_EQ(u32(40), data);
        // The samples are the image's, averaged over the channels and frames they merge.
        for (size_t k : {size_t(0), size_t(1000), size_t(sectors) * 588 / step - 1}) {
            int32_t l = 0, rr = 0;
            for (uint32_t s = 0; s < step; ++s) {
                l += sample(k * step + s, 0);
                rr += sample(k * step + s, 1);
            }
            l /= int32_t(step);
            rr /= int32_t(step);
            const uint8_t* p = f.data() + 44 + k * row.channels * 2;
            if (row.channels == 1) EXPECT_EQ(int16_t(p[0] | p[1] << 8), int16_t((l + rr) / 2)) << k;
            else EXPECT_EQ(int16_t(p[0] | p[1] << 8), int16_t(l)) << k;
        }
    }
    r.SetOutputFormat(STEREO44100);
}

TEST(Ripper, EncodesWholeTracks)
{
    auto& set = discs();
    TCDRipper r;
    TMP3Coder coder;
    r.SetCoder(&coder);
    r.Encode = true;
    r.WriteWav = true;  // ignored when encoding
    struct {
        size_t disc, track;
        TOutputFormat format;
        int channels;
        bool vbr;
    } rows[] = {{0, 2, STEREO44100, 2, false},
                {0, 3, MONO44100, 1, false},
                {3, 1, STEREO44100, 2, false},
                {0, 2, STEREO44100, 2, true}};
    for (auto& row : rows) {
        SCOPED_TRACE(row.track);
        r.SetActiveCdRomNum(driveOf(r, row.disc));
        r.SetOutputFormat(row.format);
        coder.SetEnableVBR(row.vbr);
        EXPECT_EQ(coder.Mode(), row.channels == 1 ? TMP3CoderMode::MONO : TMP3CoderMode::STEREO);
        const cdtest::Disc& d = set.discs[row.disc];
        std::remove((set.folder + "/enc.mp3").c_str());
        r.RipTrack(int32_t(row.track), set.folder + "/enc.wav");
        const long frames = long(d.starts[row.track] - d.starts[row.track - 1]) * 588;
        long decoded = decodedFrames(set.folder + "/enc.mp3", row.channels);
        // Within the codec's delay and last-frame padding: no block of audio left out. With the
        // VBR header filled in, the decoder trims these: the track's own length.
        if (row.vbr) {
            const std::vector<uint8_t> mp3 = cdtest::readFile(set.folder + "/enc.mp3");
            EXPECT_NE(std::string(mp3.begin(), mp3.begin() + 64).find("Xing"), std::string::npos);
            EXPECT_EQ(decoded, frames);
        } else {
            EXPECT_GE(decoded, frames - 1152);
            EXPECT_LE(decoded, frames + 2 * 1152);
        }
    }
    r.SetOutputFormat(STEREO44100);
}

// The ripper delivers 44100 Hz stereo whatever the encoder settings: the coder's Mode and
// SampleRate are the MP3's own, so every setting keeps the track's length and pitch.
TEST(Ripper, EncodesUnderEverySetting)
{
    auto& set = discs();
    const cdtest::Disc& d = set.discs[0];
    const long frames = long(d.starts[1] - d.starts[0]) * 588;  // track 1: 440 Hz
    TCDRipper r;
    r.SetActiveCdRomNum(driveOf(r, 0));
    TMP3Coder coder;
    coder.CRC = false;
    r.SetCoder(&coder);
    r.Encode = true;
    for (TMP3CoderMode mode :
         {TMP3CoderMode::STEREO, TMP3CoderMode::JSTEREO, TMP3CoderMode::DUALCHANNEL, TMP3CoderMode::MONO})
        for (uint32_t rate : {44100u, 32000u, 22050u})
            for (bool vbr : {false, true}) {
                SCOPED_TRACE(std::to_string(int(mode)) + " " + std::to_string(rate) + (vbr ? " vbr" : " cbr"));
                // As the window sets them, after the coder is attached.
                coder.SetMode(mode);
                coder.SampleRate = rate;
                coder.SetEnableVBR(vbr);
                r.RipTrack(1, set.folder + "/setting.wav");
                const cdtest::Decoded got = cdtest::decode(set.folder + "/setting.mp3");
                const long want = long(int64_t(frames) * rate / 44100);
                EXPECT_EQ(got.rate, rate);
                EXPECT_EQ(got.channels, mode == TMP3CoderMode::MONO ? 1 : 2);
                // The VBR header tells the decoder the encoder's delay and padding; without it,
                // the decoder keeps up to one frame of padding and the delay beyond its own.
                if (vbr) {
                    EXPECT_EQ(got.frames, want);
                } else {
                    EXPECT_GE(got.frames, want);
                    EXPECT_LE(got.frames, want + (rate < 32000 ? 576 : 1152) + 1105);
                }
                EXPECT_NEAR(got.hz, 440, 4.4);
            }
}

TEST(Ripper, EventsAbortAndShortWrites)
{
    auto& set = discs();
    TCDRipper r;
    r.SetActiveCdRomNum(driveOf(r, 3));  // one long track
    std::string log;
    r.OnBeginTrack = [&](TCDRipper*, uint16_t n) { log += "b" + std::to_string(n); };
    r.OnEndTrack = [&](TCDRipper*, uint16_t n) { log += "e" + std::to_string(n); };
    std::string out = set.folder + "/abort.raw";
    r.Abort();  // before the rip: no effect
    r.RipTrack(1, out);
    EXPECT_EQ(cdtest::readFile(out).size(), set.discs[3].image.size());
    EXPECT_EQ(log, "b1e1");

    log.clear();
    int chunks = 0;
    r.OnProgress = [&](TCDRipper* s, uint16_t) {
        if (++chunks == 2) s->Abort();
    };
    r.RipTrack(1, out);
    EXPECT_EQ(log, "b1e1");
    EXPECT_EQ(chunks, 2);
    std::vector<uint8_t> part = cdtest::readFile(out);
    ASSERT_GT(part.size(), 0u);
    EXPECT_LT(part.size(), set.discs[3].image.size());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), set.discs[3].image.begin()));
    EXPECT_TRUE(r.Stopped);
    EXPECT_EQ(r.SectorsAsked, 1234);
    EXPECT_EQ(size_t(r.SectorsRipped) * cdtest::SectorBytes, part.size());

    // The disc becomes unreadable 60 sectors in: the chunks it cannot read are skipped, the one
    // read in part too, and counted.
    chunks = 0;
    r.OnProgress = [&](TCDRipper*, uint16_t) {
        if (++chunks == 1) { EXPECT_EQ(truncate(set.discs[3].bin.c_str(), 60 * long(cdtest::SectorBytes)), 0); }
    };
    r.RipTrack(1, out);
    cdtest::writeFile(set.discs[3].bin, set.discs[3].image);
    part = cdtest::readFile(out);
    EXPECT_FALSE(r.Stopped);
    EXPECT_EQ(r.SectorsRipped, 52);
    EXPECT_EQ(part.size(), 52 * cdtest::SectorBytes);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), set.discs[3].image.begin()));
    r.OnProgress = nullptr;
    r.RipTrack(1, out);
    EXPECT_EQ(r.SectorsRipped, r.SectorsAsked);
    EXPECT_FALSE(r.Stopped);

    // A full disk, raw and encoded: the rip fails with the write error, the file and why, and no
    // end event.
    TMP3Coder coder;
    r.SetCoder(&coder);
    std::signal(SIGXFSZ, SIG_IGN);
    for (bool encode : {false, true}) {
        SCOPED_TRACE(encode);
        r.Encode = encode;
        log.clear();
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 100000;
        setrlimit(RLIMIT_FSIZE, &small);
        int error = 0;
        std::string file;
        std::string what = errorOf([&] {
            try {
                r.RipTrack(1, out);
            } catch (const ECDRIPWriteError& e) {
                error = e.Error;
                file = e.File;
                throw;
            }
        });
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(what, "Write error");
        EXPECT_EQ(error, EFBIG);
        EXPECT_EQ(file, encode ? set.folder + "/abort.mp3" : out);
        EXPECT_EQ(log, "b1");
    }
}

// A damaged disc: the image loses its end after the table of contents was read, so the drive
// fails to read those sectors and paranoia reports its repairs. Each log holds its own rip.
TEST(Ripper, JitterLogBesideTheFile)
{
    cdtest::DiscSet damaged({{"damaged", {{cdtest::TrackPlan::Noise, 300, 0, 0}}}});
    TCDRipper r;
    r.SetActiveCdRomNum(driveOf(r, damaged.discs.size() - 1, damaged));
    ASSERT_EQ(r.Tracks.Count(), 1);
    int reads = 0;
    bool faulty = true;
    CR_SetReadFault([&](int32_t first, long sectors, int16_t* samples) {
        // The first reads around sector 100 come back 20 samples late.
        if (faulty && first <= 100 && first + sectors > 100 && reads++ < 2)
            std::memmove(samples, samples + 40, size_t(sectors * 2352 - 80));
    });
    auto text = [](const std::string& path) {
        std::vector<uint8_t> b = cdtest::readFile(path);
        return std::string(b.begin(), b.end());
    };
    const std::string dir = damaged.folder + "/";
    struct {
        const char* name;
        bool fault, encode;
        const char* audio;
    } rips[] = {{"01 - Intro.wav", true, false, "01 - Intro.wav"},
                {"02 - Clean.wav", false, false, "02 - Clean.wav"},
                {"03 - Again.wav", true, true, "03 - Again.mp3"}};
    TMP3Coder coder;
    r.SetCoder(&coder);
    std::string firstLog;
    for (auto& rip : rips) {
        SCOPED_TRACE(rip.name);
        reads = 0;
        faulty = rip.fault;
        r.Encode = rip.encode;
        r.RipTrack(1, dir + rip.name);
        ASSERT_TRUE(std::ifstream(dir + rip.audio).good());
        std::string base = std::string(rip.name).substr(0, std::string(rip.name).rfind('.'));
        std::string log = text(dir + base + ".jitt");
        if (!rip.fault) {
            EXPECT_EQ(r.JitterErrors, 0);
            EXPECT_TRUE(log.empty()) << "no repairs, no log: " << log;
            continue;
        }
        EXPECT_GT(r.JitterErrors, 0);
        ASSERT_FALSE(r.JitterLog.empty());
        std::string lines;
        for (auto& l : r.JitterLog) lines += l + "\r\n";
        EXPECT_EQ(log, lines);
        // Repaired where the drive slipped, and the audio came out whole.
        unsigned a = 0, b = 0;
        ASSERT_EQ(std::sscanf(r.JitterLog[0].c_str(), "%u %u", &a, &b), 2);
        EXPECT_LE(a, b);
        EXPECT_LE(b, 130u);  // within the read that slipped
        if (!rip.encode) { EXPECT_TRUE(cdtest::readFile(dir + rip.audio) == damaged.discs.back().trackBytes(1)); }
        if (firstLog.empty()) firstLog = log;
        else EXPECT_EQ(log, firstLog) << "each log holds its own rip";
    }
    CR_SetReadFault(nullptr);
}

// A FIFO or a folder where an image's sheet or data file should be: the drive is refused at
// once with the file's name and why, and nothing waits on the FIFO.
TEST(Ripper, ImageFilesThatAreNoRegularFilesAreNotWaitedOn)
{
    using T = cdtest::TrackPlan;
    cdtest::DiscSet set({{"sheet", {{T::Noise, 100}}},
                         {"data", {{T::Noise, 100}}},
                         {"named", {{T::Noise, 100}}},
                         {"folder", {{T::Noise, 100}}},
                         {"late", {{T::Noise, 100}}}});
    const std::string dir = set.folder + "/";
    const std::string toc = dir + "disc.toc";
    std::ofstream(toc) << "CD_DA\n\nTRACK AUDIO\nFILE \"disc.raw\" 0 00:01:00\n";
    setenv("SONOVERNE_CD_IMAGES", (std::string(getenv("SONOVERNE_CD_IMAGES")) + ":" + toc).c_str(), 1);
    std::ofstream(dir + "named.cue", std::ios::trunc)
        << "FILE \"named data.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    const std::vector<std::string> fifos = {dir + "sheet.cue", dir + "data.bin", dir + "named data.bin",
                                            dir + "disc.raw"};
    std::remove(fifos[0].c_str());
    std::remove(fifos[1].c_str());
    for (const std::string& f : fifos) ASSERT_EQ(mkfifo(f.c_str(), 0600), 0) << f;
    std::remove((dir + "folder.bin").c_str());
    ASSERT_EQ(mkdir((dir + "folder.bin").c_str(), 0700), 0);
    std::vector<std::string> watched = fifos;
    watched.push_back(dir + "late.bin");
    const testutil::FifoWatchdog watchdog(watched);
    const std::string fifo = " : N'est pas un fichier ordinaire";
    struct Case {
        std::string sheet, fault;
    } cases[] = {
        {dir + "sheet.cue", dir + "sheet.cue" + fifo},
        {dir + "data.cue", dir + "data.bin" + fifo},
        {dir + "named.cue", dir + "named data.bin" + fifo},
        {dir + "folder.cue", dir + "folder.bin : Est un dossier"},
        {toc, dir + "disc.raw" + fifo},
    };
    TCDRipper r;
    auto driveOfSheet = [&](const std::string& sheet) {
        for (int32_t k = 0; k < r.Drives.Count(); ++k)
            if (cdaudio::cdSourceOfLetter(r.Drives.Objects(k)->Letter) == sheet) return k;
        throw std::runtime_error("no drive");
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sheet);
        TCDInfo info;
        const int32_t k = driveOfSheet(c.sheet);
        EXPECT_EQ(errorOf([&] { info.Open(r.Drives.Objects(k)->Letter); }), "Impossible de lire le fichier " + c.fault);
        r.SetActiveCdRomNum(k);
        EXPECT_EQ(r.Tracks.Count(), 0);
    }
    // A data file that turns into a FIFO once the table is read: the rip makes nothing.
    r.SetActiveCdRomNum(driveOfSheet(dir + "late.cue"));
    ASSERT_EQ(r.Tracks.Count(), 1);
    std::remove((dir + "late.bin").c_str());
    ASSERT_EQ(mkfifo((dir + "late.bin").c_str(), 0600), 0);
    r.RipTrack(1, dir + "late.wav");
    EXPECT_FALSE(std::ifstream(dir + "late.wav").good());
    EXPECT_FALSE(watchdog.fired());
}

}  // namespace
