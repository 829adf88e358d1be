#include "TextList.h"

namespace {

// The folder of a path with its trailing separator, as the folder header names it.
std::string folderPart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void appendHeader(std::string& text, std::string_view kind, std::string_view name)
{
    text += "\r\n     ";
    text += kind;
    text += ' ';
    text += name;
    text += " :\r\n\r\n";
}

}  // namespace

void AppendListEntry(std::string& text, const ListOptions& options, std::string& previousAlbum,
                     const std::string* previousPath, const std::string& path, std::string_view artist,
                     std::string_view title, std::string_view album)
{
    if (options.folders) {
        const std::string folder = folderPart(path);
        if (!previousPath || folderPart(*previousPath) != folder) appendHeader(text, "DOSSIER", folder);
    }
    if (options.albums) {
        if (album.empty()) album = "<Sans Nom>";
        if (album != previousAlbum) appendHeader(text, "ALBUM", album);
        previousAlbum = album;
    }
    text += artist;
    text += " - ";
    text += title;
    text += "\r\n";
    if (options.paths) {
        text += path;
        text += "\r\n";
    }
    if (options.spacer) text += "\r\n";
}

void TextListMaker::add(const std::string& path, std::string_view artist, std::string_view title,
                        std::string_view album)
{
    AppendListEntry(text_, options_, previousAlbum_, anyListed_ ? &lastListed_ : nullptr, path, artist, title, album);
    lastListed_ = path;
    anyListed_ = true;
}
