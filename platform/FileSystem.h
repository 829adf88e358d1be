// File-system services of the platform layer: folder listings with masks, attributes, sizes,
// renaming that never replaces, the program's folder and the drives.
// Paths are byte strings (std::string) end to end: a name that is not valid UTF-8 still reaches
// the file it names. Convert only for display (toDisplay / fromDisplay, Display.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

constexpr char PathSeparator = '/';
// The longest name of one entry of a folder, in bytes.
constexpr std::size_t MaxNameBytes = 255;

// One entry of a folder listing.
struct DirEntry {
    std::string name;
    bool isDirectory = false;
    // For a link, or an entry of a file system that gives no kinds: the error number of asking
    // what it leads to (ENOENT: a dangling link, ELOOP: a loop of links), else 0.
    int error = 0;
};

// Every entry of one folder (but "." and ".."), read in one go in the order the file system
// gives them. The folder stays open until close(), so that what it is and the sizes of its files
// can be asked of it without a walk down the whole path again. A folder that cannot be read
// has no entries, or those read before the failure; error() tells why.
class FolderSnapshot {
public:
    explicit FolderSnapshot(const std::string& folder);
    ~FolderSnapshot();
    FolderSnapshot(const FolderSnapshot&) = delete;
    FolderSnapshot& operator=(const FolderSnapshot&) = delete;

    const std::vector<DirEntry>& entries() const { return entries_; }
    // 0 when the whole folder was read, else the error number of the opening or reading.
    int error() const { return error_; }
    // Identity of the folder (device, inode), to walk each physical folder once.
    bool identity(uint64_t& device, uint64_t& inode) const;
    // Size and DOS date-time stamp of an entry; false when it cannot be found or once closed.
    bool sizeAndTime(const std::string& name, int64_t& size, int32_t& dosTime) const;
    void close();

private:
    int fd_ = -1;
    int error_ = 0;
    std::vector<DirEntry> entries_;
};

// True when the name matches the mask. Masks use "*" and "?" and ignore the case of ASCII
// letters; "*.*" matches every name; an empty mask matches nothing.
bool matchesMask(std::string_view name, std::string_view mask);

// The masks of a list separated by ";", in their order ("" gives one empty mask).
std::vector<std::string_view> splitMasks(std::string_view masks);

// Size and DOS date-time stamp (local time) of a file; false when it cannot be found.
bool fileSizeAndTime(const std::string& path, int64_t& size, int32_t& dosTime);

bool fileExists(const std::string& path);  // any entry but a folder
bool folderExists(const std::string& path);
bool isHidden(const std::string& path);  // the name begins with "."
// Read-only: nobody may write the file (no write bit, how a user marks it; the superuser, whom
// the system lets write anything, is held to it too), or the user may not. Every tool, the tag
// library included, goes by this one rule.
bool isReadOnly(const std::string& path);
// Its first half, from a file's mode alone: no write bit for anyone.
constexpr bool markedReadOnly(unsigned mode) { return (mode & 0222) == 0; }
bool isLink(const std::string& path);  // a symbolic link, dangling or not

// Creates or truncates a file and writes the bytes; 0, or the error number of the failure (the
// file is then left as far as it was written).
int writeFile(const std::string& path, const std::string& bytes);
// What a write aside does with a symbolic link at the name it is given.
enum class AtLink {
    // The file the link names takes the new text, through every link of a chain, and the links
    // stay as they are; a dangling link makes the file it names.
    WriteTarget,
    // The link itself gives way to the new file; what it names stays as it was.
    ReplaceLink,
};

// The file that a write through `path` replaces (AtLink::WriteTarget): `path` itself where no
// link stands. A relative link leads from its own folder. 0, or ELOOP for a chain that never ends.
int fileBehindLinks(const std::string& path, std::string& file);

// A new empty file (mode 0600, close-on-exec) beside `path`, taken from `folder` as openat does
// (AT_FDCWD: the current folder), with a hidden name ("." + its name + a unique ending) that no
// folder walk lists while it is being written: its descriptor, or -1 (errno set). `name` is
// taken from `folder` as `path` is.
int hiddenFileBeside(int folder, const std::string& path, std::string& name);

// Writes the bytes to a new hidden file beside the file to replace, then renames it over that
// file: it is either what it was or the whole new text, never half of it. The new file keeps
// the permissions of the one it replaces, else has the usual ones (0644 less the umask). A file
// that is read-only to the user (isReadOnly) is not replaced: ReadOnlyFile (Input.h). A link at
// `path` is dealt with as `atLink` says. 0, or the error number.
int writeFileAside(const std::string& path, const std::string& bytes, AtLink atLink);
// Moves an existing file out of the way, to a new hidden name in its folder, and returns that
// name; empty (errno set) when it cannot, the file then staying where it was.
std::string moveAside(const std::string& path);

// What stands at an output's name while the output is written: moved aside, so that the new file
// replaces it (a link is never written through) and an output that fails can give it back.
class SetAside {
public:
    // Moves the entry at `name` aside, whatever it is but a folder. False (errno set) when it
    // cannot, the entry then staying where it was.
    bool take(const std::string& name);
    // The same where a regular file at `name` is to be overwritten: only what is neither a file
    // nor a folder (a link, a FIFO, a socket, a device) is moved aside.
    bool takeUnlessFile(const std::string& name);
    void keepNew();                 // the new file stays; the old entry goes
    void giveBack(bool removeNew);  // the old entry comes back; a new file that never was whole goes
    void settle();                  // keepNew where a new file stands, else giveBack

private:
    bool moveAsideUnless(const std::string& name, bool regularFile);
    std::string output_, aside_;
};

// Creates a folder with every missing parent; false (errno set) when it cannot.
bool makeFolders(const std::string& folder);

// Renames without ever replacing an existing file; false (errno set) when it cannot.
bool renameNoReplace(const std::string& from, const std::string& to);

// Path pieces. folderPart keeps the trailing separator ("/music/a.mp3" -> "/music/").
std::string folderPart(const std::string& path);
std::string fileNamePart(const std::string& path);
std::string withTrailingSeparator(const std::string& folder);

// The folder of the running program, with its trailing separator.
std::string programFolder();
void setProgramFolder(const std::string& folder);  // tests place the program elsewhere
// Where the system does not tell the program's own path, the windows' side may know it: asked
// then, its empty answer meaning the root.
void setProgramFolderFallback(std::string (*folder)());

// Drives: one root "/". The drive of a path is its first character.
std::vector<char> drives();
char driveOf(const std::string& path);
std::string driveRoot(char drive);

}  // namespace platform
