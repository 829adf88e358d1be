#include "ShownText.h"

#include "tagtext.h"

namespace {

// What the tag library puts in place of a sequence that is no character.
constexpr std::string_view Unreadable = "\xEF\xBF\xBD";

ShownText shown(TFrameResult result, std::string text)
{
    cutTagText(text);
    // No frame and an empty frame are read whole: there is nothing more to show.
    const bool read = result == frameresult::Success || result == frameresult::NotFound || result == frameresult::Empty;
    const bool whole = read && text.find(Unreadable) == std::string::npos;
    return {std::move(text), whole};
}

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

ShownText shownTagText(Tid3v2tag& tag, const char* frameID)
{
    std::string text;
    if (std::string_view(frameID) != "TYER") {
        const TFrameResult result = tag.GetTextFrameUtf8(frameID, text);
        return shown(result, std::move(text));
    }
    // An ID3v2.4 time stamp ("1999-05-12") gives its year, its first four characters.
    const std::string id = tag.YearFrameID();
    const TFrameResult result = tag.GetTextFrameUtf8(id, text);
    if (id == "TDRC") {
        std::size_t end = 0;
        for (int chars = 0; end < text.size(); ++end)
            if (!continuation(text[end]) && chars++ == 4) break;
        text.resize(end);
    }
    return shown(result, std::move(text));
}

ShownText shownComment(Tid3v2tag& tag)
{
    TCommentFrame comment;
    const TFrameResult result = tag.GetCommentUtf8(comment, "", "None");
    return shown(result, std::move(comment.Text));
}

std::size_t utf8Length(std::string_view text)
{
    std::size_t chars = 0;
    for (const char c : text) chars += !continuation(c);
    return chars;
}
