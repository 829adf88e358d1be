// The settings file: names without case, defaults, Booleans, creation, line ends, damaged
// files, and writes that fail without losing what was there.
#include "ErrorOf.h"
#include "IniFile.h"
#include "TempTree.h"

#include <gmock/gmock.h>

#include <csignal>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>

using platform::IniFile;
using platform::IniFileError;

namespace {

class Settings : public ::testing::Test {
protected:
    std::string text() const { return TempTree::read(path); }
    void put(const std::string& content) const { t.file("Sonoverne.ini", content); }
    // Entries of the folder but the writers' lock file.
    long entriesBesideTheLock() const
    {
        long n = 0;
        for (const auto& e : std::filesystem::directory_iterator(t.root()))
            n += e.path().filename() != "Sonoverne.ini.lock";
        return n;
    }

    TempTree t;
    std::string path = t.path("Sonoverne.ini");
    IniFile ini{path};
};

// Restores an environment variable when the test ends.
class EnvironmentGuard {
public:
    explicit EnvironmentGuard(const char* name) : name_(name)
    {
        if (const char* v = getenv(name)) {
            had_ = true;
            value_ = v;
        }
    }
    ~EnvironmentGuard()
    {
        if (had_) setenv(name_, value_.c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string value_;
};

TEST_F(Settings, NamesIgnoreCaseAndMissingKeysGiveTheDefault)
{
    ini.WriteString("Liste", "Dossier", "/musique");
    EXPECT_EQ(ini.ReadString("LISTE", "dossier", "?"), "/musique");
    EXPECT_EQ(ini.ReadString("liste", "DOSSIER", "?"), "/musique");
    // A second write in another case changes the same key: one key in one section.
    ini.WriteString("liste", "DOSSIER", "/autre");
    EXPECT_EQ(ini.ReadString("Liste", "Dossier", "?"), "/autre");
    const std::string s = text();
    EXPECT_EQ(s.find("/musique"), std::string::npos);
    EXPECT_EQ(s.find("[Liste]"), s.rfind("[Liste]"));
    EXPECT_EQ(s.find('['), s.rfind('['));

    EXPECT_EQ(ini.ReadString("Liste", "Absent", "def"), "def");
    EXPECT_EQ(ini.ReadString("Absente", "Dossier", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("CDDB", "Serveur", 7), 7);
    EXPECT_TRUE(ini.ReadBool("ID3V1", "Utiliser", true));

    // A key of one section is not found in another.
    ini.WriteString("Rip", "Format", "%1\\%2\\%4 - %6");
    EXPECT_EQ(ini.ReadString("Liste", "Format", "none"), "none");
    EXPECT_EQ(ini.ReadString("rip", "format", ""), "%1\\%2\\%4 - %6");
    // A value may hold "=" and ";".
    ini.WriteString("Winamp", "EXE", "/opt/a=b;c/winamp");
    EXPECT_EQ(ini.ReadString("Winamp", "EXE", ""), "/opt/a=b;c/winamp");
    EXPECT_EQ(ini.ReadString("Liste", "Dossier", "?"), "/autre");
}

TEST_F(Settings, WhatWouldNotReadBackIsRefused)
{
    // A folder name may hold a line end here; written as it is, it would add keys of its own.
    ini.WriteString("Liste", "Dossier", "/m");
    const std::string before = text();
    for (const std::string& value :
         {std::string("/m/a\r\n[Winamp]\r\nEXE=/tmp/evil"), std::string("/m/a\nb"), std::string("/m/a\rb")})
        EXPECT_THROW(ini.WriteString("Liste", "Dossier", value), IniFileError);
    // Names the reader would take for something else: refused, not written to be lost.
    const std::string section = "un nom de section ne peut contenir « ] »",
                      blank = "un nom ne peut commencer ni finir par un blanc";
    const struct {
        const char *section, *key, *why;
    } names[] = {
        {"Liste", "k=x", "un nom de clé ne peut contenir « = »"},
        {"Liste", "[x]", "un nom de clé ne peut commencer par « ; » ni par « [ »"},
        {"Liste", ";k", "un nom de clé ne peut commencer par « ; » ni par « [ »"},
        {"Liste", "", "un nom de clé ne peut être vide"},
        {"Liste", " k", blank.c_str()},
        {"Liste", "k ", blank.c_str()},
        {" Liste", "k", blank.c_str()},
        {"a]b", "k", section.c_str()},
    };
    for (const auto& n : names) {
        SCOPED_TRACE(std::string(n.section) + "/" + n.key);
        EXPECT_EQ(errorOf([&] { ini.WriteString(n.section, n.key, "v"); }),
                  std::string("Nom invalide pour ") + n.section + "/" + n.key + " : " + n.why);
    }
    EXPECT_EQ(text(), before);
    EXPECT_EQ(ini.ReadString("Winamp", "EXE", "none"), "none");
    // Their neighbours read back.
    ini.WriteString("a[b", "k;x", "1");
    ini.WriteString("Liste", "x[y]", "2");
    EXPECT_EQ(ini.ReadString("a[b", "k;x", "?"), "1");
    EXPECT_EQ(ini.ReadString("Liste", "x[y]", "?"), "2");
}

TEST_F(Settings, BooleansAndIntegers)
{
    ini.WriteBool("ID3V1", "Utiliser", true);
    EXPECT_NE(text().find("Utiliser=1\r\n"), std::string::npos);
    EXPECT_TRUE(ini.ReadBool("ID3V1", "Utiliser", false));
    ini.WriteBool("ID3V1", "Utiliser", false);
    EXPECT_NE(text().find("Utiliser=0\r\n"), std::string::npos);
    EXPECT_FALSE(ini.ReadBool("ID3V1", "Utiliser", true));

    ini.WriteInteger("CDDB", "Serveur", 12);
    EXPECT_EQ(ini.ReadInteger("CDDB", "Serveur", 0), 12);
    ini.WriteInteger("CDDB", "Serveur", -3);
    EXPECT_EQ(ini.ReadInteger("CDDB", "Serveur", 0), -3);
    // Text that is no number gives the default.
    ini.WriteString("CDDB", "Serveur", "beaucoup");
    EXPECT_EQ(ini.ReadInteger("CDDB", "Serveur", 4), 4);
}

TEST_F(Settings, CreatedOnFirstWriteWithItsFolders)
{
    EnvironmentGuard xdg("XDG_CONFIG_HOME");
    EnvironmentGuard home("HOME");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", t.path("home").c_str(), 1);
    const std::string where = platform::settingsFilePath("Sonoverne.ini");
    EXPECT_EQ(where, t.path("home/.config/Sonoverne.ini"));

    IniFile fresh(where);
    EXPECT_EQ(fresh.ReadString("Liste", "Dossier", "def"), "def");
    EXPECT_FALSE(std::filesystem::exists(t.path("home")));  // reading writes nothing
    fresh.WriteString("Renommage", "Separateur", "_");
    EXPECT_EQ(TempTree::read(where), "[Renommage]\r\nSeparateur=_\r\n");

    // XDG_CONFIG_HOME wins, even when its folder does not exist yet.
    setenv("XDG_CONFIG_HOME", t.path("xdg/deeper").c_str(), 1);
    EXPECT_EQ(platform::settingsFilePath("Sonoverne.ini"), t.path("xdg/deeper/Sonoverne.ini"));
    IniFile other(platform::settingsFilePath("Sonoverne.ini"));
    other.WriteBool("ID3V1", "Utiliser", true);
    EXPECT_TRUE(IniFile(t.path("xdg/deeper/Sonoverne.ini")).ReadBool("ID3V1", "Utiliser", false));
}

TEST_F(Settings, WrittenWithCrLfReadWithAnyLineEnd)
{
    ini.WriteString("Liste", "Dossier", "/m");
    ini.WriteString("Rip", "Dossier", "/r");
    ini.WriteString("Liste", "Autre", "x");
    const std::string s = text();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n') { EXPECT_TRUE(i > 0 && s[i - 1] == '\r') << "lone LF at " << i; }
        if (s[i] == '\r') { EXPECT_TRUE(i + 1 < s.size() && s[i + 1] == '\n') << "lone CR at " << i; }
    }
    ASSERT_GE(s.size(), 2u);
    EXPECT_EQ(s.substr(s.size() - 2), "\r\n");
    // The new key joins its own section.
    EXPECT_LT(s.find("Autre=x"), s.find("[Rip]"));

    for (const std::string eol : {"\r\n", "\n", "\r"}) {
        put("[Liste]" + eol + "Dossier=/a" + eol + eol + "[Rip]" + eol + "Dossier = /b " + eol + "Format=%1");
        EXPECT_EQ(ini.ReadString("Liste", "Dossier", "?"), "/a");
        EXPECT_EQ(ini.ReadString("Rip", "Dossier", "?"), "/b");
        EXPECT_EQ(ini.ReadString("Rip", "Format", "?"), "%1");  // last line without an end
        // A write keeps what it does not change and ends every line with CR LF.
        ini.WriteString("Rip", "Format", "%2");
        EXPECT_EQ(text(), "[Liste]\r\nDossier=/a\r\n\r\n[Rip]\r\nDossier = /b \r\nFormat=%2\r\n");
    }

    // A byte-order mark, as some editors save UTF-8, hides no section and is kept.
    put("\xEF\xBB\xBF[Liste]\r\nDossier=/a\r\n");
    EXPECT_EQ(ini.ReadString("Liste", "Dossier", "?"), "/a");
    ini.WriteString("Liste", "Dossier", "/b");
    EXPECT_EQ(text(), "\xEF\xBB\xBF[Liste]\r\nDossier=/b\r\n");
}

TEST_F(Settings, DamagedFilesGiveTheDefaults)
{
    // Binary junk, NULs included.
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += char((i * 131 + 7) & 0xFF);
    put(junk);
    EXPECT_EQ(ini.ReadString("Liste", "Dossier", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("CDDB", "Serveur", 3), 3);

    // Broken lines around a good one.
    put("[Liste\r\n=nothing\r\nDossier\r\n[Liste]\r\n\x01\x02garbage\r\nDossier=/ok\r\n[");
    EXPECT_EQ(ini.ReadString("Liste", "Dossier", "def"), "/ok");

    // A folder where the file should be, and a file far too large to be settings.
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_EQ(ini.ReadString("Liste", "Dossier", "def"), "def");
    std::filesystem::remove(path);
    put("[Liste]\r\nDossier=/big\r\n" + std::string(3 << 20, ';'));
    EXPECT_EQ(ini.ReadString("Liste", "Dossier", "def"), "def");

    // A file its user may not read.
    put("[Liste]\r\nDossier=/secret\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    EXPECT_EQ(asOrdinaryUser([&] { return ini.ReadString("Liste", "Dossier", "def") == "def" ? 0 : 1; }), 0);
}

TEST_F(Settings, AFileThatCannotBeReadIsNeverReplaced)
{
    // Too large to be read: kept whole under a name that says why, never over an earlier one,
    // and a fresh file takes the key; the user is told once.
    const std::string big = "[Liste]\r\nDossier=/big\r\n" + std::string(3 << 20, ';');
    const std::string earlier = t.file("Sonoverne.ini.trop-grand", "kept");
    std::vector<std::string> told;
    ini.OnSetAside = [&](const std::string& movedTo) { told.push_back(movedTo); };
    put(big);
    ini.WriteString("Liste", "Dossier", "/new");
    ini.WriteString("Rip", "Format", "%1");
    EXPECT_EQ(told, std::vector<std::string>{path + ".trop-grand-2"});
    EXPECT_TRUE(TempTree::read(path + ".trop-grand-2") == big) << "the large file was changed";
    EXPECT_EQ(TempTree::read(earlier), "kept");
    EXPECT_EQ(text(), "[Liste]\r\nDossier=/new\r\n\r\n[Rip]\r\nFormat=%1\r\n");
    std::filesystem::remove(earlier);
    std::filesystem::remove(path + ".trop-grand-2");
    ini.OnSetAside = nullptr;

    // Write-only for the user, in a folder the user may write: the reason is told.
    const std::string secret = "[Liste]\r\nDossier=/secret\r\n";
    put(secret);
    std::filesystem::remove(path + ".lock");  // else the lock, not the file, is what stops the user
    ASSERT_EQ(chmod(path.c_str(), 0222), 0);
    ASSERT_EQ(chmod(t.root().c_str(), 0777), 0);
    const int code = asOrdinaryUser([&] {
        return errorOf([&] { ini.WriteString("Rip", "Format", "%1"); }) ==
                       "Impossible de lire le fichier " + path + " : Permission refusée"
                   ? 0
                   : 1;
    });
    chmod(t.root().c_str(), 0755);
    chmod(path.c_str(), 0644);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text(), secret);
    EXPECT_EQ(entriesBesideTheLock(), 1);

    // Read-only: made so by its user (for the superuser too), or not the user's to write, in a
    // folder that would let it be replaced.
    const std::string readOnly = "Impossible d'écrire le fichier " + path + " : Fichier protégé en écriture";
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(errorOf([&] { ini.WriteString("Rip", "Format", "%1"); }), readOnly);
    EXPECT_EQ(text(), secret);
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    if (geteuid() == 0) {
        std::filesystem::remove(path + ".lock");  // else the lock, not the file, is what stops the user
        ASSERT_EQ(chmod(t.root().c_str(), 0777), 0);
        EXPECT_EQ(asOrdinaryUser(
                      [&] { return errorOf([&] { ini.WriteString("Rip", "Format", "%1"); }) == readOnly ? 0 : 1; }),
                  0);
        chmod(t.root().c_str(), 0755);
        EXPECT_EQ(text(), secret);
    }
    EXPECT_EQ(entriesBesideTheLock(), 1);
}

TEST_F(Settings, AFailedWriteRaisesAndKeepsTheFile)
{
    const std::string before = "[Liste]\r\nDossier=/m\r\n";
    put(before);
    // The file system refuses anything longer than the old file.
    const int code = inChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = rlim_t(before.size());
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
        try {
            ini.WriteString("Rip", "Format", "%1\\%2\\%4 - %6");
        } catch (const IniFileError& e) {
            return std::string(e.what()).find(path) != std::string::npos ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text(), before);
    // No half-written copy is left beside it.
    EXPECT_EQ(entriesBesideTheLock(), 1);

    // A folder that cannot be made, and why.
    t.file("plain-file");
    IniFile impossible(t.path("plain-file/sub/Sonoverne.ini"));
    EXPECT_EQ(errorOf([&] { impossible.WriteString("Liste", "Dossier", "/m"); }),
              "Impossible de créer le dossier " + t.path("plain-file/sub/") +
                  " : Un élément du chemin n'est pas un dossier");
    EXPECT_EQ(impossible.ReadString("Liste", "Dossier", "def"), "def");
}

TEST_F(Settings, AWriteThatWouldPassTheSizeReadIsRefused)
{
    // Past 1 MiB the file reads as empty: a write that would take it there is refused whole,
    // the file kept as it was, an oversized one not set aside either.
    constexpr size_t bound = 1 << 20;
    const std::string tooLong =
        "Impossible d'écrire le fichier " + path + " : le fichier de réglages dépasserait sa taille maximale de 1 Mio";
    const std::string nearlyFull = "[Liste]\r\nDossier=/m\r\n[Rip]\r\nFormat=" + std::string(bound - 100, 'x') + "\r\n";
    const std::string big = "[Liste]\r\nDossier=/big\r\n" + std::string(3 << 20, ';');
    std::vector<std::string> told;
    ini.OnSetAside = [&](const std::string& movedTo) { told.push_back(movedTo); };
    const struct {
        const char* name;
        std::string before, value;
    } rows[] = {
        {"nearly full", nearlyFull, std::string(200, 'y')},
        {"a new file", std::string(), std::string(bound, 'y')},
        {"too large already", big, std::string(bound, 'y')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(path);
        if (!row.before.empty()) put(row.before);
        EXPECT_EQ(errorOf([&] { ini.WriteString("Winamp", "EXE", row.value); }), tooLong);
        EXPECT_EQ(std::filesystem::exists(path), !row.before.empty());
        if (!row.before.empty()) { EXPECT_TRUE(text() == row.before); }
        EXPECT_EQ(entriesBesideTheLock(), row.before.empty() ? 0 : 1);
    }
    EXPECT_TRUE(told.empty());
    // Right at the bound the file is still written, and reads back.
    put(nearlyFull);
    const std::string fits(bound - nearlyFull.size() - std::string("\r\n[Winamp]\r\nEXE=\r\n").size(), 'y');
    ini.WriteString("Winamp", "EXE", fits);
    EXPECT_EQ(text().size(), bound);
    EXPECT_EQ(ini.ReadString("Winamp", "EXE", "?"), fits);
    EXPECT_EQ(ini.ReadString("Liste", "Dossier", "?"), "/m");
}

TEST_F(Settings, ValuesKeepTheirBlanksAndQuotes)
{
    // Each value comes back exactly, however it begins or ends.
    for (const std::string& value :
         {std::string("/music/x "), std::string(" /music/x"), std::string("\t"), std::string(" "), std::string("\"q\""),
          std::string("'a'"), std::string("\"open"), std::string("close'"), std::string(" \"both\" "),
          std::string("in \"the\" middle"), std::string("")}) {
        SCOPED_TRACE("[" + value + "]");
        ini.WriteString("Liste", "Dossier", value);
        EXPECT_EQ(ini.ReadString("Liste", "Dossier", "def"), value);
        ini.WriteString("Rip", "Format", value);  // a key added, not replaced
        EXPECT_EQ(ini.ReadString("Rip", "Format", "def"), value);
        std::filesystem::remove(path);
    }
    // Plain values are written as they are.
    ini.WriteString("Liste", "Dossier", "/music/x y");
    EXPECT_EQ(text(), "[Liste]\r\nDossier=/music/x y\r\n");
    ini.WriteString("Liste", "Dossier", "/music/x ");
    EXPECT_EQ(text(), "[Liste]\r\nDossier=\"/music/x \"\r\n");
}

TEST_F(Settings, WritersAtOnceLoseNothing)
{
    // Processes write keys of their own as fast as they can, through the path or each through a
    // link of its own to the file; every key must be there.
    const struct {
        const char* name;
        int writers, keys;
        bool links;
    } rows[] = {
        {"two through the path", 2, 150, false},
        {"eight through links of their own", 8, 40, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(path);
        std::vector<pid_t> writers;
        for (int w = 0; w < row.writers; ++w) {
            std::string mine = path;
            if (row.links) {
                mine = t.dir("writer" + std::to_string(w)) + "/Sonoverne.ini";
                std::filesystem::create_symlink(path, mine);
            }
            const pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                int code = 0;
                try {
                    IniFile writer(mine);
                    for (int i = 0; i < row.keys; ++i)
                        writer.WriteInteger("W" + std::to_string(w), "Cle" + std::to_string(i), i);
                } catch (...) {
                    code = 1;
                }
                _exit(code);
            }
            writers.push_back(pid);
        }
        for (pid_t pid : writers) {
            int status = 0;
            ASSERT_EQ(waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        int lost = 0;
        for (int w = 0; w < row.writers; ++w)
            for (int i = 0; i < row.keys; ++i)
                lost += ini.ReadInteger("W" + std::to_string(w), "Cle" + std::to_string(i), -1) != i;
        EXPECT_EQ(lost, 0);
    }
}

TEST_F(Settings, AFifoOrDeviceInPlaceOfTheFileHoldsNothingUp)
{
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    // A child that would wait for ever on the FIFO is ended by the alarm.
    EXPECT_EQ(inChild([&] {
                  alarm(20);
                  if (ini.ReadString("Liste", "Dossier", "def") != "def") return 1;
                  if (errorOf([&] { ini.WriteString("Liste", "Dossier", "/m"); }) !=
                      "Impossible d'écrire le fichier " + path + " : N'est pas un fichier ordinaire")
                      return 2;
                  return ini.ReadInteger("CDDB", "Serveur", 5) == 5 ? 0 : 3;
              }),
              0);
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // A link to a device gives the defaults too.
    IniFile device("/dev/zero");
    EXPECT_EQ(device.ReadString("Liste", "Dossier", "def"), "def");

    // A write through a link to a FIFO, a device, a folder or a link loop is refused before
    // anything is made, beside the link or beside what it leads to, and says it could not write.
    std::filesystem::remove(path);
    const std::string elsewhere = t.dir("elsewhere");
    const std::string notAFile = "N'est pas un fichier ordinaire";
    std::vector<std::pair<std::string, std::string>> nodes{
        {elsewhere + "/fifo", notAFile},
        {t.dir("elsewhere/folder"), "Est un dossier"},
        {elsewhere + "/loop", "Trop de niveaux de liens symboliques"}};
    ASSERT_EQ(mkfifo(nodes[0].first.c_str(), 0600), 0);
    std::filesystem::create_symlink("loop", nodes[2].first);
    if (geteuid() == 0) {
        nodes.emplace_back(elsewhere + "/zero", notAFile);
        ASSERT_EQ(mknod(nodes.back().first.c_str(), S_IFCHR | 0600, makedev(1, 5)), 0);
    }
    for (const auto& [node, why] : nodes) {
        SCOPED_TRACE(node);
        std::filesystem::remove(path);
        std::filesystem::create_symlink(node, path);
        EXPECT_EQ(inChild([&, why = why] {
                      alarm(20);
                      return errorOf([&] { ini.WriteString("Liste", "Dossier", "/m"); }) ==
                                     "Impossible d'écrire le fichier " + path + " : " + why
                                 ? 0
                                 : 1;
                  }),
                  0);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(elsewhere), {}), long(nodes.size()));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.root()), {}), 2);
    }

    // The lock is never taken through a link planted under its name.
    std::filesystem::remove(path);
    std::filesystem::create_symlink(elsewhere + "/planted", path + ".lock");
    EXPECT_THROW(ini.WriteString("Liste", "Dossier", "/m"), IniFileError);
    EXPECT_FALSE(std::filesystem::exists(elsewhere + "/planted"));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Settings, WithoutHomeTheHomeComesFromThePasswordDatabase)
{
    EnvironmentGuard xdg("XDG_CONFIG_HOME");
    EnvironmentGuard home("HOME");
    const struct passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    const std::string expected = std::string(user->pw_dir) + "/.config/Sonoverne.ini";
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(platform::settingsFilePath("Sonoverne.ini"), expected);
    // An empty or relative HOME is no home either.
    for (const char* value : {"", "relative/home"}) {
        setenv("HOME", value, 1);
        EXPECT_EQ(platform::settingsFilePath("Sonoverne.ini"), expected) << value;
    }
    setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(platform::settingsFilePath("Sonoverne.ini"), expected);
}

TEST_F(Settings, ASymbolicLinkStaysALinkAndItsTargetIsWritten)
{
    const std::string real = t.file("elsewhere/real.ini", "[Liste]\r\nDossier=/m\r\n");
    // Relative, and through a second link.
    std::filesystem::create_symlink("hop.ini", path);
    std::filesystem::create_symlink("elsewhere/real.ini", t.path("hop.ini"));
    ini.WriteString("Rip", "Dossier", "/r");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_TRUE(std::filesystem::is_symlink(t.path("hop.ini")));
    EXPECT_EQ(TempTree::read(real), "[Liste]\r\nDossier=/m\r\n\r\n[Rip]\r\nDossier=/r\r\n");
    EXPECT_EQ(ini.ReadString("Rip", "Dossier", "?"), "/r");
    // The writers' lock is beside the file written, where writers through other links find it.
    EXPECT_TRUE(std::filesystem::is_regular_file(real + ".lock"));
    EXPECT_FALSE(std::filesystem::exists(path + ".lock"));

    // A dangling link: the file it names is made.
    std::filesystem::remove(path);
    std::filesystem::create_symlink(t.path("made/new.ini"), path);
    std::filesystem::create_directory(t.path("made"));
    ini.WriteString("Liste", "Dossier", "/n");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(TempTree::read(t.path("made/new.ini")), "[Liste]\r\nDossier=/n\r\n");
}

}  // namespace
