// Tag texts as they are shown or written out: the list, the tree and the status bar, playlist
// and text-list lines, new file names. Each is read whole, in UTF-8 (the local encoding of file
// names and text files), up to its first 0: a character beyond ISO-8859-1 stands as itself,
// never a text cut before it.
#pragma once

#include "id3v2.h"

#include <string>
#include <string_view>

struct ShownText {
    std::string text;
    // false: the frame could not be read as it stands (an unknown encoding, a character not
    // allowed, an encrypted frame, a sequence that is no character and shows as U+FFFD); text
    // then holds what could be read.
    bool whole = true;
};

// A text frame of a loaded tag, named as in an ID3v2.3 tag: "TYER" is the year wherever the
// tag's version keeps it (Tid3v2tag::GetYear).
ShownText shownTagText(Tid3v2tag& tag, const char* frameID);
// The first comment, any language, description "".
ShownText shownComment(Tid3v2tag& tag);

// The number of characters of a UTF-8 text.
std::size_t utf8Length(std::string_view text);
