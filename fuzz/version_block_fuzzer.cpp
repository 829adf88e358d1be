// libFuzzer target: any bytes as an executable whose version block is read, as GetFileInfos
// reads the caller's file and the update wizard the program's; and the same bytes as the raw
// contents of a block. Whatever the bytes, each read ends with a value or nil.
#include "ScratchFile.h"
#include "VersionInfo.h"

#include <cstdint>
#include <string>
#include <string_view>

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
                                "\\stringfileinfo\\040904b0\\fileversion", ""}) {
            const auto value = block->Query(key);
            if (value && value->size() > size) __builtin_trap();
        }
    }
    return 0;
}
