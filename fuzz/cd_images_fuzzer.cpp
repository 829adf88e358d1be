// libFuzzer target: any bytes as the list of disc images (SONOVERNE_CD_IMAGES), lettered after
// the machine's own CD devices and handed to the ripping layer, which names each drive after its
// image. The files are libcdio's to read; the list, the letters and the names are ours.
#include "CdDrives.h"
#include "CdRip_dll.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> devices;
constexpr std::size_t kMaxList = 4096;  // the target's largest input

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    unsetenv("SONOVERNE_CD_IMAGES");
    devices = cdaudio::cdSources();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string list(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    // One buffer for the variable: setenv would keep every value it was given.
    static char variable[sizeof "SONOVERNE_CD_IMAGES=" + kMaxList] = "SONOVERNE_CD_IMAGES=";
    if (list.size() > kMaxList) return 0;
    std::memcpy(variable + sizeof "SONOVERNE_CD_IMAGES=" - 1, list.c_str(), list.size() + 1);
    putenv(variable);
    const std::vector<std::string> all = cdaudio::cdSources();
    if (all.size() > 23) __builtin_trap();  // D to Z
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i < devices.size()) {
            if (all[i] != devices[i]) __builtin_trap();  // the devices come first, as they were
        } else if (!cdaudio::isImageSource(all[i]) || all[i].find(':') != std::string::npos ||
                   list.find(all[i]) == std::string::npos) {
            __builtin_trap();
        }
    }
    for (int c = 0; c < 256; ++c) {
        const int up = std::toupper(c);
        const std::size_t i = std::size_t(up - 'D');
        const bool lettered = up >= 'D' && up <= 'Z' && i < all.size();
        const std::string source = cdaudio::cdSourceOfLetter(char(c));
        if (source != (lettered ? all[i] : std::string())) __builtin_trap();
        if (cdaudio::driveType(char(c)) != (lettered ? cdaudio::DriveCdRom : 0)) __builtin_trap();
    }

    CR_Init();
    if (CR_GetNumCDROM() != int32_t(all.size())) __builtin_trap();
    for (std::size_t i = 0; i < all.size(); ++i) {
        TCDROMParams params;
        if (CR_SetActiveCDROM(int32_t(i)) != CDEX_OK || CR_GetCDROMParameters(&params) != CDEX_OK) __builtin_trap();
        const std::size_t length = strnlen(params.lpszCDROMID, sizeof params.lpszCDROMID);
        if (length == sizeof params.lpszCDROMID) __builtin_trap();
        // An image's drive is named after its file, cut to what the name holds.
        const std::string& source = all[i];
        const std::string name = i < devices.size() ? source : source.substr(source.rfind('/') + 1);
        if (name.compare(0, length, params.lpszCDROMID) != 0 ||
            length != std::min(name.size(), sizeof params.lpszCDROMID - 1))
            __builtin_trap();
    }
    if (CR_SetActiveCDROM(int32_t(all.size())) == CDEX_OK) __builtin_trap();
    return 0;
}
