// The CD layer's rules on texts alone: the rip file name, the replies of a CDDB server and the
// local cache's entries.
#include "CddbCache.h"
#include "CddbReply.h"
#include "ErrorOf.h"
#include "RipName.h"
#include "WavHeader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <tuple>
#include <unistd.h>

namespace {

using Strings = std::vector<std::string>;
using namespace std::string_literals;

TEST(RipName, TemplatesGiveNamesThatStayInTheRipFolder)
{
    struct Case {
        const char* tmpl;
        const char* title;
        int track;
        const char* artist;
        const char* album;
        const char* expected;  // under the rip folder
    } cases[] = {
        {"%1\\%2\\%4 - %6", "T", 3, "A", "B", "A/B/03 - T"},
        {"%3-%4-%5", "T", 12, "A", "B", "12-12-20"},
        {"%3-%4", "T", 7, "A", "B", "7-07"},
        {"%6", "AC/DC: Live?", 1, "A", "B", "ACDC Live"},
        {"%6", "Part 1\\Part 2", 1, "A", "B", "Part 1/Part 2"},
        {"%1 - %6", "T", 1, "%6", "B", "T - T"},
        {"\\%6", "T", 1, "A", "B", "/T"},
        {"%6", "", 1, "A", "B", ""},
        // The file is never hidden: its name loses its leading dots, and may be left empty.
        {"%1\\%2\\%6", "..", 1, "..", "..", "_/_/"},
        {"%6", ".38 Special", 1, "A", "B", "38 Special"},
        {"%6", "...", 1, "A", "B", ""},
        {"%1\\%6", "x", 1, ".A", "B", ".A/x"},
        {"%4 - %6", "Прелюдия №1", 1, "A", "B", "01 - Прелюдия №1"},
        {"%1\\%6", "x", 1, ".", "B", "_/x"},
        {"..\\..\\%6", "..\\..\\etc\\x", 1, "A", "B", "_/_/_/_/etc/x"},
        {"%2\\%6", "x", 1, "A", "../..", "_/x"},
        {"%2\\%6", "x", 1, "A", "..\\..", "_/_/x"},
        {"%6", "a\"b|c*d", 1, "A", "B", "abcd"},
        {"%6 \xC3\xA9t\xC3\xA9", "x", 1, "A", "B", "x \xC3\xA9t\xC3\xA9"},
        {"%6\\x", "..", 1, "A", "B", "_/x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tmpl + std::string(" / ") + c.title);
        EXPECT_EQ(cdaudio::RipFileName(c.tmpl, c.title, c.track, c.artist, c.album, 20), c.expected);
    }
    // Parts too long for a folder entry (255 bytes) are cut where a character begins; the last
    // one leaves room for the longest extension a rip adds, ".jitt".
    const std::string star = "\xF0\x9F\x8C\x9F";  // 4 bytes in UTF-8
    std::string stars;
    for (int i = 0; i < 75; ++i) stars += star;
    const struct {
        std::string tmpl, title, artist, expected;
    } longer[] = {
        {"%6", std::string(300, 'x'), "A", std::string(250, 'x')},
        {"%1\\%6", "t", std::string(300, 'x'), std::string(255, 'x') + "/t"},
        {"%4 - %6", "a" + stars, "A", "01 - a" + stars.substr(0, 61 * 4)},
        {"%6", "a" + stars, "A", "a" + stars.substr(0, 62 * 4)},
        {"%6", "abc" + stars, "A", "abc" + stars.substr(0, 61 * 4)},
        {"%6", std::string(300, '\xE9'), "A", std::string(250, '\xE9')},  // Latin-1, no UTF-8
        {"%6", std::string(300, '\xA9'), "A", std::string(250, '\xA9')},
    };
    for (const auto& c : longer) {
        SCOPED_TRACE(c.tmpl + " / " + c.title.substr(0, 8));
        EXPECT_EQ(cdaudio::RipFileName(c.tmpl, c.title, 1, c.artist, "B", 20), c.expected);
    }
    // A text ends at its first 0, and a part ".." left by it is no name either.
    EXPECT_EQ(cdaudio::RipFileName("%6", std::string("..\0\\x", 5), 1, "A", "B", 20), "");
    EXPECT_EQ(cdaudio::CleanFileNameChars("a\"b|c/d:e?f*g\\h"), "abcdefg\\h");
}

TEST(CddbReply, CodesAndMatchLines)
{
    struct {
        const char* reply;
        int32_t code;
        const char* error;
        const char* exact;
    } replies[] = {
        {"200 rock 0c012a02 Artist / Title\r\n", 200, nullptr, "rock 0c012a02 Artist / Title"},
        {"211 close matches found\r\n", 211, nullptr, "close matches found"},
        {"-12", -12, nullptr, ""},
        {"hello world\r\n", 0, "'hel' n'est pas une valeur entière correcte", "world"},
        {"", 0, "'' n'est pas une valeur entière correcte", ""},
        {"\x1b\r\n", 0, "'?\?\?' n'est pas une valeur entière correcte", ""},
        {"+", 0, "'+' n'est pas une valeur entière correcte", ""},
    };
    for (auto& r : replies) {
        SCOPED_TRACE(r.reply);
        if (r.error) EXPECT_EQ(errorOf([&] { cdaudio::CddbReplyCode(r.reply); }), r.error);
        else EXPECT_EQ(cdaudio::CddbReplyCode(r.reply), r.code);
        EXPECT_EQ(cdaudio::CddbExactMatch(r.reply), r.exact);
    }
    struct {
        const char* line;
        const char* category;
        const char* discId;
    } matches[] = {
        {"rock 0c012a02 Artist / Title", "rock", "0c012a02"},
        {"210 rock 0c012a02 Artist / Title", "rock", "0c012a02"},
        {"200 rock 0c012a02 Artist / Title", "rock", "0c012a02"},
        {"rock", "", ""},
        {"rock 0c012a02", "rock", ""},
        {"r&b 0c012a02 x", "r&b", "0c012a02"},
    };
    for (auto& m : matches) {
        std::string category = "stale", discId = "stale";
        cdaudio::CddbMatchParts(m.line, category, discId);
        EXPECT_EQ(category, m.category) << m.line;
        EXPECT_EQ(discId, m.discId) << m.line;
    }
    // A reply of several matches: the lines between its status line and the terminating ".".
    struct {
        const char* reply;
        Strings lines;
    } lists[] = {
        {"210 Found exact matches\r\nrock 0c012a02 A / B\r\njazz 0c012a02 C / D\r\n.\r\n",
         {"rock 0c012a02 A / B", "jazz 0c012a02 C / D"}},
        // A blank line is no match to choose.
        {"211 close\rrock x A\n\n \t\r\njazz y B\r\n.\r\n\r\n", {"rock x A", "jazz y B"}},
        {"211 close\r\n.", {}},
        {"210 no list", {}},
        {"", {}},
    };
    for (auto& l : lists) EXPECT_EQ(cdaudio::CddbMatchList(l.reply), l.lines) << l.reply;
}

TEST(CddbReply, EntryFields)
{
    const std::string entry = "210 rock 0c012a02 CD database entry follows (until terminating `.')\r\n"
                              "# xmcd\r\n"
                              "#\t150\r\n"
                              "DTITLE=Les Rita Mitsouko / Marc et Robert, \xC3\xA9\r\n"
                              "DTITLE=dition remasteris\xC3\xA9\x65\r\n"
                              "ttitle0=Le petit train\r\n"
                              "TTITLE1=a=b, the first part of a long title \r\n"
                              "TTITLE1=and its continuation\r\n"
                              "TTITLE2=\r\n"
                              "EXTT0=extended\r\n"
                              ".\r\n";
    const Strings lines = cdaudio::CddbLines(entry);
    EXPECT_EQ(cdaudio::CddbTrackTitles(entry),
              (Strings{"Le petit train", "a=b, the first part of a long title and its continuation", ""}));
    EXPECT_EQ(cdaudio::CddbArtist(lines), "Les Rita Mitsouko");
    EXPECT_EQ(cdaudio::CddbAlbumTitle(lines), "Marc et Robert, \xC3\xA9"
                                              "dition remasteris\xC3\xA9"
                                              "e");
    EXPECT_EQ(cdaudio::CddbCategory(lines), "rock");
    EXPECT_THROW(cdaudio::CddbCategory({}), std::out_of_range);
    EXPECT_TRUE(cdaudio::CddbEntryWhole(lines));

    struct {
        const char* entry;
        const char* artist;
        const char* album;
        const char* category;
        Strings titles;
    } rows[] = {
        {"210 jazz 1 x\nDTITLE=Some Artist / Some Album\n", "Some Artist", "Some Album", "jazz", {}},
        {"210 jazz 1 x\ndtitle=No Slash\n", "", "dtitle=No Slash", "jazz", {}},
        {"210 jazz\rDTITLE=A / B\rDTITLE=C\r", "A", "BC", "", {}},
        {"210\n", "", "", "", {}},
        {"210 a b\r\n\r\nTTITLE0\r\nTTITLE0=x\r\nTTITLE1=y\r\nTTITLE0=z", "", "", "a", {"TTITLE0x", "y", "z"}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.entry);
        const Strings l = cdaudio::CddbLines(r.entry);
        EXPECT_EQ(cdaudio::CddbArtist(l), r.artist);
        EXPECT_EQ(cdaudio::CddbAlbumTitle(l), r.album);
        EXPECT_EQ(cdaudio::CddbCategory(l), r.category);
        EXPECT_EQ(cdaudio::CddbTrackTitles(r.entry), r.titles);
        const cdaudio::TDiscIdentity identity = cdaudio::CddbEntryIdentity(r.entry);
        EXPECT_EQ(identity.Artist, r.artist);
        EXPECT_EQ(identity.Album, r.album);
        EXPECT_EQ(identity.Category, r.category);
        EXPECT_EQ(identity.Titles, r.titles);
        EXPECT_FALSE(cdaudio::CddbEntryWhole(l));  // none ends with "."
    }
    EXPECT_EQ(cdaudio::CddbLines("a\r\n\r\rb\n\nc"), (Strings{"a", "", "", "b", "", "c"}));
}

TEST(CddbCache, EntriesAsTheyAreFound)
{
    std::string ten;
    for (int i = 1; i <= 10; ++i) ten += "T" + std::to_string(i) + "\r\n";
    Strings far(99);
    far[0] = "A";
    struct Case {
        const char* name;
        std::string bytes;
        const char* artist;
        int count;
        Strings titles;
        const char* category;
        const char* album;
        const char* error;
    } cases[] = {
        {"short",
         "x\r\nArt\r\n12\r\n" + ten,
         "Art",
         12,
         {"T1", "T2", "T3", "T4", "T5", "T6", "T7", "T8", "T9", "T10", "", ""},
         "",
         "",
         nullptr},
        {"no titles", "x\r\nArt\r\n0\r\nblues\r\nAlb\r\n", "Art", 0, {}, "blues", "Alb", nullptr},
        {"surplus titles", "x\nArt\n1\nA\nB\nC\n", "Art", 1, {"A"}, "B", "C", nullptr},
        {"CR ends", "x\rArt\r2\rt\x01\x31\rt2\rc\rAl\r", "Art", 2, {"t\x01\x31", "t2"}, "c", "Al", nullptr},
        {"empty lines kept", "x\n\n1\n\n\n\n\n", "", 1, {""}, "", "", nullptr},
        {"blanks and a sign", "x\r\nArt\r\n  \t+2\r\na\r\nb\r\n", "Art", 2, {"a", "b"}, "", "", nullptr},
        {"a count far beyond a disc's", "x\nArt\n100000\nA\n", "Art", 99, far, "", "", nullptr},
        {"negative", "x\nArt\n-3\nc\nAl\n", "Art", -3, {}, "c", "Al", nullptr},
        {"bad count",
         "x\r\nArt\r\ntwelve\r\nT1\r\n",
         "Art",
         0,
         {},
         "",
         "",
         "'twelve' n'est pas une valeur entière correcte"},
        {"empty", "", "", 0, {}, "", "", "'' n'est pas une valeur entière correcte"},
        {"control bytes in the count",
         "x\r\nArt\r\n\x1b[2J\t1\r\n",
         "Art",
         0,
         {},
         "",
         "",
         "'?[2J?1' n'est pas une valeur entière correcte"},
        {"blank after the count", "x\nArt\n2 \n", "Art", 0, {}, "", "", "'2 ' n'est pas une valeur entière correcte"},
        {"over an int",
         "x\nArt\n2147483648\n",
         "Art",
         0,
         {},
         "",
         "",
         "'2147483648' n'est pas une valeur entière correcte"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cdaudio::TCddbCacheEntry e;
        const cdaudio::TDiscIdentity& i = e.Identity;
        EXPECT_EQ(errorOf([&] { cdaudio::ReadCddbCacheEntry(c.bytes, e); }), c.error ? c.error : "no error");
        EXPECT_EQ(i.Artist, c.artist);
        if (c.error) continue;
        EXPECT_EQ(i.DiscId, c.bytes.empty() ? "" : "x");
        EXPECT_EQ(i.TitleCount, c.count);
        EXPECT_EQ(i.Titles, c.titles);
        EXPECT_EQ(i.Category, c.category);
        EXPECT_EQ(i.Album, c.album);
    }
    EXPECT_EQ(cdaudio::CacheInteger("-2147483648"), -2147483647 - 1);
    // What is written reads back the same, in the file's layout.
    cdaudio::TCddbCacheEntry written;
    written.Identity = {"Les \xC3\x89toiles", "Nuit", "rock", {"Ouverture", "", ".."}, "0c012a02", {}, 3};
    const std::string text = cdaudio::CddbCacheEntryText(written);
    EXPECT_EQ(text, "0c012a02\r\nLes \xC3\x89toiles\r\n3\r\nOuverture\r\n\r\n..\r\nrock\r\nNuit\r\n");
    cdaudio::TCddbCacheEntry read;
    cdaudio::ReadCddbCacheEntry(text, read);
    const cdaudio::TDiscIdentity &r = read.Identity, &w = written.Identity;
    EXPECT_EQ(std::tie(r.DiscId, r.Artist, r.TitleCount, r.Titles, r.Category, r.Album),
              std::tie(w.DiscId, w.Artist, w.TitleCount, w.Titles, w.Category, w.Album));
}

// Little-endian fields and chunks of a WAV file.
std::string le(uint32_t v, int bytes)
{
    std::string b;
    for (int i = 0; i < bytes; ++i) b += char(v >> (8 * i));
    return b;
}
std::string chunk(const char* id, const std::string& body, uint32_t size) { return id + le(size, 4) + body; }
std::string fmt(uint16_t tag, uint32_t rate = 44100, uint16_t subFormat = 1, uint16_t channels = 2)
{
    std::string b =
        le(tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * 2 * channels, 4) + le(2 * channels, 2) + le(16, 2);
    if (tag == 0xFFFE) b += le(22, 2) + le(16, 2) + le(3, 4) + le(subFormat, 2) + std::string(14, 'g');
    return chunk("fmt ", b, uint32_t(b.size()));
}
std::string riff(const std::string& chunks) { return "RIFF" + le(uint32_t(chunks.size() + 4), 4) + "WAVE" + chunks; }

TEST(WavHeader, WhereTheAudioLies)
{
    const std::string pcm(8, 'p'), data = chunk("data", pcm, 8);
    struct Case {
        const char* name;
        std::string file;
        bool ok;
        uint64_t offset, length;
        bool wave;
        bool whole = false;  // its sizes are the file's: a header fitted, or written after the audio
    } cases[] = {
        {"canonical", riff(fmt(1) + data), true, 44, 8, true, true},
        {"an odd chunk first, padded", riff(chunk("LIST", "abc", 3) + "\0"s + fmt(1) + data), true, 56, 8, true, true},
        {"a chunk after the data", riff(fmt(1) + data + chunk("id3 ", "xy", 2)), true, 44, 8, true},
        {"data claims more than the file", riff(fmt(1) + chunk("data", pcm, 1000)), true, 44, 8, true},
        {"RIFF claims more than the file", "RIFF" + le(1000, 4) + "WAVE" + fmt(1) + data, true, 44, 8, true},
        {"bytes after the data that are no chunk", riff(fmt(1) + data + "\x01\x02\x03\x04\0\0\0\0"s), true, 44, 16,
         true},
        {"a chunk after the data larger than the file", riff(fmt(1) + data + chunk("id3 ", "", 99)), true, 44, 16,
         true},
        {"extensible PCM", riff(fmt(0xFFFE) + data), true, 68, 8, true, true},
        {"extensible float", riff(fmt(0xFFFE, 44100, 3) + data), false, 0, 0, true},
        {"float", riff(fmt(3) + data), false, 0, 0, true},
        // The rates and channels the encoder takes in.
        {"7999 Hz", riff(fmt(1, 7999) + data), false, 0, 0, true},
        {"1 Hz", riff(fmt(1, 1) + data), false, 0, 0, true},
        {"8000 Hz", riff(fmt(1, 8000) + data), true, 44, 8, true, true},
        {"192000 Hz", riff(fmt(1, 192000) + data), true, 44, 8, true, true},
        {"192001 Hz", riff(fmt(1, 192001) + data), false, 0, 0, true},
        {"no channel", riff(fmt(1, 44100, 1, 0) + data), false, 0, 0, true},
        {"3 channels", riff(fmt(1, 44100, 1, 3) + data), false, 0, 0, true},
        {"the data before the format", riff(data + fmt(1)), false, 0, 0, true},
        {"no data", riff(fmt(1)), false, 0, 0, true},
        {"raw PCM", pcm + pcm, true, 0, 16, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = c.file;
        FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
        ASSERT_NE(f, nullptr);
        cdaudio::TWavAudio audio;
        const bool ok = cdaudio::ReadWavHeader(f, bytes.size(), audio);
        EXPECT_EQ(ok, c.ok);
        std::fclose(f);
        EXPECT_EQ(audio.wave, c.wave);
        EXPECT_EQ(ok && cdaudio::WavIsWhole(audio, bytes.size()), c.whole);
        if (!c.ok) continue;
        EXPECT_EQ(audio.offset, c.offset);
        EXPECT_EQ(audio.length, c.length);
        EXPECT_EQ(audio.channels, c.wave ? 2 : 0);
    }
    // The header written ahead of its audio says what it was told; fitted, what the file holds.
    const auto header = cdaudio::WavHeader(2, 44100, 1000);
    const std::string said(header.begin(), header.end());
    EXPECT_EQ(said, "RIFF" + le(1036, 4) + "WAVE" + fmt(1) + chunk("data", "", 1000));
    char name[] = "/tmp/wavheaderXXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, (said + pcm).data(), said.size() + pcm.size()), ssize_t(said.size() + pcm.size()));
    close(fd);
    EXPECT_EQ(cdaudio::FitWavHeader(name), 0);
    std::ifstream in(name, std::ios::binary);
    const std::string fitted((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(fitted, riff(fmt(1) + data));
    std::remove(name);
    EXPECT_EQ(cdaudio::FitWavHeader(name), ENOENT);
}

}  // namespace
