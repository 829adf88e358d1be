// sonoverne-makecollection: large generated collections for the benchmarks.
//
//   sonoverne-makecollection <folder> --files N --folders F --artists A --albums B
//                            [--no-tag-every K] [--seed S]
//   sonoverne-makecollection <folder> --files N --folders F --empty
//
// The F folders form a tree ten wide under <folder> (10,000 folders are four levels deep); file j
// goes to folder 1 + j mod F. Every K-th file has no tag; the tagged files cycle through exactly B
// albums, each album belonging to one of exactly A artists, so the counts are known in advance.
// A tagged file is an ID3v2.3 tag and four silent MPEG frames (about 2 KB).
// Names are built from two-byte syllables through a bijection of their index, so distinct
// indexes always give distinct names, whatever the seed.
// <folder> must be missing or empty: the tool never writes among files it did not make.
#include "mp3gen.h"

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
  long noTagEvery = 0;
  std::uint64_t seed = 1;
  bool empty = false;
};

constexpr const char* kUsage =
    "usage: sonoverne-makecollection <folder> --files N --folders F --artists A --albums B\n"
    "                                [--no-tag-every K] [--seed S]\n"
    "       sonoverne-makecollection <folder> --files N --folders F --empty\n";

long ParseCount(const char* text, const char* option) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < 0)
    throw Error(std::string("bad value for ") + option + ": " + text);
  return v;
}

Options Parse(int argc, char** argv) {
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
  const long tagged = o.files - (o.noTagEvery > 0 ? o.files / o.noTagEvery : 0);
  // Every album belongs to one artist and every tagged file to one album, so exact counts need
  // artists <= albums <= tagged files.
  if (o.albums < o.artists) throw Error("--albums must be at least --artists");
  if (tagged < o.albums) throw Error("fewer tagged files than albums");
  return o;
}

// Syllables of exactly two ISO-8859-1 bytes, so that names decode uniquely.
constexpr const char kConsonants[] = "bdfglmnrstvz";   // 12
constexpr const char kVowels[] = "aeiou\xE9\xE8y";     // 8, with é and è
constexpr std::uint64_t kSyllables = 12 * 8;

// Index -> name of `words` words of `perWord` syllables each. Multiplying by an odd number not
// divisible by 3 and adding an offset is a bijection modulo 96^k (96 = 2^5 * 3).
std::string Name(std::uint64_t index, std::uint64_t seed, int words, int perWord) {
  std::uint64_t modulus = 1;
  for (int i = 0; i < words * perWord; ++i) modulus *= kSyllables;
  std::uint64_t code = (index * 7919 + seed * 104729) % modulus;
  std::string out;
  for (int w = 0; w < words; ++w) {
    if (w > 0) out.push_back(' ');
    for (int s = 0; s < perWord; ++s) {
      const auto syl = code % kSyllables;
      code /= kSyllables;
      char c = kConsonants[syl / 8];
      if (s == 0) c = static_cast<char>(c - 'a' + 'A');
      out.push_back(c);
      out.push_back(kVowels[syl % 8]);
    }
  }
  return out;
}

constexpr const char* kGenres[] = {"Rock",  "Pop",      "Jazz",       "Chanson", "Blues",
                                   "Folk",  "Classique", "Electronic", "Reggae",  "Latin",
                                   "Metal", "Soul"};

// Folder k (1..F) hangs under folder (k - 1) / 10; folder 0 is the root.
std::vector<std::string> MakeFolders(const Options& o) {
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

int Run(const Options& o) {
  namespace fs = std::filesystem;
  const auto start = std::chrono::steady_clock::now();
  const fs::path root(o.root);
  if (fs::exists(root) && !(fs::is_directory(root) && fs::is_empty(root)))
    throw Error(o.root + " exists and is not an empty folder");
  fs::create_directories(root);
  const std::vector<std::string> folders = MakeFolders(o);

  const std::string audio = SilentFrames(4);  // fewer make mutagen call the file sketchy
  Id3v2Spec tag;
  tag.texts.comment = "sonoverne-makecollection";
  long tagged = 0;
  char prefix[32];
  for (long j = 0; j < o.files; ++j) {
    const std::string& folder = folders[1 + j % o.folders];
    if (o.empty) {
      std::snprintf(prefix, sizeof prefix, "/f%06ld.mp3", j + 1);
      WriteFile(folder + prefix, {});
      continue;
    }
    std::snprintf(prefix, sizeof prefix, "/%06ld - ", j + 1);
    const std::string title = Name(static_cast<std::uint64_t>(j), o.seed + 7, 2, 2);
    const std::string path = folder + prefix + Latin1ToUtf8(title) + ".mp3";
    if (o.noTagEvery > 0 && (j + 1) % o.noTagEvery == 0) {
      WriteFile(path, audio);
      continue;
    }
    const long album = tagged % o.albums;
    const long artist = album % o.artists;
    tag.texts.title = title;
    tag.texts.artist = Name(static_cast<std::uint64_t>(artist), o.seed, 2, 2);
    tag.texts.album = Name(static_cast<std::uint64_t>(album), o.seed + 3, 2, 3);
    tag.texts.year = std::to_string(1950 + (album * 7 + static_cast<long>(o.seed % 75)) % 75);
    tag.texts.genre = kGenres[album % std::size(kGenres)];
    tag.texts.track = std::to_string(tagged / o.albums + 1);
    WriteFile(path, Id3v2Tag(tag) + audio);
    ++tagged;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (o.empty)
    std::printf("%ld empty files in %ld folders, %.2f s\n", o.files, o.folders, seconds);
  else
    std::printf("%ld files (%ld tagged) in %ld folders, %ld artists, %ld albums, %.2f s\n",
                o.files, tagged, o.folders, o.artists, o.albums, seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
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
