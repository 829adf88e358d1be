// Files written by mutagen (or built byte by byte by its helper script) read the same through
// this library as through mutagen.
#include "id3v2.h"
#include "tagtest.h"

#include <cstdlib>

using namespace tagtest;
using namespace std::string_literals;

namespace {

std::vector<std::string> Fixtures(const TempDir& dir)
{
    std::vector<std::string> names;
    std::istringstream in(RunTool("fixtures " + Quote(dir.Path().string())));
    for (std::string name; std::getline(in, name);)
        if (!name.empty()) names.push_back(name);
    return names;
}

// The terminator the decoder keeps (a text ending with its 0 byte) is not part of the text.
std::string Trim(std::string s)
{
    if (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

}  // namespace

TEST(Interop, OursReadsWhatMutagenReads)
{
    TempDir dir;
    const auto names = Fixtures(dir);
    ASSERT_GE(names.size(), 15u);
    std::vector<std::string> paths;
    for (const auto& name : names) paths.push_back(dir.File(name + ".mp3"));
    const auto views = MutagenReadMany(paths);
    Tid3v2tag tag;
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const std::string path = dir.File(name + ".mp3");
        ASSERT_EQ(views.count(path), 1u);
        const MutagenView& theirs = views.at(path);
        ASSERT_LT(tag.LoadFromFile(path, 0), 0x0100);
        EXPECT_EQ(tag.MajorVersion, theirs.version);
        ASSERT_FALSE(theirs.texts.empty());
        for (const auto& [id, text] : theirs.texts) {
            std::string ours, whole;
            const TFrameResult r = tag.GetTextFrame(id, ours);
            if (text == "!") {
                EXPECT_EQ(r, 4) << id;  // a character above 0xFF
            } else {
                EXPECT_EQ(r, 0) << id;
                EXPECT_EQ(Trim(ours), text) << id;
            }
            // Whole, every text reads as mutagen reads it.
            EXPECT_EQ(tag.GetTextFrameUtf8(id, whole), 0) << id;
            EXPECT_EQ(Trim(whole), theirs.wholeTexts.at(id)) << id;
        }
        for (const auto& [key, text] : theirs.comments) {
            const auto colon = key.find(':');
            TCommentFrame c;
            const TFrameResult r = tag.GetComment(c, key.substr(colon + 1), key.substr(0, colon));
            if (text == "!") {
                EXPECT_EQ(r, 4) << key;
            } else {
                EXPECT_EQ(r, 0) << key;
                EXPECT_EQ(Trim(c.Text), text) << key;
            }
            EXPECT_EQ(tag.GetCommentUtf8(c, key.substr(colon + 1), key.substr(0, colon)), 0) << key;
            EXPECT_EQ(Trim(c.Text), theirs.wholeComments.at(key)) << key;
        }
    }
}

TEST(Interop, SpecificFixtures)
{
    TempDir dir;
    Fixtures(dir);
    Tid3v2tag tag;
    std::string t;
    ASSERT_EQ(tag.LoadFromFile(dir.File("raw_v23_big_unsync.mp3"), 0), 0);
    EXPECT_GT(tag.TagSize, 150000u);
    EXPECT_EQ(tag.PaddingSize, 4000u);
    ASSERT_EQ(tag.LoadFromFile(dir.File("raw_v24_duplicates.mp3"), 0), 0);
    EXPECT_EQ(tag.GetTextFrame("TIT2", t), 0);
    EXPECT_EQ(t, "Premier");  // the first of two frames
    TCommentFrame c;
    EXPECT_EQ(tag.GetComment(c, "", "None"), 0);
    EXPECT_EQ(c.Text, "anglais");
    EXPECT_EQ(tag.GetComment(c, "", "fra"), 0);
    EXPECT_EQ(c.Text, "fran\xE7"
                      "ais");
    ASSERT_EQ(tag.LoadFromFile(dir.File("raw_v23_exthdr.mp3"), 0), 0);
    EXPECT_EQ(tag.PaddingSize, 100u);
    EXPECT_NE(tag.CRC, 0u);
    ASSERT_EQ(tag.LoadFromFile(dir.File("raw_v24_exthdr.mp3"), 0), 0);
    EXPECT_EQ(tag.Restrictions, 0x23);
    EXPECT_EQ(tag.ExtFlags, 0x70);
    ASSERT_EQ(tag.LoadFromFile(dir.File("raw_v24_nopadding.mp3"), 0), 0);
    EXPECT_EQ(tag.PaddingSize, 0u);
    ASSERT_EQ(tag.LoadFromFile(dir.File("mutagen_v24_wide.mp3"), 0), 0);
    EXPECT_EQ(tag.GetTextFrame("TIT2", t), 4);
    ASSERT_EQ(tag.LoadFromFile(dir.File("raw_v23_lame.mp3"), 0), 0);
    EXPECT_EQ(tag.GetComment(c, "d", "fra"), 0);
    EXPECT_EQ(c.Text, "");
}

// A file as lame itself tags it: UTF-16 texts and a comment whose empty description has no
// byte-order mark. Its comment is read, replaced, and mutagen reads the replacement.
TEST(Interop, LameTaggedFile)
{
    if (std::system("command -v lame >/dev/null 2>&1") != 0) GTEST_SKIP() << "lame is not installed";
    TempDir dir;
    const std::string wav = dir.File("in.wav"), mp3 = dir.File("out.mp3");
    const std::uint32_t samples = 8000;
    auto le = [](std::uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s.push_back(char(v >> (8 * i) & 0xFF));
        return s;
    };
    WriteFile(wav, "RIFF" + le(36 + 2 * samples, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) +
                       le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(2 * samples, 4) +
                       std::string(2 * samples, '\0'));
    ASSERT_EQ(std::system(("lame --quiet --tt Titre --tc Remarque " + Quote(wav) + " " + Quote(mp3)).c_str()), 0);
    const std::string file = ReadFile(mp3);
    const std::size_t comm = file.find("COMM");
    ASSERT_NE(comm, std::string::npos);
    ASSERT_EQ(file.substr(comm + 10, 6), "\x01"
                                         "eng\0\0"s);  // the mark-less empty description
    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(mp3, 0), 0);
    std::string t;
    EXPECT_EQ(tag.GetTextFrame("TIT2", t), 0);
    EXPECT_EQ(t, "Titre");
    TCommentFrame c;
    ASSERT_EQ(tag.GetComment(c, "", "None"), 0);
    EXPECT_EQ(c.Text, "Remarque");
    ASSERT_EQ(tag.SetComment({0, "ENG", "", "Autre"}, "", "None"), 0);
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), 0);
    const MutagenView theirs = MutagenRead(mp3);
    EXPECT_EQ(theirs.comments.size(), 1u);
    EXPECT_EQ(theirs.comments.count("ENG:"), 1u);
    if (theirs.comments.count("ENG:")) { EXPECT_EQ(theirs.comments.at("ENG:"), "Autre"); }
    EXPECT_EQ(theirs.texts.at("TIT2"), "Titre");
}
