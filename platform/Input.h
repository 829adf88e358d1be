// What the program reads from a path a user chose or a file anyone could have planted, and what
// it tells the user of it. Qt-free, so that the CD and encoder components use it in their
// Qt-free build too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The error number of a name that leads to neither a regular file nor a folder: a FIFO, a
// device, a socket. Outside the system's own numbers.
constexpr int NotRegularFile = 0x10000;
// The error number of a file its user made read-only: it is never replaced, even where the
// system would let it be.
constexpr int ReadOnlyFile = 0x10001;

// Opens a file to read it without ever waiting: a FIFO or a device in its place would hold the
// open, or the first read, for ever. Anything but a regular file is refused before a byte is
// read. The descriptor (close-on-exec; on a regular file O_NONBLOCK changes nothing), or -1
// with errno set: EISDIR for a folder, NotRegularFile for the rest.
int openForReading(const std::string& path);
// The same, opened to be read and changed in place.
int openForChanging(const std::string& path);

// Creates a file (or empties the one there) to write it without ever waiting: a FIFO or a device
// at the name would hold the open for ever. Only a regular file, or nothing, is taken; a link is
// never written through. The descriptor (close-on-exec, blocking), or -1 with errno set: EISDIR
// for a folder, NotRegularFile for anything else in the way.
int openForWriting(const std::string& path);

// Reads the whole file through openForReading, at most limit bytes: 0, or the error number
// (EFBIG when it holds more than limit; out is then empty).
int readWholeFile(const std::string& path, std::size_t limit, std::string& out);

// What was being done with a file when it failed.
enum class FileAction { Open, Read, Create, Write, Replace, Lock, CreateFolder };

// The one wording of a file that failed, for every tool: "Impossible de lire le fichier <name> :
// <why>", the verb of the action, the name made printable (printableName), why in French
// (errorText, or the caller's own reason).
std::string fileFailureText(FileAction action, const std::string& path, int error);
std::string fileFailureText(FileAction action, const std::string& path, const std::string& why);
// "Impossible de renommer le fichier <from> en <to> : <why>".
std::string renameFailureText(const std::string& from, const std::string& to, int error);

// The French text of an error number (errno, NotRegularFile or ReadOnlyFile), without a final
// full stop.
std::string errorText(int error);

// A text from a file or a peer, fit for a message box: every control character (line ends
// included) becomes "?".
std::string printable(std::string_view text);
// A file name on one line of a message: every control character (a line break in a name) shows
// as "⏎"; every other byte stays as it is.
std::string printableName(std::string_view name);

}  // namespace platform
