// libFuzzer target: any bytes as the settings file, read key by key as the program reads it at
// start-up, then one key written as the options windows write one. A write changes that key
// alone: every other key reads as before, and the written value comes back exactly.
#include "IniFile.h"
#include "ScratchFile.h"

#include <cstdint>
#include <string>

namespace {

struct Key {
    const char* section;
    const char* key;
};
constexpr Key kKeys[] = {{"Liste", "Dossier"}, {"Rip", "Dossier"},  {"Rip", "Format"},    {"Renommage", "Separateur"},
                         {"Winamp", "EXE"},    {"CDDB", "Serveur"}, {"ID3V1", "Utiliser"}};
constexpr std::size_t kCount = sizeof kKeys / sizeof kKeys[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = ScratchFile(".ini");
    if (!WriteScratchFile(path, data, size)) return 0;
    platform::IniFile ini(path);
    std::string before[kCount];
    for (std::size_t i = 0; i < kCount; ++i) {
        before[i] = ini.ReadString(kKeys[i].section, kKeys[i].key, "\1");
        ini.ReadInteger(kKeys[i].section, kKeys[i].key, -1);
        ini.ReadBool(kKeys[i].section, kKeys[i].key, true);
    }
    // The written key is picked by the input's last byte; half the values need quotes.
    const std::size_t pick = size ? data[size - 1] % kCount : 0;
    const std::string value = size && data[0] & 1 ? " /music/a b " : "%2 - %1";
    try {
        ini.WriteString(kKeys[pick].section, kKeys[pick].key, value);
    } catch (const platform::IniFileError&) {
        return 0;  // a file too large to be a settings file is not replaced
    }
    for (std::size_t i = 0; i < kCount; ++i) {
        const std::string now = ini.ReadString(kKeys[i].section, kKeys[i].key, "\1");
        if (now != (i == pick ? value : before[i])) __builtin_trap();
    }
    return 0;
}
