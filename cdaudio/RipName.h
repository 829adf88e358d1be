// The file name a ripped track gets from the rip options' template, as the bytes of a path.
#pragma once

#include <cstddef>
#include <string>

namespace cdaudio {

// The longest extension a rip adds to the name: ".jitt", its jitter log's.
constexpr std::size_t RipExtensionRoom = 5;

// The text without the characters a file name may not hold: " | / : ? *
std::string CleanFileNameChars(std::string text);

// The name of a track (without extension) under the rip folder: in pattern, %1 is the artist,
// %2 the album, %3 the track number, %4 the same on two digits, %5 the number of rows and %6
// the title, replaced in that order; "\" separates folders. A folder of dots alone (".", "..")
// becomes "_"; the file's own name loses its leading dots, and is empty when nothing is left (a
// name the rip refuses). A part longer than a folder entry may be is cut at a character's start,
// the last one leaving room for RipExtensionRoom bytes.
std::string RipFileName(const std::string& pattern, const std::string& title, int track, const std::string& artist,
                        const std::string& album, int rowCount);

}  // namespace cdaudio
