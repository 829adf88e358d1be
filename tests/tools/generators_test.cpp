// The two generator programs, run as the build and the benchmarks run them, their output checked
// with mutagen.
#include "probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

int RunTool(const std::string& tool, const std::string& args)
{
    std::string ignored;
    return probe::Run(probe::Quote(tool) + " " + args + " 2>&1", &ignored);
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

struct TreeCounts {
    long files = 0, folders = 0, emptyFiles = 0, mp3 = 0;
    int maxDepth = 0;
};

TreeCounts Count(const std::string& root)
{
    TreeCounts c;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_directory()) {
            ++c.folders;
            c.maxDepth = std::max(c.maxDepth, it.depth() + 1);
        } else if (it->is_regular_file()) {
            ++c.files;
            c.emptyFiles += it->file_size() == 0;
            c.mp3 += it->path().extension() == ".mp3";
        }
    }
    return c;
}

// --- The sample collection -----------------------------------------------------------------

class SampleCollection : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RunTool(MAKESAMPLES, probe::Quote(dir_.path())), 0);
        report_ = probe::Mutagen({dir_.path()});
    }
    probe::TempDir dir_;
    probe::Report report_;
};

TEST_F(SampleCollection, FoldersAndNamesMatchTheTags)
{
    ASSERT_GE(report_.size(), 10u);
    ASSERT_LE(report_.size(), 16u);
    std::set<std::string> artists, albums, genres;
    bool accented = false;
    long total = 0;
    for (const auto& [path, r] : report_) {
        SCOPED_TRACE(path);
        total += r.size;
        ASSERT_TRUE(r.hasMpeg);
        EXPECT_EQ(r.sampleRate, 44100);
        EXPECT_EQ(r.bitrate, 128000);
        EXPECT_GT(r.length, 0.5);
        EXPECT_LE(r.length, 5.0);
        if (!r.hasId3) continue;
        EXPECT_EQ(r.id3Version, "2.3.0");
        for (const auto& [id, text] : r.texts) EXPECT_EQ(text.encoding, 0) << id;
        EXPECT_TRUE(r.hasComment);
        EXPECT_EQ(r.commentLanguage, "eng");
        EXPECT_EQ(r.commentDescription, "");
        EXPECT_EQ(r.texts.at("TYER").text.size(), 4u);
        // Artist/Album/NN - Title.mp3: the UTF-8 file name holds the same text as the Latin-1 tag.
        const std::string track = r.texts.at("TRCK").text;
        const std::string expected = r.texts.at("TPE1").text + "/" + r.texts.at("TALB").text + "/" +
                                     (track.size() == 1 ? "0" : "") + track + " - " + r.texts.at("TIT2").text + ".mp3";
        EXPECT_EQ(path, expected);
        artists.insert(r.texts.at("TPE1").text);
        albums.insert(r.texts.at("TPE1").text + "/" + r.texts.at("TALB").text);
        genres.insert(r.texts.at("TCON").text);
        for (const auto& [id, text] : r.texts)
            accented |= std::any_of(text.text.begin(), text.text.end(), [](char c) { return c & 0x80; });
    }
    EXPECT_TRUE(artists.contains("Éléonore Vasseur"));
    EXPECT_GE(artists.size(), 4u);
    EXPECT_LE(artists.size(), 5u);
    EXPECT_GE(albums.size(), 5u);
    EXPECT_LE(albums.size(), 6u);
    EXPECT_GE(genres.size(), 3u);
    EXPECT_LE(genres.size(), 4u);
    EXPECT_TRUE(accented);
    EXPECT_LT(total, 1000000);
}

TEST_F(SampleCollection, ExactlyOneFileHasNoTag)
{
    std::vector<std::string> untagged;
    for (const auto& [path, r] : report_)
        if (!r.hasId3) untagged.push_back(path);
    ASSERT_EQ(untagged.size(), 1u);
    const probe::FileReport& r = report_.at(untagged[0]);
    EXPECT_TRUE(r.hasMpeg);
    EXPECT_EQ(static_cast<unsigned char>(probe::ReadBytes(dir_.path() + "/" + untagged[0])[0]), 0xFF);
}

TEST_F(SampleCollection, RerunGivesTheSameBytesAndTheBuildLaidItOut)
{
    probe::TempDir again;
    ASSERT_EQ(RunTool(MAKESAMPLES, probe::Quote(again.path())), 0);
    for (const auto& [path, r] : report_) {
        SCOPED_TRACE(path);
        const std::string bytes = probe::ReadBytes(dir_.path() + "/" + path);
        EXPECT_EQ(probe::ReadBytes(again.path() + "/" + path), bytes);
        EXPECT_EQ(probe::ReadBytes(std::string(SONOVERNE_PROGRAM_DIR) + "/" + path), bytes)
            << "the build did not lay the sample collection in the program folder";
    }
    const probe::Decoded d =
        probe::LameDecode(dir_.path() + "/" + report_.begin()->first, again.path() + "/decoded.wav");
    EXPECT_EQ(d.exitCode, 0);
    EXPECT_FALSE(d.samples.empty());
}

TEST(MakeSamples, NeedsExactlyOneFolder)
{
    EXPECT_NE(RunTool(MAKESAMPLES, ""), 0);
    EXPECT_NE(RunTool(MAKESAMPLES, "a b"), 0);
    EXPECT_NE(RunTool(MAKESAMPLES, "/proc/sonoverne-cannot-create-this"), 0);
}

// --- Generated collections -----------------------------------------------------------------

TEST(MakeCollection, TaggedCountsAreExact)
{
    probe::TempDir dir;
    const std::string root = dir.path() + "/c";
    ASSERT_EQ(RunTool(MAKECOLLECTION, probe::Quote(root) + " --files 1000 --folders 120 --artists 17 --albums 40"
                                                           " --no-tag-every 9 --seed 5"),
              0);
    const TreeCounts tree = Count(root);
    EXPECT_EQ(tree.mp3, 1000);
    EXPECT_EQ(tree.files, 1000 + 60 + 30);  // every other folder has an image, every fourth a playlist
    EXPECT_EQ(tree.folders, 120);
    EXPECT_EQ(tree.maxDepth, 3);  // ten wide: 10 + 100 + 10

    probe::Report report = probe::Mutagen({root});
    std::erase_if(report, [](const auto& entry) { return !entry.first.ends_with(".mp3"); });
    ASSERT_EQ(report.size(), 1000u);
    long untagged = 0;
    std::set<std::string> artists, artistsFolded, albums;
    std::map<std::string, std::set<std::string>> artistsOfAlbum;
    std::map<std::string, std::set<int>> tracksOfAlbum;
    long tracks = 0;
    for (const auto& [path, r] : report) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(r.hasMpeg);
        EXPECT_FALSE(r.sketchy);
        if (!r.hasId3) {
            ++untagged;
            continue;
        }
        const std::string artist = r.texts.at("TPE1").text, album = r.texts.at("TALB").text;
        EXPECT_TRUE(path.ends_with(" - " + r.texts.at("TIT2").text + ".mp3"));
        artists.insert(artist);
        artistsFolded.insert(Lower(artist));
        albums.insert(album);
        artistsOfAlbum[album].insert(artist);
        tracksOfAlbum[album].insert(std::stoi(r.texts.at("TRCK").text));
        ++tracks;
    }
    EXPECT_EQ(untagged, 1000 / 9);
    EXPECT_EQ(artists.size(), 17u);
    EXPECT_EQ(artistsFolded.size(), 17u);
    EXPECT_EQ(albums.size(), 40u);
    for (const auto& [album, owners] : artistsOfAlbum) EXPECT_EQ(owners.size(), 1u) << album;
    long distinctTracks = 0;
    for (const auto& [album, numbers] : tracksOfAlbum) {
        distinctTracks += static_cast<long>(numbers.size());
        EXPECT_EQ(*numbers.begin(), 1) << album;
        EXPECT_EQ(*numbers.rbegin(), static_cast<int>(numbers.size())) << album;
    }
    EXPECT_EQ(distinctTracks, tracks) << "two files of one album share a track number";
}

// The default collection is what users' collections look like to the scan: tags of 2 KB in three
// encodings, a sixth of them with texts ending in 0 as mutagen writes them, 3 % untagged files,
// images and playlists beside the files.
TEST(MakeCollection, DefaultCollectionLooksLikeAUsers)
{
    probe::TempDir dir;
    const std::string root = dir.path() + "/u";
    ASSERT_EQ(RunTool(MAKECOLLECTION, probe::Quote(root) + " --files 700 --folders 40 --artists 30 --albums 40"), 0);
    const probe::Report report = probe::Mutagen({root});
    long mp3 = 0, untagged = 0, terminated = 0, images = 0;
    std::map<std::string, int> kinds;  // version and encoding
    std::map<std::string, std::set<std::string>> mp3InFolder, albumsInFolder;
    std::set<std::string> foldersWithImage, playlists;
    for (const auto& [path, r] : report) {
        SCOPED_TRACE(path);
        const std::string folder = fs::path(path).parent_path().string();
        if (path.ends_with("/folder.png")) {
            ++images;
            foldersWithImage.insert(folder);
            // A PNG that zlib and the chunk checksums accept: 64 rows of a filter byte and 64 pixels.
            std::string out;
            EXPECT_EQ(
                probe::Run(
                    "/usr/bin/python3 -c 'import sys, struct, zlib\n"
                    "d = open(sys.argv[1], \"rb\").read()\n"
                    "assert d[:8] == b\"\\x89PNG\\r\\n\\x1a\\n\"\n"
                    "at, idat = 8, b\"\"\n"
                    "while at < len(d):\n"
                    "  n, = struct.unpack(\">I\", d[at:at + 4]); t = d[at + 4:at + 8]\n"
                    "  assert zlib.crc32(d[at + 4:at + 8 + n]) == struct.unpack(\">I\", d[at + 8 + n:at + 12 + n])[0]\n"
                    "  idat += d[at + 8:at + 8 + n] if t == b\"IDAT\" else b\"\"; at += 12 + n\n"
                    "print(len(zlib.decompress(idat)))' " +
                        probe::Quote(root + "/" + path),
                    &out),
                0);
            EXPECT_EQ(out, "4160\n");
            continue;
        }
        if (path.ends_with(".m3u")) {
            playlists.insert(path);
            continue;
        }
        ASSERT_TRUE(path.ends_with(".mp3"));
        ++mp3;
        mp3InFolder[folder].insert(fs::path(path).filename().string());
        ASSERT_TRUE(r.hasMpeg);
        EXPECT_FALSE(r.sketchy);
        // "NN - Title.mp3", NN counting the folder's files.
        const std::string name = fs::path(path).filename().string();
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(name[0])) && name.substr(2, 3) == " - ");
        if (!r.hasId3) {
            ++untagged;
            continue;
        }
        EXPECT_EQ(r.id3Size, 2048);
        const int encoding = r.texts.at("TIT2").encoding;
        ++kinds[r.id3Version + "/" + std::to_string(encoding)];
        const bool ends = r.texts.at("TIT2").terminated;
        terminated += ends;
        for (const auto& [id, text] : r.texts) {
            EXPECT_EQ(text.encoding, encoding) << id;
            EXPECT_EQ(text.terminated, ends) << id;
        }
        EXPECT_TRUE(r.texts.contains(r.id3Version == "2.4.0" ? "TDRC" : "TYER"));
        albumsInFolder[folder].insert(r.texts.at("TALB").text);
        EXPECT_EQ(r.texts.at("TPE2").text, r.texts.at("TPE1").text);
        EXPECT_TRUE(name.ends_with(" - " + r.texts.at("TIT2").text + ".mp3"));
        if (r.hasComment) {
            EXPECT_EQ(r.comment.encoding, encoding);
            EXPECT_EQ(r.comment.terminated, ends);
        }
    }
    EXPECT_EQ(mp3, 700);
    // As many albums as folders: one album a folder.
    EXPECT_EQ(albumsInFolder.size(), 40u);
    for (const auto& [folder, albums] : albumsInFolder) EXPECT_EQ(albums.size(), 1u) << folder;
    EXPECT_EQ(untagged, 700 / 33);
    const long tagged = 700 - untagged;
    EXPECT_EQ(terminated, tagged / 6);
    EXPECT_EQ(kinds.size(), 3u);
    EXPECT_GE(kinds["2.3.0/0"], tagged / 4);
    EXPECT_GE(kinds["2.3.0/1"], tagged / 5);
    EXPECT_GE(kinds["2.4.0/3"], tagged / 5);
    EXPECT_EQ(images, 20);
    ASSERT_EQ(playlists.size(), 10u);
    // Each playlist names every MP3 file of its folder, each after its "#EXTINF:" line.
    for (const std::string& list : playlists) {
        SCOPED_TRACE(list);
        const std::string folder = fs::path(list).parent_path().string();
        std::istringstream lines(probe::ReadBytes(root + "/" + list));
        std::string line, previous;
        std::set<std::string> named;
        std::getline(lines, line);
        EXPECT_EQ(line, "#EXTM3U");
        while (std::getline(lines, line)) {
            if (!line.starts_with("#")) {
                EXPECT_TRUE(previous.starts_with("#EXTINF:0,")) << line;
                named.insert(line);
            }
            previous = line;
        }
        EXPECT_EQ(named, mp3InFolder[folder]);
    }
}

TEST(MakeCollection, SeedDecidesTheNames)
{
    probe::TempDir dir;
    const std::string args = " --files 60 --folders 7 --artists 5 --albums 12 --seed ";
    ASSERT_EQ(RunTool(MAKECOLLECTION, probe::Quote(dir.path() + "/a") + args + "11"), 0);
    ASSERT_EQ(RunTool(MAKECOLLECTION, probe::Quote(dir.path() + "/b") + args + "11"), 0);
    ASSERT_EQ(RunTool(MAKECOLLECTION, probe::Quote(dir.path() + "/c") + args + "12"), 0);
    const probe::Report a = probe::Mutagen({dir.path() + "/a"});
    const probe::Report b = probe::Mutagen({dir.path() + "/b"});
    const probe::Report c = probe::Mutagen({dir.path() + "/c"});
    ASSERT_EQ(a.size(), 60u + 4 + 2);  // with the images and playlists of 7 folders
    ASSERT_EQ(b.size(), a.size());
    for (const auto& [path, r] : a) {
        ASSERT_TRUE(b.contains(path)) << path;
        EXPECT_EQ(probe::ReadBytes(dir.path() + "/a/" + path), probe::ReadBytes(dir.path() + "/b/" + path));
    }
    std::set<std::string> artistsA, artistsC;
    for (const auto& [path, r] : a)
        if (r.texts.contains("TPE1")) artistsA.insert(r.texts.at("TPE1").text);
    for (const auto& [path, r] : c)
        if (r.texts.contains("TPE1")) artistsC.insert(r.texts.at("TPE1").text);
    EXPECT_EQ(artistsC.size(), 5u);
    EXPECT_NE(artistsA, artistsC);
}

TEST(MakeCollection, EmptyModeMakesEmptyMp3NamesInNestedFolders)
{
    probe::TempDir dir;
    const std::string root = dir.path() + "/e";
    ASSERT_EQ(RunTool(MAKECOLLECTION, probe::Quote(root) + " --files 2500 --folders 1200 --empty"), 0);
    const TreeCounts tree = Count(root);
    EXPECT_EQ(tree.files, 2500);
    EXPECT_EQ(tree.emptyFiles, 2500);
    EXPECT_EQ(tree.folders, 1200);
    EXPECT_EQ(tree.maxDepth, 4);
    long mp3 = 0;
    for (const auto& e : fs::recursive_directory_iterator(root))
        mp3 += e.is_regular_file() && e.path().extension() == ".mp3";
    EXPECT_EQ(mp3, 2500);
}

TEST(MakeCollection, NeverWritesIntoAFolderThatHoldsSomething)
{
    probe::TempDir dir;
    {
        std::ofstream keep(dir.path() + "/keep.txt");
        keep << "mine";
    }
    EXPECT_NE(RunTool(MAKECOLLECTION, probe::Quote(dir.path()) + " --files 10 --folders 2 --empty"), 0);
    EXPECT_NE(RunTool(MAKECOLLECTION, probe::Quote(dir.path() + "/keep.txt") + " --files 10 --folders 2 --empty"), 0);
    EXPECT_EQ(Count(dir.path()).files, 1);
    EXPECT_EQ(Count(dir.path()).folders, 0);
    EXPECT_EQ(probe::ReadBytes(dir.path() + "/keep.txt"), "mine");
}

TEST(MakeCollection, RefusesCountsItCannotMeetExactly)
{
    probe::TempDir dir;
    const std::string root = probe::Quote(dir.path() + "/x");
    // Each album has one artist, each tagged file one album.
    EXPECT_EQ(RunTool(MAKECOLLECTION, root + " --files 100 --folders 5 --artists 10 --albums 5"), 2);
    EXPECT_EQ(RunTool(MAKECOLLECTION, root + " --files 10 --folders 5 --artists 2 --albums 9"
                                             " --no-tag-every 2"),
              2);
    EXPECT_EQ(RunTool(MAKECOLLECTION, root + " --files 10 --folders 5 --artists 2 --albums 2"
                                             " --no-tag-every 1"),
              2);
    // Album 1 would gather files 2, 4, 6 and 8, every one of them untagged.
    EXPECT_EQ(RunTool(MAKECOLLECTION, root + " --files 9 --folders 5 --artists 2 --albums 2"
                                             " --no-tag-every 2"),
              2);
    EXPECT_EQ(RunTool(MAKECOLLECTION, root + " --files 10 --folders 0 --empty"), 2);
    EXPECT_EQ(RunTool(MAKECOLLECTION, root + " --files -3 --folders 2 --empty"), 2);
    EXPECT_EQ(RunTool(MAKECOLLECTION, root + " --files 10 --folders 2"), 2);
    EXPECT_EQ(RunTool(MAKECOLLECTION, root + " --files 10 --folders 2 --empty --bogus"), 2);
    EXPECT_FALSE(fs::exists(dir.path() + "/x"));
}

}  // namespace
