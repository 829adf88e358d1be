// The global tables of the scanned collection and the settings values, reached by every window.
// Rows and list entries are numbered from 1, as everywhere in the program; the tables grow with
// the collection, so a walk of any size keeps every file.
#pragma once

#include "IniFile.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

// Fields of a FileTable row.
enum FileField : int {
    fArtist = 1, fTitle = 2, fYear = 3, fAlbum = 4, fTrack = 5, fComment = 6, fGenre = 7,
    fFolder = 8, fDuration = 9, fSizeMo = 10, fPath = 11
};
constexpr int FileFieldCount = 11;

// One row: tag texts (8-bit ISO-8859-1, as the tag holds them) and the folder and path (bytes).
struct FileRow {
    std::array<std::string, FileFieldCount> fields;
    std::string& operator[](int field) { return fields[size_t(field - 1)]; }
    const std::string& operator[](int field) const { return fields[size_t(field - 1)]; }
};

// A table numbered from 1 that grows on demand; rows above the count keep what an earlier walk
// left in them.
template <class T>
class OneBasedTable {
public:
    T& operator[](int i)
    {
        if (size_t(i) >= items_.size()) items_.resize(size_t(i) + 1);
        return items_[size_t(i)];
    }
    const T& at(int i) const
    {
        static const T empty{};
        return size_t(i) < items_.size() ? items_[size_t(i)] : empty;
    }
    void reserve(int n) { items_.reserve(size_t(n) + 1); }

private:
    std::vector<T> items_;
};

extern int FileCount;
extern OneBasedTable<std::string> FilePaths;
extern OneBasedTable<FileRow> FileTable;
extern OneBasedTable<std::string> ArtistNames;
extern OneBasedTable<std::string> AlbumNames;
extern OneBasedTable<std::string> GenreNames;

extern std::unique_ptr<platform::IniFile> SettingsFile;
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
