#include "CddbReply.h"

#include "Input.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace cdaudio {

namespace {

std::string upper6(const std::string& s)
{
    std::string u = s.substr(0, 6);
    for (char& c : u) c = char(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

// The disc title: every DTITLE line joined, and the key as the first line spells it.
bool discTitle(const std::vector<std::string>& lines, std::string& key, std::string& value)
{
    bool found = false;
    value.clear();
    for (const std::string& line : lines) {
        if (upper6(line) != "DTITLE") continue;
        size_t eq = line.find('=');
        if (!found) key = eq == std::string::npos ? std::string() : line.substr(0, eq + 1);
        value += eq == std::string::npos ? line : line.substr(eq + 1);
        found = true;
    }
    return found;
}

}  // namespace

std::string CddbTrim(const std::string& s)
{
    size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= ' ') ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
    return s.substr(a, b - a);
}

std::vector<std::string> CddbLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string::npos) {
            lines.push_back(text.substr(from));
            break;
        }
        lines.push_back(text.substr(from, end - from));
        from = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

// The integer conversion of the reply code: decimal digits, an optional sign.
int32_t CddbReplyCode(const std::string& reply)
{
    const std::string s = reply.substr(0, 3);
    size_t i = s[0] == '-' || s[0] == '+' ? 1 : 0;
    bool ok = i < s.size();
    for (size_t k = i; k < s.size(); ++k) ok = ok && std::isdigit(static_cast<unsigned char>(s[k]));
    if (!ok) throw std::runtime_error("'" + platform::printable(s) + "' n'est pas une valeur entière correcte");
    return std::stoi(s);
}

std::string CddbExactMatch(const std::string& reply)
{
    const std::string result = CddbTrim(reply);
    size_t blank = result.find(' ');
    return blank == std::string::npos ? std::string() : result.substr(blank + 1);
}

void CddbMatchParts(const std::string& matchLine, std::string& category, std::string& discId)
{
    std::string line = matchLine;
    if (line.compare(0, 3, "210") == 0 || line.compare(0, 3, "200") == 0) line = CddbTrim(line.substr(3, 999));
    category.clear();
    discId.clear();
    size_t first = line.find(' ');
    if (first != std::string::npos) {
        category = line.substr(0, first);
        size_t second = line.find(' ', first + 1);
        if (second != std::string::npos) discId = line.substr(first + 1, second - first - 1);
    }
}

std::vector<std::string> CddbMatchList(const std::string& reply)
{
    std::vector<std::string> lines = CddbLines(reply);
    // A blank line would be an empty row to choose.
    std::erase_if(lines, [](const std::string& line) { return CddbTrim(line).empty(); });
    if (!lines.empty()) lines.erase(lines.begin());
    if (!lines.empty()) lines.pop_back();
    return lines;
}

bool CddbEntryWhole(const std::vector<std::string>& lines)
{
    bool disc = false, track = false;
    for (const std::string& line : lines) {
        const std::string key = upper6(line);
        disc = disc || key == "DTITLE";
        track = track || key == "TTITLE";
    }
    const auto last =
        std::find_if(lines.rbegin(), lines.rend(), [](const std::string& line) { return !CddbTrim(line).empty(); });
    return disc && track && last != lines.rend() && CddbTrim(*last) == ".";
}

std::vector<std::string> CddbTrackTitles(const std::string& entry)
{
    std::vector<std::string> list;
    std::string lastKey;
    for (const std::string& line : CddbLines(entry)) {
        if (upper6(line) != "TTITLE") continue;
        size_t eq = line.find('=');
        std::string key = eq == std::string::npos ? line : line.substr(0, eq);
        for (char& c : key) c = char(std::toupper(static_cast<unsigned char>(c)));
        std::string title = eq == std::string::npos ? line : line.substr(eq + 1);
        if (!list.empty() && key == lastKey) list.back() += title;  // a continued title
        else list.push_back(title);
        lastKey = key;
    }
    return list;
}

std::string CddbArtist(const std::vector<std::string>& lines)
{
    std::string key, value;
    if (!discTitle(lines, key, value)) return {};
    size_t slash = value.find('/');
    return slash == std::string::npos ? std::string() : CddbTrim(value.substr(0, slash));
}

std::string CddbAlbumTitle(const std::vector<std::string>& lines)
{
    std::string key, value;
    if (!discTitle(lines, key, value)) return {};
    size_t slash = value.find('/');
    return slash == std::string::npos ? CddbTrim(key + value) : CddbTrim(value.substr(slash + 1));
}

std::string CddbCategory(const std::vector<std::string>& lines)
{
    if (lines.empty()) throw std::out_of_range("Index de liste hors limites (0)");
    const std::string& line = lines[0];
    size_t first = line.find(' ');
    if (first == std::string::npos) return {};
    size_t second = line.find(' ', first + 1);
    if (second == std::string::npos) return {};
    return line.substr(first + 1, second - first - 1);
}

TDiscIdentity CddbEntryIdentity(const std::string& entry)
{
    const std::vector<std::string> lines = CddbLines(entry);
    TDiscIdentity identity;
    identity.Category = CddbCategory(lines);
    identity.Artist = CddbArtist(lines);
    identity.Album = CddbAlbumTitle(lines);
    identity.Titles = CddbTrackTitles(entry);
    return identity;
}

}  // namespace cdaudio
