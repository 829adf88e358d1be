// Tag texts as people and files see them.
//
// Many taggers end every text with a 0 byte, and the tag library keeps it as the text's last
// character. Whatever leaves the library for a person or a file (a control, a list row, a
// comparison, a file name, a playlist or list line) stops at the first 0: this is the one place
// that cuts it.
#pragma once

#include <string>
#include <string_view>

inline std::string_view tagText(std::string_view text) { return text.substr(0, text.find('\0')); }

// Cuts a text in place at its first 0.
inline void cutTagText(std::string& text)
{
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
}
