#include "RipName.h"

#include "FileSystem.h"
#include "RenameName.h"

#include <string_view>

namespace cdaudio {

namespace {

void replaceAll(std::string& text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// The part cut to at most `most` bytes, never inside a UTF-8 character (of at most 4 bytes).
std::string cutPart(std::string part, size_t most)
{
    if (part.size() <= most) return part;
    size_t at = most;
    while (at > 0 && most - at < 3 && (static_cast<unsigned char>(part[at]) & 0xC0) == 0x80) --at;
    if ((static_cast<unsigned char>(part[at]) & 0xC0) == 0x80) at = most;  // no UTF-8 there
    part.resize(at);
    return part;
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
    // A text ends at its first 0.
    name = name.substr(0, name.find('\0'));
    std::string path;
    size_t from = 0;
    for (;;) {
        const size_t end = name.find('\\', from);
        std::string part = name.substr(from, end == std::string::npos ? std::string::npos : end - from);
        const bool dots = !part.empty() && WithoutLeadingDots(part).empty();
        if (end == std::string::npos) {
            // The file itself is never hidden; nothing left of it is no name.
            part = WithoutLeadingDots(part);
            // It leaves room for the extension the rip adds.
            return path + cutPart(part, platform::MaxNameBytes - RipExtensionRoom);
        }
        // A folder "." or ".." would lead out of the rip folder, one of dots alone is hidden.
        path += dots ? "_" : cutPart(part, platform::MaxNameBytes);
        path += '/';
        from = end + 1;
    }
}

}  // namespace cdaudio
