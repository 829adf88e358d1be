#include "VersionInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace vyx {
namespace {

// Version blocks are a few hundred bytes; anything far larger is not ours.
constexpr std::size_t kMaxBlockSize = 64 * 1024;
// Beyond this a section table is hostile rather than large.
constexpr std::uint64_t kMaxSections = 1u << 16;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads exactly size bytes at offset inside a file of fileSize bytes.
bool ReadAt(int fd, std::uint64_t fileSize, std::uint64_t offset, void* out, std::size_t size)
{
    if (offset > fileSize || size > fileSize - offset) return false;
    auto* p = static_cast<unsigned char*>(out);
    while (size > 0) {
        const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n <= 0) return false;
        p += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Little- or big-endian integers out of a header buffer.
struct Decoder {
    const unsigned char* base;
    bool bigEndian;
    std::uint64_t Get(std::size_t offset, std::size_t width) const
    {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t at = bigEndian ? i : width - 1 - i;
            v = (v << 8) | base[offset + at];
        }
        return v;
    }
};

struct SectionHeader {
    std::uint64_t name, type, offset, size, link;
};

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

}  // namespace

std::optional<std::string> ReadElfSection(const std::string& path, std::string_view name, std::size_t maxSize)
{
    // O_NONBLOCK: a FIFO given as the file name must not hang the caller.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return std::nullopt;
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);

    unsigned char ident[64] = {};
    if (!ReadAt(fd.get(), fileSize, 0, ident, 16)) return std::nullopt;
    if (std::memcmp(ident,
                    "\x7f"
                    "ELF",
                    4) != 0)
        return std::nullopt;
    const bool is64 = ident[4] == 2;
    if (ident[4] != 1 && !is64) return std::nullopt;
    if (ident[5] != 1 && ident[5] != 2) return std::nullopt;
    const std::size_t ehSize = is64 ? 64 : 52;
    if (!ReadAt(fd.get(), fileSize, 0, ident, ehSize)) return std::nullopt;
    const Decoder eh{ident, ident[5] == 2};

    const std::uint64_t shoff = is64 ? eh.Get(40, 8) : eh.Get(32, 4);
    const std::uint64_t shentsize = is64 ? eh.Get(58, 2) : eh.Get(46, 2);
    std::uint64_t shnum = is64 ? eh.Get(60, 2) : eh.Get(48, 2);
    std::uint64_t shstrndx = is64 ? eh.Get(62, 2) : eh.Get(50, 2);
    const std::size_t shMin = is64 ? 64 : 40;
    if (shoff == 0 || shentsize < shMin || shentsize > 1024) return std::nullopt;

    auto readHeader = [&](std::uint64_t index) -> std::optional<SectionHeader> {
        unsigned char buf[64];
        if (index >= kMaxSections) return std::nullopt;
        const std::uint64_t at = shoff + index * shentsize;
        if (at < shoff || !ReadAt(fd.get(), fileSize, at, buf, shMin)) return std::nullopt;
        const Decoder d{buf, eh.bigEndian};
        if (is64) return SectionHeader{d.Get(0, 4), d.Get(4, 4), d.Get(24, 8), d.Get(32, 8), d.Get(40, 4)};
        return SectionHeader{d.Get(0, 4), d.Get(4, 4), d.Get(16, 4), d.Get(20, 4), d.Get(24, 4)};
    };

    // Extended numbering: the real counts live in the first section header.
    if (shnum == 0 || shstrndx == 0xffff) {
        const auto first = readHeader(0);
        if (!first) return std::nullopt;
        if (shnum == 0) shnum = first->size;
        if (shstrndx == 0xffff) shstrndx = first->link;
    }
    if (shnum == 0 || shnum > kMaxSections || shstrndx >= shnum) return std::nullopt;

    const auto strtab = readHeader(shstrndx);
    constexpr std::uint64_t kNoBits = 8;
    if (!strtab || strtab->type == kNoBits) return std::nullopt;

    std::string sectionName;
    for (std::uint64_t i = 0; i < shnum; ++i) {
        const auto sh = readHeader(i);
        if (!sh) return std::nullopt;
        if (sh->type == kNoBits || sh->name >= strtab->size) continue;
        // Only as many name bytes as we look for, plus its terminator, and never past the table.
        const std::uint64_t room = std::min<std::uint64_t>(strtab->size - sh->name, name.size() + 1);
        sectionName.assign(room, '\0');
        if (!ReadAt(fd.get(), fileSize, strtab->offset + sh->name, sectionName.data(), room)) continue;
        if (room != name.size() + 1 || sectionName.back() != '\0' ||
            std::string_view(sectionName.data(), name.size()) != name)
            continue;
        if (sh->size > maxSize) return std::nullopt;
        std::string contents(static_cast<std::size_t>(sh->size), '\0');
        if (!ReadAt(fd.get(), fileSize, sh->offset, contents.data(), contents.size())) return std::nullopt;
        return contents;
    }
    return std::nullopt;
}

std::optional<VersionBlock> VersionBlock::Parse(std::string_view bytes)
{
    if (bytes.size() < 12 || bytes.substr(0, 8) != kVersionBlockMagic) return std::nullopt;
    auto u16 = [&](std::size_t at) {
        return std::size_t(static_cast<unsigned char>(bytes[at])) |
               std::size_t(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    const std::size_t count = u16(8) | u16(10) << 16;
    VersionBlock block;
    block.data_.assign(bytes);
    std::size_t at = 12;
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes.size() - at < 4) return std::nullopt;
        const std::size_t keyLength = u16(at), valueLength = u16(at + 2);
        at += 4;
        if (bytes.size() - at < keyLength + valueLength) return std::nullopt;
        block.entries_.push_back({at, keyLength, at + keyLength, valueLength});
        at += keyLength + valueLength;
    }
    return block;
}

std::optional<VersionBlock> VersionBlock::ReadFromFile(const std::string& path)
{
    const auto section = ReadElfSection(path, kVersionSectionName, kMaxBlockSize);
    if (!section) return std::nullopt;
    return Parse(*section);
}

std::optional<std::string_view> VersionBlock::Query(std::string_view path) const
{
    const std::string_view all(data_);
    for (const Entry& e : entries_) {
        if (EqualNoCase(all.substr(e.keyOffset, e.keyLength), path)) return all.substr(e.valueOffset, e.valueLength);
    }
    return std::nullopt;
}

const char* InfoName(TInfo info)
{
    static const char* const kNames[] = {"CompanyName",    "FileDescription",  "FileVersion", "InternalName",
                                         "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"};
    const auto index = static_cast<std::size_t>(info);
    return index < std::size(kNames) ? kNames[index] : "";
}

std::optional<std::string> FileInfo(TInfo info, const std::string& fileName)
{
    const auto block = VersionBlock::ReadFromFile(fileName);
    if (!block) return std::nullopt;
    std::string translation;
    if (const auto t = block->Query("\\VarFileInfo\\Translation"); t && t->size() >= 4) {
        const auto word = [&](std::size_t at) {
            return unsigned(static_cast<unsigned char>((*t)[at])) | unsigned(static_cast<unsigned char>((*t)[at + 1]))
                                                                        << 8;
        };
        char hex[9];
        std::snprintf(hex, sizeof hex, "%04X%04X", word(0), word(2));
        translation = hex;
    }
    const auto value = block->Query("\\StringFileInfo\\" + translation + "\\" + InfoName(info));
    // The block holds the text with its terminator; the value ends at the first NUL.
    if (!value) return std::nullopt;
    std::string text(value->substr(0, value->find('\0')));
    if (text.empty()) return std::nullopt;
    return text;
}

void DispatchVersion(std::string_view text, TVersion& v)
{
    v = TVersion{0, 0, 0, 0};
    std::string rest;
    for (char c : text)
        if (c == '.' || (c >= '0' && c <= '9')) rest += c;

    auto convert = [](std::string_view piece) {
        std::int32_t value = 0;
        const auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
        if (piece.empty() || ec != std::errc() || end != piece.data() + piece.size()) {
            char message[512];
            std::snprintf(message, sizeof message, "'%s' n'est pas une valeur entière correcte",
                          std::string(piece.substr(0, 400)).c_str());
            throw EConvertError(message);
        }
        return value;
    };
    for (std::int32_t* field : {&v.Major, &v.Minor, &v.Release}) {
        const std::size_t dot = rest.find('.');
        // No dot left: the piece is empty, as when the text has fewer than four numbers.
        const std::string_view piece =
            dot == std::string::npos ? std::string_view() : std::string_view(rest).substr(0, dot);
        *field = convert(piece);
        // Up to and including the dot, so that "02" does not leave its leading zero behind.
        rest.erase(0, dot + 1);
    }
    v.Build = convert(rest);
}

bool NewerAvailable(const TVersion& online, const TVersion& installed)
{
    const std::int32_t a[] = {online.Major, online.Minor, online.Release, online.Build};
    const std::int32_t b[] = {installed.Major, installed.Minor, installed.Release, installed.Build};
    return std::lexicographical_compare(std::begin(b), std::end(b), std::begin(a), std::end(a));
}

}  // namespace vyx
