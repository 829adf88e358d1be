#include "id3.h"
#include "tagtest.h"

#include <sys/stat.h>

using namespace tagtest;
using namespace std::string_literals;

namespace {

std::string Field(const std::string& s, std::size_t width, char fill = '\0')
{
    std::string f = s.substr(0, width);
    f.resize(width, fill);
    return f;
}

std::string Block(const std::string& title, const std::string& artist, const std::string& album,
                  const std::string& year, const std::string& comment30, int genre)
{
    return "TAG" + Field(title, 30) + Field(artist, 30) + Field(album, 30) + Field(year, 4) + Field(comment30, 30) +
           char(genre);
}

class Id3v1 : public ::testing::Test {
protected:
    TempDir dir;
    Tid3tag tag;
    std::string path = dir.File("song.mp3");
    TTagStatus Read(const std::string& bytes)
    {
        WriteFile(path, bytes);
        return tag.ReadFromFile(path);
    }
};

}  // namespace

TEST(GenreMap, Positions)
{
    EXPECT_EQ(GenreToIndex(0), 18);
    EXPECT_EQ(GenreToIndex(12), 96);
    EXPECT_EQ(GenreToIndex(147), 137);
    EXPECT_EQ(GenreToIndex(148), 0);
    EXPECT_EQ(GenreToIndex(149), 0);
    EXPECT_EQ(GenreToIndex(255), 0);
    // Every list position is reached by exactly one genre number.
    std::vector<int> seen(149, 0);
    for (int g = 0; g <= 148; ++g) ++seen[GenreToIndex(std::uint8_t(g))];
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 149);
}

TEST_F(Id3v1, ReadFieldsTrimmingAndTrack)
{
    const std::string comment = Field("Short", 28) + '\0' + char(5);
    EXPECT_EQ(Read(Audio(300) + Block("Abc   \0\0", "Art\xFF", "  ", "1999", comment, 17)), 0);
    EXPECT_EQ(tag.Title, "Abc");
    EXPECT_EQ(tag.Artist, "Art");
    EXPECT_EQ(tag.Album, "");
    EXPECT_EQ(tag.Year, "1999");
    EXPECT_EQ(tag.Comment, "Short");
    EXPECT_TRUE(tag.HasTrack);
    EXPECT_EQ(tag.Track, 5);
    EXPECT_EQ(tag.Genre, 17);
    EXPECT_EQ(tag.FileName, path);
    // Zero bytes inside a text stay.
    EXPECT_EQ(Read(Block("a\0b"s, "", "", "", "", 1)), 0);
    EXPECT_EQ(tag.Title, "a\0b"s);
    // Byte 30 also zero: no track; then a whole 30-character comment after a short one.
    EXPECT_EQ(Read(Block("", "", "", "", Field("c", 30), 1)), 0);
    EXPECT_FALSE(tag.HasTrack);
    EXPECT_EQ(tag.Track, 0);
    const std::string full(30, 'z');
    EXPECT_EQ(Read(Block("", "", "", "", full, 1)), 0);
    EXPECT_EQ(tag.Comment, full);
}

TEST_F(Id3v1, NoBlockGenresAndFailuresKeepFields)
{
    ASSERT_EQ(Read(Block("Kept", "", "", "", "", 3)), 0);
    EXPECT_EQ(Read(std::string(127, 'x')), 0x1000);
    EXPECT_EQ(Read(Audio(500)), 0x1000);
    EXPECT_EQ(Read("tag" + std::string(125, ' ')), 0x1000);  // "TAG" in upper case only
    EXPECT_EQ(tag.Title, "Kept");
    EXPECT_EQ(tag.FileName, path);
    EXPECT_EQ(tag.ReadFromFile(dir.File("missing")), 0x0100);
    EXPECT_EQ(Read(Block("", "", "", "", "", 200)), 0x0080);
    EXPECT_EQ(tag.Genre, 200);
    EXPECT_EQ(Read(Block("", "", "", "", "", 148)), 0x0080);
    EXPECT_EQ(Read(Block("", "", "", "", "", 147)), 0);
    EXPECT_EQ(Read(Block("", "", "", "", "", 255)), 0);
}

TEST_F(Id3v1, SettersCutToWidth)
{
    tag.SetTitle(std::string(40, 't'));
    EXPECT_EQ(tag.Title.size(), 30u);
    tag.SetYear("199999");
    EXPECT_EQ(tag.Year, "1999");
    tag.SetTrack(7);
    EXPECT_TRUE(tag.HasTrack);
    tag.SetTrack(0);
    EXPECT_FALSE(tag.HasTrack);
    Tid3tag fresh;
    EXPECT_EQ(fresh.Title, std::string(30, '\0'));
    EXPECT_EQ(fresh.Genre, 255);
}

TEST_F(Id3v1, WriteAppendsOrReplaces)
{
    WriteFile(path, std::string(127, 'a'));
    EXPECT_EQ(tag.ReadFromFile(path), 0x1000);
    tag.SetTitle("Titre");
    tag.SetComment(std::string(30, 'c'));
    tag.HasTrack = true;  // with track 0: the ID3v1.0 layout
    tag.Genre = 8;
    EXPECT_EQ(tag.WriteToFile("="), 0);
    std::string f = ReadFile(path);
    ASSERT_EQ(f.size(), 255u);
    EXPECT_EQ(f.substr(127), Block("Titre", "", "", "", std::string(30, 'c'), 8));
    EXPECT_EQ(tag.Title, Field("Titre", 30));  // padded in the object too
    tag.SetTrack(12);
    tag.SetComment("Hello");
    EXPECT_EQ(tag.WriteToFile(path), 0);
    f = ReadFile(path);
    ASSERT_EQ(f.size(), 255u);
    EXPECT_EQ(f.substr(127 + 97, 30), Field("Hello", 28) + '\0' + char(12));
    ASSERT_EQ(tag.ReadFromFile(path), 0);
    EXPECT_EQ(tag.Comment, "Hello");
    EXPECT_EQ(tag.Track, 12);
}

TEST_F(Id3v1, WriteRefusals)
{
    Tid3tag fresh;
    EXPECT_EQ(fresh.WriteToFile("="), 0x0100);
    EXPECT_EQ(fresh.WriteToFile(dir.File("missing")), 0x0100);
    WriteFile(path, Audio(100));
    chmod(path.c_str(), 0444);
    EXPECT_EQ(fresh.WriteToFile(path), 0x0200);
    chmod(path.c_str(), 0644);
    const std::string hidden = dir.File(".h.mp3");
    WriteFile(hidden, Audio(100));
    EXPECT_EQ(fresh.WriteToFile(hidden), 0x0200);
    EXPECT_EQ(ReadFile(path), Audio(100));
    EXPECT_EQ(ReadFile(hidden), Audio(100));
}

// Blocks we write read the same through mutagen; blocks mutagen writes read the same here.
TEST_F(Id3v1, MutagenBothWays)
{
    struct Case {
        std::string title, artist, album, year, comment;
        int track, genre;
    };
    const Case cases[] = {
        {"Titre", "Artiste", "Album", "1999", "Commentaire", 3, 17},
        {std::string(30, 'T'), "\xC9t\xE9", "", "2024", std::string(28, 'c'), 0, 255},
        {"x", "y", "z", "1987", "no track", 0, 0},  // mutagen reads years as dates: 4 digits
    };
    for (const Case& c : cases) {
        WriteFile(path, Audio(1000));
        Tid3tag ours;
        ours.SetTitle(c.title);
        ours.SetArtist(c.artist);
        ours.SetAlbum(c.album);
        ours.SetYear(c.year);
        ours.SetComment(c.comment);
        ours.SetTrack(std::uint8_t(c.track));
        ours.Genre = std::uint8_t(c.genre);
        ASSERT_EQ(ours.WriteToFile(path), 0);
        std::map<std::string, std::string> theirs;
        std::istringstream out(RunTool("dump1 " + Quote(path)));
        for (std::string key, value; out >> key >> value;) theirs[key] = Unhex(value.substr(1));
        EXPECT_EQ(theirs["title"], c.title);
        EXPECT_EQ(theirs["artist"], c.artist);
        EXPECT_EQ(theirs["album"], c.album);
        EXPECT_EQ(theirs["year"], c.year);
        EXPECT_EQ(theirs["comment"], c.comment);
        EXPECT_EQ(theirs["track"], c.track ? std::to_string(c.track) : "");
        EXPECT_EQ(theirs["genre"], c.genre != 255 ? std::to_string(c.genre) : "");

        WriteFile(path, Audio(1000));
        RunTool("write1 " + Quote(path) + " x" + Hex(c.title) + " x" + Hex(c.artist) + " x" + Hex(c.album) + " x" +
                Hex(c.year) + " x" + Hex(c.comment) + " " + std::to_string(c.track) + " " + std::to_string(c.genre));
        Tid3tag back;
        EXPECT_LT(back.ReadFromFile(path), 0x0100);
        EXPECT_EQ(back.Title, c.title);
        EXPECT_EQ(back.Artist, c.artist);
        EXPECT_EQ(back.Album, c.album);
        EXPECT_EQ(back.Year, c.year);
        EXPECT_EQ(back.Comment, c.comment);
        EXPECT_EQ(back.Track, c.track);
        EXPECT_EQ(back.Genre, c.genre);
        EXPECT_EQ(ReadFile(path).substr(0, 1000), Audio(1000));
    }
}
