#include "IniFile.h"

#include "FileSystem.h"
#include "Input.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// A settings file larger than this is not a settings file: it gives the defaults.
constexpr size_t MaxSettingsFileSize = 1 << 20;

// The byte-order mark some editors put before the first line of a UTF-8 text.
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// Drops a leading byte-order mark, which would hide the first section; true when there was one.
bool dropByteOrderMark(std::string& text)
{
    if (text.compare(0, ByteOrderMark.size(), ByteOrderMark) != 0) return false;
    text.erase(0, ByteOrderMark.size());
    return true;
}

// 0, or the error number of a file that is there and cannot be read (ENOENT and ENOTDIR: no
// file). A FIFO or a device in the file's place must not hold the start.
int readSettingsText(const std::string& path, std::string& out)
{
    return readWholeFile(path, MaxSettingsFileSize, out);
}

bool missingFile(int error) { return error == ENOENT || error == ENOTDIR; }

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && blank(s[b])) ++b;
    while (e > b && blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool sameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// "[name]" -> name; false for any other line.
bool sectionName(const std::string& line, std::string& name)
{
    std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = trim(t.substr(1, close - 1));
    return true;
}

// "key=value" -> key, value; false for lines without "=".
bool keyValue(const std::string& line, std::string& key, std::string& value)
{
    size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return !key.empty() && key[0] != ';';
}

bool findValue(const std::string& text, const std::string& section, const std::string& key, std::string& value)
{
    bool inSection = false;
    for (const std::string& line : splitLines(text)) {
        std::string name, k, v;
        if (sectionName(line, name)) {
            inSection = sameName(name, section);
        } else if (inSection && keyValue(line, k, v) && sameName(k, key)) {
            // The profile functions drop one pair of enclosing quotes.
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            value = v;
            return true;
        }
    }
    return false;
}

// Why a name would not read back as it was written, or nothing: a line is cut at its first "=",
// one that begins with "[" is a section header and one with ";" a comment, a section name ends
// at its first "]", and names lose their outer blanks.
std::string nameFault(const std::string& section, const std::string& key)
{
    auto blankEdge = [](const std::string& s) { return !s.empty() && (blank(s.front()) || blank(s.back())); };
    if (section.find(']') != std::string::npos) return "un nom de section ne peut contenir « ] »";
    if (key.empty()) return "un nom de clé ne peut être vide";
    if (key.find('=') != std::string::npos) return "un nom de clé ne peut contenir « = »";
    if (key[0] == ';' || key[0] == '[') return "un nom de clé ne peut commencer par « ; » ni par « [ »";
    if (blankEdge(section) || blankEdge(key)) return "un nom ne peut commencer ni finir par un blanc";
    return std::string();
}

// Holds an advisory lock on "<file>.lock" so that two instances writing at once each see the
// other's keys: the read, the edit and the replace happen under it. `file` is the file written,
// every link resolved, so that writers through different links to it take the same lock; the
// lock is never taken through a link of its own name.
class WriteLock {
public:
    explicit WriteLock(const std::string& file)
    {
        fd_ = open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK, 0600);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        struct stat st;
        const bool known = fstat(fd_, &st) == 0;
        if (!known || !S_ISREG(st.st_mode)) {
            error_ = known ? NotRegularFile : errno;
            release();
            return;
        }
        // Another instance holds it for one short write; one that never lets go is given up on.
        for (int tries = 0; tries < 1000; ++tries) {
            if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
                held_ = true;
                return;
            }
            error_ = errno;
            if (errno != EWOULDBLOCK && errno != EINTR) break;
            const struct timespec pause {
                0, 5000000
            };
            nanosleep(&pause, nullptr);
        }
        release();
    }
    ~WriteLock() { release(); }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool held() const { return held_; }
    // Why it is not held: an error number, EWOULDBLOCK while another writer keeps it.
    int error() const { return error_; }

private:
    void release()
    {
        if (fd_ >= 0) close(fd_);  // closing drops the lock
        fd_ = -1;
        held_ = false;
    }
    int fd_ = -1;
    bool held_ = false;
    int error_ = 0;
};

// Values that begin or end with a blank or a quote are written between double quotes, as the
// profile functions do; the reader drops one enclosing pair, so the value comes back exactly.
std::string quotedIfNeeded(const std::string& value)
{
    if (value.empty()) return value;
    auto edge = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    return edge(value.front()) || edge(value.back()) ? "\"" + value + "\"" : value;
}

// A regular file too large to be settings: never read, so never rewritten either.
bool oversized(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && size_t(st.st_size) > MaxSettingsFileSize;
}

// Moves such a file out of the way under a name that says why, never over an earlier one;
// the new name, or empty (errno set) when it cannot be moved.
std::string setAside(const std::string& path)
{
    for (int n = 1; n < 1000; ++n) {
        const std::string aside = path + ".trop-grand" + (n > 1 ? "-" + std::to_string(n) : std::string());
        if (renameNoReplace(path, aside)) return aside;
        if (errno != EEXIST) break;
    }
    return std::string();
}

// The settings file's failures, worded as every file failure is.
IniFileError failure(FileAction action, const std::string& path, int error)
{
    return IniFileError(fileFailureText(action, path, error));
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

std::string IniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const
{
    std::string text, value;
    if (readSettingsText(path_, text) != 0) return def;
    dropByteOrderMark(text);
    return findValue(text, section, key, value) ? value : def;
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int def) const
{
    std::string s = ReadString(section, key, std::string());
    if (s.empty()) return def;
    const char* p = s.c_str();
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    int base = 10;
    if (*p == '$') {
        base = 16;
        ++p;
    } else if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (!*p) return def;
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(p, &end, base);
    if (errno != 0 || *end != '\0' || v > 0x7FFFFFFFLL + (negative ? 1 : 0)) return def;
    return int(negative ? -v : v);
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string entry = printable(section) + "/" + printable(key);
    // A line end would split the entry and could add keys of its own.
    for (const std::string* part : {&section, &key, &value})
        if (part->find_first_of("\r\n") != std::string::npos)
            throw IniFileError("Valeur invalide pour " + entry + " : fin de ligne");
    if (const std::string why = nameFault(section, key); !why.empty())
        throw IniFileError("Nom invalide pour " + entry + " : " + why);
    if (path_.empty()) throw IniFileError("Aucun fichier de réglages");
    std::string target;
    if (const int error = fileBehindLinks(path_, target)) throw failure(FileAction::Write, path_, error);
    // Whatever the path leads to is looked at before anything is made: a device, a FIFO or a
    // folder is no settings file, and nothing is created beside it.
    struct stat st;
    if (lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw failure(FileAction::Write, path_, S_ISDIR(st.st_mode) ? EISDIR : NotRegularFile);
    // A file the user made read-only stays as it is, although its folder would let it be replaced.
    if (isReadOnly(target)) throw failure(FileAction::Write, path_, ReadOnlyFile);
    const std::string folder = folderPart(target);
    if (!folder.empty() && !makeFolders(folder)) throw failure(FileAction::CreateFolder, folder, errno);
    auto lock = std::make_unique<WriteLock>(target);
    if (!lock->held())
        throw IniFileError(fileFailureText(FileAction::Lock, target + ".lock",
                                           lock->error() == EWOULDBLOCK ? "un autre programme le garde verrouillé"
                                                                        : errorText(lock->error())));
    std::string text, movedTo;
    // A file that exists but cannot be read is never replaced by one holding only this key;
    // one that is only too large is kept under another name and a fresh one is begun.
    const int readError = readSettingsText(target, text);
    const bool unreadable = readError != 0 && !missingFile(readError);
    if (unreadable && !oversized(target)) throw failure(FileAction::Read, path_, readError);
    const bool byteOrderMark = dropByteOrderMark(text);
    std::vector<std::string> lines = splitLines(text);
    // Keep only well-formed text; a binary or corrupt file is rebuilt from its readable lines.
    int sectionLine = -1, keyLine = -1, lastInSection = -1;
    bool inSection = false;
    for (int i = 0; i < int(lines.size()); ++i) {
        std::string name, k, v;
        if (sectionName(lines[size_t(i)], name)) {
            inSection = sameName(name, section);
            if (inSection && sectionLine < 0) {
                sectionLine = i;
                lastInSection = i;
            }
        } else if (inSection && sectionLine >= 0) {
            if (!trim(lines[size_t(i)]).empty()) lastInSection = i;
            if (keyLine < 0 && keyValue(lines[size_t(i)], k, v) && sameName(k, key)) keyLine = i;
        }
    }
    if (keyLine >= 0) {
        std::string k, v;
        keyValue(lines[size_t(keyLine)], k, v);
        lines[size_t(keyLine)] = k + "=" + quotedIfNeeded(value);
    } else if (sectionLine >= 0) {
        lines.insert(lines.begin() + lastInSection + 1, key + "=" + quotedIfNeeded(value));
    } else {
        if (!lines.empty() && !trim(lines.back()).empty()) lines.push_back(std::string());
        lines.push_back("[" + section + "]");
        lines.push_back(key + "=" + quotedIfNeeded(value));
    }
    std::string out = byteOrderMark ? std::string(ByteOrderMark) : std::string();
    for (const std::string& line : lines) out += line + "\r\n";
    // Past the bound the file could not be read back, and every key would be lost with it.
    if (out.size() > MaxSettingsFileSize)
        throw IniFileError(fileFailureText(FileAction::Write, path_,
                                           "le fichier de réglages dépasserait sa taille maximale de 1 Mio"));
    if (unreadable && (movedTo = setAside(target)).empty()) throw failure(FileAction::Replace, path_, errno);
    // The file is the one locked: no link is left to follow.
    const int error = writeFileAside(target, out, AtLink::ReplaceLink);
    // Told once the lock is let go: the user may take a while to read it.
    lock.reset();
    if (!movedTo.empty() && OnSetAside) OnSetAside(movedTo);
    if (error) throw failure(FileAction::Write, path_, error);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

std::string settingsFilePath(const std::string& name)
{
    const char* config = getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && *config == '/') {
        folder = config;
    } else {
        // Without HOME the password database says where the user's home is; never a shared
        // folder, where another user could plant the settings (and the player they start).
        const char* home = getenv("HOME");
        if (!home || *home != '/') {
            const struct passwd* user = getpwuid(getuid());
            home = user && user->pw_dir && *user->pw_dir == '/' ? user->pw_dir : nullptr;
        }
        if (!home) return std::string();
        folder = std::string(home) + "/.config";
    }
    if (folder.back() != '/') folder += '/';
    return folder + name;
}

}  // namespace platform
