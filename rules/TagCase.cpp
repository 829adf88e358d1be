#include "TagCase.h"

namespace {

char lowerLatin1(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) return char(u + 0x20);
    return c;
}

char upperLatin1(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) return char(u - 0x20);
    return c;
}

bool capitalAfter(char c, bool apostrophe)
{
    switch (c) {
    case ' ':
    case '(':
    case '-':
    case '#':
    case '{':
    case '[':
    case '_':
    case '=':
    case '~':
    case ';':
    case '.': return true;
    case '\'': return apostrophe;
    default: return false;
    }
}

}  // namespace

std::string lowerTagText(std::string text)
{
    for (char& c : text) c = lowerLatin1(c);
    return text;
}

std::string upperTagText(std::string text)
{
    for (char& c : text) c = upperLatin1(c);
    return text;
}

std::string FormatTagCase(std::string text, bool apostrophe)
{
    if (text.empty()) return text;
    text[0] = upperLatin1(text[0]);
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = lowerLatin1(text[i]);
        // Only a-z take a capital after a separator; accented letters stay lower case.
        text[i] = c >= 'a' && c <= 'z' && capitalAfter(text[i - 1], apostrophe) ? char(c - 0x20) : c;
    }
    return text;
}
