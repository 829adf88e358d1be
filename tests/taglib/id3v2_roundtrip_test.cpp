// Tags this library writes, read back by this library and by mutagen: the same frames and
// texts, and the audio behind the tag byte for byte as it was. A grid of the writer's options,
// then random tags (the seed is printed on failure; SONOVERNE_SEED=n repeats a run).
#include "id3codecs.h"
#include "id3v2.h"
#include "tagtest.h"

#include <random>
#include <set>

using namespace tagtest;

namespace {

struct Expected {
    std::map<std::string, std::string> texts;     // frame -> text
    std::map<std::string, std::string> comments;  // "lang:desc" -> text
};

struct Case {
    std::string name, path, audio;
    Expected expected;
    bool mutagenCanRead = true;  // see MutagenCanRead
    int frameStatus = -1;        // status flags every frame must read back with (-1: not checked)
};

const char* const kTextIds[] = {"TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK", "TCOM", "TPUB"};

std::string Encode(const std::string& text, int encoding)
{
    std::string d(1, char(encoding));
    for (unsigned char c : text) {
        if (encoding == 1) {
            if (d.size() == 1) d += "\xFF\xFE";
            d += char(c);
            d += '\0';
        } else if (encoding == 2) {
            d += '\0';
            d += char(c);
        } else if (encoding == 3 && c >= 0x80) {
            d += char(0xC0 | (c >> 6));
            d += char(0x80 | (c & 0x3F));
        } else {
            d += char(c);
        }
    }
    return d;
}

// Puts a text in a frame in the given encoding (0 through the library's own setter).
void SetText(Tid3v2tag& tag, const std::string& id, const std::string& text, int encoding)
{
    if (encoding == 0 || text.empty()) {
        const TFrameResult r = tag.SetTextFrame(id, text);
        ASSERT_TRUE(r == 0 || r == 255) << int(r);
        return;
    }
    std::uint32_t index = 0;
    for (std::uint32_t i = 1; i <= tag.Frames.Count() && !index; ++i)
        if (tag.Frames.GetFrameID(i) == id) index = i;
    if (!index) index = tag.Frames.AddFrame(id);
    tag.Frames.Data(index) = ToBytes(Encode(text, encoding));
    tag.Frames.SetReadFlags(index, 2, 0);
    tag.Frames.SetDataLength(index, 0);
}

// Limits of mutagen, not faults of the tag, recognised here so that they do not hide real
// differences: with an ID3v2.3 extended header it skips that header before removing the
// unsynchronisation, then takes as many bytes as the tag size counts from there (so a few bytes
// of audio join its unsynchronisation check, which refuses $FF followed by $E0 or more, or
// ending the data, and past the end of a file with less audio than the extended header has
// bytes, which it cannot read at all); and it drops an ID3v2.4 frame whose unsynchronised data ends with $FF.
bool MutagenCanRead(Tid3v2tag& tag, const std::string& path)
{
    if (tag.GetExtendedHeader() && fs::file_size(path) < tag.TagSize + 16) return false;
    if (tag.MajorVersion == 3 && tag.GetUnsynchronisation() && tag.GetExtendedHeader()) {
        TBytes tail;
        for (std::uint32_t v : {tag.PaddingSize, tag.CRC})
            for (int s = 24; s >= 0; s -= 8) tail.push_back(std::uint8_t(v >> s));
        if (!tag.GetCRCPresent()) tail.resize(4);
        tail.push_back(tag.Frames.Count() ? std::uint8_t(tag.Frames.GetFrameID(1)[0]) : 0x41);
        if (UnsyncCountBuffer(tail.data(), int(tail.size())) > 0) return false;
        const std::string file = ReadFile(path);
        const std::size_t ext = tag.GetCRCPresent() ? 14 : 10;
        const std::string seen = file.substr(10 + ext, tag.TagSize - 10);
        for (std::size_t i = 0; i < seen.size(); ++i)
            if (std::uint8_t(seen[i]) == 0xFF && (i + 1 == seen.size() || std::uint8_t(seen[i + 1]) >= 0xE0))
                return false;
    }
    if (tag.MajorVersion == 4)
        for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i)
            if (tag.Frames.IsUnsynchronised(i) && !tag.Frames.Data(i).empty() && tag.Frames.Data(i).back() == 0xFF)
                return false;
    return true;
}

// Our reading of a saved file, its audio, and mutagen's reading, against what was set.
void Check(const std::vector<Case>& cases)
{
    std::vector<std::string> paths;
    for (const auto& c : cases) paths.push_back(c.path);
    const auto views = MutagenReadMany(paths);
    Tid3v2tag tag;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LT(tag.LoadFromFile(c.path, 0), 0x0100);
        const std::string file = ReadFile(c.path);
        EXPECT_EQ(file.substr(10 + tag.TagSize), c.audio);
        std::set<std::string> ids;
        for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
            ids.insert(tag.Frames.GetFrameID(i));
            if (c.frameStatus >= 0) {
                EXPECT_EQ(tag.Frames.GetReadFlags(i, 1), c.frameStatus) << tag.Frames.GetFrameID(i);
            }
        }
        for (const auto& [id, text] : c.expected.texts) {
            std::string ours;
            EXPECT_EQ(tag.GetTextFrame(id, ours), 0) << id;
            EXPECT_EQ(ours, text) << id;
        }
        for (const auto& [key, text] : c.expected.comments) {
            const auto colon = key.find(':');
            TCommentFrame comment;
            EXPECT_EQ(tag.GetComment(comment, key.substr(colon + 1), key.substr(0, colon)), 0) << key;
            EXPECT_EQ(comment.Text, text) << key;
        }
        std::set<std::string> wanted;
        for (const auto& [id, text] : c.expected.texts) wanted.insert(id);
        if (!c.expected.comments.empty()) wanted.insert("COMM");
        EXPECT_EQ(ids, wanted);
        if (!c.mutagenCanRead) continue;
        const auto it = views.find(c.path);
        ASSERT_NE(it, views.end());
        const MutagenView& theirs = it->second;
        EXPECT_EQ(theirs.version, tag.MajorVersion);
        EXPECT_EQ(std::set<std::string>(theirs.frames.begin(), theirs.frames.end()), wanted);
        for (const auto& [id, text] : c.expected.texts) {
            const auto t = theirs.texts.find(id);
            ASSERT_NE(t, theirs.texts.end()) << id;
            EXPECT_EQ(t->second, text) << id;
        }
        EXPECT_EQ(theirs.comments, c.expected.comments);
    }
}

std::string Text(std::mt19937& rng, std::size_t maxLength)
{
    std::string s(1 + rng() % maxLength, ' ');
    for (char& ch : s) ch = char(rng() % 4 ? 0x20 + rng() % 0x5F : 0xA0 + rng() % 0x60);
    if (std::uint8_t(s.back()) == 0xFF) s.back() = 'y';  // a final 0xFF is not text
    return s;
}

}  // namespace

TEST(RoundTrip, WriterOptionGrid)
{
    TempDir dir;
    std::vector<Case> cases;
    int n = 0;
    for (int version : {3, 4})
        for (int unsync : {0, 1})
            for (int compress : {0, 1})
                for (int crc : {0, 1})
                    for (int mode : {0, 1, 2})
                        for (int change : {0, 1, 2}) {  // grow, shrink, stay
                            Case c;
                            c.name = "v" + std::to_string(version) + " unsync " + std::to_string(unsync) +
                                     " compress " + std::to_string(compress) + " crc " + std::to_string(crc) +
                                     " mode " + std::to_string(mode) + " change " + std::to_string(change);
                            c.path = dir.File("grid" + std::to_string(n++) + ".mp3");
                            c.audio = Audio(20000 + std::size_t(n) * 37, unsigned(n));
                            Tid3v2tag tag;
                            // A first tag with some padding, saved by the library itself.
                            WriteFile(c.path, c.audio);
                            tag.LoadFromFile(c.path, 0);
                            const std::string mid(600, 'm');
                            tag.SetTextFrame("TIT2", mid);
                            tag.SetTextFrame("TPE1", "Artiste \xFF\xE0 fin");
                            ASSERT_LT(tag.SaveToFile("=", std::uint8_t(version), 0, -1), 0x0100);
                            ASSERT_LT(tag.LoadFromFile(c.path, 0), 0x0100);
                            const std::string title = change == 0 ? std::string(9000, 'g') : change == 1 ? "s" : mid;
                            tag.SetTextFrame("TIT2", title);
                            tag.SetTextFrame("TALB", "Album \xE9t\xE9");
                            tag.SetComment({1, "fra", "note", "Commentaire \xFF\xFF!"}, "note", "fra");
                            c.expected.texts = {
                                {"TIT2", title}, {"TPE1", "Artiste \xFF\xE0 fin"}, {"TALB", "Album \xE9t\xE9"}};
                            c.expected.comments = {{"fra:note", "Commentaire \xFF\xFF!"}};
                            // Status flags too (each case its own), which neither version may move.
                            c.frameStatus = std::vector<int>{0x40, 0x20, 0x10, 0x70}[std::size_t(n) % 4];
                            for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
                                tag.Frames.SetWriteFlags(i, 2,
                                                         std::uint8_t((compress ? frameflag::Compression : 0) |
                                                                      (unsync ? frameflag::Unsynchronisation : 0)));
                                tag.Frames.SetWriteFlags(i, 1, std::uint8_t(c.frameStatus));
                            }
                            tag.SetCRCPresent(crc);
                            tag.PaddingMode = std::uint8_t(mode);
                            if (change == 2) tag.PaddingLimit = 0;  // keep the old length when it fits
                            const std::size_t before = ReadFile(c.path).size();
                            ASSERT_LT(tag.SaveToFile("=", 255, 255, -1), 0x0100) << c.name;
                            if (change == 2 && mode == 1) { EXPECT_EQ(ReadFile(c.path).size(), before) << c.name; }
                            c.mutagenCanRead = MutagenCanRead(tag, c.path);
                            cases.push_back(c);
                        }
    Check(cases);
}

TEST(RoundTrip, RandomTags)
{
    const char* env = std::getenv("SONOVERNE_SEED");
    const unsigned seed = env ? unsigned(std::strtoul(env, nullptr, 10)) : std::random_device{}();
    SCOPED_TRACE("SONOVERNE_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    TempDir dir;
    std::vector<Case> cases;
    const int count = 300;
    for (int n = 0; n < count; ++n) {
        Case c;
        c.name = "case " + std::to_string(n);
        c.path = dir.File("r" + std::to_string(n) + ".mp3");
        const int shape = int(rng() % 5);
        const std::size_t audioSize = shape == 0   ? 0
                                      : shape == 1 ? rng() % 200
                                      : shape == 4 ? rng() % 300000
                                                   : rng() % 40000;
        c.audio = Audio(audioSize, rng());
        WriteFile(c.path, c.audio);
        Tid3v2tag tag;
        EXPECT_EQ(tag.LoadFromFile(c.path, 0),
                  audioSize >= 10 || audioSize == 0 ? (audioSize ? 0x1000 : 0x0800) : 0x1000);
        // Two rounds: a first tag (or none), then changes that grow, shrink or keep it.
        for (int round = 0; round < 2; ++round) {
            for (const char* id : kTextIds) {
                const int what = int(rng() % 6);
                if (what == 0) {
                    SetText(tag, id, "", 0);
                    c.expected.texts.erase(id);
                } else if (what <= 3) {
                    const std::string text = Text(rng, rng() % 8 ? 40 : 3000);
                    SetText(tag, id, text, what == 3 ? int(1 + rng() % 3) : 0);
                    c.expected.texts[id] = text;
                }
            }
            for (int k = int(rng() % 3); k > 0; --k) {
                const std::string lang = rng() % 2 ? "eng" : "fra";
                const std::string desc = rng() % 2 ? "" : "d\xE9sc";
                const std::string text = rng() % 5 ? Text(rng, 100) : "";
                const TFrameResult r = tag.SetComment({std::uint8_t(rng() % 4), lang, desc, text}, desc, lang);
                ASSERT_TRUE(r == 0 || r == 255) << int(r);
                if (text.empty()) {
                    c.expected.comments.erase(lang + ":" + desc);
                } else {
                    c.expected.comments[lang + ":" + desc] = text;
                }
            }
            if (tag.Frames.Count() == 0) {
                SetText(tag, "TIT2", "only", 0);
                c.expected.texts["TIT2"] = "only";
            }
            for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
                std::uint8_t flags = tag.Frames.GetWriteFlags(i, 2);
                if (rng() % 4 == 0) flags ^= frameflag::Compression;
                if (rng() % 10 == 0) flags |= frameflag::Unsynchronisation;
                tag.Frames.SetWriteFlags(i, 2, flags);
            }
            if (rng() % 6 == 0) tag.SetUnsynchronisation(rng() % 2);
            tag.SetCRCPresent(rng() % 4 == 0);
            if (rng() % 5 == 0) tag.SetExtendedHeader(rng() % 2);
            tag.PaddingMode = std::uint8_t(rng() % 3);
            tag.PaddingBlock = std::vector<std::uint32_t>{4096, 1000, 512, 1}[rng() % 4];
            tag.PaddingLimit = rng() % 2 ? tag.PaddingBlock : 0;
            if (tag.PaddingMode == 0) tag.PaddingSize = rng() % 3000;
            tag.CompressionLevel = std::uint8_t(rng() % 4);
            const std::uint8_t version = rng() % 2 ? 3 : 4;
            ASSERT_LT(tag.SaveToFile("=", version, 0, -1), 0x0100) << c.name;
            ASSERT_EQ(ReadFile(c.path).substr(tag.TagSize), c.audio) << c.name << " round " << round;
            if (round == 0 && rng() % 2) { ASSERT_LT(tag.LoadFromFile(c.path, 0), 0x0100); }
        }
        c.mutagenCanRead = MutagenCanRead(tag, c.path);
        cases.push_back(std::move(c));
    }
    Check(cases);
}
