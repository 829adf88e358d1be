// The file-system services of the platform layer: masks, listings, attributes, renaming that
// never replaces, path pieces, reading what a user names.
#include "FifoWatchdog.h"
#include "FileSystem.h"
#include "Input.h"
#include "TempTree.h"

#include <gmock/gmock.h>

#include <cerrno>
#include <set>
#include <sys/stat.h>

using ::testing::UnorderedElementsAre;

namespace {

std::vector<std::string> list(const std::string& folder, const std::string& mask)
{
    std::vector<std::string> names;
    const platform::FolderSnapshot listing(folder);
    for (const platform::DirEntry& e : listing.entries())
        if (platform::matchesMask(e.name, mask)) names.push_back(e.name + (e.isDirectory ? "/" : ""));
    return names;
}

TEST(Masks, MatchAsTheDesktopDoes)
{
    using platform::matchesMask;
    // Letters ignore their case.
    EXPECT_TRUE(matchesMask("A.MP3", "*.mp3"));
    EXPECT_TRUE(matchesMask("song.Mp3", "*.MP3"));
    EXPECT_FALSE(matchesMask("song.mp3.bak", "*.mp3"));
    EXPECT_FALSE(matchesMask("song.mp", "*.mp3"));
    EXPECT_TRUE(matchesMask(".mp3", "*.mp3"));
    // "?" is exactly one character.
    EXPECT_TRUE(matchesMask("b.mp3", "?.mp3"));
    EXPECT_FALSE(matchesMask("bb.mp3", "?.mp3"));
    EXPECT_TRUE(matchesMask("track07.wav", "track??.*"));
    // "*.*" and "*" take every name, with or without a dot.
    for (const char* name : {"README", "a.b.c", ".hidden", "x."}) {
        EXPECT_TRUE(matchesMask(name, "*.*")) << name;
        EXPECT_TRUE(matchesMask(name, "*")) << name;
    }
    EXPECT_TRUE(matchesMask("winamp", "winamp.*"));
    // An empty mask takes nothing.
    EXPECT_FALSE(matchesMask("", ""));
    EXPECT_FALSE(matchesMask("a.mp3", ""));
    // Bytes above 127 are compared as they are.
    EXPECT_TRUE(matchesMask("\xE9t\xE9.mp3", "*.MP3"));
    EXPECT_FALSE(matchesMask("\xC9T\xC9.mp3", "\xE9t\xE9.mp3"));
    // Many stars on a long name finish (no exponential backtracking).
    EXPECT_FALSE(matchesMask(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(Masks, FolderListings)
{
    TempTree t;
    for (const char* n : {"A.MP3", "b.mp3", "c.wav", "README", ".hidden.mp3"}) t.file(n);
    t.dir("Album.mp3");
    EXPECT_THAT(list(t.root(), "*.mp3"), UnorderedElementsAre("A.MP3", "b.mp3", ".hidden.mp3", "Album.mp3/"));
    EXPECT_THAT(list(t.root(), "?.wav"), UnorderedElementsAre("c.wav"));
    EXPECT_THAT(list(t.root(), "*.*"),
                UnorderedElementsAre("A.MP3", "b.mp3", "c.wav", "README", ".hidden.mp3", "Album.mp3/"));
    EXPECT_TRUE(list(t.root(), "").empty());
    // A folder that is missing, or a file, lists nothing.
    EXPECT_TRUE(list(t.path("missing"), "*.*").empty());
    EXPECT_TRUE(list(t.path("README"), "*.*").empty());
    // A link to a folder is a folder; a dangling link is not.
    ASSERT_EQ(symlink(t.path("Album.mp3").c_str(), t.path("link").c_str()), 0);
    ASSERT_EQ(symlink(t.path("nowhere").c_str(), t.path("dead").c_str()), 0);
    EXPECT_THAT(list(t.root(), "link"), UnorderedElementsAre("link/"));
    EXPECT_THAT(list(t.root(), "dead"), UnorderedElementsAre("dead"));
}

TEST(Attributes, HiddenAndReadOnly)
{
    TempTree t;
    const std::string hidden = t.file(".secret");
    const std::string plain = t.file("open.mp3");
    const std::string locked = t.file("locked.mp3");
    ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
    ASSERT_EQ(chmod(plain.c_str(), 0666), 0);
    EXPECT_TRUE(platform::isHidden(hidden));
    EXPECT_TRUE(platform::isHidden(t.path(".folder/x")) == false);
    EXPECT_TRUE(platform::isHidden(t.dir(".folder")));
    EXPECT_FALSE(platform::isHidden(plain));
    EXPECT_FALSE(platform::isReadOnly(t.path("missing.mp3")));

    // Read-only is what the user may not write: judged as an ordinary user.
    const int code = asOrdinaryUser([&] {
        if (!platform::isReadOnly(locked)) return 1;
        if (platform::isReadOnly(plain)) return 2;
        return 0;
    });
    EXPECT_EQ(code, 0);

    EXPECT_TRUE(platform::fileExists(plain));
    EXPECT_FALSE(platform::fileExists(t.root()));
    EXPECT_TRUE(platform::folderExists(t.root()));
    EXPECT_FALSE(platform::folderExists(plain));
    EXPECT_FALSE(platform::folderExists(""));
}

TEST(Rename, NeverReplaces)
{
    TempTree t;
    const std::string from = t.file("from.mp3", "new");
    const std::string to = t.file("to.mp3", "precious");
    errno = 0;
    EXPECT_FALSE(platform::renameNoReplace(from, to));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(TempTree::read(to), "precious");
    EXPECT_EQ(TempTree::read(from), "new");

    // Not even a name that differs only in case on this case-sensitive system is touched
    // when it exists; a free name is taken.
    const std::string free = t.path("renamed.mp3");
    EXPECT_TRUE(platform::renameNoReplace(from, free));
    EXPECT_FALSE(platform::fileExists(from));
    EXPECT_EQ(TempTree::read(free), "new");

    // A folder in the way is not replaced either, nor is a missing source an error that moves
    // anything.
    t.dir("folder");
    EXPECT_FALSE(platform::renameNoReplace(free, t.path("folder")));
    EXPECT_TRUE(platform::fileExists(free));
    EXPECT_FALSE(platform::renameNoReplace(t.path("missing"), t.path("other")));
    EXPECT_FALSE(platform::fileExists(t.path("other")));
}

TEST(Paths, FolderAndFileNameParts)
{
    using platform::fileNamePart;
    using platform::folderPart;
    EXPECT_EQ(folderPart("/music/a.mp3"), "/music/");
    EXPECT_EQ(fileNamePart("/music/a.mp3"), "a.mp3");
    EXPECT_EQ(folderPart("/a.mp3"), "/");
    EXPECT_EQ(fileNamePart("/a.mp3"), "a.mp3");
    EXPECT_EQ(folderPart("a.mp3"), "");
    EXPECT_EQ(fileNamePart("a.mp3"), "a.mp3");
    EXPECT_EQ(folderPart("/music/"), "/music/");
    EXPECT_EQ(fileNamePart("/music/"), "");
    // A backslash is an ordinary character of a name here.
    EXPECT_EQ(fileNamePart("/m/AC\\DC.mp3"), "AC\\DC.mp3");
    EXPECT_EQ(platform::withTrailingSeparator("/music"), "/music/");
    EXPECT_EQ(platform::withTrailingSeparator("/music/"), "/music/");
    EXPECT_EQ(platform::driveOf("/music"), '/');
    EXPECT_EQ(platform::driveOf(""), '\0');
    EXPECT_EQ(platform::drives(), std::vector<char>{'/'});
    EXPECT_EQ(platform::driveRoot('/'), "/");
}

TEST(Paths, ProgramFolder)
{
    TempTree t;
    platform::setProgramFolder(t.root());
    EXPECT_EQ(platform::programFolder(), t.root() + "/");
    platform::setProgramFolder("");
    // Without a QApplication: the folder of this test program.
    const std::string own = platform::programFolder();
    EXPECT_EQ(own.back(), '/');
    EXPECT_TRUE(platform::folderExists(own));
}

// A FIFO, a device or a folder where a file is read is refused at once, in French.
TEST(Reading, OnlyRegularFilesAreOpenedAndNothingWaits)
{
    TempTree t;
    const std::string fifo = t.path("fifo.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const testutil::FifoWatchdog watchdog({fifo});
    struct Case {
        std::string path;
        int error;  // 0: opened
        const char* text;
    } cases[] = {
        {t.file("a.wav", "RIFF"), 0, ""},
        {fifo, platform::NotRegularFile, "N'est pas un fichier ordinaire"},
        {"/dev/null", platform::NotRegularFile, "N'est pas un fichier ordinaire"},
        {t.dir("folder.wav"), EISDIR, "Est un dossier"},
        {t.path("missing.wav"), ENOENT, "Fichier ou dossier introuvable"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        errno = 0;
        const int fd = platform::openForReading(c.path);
        EXPECT_EQ(fd < 0 ? errno : 0, c.error);
        if (fd >= 0) {
            char b[8];
            EXPECT_EQ(read(fd, b, sizeof b), 4);
            close(fd);
        } else {
            EXPECT_EQ(platform::errorText(errno), c.text);
        }
    }
    EXPECT_FALSE(watchdog.fired());

    // Written only where a regular file, or nothing, stands: never through a link, into a FIFO
    // or a device.
    const std::string link = t.path("link.mp3");
    ASSERT_EQ(symlink(t.file("victim", "keep").c_str(), link.c_str()), 0);
    const std::pair<std::string, int> writes[] = {
        {t.path("a.wav"), 0},
        {t.path("new.mp3"), 0},
        {fifo, platform::NotRegularFile},
        {"/dev/null", platform::NotRegularFile},
        {t.path("folder.wav"), EISDIR},
        {link, platform::NotRegularFile},
    };
    const testutil::FifoWatchdog writerWatchdog({fifo}, 20, testutil::FifoWatchdog::Writer);
    for (const auto& [path, error] : writes) {
        SCOPED_TRACE(path);
        errno = 0;
        const int fd = platform::openForWriting(path);
        EXPECT_EQ(fd < 0 ? errno : 0, error);
        if (fd >= 0) {
            EXPECT_EQ(write(fd, "x", 1), 1);
            close(fd);
        }
    }
    EXPECT_FALSE(writerWatchdog.fired());
    EXPECT_EQ(TempTree::read(t.path("a.wav")), "x");
    EXPECT_EQ(TempTree::read(t.path("new.mp3")), "x");
    EXPECT_EQ(TempTree::read(t.path("victim")), "keep");
    // What a file or a peer says reaches a message without its control characters; a file name
    // stays on one line of the one wording of a failure.
    EXPECT_EQ(platform::printable("a\r\nb\t\x7f\xc2\x85\xc3\xa9"), "a??b???\xc3\xa9");
    EXPECT_EQ(platform::fileFailureText(platform::FileAction::Write, "/m/a\nb\xc2\x85.m3u", ENOSPC),
              "Impossible d'écrire le fichier /m/a⏎b⏎.m3u : Plus de place sur le disque");
    EXPECT_EQ(platform::renameFailureText("/m/a.mp3", "/m/b\r.mp3", EEXIST),
              "Impossible de renommer le fichier /m/a.mp3 en /m/b⏎.mp3 : Le fichier existe déjà");
}

// Written beside, then renamed over: the name holds the old text or the whole new one, with the
// old file's permissions or the usual ones; links go as the caller says; nothing is left beside.
TEST(Writing, AsideThenRenamedWithARuleForLinks)
{
    using platform::AtLink;
    enum Stands { Nothing, File, LinkToFile, Dangling, Loop, ReadOnly, LinkToReadOnly };
    const struct {
        const char* name;
        Stands stands;
        AtLink atLink;
        int error;
        bool linkStays;
        const char* target;  // the text of the file a link names, or of the one it would make
    } rows[] = {
        {"a new file", Nothing, AtLink::WriteTarget, 0, false, nullptr},
        {"a file", File, AtLink::WriteTarget, 0, false, nullptr},
        {"through a link", LinkToFile, AtLink::WriteTarget, 0, true, "new"},
        {"over a link", LinkToFile, AtLink::ReplaceLink, 0, false, "old"},
        {"through a dangling link", Dangling, AtLink::WriteTarget, 0, true, "new"},
        {"over a dangling link", Dangling, AtLink::ReplaceLink, 0, false, nullptr},
        {"a link loop", Loop, AtLink::WriteTarget, ELOOP, true, nullptr},
        {"read-only", ReadOnly, AtLink::WriteTarget, platform::ReadOnlyFile, false, nullptr},
        {"through a link to a read-only file", LinkToReadOnly, AtLink::WriteTarget, platform::ReadOnlyFile, true,
         "old"},
        {"over a link to a read-only file", LinkToReadOnly, AtLink::ReplaceLink, 0, false, "old"},
    };
    const mode_t oldMask = umask(027);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempTree t;
        const std::string name = t.path("liste.m3u"), target = t.path("sub/cible.m3u");
        t.dir("sub");
        if (row.stands == File || row.stands == ReadOnly) t.file("liste.m3u", "old");
        if (row.stands == LinkToFile || row.stands == LinkToReadOnly) t.file("sub/cible.m3u", "old");
        if (row.stands == ReadOnly) chmod(name.c_str(), 0444);
        if (row.stands == LinkToReadOnly) chmod(target.c_str(), 0444);
        if (row.stands == File) chmod(name.c_str(), 0604);
        const bool link = row.stands == LinkToFile || row.stands == Dangling || row.stands == LinkToReadOnly;
        if (link || row.stands == Loop) { ASSERT_EQ(symlink(link ? "sub/cible.m3u" : "liste.m3u", name.c_str()), 0); }

        EXPECT_EQ(platform::writeFileAside(name, "new", row.atLink), row.error);
        EXPECT_EQ(platform::isLink(name), row.linkStays);
        if (!row.linkStays) { EXPECT_EQ(TempTree::read(name), row.error ? "old" : "new"); }
        if (row.target) {
            EXPECT_EQ(TempTree::read(target), row.target);
        } else {
            EXPECT_FALSE(std::filesystem::exists(target));
        }
        struct stat st;
        if (row.stands == File || row.stands == Nothing) {
            ASSERT_EQ(stat(name.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, row.stands == File ? 0604u : 0640u);
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.root()), {}), 2);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.path("sub")), {}), row.target ? 1 : 0);
    }
    umask(oldMask);

    // A name as long as the system allows still gets its file written beside it.
    TempTree t;
    const std::string longest = t.path(std::string(250, 'a') + ".m3u");
    t.file(std::string(250, 'a') + ".m3u", "old");
    EXPECT_EQ(platform::writeFileAside(longest, "new", AtLink::WriteTarget), 0);
    EXPECT_EQ(TempTree::read(longest), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.root()), {}), 1);
}

}  // namespace
