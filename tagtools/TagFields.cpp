#include "TagFields.h"

#include "tagtext.h"

#include <QString>

#include <algorithm>

namespace {

// No frame (1) and an empty frame (2) are read whole: there is nothing more to lose.
bool readWhole(TFrameResult result)
{
    return result == frameresult::Success || result == frameresult::NotFound || result == frameresult::Empty;
}

// Whether the frame that GetTextFrame (or GetTextFrameUtf8) just read holds more after its first
// text: the further values of an ID3v2.4 frame ("Rock" 0 "Pop"), which the library does not
// return. It is found as GetTextFrame finds it, and its data is already in plain form.
bool moreValues(Tid3v2tag& tag, const char* frameID)
{
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        const TFrameRecord& frame = tag.Frames.Record(i);
        if (frame.FrameID != frameID || frame.Data.empty()) continue;
        std::string text;
        std::uint32_t length = 0;
        if (tag.DecodeTextUtf8(frame.Data, 1, false, text, frame.Data[0], length) != frameresult::Success) return false;
        if (text.empty()) continue;
        return std::any_of(frame.Data.begin() + 1 + length, frame.Data.end(), [](std::uint8_t b) { return b != 0; });
    }
    return false;
}

bool isYear(const char* frameID) { return std::string_view(frameID) == "TYER"; }

// What the whole readings put for what is not text: such a text cannot be written back whole.
bool holdsReplacement(const std::string& utf8) { return utf8.find("\xEF\xBF\xBD") != std::string::npos; }

std::string latin1ToUtf8(const std::string& latin1)
{
    const QByteArray utf8 = QString::fromLatin1(latin1.data(), qsizetype(latin1.size())).toUtf8();
    return std::string(utf8.constData(), size_t(utf8.size()));
}

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

TagField readTagFieldUtf8(Tid3v2tag& tag, const char* frameID)
{
    if (isYear(frameID)) {
        TagField year = readTagField(tag, frameID);
        year.text = latin1ToUtf8(year.text);
        return year;
    }
    TagField field;
    const TFrameResult result = tag.GetTextFrameUtf8(frameID, field.text);
    field.whole = readWhole(result) && !(result == frameresult::Success && moreValues(tag, frameID)) &&
                  !holdsReplacement(field.text);
    cutTagText(field.text);
    return field;
}

TagField readTagCommentUtf8(Tid3v2tag& tag)
{
    TagField field;
    TCommentFrame comment;
    field.whole = readWhole(tag.GetCommentUtf8(comment, "", "None")) && !holdsReplacement(comment.Text);
    field.text = std::move(comment.Text);
    cutTagText(field.text);
    return field;
}

TFrameResult writeTagFieldUtf8(Tid3v2tag& tag, const char* frameID, const std::string& utf8)
{
    if (isYear(frameID)) {
        const QByteArray latin1 = QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toLatin1();
        return tag.SetYear(std::string(latin1.constData(), size_t(latin1.size())));
    }
    return tag.SetTextFrameUtf8(frameID, utf8);
}

TFrameResult writeTagComment(Tid3v2tag& tag, const std::string& utf8)
{
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    const bool latin1 = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    TCommentFrame comment;
    comment.Encoding = latin1 ? 0 : 1;
    comment.Language = "ENG";
    comment.Description.clear();
    const QByteArray bytes = text.toLatin1();
    comment.Text.assign(bytes.constData(), size_t(bytes.size()));
    const TFrameResult set = tag.SetComment(comment, "", "None");
    if (latin1 || set != frameresult::Success) return set;
    // SetComment writes 8-bit texts: the frame it just wrote (the first of description "", as it
    // found it) gets its text as UTF-16 after the byte-order mark that SetComment put.
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        TFrameRecord& frame = tag.Frames.Record(i);
        if (frame.FrameID != "COMM" || frame.Data.size() < 4) continue;
        std::string description;
        std::uint32_t length = 0;
        if (tag.DecodeTextUtf8(frame.Data, 4, false, description, frame.Data[0], length) != frameresult::Success)
            return frameresult::InvalidCharacter;
        if (!description.empty() && description.back() == '\0') description.pop_back();
        if (!description.empty()) continue;
        frame.Data.resize(4 + length + 2);  // the encoding, the language, "" and the mark of the text
        for (const QChar c : text) {
            frame.Data.push_back(std::uint8_t(c.unicode() & 0xFF));
            frame.Data.push_back(std::uint8_t(c.unicode() >> 8));
        }
        return frameresult::Success;
    }
    return frameresult::NotFound;
}
