// A disc's entry in the local cache of disc identities (a ".jbd" file): the disc id, the
// artist, the number of titles, one title per line, the category and the album, each line
// ended by CR LF. Texts in UTF-8.
#pragma once

#include "CddbReply.h"

#include <string>
#include <vector>

namespace cdaudio {

struct TCddbCacheEntry {
    std::string DiscId;
    std::string Artist;
    int Count = 0;  // as the file says, bounded by what a disc or the file holds
    std::vector<std::string> Titles;
    std::string Category;
    std::string Album;
};

// Takes an entry apart: lines end at CR LF, CR or LF; past the last line every line is empty.
// Raises on a count that is no integer, with the fields before it filled.
void ReadCddbCacheEntry(const std::string& text, TCddbCacheEntry& entry);
std::string CddbCacheEntryText(const TCddbCacheEntry& entry);
// The disc's identity an entry holds: its artist, album, category and titles.
TDiscIdentity CddbCacheIdentity(const TCddbCacheEntry& entry);

// A decimal integer as the settings and cache files hold it: blanks before it, a sign, digits.
// Raises on any other text.
int CacheInteger(const std::string& text);

}  // namespace cdaudio
