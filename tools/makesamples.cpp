// sonoverne-makesamples <folder>: lays the program's sample collection out in <folder>, as
// Artist/Album/NN - Title.mp3 with ID3v2.3 tags, plus one file without any tag. The texts are
// written here in UTF-8; file names keep them as they are, tags get their ISO-8859-1 bytes.
#include "mp3gen.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace sonoverne::mp3gen;

struct Album {
    const char* artist;
    const char* title;
    const char* year;
    const char* genre;
    std::vector<const char*> tracks;
    double tonic;  // Hz: each album gets its own key
};

const std::vector<Album>& Catalogue()
{
    static const std::vector<Album> albums = {
        {"Éléonore Vasseur",
         "Les Jardins d'Hiver",
         "2004",
         "Chanson",
         {"Café de la Gare", "Neige sur Orléans", "Où vont les hirondelles"},
         261.63},
        {"Éléonore Vasseur", "Lumière d'Août", "2009", "Chanson", {"Valse pour Thérèse", "Été indien"}, 293.66},
        {"Los Hermanos Cárdenas", "Noches de Sevilla", "1998", "Latin", {"Señora Luna", "Corazón de Café"}, 329.63},
        {"Kristoffer Ålund", "Nordlys", "2012", "Jazz", {"Fjord Blå", "Søndag Morgen"}, 220.00},
        {"Les Frères Ménard", "Route Nationale 7", "1979", "Rock", {"Garçon Pressé", "Boulevard Saint-Michel"}, 196.00},
        {"Amaïa Duarte", "Ciel Ouvert", "2016", "Chanson", {"Rêverie", "Ça ira mieux demain"}, 349.23},
    };
    return albums;
}

// A short arpeggio over a major chord, different for every track.
std::vector<Note> Melody(double tonic, int track)
{
    static constexpr int kSteps[] = {0, 4, 7, 12, 7, 4, 9, 5};
    std::vector<Note> notes;
    for (int i = 0; i < 6; ++i) {
        const int semitones = i == 5 ? 0 : kSteps[(i + track) % 8];  // ends on the tonic
        notes.push_back({tonic * std::pow(2.0, semitones / 12.0), i == 5 ? 0.6 : 0.3});
    }
    return notes;
}

std::string TwoDigits(int n)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

int Run(const std::string& root)
{
    namespace fs = std::filesystem;
    int written = 0;
    for (const Album& album : Catalogue()) {
        const std::string folder = root + "/" + album.artist + "/" + album.title;
        fs::create_directories(fs::path(folder));
        for (std::size_t i = 0; i < album.tracks.size(); ++i) {
            const int track = static_cast<int>(i) + 1;
            Id3v2Spec tag;
            tag.texts = {Utf8ToLatin1(album.tracks[i]),
                         Utf8ToLatin1(album.artist),
                         Utf8ToLatin1(album.title),
                         album.year,
                         album.genre,
                         std::to_string(track),
                         Utf8ToLatin1("Collection d'exemple de Sonoverne")};
            tag.padding = 256;  // room for the tag tools to edit without moving the audio
            Mp3Spec spec;
            spec.id3v2 = tag;
            spec.audio = ToneFrames(Melody(album.tonic, track));
            WriteMp3(folder + "/" + TwoDigits(track) + " - " + album.tracks[i] + ".mp3", spec);
            ++written;
        }
    }
    fs::create_directories(fs::path(root + "/Divers"));
    Mp3Spec untagged;
    untagged.audio = ToneFrames(Melody(246.94, 0));
    WriteMp3(root + "/Divers/Enregistrement sans tag.mp3", untagged);
    ++written;
    std::printf("%d sample files written in %s\n", written, root.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    try {
        return Run(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
}
