// The texts a tool reads from a tag, and whether each was read whole.
//
// A frame the tag library could not decode completely (a character beyond ISO-8859-1 in the 8-bit
// reading, an unknown or invalid encoding, an encrypted frame) yields only part of its text.
// Writing that part back would replace what was not read, so a tool writes such a field only when
// it sets a value of its own that differs from what was shown (`mayWrite`); the whole readings
// (`readTagFieldUtf8`) leave only what cannot be read at all.
#pragma once

#include "id3v2.h"

#include <string>
#include <string_view>

struct TagField {
    std::string text;   // cut at its first 0
    bool whole = true;  // false: the frame holds more than `text` says
};

// A text field of a loaded tag, named by its frame in an ID3v2.3 tag ("TIT2", ...): "TYER" is the
// year wherever the tag's version keeps it (Tid3v2tag::GetYear).
TagField readTagField(Tid3v2tag& tag, const char* frameID);
// Sets such a field; an empty text removes it.
void writeTagField(Tid3v2tag& tag, const char* frameID, const std::string& text);
// The first comment of a loaded tag, any language and description "".
TagField readTagComment(Tid3v2tag& tag);

// The same fields read whole, `text` in UTF-8: a character beyond ISO-8859-1 is read with the
// rest. `whole` is false only for what could not be read at all (an unknown or invalid encoding, an
// encrypted frame, a byte that is not text, further values of an ID3v2.4 frame). The year is read
// as readTagField reads it.
TagField readTagFieldUtf8(Tid3v2tag& tag, const char* frameID);
TagField readTagCommentUtf8(Tid3v2tag& tag);
// Sets a field to a UTF-8 text whole: ISO-8859-1 where every character fits, else UTF-16. The year
// is set as writeTagField sets it. An empty text removes the field.
TFrameResult writeTagFieldUtf8(Tid3v2tag& tag, const char* frameID, const std::string& utf8);
// Sets the first comment of description "" (any language) as the windows write comments: language
// "ENG", description "", the text whole, in ISO-8859-1 where every character fits, else UTF-16; an
// empty text removes it. The text may hold any character, a line break or a tab included.
TFrameResult writeTagComment(Tid3v2tag& tag, const std::string& utf8);

// Whether `value` may replace the field: always when the field was read whole, otherwise only
// when the value is not the partial text that was shown.
inline bool mayWrite(const TagField& field, const std::string& value) { return field.whole || value != field.text; }
