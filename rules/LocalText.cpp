#include "LocalText.h"

std::string localText(std::string_view latin1)
{
    std::string out;
    out.reserve(latin1.size() * 2);
    for (const char c : latin1) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out += c;
        } else {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        }
    }
    return out;
}
