// The tag tools' rules, as tables: case formatting, the character filter, the rename name, the
// pieces of a text list and the tag texts they are made of.
#include "RenameName.h"
#include "ShownText.h"
#include "TagCase.h"
#include "TagChars.h"
#include "TextList.h"

#include <gtest/gtest.h>

#include <array>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

TEST(TagToolRules, FormatTagCase)
{
    struct Case {
        const char* in;
        bool apostrophe;
        const char* out;
    };
    const Case cases[] = {
        {"hello   world", false, "Hello   World"},
        {"AC/DC", false, "Ac/dc"},
        {"(live)", false, "(Live)"},
        {"3 doors down", false, "3 Doors Down"},
        {"rock'n'roll", false, "Rock'n'roll"},
        {"rock'n'roll", true, "Rock'N'Roll"},
        {"l'\xc9T\xc9", false, "L'\xe9t\xe9"},
        {"l'\xc9T\xc9", true, "L'\xe9t\xe9"},
        {"a.b.c", false, "A.B.C"},
        {"x", false, "X"},
        {"", false, ""},
        {"\xe9t\xe9 \xe0 paris", false, "\xc9t\xe9 \xe0 Paris"},  // no capital for an accented letter
        {"a-b#c{d[e_f=g~h;i", false, "A-B#C{D[E_F=G~H;I"},
        {"a,b\tc/d)e", false, "A,b\tc/d)e"},
        {"\xff\xdf \xb5", false, "\xff\xdf \xb5"},  // no ISO-8859-1 capital
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.in) + (c.apostrophe ? " with '" : ""));
        EXPECT_EQ(FormatTagCase(c.in, c.apostrophe), c.out);
    }
    EXPECT_EQ(upperTagText("\xe9t\xe9 \xff\xdf\xb5 \xf7z"), "\xc9T\xc9 \xff\xdf\xb5 \xf7Z");
    EXPECT_EQ(lowerTagText("\xc9T\xc9 \xd7 ABC"), "\xe9t\xe9 \xd7 abc");
}

TEST(TagToolRules, FilterTagChars)
{
    struct Case {
        const char* replacement;
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {" ", "AC/DC: Live?", "AC DC  Live "},
        {" ", "03/12", "03 12"},
        {"_", "03/12", "03_12"},
        {"", "a\"b|c\\d/e:f?g*h", "abcdefgh"},
        {"<->", "a/b", "a<->b"},
        // A later character in the replacement is replaced again by its own pass.
        {"?x", "a\"b", "a?xxb"},
        {"_", "rien \xe0 changer", "rien \xe0 changer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.in) + " / '" + c.replacement + "'");
        ReplacementText = c.replacement;
        EXPECT_EQ(FilterTagChars(c.in), c.out);
    }
}

TEST(TagToolRules, RenameFileName)
{
    enum { E = 0, Artist = 1, Title = 2, Album = 3, Track = 4, Year = 5, None = -1 };
    struct Case {
        RenameFields fields;
        std::array<int, 5> chosen;
        const char* separator;
        const char* name;
    };
    const RenameFields ab{"AB", "Song", "Disque", "7", "1999"};
    const Case cases[] = {
        {ab, {Artist, Track, Title, None, None}, "-", "AB - 07 - Song.mp3"},
        {ab, {E, Artist, None, None, None}, "-", " - AB.mp3"},
        {ab, {None, E, None, E, None}, "-", ""},
        {ab, {Artist, Artist, None, None, None}, "-", "AB - AB.mp3"},
        {{"AB", "", "", "", ""}, {Artist, Title, None, None, None}, "-", "AB - .mp3"},
        {{"", "A/B: C?", "", "3/12", ""}, {Title, Track, None, None, None}, "-", "AB C - 312.mp3"},
        {ab, {Artist, Title, None, None, None}, "", "AB  Song.mp3"},
        {ab, {Year, Album, None, None, None}, "~~", "1999 ~~ Disque.mp3"},
        {{"\"a|b\\c*d", "", "", "12", ""}, {Artist, Track, None, None, None}, "-", "abcd - 12.mp3"},
        // Whole texts in the local encoding of names; one character of a track is one character.
        {{"Été", "", "", "", ""}, {Artist, None, None, None, None}, "-", "Été.mp3"},
        {{"Queen", "Don’t Stop Me Now", "", "٧", ""},
         {Title, Artist, Track, None, None},
         "-",
         "Don’t Stop Me Now - Queen - 0٧.mp3"},
        // Never a hidden file: the leading dots go, a part of dots only is an empty slot.
        {{"AB", "...And Justice for All", "", "", ""},
         {Title, Artist, None, None, None},
         "-",
         "And Justice for All - AB.mp3"},
        {{".38 Special", "...", "", "", ""}, {Artist, Title, None, None, None}, "-", "38 Special - ....mp3"},
        {{"AB", "...", "", "", ""}, {Title, Artist, None, None, None}, "-", " - AB.mp3"},
        {{"AB", "..", "", "", ""}, {Title, None, None, None, None}, "-", ""},
        {{"AB", "", "", "", ""}, {Title, None, None, None, None}, "-", ""},
        {{". AB", "", "", "", ""}, {Artist, None, None, None, None}, "-", " AB.mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RenameFileName(c.fields, c.chosen, c.separator), c.name);
    }
    EXPECT_EQ(StripNameChars("A\"|\\/:?*B"), "AB");
    const std::pair<const char*, bool> names[] = {
        {"a.mp3", true}, {".mp3", true}, {"", false}, {".", false}, {"..", false}, {"a/b.mp3", false},
    };
    for (const auto& [name, plain] : names) EXPECT_EQ(IsPlainFileName(name), plain) << name;
    EXPECT_FALSE(IsPlainFileName(std::string("a\0b.mp3", 7)));
}

// The pieces of a list, byte for byte, for each option.
TEST(TagToolRules, ListPieces)
{
    struct Entry {
        const char* path;
        bool loaded;
        const char* artist;
        const char* title;
        const char* album;
    };
    const Entry example[] = {
        {"/m/a/1.mp3", true, "Art", "Un", "Alb"},
        {"/m/a/2.mp3", true, "Art", "Deux", "Alb"},
    };
    const Entry mixed[] = {
        {"/m/a/0.mp3", false, "", "", ""},  // no tag: no line; the next file gets the header
        {"/m/a/1.mp3", true, "", "", ""},
        {"/m/b/2.mp3", true, "Dvořák Quartet", "Don’t Stop Me Now", "l’été – live"},
        {"/m/B/3.mp3", true, "X", "Y", "l’été – live"},
    };
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        ListOptions options;
        const char* text;
    };
    ListOptions both;
    both.folders = both.albums = true;
    ListOptions all = both;
    all.paths = all.spacer = true;
    const Case cases[] = {
        {"example",
         {std::begin(example), std::end(example)},
         both,
         "\r\n     DOSSIER /m/a/ :\r\n\r\n\r\n     ALBUM Alb :\r\n\r\nArt - Un\r\nArt - Deux\r\n"},
        {"plain", {std::begin(example), std::end(example)}, {}, "Art - Un\r\nArt - Deux\r\n"},
        {"paths and spacer",
         {std::begin(example), std::begin(example) + 1},
         all,
         "\r\n     DOSSIER /m/a/ :\r\n\r\n\r\n     ALBUM Alb :\r\n\r\nArt - Un\r\n/m/a/1.mp3\r\n\r\n"},
        {"mixed",
         {std::begin(mixed), std::end(mixed)},
         both,
         "\r\n     DOSSIER /m/a/ :\r\n\r\n\r\n     ALBUM <Sans Nom> :\r\n\r\n - \r\n"
         "\r\n     DOSSIER /m/b/ :\r\n\r\n\r\n     ALBUM l’été – live :\r\n\r\nDvořák Quartet - Don’t Stop Me Now\r\n"
         "\r\n     DOSSIER /m/B/ :\r\n\r\nX - Y\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextListMaker list(c.options);
        for (const Entry& e : c.entries)
            if (e.loaded) list.add(e.path, e.artist, e.title, e.album);
        EXPECT_EQ(list.text(), c.text);
    }
}

// The texts shown and written out, whole, from frames as taggers write them.
TEST(TagToolRules, ShownTexts)
{
    struct Case {
        const char* name;
        std::uint8_t version;
        const char* frame;  // as built; read as "TYER" for the year
        std::vector<std::uint8_t> data;
        const char* read;
        const char* text;
        bool whole;
    };
    const Case cases[] = {
        // UTF-16 with its mark, as mutagen writes ID3v2.3: "Don’t", then its terminator.
        {"utf-16", 3, "TIT2", {1, 0xFF, 0xFE, 'D', 0, 'o', 0, 'n', 0, 0x19, 0x20, 't', 0, 0, 0}, "TIT2", "Don’t", true},
        {"utf-8", 4, "TPE1", {3, 'D', 'v', 'o', 0xC5, 0x99, 0xC3, 0xA1, 'k', 0}, "TPE1", "Dvořák", true},
        {"iso-8859-1", 3, "TALB", {0, 'C', 0xE9}, "TALB", "Cé", true},
        {"outside the BMP", 3, "TALB", {1, 0xFF, 0xFE, 0x34, 0xD8, 0x1E, 0xDD}, "TALB", "𝄞", true},
        {"missing", 3, "TALB", {0, 'x'}, "TIT2", "", true},
        // What is no text is not whole, whatever stands in its place.
        {"not utf-8", 4, "TIT2", {3, 'A', 0xFF, 'B'}, "TIT2", "A\uFFFDB", false},
        {"unknown encoding", 3, "TIT2", {7, 'A'}, "TIT2", "", false},
        {"control character", 3, "TIT2", {0, 'A', 7}, "TIT2", "", false},
        // The year: an ID3v2.4 time stamp's first four characters.
        {"time stamp", 4, "TDRC", {0, '1', '9', '9', '9', '-', '0', '5'}, "TYER", "1999", true},
        {"wide time stamp",
         4,
         "TDRC",
         {3, 0xEF, 0xBC, 0x92, 0xEF, 0xBC, 0x90, 0xEF, 0xBC, 0x92, 0xEF, 0xBC, 0x94, '-'},
         "TYER",
         "２０２４",
         true},
        {"year", 3, "TYER", {1, 0xFF, 0xFE, '2', 0, '0', 0, '0', 0, '1', 0}, "TYER", "2001", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tid3v2tag tag;
        tag.MajorVersion = c.version;
        tag.Frames.Record(tag.Frames.AddFrame(c.frame)).Data = c.data;
        const ShownText shown = shownTagText(tag, c.read);
        EXPECT_EQ(shown.text, c.text);
        EXPECT_EQ(shown.whole, c.whole);
    }
    // The comment, UTF-16 in another language, as the list shows it.
    Tid3v2tag tag;
    tag.Frames.Record(tag.Frames.AddFrame("COMM")).Data = {1, 'f',  'r',  'a', 0xFF, 0xFE, 0, 0,   0xFF, 0xFE, 'C',
                                                           0, 0x19, 0x20, 'e', 0,    's',  0, 't', 0,    0,    0};
    EXPECT_EQ(shownComment(tag).text, "C’est");
    EXPECT_TRUE(shownComment(tag).whole);
    EXPECT_EQ(utf8Length("Dvořák 𝄞"), 8u);
}
