// libFuzzer target: any bytes as the sheet of a disc image (a ".cue" or ".toc" file), looked at
// as the CD layer does before libcdio opens the image: the data files it names are found and
// opened without waiting on any. Every file named must be one of the sheet's own lines.
#include "CdDrives.h"
#include "ScratchFile.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string sheet(reinterpret_cast<const char*>(data), size);
    for (const char* source : {"/images/disc.cue", "disc.toc"}) {
        for (const std::string& path : cdaudio::imageDataPaths(source, sheet)) {
            if (path.empty() || path.find_first_of("\r\n") != std::string::npos) __builtin_trap();
        }
    }
    const std::string& path = ScratchFile(".cue");
    if (!WriteScratchFile(path, data, size)) return 0;
    const std::string fault = cdaudio::imageFault(path);
    if (!fault.empty() && fault.rfind("Impossible de lire le fichier ", 0) != 0) __builtin_trap();
    return 0;
}
