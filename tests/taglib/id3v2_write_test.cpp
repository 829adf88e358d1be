#include "id3v2.h"
#include "tagtest.h"

#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

using namespace tagtest;
using namespace std::string_literals;

namespace {

class Writing : public ::testing::Test {
protected:
    TempDir dir;
    Tid3v2tag tag;
    std::string path = dir.File("song.mp3");

    // A file holding a tag with the given body, then the audio.
    TTagStatus Start(const std::string& tagBytes, const std::string& audio)
    {
        WriteFile(path, tagBytes + audio);
        return tag.LoadFromFile(path, 0);
    }
    std::uint32_t WholeTag(const std::string& file, std::size_t at = 0)
    {
        const auto* p = reinterpret_cast<const std::uint8_t*>(file.data() + at);
        return 10 + (std::uint32_t(p[6]) << 21 | std::uint32_t(p[7]) << 14 | std::uint32_t(p[8]) << 7 | p[9]);
    }
    std::string AudioAfterTag(std::size_t at = 0)
    {
        const std::string f = ReadFile(path);
        return f.substr(at + WholeTag(f, at));
    }
    std::string Text(const std::string& id)
    {
        std::string t;
        tag.GetTextFrame(id, t);
        return t;
    }
};

const std::string kTitle = FrameV23("TIT2", "\0Title"s);
const std::string kArtist = FrameV23("TPE1", "\0Artist"s);

}  // namespace

TEST_F(Writing, SaveInPlaceKeepsFileOffsetAndVersion)
{
    const std::string audio = Audio(10000);
    WriteFile(path, "JUNK" + Tag(4, FrameV24("TIT2", "\0Old"s) + std::string(500, '\0')) + audio);
    ASSERT_EQ(tag.LoadFromFile(path, 4), 0);
    ASSERT_EQ(tag.SetTextFrame("TIT2", "New title"), 0);
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    const std::string f = ReadFile(path);
    EXPECT_EQ(f.substr(0, 4), "JUNK");
    EXPECT_EQ(f[7], 4);  // still ID3v2.4
    EXPECT_EQ(f.substr(4 + WholeTag(f, 4)), audio);
    EXPECT_EQ(tag.TagOffset, 4);
    EXPECT_EQ(tag.ProgressText, "Save Complete");
    EXPECT_EQ(tag.Progress, 100);
    EXPECT_FALSE(tag.Modified);
    EXPECT_EQ(tag.TagSize, WholeTag(f, 4));
    ASSERT_EQ(tag.LoadFromFile(path, 4), 0);
    EXPECT_EQ(Text("TIT2"), "New title");
}

TEST_F(Writing, TaglessFileGetsANewTagWithOnlyTheFramesSet)
{
    std::string ten;
    for (int i = 0; i < 10; ++i) ten += FrameV23("TXX" + std::to_string(i), "\0x"s);
    ASSERT_EQ(Start(Tag(3, ten), Audio(100)), 0);
    const std::string bare = dir.File("bare.mp3");
    const std::string audio = Audio(50000, 3);
    WriteFile(bare, audio);
    EXPECT_EQ(tag.LoadFromFile(bare, 0), 0x1000);
    tag.SetTextFrame("TALB", "Album");
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    const std::string f = ReadFile(bare);
    EXPECT_EQ(f.substr(0, 3), "ID3");
    EXPECT_EQ(f.substr(WholeTag(f)), audio);
    ASSERT_EQ(tag.LoadFromFile(bare, 0), 0);
    ASSERT_EQ(tag.Frames.Count(), 1u);
    EXPECT_EQ(Text("TALB"), "Album");

    // Nothing of the file loaded before steers the save: not its tag's offset (the new tag goes
    // at the start, not into the audio), version or flags, nor its refused load.
    const std::string v24 = "junk" + Tag(4, FrameV24("TIT2", "\0T"s) + std::string(30, '\0'), 0x90);
    for (const std::string& before : {v24, Tag(3, kTitle + "TPE1" + BE32(900) + "\0\0"s)}) {
        WriteFile(path, before + Audio(100));
        EXPECT_EQ(tag.LoadFromFile(path, before == v24 ? 4 : 0), before == v24 ? 0 : 0xFE00);
        WriteFile(bare, audio);
        EXPECT_EQ(tag.LoadFromFile(bare, 0), 0x1000);
        tag.SetTextFrame("TALB", "Album");
        ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
        const std::string g = ReadFile(bare);
        EXPECT_EQ(g.substr(0, 6), "ID3\3\0\0"s);
        EXPECT_EQ(g.substr(WholeTag(g)), audio);
        EXPECT_EQ(tag.TagOffset, 0);
    }
}

TEST_F(Writing, RefusedSavesLeaveTheFileAlone)
{
    const std::string original = Tag(3, kTitle + "TPE1" + BE32(900) + "\0\0"s) + Audio(300);
    WriteFile(path, original);
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0xFE00);
    tag.SetTextFrame("TIT2", "x");
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0xFE00);
    EXPECT_EQ(ReadFile(path), original);
    // A tag this library cannot read is not replaced either.
    const std::string v22 = Header(2, 0, 20) + "TT2\0\0\x05\0Song" + std::string(9, '\0') + Audio(30);
    WriteFile(path, v22);
    EXPECT_EQ(tag.LoadFromFile(path, 0), 0x1100);
    tag.SetTextFrame("TIT2", "x");
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0xFE00);
    EXPECT_EQ(ReadFile(path), v22);

    ASSERT_EQ(Start(Tag(3, kTitle), Audio(100)), 0);
    const std::string before = ReadFile(path);
    EXPECT_EQ(tag.SaveToFile("=", 2, 255, -1), 0x1100);
    EXPECT_EQ(tag.SaveToFile("=", 255, 1, -1), 0x1200);
    EXPECT_EQ(tag.SaveToFile("=", 3, 0, 100000), 0x0800);
    EXPECT_EQ(tag.SaveToFile(dir.File("gone.mp3"), 255, 255, -1), 0x0100);
    tag.Frames.Clear();
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0xFD00);
    tag.SetTextFrame("TIT2", "x");
    tag.Frames.Data(1).clear();  // the only frame is empty: tidied away
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0xFD00);
    EXPECT_EQ(ReadFile(path), before);
    Tid3v2tag fresh;
    fresh.SetTextFrame("TIT2", "x");
    EXPECT_EQ(fresh.SaveToFile("=", 255, 255, -1), 0x0100);  // no file loaded yet

    // Whatever failure the load left (a read error 0x0300, any other input/output error 0x0500,
    // ...), the save refuses; warning bits alone do not stop it.
    const std::pair<TTagStatus, TTagStatus> thresholds[] = {
        {0x0100, 0xFE00}, {0x0300, 0xFE00}, {0x0310, 0xFE00}, {0x0500, 0xFE00}, {0x0800, 0xFE00},
        {0x2000, 0xFE00}, {0xFE00, 0xFE00}, {0x0000, 0},      {0x0010, 0},      {0x00FF, 0}};
    for (const auto& [loaded, saved] : thresholds) {
        ASSERT_EQ(Start(Tag(3, kTitle), Audio(100)), 0);
        tag.Status = loaded;
        tag.SetTextFrame("TIT2", "changed");
        const std::string was = ReadFile(path);
        EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), saved) << loaded;
        EXPECT_EQ(ReadFile(path) == was, saved != 0) << loaded;
    }
}

TEST_F(Writing, ProtectedFilesAreNeverTouched)
{
    ASSERT_EQ(Start(Tag(3, kTitle), Audio(100)), 0);
    tag.SetTextFrame("TIT2", "Changed");
    const std::string before = ReadFile(path);
    chmod(path.c_str(), 0444);
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0x0200);
    chmod(path.c_str(), 0644);
    EXPECT_EQ(ReadFile(path), before);
    const std::string hidden = dir.File(".hidden.mp3");
    WriteFile(hidden, before);
    EXPECT_EQ(tag.SaveToFile(hidden, 255, 255, -1), 0x0200);
    EXPECT_EQ(ReadFile(hidden), before);
    // Saving into another file writes there and nowhere else; that file becomes the target.
    const std::string other = dir.File("other.mp3");
    WriteFile(other, Audio(500, 9));
    EXPECT_EQ(tag.SaveToFile(other, 255, 255, -1), 0);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(tag.FileName, other);
}

// The file under the loaded name may be another one by the time of the save: renamed over it, a
// link turned to another target, or rewritten in place to the same length (a tagger keeping its
// dates). Its own old tag is replaced, never the length of the one the load saw, and no other
// file is written.
TEST_F(Writing, FileReplacedBetweenLoadAndSave)
{
    // Same length as the loaded file, a tag 1000 bytes longer: only what is read from it tells.
    const std::string loaded = Tag(3, kTitle + std::string(200, '\0')) + Audio(3000, 5);
    const std::string audio = Audio(loaded.size() - 1210, 6);
    const std::string other = Tag(3, kArtist + std::string(1200 - kArtist.size(), '\0')) + audio;
    ASSERT_EQ(loaded.size(), other.size());
    const std::string target = dir.File("target.mp3"), link = dir.File("link.mp3");
    enum Swap { Rename, Relink, InPlace };
    // Also when the load keeps its file open for the save.
    for (const bool hold : {false, true})
        for (const Swap swap : {Rename, Relink, InPlace}) {
            SCOPED_TRACE(hold);
            tag.HoldFileForSave = hold;
            std::remove(link.c_str());
            WriteFile(target, loaded);
            std::string name = path;
            if (swap == Relink) {
                ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
                name = link;
            } else {
                WriteFile(path, loaded);
            }
            ASSERT_EQ(tag.LoadFromFile(name, 0), 0) << swap;
            tag.SetTextFrame("TIT2", "Nouveau");
            const std::string fresh = dir.File("fresh.mp3");
            WriteFile(fresh, other);
            if (swap == Rename) {
                ASSERT_EQ(std::rename(fresh.c_str(), path.c_str()), 0);
            } else if (swap == Relink) {
                ASSERT_EQ(std::remove(link.c_str()), 0);
                ASSERT_EQ(symlink(fresh.c_str(), link.c_str()), 0);
            } else {
                WriteFile(path, other);
                const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
                ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
            }
            ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0) << swap;
            const std::string saved = ReadFile(swap == Relink ? fresh : path);
            EXPECT_TRUE(saved.substr(WholeTag(saved)) == audio) << swap;
            ASSERT_EQ(tag.LoadFromFile(name, 0), 0) << swap;
            EXPECT_EQ(Text("TIT2"), "Nouveau") << swap;
            EXPECT_TRUE(ReadFile(target) == loaded) << swap;  // the file the link named before is left alone
        }
    // Gone, or something else than a file now: missing, and nothing is created or waited for.
    for (const bool hold : {false, true})
        for (const bool fifo : {false, true}) {
            tag.HoldFileForSave = hold;
            WriteFile(path, loaded);
            ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
            ASSERT_EQ(std::remove(path.c_str()), 0);
            if (fifo) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); }
            EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0x0100) << fifo << hold;
            struct stat st;
            EXPECT_EQ(stat(path.c_str(), &st) == 0, fifo);
            std::remove(path.c_str());
        }
}

// A load that keeps its file saves through that very open: the save opens nothing. Either way
// a save waits for no other saver: the file is left as it is while one holds it.
TEST_F(Writing, HeldFileAndTheSaversLock)
{
    for (const bool hold : {false, true}) {
        SCOPED_TRACE(hold);
        tag.HoldFileForSave = hold;
        ASSERT_EQ(Start(Tag(3, kTitle + std::string(100, '\0')), Audio(300)), 0);
        tag.SetTextFrame("TIT2", "Tenu");
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, path.c_str(), IN_OPEN), 0);
        EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
        char events[4096];
        const ssize_t got = read(watch, events, sizeof events);
        close(watch);
        EXPECT_EQ(got > 0, !hold);
        ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
        EXPECT_EQ(Text("TIT2"), "Tenu");
        tag.SetTextFrame("TIT2", "Attendu");
        const std::string before = ReadFile(path);
        const int other = open(path.c_str(), O_RDWR);
        ASSERT_EQ(flock(other, LOCK_EX), 0);
        EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0x0100);
        EXPECT_EQ(ReadFile(path), before);
        close(other);
        EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
        ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
        EXPECT_EQ(Text("TIT2"), "Attendu");
    }
    // A tag no save may replace leaves its file closed (a removable disc is not kept busy).
    const auto openFiles = [] {
        std::size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) n += !entry.is_directory();
        return n;
    };
    EXPECT_EQ(tag.LoadFromFile(dir.File("none.mp3"), 0), 0x0100);  // lets go of the last one
    const std::size_t before = openFiles();
    WriteFile(path, Header(2, 0, 20) + "TT2\0\0\x05\0Song" + std::string(9, '\0') + Audio(30));
    EXPECT_EQ(tag.LoadFromFile(path, 0), 0x1100);
    EXPECT_EQ(openFiles(), before);
}

TEST_F(Writing, DefaultPaddingRoundsTheFileLength)
{
    ASSERT_EQ(Start(Tag(3, kTitle + kArtist + std::string(9000, '\0')), Audio(12345)), 0);
    for (const std::string& text : {"a"s, std::string(5000, 'b'), "c"s, std::string(20000, 'd')}) {
        tag.SetTextFrame("TIT2", text);
        ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
        const std::string f = ReadFile(path);
        EXPECT_EQ(f.size() % 4096, 0u) << text.size();
        EXPECT_LE(tag.PaddingSize, 4096u);
        EXPECT_EQ(f.substr(WholeTag(f)), Audio(12345));
        ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
        EXPECT_EQ(Text("TIT2"), text);
    }
}

TEST_F(Writing, PaddingModesAndLimits)
{
    const std::string audio = Audio(7000);
    // Limit below the block: a smaller tag fills the old one's space, the audio stays put.
    ASSERT_EQ(Start(Tag(3, kTitle + kArtist + std::string(3000, '\0')), audio), 0);
    const std::size_t oldSize = ReadFile(path).size();
    tag.PaddingLimit = 100;
    tag.SetTextFrame("TPE1", "");
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    EXPECT_EQ(ReadFile(path).size(), oldSize);
    EXPECT_EQ(AudioAfterTag(), audio);
    EXPECT_EQ(tag.PaddingSize, 3000u + kArtist.size());
    // Mode 0: the padding as it was.
    tag.PaddingMode = 0;
    tag.PaddingSize = 123;
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_EQ(tag.PaddingSize, 123u);
    EXPECT_EQ(AudioAfterTag(), audio);
    // Mode 2: always the block rule, with another block size.
    tag.PaddingMode = 2;
    tag.PaddingBlock = 1000;
    tag.PaddingLimit = 0;
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    EXPECT_EQ(ReadFile(path).size() % 1000, 0u);
    EXPECT_EQ(AudioAfterTag(), audio);
    // The block rule, value for value: P = (L div B + 1) * B - (L - X) - T in 32-bit unsigned
    // arithmetic, then B taken away while P is above B.
    for (std::uint32_t block : {4096u, 1000u, 3000u, 77u})
        for (std::size_t len : {10u, 2500u, 7000u, 0u, 1u, 12000u}) {
            const std::string was = ReadFile(path);
            if (len == 0) {  // shrinks to end the file on a block boundary without padding: P is B
                std::string cur;
                tag.GetTextFrame("TIT2", cur);
                len = cur.size() - std::uint32_t(was.size() - tag.PaddingSize) % block;
            }
            SCOPED_TRACE(std::to_string(block) + " " + std::to_string(len));
            const std::uint32_t L = std::uint32_t(was.size()), X = WholeTag(was);
            tag.PaddingMode = 1;
            tag.PaddingBlock = tag.PaddingLimit = block;
            tag.SetTextFrame("TIT2", std::string(len, 'p'));
            ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
            const std::uint32_t T = tag.TagSize - tag.PaddingSize;
            std::uint32_t p = (L / block + 1) * block - (L - X) - T;
            while (p > block) p = p > 64 * block ? p - (p / block - 1) * block : p - block;
            EXPECT_EQ(tag.PaddingSize, p);
            if ((L - X + T) % block == 0 && L - X + T < L) { EXPECT_EQ(p, block); }
            EXPECT_EQ(ReadFile(path).size(), std::size_t(L) - X + T + p);
            EXPECT_EQ(AudioAfterTag(), audio);
        }
    // A block of 1 (or 0, taken as 1) pads nothing beyond what the rule allows.
    tag.PaddingBlock = 0;
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    EXPECT_LE(tag.PaddingSize, 1u);
    EXPECT_EQ(AudioAfterTag(), audio);
}

TEST_F(Writing, TidyingAndEmptyFrames)
{
    ASSERT_EQ(Start(Tag(4, FrameV24("TIT2", "\0T"s)), Audio(10)), 0);
    tag.Frames.AddFrame("TPE1");  // empty
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    EXPECT_EQ(tag.Frames.Count(), 1u);
    EXPECT_EQ(ReadFile(path).find("TPE1"), std::string::npos);
    tag.TidyFrames = false;
    tag.Frames.AddFrame("TPE1");
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    const std::string f = ReadFile(path);
    ASSERT_NE(f.find("TPE1"), std::string::npos);
    EXPECT_EQ(f.substr(f.find("TPE1") + 4, 6), std::string(6, '\0'));
}

TEST_F(Writing, CompressionGetsItsDataLengthIndicator)
{
    ASSERT_EQ(Start(Tag(4, FrameV24("TIT2", "\0"s + std::string(200, 'c'))), ""), 0);
    tag.Frames.SetWriteFlags(1, 2, frameflag::Compression);
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    const std::string f = ReadFile(path);
    const std::size_t at = f.find("TIT2");
    EXPECT_EQ(std::uint8_t(f[at + 9]), 0x09);
    EXPECT_EQ(f.substr(at + 10, 4), Synchsafe(201));
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_EQ(Text("TIT2"), std::string(200, 'c'));
    // ID3v2.3: the decompressed size goes in the four extra bytes.
    tag.SetTextFrame("TIT2", std::string(300, 'e'));
    ASSERT_EQ(tag.SaveToFile("=", 3, 255, -1), 0);
    const std::string g = ReadFile(path);
    const std::size_t at3 = g.find("TIT2");
    EXPECT_EQ(std::uint8_t(g[at3 + 9]), 0x80);
    EXPECT_EQ(g.substr(at3 + 10, 4), BE32(301));
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_EQ(Text("TIT2"), std::string(300, 'e'));
}

// Frame headers as written, byte for byte: the flags translated to the version written, the
// extra bytes in that version's order, the data-length indicator filled in; read back the same.
TEST_F(Writing, FrameHeadersByteForByte)
{
    struct Case {
        const char* name;
        std::string tagBytes;     // a tag holding one TIT2 frame
        std::uint8_t wantFormat;  // 0xFF: as read
        int version;
        std::string header;                          // expected: header and extra bytes, then the data
        std::uint8_t status, format, group, method;  // read back
    };
    const std::string plain = "\0Title"s;
    const std::string ff = Bytes({0, 'a', 0xFF, 0xE0});
    const Case cases[] = {
        {"v2.4 status flags to v2.3 positions", Tag(4, FrameV24("TIT2", plain, 0x70)), 0xFF, 3,
         "TIT2" + BE32(6) + "\xE0\0"s + plain, 0x70, 0, 0, 0},
        {"v2.3 status flags to v2.4 positions", Tag(3, FrameV23("TIT2", plain, 0xA0)), 0xFF, 4,
         "TIT2" + Synchsafe(6) + "\x50\0"s + plain, 0x50, 0, 0, 0},
        {"v2.3 grouped", Tag(3, FrameV23("TIT2", "\x33" + plain, 0, 0x20)), 0xFF, 3,
         "TIT2" + BE32(7) + "\0\x20\x33"s + plain, 0, 0x40, 0x33, 0},
        {"v2.3 grouped to v2.4", Tag(3, FrameV23("TIT2", "\x33" + plain, 0, 0x20)), 0xFF, 4,
         "TIT2" + Synchsafe(7) + "\0\x40\x33"s + plain, 0, 0x40, 0x33, 0},
        {"v2.4 grouped and encrypted", Tag(4, FrameV24("TIT2", "\x33\x80secret"s, 0, 0x44)), 0xFF, 4,
         "TIT2" + Synchsafe(8) + "\0\x44\x33\x80secret"s, 0, 0x44, 0x33, 0x80},
        {"v2.4 grouped and encrypted to v2.3", Tag(4, FrameV24("TIT2", "\x33\x80secret"s, 0, 0x44)), 0xFF, 3,
         "TIT2" + BE32(8) + "\0\x60\x80\x33secret"s, 0, 0x44, 0x33, 0x80},
        {"v2.4 indicator on plain data", Tag(4, FrameV24("TIT2", plain)), 0x01, 4,
         "TIT2" + Synchsafe(10) + "\0\x01"s + Synchsafe(6) + plain, 0, 0x01, 0, 0},
        {"v2.4 indicator on data unsynchronised now", Tag(4, FrameV24("TIT2", ff)), 0x03, 4,
         "TIT2" + Synchsafe(9) + "\0\x03"s + Synchsafe(4) + Unsync(ff), 0, 0x03, 0, 0},
        {"v2.4 indicator on data read unsynchronised", Tag(4, FrameV24("TIT2", Unsync(ff), 0, 0x02)), 0x03, 4,
         "TIT2" + Synchsafe(9) + "\0\x03"s + Synchsafe(4) + Unsync(ff), 0, 0x03, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Start(c.tagBytes, Audio(30)), 0);
        if (c.wantFormat != 0xFF) tag.Frames.SetWriteFlags(1, 2, c.wantFormat);
        ASSERT_EQ(tag.SaveToFile("=", std::uint8_t(c.version), 255, -1), 0);
        const std::string f = ReadFile(path);
        const std::size_t at = f.find("TIT2");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(Hex(f.substr(at, c.header.size())), Hex(c.header));
        EXPECT_EQ(AudioAfterTag().size(), 30u);
        ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
        EXPECT_EQ(tag.Frames.GetReadFlags(1, 1), c.status);
        EXPECT_EQ(tag.Frames.GetReadFlags(1, 2) & ~frameflag::Unsynchronisation,
                  c.format & ~frameflag::Unsynchronisation);
        EXPECT_EQ(tag.Frames.GetGroupID(1), c.group);
        EXPECT_EQ(tag.Frames.GetEncryptionMethod(1), c.method);
        if (!c.method) {
            tag.Frames.Resynchronise(1);
            EXPECT_EQ(Hex(ToString(tag.Frames.Data(1))), Hex(c.format & 0x02 ? ff : plain));
        }
    }
}

// What begins with "ID3" but is no valid header is audio: the new tag goes before all of it.
TEST_F(Writing, InvalidOldHeadersAreAudio)
{
    const std::string bad[] = {
        "ID3\xFF\0\0\0\0\0\x10"s + Audio(200),   "ID3\x03\xFF\0\0\0\0\x10"s + Audio(200),
        "ID3\x03\0\0\x80\0\0\x10"s + Audio(200), "ID3\x03\0\0\0\x80\0\x10"s + Audio(200),
        "ID3\x03\0\0\0\0\x80\x10"s + Audio(200), "ID3\x03\0\0\0\0\x10\x80"s + Audio(200),
    };
    for (std::size_t i = 0; i < std::size(bad); ++i) {
        SCOPED_TRACE(i);
        WriteFile(path, bad[i]);
        EXPECT_EQ(tag.LoadFromFile(path, 0), 0x1000);
        tag.SetTextFrame("TIT2", "New");
        ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
        EXPECT_EQ(Hex(AudioAfterTag()), Hex(bad[i]));
    }
}

TEST_F(Writing, UnsynchronisationSizesPerVersion)
{
    const std::string data = Bytes({0, 'a', 0xFF, 0xE0, 'b', 0xFF, 0x00, 'c'});
    ASSERT_EQ(Start(Tag(3, FrameV23("TIT2", data) + kArtist), Audio(50)), 0);
    tag.Frames.SetWriteFlags(2, 2, frameflag::Unsynchronisation);  // one frame's wish
    ASSERT_EQ(tag.SaveToFile("=", 3, 255, -1), 0);
    EXPECT_TRUE(tag.GetUnsynchronisation());
    EXPECT_TRUE(tag.Frames.IsUnsynchronised(1) && tag.Frames.IsUnsynchronised(2));
    std::string f = ReadFile(path);
    EXPECT_EQ(std::uint8_t(f[5]) & 0x80, 0x80);
    std::size_t at = f.find("TIT2");
    EXPECT_EQ(f.substr(at + 4, 4), BE32(8));  // before the inserted bytes
    EXPECT_EQ(f.substr(at + 10, 10), Unsync(data));
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_EQ(ToString(tag.Frames.Data(1)), data);
    EXPECT_EQ(AudioAfterTag(), Audio(50));
    // ID3v2.4: the size counts them, and the frame says it is unsynchronised.
    ASSERT_EQ(tag.SaveToFile("=", 4, 255, -1), 0);
    f = ReadFile(path);
    at = f.find("TIT2");
    EXPECT_EQ(f.substr(at + 4, 4), Synchsafe(10));
    EXPECT_EQ(std::uint8_t(f[at + 9]) & 0x02, 0x02);
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_EQ(Text("TPE1"), "Artist");
    EXPECT_EQ(Text("TIT2"), data.substr(1, 6));  // up to and with its 0 byte
    EXPECT_EQ(ToString(tag.Frames.Data(1)), data);

    // An unsynchronised ID3v2.3 tag never ends with $FF, even without padding: one byte of it
    // keeps the $FF from pairing with the audio. Other tags end where their frames end.
    for (int version : {3, 4})
        for (int last : {0xFF, int('x')}) {
            SCOPED_TRACE(std::to_string(version) + " " + std::to_string(last));
            ASSERT_EQ(Start(Tag(3, kTitle + FrameV23("TPE1", Bytes({0, 'a', last}))), Audio(50)), 0);
            tag.SetUnsynchronisation(true);
            tag.PaddingMode = 0;
            tag.PaddingSize = 0;
            ASSERT_EQ(tag.SaveToFile("=", std::uint8_t(version), 255, -1), 0);
            const std::string g = ReadFile(path);
            const std::size_t end = WholeTag(g);
            const bool padded = version == 3 && last == 0xFF;
            EXPECT_EQ(tag.PaddingSize, padded ? 1u : 0u);
            EXPECT_EQ(Hex(g.substr(end - 2, 2)), Hex(padded ? "\xFF\0"s : "a" + Bytes({last})));
            EXPECT_TRUE(g.substr(end) == Audio(50));
        }
}

TEST_F(Writing, CrcAndExtendedHeaders)
{
    ASSERT_EQ(Start(Tag(3, kTitle + kArtist), Audio(20)), 0);
    tag.SetCRCPresent(true);
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    EXPECT_TRUE(tag.GetExtendedHeader());
    const std::uint32_t written = tag.CRC;
    std::string f = ReadFile(path);
    const std::string frames = kTitle + kArtist;
    EXPECT_EQ(written, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(frames.data()), uInt(frames.size()))));
    EXPECT_EQ(f.substr(10, 6), BE32(10) + "\x80\0"s);
    EXPECT_EQ(f.substr(20, 4), BE32(written));
    const std::uint32_t padding = tag.PaddingSize;
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_EQ(tag.CRC, written);
    EXPECT_EQ(tag.PaddingSize, padding);
    // ID3v2.3 unsynchronised: the CRC is still that of the frames before unsynchronisation.
    tag.SetUnsynchronisation(true);
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    EXPECT_EQ(tag.CRC, written);
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_EQ(tag.CRC, written);
    EXPECT_EQ(Text("TPE1"), "Artist");
    // ID3v2.4, with update and restrictions.
    tag.SetUnsynchronisation(false);
    tag.SetTagIsUpdate(true);
    tag.SetRestrictions(true);
    tag.Restrictions = 0x21;
    ASSERT_EQ(tag.SaveToFile("=", 4, 255, -1), 0);
    f = ReadFile(path);
    EXPECT_EQ(f.substr(10, 4), Synchsafe(15));
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_EQ(tag.ExtFlags, 0x70);
    EXPECT_EQ(tag.Restrictions, 0x21);
    const std::string frames4 = f.substr(25, f.find(std::string(10, '\0'), 25) - 25);
    EXPECT_EQ(tag.CRC, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(frames4.data()), uInt(frames4.size()))));
    // Without a CRC the register's start value is kept.
    tag.SetCRCPresent(false);
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    EXPECT_EQ(tag.CRC, 0xFFFFFFFFu);
}

// The padding an ID3v2.3 extended header states is the padding written, whether the tag grows,
// shrinks, keeps its length, carries a CRC or is unsynchronised.
TEST_F(Writing, ExtendedHeaderStatesThePaddingWritten)
{
    auto resync = [](const std::string& in) {
        std::string out;
        for (std::size_t i = 0; i < in.size(); ++i)
            if (!(i > 0 && in[i] == 0 && std::uint8_t(in[i - 1]) == 0xFF)) out.push_back(in[i]);
        return out;
    };
    for (int crc : {0, 1})
        for (int unsync : {0, 1})
            for (std::size_t len : {5u, 3000u, 9000u, 3000u, 20u}) {
                SCOPED_TRACE("crc " + std::to_string(crc) + " unsync " + std::to_string(unsync) + " len " +
                             std::to_string(len));
                if (len == 5) { ASSERT_EQ(Start(Tag(3, kTitle + kArtist + std::string(700, '\0')), Audio(3000)), 0); }
                tag.SetExtendedHeader(true);
                tag.SetCRCPresent(crc);
                tag.SetUnsynchronisation(unsync);
                tag.PaddingLimit = len == 20 ? 0 : 4096;  // the last, smaller tag keeps the old length
                tag.SetTextFrame("TIT2", std::string(len, 't') + "\xFF\xE0");
                ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
                const std::string f = ReadFile(path);
                const std::size_t end = WholeTag(f);
                std::size_t zeros = 0;
                while (f[end - 1 - zeros] == 0) ++zeros;  // the last frame ends with a letter
                const std::string ext = resync(f.substr(10, 40));
                EXPECT_EQ(Hex(ext.substr(0, 6)), Hex(BE32(crc ? 10 : 6) + Bytes({crc ? 0x80 : 0, 0})));
                EXPECT_EQ(Hex(ext.substr(6, 4)), Hex(BE32(std::uint32_t(zeros))));
                EXPECT_EQ(tag.PaddingSize, zeros);
                EXPECT_EQ(f.size(), end + 3000);
                ASSERT_EQ(tag.LoadFromFile(path, 0), 0);  // no 0x04: stated and found agree
                EXPECT_EQ(tag.PaddingSize, zeros);
            }
}

TEST_F(Writing, FooterFlagIsNotWritten)
{
    ASSERT_EQ(Start(Tag(4, FrameV24("TIT2", "\0T"s), 0x10), Audio(20)), 0);
    EXPECT_EQ(tag.Flags, 0x10);
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    EXPECT_EQ(ReadFile(path)[5], 0);
    EXPECT_EQ(AudioAfterTag(), Audio(20));
    // A footer goes with the tag it closes, whether the new tag grows, shrinks or is written
    // as ID3v2.3; a flag without footer bytes behind the tag takes none of the audio.
    const std::string body = FrameV24("TIT2", "\0T"s) + std::string(100, '\0');
    const std::string footer = "3DI\x04\0\x10"s + Synchsafe(std::uint32_t(body.size()));
    for (const std::string& title : {"x"s, std::string(300, 'y'), std::string(9000, 'z')}) {
        for (int version : {3, 4}) {
            SCOPED_TRACE(std::to_string(title.size()) + " v" + std::to_string(version));
            ASSERT_EQ(Start(Tag(4, body, 0x10) + footer, Audio(5000)), 0);
            tag.PaddingLimit = 0;  // the smaller tag keeps the old one's place
            tag.SetTextFrame("TIT2", title);
            ASSERT_EQ(tag.SaveToFile("=", std::uint8_t(version), 255, -1), 0);
            EXPECT_EQ(Hex(AudioAfterTag().substr(0, 12)), Hex(Audio(5000).substr(0, 12)));
            EXPECT_EQ(AudioAfterTag().size(), 5000u);
        }
    }
}

TEST_F(Writing, FlagConflicts)
{
    const std::string encrypted = FrameV24("TIT2", "\x80secret"s, 0, 0x04);
    ASSERT_EQ(Start(Tag(4, encrypted + FrameV24("TPE1", "\0A"s)), Audio(10)), 0);
    const std::string before = ReadFile(path);
    tag.Frames.SetWriteFlags(1, 2, 0);
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0xC000);
    EXPECT_EQ(ReadFile(path), before);
    tag.FixFlagConflicts = true;
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0x0008);
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_TRUE(tag.Frames.IsEncrypted(1));  // the encrypted data kept its flag
    EXPECT_EQ(tag.Frames.GetEncryptionMethod(1), 0x80);
    EXPECT_EQ(ToString(tag.Frames.Data(1)), "secret");

    tag.FixFlagConflicts = false;
    tag.Frames.SetWriteFlags(2, 2, frameflag::Grouping);
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0xC100);
    tag.FixFlagConflicts = true;
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0x0008);
    EXPECT_FALSE(tag.Frames.GetGrouping(2));

    tag.FixFlagConflicts = false;
    tag.Frames.SetWriteFlags(1, 2, frameflag::Encryption | frameflag::DataLengthIndicator);
    tag.Frames.SetDataLength(1, 0);
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0xC200);
    tag.FixFlagConflicts = true;
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0x0008);
    EXPECT_FALSE(tag.Frames.GetDataLengthIndicator(1));
}

TEST_F(Writing, AudioMovesBothWays)
{
    for (std::size_t audioSize : {0u, 1u, 100u, 16384u, 40000u, 100001u}) {
        const std::string audio = Audio(audioSize, unsigned(audioSize));
        ASSERT_EQ(Start(Tag(3, kTitle), audio), 0) << audioSize;
        tag.PaddingMode = 0;
        tag.PaddingSize = 0;
        // Grows by far more than the audio in the small cases, then shrinks, then stays.
        for (std::size_t len : {70000u, 10u, 10u, 33333u}) {
            tag.SetTextFrame("TIT2", std::string(len, 'x'));
            ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
            const std::string f = ReadFile(path);
            ASSERT_EQ(f.size(), WholeTag(f) + audioSize) << audioSize << " " << len;
            ASSERT_EQ(f.substr(WholeTag(f)), audio) << audioSize << " " << len;
        }
    }
}

TEST_F(Writing, LargestTagThatFits)
{
    ASSERT_EQ(Start(Tag(3, kTitle), Audio(10)), 0);
    tag.PaddingMode = 0;
    const std::uint32_t frames = std::uint32_t(kTitle.size());
    tag.PaddingSize = 0x0FFFFFFF - frames + 1;
    tag.SetCRCPresent(true);  // the failing save has set the extended header wish already
    tag.SetExtendedHeader(false);
    tag.Modified = false;
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0x2200);
    EXPECT_TRUE(tag.GetExtendedHeader());
    EXPECT_TRUE(tag.Modified);
    tag.SetCRCPresent(false);
    tag.SetExtendedHeader(false);
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0x2200);
    tag.PaddingSize = 0x0FFFFFFF - frames;
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    EXPECT_EQ(tag.TagSize, 0x0FFFFFFFu + 10);
    EXPECT_EQ(fs::file_size(path), 0x0FFFFFFFu + 10 + 10);
    std::remove(path.c_str());
}

// A save that cannot grow the file (here: a file-size limit) leaves it byte for byte as it was.
TEST_F(Writing, FailedGrowthLeavesTheFileIntact)
{
    const std::string audio = Audio(200000);
    ASSERT_EQ(Start(Tag(3, kTitle + std::string(100, '\0')), audio), 0);
    const std::string before = ReadFile(path);
    tag.SetTextFrame("TIT2", std::string(50000, 'g'));
    // The limit's signal ignored, or left to end the program as it does by default: the save
    // must see the limit before the file grows, and refuse.
    for (auto disposition : {SIG_IGN, SIG_DFL}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, disposition);
            struct rlimit lim = {before.size() + 1000, before.size() + 1000};
            setrlimit(RLIMIT_FSIZE, &lim);
            const TTagStatus s = tag.SaveToFile("=", 255, 255, -1);
            _exit(s == 0x0400 ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(ReadFile(path), before);
    }
}

TEST_F(Writing, ProgressTextsAndFieldsAfterSave)
{
    // A save into another file at another offset: the object then describes what it wrote.
    WriteFile(path, Header(3, 0, std::uint32_t(kTitle.size()), 1) + kTitle + Audio(10));
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0x0010);  // a revision accepted
    const std::string other = dir.File("other.mp3");
    WriteFile(other, "abc" + Audio(500, 4));
    tag.PaddingMode = 0;
    tag.PaddingSize = 7;
    ASSERT_EQ(tag.SaveToFile(other, 4, 0, 3), 0);
    std::string f = ReadFile(other);
    EXPECT_EQ(tag.Status, 0);
    EXPECT_EQ(tag.TagOffset, 3);
    EXPECT_EQ(tag.FileName, other);
    EXPECT_EQ(tag.MajorVersion, 4);
    EXPECT_EQ(tag.Revision, 0);
    EXPECT_EQ(tag.TagSize, WholeTag(f, 3));
    EXPECT_EQ(tag.TagSize, 10 + kTitle.size() + 7);
    EXPECT_EQ(f.substr(0, 3), "abc");
    EXPECT_TRUE(f.substr(3 + tag.TagSize) == Audio(500, 4));
    EXPECT_EQ(tag.Progress, 100);
    EXPECT_EQ(tag.ProgressText, "Save Complete");
    // "=" is now that file, at that offset; a refused save changes neither.
    tag.SetTextFrame("TIT2", "Again");
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    f = ReadFile(other);
    EXPECT_EQ(f.substr(0, 6), "abcID3");
    EXPECT_EQ(tag.SaveToFile(path, 255, 255, 1000000), 0x0800);
    EXPECT_EQ(tag.FileName, other);
    EXPECT_EQ(tag.TagOffset, 3);
    // Warnings of the save are its status.
    tag.Frames.SetWriteFlags(1, 2, frameflag::Grouping);
    tag.FixFlagConflicts = true;
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0x0008);
    EXPECT_EQ(tag.Status, 0x0008);

    ASSERT_EQ(Start(Tag(4, FrameV24("TIT2", "\0T"s)), Audio(10)), 0);
    tag.Frames.SetWriteFlags(1, 2, frameflag::Compression);
    ASSERT_EQ(tag.SaveToFile("=", 3, 255, -1), 0);
    EXPECT_EQ(tag.MajorVersion, 3);
    EXPECT_EQ(tag.Status, 0);
    EXPECT_EQ(tag.ProgressText, "Save Complete");
    ASSERT_EQ(tag.LoadFromFile(path, 0), 0);
    EXPECT_TRUE(tag.Frames.IsCompressed(1));
    EXPECT_EQ(Text("TIT2"), "T");
}

TEST_F(Writing, ProgressAtEachStop)
{
    struct Stop {
        const char* name;
        std::uint8_t format1, format2;  // wanted format of the two frames
        std::int64_t offset;
        TTagStatus status;
        int progress;
        const char* text;
    };
    const Stop stops[] = {
        {"offset past the end", 0, 0, 100000, 0x0800, 0, "Preparing tag"},
        {"indicator on encrypted data", frameflag::Encryption | frameflag::DataLengthIndicator, 0, -1, 0xC200, 0,
         "Preparing tag"},
        {"encryption undone", 0, 0, -1, 0xC000, 5, "Preparing tag"},
        {"compressed, then encryption undone", 0, frameflag::Compression, -1, 0xC000, 5, "Applying compression"},
        {"grouping", frameflag::Encryption, frameflag::Grouping, -1, 0xC100, 10, "Preparing tag"},
        {"unsynchronised, then grouping", frameflag::Encryption, frameflag::Grouping | frameflag::Unsynchronisation, -1,
         0xC100, 10, "Applying unsync"},
        {"saved", frameflag::Encryption, 0, -1, 0, 100, "Save Complete"},
    };
    for (const Stop& stop : stops) {
        SCOPED_TRACE(stop.name);
        ASSERT_EQ(Start(Tag(4, FrameV24("TIT2", "\x80secret"s, 0, 0x04) + FrameV24("TPE1", "\0A"s)), Audio(10)), 0);
        tag.Frames.SetWriteFlags(1, 2, stop.format1);
        tag.Frames.SetWriteFlags(2, 2, stop.format2);
        EXPECT_EQ(tag.SaveToFile("=", 255, 255, stop.offset), stop.status);
        EXPECT_EQ(tag.Progress, stop.progress);
        EXPECT_EQ(tag.ProgressText, stop.text);
    }
}

TEST_F(Writing, ProgressTextOfTheStageReached)
{
    ASSERT_EQ(Start(Tag(3, kTitle + kArtist), Audio(10)), 0);
    const std::string before = ReadFile(path);
    tag.Frames.SetWriteFlags(1, 2, frameflag::Compression);
    tag.Frames.SetWriteFlags(2, 2, frameflag::Grouping);
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0xC100);
    EXPECT_EQ(tag.ProgressText, "Applying compression");
    tag.Frames.SetWriteFlags(2, 2, frameflag::Unsynchronisation);
    tag.PaddingMode = 0;
    tag.PaddingSize = 0x0FFFFFFF;
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0x2200);
    EXPECT_EQ(tag.ProgressText, "Applying unsync");
    EXPECT_EQ(tag.Progress, 100);  // every frame sized
    tag.SetCRCPresent(true);
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), 0x2200);
    EXPECT_EQ(tag.ProgressText, "Calculating CRC-32");
    EXPECT_EQ(ReadFile(path), before);
}
