#include "CdDrives.h"

#include "Input.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

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

// A sheet larger than this is no sheet: it is refused before libcdio parses it.
constexpr size_t MaxSheetBytes = 1 << 20;

// The sheet's bytes, or a fault.
std::string readSheet(const std::string& sheet, std::string& text)
{
    const int error = platform::readWholeFile(sheet, MaxSheetBytes, text);
    if (error == ENOENT || error == ENOTDIR) return std::string();
    return error ? platform::fileFailureText(platform::FileAction::Read, sheet, error) : std::string();
}

// The data files a line of a sheet may name: FILE in a CUE sheet, FILE, AUDIOFILE and DATAFILE
// in a TOC file. A name without quotes is taken both up to its first blank and up to the end
// of the line, as parsers differ.
void namedFiles(const std::string& line, std::vector<std::string>& names)
{
    const char* const blanks = " \t";
    size_t at = line.find_first_not_of(blanks);
    if (at == std::string::npos) return;
    size_t end = line.find_first_of(blanks, at);
    if (end == std::string::npos) return;
    std::string word = line.substr(at, end - at);
    for (char& c : word) c = char(std::toupper(static_cast<unsigned char>(c)));
    if (word != "FILE" && word != "AUDIOFILE" && word != "DATAFILE") return;
    at = line.find_first_not_of(blanks, end);
    if (at == std::string::npos) return;
    if (line[at] == '"') {
        end = line.find('"', at + 1);
        names.push_back(line.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1));
        return;
    }
    end = line.find_first_of(blanks, at);
    names.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
    const size_t last = line.find_last_not_of(blanks);
    if (end != std::string::npos && last >= end) names.push_back(line.substr(at, last + 1 - at));
}

}  // namespace

std::vector<std::string> imageDataPaths(const std::string& source, const std::string& sheet)
{
    const size_t slash = source.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : source.substr(0, slash + 1);
    std::vector<std::string> names;
    size_t from = 0;
    while (from < sheet.size()) {
        size_t end = sheet.find_first_of("\r\n", from);
        if (end == std::string::npos) end = sheet.size();
        namedFiles(sheet.substr(from, end - from), names);
        from = end + 1;
    }
    // A name without a folder is looked for beside the sheet and, as libcdio does for a TOC
    // file, in the current folder.
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        if (name.empty()) continue;
        if (name[0] != '/') paths.push_back(folder + name);
        paths.push_back(name);
    }
    // The data of a CUE sheet is what libcdio opens: the sheet's name with "bin" (or "BIN") in
    // place of its extension.
    if (endsWithNoCase(source, ".cue"))
        for (const char* extension : {"bin", "BIN"}) paths.push_back(source.substr(0, source.size() - 3) + extension);
    return paths;
}

std::string imageFault(const std::string& source)
{
    if (!isImageSource(source)) return {};
    std::string text;
    std::string fault = readSheet(source, text);
    if (!fault.empty()) return fault;
    for (const std::string& path : imageDataPaths(source, text)) {
        const int fd = platform::openForReading(path);
        if (fd >= 0) close(fd);
        else if (errno != ENOENT && errno != ENOTDIR)
            return platform::fileFailureText(platform::FileAction::Read, path, errno);
    }
    return {};
}

CdIo_t* openCdSource(const std::string& source, std::string* fault)
{
    const std::string found = imageFault(source);
    if (fault) *fault = found;
    return found.empty() ? cdio_open(source.c_str(), DRIVER_UNKNOWN) : nullptr;
}

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

unsigned driveType(char letter) { return cdSourceOfLetter(letter).empty() ? 0 : DriveCdRom; }

}  // namespace cdaudio
