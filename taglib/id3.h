// ID3v1 / ID3v1.1 tags: the 128-byte block at the end of a file.
//
//   Tid3tag v1;
//   if (tagOk(v1.ReadFromFile(path))) ... v1.Title, v1.Artist, v1.Track, v1.Genre
//   v1.SetTitle("Titre"); v1.SetTrack(3); v1.Genre = 17;
//   v1.WriteToFile("=");            // "=": the file last read or written
//
// Texts are ISO-8859-1 bytes; the setters cut them to their field widths. Results are the
// status words of id3v2.h (0x1000: no ID3v1 block; warning 0x80: genre byte 148..254).
#pragma once

#include "id3v2.h"

#include <cstdint>
#include <string>

class Tid3tag {
public:
    bool HasTrack = false;
    bool FileProtected = false;
    std::string FileName;
    std::string Title = std::string(30, '\0');
    std::string Artist = std::string(30, '\0');
    std::string Album = std::string(30, '\0');
    std::string Year = std::string(4, '\0');
    std::string Comment = std::string(30, '\0');
    std::uint8_t Genre = 255;
    std::uint8_t Track = 0;

    TTagStatus ReadFromFile(const std::string& FileName);
    TTagStatus WriteToFile(const std::string& FileName);

    void SetTitle(const std::string& Value) { Title = Value.substr(0, 30); }
    void SetArtist(const std::string& Value) { Artist = Value.substr(0, 30); }
    void SetAlbum(const std::string& Value) { Album = Value.substr(0, 30); }
    void SetYear(const std::string& Value) { Year = Value.substr(0, 4); }
    void SetComment(const std::string& Value) { Comment = Value.substr(0, 30); }
    void SetTrack(std::uint8_t Value)
    {
        Track = Value;
        HasTrack = Value != 0;
    }
};

// Position of a genre in the tag windows' genre list (an empty item, then the 148 names in
// alphabetical order); 0, the empty item, for 148 and above.
std::uint8_t GenreToIndex(std::uint8_t Genre);
