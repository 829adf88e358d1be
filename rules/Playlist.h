// The lines of a playlist in the M3U format, as the main window writes it.
#pragma once

#include <string>
#include <string_view>

// The first line of every playlist.
inline constexpr const char* PlaylistHeader = "#EXTM3U\r\n";

// Whether a path can stand on one line: a line end in the name would add entries of its own.
bool FitsPlaylistLine(const std::string& path);

// Appends the two lines of one entry: "#EXTINF:" with the artist and title (as ShownText reads
// them, in UTF-8 as the paths are: one encoding for the whole file; empty when the tag could not
// be read), then the path's bytes.
void AppendPlaylistEntry(std::string& text, std::string_view artist, std::string_view title, const std::string& path);
