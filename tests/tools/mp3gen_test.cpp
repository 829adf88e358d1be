// The MP3 writer's files as independent readers see them: mutagen for tags and MPEG frames,
// lame for decoding.
#include "mp3gen.h"
#include "probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace sonoverne::mp3gen;

constexpr double kFrameSeconds = 1152.0 / 44100;

Id3v2Spec AccentedTag()
{
    Id3v2Spec tag;
    tag.texts = {Utf8ToLatin1("Où est passée Éléonore ?"),
                 Utf8ToLatin1("Søren & Señora Çava"),
                 Utf8ToLatin1("L'Été à Noël"),
                 "1987",
                 "Chanson",
                 "4/12",
                 Utf8ToLatin1("Enregistré à Besançon, ÿ compris")};
    return tag;
}

class Mp3GenTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return dir_.path() + "/" + name; }
    probe::TempDir dir_;
};

TEST_F(Mp3GenTest, Id3v2TextsAndCommentReadBackInEveryEncoding)
{
    struct Case {
        int version;
        TextEncoding encoding;
        bool terminated;
    };
    // A comment over 127 bytes: an ID3v2.4 frame size that is not sync-safe misleads mutagen.
    std::string longComment;
    for (int i = 0; i < 6; ++i) longComment += "Enregistré à Besançon, ÿ compris. ";
    for (const Case c :
         {Case{3, TextEncoding::Latin1, false}, Case{3, TextEncoding::Utf16, false}, Case{4, TextEncoding::Utf8, false},
          Case{3, TextEncoding::Latin1, true}, Case{3, TextEncoding::Utf16, true}, Case{4, TextEncoding::Utf8, true},
          Case{4, TextEncoding::Latin1, true}}) {
        SCOPED_TRACE("v2." + std::to_string(c.version) + " encoding " + std::to_string(static_cast<int>(c.encoding)) +
                     (c.terminated ? " ending in 0" : ""));
        Mp3Spec spec;
        spec.id3v2 = AccentedTag();
        spec.id3v2->version = c.version;
        spec.id3v2->encoding = c.encoding;
        spec.id3v2->terminated = c.terminated;
        spec.id3v2->texts.comment = Utf8ToLatin1(longComment);
        spec.id3v2->padding = 300;
        spec.audio = SilentFrames(20);
        WriteMp3(Path("a.mp3"), spec);

        const probe::FileReport r = probe::MutagenFile(Path("a.mp3"));
        ASSERT_TRUE(r.hasId3);
        EXPECT_EQ(r.id3Version, c.version == 4 ? "2.4.0" : "2.3.0");
        // The size in the header covers the frames and the padding, up to the first MPEG frame.
        EXPECT_EQ(r.id3Size, r.size - static_cast<long>(spec.audio.size()));
        EXPECT_GE(r.id3Size, 10 + 300);
        const std::map<std::string, std::string> expected = {{"TIT2", "Où est passée Éléonore ?"},
                                                             {"TPE1", "Søren & Señora Çava"},
                                                             {"TALB", "L'Été à Noël"},
                                                             {c.version == 4 ? "TDRC" : "TYER", "1987"},
                                                             {"TCON", "Chanson"},
                                                             {"TRCK", "4/12"}};
        ASSERT_EQ(r.texts.size(), expected.size());
        for (const auto& [id, text] : expected) {
            ASSERT_TRUE(r.texts.contains(id)) << id;
            EXPECT_EQ(r.texts.at(id).text, text) << id;
            EXPECT_EQ(r.texts.at(id).encoding, static_cast<int>(c.encoding)) << id;
            EXPECT_EQ(r.texts.at(id).terminated, c.terminated) << id;
        }
        ASSERT_TRUE(r.hasComment);
        EXPECT_EQ(r.commentLanguage, "eng");
        EXPECT_EQ(r.commentDescription, "");
        EXPECT_EQ(r.comment.encoding, static_cast<int>(c.encoding));
        EXPECT_EQ(r.comment.text, longComment);
        EXPECT_EQ(r.comment.terminated, c.terminated);
    }
    // Byte for byte, as mutagen writes them: a byte-order mark before each UTF-16 string, the
    // empty description's terminator, the text's terminator.
    Id3v2Spec utf16;
    utf16.encoding = TextEncoding::Utf16;
    utf16.terminated = true;
    EXPECT_EQ(TextFrameData(utf16, "\xE9t"), std::string("\x01\xFF\xFE\xE9\0t\0\0\0", 9));
    utf16.texts.comment = "x";
    EXPECT_NE(Id3v2Tag(utf16).find(std::string("COMM\0\0\0\x0E\0\0\x01"
                                               "eng\xFF\xFE\0\0\xFF\xFEx\0\0\0",
                                               24)),
              std::string::npos);
    Id3v2Spec utf8;
    utf8.version = 4;
    utf8.encoding = TextEncoding::Utf8;
    EXPECT_EQ(TextFrameData(utf8, "\xE9t"), "\x03\xC3\xA9t");
    // ID3v2.4 frame sizes are sync-safe (mutagen forgives sizes that are not).
    utf8.texts.title = std::string(300, 'a');
    EXPECT_EQ(Id3v2Tag(utf8).substr(10, 10), std::string("TIT2\0\0\x02\x2D\0\0", 10));
}

TEST_F(Mp3GenTest, EmptyTextsWriteNoFrameAndExtraFramesFollow)
{
    Id3v2Spec only;
    only.texts.title = "Seul";
    only.extraFrames.push_back({"TCOM", std::string("\0Compositeur", 12)});
    Mp3Spec spec{only, SilentFrames(8), std::nullopt};
    WriteMp3(Path("b.mp3"), spec);
    probe::FileReport r = probe::MutagenFile(Path("b.mp3"));
    ASSERT_EQ(r.texts.size(), 2u);
    EXPECT_EQ(r.texts["TIT2"].text, "Seul");
    EXPECT_EQ(r.texts["TCOM"].text, "Compositeur");
    EXPECT_FALSE(r.hasComment);

    // A tag of padding alone is still a tag, and the audio is still found after it.
    Id3v2Spec bare;
    bare.padding = 1000;
    WriteMp3(Path("c.mp3"), {bare, SilentFrames(8), std::nullopt});
    r = probe::MutagenFile(Path("c.mp3"));
    ASSERT_TRUE(r.hasId3);
    EXPECT_TRUE(r.texts.empty());
    EXPECT_EQ(r.id3Size, 1010);
    EXPECT_TRUE(r.hasMpeg);
    EXPECT_NEAR(r.length, 8 * kFrameSeconds, kFrameSeconds);
}

TEST_F(Mp3GenTest, BadFrameIdsAreRefused)
{
    Id3v2Spec tag;
    tag.extraFrames.push_back({"TOOLONG", "x"});
    EXPECT_THROW(Id3v2Tag(tag), Error);
    Id3v2Spec badVersion;
    badVersion.version = 2;
    EXPECT_THROW(Id3v2Tag(badVersion), Error);
    Id3v2Spec utf8InV23;
    utf8InV23.encoding = TextEncoding::Utf8;
    EXPECT_THROW(Id3v2Tag(utf8InV23), Error);
    Id3v1Spec v1;
    v1.track = 256;
    EXPECT_THROW(Id3v1Block(v1), Error);
}

TEST_F(Mp3GenTest, Id3v1BlockIsReadWithItsFieldWidths)
{
    Id3v1Spec v1;
    v1.title = "Un titre beaucoup trop long pour trente octets";
    v1.artist = Utf8ToLatin1("Zoé");
    v1.album = "Album";
    v1.year = "2001";
    v1.comment = "Commentaire de trente octets et plus";
    v1.track = 7;
    v1.genre = 17;  // Rock
    WriteMp3(Path("v1.mp3"), {std::nullopt, SilentFrames(10), v1});
    probe::FileReport r = probe::MutagenFile(Path("v1.mp3"));
    ASSERT_TRUE(r.hasId3);
    EXPECT_EQ(r.id3Version, "1.1");
    EXPECT_EQ(r.texts["TIT2"].text, "Un titre beaucoup trop long po");
    EXPECT_EQ(r.texts["TPE1"].text, "Zoé");
    EXPECT_EQ(r.texts["TALB"].text, "Album");
    EXPECT_EQ(r.texts["TRCK"].text, "7");
    EXPECT_EQ(r.texts["TCON"].text, "17");  // mutagen keeps the genre number
    EXPECT_EQ(r.comment.text, "Commentaire de trente octets");
    EXPECT_EQ(r.size, static_cast<long>(SilentFrames(10).size()) + 128);

    // ID3v1.0 has no track: the comment takes all thirty bytes up to the genre byte.
    v1.track = 0;
    WriteMp3(Path("v10.mp3"), {std::nullopt, SilentFrames(10), v1});
    const std::string bytes = probe::ReadBytes(Path("v10.mp3"));
    ASSERT_GE(bytes.size(), 128u);
    const std::string block = bytes.substr(bytes.size() - 128);
    EXPECT_EQ(block.substr(0, 3), "TAG");
    EXPECT_EQ(block.substr(97, 30), "Commentaire de trente octets e");
    EXPECT_EQ(static_cast<unsigned char>(block[127]), 17);
    v1.comment = "Court";
    WriteMp3(Path("v10.mp3"), {std::nullopt, SilentFrames(10), v1});
    r = probe::MutagenFile(Path("v10.mp3"));
    EXPECT_FALSE(r.texts.contains("TRCK"));
    EXPECT_EQ(r.comment.text, "Court");
}

TEST_F(Mp3GenTest, BothTagsAroundTheAudio)
{
    Id3v1Spec v1;
    v1.title = "Ancien";
    WriteMp3(Path("both.mp3"), {AccentedTag(), SilentFrames(40), v1});
    const probe::FileReport r = probe::MutagenFile(Path("both.mp3"));
    EXPECT_EQ(r.id3Version, "2.3.0");
    EXPECT_EQ(r.texts.at("TIT2").text, "Où est passée Éléonore ?");
    EXPECT_NEAR(r.length, 40 * kFrameSeconds, kFrameSeconds);
    const probe::Decoded d = probe::LameDecode(Path("both.mp3"), Path("both.wav"));
    EXPECT_EQ(d.exitCode, 0);
    EXPECT_FALSE(d.samples.empty());
}

TEST_F(Mp3GenTest, SilentFramesAreValidAtEveryRate)
{
    struct Case {
        int kbps, hz;
    };
    for (const Case c : {Case{128, 44100}, Case{320, 48000}, Case{32, 32000}, Case{64, 44100}}) {
        SCOPED_TRACE(std::to_string(c.kbps) + " kbit/s " + std::to_string(c.hz) + " Hz");
        const std::string frames = SilentFrames(50, c.kbps, c.hz);
        // Padding keeps the average rate exact: the byte count is within one of the nominal one.
        EXPECT_NEAR(static_cast<double>(frames.size()), 50 * 144.0 * c.kbps * 1000 / c.hz, 1.0);
        WriteMp3(Path("s.mp3"), {std::nullopt, frames, std::nullopt});
        const probe::FileReport r = probe::MutagenFile(Path("s.mp3"));
        ASSERT_TRUE(r.hasMpeg);
        EXPECT_FALSE(r.hasId3);
        EXPECT_EQ(r.sampleRate, c.hz);
        EXPECT_EQ(r.bitrate, c.kbps * 1000);
        EXPECT_EQ(r.channels, 2);
        EXPECT_FALSE(r.sketchy);
        EXPECT_NEAR(r.length, 50 * 1152.0 / c.hz, 1152.0 / c.hz);
    }
    EXPECT_THROW(SilentFrames(1, 130), Error);
    EXPECT_THROW(SilentFrames(1, 128, 22050), Error);
}

TEST_F(Mp3GenTest, FourSilentFramesAreEnoughForMutagen)
{
    // The collection generator relies on this to keep its files small.
    WriteMp3(Path("four.mp3"), {std::nullopt, SilentFrames(4), std::nullopt});
    const probe::FileReport r = probe::MutagenFile(Path("four.mp3"));
    ASSERT_TRUE(r.hasMpeg);
    EXPECT_FALSE(r.sketchy);
    EXPECT_GT(r.length, 0);
}

TEST_F(Mp3GenTest, LameDecodesSilenceAsSilence)
{
    WriteMp3(Path("quiet.mp3"), {AccentedTag(), SilentFrames(30), std::nullopt});
    const probe::Decoded d = probe::LameDecode(Path("quiet.mp3"), Path("quiet.wav"));
    ASSERT_EQ(d.exitCode, 0);
    EXPECT_EQ(d.channels, 2);
    // lame drops the decoder delay at the start; the rest is all there.
    EXPECT_NEAR(static_cast<double>(d.samples.size()) / 2, 30 * 1152, 1152);
    EXPECT_TRUE(std::all_of(d.samples.begin(), d.samples.end(), [](short s) { return s == 0; }));
}

TEST_F(Mp3GenTest, ToneIsEncodedAudibleAndUnclipped)
{
    const std::string audio = ToneFrames({{440, 0.5}, {0, 0.2}, {660, 0.5}});
    ASSERT_GE(audio.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(audio[0]), 0xFF) << "no tag or info frame before the audio";
    WriteMp3(Path("tone.mp3"), {AccentedTag(), audio, std::nullopt});
    const probe::FileReport r = probe::MutagenFile(Path("tone.mp3"));
    ASSERT_TRUE(r.hasMpeg);
    EXPECT_EQ(r.sampleRate, 44100);
    EXPECT_EQ(r.bitrate, 128000);
    EXPECT_NEAR(r.length, 1.2, 0.1);
    EXPECT_EQ(r.texts.at("TPE1").text, "Søren & Señora Çava");

    const probe::Decoded d = probe::LameDecode(Path("tone.mp3"), Path("tone.wav"));
    ASSERT_EQ(d.exitCode, 0);
    ASSERT_FALSE(d.samples.empty());
    double energy = 0;
    int peak = 0;
    for (short s : d.samples) {
        energy += static_cast<double>(s) * s;
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    EXPECT_GT(std::sqrt(energy / d.samples.size()), 1000.0);
    EXPECT_LT(peak, 32000);
}

TEST(Latin1, RoundTripsEveryByteAndMarksWhatItCannotHold)
{
    std::string all;
    for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
    EXPECT_EQ(Utf8ToLatin1(Latin1ToUtf8(all)), all);
    EXPECT_EQ(Latin1ToUtf8("\xC9l\xE9onore"), "Éléonore");
    EXPECT_EQ(Utf8ToLatin1("5 €"), "5 ?");
    EXPECT_EQ(Utf8ToLatin1("🎵x"), "?x");
    EXPECT_EQ(Utf8ToLatin1("a\xC3"), "a?");    // cut sequence
    EXPECT_EQ(Utf8ToLatin1("\xA9z"), "?z");    // stray continuation byte
    EXPECT_EQ(Utf8ToLatin1("\xC1\x81"), "?");  // overlong 'A'
}

TEST(WriteFile, ReportsThePathItCouldNotCreate)
{
    try {
        WriteFile("/nonexistent-folder-for-sonoverne/x.mp3", "data");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent-folder-for-sonoverne/x.mp3"), std::string::npos);
    }
}

}  // namespace
