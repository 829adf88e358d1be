#include "RenameName.h"

#include "ShownText.h"

std::string StripNameChars(std::string text)
{
    for (const char bad : {'"', '|', '\\', '/', ':', '?', '*'}) std::erase(text, bad);
    return text;
}

std::string RenameFileName(RenameFields fields, const std::array<int, 5>& chosen, const std::string& separator)
{
    if (utf8Length(fields.track) == 1) fields.track.insert(0, 1, '0');
    const std::string parts[] = {
        {},
        StripNameChars(std::move(fields.artist)),
        StripNameChars(std::move(fields.title)),
        StripNameChars(std::move(fields.album)),
        StripNameChars(std::move(fields.track)),
        StripNameChars(std::move(fields.year)),
    };
    std::string name;
    for (size_t slot = 0; slot < chosen.size(); ++slot) {
        const int item = chosen[slot];
        if (item < 1 || item > 5) continue;
        if (slot == 0) {
            // A name that begins with "." is a hidden file, which the tools then refuse to
            // touch: the first part loses its leading dots, and nothing left is an empty slot.
            name = WithoutLeadingDots(parts[item]);
            if (name.empty()) continue;
        } else {
            name += " " + separator + " " + parts[item];
        }
    }
    // ".mp3" alone would be hidden too: no name at all.
    return name.empty() ? std::string() : name + ".mp3";
}

std::string WithoutLeadingDots(const std::string& name)
{
    const size_t start = name.find_first_not_of('.');
    return start == std::string::npos ? std::string() : name.substr(start);
}

bool IsPlainFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}
