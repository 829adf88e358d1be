// The replies of a CDDB server taken apart: the reply code, the match line of a query, and the
// fields of a read entry. Texts as the client holds them (the server's ISO-8859-1 in UTF-8).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace cdaudio {

// What is known of a disc: from a server's entry, the cache or the defaults, as the extraction
// window shows it and a run takes it, with the disc it is of.
struct TDiscIdentity {
    std::string Artist;
    std::string Album;
    std::string Category;
    std::vector<std::string> Titles;  // one per track, in track order
    // The disc: its CDDB id text (empty: none) and each track's first and last sector as the
    // ripper reads them, so that two discs of one id are told apart.
    std::string DiscId;
    std::vector<std::pair<int32_t, int32_t>> Sectors;
    int TitleCount = 0;  // the titles its cache entry counts

    bool SameDisc(const TDiscIdentity& other) const
    {
        return !DiscId.empty() && DiscId == other.DiscId && Sectors == other.Sectors;
    }
};

// Without the blanks and control characters at either end.
std::string CddbTrim(const std::string& text);
// The lines of a reply; CR LF, CR or LF ends one.
std::vector<std::string> CddbLines(const std::string& text);
// The code that starts a reply: raises on a reply that starts with no integer.
int32_t CddbReplyCode(const std::string& reply);
// What an exact match (200) names for the read: the trimmed reply past its first blank.
std::string CddbExactMatch(const std::string& reply);
// The category and the disc id of a match line ("[200 |210 ]category discid ...").
void CddbMatchParts(const std::string& line, std::string& category, std::string& discId);

// The match lines ("category discid artist / title") of a query's reply of several (210, 211):
// its lines that are not blank, less the status line and the last one (the terminating ".").
std::vector<std::string> CddbMatchList(const std::string& reply);
// Whether the lines of a read reply make a whole entry: a disc title, a track title, and the
// terminating "." as the last line that is not blank.
bool CddbEntryWhole(const std::vector<std::string>& lines);

// One title per track of an entry: lines continuing a title (the same TTITLEn key) are joined.
std::vector<std::string> CddbTrackTitles(const std::string& entry);
// The artist and the album title of an entry's DTITLE lines, taken as "artist / album".
std::string CddbArtist(const std::vector<std::string>& lines);
std::string CddbAlbumTitle(const std::vector<std::string>& lines);
// The category of the entry's first line; raises on an entry with no line.
std::string CddbCategory(const std::vector<std::string>& lines);
// All of these at once; raises as CddbCategory does.
TDiscIdentity CddbEntryIdentity(const std::string& entry);

}  // namespace cdaudio
