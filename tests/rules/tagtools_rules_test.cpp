// The tag tools' rules, as tables: case formatting, the character filter, the rename name and
// the pieces of a text list.
#include "RenameName.h"
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
        {{"\xc9t\xe9", "", "", "", ""}, {Artist, None, None, None, None}, "-", "\xc3\x89t\xc3\xa9.mp3"},
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
        {"/m/b/2.mp3", true, "\xc9t\xe9", "T", "Alb"},
        {"/m/B/3.mp3", true, "X", "Y", "Alb"},
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
         "\r\n     DOSSIER /m/b/ :\r\n\r\n\r\n     ALBUM Alb :\r\n\r\n\xc3\x89t\xc3\xa9 - T\r\n"
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
