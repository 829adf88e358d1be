// sonoverne-makecollection: large generated collections for the benchmarks.
//
//   sonoverne-makecollection <folder> --files N --folders F --artists A --albums B
//                            [--no-tag-every K] [--seed S]
//   sonoverne-makecollection <folder> --files N --folders F --empty
//
// The F folders form a tree ten wide under <folder> (10,000 folders are four levels deep); file j
// goes to folder 1 + j mod F. Every K-th file has no tag (K = 33 unless given, about 3 %; 0 tags
// every file); tagged file j belongs to album j mod B, numbered on in its album, so that with
// B = F each folder holds one album, as users' folders do. Album b belongs to artist b * A / B:
// an artist's albums are neighbours. The counts are exact, checked before anything is written.
// The files look like a user's: tags of 2,048 bytes with their padding, texts in ISO-8859-1
// (ID3v2.3, four files in ten), UTF-16 (ID3v2.3, three in ten) or UTF-8 (ID3v2.4, three in ten),
// every text ending in a 0 byte as mutagen writes them on a sixth of the tagged files, names of
// varied lengths, four silent MPEG frames. Every other folder holds a folder image (folder.png)
// and every fourth a playlist of its files (<folder name>.m3u).
// Names are built from two-byte syllables through a bijection of their index, so distinct
// indexes always give distinct names, whatever the seed. Everything follows from the seed.
// <folder> must be missing or empty: the tool never writes among files it did not make.
#include "mp3gen.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace sonoverne::mp3gen;

struct Options {
    std::string root;
    long files = -1, folders = -1, artists = -1, albums = -1;
    long noTagEvery = 33;
    std::uint64_t seed = 1;
    bool empty = false;
};

constexpr const char* kUsage = "usage: sonoverne-makecollection <folder> --files N --folders F --artists A --albums B\n"
                               "                                [--no-tag-every K] [--seed S]\n"
                               "       sonoverne-makecollection <folder> --files N --folders F --empty\n";

// Titles of each of the six shapes below stay distinct up to 96^3 = 884,736 of them.
constexpr long kMostFiles = 5000000;

long ParseCount(const char* text, const char* option)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 0)
        throw Error(std::string("bad value for ") + option + ": " + text);
    return v;
}

Options Parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) throw Error("missing value after " + a);
            return argv[++i];
        };
        if (a == "--files") o.files = ParseCount(value(), "--files");
        else if (a == "--folders") o.folders = ParseCount(value(), "--folders");
        else if (a == "--artists") o.artists = ParseCount(value(), "--artists");
        else if (a == "--albums") o.albums = ParseCount(value(), "--albums");
        else if (a == "--no-tag-every") o.noTagEvery = ParseCount(value(), "--no-tag-every");
        else if (a == "--seed") o.seed = static_cast<std::uint64_t>(ParseCount(value(), "--seed"));
        else if (a == "--empty") o.empty = true;
        else if (a.starts_with("--") || !o.root.empty()) throw Error("unexpected argument: " + a);
        else o.root = a;
    }
    if (o.root.empty() || o.files < 0 || o.folders < 1) throw Error("a folder, --files and --folders are needed");
    if (o.empty) return o;
    if (o.artists < 1 || o.albums < 1) throw Error("--artists and --albums are needed");
    if (o.noTagEvery == 1) throw Error("--no-tag-every 1 leaves no file tagged");
    if (o.files > kMostFiles) throw Error("at most 5,000,000 files keep the titles distinct");
    const long tagged = o.files - (o.noTagEvery > 0 ? o.files / o.noTagEvery : 0);
    // Every album belongs to one artist and every tagged file to one album, so exact counts need
    // artists <= albums <= tagged files.
    if (o.albums < o.artists) throw Error("--albums must be at least --artists");
    if (tagged < o.albums) throw Error("fewer tagged files than albums");
    std::vector<bool> used(static_cast<std::size_t>(o.albums));
    long albums = 0;
    for (long j = 0; j < o.files && albums < o.albums; ++j)
        if (!(o.noTagEvery > 0 && (j + 1) % o.noTagEvery == 0) && !used[static_cast<std::size_t>(j % o.albums)]) {
            used[static_cast<std::size_t>(j % o.albums)] = true;
            ++albums;
        }
    if (albums < o.albums) throw Error("some albums would have no tagged file");
    return o;
}

// Syllables of exactly two ISO-8859-1 bytes, so that names decode uniquely.
constexpr const char kConsonants[] = "bdfglmnrstvz";  // 12
constexpr const char kVowels[] = "aeiou\xE9\xE8y";    // 8, with é and è
constexpr std::uint64_t kSyllables = 12 * 8;

// splitmix64: a well-spread value of a number.
std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Index -> name of `words` words of `perWord` syllables each. The first six syllables (or all,
// if fewer) are a bijection of the index modulo 96^k (96 = 2^5 * 3): a large odd multiplier not
// divisible by 3 spreads neighbouring indexes over every syllable, and an offset follows the
// seed. Syllables past the sixth only add length.
std::string Name(std::uint64_t index, std::uint64_t seed, int words, int perWord)
{
    const int coded = std::min(words * perWord, 6);
    std::uint64_t modulus = 1;
    for (int i = 0; i < coded; ++i) modulus *= kSyllables;
    std::uint64_t code = static_cast<std::uint64_t>(
        (static_cast<unsigned __int128>(index) * 2654435761u + static_cast<unsigned __int128>(seed) * 104729) %
        modulus);
    std::uint64_t filler = Mix(index ^ (seed << 32));
    std::string out;
    int made = 0;
    for (int w = 0; w < words; ++w) {
        if (w > 0) out.push_back(' ');
        for (int s = 0; s < perWord; ++s, ++made) {
            std::uint64_t& source = made < coded ? code : filler;
            const auto syl = source % kSyllables;
            source /= kSyllables;
            char c = kConsonants[syl / 8];
            if (s == 0) c = static_cast<char>(c - 'a' + 'A');
            out.push_back(c);
            out.push_back(kVowels[syl % 8]);
        }
    }
    return out;
}

// Name shapes (words, syllables per word) of a kind differ in length (two bytes a syllable and a
// space between words), so names of two shapes never meet and each shape is a bijection.
struct Shape {
    int words, perWord;
};
constexpr Shape kArtistShapes[] = {{2, 2}, {1, 4}, {2, 3}, {3, 2}};
constexpr Shape kAlbumShapes[] = {{2, 3}, {1, 3}, {3, 2}, {4, 2}, {3, 3}};
constexpr Shape kTitleShapes[] = {{2, 2}, {1, 3}, {3, 2}, {4, 2}, {5, 2}, {2, 3}};

template <std::size_t N>
std::string ShapedName(std::uint64_t index, std::uint64_t seed, const Shape (&shapes)[N])
{
    const Shape& s = shapes[index % N];
    return Name(index / N, seed, s.words, s.perWord);
}

constexpr std::size_t kTagBytes = 2048;

// A folder image: a valid 64 x 64 grey PNG (stored deflate blocks, no zlib needed).
std::uint32_t Crc32(std::string_view bytes)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (char ch : bytes) {
        c ^= static_cast<unsigned char>(ch);
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

void PutU32(std::string& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void PutChunk(std::string& out, std::string_view type, std::string_view data)
{
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type) + std::string(data);
    out += body;
    PutU32(out, Crc32(body));
}

std::string FolderImage()
{
    constexpr int kSide = 64;
    std::string raw;  // each row: filter byte 0, then grey levels
    for (int y = 0; y < kSide; ++y) {
        raw.push_back('\0');
        for (int x = 0; x < kSide; ++x) raw.push_back(static_cast<char>(64 + (x ^ y) * 2));
    }
    std::string z = "\x78\x01";  // zlib header, one stored block (raw is under 64 KiB)
    z.push_back('\x01');
    const auto len = static_cast<std::uint16_t>(raw.size());
    z.push_back(static_cast<char>(len & 0xFF));
    z.push_back(static_cast<char>(len >> 8));
    z.push_back(static_cast<char>(~len & 0xFF));
    z.push_back(static_cast<char>((~len >> 8) & 0xFF));
    z += raw;
    std::uint32_t a = 1, b = 0;  // Adler-32
    for (char ch : raw) {
        a = (a + static_cast<unsigned char>(ch)) % 65521;
        b = (b + a) % 65521;
    }
    PutU32(z, (b << 16) | a);
    std::string png = "\x89PNG\r\n\x1A\n";
    std::string header;
    PutU32(header, kSide);
    PutU32(header, kSide);
    header += std::string("\x08\x00\x00\x00\x00", 5);  // 8-bit grey, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", "");
    return png;
}

constexpr const char* kGenres[] = {"Rock",      "Pop",        "Jazz",   "Chanson", "Blues", "Folk",
                                   "Classique", "Electronic", "Reggae", "Latin",   "Metal", "Soul"};

// Folder k (1..F) hangs under folder (k - 1) / 10; folder 0 is the root.
std::vector<std::string> MakeFolders(const Options& o)
{
    std::vector<std::string> paths(static_cast<std::size_t>(o.folders) + 1);
    paths[0] = o.root;
    char name[32];
    for (long k = 1; k <= o.folders; ++k) {
        std::snprintf(name, sizeof name, "/d%05ld", k);
        paths[k] = paths[(k - 1) / 10] + name;
        if (::mkdir(paths[k].c_str(), 0755) != 0)
            throw Error("cannot create " + paths[k] + ": " + std::strerror(errno));
    }
    return paths;
}

bool HasImage(long folder) { return folder % 2 == 1; }
bool HasPlaylist(long folder) { return folder % 4 == 2; }

// The tag of the `tagged`-th tagged file, file j of the collection, `track` in its album.
Id3v2Spec MakeTag(const Options& o, long j, long tagged, long track, const std::string& title)
{
    Id3v2Spec tag;
    const std::uint64_t h = Mix(o.seed * 1000003 + static_cast<std::uint64_t>(j));
    const int kind = static_cast<int>(h % 10);
    tag.version = kind < 7 ? 3 : 4;
    tag.encoding = kind < 4 ? TextEncoding::Latin1 : kind < 7 ? TextEncoding::Utf16 : TextEncoding::Utf8;
    tag.terminated = tagged % 6 == 5;
    const long album = j % o.albums;
    const long artist = album * o.artists / o.albums;
    TagTexts& t = tag.texts;
    t.title = title;
    t.artist = ShapedName(static_cast<std::uint64_t>(artist), o.seed, kArtistShapes);
    t.album = ShapedName(static_cast<std::uint64_t>(album), o.seed + 3, kAlbumShapes);
    t.year = std::to_string(1950 + (album * 7 + static_cast<long>(o.seed % 75)) % 75);
    t.genre = kGenres[album % std::size(kGenres)];
    t.track = std::to_string(track);
    if ((h >> 8) % 3 != 0) t.comment = "sonoverne-makecollection";
    // What encoders and taggers add beside the texts shown.
    tag.extraFrames.push_back({"TPE2", TextFrameData(tag, t.artist)});
    tag.extraFrames.push_back({"TSSE", TextFrameData(tag, "LAME 3.100")});
    const std::size_t frames = Id3v2Tag(tag).size();
    tag.padding = frames < kTagBytes ? kTagBytes - frames : 0;
    return tag;
}

int Run(const Options& o)
{
    namespace fs = std::filesystem;
    const auto start = std::chrono::steady_clock::now();
    const fs::path root(o.root);
    if (fs::exists(root) && !(fs::is_directory(root) && fs::is_empty(root)))
        throw Error(o.root + " exists and is not an empty folder");
    fs::create_directories(root);
    const std::vector<std::string> folders = MakeFolders(o);

    const std::string audio = SilentFrames(4);  // fewer make mutagen call the file sketchy
    // Playlist lines gather while the files are written; the playlists follow them.
    std::vector<std::string> playlists(folders.size());
    long tagged = 0;
    std::vector<long> tracks(static_cast<std::size_t>(o.empty ? 0 : o.albums));
    char prefix[32];
    for (long j = 0; j < o.files; ++j) {
        const long k = 1 + j % o.folders;
        const std::string& folder = folders[static_cast<std::size_t>(k)];
        if (o.empty) {
            std::snprintf(prefix, sizeof prefix, "/f%06ld.mp3", j + 1);
            WriteFile(folder + prefix, {});
            continue;
        }
        // "NN - Title.mp3": the titles alone keep the names distinct.
        std::snprintf(prefix, sizeof prefix, "%02ld - ", j / o.folders + 1);
        const std::string title = ShapedName(static_cast<std::uint64_t>(j), o.seed + 7, kTitleShapes);
        const std::string name = prefix + Latin1ToUtf8(title) + ".mp3";
        std::string shown = prefix + title;
        if (o.noTagEvery > 0 && (j + 1) % o.noTagEvery == 0) {
            WriteFile(folder + "/" + name, audio);
        } else {
            const Id3v2Spec tag = MakeTag(o, j, tagged, ++tracks[static_cast<std::size_t>(j % o.albums)], title);
            WriteFile(folder + "/" + name, Id3v2Tag(tag) + audio);
            shown = tag.texts.artist + " - " + title;
            ++tagged;
        }
        if (HasPlaylist(k))
            playlists[static_cast<std::size_t>(k)] += "#EXTINF:0," + Latin1ToUtf8(shown) + "\n" + name + "\n";
    }
    long images = 0, lists = 0;
    if (!o.empty) {
        const std::string image = FolderImage();
        for (long k = 1; k <= o.folders; ++k) {
            const std::string& folder = folders[static_cast<std::size_t>(k)];
            if (HasImage(k)) {
                WriteFile(folder + "/folder.png", image);
                ++images;
            }
            if (HasPlaylist(k)) {
                const std::string& lines = playlists[static_cast<std::size_t>(k)];
                WriteFile(folder + folder.substr(folder.rfind('/')) + ".m3u", "#EXTM3U\n" + lines);
                ++lists;
            }
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (o.empty) std::printf("%ld empty files in %ld folders, %.2f s\n", o.files, o.folders, seconds);
    else
        std::printf("%ld files (%ld tagged) in %ld folders, %ld artists, %ld albums, %ld folder images, "
                    "%ld playlists, %.2f s\n",
                    o.files, tagged, o.folders, o.artists, o.albums, images, lists, seconds);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    try {
        options = Parse(argc, argv);
    } catch (const Error& e) {
        std::fprintf(stderr, "sonoverne-makecollection: %s\n%s", e.what(), kUsage);
        return 2;
    }
    try {
        return Run(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sonoverne-makecollection: %s\n", e.what());
        return 1;
    }
}
