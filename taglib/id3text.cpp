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

namespace {

// Appends one character to a text: as its byte where texts are 8-bit, as UTF-8 where they are whole.
template <bool Whole>
void PutChar(std::string& text, unsigned c)
{
    if (!Whole || c < 0x80) {
        text.push_back(char(c));
    } else if (c < 0x800) {
        text.push_back(char(0xC0 | c >> 6));
        text.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        text.push_back(char(0xE0 | c >> 12));
        text.push_back(char(0x80 | (c >> 6 & 0x3F)));
        text.push_back(char(0x80 | (c & 0x3F)));
    } else {
        text.push_back(char(0xF0 | c >> 18));
        text.push_back(char(0x80 | (c >> 12 & 0x3F)));
        text.push_back(char(0x80 | (c >> 6 & 0x3F)));
        text.push_back(char(0x80 | (c & 0x3F)));
    }
}

constexpr unsigned Replacement = 0xFFFD;  // what stands, visibly, for a character that cannot be read
constexpr unsigned Malformed = ~0u;

// The character the UTF-8 sequence led by `lead` (0xC2 on, Data[i - 1]) stands for, i moved past
// it; Malformed, i unmoved, when the sequence is not UTF-8.
unsigned SequenceUtf8(const std::uint8_t* Data, std::size_t size, std::size_t& i, std::uint8_t lead)
{
    const std::size_t more = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF5 ? 3 : 0;
    if (more == 0 || size - i < more) return Malformed;
    unsigned v = lead & (0x3Fu >> more);
    for (std::size_t k = 0; k < more; ++k) {
        const std::uint8_t b = Data[i + k];
        if ((b & 0xC0) != 0x80) return Malformed;
        v = v << 6 | (b & 0x3Fu);
    }
    if ((more == 2 && (v < 0x800 || (v >= 0xD800 && v <= 0xDFFF))) || (more == 3 && (v < 0x10000 || v > 0x10FFFF)))
        return Malformed;
    i += more;
    return v;
}

// Decodes as Tid3v2tag::DecodeText says. Whole: every character is kept, as UTF-8, where the
// 8-bit text stops at the first above 0xFF, and a byte that is not UTF-8 reads as U+FFFD;
// everything else (where a text ends, what is not text) is decided the same way.
template <bool Whole>
TFrameResult DecodeAny(const TBytes& Data, std::uint32_t Position, bool AllowLineBreaks, std::string& Text,
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
            PutChar<Whole>(Text, b);
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
        auto unitAt = [&](std::size_t at) {
            return bigEndian ? unsigned(Data[at]) << 8 | Data[at + 1] : unsigned(Data[at + 1]) << 8 | Data[at];
        };
        while (size - i >= 2) {
            unsigned unit = unitAt(i);
            i += 2;
            if (unit == 0) break;
            if (unit > 0xFF) {
                if (!Whole) return CharAboveFF;
                if (unit >= 0xDC00 && unit <= 0xDFFF) {
                    unit = Replacement;
                } else if (unit >= 0xD800 && unit <= 0xDBFF) {
                    const unsigned low = size - i >= 2 ? unitAt(i) : 0;
                    if (low >= 0xDC00 && low <= 0xDFFF) {
                        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                        i += 2;
                    } else {
                        unit = Replacement;
                    }
                }
            }
            if (unit < 0x20) {
                Text.clear();
                return InvalidCharacter;
            }
            PutChar<Whole>(Text, unit);
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
                v = Whole ? Replacement : b & 0x3Fu;  // a stray continuation byte: its low bits, or U+FFFD whole
            } else if (b <= 0xC3) {
                if (i >= size) return InvalidCharacter;
                v = (b & 0x03u) << 6 | (Data[i++] & 0x3Fu);
            } else if (!Whole) {
                return CharAboveFF;
            } else {
                v = SequenceUtf8(Data.data(), size, i, b);
                if (v == Malformed) v = Replacement;  // its lead byte alone
            }
            PutChar<Whole>(Text, v);
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

}  // namespace

TFrameResult Tid3v2tag::DecodeText(const TBytes& Data, std::uint32_t Position, bool AllowLineBreaks, std::string& Text,
                                   std::uint8_t Encoding, std::uint32_t& Length)
{
    return DecodeAny<false>(Data, Position, AllowLineBreaks, Text, Encoding, Length);
}

TFrameResult Tid3v2tag::DecodeTextUtf8(const TBytes& Data, std::uint32_t Position, bool AllowLineBreaks,
                                       std::string& Text, std::uint8_t Encoding, std::uint32_t& Length)
{
    return DecodeAny<true>(Data, Position, AllowLineBreaks, Text, Encoding, Length);
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

TFrameResult Tid3v2tag::FindTextFrame(const std::string& FrameID, std::string& Text, std::uint32_t& Index, bool Whole)
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
        const TFrameResult r = Whole ? DecodeTextUtf8(data, 1, false, Text, data[0], length)
                                     : DecodeText(data, 1, false, Text, data[0], length);
        if (r) return r;
        if (!Text.empty()) return Success;
    }
    Index = 0;
    return NotFound;
}

TFrameResult Tid3v2tag::GetTextFrame(const std::string& FrameID, std::string& Text)
{
    std::uint32_t index;
    return FindTextFrame(FrameID, Text, index, false);
}

TFrameResult Tid3v2tag::GetTextFrameUtf8(const std::string& FrameID, std::string& Text)
{
    std::uint32_t index;
    return FindTextFrame(FrameID, Text, index, true);
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

namespace {

// The characters of a UTF-8 text; false for bytes that are not UTF-8.
bool Utf8Chars(std::string_view text, std::u32string& chars)
{
    chars.clear();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const std::uint8_t b = bytes[i++];
        const unsigned c = b < 0x80 ? b : b < 0xC2 ? Malformed : SequenceUtf8(bytes, text.size(), i, b);
        if (c == Malformed) return false;
        chars.push_back(c);
    }
    return true;
}

}  // namespace

TFrameResult Tid3v2tag::SetTextFrameUtf8(const std::string& FrameID, const std::string& Text)
{
    std::u32string chars;
    if (!Utf8Chars(Text, chars)) return InvalidCharacter;
    if (std::any_of(chars.begin(), chars.end(), [](char32_t c) { return c < 0x20; })) return InvalidCharacter;
    if (std::all_of(chars.begin(), chars.end(), [](char32_t c) { return c <= 0xFF; }))
        return SetTextFrame(FrameID, std::string(chars.begin(), chars.end()));
    // Beyond ISO-8859-1: UTF-16 after its byte-order mark, which every version and reader takes.
    const TFrameResult r = SetTextFrame(FrameID, "-");
    if (r != Success) return r;
    std::uint32_t index = 0;
    for (std::uint32_t i = 1; i <= Frames.Count() && !index; ++i)
        if (Frames.Record(i).FrameID == FrameID) index = i;
    TBytes& d = Frames.Record(index).Data;
    d.assign({1, 0xFF, 0xFE});
    auto unit = [&d](unsigned u) {
        d.push_back(std::uint8_t(u & 0xFF));
        d.push_back(std::uint8_t(u >> 8));
    };
    for (char32_t c : chars) {
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return Success;
}

// Walks the "COMM" frames for the first whose description and language match; Found gets the
// description (and on a match the language and encoding); Index 0 when none matched. Whole:
// descriptions are read whole, as UTF-8, and Description is compared as the ISO-8859-1 text it is.
TFrameResult Tid3v2tag::FindComment(const std::string& Description, const std::string& Language, TCommentFrame& Found,
                                    std::uint32_t& Index, bool Whole)
{
    Index = 0;
    std::string wanted;
    if (Whole)
        for (unsigned char c : Description) PutChar<true>(wanted, c);
    const std::string& match = Whole ? wanted : Description;
    for (std::uint32_t i = 1; i <= Frames.Count(); ++i) {
        if (Frames.Record(i).FrameID != "COMM") continue;
        if (TFrameResult r = PrepareFrame(i)) return r;
        const TBytes& data = Frames.Record(i).Data;
        std::uint32_t length = 0;
        const TFrameResult r = Whole ? DecodeTextUtf8(data, 4, false, Found.Description, data[0], length)
                                     : DecodeText(data, 4, false, Found.Description, data[0], length);
        if (r) return r;
        if (!Found.Description.empty() && Found.Description.back() == '\0') Found.Description.pop_back();
        const std::string language(reinterpret_cast<const char*>(&data[1]), 3);
        if (Found.Description == match && (Language.size() != 3 || language == Language)) {
            Found.Encoding = data[0];
            Found.Language = language;
            Index = i;
            return Success;
        }
    }
    return NotFound;
}

TFrameResult Tid3v2tag::ReadComment(TCommentFrame& Comment, const std::string& Description, const std::string& Language,
                                    bool Whole)
{
    Comment = TCommentFrame();
    std::uint32_t index;
    if (TFrameResult r = FindComment(Description, Language, Comment, index, Whole)) return r;
    const TBytes& data = Frames.Record(index).Data;
    std::uint32_t descLength = 0;
    std::string desc;
    DecodeAny<true>(data, 4, false, desc, data[0], descLength);  // its length is the same read either way
    std::uint32_t length = 0;
    return Whole ? DecodeTextUtf8(data, 4 + descLength, true, Comment.Text, data[0], length)
                 : DecodeText(data, 4 + descLength, true, Comment.Text, data[0], length);
}

TFrameResult Tid3v2tag::GetComment(TCommentFrame& Comment, const std::string& Description, const std::string& Language)
{
    return ReadComment(Comment, Description, Language, false);
}

TFrameResult Tid3v2tag::GetCommentUtf8(TCommentFrame& Comment, const std::string& Description,
                                       const std::string& Language)
{
    return ReadComment(Comment, Description, Language, true);
}

TFrameResult Tid3v2tag::SetComment(const TCommentFrame& Comment, const std::string& Description,
                                   const std::string& Language)
{
    TCommentFrame found;
    std::uint32_t index;
    const TFrameResult r = FindComment(Description, Language, found, index, false);
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
