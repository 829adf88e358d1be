// A disc's entry in the local cache of disc identities (a ".jbd" file): the disc id, the
// artist, the number of titles, one title per line, the category and the album, each line
// ended by CR LF. Texts in UTF-8.
#pragma once

#include "CddbReply.h"

#include <string>
#include <vector>

namespace cdaudio {

// An entry holds a disc's identity: its first line is the identity's disc id, its count line
// the identity's TitleCount; the disc's table is not kept.
struct TCddbCacheEntry {
    TDiscIdentity Identity;
};

// Takes an entry apart: lines end at CR LF, CR or LF; past the last line every line is empty.
// A count far beyond what a disc or the file holds is not taken. Raises on a count that is no
// integer, with the fields before it filled.
void ReadCddbCacheEntry(const std::string& text, TCddbCacheEntry& entry);
std::string CddbCacheEntryText(const TCddbCacheEntry& entry);

// A decimal integer as the settings and cache files hold it: blanks before it, a sign, digits.
// Raises on any other text.
int CacheInteger(const std::string& text);

}  // namespace cdaudio
