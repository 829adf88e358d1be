#include "id3v2.h"
#include "tagtest.h"

#include <sys/stat.h>
#include <zlib.h>

#include <random>

using namespace tagtest;
using namespace std::string_literals;

namespace {

class Reading : public ::testing::Test {
protected:
    TempDir dir;
    Tid3v2tag tag;
    std::string path = dir.File("song.mp3");

    TTagStatus Load(const std::string& bytes, std::int64_t offset = 0)
    {
        WriteFile(path, bytes);
        return tag.LoadFromFile(path, offset);
    }
    std::string Text(const std::string& id)
    {
        std::string t;
        EXPECT_EQ(tag.GetTextFrame(id, t), 0) << id;
        return t;
    }
    std::string Data(std::uint32_t i) { return ToString(tag.Frames.Data(i)); }
};

const std::string kTitle = FrameV23("TIT2", "\0Title"s);
const std::string kArtist = FrameV23("TPE1", "\0Artist"s);

// Reads every text and comment the windows read, as a caller would; none may throw.
void ReadEverything(Tid3v2tag& t)
{
    std::string text;
    for (const char* id : {"TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK"}) t.GetTextFrame(id, text);
    TCommentFrame c;
    t.GetComment(c, "", "None");
}

}  // namespace

TEST_F(Reading, NoTagAndHeaderChecks)
{
    EXPECT_EQ(Load("ID3\3\0\0\0\0"s), 0x1000);  // 9 bytes
    EXPECT_EQ(Load("XYZ\3\0\0\0\0\0\0" + kTitle), 0x1000);
    EXPECT_EQ(Load(Tag(3, kTitle), std::int64_t(Tag(3, kTitle).size())), 0x0800);
    EXPECT_EQ(Load(Tag(3, kTitle), -1), 0x0800);
    EXPECT_EQ(Load(Header(2, 0, 0) + "xxxxxxxxxx"), 0x1100);
    EXPECT_EQ(Load(Header(5, 0, 0) + "xxxxxxxxxx"), 0x1100);
    EXPECT_EQ(Load("ID3\xFF\0\0\0\0\0\0"s), 0x1000);
    EXPECT_EQ(Load("ID3\3\xFF\0\0\0\0\0"s), 0x1000);
    EXPECT_EQ(Load("ID3\3\0\0\0\x80\0\0"s), 0x1000);
    EXPECT_EQ(Load(Header(3, 0, 100) + kTitle), 0x2000);
    EXPECT_EQ(tag.LoadFromFile(dir.File("missing.mp3"), 0), 0x0100);
    EXPECT_EQ(tag.FileName, dir.File("missing.mp3"));
    EXPECT_EQ(tag.LoadFromFile(dir.Path().string(), 0), 0x0100);  // a folder is not a file
    const std::string fifo = dir.File("fifo.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(tag.LoadFromFile(fifo, 0), 0x0100);  // and must not wait for a writer
}

TEST_F(Reading, RevisionsAndFlagWarnings)
{
    const std::string body = kTitle;
    EXPECT_EQ(Load(Header(3, 0, std::uint32_t(body.size()), 1) + body), 0x0010);
    EXPECT_EQ(tag.Revision, 1);
    EXPECT_EQ(Text("TIT2"), "Title");
    tag.AcceptRevisions = false;
    EXPECT_EQ(Load(Header(3, 0, std::uint32_t(body.size()), 1) + body), 0x1100);
    EXPECT_EQ(tag.MajorVersion, 3);
    EXPECT_EQ(tag.Frames.Count(), 0u);
    tag.AcceptRevisions = true;
    EXPECT_EQ(Load(Tag(3, body, 0x01)), 0x0080);
    EXPECT_EQ(Load(Tag(3, body, 0x10)), 0x0080);  // a footer is not an ID3v2.3 flag
    EXPECT_EQ(tag.Flags, 0);
    EXPECT_EQ(Load(Tag(4, FrameV24("TIT2", "\0T"s), 0x30)), 0);
    EXPECT_EQ(tag.Flags, 0x30);
    EXPECT_EQ(Load(Tag(4, FrameV24("TIT2", "\0T"s), 0x08)), 0x0080);
    EXPECT_FALSE(tag.Modified);
}

TEST_F(Reading, FieldsAfterALoad)
{
    const std::string body = kTitle + kArtist + std::string(30, '\0');
    EXPECT_EQ(Load("junk" + Tag(3, body) + Audio(100), 4), 0);
    EXPECT_EQ(tag.TagOffset, 4);
    EXPECT_EQ(tag.TagSize, body.size());
    EXPECT_EQ(tag.PaddingSize, 30u);
    EXPECT_TRUE(tag.Done);
    EXPECT_EQ(tag.Progress, 100);
    EXPECT_EQ(tag.ProgressText, "Load Complete");
    EXPECT_EQ(tag.Status, 0);
    ASSERT_EQ(tag.Frames.Count(), 2u);
    EXPECT_EQ(tag.Frames.GetFrameOffset(1), 10u);
    EXPECT_EQ(tag.Frames.GetFrameOffset(2), 10u + kTitle.size());
    EXPECT_EQ(tag.Frames.Record(2).HeaderLength, 10u);
    EXPECT_EQ(Data(2), "\0Artist"s);
    EXPECT_EQ(Text("TPE1"), "Artist");
    EXPECT_FALSE(tag.FileProtected);

    // A load that finds no tag starts but does not complete.
    EXPECT_EQ(Load(Audio(50)), 0x1000);
    EXPECT_FALSE(tag.Done);
    EXPECT_EQ(tag.Progress, 0);
    EXPECT_EQ(tag.ProgressText, "Loading tag");
    EXPECT_EQ(tag.TagOffset, 0);  // where this load looked, not where the last tag was
}

TEST_F(Reading, ProtectedFiles)
{
    const std::string hidden = dir.File(".hidden.mp3");
    WriteFile(hidden, Tag(3, kTitle));
    EXPECT_EQ(tag.LoadFromFile(hidden, 0), 0);
    EXPECT_TRUE(tag.FileProtected);
    Load(Tag(3, kTitle));
    chmod(path.c_str(), 0444);
    EXPECT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_TRUE(tag.FileProtected);
    chmod(path.c_str(), 0644);
    EXPECT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_FALSE(tag.FileProtected);
}

TEST_F(Reading, Padding)
{
    EXPECT_EQ(Load(Tag(3, kTitle + kArtist) + Audio(10)), 0);
    EXPECT_EQ(tag.PaddingSize, 0u);
    EXPECT_EQ(Load(Tag(3, kTitle + std::string(100, '\0'))), 0);
    EXPECT_EQ(tag.PaddingSize, 100u);
    EXPECT_EQ(Load(Tag(3, kTitle + std::string(4, '\0'))), 0);  // a short candidate
    EXPECT_EQ(tag.PaddingSize, 4u);
    EXPECT_EQ(Load(Tag(3, "MP3e" + std::string(40, 'x'))), 0);
    EXPECT_EQ(tag.Frames.Count(), 0u);
    EXPECT_EQ(tag.PaddingSize, 44u);
    EXPECT_EQ(Load(Tag(4, FrameV24("TIT2", "\0T"s) + "MP3ePADDING")), 0);
    EXPECT_EQ(tag.PaddingSize, 11u);

    // ID3v2.3 extended header: the padding it states against the padding found.
    const std::string ext200 = BE32(6) + Bytes({0, 0}) + BE32(200);
    EXPECT_EQ(Load(Tag(3, ext200 + kTitle + std::string(100, '\0'), 0x40)), 0x0004);
    EXPECT_EQ(tag.PaddingSize, 200u);
    const std::string ext100 = BE32(6) + Bytes({0, 0}) + BE32(100);
    EXPECT_EQ(Load(Tag(3, ext100 + kTitle + std::string(100, '\0'), 0x40)), 0);
    EXPECT_EQ(tag.PaddingSize, 100u);
    EXPECT_EQ(tag.ExtHeaderSize, 6u);
    // A tag ending inside a frame header: corrupt, unless the extended header states padding.
    EXPECT_EQ(Load(Tag(3, kTitle + "TPE1\0\0"s)), 0xFE00);
    EXPECT_EQ(Load(Tag(3, ext100 + kTitle + "TPE1\0\0"s, 0x40)), 0);
    EXPECT_EQ(Load(Tag(3, kTitle + FrameV23("TPE1", ""))), 0xFE00);
}

TEST_F(Reading, FrameErrorsKeepEarlierFrames)
{
    EXPECT_EQ(Load(Tag(3, kTitle + FrameV23("TI-2", "\0x"s) + kArtist)), 0x2100);
    ASSERT_EQ(tag.Frames.Count(), 1u);
    EXPECT_EQ(Text("TIT2"), "Title");
    EXPECT_EQ(tag.Status, 0x2100);
    EXPECT_EQ(Load(Tag(3, kTitle + "TPE1" + BE32(1000) + "\0\0\0A"s)), 0xFE00);
    ASSERT_EQ(tag.Frames.Count(), 2u);  // the frame that did not fit stays, empty
    EXPECT_TRUE(tag.Frames.Data(2).empty());
    EXPECT_EQ(Load(Tag(4, FrameV24("TIT2", "\0T"s) + "TPE1" + Synchsafe(100) + "\0\0\0A"s)), 0xFE00);
    // Extra header bytes that do not fit in the frame.
    EXPECT_EQ(Load(Tag(3, FrameV23("TIT2", "\0\0"s, 0, 0x80) + std::string(10, '\0'))), 0xFE00);
    EXPECT_EQ(Load(Tag(4, FrameV24("TIT2", "\0"s, 0, 0x41) + std::string(10, '\0'))), 0xFE00);
    // Frame identifiers in lower case are taken in upper case.
    EXPECT_EQ(Load(Tag(3, FrameV23("tit2", "\0low"s))), 0);
    EXPECT_EQ(Text("TIT2"), "low");
}

TEST_F(Reading, FrameFlagsAndExtraBytes)
{
    // ID3v2.3: status 0xE0 becomes 0x70; compression, encryption, grouping take their bytes.
    const std::string packed = FrameV23("TIT2", BE32(5) + "\x81\x42zzz"s, 0xE0, 0xE0);
    EXPECT_EQ(Load(Tag(3, packed + std::string(10, '\0'))), 0);
    EXPECT_EQ(tag.Frames.GetReadFlags(1, 1), 0x70);
    EXPECT_EQ(tag.Frames.GetReadFlags(1, 2), 0x4D);
    EXPECT_EQ(tag.Frames.GetWriteFlags(1, 2), 0x4D);
    EXPECT_EQ(tag.Frames.GetDataLength(1), 5u);
    EXPECT_EQ(tag.Frames.GetEncryptionMethod(1), 0x81);
    EXPECT_EQ(tag.Frames.GetGroupID(1), 0x42);
    EXPECT_EQ(tag.Frames.Record(1).HeaderLength, 16u);
    EXPECT_EQ(Data(1), "zzz");
    // ID3v2.4: grouping, encryption, data length in that order.
    const std::string v24 = FrameV24("TALB", "\x07\x81"s + Synchsafe(300) + "abc", 0x70, 0x45);
    EXPECT_EQ(Load(Tag(4, v24)), 0);
    EXPECT_EQ(tag.Frames.GetGroupID(1), 7);
    EXPECT_EQ(tag.Frames.GetEncryptionMethod(1), 0x81);
    EXPECT_EQ(tag.Frames.GetDataLength(1), 300u);
    EXPECT_EQ(tag.Frames.GetReadFlags(1, 1), 0x70);
    EXPECT_EQ(Data(1), "abc");
    // An ID3v2.3 compressed frame keeps its compressed data until a text is asked for.
    const std::string text = "\0Compressed title"s;
    uLongf n = compressBound(uLong(text.size()));
    std::string z(n, '\0');
    compress(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()));
    z.resize(n);
    EXPECT_EQ(Load(Tag(3, FrameV23("TIT2", BE32(std::uint32_t(text.size())) + z, 0, 0x80))), 0);
    EXPECT_EQ(tag.Frames.GetReadFlags(1, 2), 0x09);
    EXPECT_EQ(tag.Frames.GetDataLength(1), text.size());
    EXPECT_EQ(Data(1), z);
    EXPECT_EQ(Text("TIT2"), "Compressed title");
}

TEST_F(Reading, ExtendedHeaders)
{
    // ID3v2.3 with a CRC that does not match: read, stored, no warning.
    const std::string ext = BE32(10) + Bytes({0x80, 0}) + BE32(0) + BE32(0xDEADBEEF);
    EXPECT_EQ(Load(Tag(3, ext + kTitle, 0x40)), 0);
    EXPECT_EQ(tag.CRC, 0xDEADBEEFu);
    EXPECT_EQ(tag.ExtFlags, 0x20);
    EXPECT_EQ(tag.ExtHeaderSize, 10u);
    EXPECT_EQ(Text("TIT2"), "Title");
    EXPECT_EQ(Load(Tag(3, BE32(6) + Bytes({0x40, 1}) + BE32(0) + kTitle, 0x40)), 0x0040);
    EXPECT_EQ(Load(Tag(3, kTitle)), 0);
    EXPECT_EQ(tag.ExtHeaderSize + tag.CRC + tag.ExtFlags, 0u);

    // ID3v2.4: update, CRC in five 7-bit bytes, restrictions.
    const std::string ext4 = Synchsafe(15) + "\x01\x70\x00\x05"s + Bytes({0x0D, 0x75, 0x36, 0x7D, 0x6F}) + "\x01\x23"s;
    const std::string body = FrameV24("TIT2", "\0V4"s);
    EXPECT_EQ(Load(Tag(4, ext4 + body, 0x40)), 0);
    EXPECT_EQ(tag.ExtFlags, 0x70);
    EXPECT_EQ(tag.CRC, 0xDEADBEEFu);
    EXPECT_EQ(tag.Restrictions, 0x23);
    EXPECT_EQ(tag.ExtHeaderSize, 15u);
    EXPECT_EQ(Text("TIT2"), "V4");
    EXPECT_EQ(Load(Tag(4, Synchsafe(7) + "\x02\x01\x00"s + body, 0x40)), 0x0040);
    EXPECT_EQ(Load(Tag(4, Synchsafe(5) + "\x01\x00"s + body, 0x40)), 0xFE00);
    EXPECT_EQ(Load(Tag(4, Synchsafe(6) + "\x00\x00"s + body, 0x40)), 0xFE00);
    EXPECT_EQ(Load(Tag(4, Synchsafe(9) + "\x01\x20\x03\x01\x02"s + body, 0x40)), 0xFE00);
    EXPECT_EQ(Load(Tag(4, Synchsafe(500) + "\x01\x00"s + body, 0x40)), 0xFE00);
    EXPECT_EQ(Load(Tag(4, Synchsafe(7) + "\x01\x20\x05"s + body, 0x40)), 0xFE00);  // CRC past its header
    // A footer: the loader takes the tag size and no more.
    EXPECT_EQ(Load(Tag(4, body, 0x10) + "3DI\4\0\x10"s + Synchsafe(std::uint32_t(body.size())) + Audio(20)), 0);
    EXPECT_EQ(tag.Frames.Count(), 1u);
}

TEST_F(Reading, TagWideUnsynchronisation)
{
    const std::string plain = FrameV23("PRIV", "o\0"s + Bytes({0xFF, 0xE0, 0x41, 0xFF, 0x00, 0x41}));
    const std::string onDisk = Tag(3, Unsync(plain), 0x80);
    ASSERT_NE(onDisk.find(Bytes({0xFF, 0x00, 0xE0})), std::string::npos);
    EXPECT_EQ(Load(onDisk), 0);
    EXPECT_EQ(Data(1), "o\0"s + Bytes({0xFF, 0xE0, 0x41, 0xFF, 0x00, 0x41}));
    // ID3v2.4: the header flag removes nothing; each frame says for itself.
    const std::string v24 = FrameV24("PRIV", Bytes({0xFF, 0x00, 0xE0}));
    EXPECT_EQ(Load(Tag(4, v24, 0x80)), 0);
    EXPECT_EQ(Data(1), Bytes({0xFF, 0x00, 0xE0}));
}

// The ring holds 64 KB: pairs split by every refill, at every offset around the block ends.
TEST_F(Reading, UnsynchronisationAcrossRefills)
{
    std::mt19937 rng(2026);
    const std::uint8_t alphabet[] = {0xFF, 0xFF, 0x00, 0xE0, 0xF3, 0x41};
    for (int round = 0; round < 24; ++round) {
        const std::size_t size = 60000 + rng() % 150000;
        std::string payload(size, '\0');
        for (char& c : payload) c = char(alphabet[rng() % sizeof alphabet]);
        payload.back() = 'x';
        const std::string body = FrameV23("PRIV", payload) + kTitle + std::string(rng() % 3000, '\0');
        ASSERT_EQ(Load(Tag(3, Unsync(body), 0x80) + Audio(100)), 0) << round;
        ASSERT_EQ(tag.Frames.Count(), 2u);
        ASSERT_EQ(Data(1), payload) << round;
        EXPECT_EQ(Text("TIT2"), "Title");
    }
    // A pair placed exactly on each side of the first refill.
    for (std::size_t shift = 65520; shift < 65545; ++shift) {
        std::string payload(shift, 'a');
        payload += Bytes({0xFF, 0x00, 0xFF, 0xE0, 0xFF, 0xFF, 0x00, 0x00});
        payload += std::string(70000, 'b');
        const std::string body = FrameV23("PRIV", payload) + kArtist;
        ASSERT_EQ(Load(Tag(3, Unsync(body), 0x80)), 0) << shift;
        ASSERT_EQ(Data(1), payload) << shift;
        EXPECT_EQ(Text("TPE1"), "Artist");
    }
}

TEST_F(Reading, StateBetweenFiles)
{
    std::string tenFrames;
    for (int i = 0; i < 10; ++i) tenFrames += FrameV23("TXX" + std::to_string(i), "\0x"s);
    ASSERT_EQ(Load(Tag(3, tenFrames)), 0);
    ASSERT_EQ(tag.Frames.Count(), 10u);
    const std::string bare = dir.File("bare.mp3");
    WriteFile(bare, Audio(1000));
    EXPECT_EQ(tag.LoadFromFile(bare, 0), 0x1000);
    EXPECT_EQ(tag.Frames.Count(), 0u);
    EXPECT_EQ(tag.FileName, bare);
    EXPECT_LT(tag.Status, 0x0100);
    // Each load starts afresh: the failure of a corrupt or unreadable tag stays with its own file
    // (whose save it refuses) and is not carried to the next one, nor is any header state.
    const std::string ext = Synchsafe(15) + "\x01\x70\0\x05\x01\x02\x03\x04\x05\x01\x21"s;
    const std::string v24 = "junk" + Tag(4, ext + FrameV24("TIT2", "\0T"s) + std::string(40, '\0'), 0xD0);
    for (const std::string& before : {Tag(3, kTitle + "TPE1" + BE32(1000) + "\0\0"s), Header(2, 0, 0) + "xxxxxxxxxxx",
                                      Header(3, 0, 5000) + kTitle, v24}) {
        SCOPED_TRACE(Hex(before.substr(0, 12)));
        if (before == v24) {
            ASSERT_EQ(Load(before, 4), 0);
            ASSERT_EQ(tag.TagOffset, 4);
            ASSERT_EQ(tag.ExtFlags, 0x70);
        } else {
            EXPECT_GE(Load(before), 0x0100);
            EXPECT_GE(tag.Status, 0x0100);  // remembered for this file
        }
        EXPECT_EQ(tag.LoadFromFile(bare, 0), 0x1000);
        EXPECT_EQ(tag.Status, 0);
        EXPECT_EQ(tag.Frames.Count(), 0u);
        EXPECT_EQ(tag.TagOffset, 0);
        EXPECT_EQ(tag.MajorVersion, 3);
        EXPECT_EQ(tag.Revision, 0);
        EXPECT_EQ(tag.Flags, 0);
        EXPECT_EQ(tag.ExtFlags, 0);
        EXPECT_EQ(tag.PaddingSize, 0u);
        EXPECT_EQ(tag.CRC, 0u);
        EXPECT_EQ(tag.Restrictions, 0);
        EXPECT_EQ(tag.TagSize, 0u);
        EXPECT_FALSE(tag.Modified);
    }
}

TEST_F(Reading, TheSizeOfTheFileLastLoaded)
{
    const std::string bytes = Tag(3, kTitle) + Audio(4321);
    ASSERT_EQ(Load(bytes), 0);
    EXPECT_EQ(tag.LoadedFileSize, std::int64_t(bytes.size()));
    const std::string bare = dir.File("bare.mp3");
    WriteFile(bare, Audio(1000));
    EXPECT_EQ(tag.LoadFromFile(bare, 0), 0x1000);
    EXPECT_EQ(tag.LoadedFileSize, 1000);
    WriteFile(bare, "");
    tag.LoadFromFile(bare, 0);
    EXPECT_EQ(tag.LoadedFileSize, 0);
    EXPECT_GE(tag.LoadFromFile(dir.File("missing.mp3"), 0), 0x0100);
    EXPECT_EQ(tag.LoadedFileSize, -1);
}

TEST_F(Reading, BuffersKeptBetweenLoadsHoldNothingOfTheLastFile)
{
    // A big unsynchronised tag fills every buffer; small tags read after it, and the big one
    // again, must each see their own bytes only.
    std::string big(150000, 'a');
    for (std::size_t i = 0; i < big.size(); i += 7) big[i] = char(0xFF);
    const std::string bigFile = dir.File("big.mp3");
    WriteFile(bigFile, Tag(3, Unsync(FrameV23("PRIV", big) + kArtist), 0x80) + Audio(500));
    const std::string smallFile = dir.File("small.mp3");
    WriteFile(smallFile, Tag(3, kTitle + std::string(20, '\0')) + Audio(10));
    const std::string cutFile = dir.File("cut.mp3");
    WriteFile(cutFile, Tag(3, kTitle + kArtist).substr(0, 20));
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(tag.LoadFromFile(bigFile, 0), 0) << round;
        ASSERT_EQ(tag.Frames.Count(), 2u);
        EXPECT_EQ(Data(1), big);
        EXPECT_EQ(Text("TPE1"), "Artist");
        ASSERT_EQ(tag.LoadFromFile(smallFile, 0), 0) << round;
        ASSERT_EQ(tag.Frames.Count(), 1u);
        EXPECT_EQ(Text("TIT2"), "Title");
        EXPECT_EQ(tag.PaddingSize, 20u);
        // A tag cut short by the end of its file is a failure, whatever the buffers held before.
        EXPECT_EQ(tag.LoadFromFile(cutFile, 0), 0x2000) << round;
    }
}

TEST_F(Reading, UnsynchronisedTagShorterThanItsFrames)
{
    // The frame claims its size before removal; the tag has fewer bytes after it.
    const std::string payload = Bytes({0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00});
    const std::string body = "PRIV" + BE32(6) + "\0\0"s + payload;
    EXPECT_EQ(Load(Tag(3, body, 0x80)), 0xFE00);
}

TEST_F(Reading, TruncatedAndMutatedFilesEndWithAStatus)
{
    // Every prefix of a rich tag, then random damage: each load ends with a status, and every
    // text read with a result.
    std::string z(64, '\0');
    uLongf zn = z.size();
    compress(reinterpret_cast<Bytef*>(z.data()), &zn, reinterpret_cast<const Bytef*>("\0zipped"), 7);
    z.resize(zn);
    const std::string body = kTitle + FrameV23("TPE1", Bytes({1, 0xFF, 0xFE, 'A', 0, 'B'})) +
                             FrameV23("TALB", BE32(7) + z, 0, 0x80) + FrameV23("COMM", "\0engd\0text"s) +
                             std::string(40, '\0');
    const std::string good = Tag(3, body) + Audio(64);
    for (std::size_t n = 0; n < good.size(); ++n) {
        Load(good.substr(0, n));
        ReadEverything(tag);
    }
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        std::string bad = round % 2 ? good : Tag(4, body, 0x40 | 0x80);
        const int edits = 1 + int(rng() % 6);
        for (int e = 0; e < edits; ++e) bad[rng() % bad.size()] = char(rng());
        const TTagStatus s = Load(bad);
        EXPECT_TRUE(tag.Done || s >= 0x0100);
        ReadEverything(tag);
    }
}
