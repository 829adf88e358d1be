// Text and comment frames: decoding their texts to 8-bit strings and writing them back.
#include "id3v2.h"

#include "id3v2_detail.h"
#include "tagtext.h"

#include <algorithm>

using namespace id3v2detail;

using namespace frameresult;

namespace {

bool ValidTextFrameID(const std::string& id) { return id.size() == 4 && id[0] == 'T' && id != "TXXX"; }

// A text in an encoding a frame may carry, with its terminator when asked. Characters are
// 0x00..0xFF, so UTF-16 and UTF-8 never need more than one unit or two bytes.
void AppendEncoded(TBytes& out, const std::string& text, std::uint8_t encoding, bool terminate)
{
    for (unsigned char c : text) {
        switch (encoding) {
        case 1:  // little-endian, after its byte-order mark
            out.push_back(c);
            out.push_back(0);
            break;
        case 2:
            out.push_back(0);
            out.push_back(c);
            break;
        case 3:
            if (c < 0x80) {
                out.push_back(c);
            } else {
                out.push_back(std::uint8_t(0xC0 | (c >> 6)));
                out.push_back(std::uint8_t(0x80 | (c & 0x3F)));
            }
            break;
        default: out.push_back(c);
        }
    }
    if (terminate) {
        out.push_back(0);
        if (encoding == 1 || encoding == 2) out.push_back(0);
    }
}

}  // namespace

TFrameResult Tid3v2tag::DecodeText(const TBytes& Data, std::uint32_t Position, bool AllowLineBreaks, std::string& Text,
                                   std::uint8_t Encoding, std::uint32_t& Length)
{
    Text.clear();
    const std::size_t size = Data.size();
    if (Position >= size) return Empty;
    std::size_t i = Position;
    // The last byte or value taken decides: a control character other than 0, or 0xFF, is not text.
    auto badEnd = [](unsigned v) { return (v < 0x20 && v != 0) || v == 0xFF; };
    switch (Encoding) {
    case 0: {
        std::uint8_t b;
        do {
            b = Data[i++];
            Text.push_back(char(b));
        } while (!(b < 0x20 && !(AllowLineBreaks && (b == 0x0A || b == 0x0D))) && i < size);
        if (badEnd(b)) {
            Text.clear();
            return InvalidCharacter;
        }
        break;
    }
    case 1:
    case 2:
    case 9: {
        bool bigEndian = Encoding == 2;
        if (Encoding == 1) {
            if (size - i < 2) return InvalidCharacter;
            if (Data[i] == 0 && Data[i + 1] == 0) {
                // An empty text written as its terminator alone (lame's comment description): no
                // byte order is needed to read it.
                Length = 2;
                return Success;
            }
            if (Data[i] == 0xFF && Data[i + 1] == 0xFE) {
                bigEndian = false;
            } else if (Data[i] == 0xFE && Data[i + 1] == 0xFF) {
                bigEndian = true;
            } else {
                return InvalidCharacter;
            }
            i += 2;
        }
        while (size - i >= 2) {
            const unsigned unit =
                bigEndian ? unsigned(Data[i]) << 8 | Data[i + 1] : unsigned(Data[i + 1]) << 8 | Data[i];
            i += 2;
            if (unit == 0) break;
            if (unit > 0xFF) return CharAboveFF;
            if (unit < 0x20) {
                Text.clear();
                return InvalidCharacter;
            }
            Text.push_back(char(unit));
        }
        break;
    }
    case 3: {
        unsigned v;
        do {
            const std::uint8_t b = Data[i++];
            if (b < 0x80) {
                v = b;
            } else if (b < 0xC0) {
                v = b & 0x3F;  // a stray continuation byte keeps its low bits
            } else if (b <= 0xC3) {
                if (i >= size) return InvalidCharacter;
                v = (b & 0x03u) << 6 | (Data[i++] & 0x3Fu);
            } else {
                return CharAboveFF;
            }
            Text.push_back(char(v));
        } while (v >= 0x20 && i < size);
        if (badEnd(v)) {
            Text.clear();
            return InvalidCharacter;
        }
        break;
    }
    default: return UnknownEncoding;
    }
    Length = std::uint32_t(i - Position);
    return Success;
}

// Brings a found frame to its plain form. The data's own state decides as much as the wanted
// flags: an encrypted or still compressed frame is never decoded as if it were text.
TFrameResult Tid3v2tag::PrepareFrame(std::uint32_t Index)
{
    TFrameRecord& r = Frames.Record(Index);
    const std::uint8_t wanted = r.WriteFlags[1];
    if ((wanted | r.ReadFlags[1]) & frameflag::Unsynchronisation) Frames.Resynchronise(Index);
    if ((wanted | r.ReadFlags[1]) & frameflag::Encryption) return Encrypted;
    if ((wanted | r.ReadFlags[1]) & frameflag::Compression) Frames.Decompress(Index);
    if (r.ReadFlags[1] & frameflag::Compression) return InvalidCharacter;  // would not inflate
    if (r.Data.empty()) return frameresult::Empty;
    return Success;
}

TFrameResult Tid3v2tag::FindTextFrame(const std::string& FrameID, std::string& Text, std::uint32_t& Index)
{
    Text.clear();
    Index = 0;
    if (!ValidTextFrameID(FrameID)) return InvalidFrameID;
    for (std::uint32_t i = 1; i <= Frames.Count(); ++i) {
        if (Frames.Record(i).FrameID != FrameID) continue;
        Index = i;
        if (TFrameResult r = PrepareFrame(i)) return r;
        const TBytes& data = Frames.Record(i).Data;
        std::uint32_t length = 0;
        if (TFrameResult r = DecodeText(data, 1, false, Text, data[0], length)) return r;
        if (!Text.empty()) return Success;
    }
    Index = 0;
    return NotFound;
}

TFrameResult Tid3v2tag::GetTextFrame(const std::string& FrameID, std::string& Text)
{
    std::uint32_t index;
    return FindTextFrame(FrameID, Text, index);
}

namespace {

// Whether a look-up of a year frame found it: a text, or one that could not be read whole.
bool HoldsYear(TFrameResult result, const std::string& text)
{
    return result != NotFound && result != frameresult::Empty && !(result == Success && tagText(text).empty());
}

}  // namespace

std::string Tid3v2tag::YearFrameID()
{
    if (MajorVersion != 4) return "TYER";
    // The time stamp is the year, as other taggers read it; a "TYER" only stands in when it is missing.
    std::string text;
    if (HoldsYear(GetTextFrame("TDRC", text), text)) return "TDRC";
    return HoldsYear(GetTextFrame("TYER", text), text) ? "TYER" : "TDRC";
}

TFrameResult Tid3v2tag::GetYear(std::string& Year)
{
    const std::string id = YearFrameID();
    const TFrameResult r = GetTextFrame(id, Year);
    if (id == "TDRC" && Year.size() > 4) Year.resize(4);
    return r;
}

TFrameResult Tid3v2tag::SetYear(const std::string& Year)
{
    if (MajorVersion != 4) return SetTextFrame("TYER", Year);
    // The year it holds already: every frame stays as it is, a full date ("1999-05-12") too.
    std::string current;
    const TFrameResult read = GetYear(current);
    if ((read == Success || read == NotFound || read == frameresult::Empty) && tagText(current) == Year) return Success;
    // Any other year is the time stamp alone; a tag may hold several of either frame.
    TFrameResult deleted = Success;
    while (SetTextFrame("TYER", "") == Deleted) deleted = Deleted;
    if (!Year.empty()) return SetTextFrame("TDRC", Year);
    while (SetTextFrame("TDRC", "") == Deleted) deleted = Deleted;
    return deleted;
}

TFrameResult Tid3v2tag::SetTextFrame(const std::string& FrameID, const std::string& Text)
{
    if (!ValidTextFrameID(FrameID) || !ValidFrameID(FrameID)) return InvalidFrameID;
    std::uint32_t index = 0;
    for (std::uint32_t i = 1; i <= Frames.Count() && !index; ++i)
        if (Frames.Record(i).FrameID == FrameID) index = i;
    if (index && Text.empty()) {
        Frames.DeleteFrame(index);
        return Deleted;
    }
    if (Text.empty()) return Success;
    if (!index) index = Frames.AddFrame(FrameID);
    TFrameRecord& r = Frames.Record(index);
    r.ReadFlags[1] = 0;
    r.DataLength = 0;  // a length indicator of the old data would lie about the new
    r.Data.clear();
    r.Data.push_back(0);
    r.Data.insert(r.Data.end(), Text.begin(), Text.end());
    r.Modified = 1;
    return Success;
}

// Walks the "COMM" frames for the first whose description and language match; Found gets the
// description (and on a match the language and encoding); Index 0 when none matched.
TFrameResult Tid3v2tag::FindComment(const std::string& Description, const std::string& Language, TCommentFrame& Found,
                                    std::uint32_t& Index)
{
    Index = 0;
    for (std::uint32_t i = 1; i <= Frames.Count(); ++i) {
        if (Frames.Record(i).FrameID != "COMM") continue;
        if (TFrameResult r = PrepareFrame(i)) return r;
        const TBytes& data = Frames.Record(i).Data;
        std::uint32_t length = 0;
        if (TFrameResult r = DecodeText(data, 4, false, Found.Description, data[0], length)) return r;
        if (!Found.Description.empty() && Found.Description.back() == '\0') Found.Description.pop_back();
        const std::string language(reinterpret_cast<const char*>(&data[1]), 3);
        if (Found.Description == Description && (Language.size() != 3 || language == Language)) {
            Found.Encoding = data[0];
            Found.Language = language;
            Index = i;
            return Success;
        }
    }
    return NotFound;
}

TFrameResult Tid3v2tag::GetComment(TCommentFrame& Comment, const std::string& Description, const std::string& Language)
{
    Comment = TCommentFrame();
    std::uint32_t index;
    if (TFrameResult r = FindComment(Description, Language, Comment, index)) return r;
    const TBytes& data = Frames.Record(index).Data;
    std::uint32_t descLength = 0;
    std::string desc;
    DecodeText(data, 4, false, desc, data[0], descLength);
    std::uint32_t length = 0;
    return DecodeText(data, 4 + descLength, true, Comment.Text, data[0], length);
}

TFrameResult Tid3v2tag::SetComment(const TCommentFrame& Comment, const std::string& Description,
                                   const std::string& Language)
{
    TCommentFrame found;
    std::uint32_t index;
    const TFrameResult r = FindComment(Description, Language, found, index);
    if (r != Success && r != NotFound) return r;
    if (index == 0 && Comment.Text.empty()) return Success;
    if (Comment.Encoding >= 4) return InvalidEncoding;
    if (Comment.Language.size() != 3 ||
        std::any_of(Comment.Language.begin(), Comment.Language.end(), [](char c) { return std::uint8_t(c) < 0x20; }))
        return InvalidLanguage;
    if (index && Comment.Text.empty()) {
        Frames.DeleteFrame(index);
        return Deleted;
    }
    if (!index) index = Frames.AddFrame("COMM");
    TFrameRecord& fr = Frames.Record(index);
    fr.ReadFlags[1] = 0;
    fr.DataLength = 0;
    // The texts are written in the encoding the record names, so that the byte says the truth.
    TBytes& d = fr.Data;
    d.clear();
    d.push_back(Comment.Encoding);
    d.insert(d.end(), Comment.Language.begin(), Comment.Language.end());
    std::string desc = Comment.Description;
    if (!desc.empty() && desc.back() == '\0') desc.pop_back();
    if (Comment.Encoding == 1) d.insert(d.end(), {0xFF, 0xFE});
    AppendEncoded(d, desc, Comment.Encoding, true);
    if (Comment.Encoding == 1) d.insert(d.end(), {0xFF, 0xFE});
    AppendEncoded(d, Comment.Text, Comment.Encoding, false);
    fr.Modified = 1;
    return Success;
}
