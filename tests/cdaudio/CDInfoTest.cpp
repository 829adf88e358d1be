// Disc information over the generated images: track table, playing time and the disc id, which
// must equal libcddb's on every disc.
#include "CDInfo.h"
#include "CdImages.h"

#include <cddb/cddb.h>
#include <gtest/gtest.h>

namespace {

using cdtest::TrackPlan;

cdtest::DiscSet& discs()
{
    // The worked example: tracks at 00:02:00 and 03:10:20, the last one 01:49:54 long.
    static cdtest::DiscSet set({{"example", {{TrackPlan::Noise, 14120, 0, 0}, {TrackPlan::Noise, 8230, 0, 0}}}});
    return set;
}

std::string libcddbId(const cdtest::Disc& d)
{
    cddb_disc_t* disc = cddb_disc_new();
    for (size_t i = 0; i + 1 < d.starts.size(); ++i) {
        cddb_track_t* t = cddb_track_new();
        cddb_track_set_frame_offset(t, int(d.starts[i] + 150));
        cddb_disc_add_track(disc, t);
    }
    cddb_disc_set_length(disc, (d.starts.back() + 150) / 75);
    cddb_disc_calc_discid(disc);
    char text[16];
    std::snprintf(text, sizeof text, "%08x", cddb_disc_get_discid(disc));
    cddb_disc_destroy(disc);
    return text;
}

TEST(CDInfo, MsfArithmetic)
{
    struct {
        uint32_t frames;
        int m, s, f;
    } rows[] = {{0, 0, 0, 0},    {74, 0, 0, 74},   {75, 0, 1, 0},      {4499, 0, 59, 74},
                {4500, 1, 0, 0}, {22500, 5, 0, 0}, {14270, 3, 10, 20}, {99 * 4500 + 59 * 75 + 74, 99, 59, 74}};
    for (auto& r : rows) {
        TMsfTime t;
        FramesToMsf(r.frames, t);
        EXPECT_EQ(t.Minutes, r.m) << r.frames;
        EXPECT_EQ(t.Seconds, r.s) << r.frames;
        EXPECT_EQ(t.Frames, r.f) << r.frames;
        EXPECT_EQ(MsfToFrames(t), r.frames);
        TMsfTime u;
        UnpackMsf(uint32_t(r.m) | uint32_t(r.s) << 8 | uint32_t(r.f) << 16 | 0xAB000000u, u);
        EXPECT_EQ(MsfToFrames(u), r.frames) << "the fourth byte is not part of the time";
    }
    TMsfTime rolled{1, 49, 75};  // a length of 01:49:74 plus the lead-out frame
    FramesToMsf(MsfToFrames(rolled), rolled);
    EXPECT_EQ(rolled.Seconds, 50);
    EXPECT_EQ(rolled.Frames, 0);
}

TEST(CDInfo, EveryDiscMatchesLibcddb)
{
    auto& set = discs();
    for (size_t i = 0; i < set.discs.size(); ++i) {
        const cdtest::Disc& d = set.discs[i];
        SCOPED_TRACE(d.cue);
        TCDInfo info;
        // Either case opens the drive.
        info.Open(i % 2 ? char(std::tolower(set.letter(i))) : set.letter(i));
        uint32_t n = info.GetTrackCount();
        ASSERT_EQ(n, d.starts.size() - 1);
        for (uint32_t t = 1; t <= n; ++t) {
            TMsfTime p, l;
            info.GetTrackPosition(t, p);
            info.GetTrackLength(t, l);
            EXPECT_EQ(MsfToFrames(p), d.starts[t - 1] + 150) << t;
            EXPECT_EQ(MsfToFrames(l), d.starts[t] - d.starts[t - 1] - (t == n ? 1 : 0)) << t;
        }
        EXPECT_EQ(info.GetDiscLength(), int32_t((d.starts.back() + 150) / 75 - (d.starts[0] + 150) / 75));
        std::string id = info.GetDiscIdText();
        EXPECT_EQ(id, libcddbId(d));
        EXPECT_EQ(id.size(), 8u);
        info.Destroy();
    }
}

TEST(CDInfo, WorkedExample)
{
    auto& set = discs();
    TCDInfo info;
    info.Open(set.letter(set.discs.size() - 1));
    TMsfTime l;
    info.GetTrackLength(2, l);
    EXPECT_EQ(l.Minutes * 10000 + l.Seconds * 100 + l.Frames, 14954);
    EXPECT_EQ(info.GetDiscLength(), 298);
    EXPECT_EQ(info.GetDiscId(), 0x0C012A02u);
    EXPECT_EQ(info.GetDiscIdText(), "0c012a02");
}

TEST(CDInfo, FailuresCarryTheDeviceText)
{
    auto& set = discs();
    auto message = [](auto&& f) {
        try {
            f();
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    {
        TCDInfo info;  // C is no CD drive: the open fails, and the close goes to device 0
        EXPECT_NE(message([&] { info.Open('C'); }).find("n'est pas un lecteur de CD"), std::string::npos);
        EXPECT_NE(message([&] { info.GetTrackCount(); }).find("Identificateur de périphérique"), std::string::npos);
        EXPECT_NE(message([&] { info.Destroy(); }).find("Identificateur de périphérique"), std::string::npos);
    }
    {
        TCDInfo info;
        info.Open(set.letter(0));
        TMsfTime t;
        EXPECT_NE(message([&] { info.GetTrackPosition(4, t); }).find("hors de la plage"), std::string::npos);
        EXPECT_NE(message([&] { info.GetTrackLength(0, t); }).find("hors de la plage"), std::string::npos);
    }  // closed by the destructor
}

}  // namespace
