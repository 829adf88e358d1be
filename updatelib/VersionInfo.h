// Version blocks written into executables at build time, and dotted version numbers.
#pragma once

#include "VyxPravomel.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vyx {

// The ELF section that vyx_add_version_block() fills.
inline constexpr std::string_view kVersionSectionName = ".vyx_version";
inline constexpr std::string_view kVersionBlockMagic{"VYXVINFO", 8};

// A version block as read from a file: values addressed by paths such as
// "\VarFileInfo\Translation" or "\StringFileInfo\040C04E4\ProductName".
class VersionBlock {
public:
    // Nil for a file that is missing, not a regular file, not ELF, or has no valid block.
    // Reads are bounded: a truncated or hostile file gives nil, never a crash.
    static std::optional<VersionBlock> ReadFromFile(const std::string& path);
    // Parses the raw section contents.
    static std::optional<VersionBlock> Parse(std::string_view bytes);

    // The value stored under path (keys compared without regard to ASCII case).
    std::optional<std::string_view> Query(std::string_view path) const;

private:
    std::string data_;
    struct Entry {
        std::size_t keyOffset, keyLength, valueOffset, valueLength;
    };
    std::vector<Entry> entries_;
};

// The contents of an ELF file's section, or nil (bounded reads, any bytes accepted).
std::optional<std::string> ReadElfSection(const std::string& path, std::string_view name, std::size_t maxSize);

// The text that GetFileInfos returns for one key, or nil.
std::optional<std::string> FileInfo(TInfo info, const std::string& fileName);
const char* InfoName(TInfo info);

// Raised when a piece of a version text is not an integer.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Splits "1.2.3.4" (other characters than digits and dots dropped) into v; raises
// EConvertError naming the offending piece, keeping the numbers stored until then.
void DispatchVersion(std::string_view text, TVersion& v);

// Ordered comparison: major first, then minor, release and build.
bool NewerAvailable(const TVersion& online, const TVersion& installed);

}  // namespace vyx
