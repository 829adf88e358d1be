#include "RipName.h"

#include <string_view>

namespace cdaudio {

namespace {

void replaceAll(std::string& text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

}  // namespace

std::string CleanFileNameChars(std::string text)
{
    std::string kept;
    for (const char c : text)
        if (std::string_view("\"|/:?*").find(c) == std::string_view::npos) kept += c;
    return kept;
}

std::string RipFileName(const std::string& pattern, const std::string& title, int track, const std::string& artist,
                        const std::string& album, int rowCount)
{
    std::string name = pattern;
    const std::string number = std::to_string(track);
    replaceAll(name, "%1", artist);
    replaceAll(name, "%2", album);
    replaceAll(name, "%3", number);
    replaceAll(name, "%4", number.size() < 2 ? "0" + number : number);
    replaceAll(name, "%5", std::to_string(rowCount));
    replaceAll(name, "%6", title);
    name = CleanFileNameChars(name);
    // A text ends at its first 0; a part "." or ".." would leave the rip folder.
    name = name.substr(0, name.find('\0'));
    std::string path;
    size_t from = 0;
    for (;;) {
        const size_t end = name.find('\\', from);
        const std::string part = name.substr(from, end == std::string::npos ? std::string::npos : end - from);
        path += part == "." || part == ".." ? "_" : part;
        if (end == std::string::npos) return path;
        path += '/';
        from = end + 1;
    }
}

}  // namespace cdaudio
