#include "CddbCache.h"

#include "Input.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

namespace cdaudio {

namespace {

bool asciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int CacheInteger(const std::string& text)
{
    // Blanks, then any white space, before the sign; nothing after the digits.
    size_t at = text.find_first_not_of(' ');
    while (at < text.size() && asciiSpace(text[at])) ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    long long value = 0;
    bool ok = at < text.size();
    for (; ok && at < text.size(); ++at) {
        ok = text[at] >= '0' && text[at] <= '9';
        value = std::min(value * 10 + (text[at] - '0'), 1LL << 32);
    }
    if (negative) value = -value;
    if (!ok || value < INT_MIN || value > INT_MAX)
        throw std::runtime_error("'" + platform::printable(text) + "' n'est pas une valeur entière correcte");
    return int(value);
}

void ReadCddbCacheEntry(const std::string& text, TCddbCacheEntry& entry)
{
    std::vector<std::string> lines;
    for (size_t from = 0; from <= text.size();) {
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(from, end - from));
        from = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    if (lines.back().empty()) lines.pop_back();
    size_t at = 0;
    auto next = [&] { return at < lines.size() ? lines[at++] : std::string(); };
    entry = TCddbCacheEntry();
    TDiscIdentity& identity = entry.Identity;
    identity.DiscId = next();
    identity.Artist = next();
    int count = CacheInteger(next());
    // A count far beyond what a disc holds is not taken.
    count = int(std::min<long long>(count, std::max<long long>(99, (long long)lines.size())));
    identity.TitleCount = count;
    for (int i = 0; i < count; ++i) identity.Titles.push_back(next());
    identity.Category = next();
    identity.Album = next();
}

std::string CddbCacheEntryText(const TCddbCacheEntry& entry)
{
    const TDiscIdentity& identity = entry.Identity;
    std::string text;
    auto line = [&text](const std::string& value) { text += value + "\r\n"; };
    line(identity.DiscId);
    line(identity.Artist);
    line(std::to_string(identity.TitleCount));
    for (const std::string& title : identity.Titles) line(title);
    line(identity.Category);
    line(identity.Album);
    return text;
}

}  // namespace cdaudio
