#include "TagFields.h"

#include "tagtext.h"

#include <algorithm>

namespace {

// No frame (1) and an empty frame (2) are read whole: there is nothing more to lose.
bool readWhole(TFrameResult result)
{
    return result == frameresult::Success || result == frameresult::NotFound || result == frameresult::Empty;
}

// Whether the frame that GetTextFrame just read holds more after its first text: the further
// values of an ID3v2.4 frame ("Rock" 0 "Pop"), which the library does not return. It is found
// as GetTextFrame finds it, and its data is already in plain form.
bool moreValues(Tid3v2tag& tag, const char* frameID)
{
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        const TFrameRecord& frame = tag.Frames.Record(i);
        if (frame.FrameID != frameID || frame.Data.empty()) continue;
        std::string text;
        std::uint32_t length = 0;
        if (tag.DecodeText(frame.Data, 1, false, text, frame.Data[0], length) != frameresult::Success) return false;
        if (text.empty()) continue;
        return std::any_of(frame.Data.begin() + 1 + length, frame.Data.end(), [](std::uint8_t b) { return b != 0; });
    }
    return false;
}

bool isYear(const char* frameID) { return std::string_view(frameID) == "TYER"; }

}  // namespace

TagField readTagField(Tid3v2tag& tag, const char* frameID)
{
    TagField field;
    const std::string read = isYear(frameID) ? tag.YearFrameID() : frameID;
    const TFrameResult result = isYear(frameID) ? tag.GetYear(field.text) : tag.GetTextFrame(frameID, field.text);
    field.whole = readWhole(result) && !(result == frameresult::Success && moreValues(tag, read.c_str()));
    cutTagText(field.text);
    return field;
}

void writeTagField(Tid3v2tag& tag, const char* frameID, const std::string& text)
{
    if (isYear(frameID)) tag.SetYear(text);
    else tag.SetTextFrame(frameID, text);
}

TagField readTagComment(Tid3v2tag& tag)
{
    TagField field;
    TCommentFrame comment;
    field.whole = readWhole(tag.GetComment(comment, "", "None"));
    field.text = std::move(comment.Text);
    cutTagText(field.text);
    return field;
}
