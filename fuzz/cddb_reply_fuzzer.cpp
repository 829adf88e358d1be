// libFuzzer target: any bytes as a CDDB server's reply, taken apart by the CD layer's parser as
// a query's reply (its code, the exact match to read, a match line, the list of several
// matches) and as a read entry (its titles, artist, album and category), without the network.
// Each field must come out trimmed or whole as the parser promises.
#include "CddbReply.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace {

bool trimmed(const std::string& s)
{
    return s.empty() || (static_cast<unsigned char>(s.front()) > ' ' && static_cast<unsigned char>(s.back()) > ' ');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string reply(reinterpret_cast<const char*>(data), size);
    try {
        const int32_t code = cdaudio::CddbReplyCode(reply);
        if (code < -99 || code > 999) __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    const std::string exact = cdaudio::CddbExactMatch(reply);
    if (!exact.empty() && static_cast<unsigned char>(exact.back()) <= ' ') __builtin_trap();
    std::string category, discId;
    cdaudio::CddbMatchParts(exact, category, discId);
    if (category.find(' ') != std::string::npos || discId.find(' ') != std::string::npos) __builtin_trap();

    const std::vector<std::string> lines = cdaudio::CddbLines(reply);
    size_t held = 0;
    for (const std::string& line : lines) {
        if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
        held += line.size();
    }
    if (held > size) __builtin_trap();
    held = 0;
    for (const std::string& title : cdaudio::CddbTrackTitles(reply)) held += title.size();
    if (held > size) __builtin_trap();
    if (!trimmed(cdaudio::CddbArtist(lines)) || !trimmed(cdaudio::CddbAlbumTitle(lines))) __builtin_trap();
    try {
        if (cdaudio::CddbCategory(lines).find(' ') != std::string::npos) __builtin_trap();
    } catch (const std::out_of_range&) {
        if (!lines.empty()) __builtin_trap();  // only an empty reply has no first line
    }
    // As a reply of several matches: every line that is not blank but the first and the last, whole.
    std::vector<std::string> filled;
    for (const std::string& line : lines)
        if (!cdaudio::CddbTrim(line).empty()) filled.push_back(line);
    const std::vector<std::string> matches = cdaudio::CddbMatchList(reply);
    if (matches.size() != (filled.size() > 2 ? filled.size() - 2 : 0)) __builtin_trap();
    for (size_t i = 0; i < matches.size(); ++i)
        if (matches[i] != filled[i + 1]) __builtin_trap();
    // A whole entry has a title to show.
    if (cdaudio::CddbEntryWhole(lines) && cdaudio::CddbTrackTitles(reply).empty()) __builtin_trap();
    // As an entry, all at once: the same fields as one by one.
    try {
        const cdaudio::TDiscIdentity identity = cdaudio::CddbEntryIdentity(reply);
        if (identity.Artist != cdaudio::CddbArtist(lines) || identity.Album != cdaudio::CddbAlbumTitle(lines) ||
            identity.Titles.size() != cdaudio::CddbTrackTitles(reply).size())
            __builtin_trap();
    } catch (const std::out_of_range&) {
        if (!lines.empty()) __builtin_trap();
    }
    return 0;
}
