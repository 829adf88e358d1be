// The pieces of the text list "Artiste - Titre" that the window "Création de liste" makes of
// the chosen files, optionally under folder and album headers.
#pragma once

#include <string>
#include <string_view>

struct ListOptions {
    bool folders = false;  // "Ajouter les dossiers"
    bool albums = false;   // "Ajouter le nom de l'album"
    bool paths = false;    // "Ajouter les chemins complets des fichiers"
    bool spacer = false;   // "Sauter une ligne entre les fichiers"
};

// Appends the pieces of one file whose tag was loaded. `previousPath` is the path of the last
// file listed before it (null for the first one); `previousAlbum` is the album
// of the last header and is updated. Tag texts are as ShownText reads them (UTF-8, whole, cut at
// their first 0), the local encoding of the paths' bytes.
void AppendListEntry(std::string& text, const ListOptions& options, std::string& previousAlbum,
                     const std::string* previousPath, const std::string& path, std::string_view artist,
                     std::string_view title, std::string_view album);

// A list made file after file: each file listed goes under the headers the last file listed
// left, so that a file left out (its tag not read) changes nothing.
class TextListMaker {
public:
    explicit TextListMaker(const ListOptions& options) : options_(options) {}
    // Appends the pieces of one file whose tag was loaded (AppendListEntry).
    void add(const std::string& path, std::string_view artist, std::string_view title, std::string_view album);
    const std::string& text() const { return text_; }

private:
    ListOptions options_;
    std::string text_, previousAlbum_, lastListed_;
    bool anyListed_ = false;
};
