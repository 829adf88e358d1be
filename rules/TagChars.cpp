#include "TagChars.h"

std::string ReplacementText;

std::string FilterTagChars(std::string text)
{
    for (const char bad : {'"', '|', '\\', '/', ':', '?', '*'}) {
        if (text.find(bad) == std::string::npos) continue;
        std::string out;
        out.reserve(text.size() + ReplacementText.size() * 4);
        for (const char c : text) {
            if (c == bad) out += ReplacementText;
            else out += c;
        }
        text = std::move(out);
    }
    return text;
}
