// Writes MP3 files byte by byte for the build, the tests and the benchmarks. It shares no code with
// the project's tag library on purpose: tests that read its files check that library against an
// independent writer.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sonoverne::mp3gen {

// Tag texts are ISO-8859-1 bytes, written in the tag's text encoding; an empty text writes no
// frame.
struct TagTexts {
    std::string title;    // TIT2
    std::string artist;   // TPE1
    std::string album;    // TALB
    std::string year;     // TYER (ID3v2.3), TDRC (ID3v2.4)
    std::string genre;    // TCON
    std::string track;    // TRCK
    std::string comment;  // COMM, language "eng", empty description
};

// A frame written as given after the text frames: four-character id and its data.
struct RawFrame {
    std::string id;
    std::string data;
};

// Text encodings of ID3v2 text and comment frames.
enum class TextEncoding {
    Latin1 = 0,
    Utf16 = 1,  // little-endian with a byte-order mark before each string
    Utf8 = 3,   // ID3v2.4 only
};

struct Id3v2Spec {
    TagTexts texts;
    std::vector<RawFrame> extraFrames;  // written as given, whatever the encoding
    std::size_t padding = 0;            // zero bytes after the last frame, counted in the tag size
    int version = 3;                    // 3 or 4: ID3v2.4 frame sizes are sync-safe
    TextEncoding encoding = TextEncoding::Latin1;
    // Every text and the comment end with the encoding's terminator, as mutagen writes them.
    bool terminated = false;
};

// One text frame's data (encoding byte and text) as `spec` writes it; `latin1` is ISO-8859-1.
std::string TextFrameData(const Id3v2Spec& spec, std::string_view latin1);

struct Id3v1Spec {
    std::string title, artist, album, year, comment;  // cut to their field widths
    int track = 0;    // 1..255 writes ID3v1.1 (comment cut to 28 bytes); 0 writes ID3v1.0
    int genre = 255;  // 255: no genre
};

struct Mp3Spec {
    std::optional<Id3v2Spec> id3v2;
    std::string audio;  // MPEG frames, from SilentFrames or ToneFrames
    std::optional<Id3v1Spec> id3v1;
};

struct Note {
    double hz = 440.0;  // 0: a rest
    double seconds = 0.5;
};

struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Id3v2Tag(const Id3v2Spec& spec);
std::string Id3v1Block(const Id3v1Spec& spec);

// `count` stereo MPEG-1 Layer III frames that decode to silence. Bit rate in kbit/s and sample
// rate in Hz must be MPEG-1 values; padding keeps the average rate exact at 44.1 kHz.
std::string SilentFrames(int count, int bitrateKbps = 128, int sampleRate = 44100);

// The notes played one after the other as a soft stereo tone, encoded as constant bit rate
// frames by libmp3lame (no LAME info frame, no tag).
std::string ToneFrames(const std::vector<Note>& melody, int bitrateKbps = 128, int sampleRate = 44100);

std::string Mp3Bytes(const Mp3Spec& spec);

// Creates or replaces the file. Throws Error naming the path on failure.
void WriteFile(const std::string& path, std::string_view bytes);
void WriteMp3(const std::string& path, const Mp3Spec& spec);

// Text conversions at the boundary between tag texts (ISO-8859-1) and file names (UTF-8).
// Characters above U+00FF, and malformed UTF-8, become '?'.
std::string Utf8ToLatin1(std::string_view utf8);
std::string Latin1ToUtf8(std::string_view latin1);

}  // namespace sonoverne::mp3gen
