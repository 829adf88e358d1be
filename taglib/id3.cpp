#include "id3.h"

#include "id3io.h"

#include <cstring>

namespace {

const std::uint8_t GenreIndexMap[149] = {
    18,  29,  35,  38,  42,  58,  66,  70,  78,  86,  91,  94,  96,  99,  111, 112, 114, 118, 139, 74, 7,   124,
    41,  104, 130, 52,  8,   147, 148, 79,  59,  145, 30,  75,  2,   71,  60,  129, 63,  93,  6,   12, 128, 109,
    132, 84,  76,  77,  49,  64,  40,  140, 48,  101, 50,  43,  131, 33,  37,  61,  143, 27,  100, 81, 89,  21,
    92,  107, 113, 123, 144, 83,  146, 4,   3,   97,  115, 87,  119, 67,  54,  55,  88,  134, 53,  14, 82,  116,
    22,  17,  10,  65,  106, 108, 135, 126, 15,  25,  47,  5,   72,  133, 24,  95,  23,  127, 136, 19, 105, 102,
    122, 125, 31,  138, 121, 56,  11,  103, 117, 57,  46,  110, 45,  1,   51,  39,  62,  44,  32,  68, 141, 73,
    20,  90,  98,  13,  26,  69,  16,  36,  34,  28,  85,  120, 142, 9,   80,  137, 0,
};

// Trailing 0, blank and 0xFF bytes are padding, not text.
std::string Trimmed(const char* p, std::size_t n)
{
    while (n && (p[n - 1] == 0 || p[n - 1] == ' ' || std::uint8_t(p[n - 1]) == 0xFF)) --n;
    return std::string(p, n);
}

// The field padded with 0 bytes to its width (kept in the field), and its first bytes.
std::string Padded(std::string& field, std::size_t width)
{
    if (field.size() < width) field.resize(width, '\0');
    return field.substr(0, width);
}

TTagStatus Failure(TTagStatus status, const tagio::TagIoError& e)
{
    return TTagStatus((status & 0xFF) | tagio::StatusClass(e.Kind));
}

}  // namespace

std::uint8_t GenreToIndex(std::uint8_t Genre) { return Genre <= 148 ? GenreIndexMap[Genre] : 0; }

TTagStatus Tid3tag::ReadFromFile(const std::string& FileName)
{
    if (!tagio::FileExists(FileName)) return tagstatus::FileNotFound;
    FileProtected = tagio::FileProtected(FileName);
    try {
        tagio::File f;
        f.Open(FileName, false);
        this->FileName = FileName;
        const std::uint64_t size = f.Size();
        if (size < 128) return tagstatus::NoTag;
        char b[128];
        f.Seek(size - 128);
        f.ReadExact(b, 128);
        if (std::memcmp(b, "TAG", 3) != 0) return tagstatus::NoTag;
        TTagStatus status = 0;
        Title = Trimmed(b + 3, 30);
        Artist = Trimmed(b + 33, 30);
        Album = Trimmed(b + 63, 30);
        Year = Trimmed(b + 93, 4);
        if (b[125] == 0 && b[126] != 0) {
            Track = std::uint8_t(b[126]);
            HasTrack = true;
            Comment = Trimmed(b + 97, 28);
        } else {
            Track = 0;
            HasTrack = false;
            Comment = Trimmed(b + 97, 30);
        }
        Genre = std::uint8_t(b[127]);
        if (Genre >= 148 && Genre != 255) status |= tagstatus::WarnHeaderFlags;
        return status;
    } catch (const tagio::TagIoError& e) {
        return Failure(0, e);
    }
}

TTagStatus Tid3tag::WriteToFile(const std::string& FileName)
{
    const std::string name = FileName == "=" ? this->FileName : FileName;
    if (name.empty() || !tagio::FileExists(name)) return tagstatus::FileNotFound;
    if (tagio::FileProtected(name)) return tagstatus::FileProtected;
    try {
        tagio::File f;
        f.Open(name, true);
        const std::uint64_t size = f.Size();
        bool replace = false;
        if (size >= 128) {
            char tag[3];
            f.Seek(size - 128);
            f.ReadExact(tag, 3);
            replace = std::memcmp(tag, "TAG", 3) == 0;
        }
        std::string block = "TAG" + Padded(Title, 30) + Padded(Artist, 30) + Padded(Album, 30) + Padded(Year, 4);
        if (HasTrack && Track != 0) {
            block += Padded(Comment, 28);
            block += '\0';
            block += char(Track);
        } else {
            block += Padded(Comment, 30);
        }
        block += char(Genre);
        if (replace) {
            f.Seek(size - 128);
            f.WriteAll(block.data(), 128);
        } else {
            // Room first: a file that cannot grow by the whole block is left as it was.
            try {
                f.Reserve(size + 128);
                f.Seek(size);
                f.WriteAll(block.data(), 128);
            } catch (const tagio::TagIoError&) {
                try {
                    f.Truncate(size);
                } catch (const tagio::TagIoError&) {
                }
                throw;
            }
        }
        this->FileName = name;
        return 0;
    } catch (const tagio::TagIoError& e) {
        return Failure(0, e);
    }
}
