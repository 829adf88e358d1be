#include "id3v2.h"
#include "tagtest.h"

#include <zlib.h>

using namespace tagtest;
using namespace std::string_literals;

namespace {

// A tag in memory whose frames hold the given raw data.
struct MemTag {
    Tid3v2tag tag;
    std::uint32_t Add(const std::string& id, const std::string& data, std::uint8_t state = 0)
    {
        const std::uint32_t i = tag.Frames.AddFrame(id);
        tag.Frames.Data(i) = ToBytes(data);
        tag.Frames.SetReadFlags(i, 2, state);
        tag.Frames.Record(i).WriteFlags[1] = state;
        return i;
    }
    std::string Data(std::uint32_t i) { return ToString(tag.Frames.Data(i)); }
    TFrameResult Text(const std::string& data, std::string& text)
    {
        tag.Frames.Clear();
        Add("TIT2", data);
        return tag.GetTextFrame("TIT2", text);
    }
};

const std::string kZero(1, '\0');

}  // namespace

TEST(FrameIndex, AddDeleteClear)
{
    TFrameIndex f;
    EXPECT_EQ(f.AddFrame("tit2"), 1u);
    EXPECT_EQ(f.GetFrameID(1), "TIT2");
    EXPECT_EQ(f.AddFrame("TIT"), 0u);
    EXPECT_EQ(f.AddFrame("TI-2"), 0u);
    EXPECT_EQ(f.AddFrame("TIT22"), 0u);
    EXPECT_EQ(f.Count(), 1u);
    const TFrameRecord& r = f.Record(1);
    EXPECT_EQ(r.Modified, 1);
    EXPECT_EQ(r.ReadFlags[0] | r.ReadFlags[1] | r.WriteFlags[0] | r.WriteFlags[1], 0);
    EXPECT_EQ(r.DataLength + r.RawSize + r.HeaderLength + r.FrameOffset, 0u);
    EXPECT_TRUE(r.Data.empty());

    f.AddFrame("TPE1");
    f.AddFrame("TALB");
    f.Data(1) = {1};
    f.Data(3) = {3};
    f.SetWriteFlags(3, 2, 0x08);
    EXPECT_EQ(f.DeleteFrame(2), 1);
    EXPECT_EQ(f.Count(), 2u);
    EXPECT_EQ(f.GetFrameID(2), "TALB");
    EXPECT_EQ(f.Data(2), TBytes{3});
    EXPECT_EQ(f.GetWriteFlags(2, 2), 0x08);
    EXPECT_EQ(f.DeleteFrame(3), 0);
    EXPECT_EQ(f.DeleteFrame(0), 0);
    f.DeleteFrame(1);
    f.DeleteFrame(1);
    EXPECT_EQ(f.Count(), 0u);
    f.AddFrame("TIT2");
    f.Clear();
    EXPECT_EQ(f.Count(), 0u);
}

TEST(FrameIndex, BoundsAndModifiedRules)
{
    TFrameIndex f;
    f.AddFrame("TIT2");
    try {
        f.GetFrameID(2);
        ADD_FAILURE();
    } catch (const ERangeError& e) {
        EXPECT_STREQ(e.what(), "Array range out of bounds.");
    }
    EXPECT_THROW(f.GetReadFlags(1, 3), ERangeError);
    EXPECT_THROW(f.SetWriteFlags(1, 0, 1), ERangeError);
    EXPECT_THROW(f.GetDataSize(0), ERangeError);

    f.Record(1).Modified = 0;
    f.SetEncryptionMethod(1, 0);
    EXPECT_EQ(f.Record(1).Modified, 0);
    f.SetEncryptionMethod(1, 0x80);
    EXPECT_EQ(f.Record(1).Modified, 1);
    f.Record(1).Modified = 0;
    f.SetGroupID(1, 0);
    EXPECT_EQ(f.Record(1).Modified, 0);
    f.SetGroupID(1, 5);
    EXPECT_EQ(f.Record(1).Modified, 1);
    f.Record(1).Modified = 0;
    f.SetReadFlags(1, 2, 0x08);
    EXPECT_EQ(f.Record(1).Modified, 0);
    EXPECT_TRUE(f.IsCompressed(1));
    EXPECT_FALSE(f.GetCompression(1));
    f.SetWriteFlags(1, 1, 0x70);
    EXPECT_EQ(f.Record(1).Modified, 1);
    EXPECT_TRUE(f.GetTagAlterPreservation(1) && f.GetFileAlterPreservation(1) && f.GetReadOnly(1));
}

TEST(TagObject, DefaultsAndFlagSetters)
{
    Tid3v2tag t;
    EXPECT_EQ(t.MajorVersion, 3);
    EXPECT_EQ(t.Revision, 0);
    EXPECT_EQ(t.Flags, 0);
    EXPECT_TRUE(t.Done);
    EXPECT_EQ(t.Progress, 0);
    EXPECT_EQ(t.CompressionLevel, 2);
    EXPECT_EQ(t.PaddingMode, 1);
    EXPECT_EQ(t.PaddingBlock, 4096u);
    EXPECT_EQ(t.PaddingLimit, 4096u);
    EXPECT_TRUE(t.AcceptRevisions && t.TidyFrames);
    EXPECT_FALSE(t.FixFlagConflicts || t.Modified);
    t.SetCRCPresent(false);  // no change, still marks the tag modified
    EXPECT_TRUE(t.Modified);
    t.SetUnsynchronisation(true);
    t.SetFooter(true);
    t.SetTagIsUpdate(true);
    EXPECT_EQ(t.Flags, 0x90);
    EXPECT_EQ(t.ExtFlags, 0x40);
    t.SetUnsynchronisation(false);
    EXPECT_EQ(t.Flags, 0x10);
    // A status with an error class and a warning is a failure.
    const TTagStatus s = tagstatus::InvalidFrameIdentifier | tagstatus::WarnExtendedFlags;
    EXPECT_EQ(s, 0x2140);
    EXPECT_FALSE(s < 0x0100);
}

TEST(TextFrames, IdentifiersAndMissingFrames)
{
    MemTag m;
    std::string text = "left over";
    EXPECT_EQ(m.tag.GetTextFrame("tit2", text), 3);
    EXPECT_EQ(text, "");
    EXPECT_EQ(m.tag.GetTextFrame("TIT", text), 3);
    EXPECT_EQ(m.tag.GetTextFrame("TXXX", text), 3);
    EXPECT_EQ(m.tag.GetTextFrame("COMM", text), 3);
    EXPECT_EQ(m.tag.GetTextFrame("TIT2", text), 1);
    EXPECT_EQ(m.tag.SetTextFrame("TI-2", "x"), 3);
    EXPECT_EQ(m.tag.SetTextFrame("tit2", "x"), 3);
    EXPECT_EQ(m.tag.Frames.Count(), 0u);
}

TEST(TextFrames, Latin1Decoding)
{
    MemTag m;
    std::string t;
    EXPECT_EQ(m.Text(Bytes({0, 0x41, 0x62, 0x63}), t), 0);
    EXPECT_EQ(t, "Abc");
    EXPECT_EQ(m.Text(Bytes({0, 0x41, 0x62, 0x63, 0}), t), 0);
    EXPECT_EQ(t, "Abc" + kZero);
    EXPECT_EQ(m.Text(Bytes({0}), t), 2);
    EXPECT_EQ(m.Text("", t), 2);
    EXPECT_EQ(m.Text(Bytes({0, 0x41, 0x62, 0x63, 7}), t), 8);
    EXPECT_EQ(t, "");
    EXPECT_EQ(m.Text(Bytes({0, 0x41, 0x62, 0xFF}), t), 8);
    EXPECT_EQ(m.Text(Bytes({0, 0x41, 0xFF, 0x62}), t), 0);
    EXPECT_EQ(t, Bytes({0x41, 0xFF, 0x62}));
    EXPECT_EQ(m.Text(Bytes({0, 0x41, 0x0A, 0x42}), t), 8);  // no line breaks in a text frame
    EXPECT_EQ(m.Text(Bytes({0x04, 0x78}), t), 5);
}

TEST(TextFrames, Utf16AndUtf8Decoding)
{
    MemTag m;
    std::string t;
    EXPECT_EQ(m.Text(Bytes({1, 0xFF, 0xFE, 0x41, 0, 0x42, 0}), t), 0);
    EXPECT_EQ(t, "AB");
    EXPECT_EQ(m.Text(Bytes({1, 0xFE, 0xFF, 0, 0x41}), t), 0);
    EXPECT_EQ(t, "A");
    EXPECT_EQ(m.Text(Bytes({1, 0x41, 0}), t), 8);
    EXPECT_EQ(t, "");
    EXPECT_EQ(m.Text(Bytes({1, 0xFF}), t), 8);  // no room for a byte-order mark
    EXPECT_EQ(m.Text(Bytes({1, 0xFF, 0xFE, 0x41, 0, 0x3A, 0x04}), t), 4);
    EXPECT_EQ(t, "A");  // what was decoded before the wide character stays
    EXPECT_EQ(m.Text(Bytes({1, 0xFF, 0xFE, 0x41, 0, 0x09, 0}), t), 8);
    EXPECT_EQ(t, "");
    EXPECT_EQ(m.Text(Bytes({1, 0xFF, 0xFE, 0x41, 0, 0x42}), t), 0);  // odd length: last byte ignored
    EXPECT_EQ(t, "A");
    EXPECT_EQ(m.Text(Bytes({2, 0, 0xE9, 0, 0x74}), t), 0);
    EXPECT_EQ(t, Bytes({0xE9, 0x74}));
    EXPECT_EQ(m.Text(Bytes({9, 0xE9, 0, 0x74, 0}), t), 0);
    EXPECT_EQ(t, Bytes({0xE9, 0x74}));
    EXPECT_EQ(m.Text(Bytes({3, 0xC3, 0xA9}), t), 0);
    EXPECT_EQ(t, Bytes({0xE9}));
    EXPECT_EQ(m.Text(Bytes({3, 0x61, 0xE2, 0x82, 0xAC}), t), 4);
    EXPECT_EQ(t, "a");
    EXPECT_EQ(m.Text(Bytes({3, 0x61, 0xC3}), t), 8);
    EXPECT_EQ(t, "a");
    EXPECT_EQ(m.Text(Bytes({3, 0x61, 0xA9}), t), 0);  // stray continuation: its low bits
    EXPECT_EQ(t, Bytes({0x61, 0x29}));
    EXPECT_EQ(m.Text(Bytes({3, 0x61, 0xC3, 0xBF}), t), 8);  // ends with 0xFF
}

// Read whole, a text keeps every character (UTF-8 out); ends and invalid texts are decided as
// the 8-bit reading decides them.
TEST(TextFrames, WholeDecoding)
{
    const struct {
        std::string data;
        TFrameResult result;
        std::string text;
    } rows[] = {
        {Bytes({0, 0x41, 0xE9, 0}), 0, "A\xC3\xA9" + kZero},
        {Bytes({1, 0xFF, 0xFE, 0x41, 0, 0x3A, 0x04}), 0, "A\xD0\xBA"},
        {Bytes({1, 0xFE, 0xFF, 0x20, 0x19, 0, 0x74}), 0, "\xE2\x80\x99t"},
        {Bytes({1, 0xFF, 0xFE, 0x34, 0xD8, 0x1E, 0xDD}), 0, "\xF0\x9D\x84\x9E"},  // a surrogate pair
        {Bytes({1, 0xFF, 0xFE, 0x34, 0xD8, 0x41, 0}), 0,
         "\xEF\xBF\xBD"
         "A"},                                                    // a lone high one
        {Bytes({1, 0xFF, 0xFE, 0x1E, 0xDD}), 0, "\xEF\xBF\xBD"},  // a lone low one
        {Bytes({1, 0xFF, 0xFE, 0x3A, 0x04, 0x09, 0}), 8, ""},
        {Bytes({3, 0x61, 0xE2, 0x82, 0xAC}), 0, "a\xE2\x82\xAC"},
        {Bytes({3, 0xC5, 0x93, 0}), 0, "\xC5\x93" + kZero},
        {Bytes({3, 0x61, 0xE2, 0x82}), 0, "a\xEF\xBF\xBD\xEF\xBF\xBD"},  // a cut sequence
        {Bytes({3, 0xED, 0xA0, 0x80, 0x62}), 0,
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
         "b"},
        {Bytes({3, 0xF8, 0x62}), 0,
         "\xEF\xBF\xBD"
         "b"},
        {Bytes({3, 0x61, 0xC3, 0xBF}), 8, ""},
        {Bytes({4, 0x78}), 5, ""},
    };
    MemTag m;
    for (const auto& row : rows) {
        SCOPED_TRACE(Hex(row.data));
        m.tag.Frames.Clear();
        m.Add("TIT2", row.data);
        std::string t = "stale";
        EXPECT_EQ(m.tag.GetTextFrameUtf8("TIT2", t), row.result);
        EXPECT_EQ(t, row.text);
    }
}

TEST(TextFrames, DecodeTextLengths)
{
    Tid3v2tag tag;
    std::string t;
    std::uint32_t len = 99;
    EXPECT_EQ(tag.DecodeText(ToBytes(Bytes({0, 'a', 'b', 0, 'c'})), 1, false, t, 0, len), 0);
    EXPECT_EQ(len, 3u);
    EXPECT_EQ(tag.DecodeText(ToBytes(Bytes({1, 0xFF, 0xFE, 'a', 0, 0, 0, 'c', 0})), 1, false, t, 1, len), 0);
    EXPECT_EQ(len, 6u);  // mark, one unit, terminator
    EXPECT_EQ(tag.DecodeText(ToBytes(Bytes({3, 0xC3, 0xA9, 0, 'x'})), 1, false, t, 3, len), 0);
    EXPECT_EQ(len, 3u);
    // An empty UTF-16 text may be its terminator alone, without a byte-order mark (lame).
    t = "stale";
    EXPECT_EQ(tag.DecodeText(ToBytes(Bytes({1, 0, 0, 'x', 0})), 1, false, t, 1, len), 0);
    EXPECT_EQ(len, 2u);
    EXPECT_EQ(t, "");
    EXPECT_EQ(tag.DecodeText(ToBytes(Bytes({1, 0xFF, 0xFE, 0, 0})), 1, false, t, 1, len), 0);
    EXPECT_EQ(len, 4u);
    EXPECT_EQ(tag.DecodeText(ToBytes(Bytes({0, 'a'})), 2, false, t, 0, len), 2);
    EXPECT_EQ(tag.DecodeText(ToBytes(Bytes({0, 'a', 0x0D, 0x0A, 'b'})), 1, true, t, 0, len), 0);
    EXPECT_EQ(t, "a\r\nb");
}

TEST(TextFrames, SearchSkipsEmptyTextsAndStopsOnErrors)
{
    MemTag m;
    m.Add("TIT2", Bytes({1, 0xFF, 0xFE, 0, 0}));
    m.Add("TIT2", Bytes({0, 0x53, 0x6F, 0x6E, 0x67}));
    std::string t;
    EXPECT_EQ(m.tag.GetTextFrame("TIT2", t), 0);
    EXPECT_EQ(t, "Song");
    m.tag.Frames.Clear();
    m.Add("TIT2", Bytes({0, 0x41, 7}));
    m.Add("TIT2", Bytes({0, 0x53}));
    EXPECT_EQ(m.tag.GetTextFrame("TIT2", t), 8);
    m.tag.Frames.Clear();
    m.Add("TIT2", Bytes({1, 0xFF, 0xFE, 0, 0}));
    EXPECT_EQ(m.tag.GetTextFrame("TIT2", t), 1);
}

TEST(TextFrames, PreparedFrames)
{
    MemTag m;
    std::string t;
    // Unsynchronised then compressed on disk: both undone, and the frame stays plain after.
    std::string plain = Bytes({0, 0xFF, 0xE0, 'z'});
    uLongf n = compressBound(uLong(plain.size()));
    std::string packed(n, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &n, reinterpret_cast<const Bytef*>(plain.data()),
             uLong(plain.size()));
    packed.resize(n);
    const std::uint32_t i = m.Add("TALB", packed, 0x08);
    m.tag.Frames.SetDataLength(i, std::uint32_t(plain.size()));
    ASSERT_EQ(m.tag.Frames.Unsynchronise(i), 0);
    m.tag.Frames.Record(i).WriteFlags[1] = m.tag.Frames.GetReadFlags(i, 2);
    EXPECT_EQ(m.tag.GetTextFrame("TALB", t), 0);
    EXPECT_EQ(t, Bytes({0xFF, 0xE0, 'z'}));
    EXPECT_EQ(m.tag.Frames.GetReadFlags(i, 2), 0);
    // Encrypted, whether wanted or as the data's state.
    m.tag.Frames.Clear();
    m.Add("TPE1", Bytes({0, 'a'}), 0x04);
    EXPECT_EQ(m.tag.GetTextFrame("TPE1", t), 9);
    m.tag.Frames.SetWriteFlags(1, 2, 0);
    EXPECT_EQ(m.tag.GetTextFrame("TPE1", t), 9);
    // A compressed frame that does not inflate is not read as text.
    m.tag.Frames.Clear();
    m.Add("TPE1", Bytes({0, 'n', 'o', 't', ' ', 'z', 'l', 'i', 'b'}), 0x08);
    EXPECT_EQ(m.tag.GetTextFrame("TPE1", t), 8);
    EXPECT_EQ(t, "");
}

TEST(TextFrames, SetTextFrame)
{
    MemTag m;
    EXPECT_EQ(m.tag.SetTextFrame("TALB", ""), 0);
    EXPECT_EQ(m.tag.Frames.Count(), 0u);
    EXPECT_EQ(m.tag.SetTextFrame("TALB", "X"), 0);
    EXPECT_EQ(m.Data(1), Bytes({0, 0x58}));
    // Replacing keeps the wanted flags, makes the data plain, touches only the first frame.
    m.tag.Frames.SetWriteFlags(1, 2, 0x08);
    m.tag.Frames.SetReadFlags(1, 2, 0x08);
    m.tag.Frames.SetDataLength(1, 40);
    m.Add("TALB", Bytes({0, 'b'}));
    EXPECT_EQ(m.tag.SetTextFrame("TALB", "Yz"), 0);
    EXPECT_EQ(m.Data(1), Bytes({0, 'Y', 'z'}));
    EXPECT_EQ(m.tag.Frames.GetReadFlags(1, 2), 0);
    EXPECT_EQ(m.tag.Frames.GetWriteFlags(1, 2), 0x08);
    EXPECT_EQ(m.tag.Frames.GetDataLength(1), 0u);
    EXPECT_EQ(m.Data(2), Bytes({0, 'b'}));
    EXPECT_EQ(m.tag.SetTextFrame("TALB", ""), 255);
    EXPECT_EQ(m.tag.Frames.Count(), 1u);
    EXPECT_EQ(m.Data(1), Bytes({0, 'b'}));
}

TEST(TextFrames, SetTextFrameUtf8KeepsEveryCharacter)
{
    MemTag m;
    EXPECT_EQ(m.tag.SetTextFrameUtf8("TIT2", "\xC3\xA9t\xC3\xA9"), 0);
    EXPECT_EQ(m.Data(1), Bytes({0, 0xE9, 't', 0xE9}));  // ISO-8859-1 where it fits
    EXPECT_EQ(m.tag.SetTextFrameUtf8("TIT2", "C\xC5\x93ur \xF0\x9D\x84\x9E"), 0);
    EXPECT_EQ(m.Data(1), Bytes({1, 0xFF, 0xFE, 'C', 0, 0x53, 0x01, 'u', 0, 'r', 0, ' ', 0, 0x34, 0xD8, 0x1E, 0xDD}));
    std::string t;
    EXPECT_EQ(m.tag.GetTextFrameUtf8("TIT2", t), 0);
    EXPECT_EQ(t, "C\xC5\x93ur \xF0\x9D\x84\x9E");
    EXPECT_EQ(m.tag.GetTextFrame("TIT2", t), 4);
    // Not UTF-8, or a control character: refused, the frame as it was.
    for (const std::string bad : {"a\xE9", "\xC0\xAF", "\xED\xA0\x80", "a\tb\xC5\x93", "\xF4\x90\x80\x80"}) {
        EXPECT_EQ(m.tag.SetTextFrameUtf8("TIT2", bad), 8) << Hex(bad);
        EXPECT_EQ(m.tag.GetTextFrameUtf8("TIT2", t), 0);
        EXPECT_EQ(t, "C\xC5\x93ur \xF0\x9D\x84\x9E");
    }
    EXPECT_EQ(m.tag.SetTextFrameUtf8("TIT2", ""), 255);
    EXPECT_EQ(m.tag.Frames.Count(), 0u);
}

TEST(Comments, GetComment)
{
    MemTag m;
    m.Add("COMM", Bytes({0, 0x65, 0x6E, 0x67, 0x64, 0x65, 0x73, 0x63, 0, 0x48, 0x69}));
    TCommentFrame c;
    EXPECT_EQ(m.tag.GetComment(c, "desc", "None"), 0);
    EXPECT_EQ(c.Text, "Hi");
    EXPECT_EQ(c.Encoding, 0);
    EXPECT_EQ(c.Language, "eng");
    EXPECT_EQ(c.Description, "desc");
    EXPECT_EQ(m.tag.GetComment(c, "desc", "fra"), 1);
    EXPECT_EQ(c.Text, "");
    EXPECT_EQ(c.Description, "desc");  // the last description examined
    EXPECT_EQ(m.tag.GetComment(c, "", "None"), 1);

    m.tag.Frames.Clear();
    m.Add("COMM", Bytes({1, 0x65, 0x6E, 0x67, 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 0x48, 0, 0x69, 0}));
    EXPECT_EQ(m.tag.GetComment(c, "", "None"), 0);
    EXPECT_EQ(c.Description, "");
    EXPECT_EQ(c.Text, "Hi");
    EXPECT_EQ(c.Encoding, 1);

    // lame: the empty description is 00 00, no mark; the comment reads and can be replaced.
    m.tag.Frames.Clear();
    m.Add("COMM", Bytes({1, 'e', 'n', 'g', 0, 0, 0xFF, 0xFE, 'y', 0}));
    m.Add("COMM", Bytes({1, 'f', 'r', 'a', 0xFF, 0xFE, 'd', 0, 0, 0, 0, 0}));
    EXPECT_EQ(m.tag.GetComment(c, "", "None"), 0);
    EXPECT_EQ(c.Text, "y");
    EXPECT_EQ(c.Language, "eng");
    EXPECT_EQ(m.tag.GetComment(c, "d", "fra"), 0);  // an empty text as its terminator alone
    EXPECT_EQ(c.Text, "");
    EXPECT_EQ(m.tag.SetComment({0, "ENG", "", "z"}, "", "None"), 0);
    EXPECT_EQ(m.Data(1), "\0ENG\0z"s);
}

TEST(Comments, LineBreaksErrorsAndOrder)
{
    MemTag m;
    TCommentFrame c;
    m.Add("COMM", "\0eng\0line one\nline two"s);
    EXPECT_EQ(m.tag.GetComment(c, "", "eng"), 0);
    EXPECT_EQ(c.Text, "line one\nline two");
    m.tag.Frames.Clear();
    m.Add("COMM", "\0eng\0ends with a break\n"s);
    EXPECT_EQ(m.tag.GetComment(c, "", "eng"), 8);
    // A description that cannot be decoded stops the search, even before a match.
    m.tag.Frames.Clear();
    m.Add("COMM", "\0eng\x07\0bad"s);
    m.Add("COMM", "\0eng\0good"s);
    EXPECT_EQ(m.tag.GetComment(c, "", "None"), 8);
    // An empty comment frame and one too short for its language.
    m.tag.Frames.Clear();
    m.Add("COMM", "");
    EXPECT_EQ(m.tag.GetComment(c, "", "None"), 2);
    m.tag.Frames.Clear();
    m.Add("COMM", "\0en"s);
    EXPECT_EQ(m.tag.GetComment(c, "", "None"), 2);
    // The first matching frame wins; languages must match exactly when three characters long.
    m.tag.Frames.Clear();
    m.Add("COMM", "\0fra\0premier"s);
    m.Add("COMM", "\0eng\0second"s);
    EXPECT_EQ(m.tag.GetComment(c, "", "None"), 0);
    EXPECT_EQ(c.Text, "premier");
    EXPECT_EQ(m.tag.GetComment(c, "", "eng"), 0);
    EXPECT_EQ(c.Text, "second");
    EXPECT_EQ(m.tag.GetComment(c, "", "ENG"), 1);
}

TEST(Comments, SetComment)
{
    MemTag m;
    TCommentFrame c{0, "ENG", "", "Bonjour"};
    EXPECT_EQ(m.tag.SetComment(c, "", "None"), 0);
    ASSERT_EQ(m.tag.Frames.Count(), 1u);
    EXPECT_EQ(m.tag.Frames.GetFrameID(1), "COMM");
    EXPECT_EQ(m.Data(1), "\0ENG\0Bonjour"s);
    // Replaced in place, the description written with one terminator.
    TCommentFrame d{0, "fra", "desc\0"s, "Salut"};
    EXPECT_EQ(m.tag.SetComment(d, "", "None"), 0);
    EXPECT_EQ(m.Data(1), "\0fradesc\0Salut"s);
    EXPECT_EQ(m.tag.SetComment({4, "eng", "", "x"}, "desc", "None"), 6);
    EXPECT_EQ(m.tag.SetComment({0, "en", "", "x"}, "desc", "None"), 7);
    EXPECT_EQ(m.tag.SetComment({0, "e\x01g", "", "x"}, "desc", "None"), 7);
    EXPECT_EQ(m.tag.SetComment({4, "eng", "", "x"}, "other", "None"), 6);  // also when adding
    EXPECT_EQ(m.tag.SetComment({0, "eng", "", ""}, "other", "None"), 0);   // nothing to delete
    EXPECT_EQ(m.tag.Frames.Count(), 1u);
    EXPECT_EQ(m.tag.SetComment({0, "eng", "", ""}, "desc", "None"), 255);
    EXPECT_EQ(m.tag.Frames.Count(), 0u);
}

TEST(Comments, SetCommentWritesTheEncodingItNames)
{
    // Texts are stored in the encoding the record gives, so any reader finds the same text.
    for (std::uint8_t enc = 0; enc < 4; ++enc) {
        MemTag m;
        const std::string text = Bytes({'C', 0xE9, 'a'});
        EXPECT_EQ(m.tag.SetComment({enc, "fra", Bytes({'d', 0xE8}), text}, "", "None"), 0);
        TCommentFrame back;
        EXPECT_EQ(m.tag.GetComment(back, Bytes({'d', 0xE8}), "fra"), 0) << int(enc);
        EXPECT_EQ(back.Text, text);
        EXPECT_EQ(back.Encoding, enc);
    }
}
