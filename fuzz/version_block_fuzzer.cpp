// libFuzzer target: any bytes as an executable whose version block is read, as GetFileInfos
// reads the caller's file and the update wizard the program's; the same bytes as the raw
// contents of a block; and a block written from the bytes' records in the layout the build
// writes, which must read back record by record. Whatever the bytes, each read ends with a
// value or nil.
#include "ScratchFile.h"
#include "VersionInfo.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
char Swapped(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : Lower(c); }

bool SameKey(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

void Le16(std::string& out, std::size_t v)
{
    out += char(v & 0xff);
    out += char((v >> 8) & 0xff);
}

// Records cut from the bytes: a key length byte, a value length of two bytes (so that values
// longer than 255 bytes occur), then the key and the value, as long as the bytes last.
std::vector<std::pair<std::string, std::string>> Records(std::string_view bytes)
{
    std::vector<std::pair<std::string, std::string>> records;
    while (bytes.size() >= 3) {
        const std::size_t keyLength = static_cast<unsigned char>(bytes[0]) % 48;
        const std::size_t valueLength =
            (static_cast<unsigned char>(bytes[1]) | std::size_t(static_cast<unsigned char>(bytes[2])) << 8) % 1024;
        bytes.remove_prefix(3);
        const std::string key(bytes.substr(0, keyLength));
        bytes.remove_prefix(key.size());
        const std::string value(bytes.substr(0, valueLength));
        bytes.remove_prefix(value.size());
        records.emplace_back(key, value);
    }
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = ScratchFile(".elf");
    if (!WriteScratchFile(path, data, size)) return 0;

    for (int info = 0; info <= int(TInfo::ProductVersion); ++info) {
        const auto text = vyx::FileInfo(TInfo(info), path);
        // A value is the text before the block's terminator, never an empty one.
        if (text && (text->empty() || text->find('\0') != std::string::npos)) __builtin_trap();
    }
    constexpr std::size_t kMax = 4096;
    const auto section = vyx::ReadElfSection(path, vyx::kVersionSectionName, kMax);
    if (section && section->size() > kMax) __builtin_trap();

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto block = vyx::VersionBlock::Parse(bytes)) {
        for (const char* key : {"\\VarFileInfo\\Translation", "\\StringFileInfo\\040C04E4\\ProductName",
                                "\\stringfileinfo\\040904b0\\fileversion", ""})
            block->Query(key);
    }

    // Written as the build writes a block, every record reads back: the first of its key in any
    // case, and nothing for a key that none has; a block cut short is refused.
    const auto records = Records(bytes);
    std::string written(vyx::kVersionBlockMagic);
    Le16(written, records.size());
    Le16(written, 0);
    for (const auto& [key, value] : records) {
        Le16(written, key.size());
        Le16(written, value.size());
        written += key;
        written += value;
    }
    const auto block = vyx::VersionBlock::Parse(written);
    if (!block) __builtin_trap();
    for (const auto& [key, value] : records) {
        std::string asked = key;
        for (char& c : asked) c = Swapped(c);
        std::string_view expected;
        for (const auto& [k, v] : records)
            if (SameKey(k, key)) {
                expected = v;
                break;
            }
        const auto got = block->Query(asked);
        if (!got || *got != expected) __builtin_trap();
    }
    if (block->Query(std::string(48, 'k'))) __builtin_trap();  // longer than any key written
    if (!records.empty() && vyx::VersionBlock::Parse(std::string_view(written).substr(0, written.size() - 1)))
        __builtin_trap();
    return 0;
}
