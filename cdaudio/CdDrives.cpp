#include "CdDrives.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <cctype>
#include <cstdlib>
#include <mutex>

namespace cdaudio {

namespace {

// The devices are looked for once: probing drives is slow and they do not come and go while the
// program runs. The images are read from the environment at every call.
const std::vector<std::string>& devices()
{
    static std::vector<std::string> list;
    static std::once_flag once;
    std::call_once(once, [] {
        cdio_loglevel_default = CDIO_LOG_ERROR;
        char** found = cdio_get_devices(DRIVER_DEVICE);
        for (char** d = found; d && *d; ++d) list.emplace_back(*d);
        if (found) cdio_free_device_list(found);
    });
    return list;
}

bool endsWithNoCase(const std::string& s, const char* suffix)
{
    std::string t(suffix);
    if (s.size() < t.size()) return false;
    for (size_t i = 0; i < t.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - t.size() + i])) != t[i]) return false;
    return true;
}

}  // namespace

bool isImageSource(const std::string& source)
{
    return endsWithNoCase(source, ".cue") || endsWithNoCase(source, ".toc");
}

std::vector<std::string> cdSources()
{
    std::vector<std::string> all = devices();
    if (const char* images = std::getenv("SONOVERNE_CD_IMAGES")) {
        std::string list(images);
        size_t from = 0;
        while (from <= list.size()) {
            size_t to = list.find(':', from);
            if (to == std::string::npos) to = list.size();
            std::string name = list.substr(from, to - from);
            if (isImageSource(name)) all.push_back(name);
            from = to + 1;
        }
    }
    // Letters run from D to Z.
    if (all.size() > 23) all.resize(23);
    return all;
}

std::string cdSourceOfLetter(char letter)
{
    int up = std::toupper(static_cast<unsigned char>(letter));
    if (up < 'D' || up > 'Z') return {};
    std::vector<std::string> all = cdSources();
    size_t i = size_t(up - 'D');
    return i < all.size() ? all[i] : std::string();
}

unsigned driveType(char letter)
{
    return cdSourceOfLetter(letter).empty() ? 0 : DriveCdRom;
}

}  // namespace cdaudio
