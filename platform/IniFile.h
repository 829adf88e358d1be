// The settings file: an INI text read and written the way the desktop's profile functions do.
// Sections and keys ignore the case of ASCII letters; a missing key gives the default; a
// Boolean is written "1" or "0"; the file is created on the first write; lines end with CR LF
// and are read with CR, LF or CR LF. Nothing is cached: every read looks at the file as it is,
// so a value edited by hand between two reads is taken up by the second.
// A file that is missing, unreadable, binary or corrupt simply gives the defaults; a FIFO or a
// device in its place is not waited on. Values that begin or end with blanks or quotes are
// written quoted and come back exactly. A UTF-8 byte-order mark before the first line is passed
// over, and kept when the file is written.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace platform {

class IniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IniFile {
public:
    explicit IniFile(std::string path);

    const std::string& FileName() const { return path_; }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    // Writes replace the file as a whole (writeFileAside), so a failed write never leaves half a
    // settings file. A write that fails raises IniFileError, worded as every file failure is
    // (fileFailureText): a FIFO, a folder or a link loop in the file's place is one it could not
    // write. A name that would not read back (a section holding "]"; a key empty, holding "=" or
    // beginning with ";" or "["; a name with blanks at either end) is refused, as is a line end
    // in a name or a value. A file that is a symbolic link stays one: its target is replaced.
    // The read-edit-replace holds a lock on "<target>.lock" beside that target, so any two
    // writers of one file, through whatever links, lose nothing. A file too large to be settings
    // is moved aside to "<file>.trop-grand" (a number added when that name is taken), OnSetAside
    // is told its new name, and a fresh file is begun.
    // Anything but a regular file in the file's place is refused before anything is created, and
    // so are a file the user made read-only and a write that would take the file past the size
    // it is read up to: the file then stays as it was.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    std::function<void(const std::string& movedTo)> OnSetAside;

private:
    std::string path_;
};

// The settings file of the program: $XDG_CONFIG_HOME/<name>, by default ~/.config/<name>, the
// home coming from the password database when HOME is not set; empty when there is no home.
std::string settingsFilePath(const std::string& name);

}  // namespace platform
