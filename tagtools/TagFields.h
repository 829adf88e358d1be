// The texts a tool reads from a tag, and whether each was read whole.
//
// A frame the tag library could not decode completely (a character beyond ISO-8859-1, an unknown
// or invalid encoding, an encrypted frame) yields only part of its text. Writing that part back
// would replace what was not read, so a tool writes such a field only when it sets a value of
// its own that differs from what was shown: every tag tool goes through `mayWrite`.
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

// Whether `value` may replace the field: always when the field was read whole, otherwise only
// when the value is not the partial text that was shown.
inline bool mayWrite(const TagField& field, const std::string& value) { return field.whole || value != field.text; }
