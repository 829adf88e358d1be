#include "Playlist.h"

bool FitsPlaylistLine(const std::string& path) { return path.find_first_of("\r\n") == std::string::npos; }

void AppendPlaylistEntry(std::string& text, std::string_view artist, std::string_view title, const std::string& path)
{
    text += "#EXTINF:";
    text += artist;
    text += " - ";
    text += title;
    text += "\r\n";
    text += path + "\r\n";
}
