// The global tables of the scanned collection and the settings values, reached by every window.
// Rows and list entries are numbered from 1, as everywhere in the program; the tables grow with
// the collection, so a walk of any size keeps every file.
#pragma once

#include "IniFile.h"
#include "Memory.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

// Fields of a FileTable row.
enum FileField : int {
    fArtist = 1,
    fTitle = 2,
    fYear = 3,
    fAlbum = 4,
    fTrack = 5,
    fComment = 6,
    fGenre = 7,
    fFolder = 8,
    fDuration = 9,
    fSizeMo = 10,
    fPath = 11
};
constexpr int FileFieldCount = 11;

// One row: tag texts (whole, in UTF-8, as ShownText reads them) and the folder and path (bytes).
struct FileRow {
    std::array<std::string, FileFieldCount> fields;
    std::string& operator[](int field) { return fields[size_t(field - 1)]; }
    const std::string& operator[](int field) const { return fields[size_t(field - 1)]; }
};

// A table numbered from 1 that grows on demand; rows above the count keep what an earlier walk
// left in them. It grows by whole blocks, so an entry never moves once made: growing to 100,000
// rows copies none of them, and a view of an entry stays good.
template <class T>
class OneBasedTable {
public:
    OneBasedTable() = default;
    OneBasedTable(const OneBasedTable&) = delete;
    OneBasedTable& operator=(const OneBasedTable&) = delete;
    ~OneBasedTable()
    {
        for (T* block : blocks_) {
            std::destroy_n(block, BlockSize);
            platform::freeLargeBlock(block);
        }
    }

    T& operator[](int i)
    {
        const size_t at = size_t(i);
        if (at >= size_) {
            while (blocks_.size() <= at / BlockSize) {
                T* block = static_cast<T*>(platform::allocateLargeBlock(BlockBytes));
                std::uninitialized_value_construct_n(block, BlockSize);
                blocks_.push_back(block);
            }
            size_ = at + 1;
        }
        return blocks_[at / BlockSize][at % BlockSize];
    }
    const T& at(int i) const
    {
        static const T empty{};
        const size_t at = size_t(i);
        return at < size_ ? blocks_[at / BlockSize][at % BlockSize] : empty;
    }

private:
    static constexpr size_t BlockBytes = size_t(2) << 20;
    static constexpr size_t BlockSize = BlockBytes / sizeof(T);
    std::vector<T*> blocks_;
    size_t size_ = 0;
};

extern int FileCount;
extern OneBasedTable<std::string> FilePaths;
extern OneBasedTable<FileRow> FileTable;
extern OneBasedTable<std::string> ArtistNames;
extern OneBasedTable<std::string> AlbumNames;
extern OneBasedTable<std::string> GenreNames;

extern std::unique_ptr<platform::IniFile> SettingsFile;

// Every key of the settings file, named once with its default; a text without a default falls
// back to the program's folder.
struct TextSetting {
    const char* section;
    const char* key;
    const char* fallback;
};
struct NumberSetting {
    const char* section;
    const char* key;
    int fallback;
};
struct FlagSetting {
    const char* section;
    const char* key;
    bool fallback;
};
namespace Setting {
inline constexpr TextSetting Mp3Folder{"Liste", "Dossier", nullptr};
inline constexpr TextSetting WinampExe{"Winamp", "EXE", nullptr};
inline constexpr TextSetting RenameSeparator{"Renommage", "Separateur", "-"};
inline constexpr TextSetting RipFolder{"Rip", "Dossier", nullptr};
inline constexpr TextSetting RipFormat{"Rip", "Format", "%1\\%2\\%4 - %6"};
inline constexpr FlagSetting UseId3v1{"ID3V1", "Utiliser", false};
inline constexpr NumberSetting CddbServer{"CDDB", "Serveur", 0};
}  // namespace Setting
std::string ReadSetting(const TextSetting& setting);
int ReadSetting(const NumberSetting& setting);
bool ReadSetting(const FlagSetting& setting);
// Written at once to the settings file; a failure throws and leaves the file as it was.
void WriteSetting(const TextSetting& setting, const std::string& value);
void WriteSetting(const NumberSetting& setting, int value);
void WriteSetting(const FlagSetting& setting, bool value);
extern bool QuitAfterScan;

extern bool UseId3v1;
extern int CddbServerIndex;
extern std::string RipFormat;
extern std::string RenameSeparator;
extern std::string WinampExe;
extern std::string Mp3Folder;
extern std::string RipFolder;
extern char WinampDrive, Mp3Drive, RipDrive;

// The settings file's name and its full path on this platform.
extern const char* const SettingsFileName;
std::string SettingsFilePath();

// Reads the settings into the values and the option windows, then walks the music folder.
// Returns at once, doing nothing, while a walk is already running.
void LoadSettings();
