// The CD extraction window as a user drives it, on generated BIN/CUE discs and a loopback CDDB
// server: look-ups and the local cache, the chooser and the identity editor, file names from the
// template, runs to MP3 (read back by mutagen and lame) and WAV (byte for byte), and stops.
#include "AppTestMain.h"
#include "CDInfo.h"
#include "CdImages.h"
#include "CdRipTesting.h"
#include "CddbLoopbackServer.h"
#include "Dialogs.h"
#include "FifoWatchdog.h"
#include "FileSystem.h"
#include "Guard.h"
#include "IniFile.h"
#include "Unit1.h"
#include "Unit11.h"
#include "Unit19.h"
#include "Unit22.h"
#include "Unit23.h"
#include "Unit24.h"
#include "variable.h"

#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cdio/logging.h>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

namespace fs = std::filesystem;
using cdtest::CddbServer;
using Strings = std::vector<std::string>;
using ::testing::HasSubstr;

namespace {

std::string tempRoot;
cdtest::DiscSet* Discs = nullptr;

std::string read(const std::string& path)
{
    const std::vector<uint8_t> b = cdtest::readFile(path);
    return std::string(b.begin(), b.end());
}

QString titleOf(int row) { return Form11->ListView1->topLevelItem(row)->text(1); }

Strings rowTitles()
{
    Strings out;
    for (int i = 0; i < Form11->ListView1->topLevelItemCount(); ++i) {
        EXPECT_EQ(Form11->ListView1->topLevelItem(i)->text(0), QString::number(i + 1));
        out.push_back(titleOf(i).toStdString());
    }
    return out;
}

Strings boxTexts()
{
    Strings out;
    for (const ui::ShownBox& b : ui::Dialogs::shown()) out.push_back((b.caption + "|" + b.text).toStdString());
    return out;
}

// The closing box of a run: its first line, then the files named with why.
std::string closing(const std::string& head, const Strings& named = {})
{
    std::string text = "Sonoverne|" + head;
    if (!named.empty()) text += "\r\n\r\nCes fichiers n'ont pas pu être extraits ou étiquetés :";
    for (const std::string& line : named) text += "\r\n" + line;
    return text;
}

// A folder made for a case, on which a small disk may be mounted (as root only): unmounted, and
// the folder writable again, when it goes.
struct MountedDisk {
    explicit MountedDisk(const std::string& folder) : dir(folder) { fs::create_directories(dir); }
    MountedDisk(const MountedDisk&) = delete;
    MountedDisk& operator=(const MountedDisk&) = delete;
    std::string dir;
    bool mounted = false;
    void mount(unsigned long flags, const char* size)
    {
        mounted = ::mount("tmpfs", dir.c_str(), "tmpfs", flags, size) == 0;
        EXPECT_TRUE(mounted) << std::strerror(errno);
    }
    ~MountedDisk()
    {
        if (mounted) umount2(dir.c_str(), MNT_DETACH);
        fs::permissions(dir, fs::perms::owner_all);
    }
};

// Whether this process holds the file open.
bool heldOpen(const std::string& path)
{
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(fd.path(), ec).string() == path) return true;
    }
    return false;
}

// mutagen's reading of an MP3's tag.
QJsonObject probe(const std::string& path)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(TAG_PROBE), QStringLiteral("dump"), "x" + QByteArray::fromStdString(path).toHex()});
    p.waitForFinished(-1);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// Saves a window's picture beside the build, and checks that no caption of it is cut short.
void grab(QWidget* window, const char* name)
{
    window->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->grab().save(QString(SCREENSHOT_DIR) + "/" + name + ".png")) << name;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->isVisible() && !label->wordWrap() && !label->text().isEmpty()) {
            EXPECT_GE(label->width(), label->sizeHint().width()) << name << ": " << label->text().toStdString();
        }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (button->isVisible()) {
            EXPECT_GE(button->width(), button->sizeHint().width()) << name << ": " << button->text().toStdString();
        }
}

const char* const Entry = "210 rock %1 CD database entry follows (until terminating `.')\r\n"
                          "# xmcd\r\n"
                          "DTITLE=Les \xC9toiles / Nuit \xE0 Paris\r\n"
                          "TTITLE0=Ouverture\r\n"
                          "TTITLE1=AC/DC: Live?\r\n"
                          "TTITLE2=..\r\n"
                          ".\r\n";

class CdWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::Dialogs::clearScript();
        fs::remove_all(cacheFolder());
        rip_ = tempRoot + "/rip" + std::to_string(++serial_);
        fs::create_directories(rip_);
        RipFolder = rip_;
        CddbServerIndex = 0;
        Form24->ComboBox1->setItemText(0, server_.base());
        Form19->Edit1->setText(QStringLiteral("%1\\%2\\%4 - %6"));
        Form11->CheckBox1->setChecked(true);
        Form11->Show();
        useDisc(0);
        server_.targets.clear();
    }
    void TearDown() override
    {
        Form11->Hide();
        Form22->Hide();
        Form23->Hide();
        ui::Dialogs::clearScript();
    }
    static std::string cacheFolder() { return tempRoot + "/prog/CDDBLOCAL/"; }
    std::string cacheFile() const { return cacheFolder() + Form11->DiscIdText + ".jbd"; }

    // Chooses the drive of test disc i in the drive box, as a user does.
    static void useDisc(size_t i)
    {
        const int at = Form11->CbBoxActiveCDRom->findText(QString(QChar(Discs->letter(i))));
        ASSERT_GE(at, 0);
        Form11->CbBoxActiveCDRom->setCurrentIndex(at);
        ui::guarded([] { Form11->CbBoxActiveCDRomChange(); });
    }
    void answer(const QByteArray& query, const QByteArray& read = {})
    {
        server_.answers["query"] = {CddbServer::http(query)};
        server_.answers["read"] = {CddbServer::http(read)};
    }
    QByteArray entry(const char* category = "rock") const
    {
        return QByteArray(Entry).replace("rock", category).replace("%1", QByteArray::fromStdString(Form11->DiscIdText));
    }
    std::string cacheBytes(const std::string& artist, int count, const Strings& titles, const std::string& category,
                           const std::string& album) const
    {
        std::string s = Form11->DiscIdText + "\r\n" + artist + "\r\n" + std::to_string(count) + "\r\n";
        for (const std::string& t : titles) s += t + "\r\n";
        return s + category + "\r\n" + album + "\r\n";
    }
    // Runs the extraction; action runs once while the run is under way.
    void run(const std::function<void()>& during = {})
    {
        bool done = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (!done && Form11->Running() && during) {
                done = true;
                during();
            }
        });
        timer.start(0);
        // Window messages are polled at most every 10 ms: once that long has passed, the rip's
        // first chunk lets the action in, however short the rip.
        if (during) QThread::msleep(11);
        Form11->Button1->click();
        timer.stop();
    }

    CddbServer server_;
    std::string rip_;
    static int serial_;
};
int CdWindow::serial_ = 0;

const Strings Defaults = {"Track1", "Track2", "Track3"};
const Strings Titles = {"Ouverture", "AC/DC: Live?", ".."};

TEST_F(CdWindow, OpeningShowsTheDrivesAndTheDefaults)
{
    ASSERT_GE(Form11->CbBoxActiveCDRom->count(), int(Discs->discs.size()));
    for (int i = 1; i < Form11->CbBoxActiveCDRom->count(); ++i)
        EXPECT_LT(Form11->CbBoxActiveCDRom->itemText(i - 1), Form11->CbBoxActiveCDRom->itemText(i));
    EXPECT_EQ(rowTitles(), Defaults);
    EXPECT_EQ(Form11->LabelTrackCD->text(), QStringLiteral("3 piste(s)"));
    EXPECT_EQ(Form11->Edit1->text(), QStringLiteral("Inconnu"));
    EXPECT_EQ(Form11->Edit2->text(), QStringLiteral("Inconnu"));
    EXPECT_TRUE(Form11->Edit1->isEnabled() && Form11->Edit1->isReadOnly());
    EXPECT_EQ(Form11->DiscIdText.size(), 8u);
    EXPECT_EQ(Form11->Label14->text().toStdString(), Form11->DiscIdText);
    // The drive box moves the ripper, and the encoder keeps the settings the window shows.
    auto choose = [](QComboBox* box, int item) {
        box->setCurrentIndex(item);
        emit box->activated(item);
    };
    choose(Form11->ComboBox4, 3);
    choose(Form11->ComboBox1, 2);
    useDisc(4);
    EXPECT_EQ(Form11->MP3Coder1->Mode(), TMP3CoderMode::MONO);
    EXPECT_EQ(Form11->MP3Coder1->SampleRate, 22050u);
    choose(Form11->ComboBox4, 0);
    choose(Form11->ComboBox1, 0);
    EXPECT_EQ(Form11->ListView1->topLevelItemCount(), 99);
    EXPECT_EQ(titleOf(98), QStringLiteral("Track99"));
    EXPECT_EQ(Form11->CDRipper1->Tracks.Count(), 99);
    // The same drive again reads the disc again, the ripper too: it may have changed.
    Form11->CDRipper1->Tracks.Clear();
    useDisc(4);
    EXPECT_EQ(Form11->CDRipper1->Tracks.Count(), 99);
    useDisc(3);
    EXPECT_EQ(Form11->CDRipper1->Tracks.Count(), 1);
    // Reopening selects the first drive, and the ripper follows it: what is shown is ripped.
    Form11->Hide();
    Form11->Show();
    EXPECT_EQ(Form11->CbBoxActiveCDRom->currentIndex(), 0);
    EXPECT_EQ(Form11->CDRipper1->ActiveCdRomNum(), 0);
    EXPECT_EQ(Form11->CDRipper1->Tracks.Count(), Form11->DiscTrackCount);
    // With no CD drive the window says so and closes.
    Form11->Hide();
    const std::string images = std::getenv("SONOVERNE_CD_IMAGES");
    setenv("SONOVERNE_CD_IMAGES", "", 1);
    if (cdaudio::cdSources().empty()) {
        Form11->Show();
        QCoreApplication::processEvents();
        EXPECT_FALSE(Form11->isVisible());
        EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Aucun Lecteur de CD-Rom disponible"});
    }
    setenv("SONOVERNE_CD_IMAGES", images.c_str(), 1);
}

TEST_F(CdWindow, LookUpsThroughTheServerAndTheCache)
{
    struct Case {
        const char* name;
        QByteArray query;  // the query's reply; %1 is the disc id
        int choose;        // line to pick in the chooser, or -1 when none is shown
        Strings matches;   // the chooser's lines
        Strings rows;
        const char* artist;
        const char* album;
        Strings boxes;  // message boxes
        bool cached;
    } cases[] = {
        {"exact",
         "200 rock %1 Les Etoiles / Nuit\r\n",
         -1,
         {},
         Titles,
         "Les \xC3\x89toiles",
         "Nuit \xC3\xA0 Paris",
         {},
         true},
        {"several",
         "210 Found exact matches\r\nrock %1 A / B\r\njazz %1 C / D\r\nfolk %1 E / F\r\n.\r\n",
         1,
         {"rock %1 A / B", "jazz %1 C / D", "folk %1 E / F"},
         Titles,
         "Les \xC3\x89toiles",
         "Nuit \xC3\xA0 Paris",
         {},
         true},
        {"inexact",
         "211 close matches found\r\nrock %1 A / B\r\njazz %1 C / D\r\n.\r\n",
         0,
         {"rock %1 A / B", "jazz %1 C / D"},
         Titles,
         "Les \xC3\x89toiles",
         "Nuit \xC3\xA0 Paris",
         {},
         true},
        {"no match",
         "202 No match for disc ID %1.\r\n",
         -1,
         {},
         Defaults,
         "Inconnu",
         "Inconnu",
         {"Erreur|Aucun CD éxistant n'a été trouvé"},
         false},
        {"server error",
         "",
         -1,
         {},
         Defaults,
         "Inconnu",
         "Inconnu",
         {"Sonoverne|HTTP/1.1 500 Internal Server Error."},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(cacheFolder());
        useDisc(0);
        ui::Dialogs::clearScript();
        server_.targets.clear();
        const QByteArray id = QByteArray::fromStdString(Form11->DiscIdText);
        const std::string category = c.choose == 1 ? "jazz" : "rock";
        answer(QByteArray(c.query).replace("%1", id), entry(category.c_str()));
        if (QByteArray(c.name) == "server error")
            server_.answers["query"] = {
                "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"};
        Form11->Button3->click();
        EXPECT_EQ(Form22->isVisible(), c.choose >= 0);
        if (c.choose >= 0) {
            Strings lines;
            for (int i = 0; i < Form22->ListBox1->count(); ++i)
                lines.push_back(Form22->ListBox1->item(i)->text().toStdString());
            Strings expected;
            for (const std::string& m : c.matches)
                expected.push_back(QString::fromStdString(m).replace("%1", QString(id)).toStdString());
            EXPECT_EQ(lines, expected);
            EXPECT_EQ(server_.targets.size(), 1u);
            if (c.matches.size() == 3) grab(Form22, "cd-chooser");
            Form22->ListBox1->setCurrentRow(c.choose);
            Form22->Button1->click();
            EXPECT_FALSE(Form22->isVisible());
            ASSERT_EQ(server_.targets.size(), 2u);
            EXPECT_THAT(server_.targets[1], HasSubstr("cmd=cddb+read+" + category + "+" + Form11->DiscIdText + "+"));
        }
        EXPECT_EQ(rowTitles(), c.rows);
        EXPECT_EQ(Form11->Edit2->text().toStdString(), c.artist);
        EXPECT_EQ(Form11->Edit1->text().toStdString(), c.album);
        EXPECT_EQ(boxTexts(), c.boxes);
        EXPECT_EQ(Form11->LabelTrackCD->text(),
                  QByteArray(c.name) == "server error" ? QString() : QStringLiteral("3 piste(s)"));
        if (!c.cached) {
            EXPECT_FALSE(platform::fileExists(cacheFile()));
            continue;
        }
        EXPECT_EQ(read(cacheFile()), cacheBytes("Les \xC3\x89toiles", 3, Titles, category, "Nuit \xC3\xA0 Paris"));
        if (c.choose < 0) grab(Form11, "cd-window");
        // Reopened: the cache answers, the server is not asked.
        server_.targets.clear();
        Form11->Hide();
        Form11->Show();
        useDisc(0);
        EXPECT_EQ(rowTitles(), c.rows);
        EXPECT_EQ(Form11->Edit2->text().toStdString(), c.artist);
        EXPECT_EQ(Form11->Edit1->text().toStdString(), c.album);
        EXPECT_EQ(Form11->CachedCategory().toStdString(), category);
        EXPECT_TRUE(server_.targets.empty());
    }
    // "OK" with no line chosen asks nothing and changes nothing.
    answer("211 close\r\nrock x A\r\n.\r\n");
    server_.targets.clear();
    Form11->Button3->click();
    ASSERT_TRUE(Form22->isVisible());
    Form22->ListBox1->clearSelection();
    Form22->ListBox1->setCurrentItem(nullptr);
    Form22->Button1->click();
    EXPECT_FALSE(Form22->isVisible());
    EXPECT_EQ(server_.targets.size(), 1u);
    // A server index outside the list: the index error, no request.
    ui::Dialogs::clearScript();
    CddbServerIndex = 18;
    Form11->Button3->click();
    EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Index de liste hors limites (18)."});
    EXPECT_EQ(server_.targets.size(), 1u);
}

// A look-up that gives no whole entry, or that the user stops while the server is silent,
// changes neither the rows nor the cache, and says so. While it waits the window takes clicks:
// "Annuler" and the close box stop it; what would start work or change the disc's identity is
// refused.
TEST_F(CdWindow, AFailedOrStoppedLookUpChangesNothing)
{
    const QByteArray id = QByteArray::fromStdString(Form11->DiscIdText);
    const auto http = [](const QByteArray& bytes) { return cdtest::Answer{CddbServer::http(bytes)}; };
    const cdtest::Answer exact = http("200 rock " + id + " A / B\r\n"),
                         several = http("210 Found\r\nrock " + id + " A / B\r\n.\r\n"), silent{{}, true},
                         noEntry = http("401 No such CD entry.\r\n");
    const std::function<void()> annuler = [] { Form11->Button2->click(); }, closeBox = [] { Form11->close(); };
    const std::string noSuchEntry = "Le serveur CDDB n'a pas donné l'entrée de ce disque : 401 No such CD entry.",
                      stoppedBox = "La recherche CDDB a été interrompue : rien n'a été changé.";
    const struct {
        const char* name;
        cdtest::Answer query, read;
        std::function<void()> stop;  // once the server holds the request it leaves unanswered
        std::string box;
    } cases[] = {
        {"no such entry", exact, noEntry, {}, noSuchEntry},
        {"no entry lines",
         exact,
         http("210 rock " + id + " CD database entry follows\r\n.\r\n"),
         {},
         "L'entrée reçue du serveur CDDB est incomplète (titres ou fin manquants) : elle est refusée."},
        {"chosen, no such entry", several, noEntry, {}, noSuchEntry},
        {"silent query, Annuler", silent, {}, annuler, stoppedBox},
        {"silent read, close box", exact, silent, closeBox, stoppedBox},
        {"chosen, silent read, Annuler", several, silent, annuler, stoppedBox},
    };
    const Strings typed = {"Un", "Deux", "Trois"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(cacheFolder());
        fs::create_directories(cacheFolder());
        const std::string kept = cacheBytes("Moi", 3, typed, "jazz", "Mien");
        std::ofstream(cacheFile(), std::ios::binary) << kept;
        Form11->Show();
        useDisc(0);
        ASSERT_EQ(rowTitles(), typed);
        server_.answers["query"] = c.query;
        server_.answers["read"] = c.read;
        server_.targets.clear();
        ui::Dialogs::clearScript();
        const size_t requests = c.query.hang ? 1 : 2;
        bool stopped = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!c.stop || stopped || server_.targets.size() < requests) return;
            stopped = true;
            // Extraire, by hand and by code; the look-up again; the drive box; the title's
            // editor; the chooser's OK.
            QTest::mouseClick(Form11->Button1, Qt::LeftButton);
            ui::guarded([] { Form11->Button1Click(); });
            QTest::mouseClick(Form11->Button3, Qt::LeftButton);
            QTest::keyClick(Form11->CbBoxActiveCDRom, Qt::Key_Down);
            Form11->ListView1->topLevelItem(0)->setSelected(true);
            QTest::keyClick(Form11->ListView1, Qt::Key_Return);
            if (Form22->isVisible()) QTest::mouseClick(Form22->Button1, Qt::LeftButton);
            c.stop();
        });
        poll.start(5);
        Form11->Button3->click();
        if (c.query.bytes == several.bytes) {
            ASSERT_TRUE(Form22->isVisible());
            Form22->ListBox1->setCurrentRow(0);
            Form22->Button1->click();
        }
        poll.stop();
        EXPECT_EQ(stopped, bool(c.stop));
        EXPECT_EQ(boxTexts(), Strings{"Sonoverne|" + c.box});
        EXPECT_EQ(server_.targets.size(), requests);
        EXPECT_TRUE(fs::is_empty(rip_));
        EXPECT_FALSE(Form23->isVisible());
        EXPECT_EQ(Form11->isVisible(), !c.stop);
        EXPECT_EQ(read(cacheFile()), kept);
        EXPECT_EQ(rowTitles(), typed);
        EXPECT_EQ(Form11->Edit2->text(), QStringLiteral("Moi"));
        EXPECT_EQ(Form11->Edit1->text(), QStringLiteral("Mien"));
    }
}

// How an entry's text is taken apart is the rule's (cdaudio_rules_test): here, the file and
// what the window shows of it.
TEST_F(CdWindow, CacheFilesAsTheyAreFound)
{
    // An entry of the given size: one title, then a last line long enough.
    auto padded = [](size_t size) {
        std::string s = "x\r\nArt\r\n1\r\nA\r\nc\r\nAl\r\n";
        return s + std::string(size - s.size(), 'p');
    };
    const std::string Fifo = "<fifo>";  // the entry is made a FIFO
    struct Case {
        const char* name;
        std::string bytes;
        Strings rows;
        const char* artist;
        const char* album;
        const char* category;
        const char* error;
    } cases[] = {
        {"control characters", "x\rA\tB\r2\rt\x01\x31\rt2\rc\rAl\r", {"t 1", "t2"}, "A B", "Al", "c", nullptr},
        {"byte order marks",
         "\xEF\xBB\xBF"
         "x\r\n\xEF\xBB\xBF"
         "Art\r\n1\r\nA\r\n\xEF\xBB\xBF\x63\r\nAl\xFF\r\n",
         {"A"},
         "Art",
         "Al\xEF\xBF\xBD",
         "\xEF\xBB\xBF\x63",
         nullptr},
        // An entry that cannot be read is told, and the disc shown with its default titles.
        {"bad count", "x\r\nArt\r\ntwelve\r\nT1\r\n", Defaults, "Inconnu", "Inconnu", "Inconnu",
         "Le fichier %f est endommagé : 'twelve' n'est pas une valeur entière correcte"},
        {"1 MiB", padded(1 << 20), {"A"}, "Art", "Al", "c", nullptr},
        {"over 1 MiB", padded((1 << 20) + 1), Defaults, "Inconnu", "Inconnu", "Inconnu",
         "Le fichier %f dépasse 1024 Kio : il est refusé"},
        {"a FIFO", Fifo, Defaults, "Inconnu", "Inconnu", "Inconnu",
         "Impossible de lire le fichier %f : N'est pas un fichier ordinaire"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::Dialogs::clearScript();
        fs::remove_all(cacheFolder());
        fs::create_directories(cacheFolder());
        if (c.bytes == Fifo) ASSERT_EQ(mkfifo(cacheFile().c_str(), 0600), 0);
        else std::ofstream(cacheFile(), std::ios::binary) << c.bytes;
        const testutil::FifoWatchdog watchdog({cacheFile()});
        Form11->ListView1->clear();
        ui::guarded([] { Form11->LoadLocalCddbEntry(); });
        EXPECT_FALSE(watchdog.fired());
        EXPECT_EQ(rowTitles(), c.rows);
        EXPECT_EQ(Form11->Edit2->text().toStdString(), c.artist);
        EXPECT_EQ(Form11->Edit1->text().toStdString(), c.album);
        EXPECT_EQ(Form11->CachedCategory().toStdString(), c.category);
        const QString error =
            QString::fromUtf8(c.error ? c.error : "").replace("%f", QString::fromStdString(cacheFile()));
        EXPECT_EQ(boxTexts(),
                  c.error ? Strings{"Sonoverne|" + error.toStdString() + ". Les titres par défaut sont affichés."}
                          : Strings{});
        EXPECT_FALSE(heldOpen(cacheFile()));
    }
    // A folder in the entry's place: the look-up's entry cannot be written, and the box says why
    // in French.
    fs::remove_all(cacheFolder());
    fs::create_directories(cacheFile());
    answer(QByteArray("200 rock ") + QByteArray::fromStdString(Form11->DiscIdText) + " A / B\r\n", entry());
    ui::Dialogs::clearScript();
    Form11->Button3->click();
    EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Impossible d'écrire le fichier " + cacheFile() + " : Est un dossier."});
    // A link in the entry's place is replaced by the entry; the file it names stays as it was,
    // and being read-only, does not hold the link's replacement.
    fs::remove_all(cacheFolder());
    fs::create_directories(cacheFolder());
    const std::string victim = tempRoot + "/victim.jbd";
    std::ofstream(victim) << "keep";
    fs::permissions(victim, fs::perms::owner_read);
    fs::create_symlink(victim, cacheFile());
    ui::Dialogs::clearScript();
    Form11->Button3->click();
    EXPECT_EQ(boxTexts(), Strings{});
    EXPECT_EQ(read(victim), "keep");
    EXPECT_FALSE(fs::is_symlink(cacheFile()));
    EXPECT_EQ(read(cacheFile()), cacheBytes("Les \xC3\x89toiles", 3, Titles, "rock", "Nuit \xC3\xA0 Paris"));
}

TEST_F(CdWindow, IdentityEditorRewritesTheCache)
{
    // An entry of more titles than the disc has tracks is shown first: the server's entry then
    // counts the disc's tracks, and the edits keep that count.
    fs::create_directories(cacheFolder());
    std::ofstream(cacheFile(), std::ios::binary) << cacheBytes("Art", 5, {"A", "B", "C", "D", "E"}, "rock", "Alb");
    useDisc(0);
    ASSERT_EQ(Form11->TitleCount, 5);
    answer(QByteArray("200 rock ") + QByteArray::fromStdString(Form11->DiscIdText) + " A / B\r\n", entry("newage"));
    Form11->Button3->click();
    ASSERT_EQ(rowTitles(), Titles);
    const std::string artist = "Les \xC3\x89toiles", album = "Nuit \xC3\xA0 Paris";
    struct Step {
        const char* name;
        std::function<void()> open;
        const char* caption;
        const char* shown;  // the editor's text when it opens
        const char* typed;
        bool ok;
        Strings titles;
        const char* album;
        int selected;  // the selected row after it, or -1
    } steps[] = {
        {"first title",
         [] {
             Form11->ListView1->topLevelItem(0)->setSelected(true);
             Form11->ListView1KeyUp(13);
         },
         "Changement de titre de piste",
         "Ouverture",
         "Prologue",
         true,
         {"Prologue", Titles[1], Titles[2]},
         "Nuit \xC3\xA0 Paris",
         1},
        {"next title by Enter",
         [] { QTest::keyRelease(Form11->ListView1, Qt::Key_Enter); },
         "Changement de titre de piste",
         "AC/DC: Live?",
         "Deux",
         true,
         {"Prologue", "Deux", Titles[2]},
         "Nuit \xC3\xA0 Paris",
         2},
        {"last title",
         [] { Form11->ListView1DblClick(); },
         "Changement de titre de piste",
         "..",
         "Fin",
         true,
         {"Prologue", "Deux", "Fin"},
         "Nuit \xC3\xA0 Paris",
         2},
        {"album, cancelled",
         [] { Form11->Button4Click(); },
         "Changement du nom de l'album",
         "Nuit \xC3\xA0 Paris",
         "Jour",
         false,
         {"Prologue", "Deux", "Fin"},
         "Nuit \xC3\xA0 Paris",
         2},
        {"album",
         [] { Form11->Button4Click(); },
         "Changement du nom de l'album",
         "Nuit \xC3\xA0 Paris",
         "Jour",
         true,
         {"Prologue", "Deux", "Fin"},
         "Jour",
         2},
    };
    std::string before = read(cacheFile());
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        s.open();
        ASSERT_TRUE(Form23->isVisible());
        if (s.ok && s.selected == 1) grab(Form23, "cd-identity-editor");
        EXPECT_EQ(Form23->Caption().toStdString(), s.caption);
        EXPECT_EQ(Form23->Edit1->text().toStdString(), s.shown);
        Form23->Edit1->QLineEdit::setText(QString::fromUtf8(s.typed));
        (s.ok ? Form23->Button1 : Form23->Button2)->click();
        EXPECT_FALSE(Form23->isVisible());
        EXPECT_EQ(rowTitles(), s.titles);
        EXPECT_EQ(Form11->Edit1->text().toStdString(), s.album);
        const QList<QTreeWidgetItem*> sel = Form11->ListView1->selectedItems();
        ASSERT_EQ(sel.size(), 1);
        EXPECT_EQ(Form11->ListView1->indexOfTopLevelItem(sel[0]), s.selected);
        const std::string now = read(cacheFile());
        if (s.ok) EXPECT_EQ(now, cacheBytes(artist, 3, s.titles, "newage", s.album));
        else EXPECT_EQ(now, before);
        before = now;
    }
    // The artist, with the Enter key.
    Form11->Button5Click();
    EXPECT_EQ(Form23->Caption(), QStringLiteral("Changement du nom de l'artiste"));
    Form23->Edit1->QLineEdit::setText(QStringLiteral("X"));
    QTest::keyRelease(Form23->Edit1, Qt::Key_Return);
    EXPECT_EQ(Form11->Edit2->text(), QStringLiteral("X"));
    // A write that fails is reported, and leaves neither a half file nor a file aside.
    ui::Dialogs::clearScript();
    fs::remove(cacheFile());
    fs::create_directories(cacheFile() + "/in the way");
    Form11->Button4Click();
    Form23->Button1->click();
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_THAT(boxTexts()[0], HasSubstr("Impossible d'écrire le fichier " + cacheFile()));
    EXPECT_EQ(std::distance(fs::directory_iterator(cacheFolder()), fs::directory_iterator()), 1);
    fs::remove_all(cacheFile());
}

// A look-up, the chooser and the identity editor are of the disc they began with: when the drive
// holds another one as they end, nothing is saved under either disc's id, the user is told, and
// the rows are still those of a disc's own. "Extraire" then rips nothing under them.
TEST_F(CdWindow, TheDiscChangesBeforeItsIdentityIsSaved)
{
    const std::string sheet = read(Discs->discs[0].cue);
    // Drive D holds disc i (the first one: its own again).
    auto put = [&](size_t i) {
        std::ofstream(Discs->discs[0].cue, std::ios::binary) << (i ? read(Discs->discs[i].cue) : sheet);
    };
    const QByteArray a = QByteArray::fromStdString(Form11->DiscIdText);
    const QByteArray several = "210 Found exact matches\r\nrock " + a + " A / B\r\n.\r\n";
    const Strings single = {"Track1"};  // what disc B, of one track, shows of its own
    struct Case {
        const char* name;
        QByteArray query;
        std::function<void()> act;  // with disc A shown; B is in the drive when it ends
        const char* moment;
        Strings rows;
    } cases[] = {
        {"during the look-up", "200 rock " + a + " A / B\r\n",
         [&] {
             Form11->CDDBConnect1.OnSendData = [&](TCDDBConnect*, const std::string&) { put(3); };
             Form11->Button3->click();
         },
         "pendant la recherche CDDB", Defaults},
        {"during a look-up of several", several,
         [&] {
             Form11->CDDBConnect1.OnSendData = [&](TCDDBConnect*, const std::string&) { put(3); };
             Form11->Button3->click();
         },
         "pendant la recherche CDDB", Defaults},
        // B is the disc the query reads, A again when its answer comes: the answer is B's.
        {"asked for another disc", "200 rock " + a + " A / B\r\n",
         [&] {
             QTimer::singleShot(0, [&] { put(3); });
             Form11->CDDBConnect1.OnSendData = [&](TCDDBConnect*, const std::string&) { put(0); };
             Form11->Button3->click();
             put(3);
         },
         "pendant la recherche CDDB", Defaults},
        {"with the chooser open", several,
         [&] {
             Form11->Button3->click();
             ASSERT_TRUE(Form22->isVisible());
             put(3);
             Form22->ListBox1->setCurrentRow(0);
             Form22->Button1->click();
         },
         "pendant le choix de l'album", Defaults},
        {"before the editor's OK", "",
         [&] {
             Form11->Button4Click();
             put(3);
             Form23->Edit1->QLineEdit::setText(QStringLiteral("Jour"));
             Form23->Button1->click();
         },
         "pendant la modification", Defaults},
        // B shown with its own rows, then A put back: the editor opened on A changes none of B's.
        {"before the editor's OK, B shown", "",
         [&] {
             Form11->ListView1->topLevelItem(0)->setSelected(true);
             Form11->ListView1KeyUp(13);
             put(3);
             useDisc(0);
             put(0);
             Form11->ListView1->topLevelItem(0)->setSelected(true);
             Form23->Edit1->QLineEdit::setText(QStringLiteral("Prologue"));
             Form23->Button1->click();
         },
         "pendant la modification", single},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(cacheFolder());
        put(0);
        useDisc(0);
        ASSERT_EQ(Form11->DiscIdText, a.toStdString());
        answer(c.query, entry());
        ui::Dialogs::clearScript();
        c.act();
        Form11->CDDBConnect1.OnSendData = nullptr;
        EXPECT_FALSE(Form22->isVisible());
        EXPECT_FALSE(Form23->isVisible());
        EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Le disque du lecteur " + std::string(1, Discs->letter(0)) +
                                      " a changé " + c.moment +
                                      " : rien n'a été enregistré. Choisissez de nouveau le lecteur pour "
                                      "lire le disque qui s'y trouve."});
        EXPECT_FALSE(fs::exists(cacheFolder()) && !fs::is_empty(cacheFolder()));
        EXPECT_EQ(rowTitles(), c.rows);
        EXPECT_EQ(Form11->Edit1->text(), QStringLiteral("Inconnu"));
        if (c.rows == single) continue;
        ui::Dialogs::clearScript();
        run();
        ASSERT_EQ(boxTexts().size(), 1u);
        EXPECT_THAT(boxTexts()[0], HasSubstr("n'est plus celui qui est affiché"));
        EXPECT_TRUE(fs::is_empty(rip_));
    }
    std::ofstream(Discs->discs[0].cue, std::ios::binary) << sheet;
    useDisc(0);
}

// Run by an ordinary user whose program folder is not writable, the cache cannot be written: that
// is told once while the window is shown, and the chooser and the editor close all the same, the
// titles shown.
TEST_F(CdWindow, ACacheThatCannotBeWrittenIsToldOnce)
{
    // The program in a read-only folder; the discs and that folder reached by anyone (root's
    // groups stay this process's), until the test ends however it ends.
    static const std::string prog = tempRoot + "/read-only/";
    struct ReadOnlyProgram {
        const fs::perms reach =
            fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
        ReadOnlyProgram()
        {
            fs::create_directories(prog);
            fs::permissions(prog, fs::perms::owner_write | fs::perms::group_write, fs::perm_options::remove);
            for (const std::string& folder : {tempRoot, Discs->folder})
                fs::permissions(folder, reach, fs::perm_options::add);
            platform::setProgramFolder(prog);
        }
        ~ReadOnlyProgram()
        {
            platform::setProgramFolder(tempRoot + "/prog/");
            for (const std::string& folder : {tempRoot, Discs->folder})
                fs::permissions(folder, reach, fs::perm_options::remove);
        }
    } const readOnly;
    // File access as the user nobody, whom permission bits stop where they do not stop root.
    struct AsNobody {
        const bool root = geteuid() == 0;
        AsNobody()
        {
            if (root) setfsuid(65534);
        }
        ~AsNobody()
        {
            if (root) setfsuid(0);
        }
    };
    const QByteArray id = QByteArray::fromStdString(Form11->DiscIdText);
    const std::string album = "Nuit \xC3\xA0 Paris";
    struct Case {
        const char* name;
        QByteArray query;
        std::function<void()> act;
        Strings rows;
        std::string album;
    } cases[] = {
        {"exact match", "200 rock " + id + " A / B\r\n", [] { Form11->Button3->click(); }, Titles, album},
        {"chooser's OK", "210 Found exact matches\r\nrock " + id + " A / B\r\n.\r\n",
         [] {
             Form11->Button3->click();
             Form22->ListBox1->setCurrentRow(0);
             Form22->Button1->click();
         },
         Titles, album},
        {"editor's OK", "",
         [] {
             Form11->Button4Click();
             Form23->Edit1->QLineEdit::setText(QStringLiteral("Jour"));
             Form23->Button1->click();
         },
         Defaults, "Jour"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Form11->Hide();
        Form11->Show();
        answer(c.query, entry());
        ui::Dialogs::clearScript();
        {
            const AsNobody nobody;
            ASSERT_NE(mkdir((prog + "CDDBLOCAL").c_str(), 0700), 0);
            for (int twice = 0; twice < 2; ++twice) c.act();
        }
        EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Impossible d'écrire le fichier " + prog + "CDDBLOCAL/" +
                                      Form11->DiscIdText + ".jbd : Permission refusée."});
        EXPECT_FALSE(Form22->isVisible());
        EXPECT_FALSE(Form23->isVisible());
        EXPECT_EQ(rowTitles(), c.rows);
        EXPECT_EQ(Form11->Edit1->text().toStdString(), c.album);
    }
}

// The names themselves are the rule's (cdaudio_rules_test): here, the folders they need.
TEST_F(CdWindow, FileNamesStayInTheRipFolder)
{
    struct Case {
        const char* tmpl;
        const char* title;
        const char* expected;  // under the rip folder
    } cases[] = {
        {"%1\\%2\\%4 - %6", "T", "/A/B/03 - T"},
        {"..\\..\\%6", "..\\..\\etc\\x", "/_/_/_/_/etc/x"},
        {"%6 \xC3\xA9t\xC3\xA9", "x", "/x \xC3\xA9t\xC3\xA9"},
        {"\\%6", "T", "//T"},
        {"%6", "", "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tmpl + std::string(" / ") + c.title);
        Form19->Edit1->setText(QString::fromUtf8(c.tmpl));
        const std::string name = Form11->BuildRipFileName(rip_ + "/", QString::fromUtf8(c.title), 3,
                                                          QStringLiteral("A"), QStringLiteral("B"), 20);
        EXPECT_EQ(name, rip_ + c.expected);
        EXPECT_TRUE(platform::folderExists(platform::folderPart(name)));
    }
    EXPECT_FALSE(fs::exists(tempRoot + "/etc"));

    // A title of 300 bytes: its name is cut to fit a folder entry with its extension, at a
    // character's start, and the track is ripped.
    std::string e300;
    for (int i = 0; i < 150; ++i) e300 += "\xC3\xA9";
    fs::create_directories(cacheFolder());
    std::ofstream(cacheFile(), std::ios::binary) << cacheBytes("Art", 1, {e300}, "rock", "Alb");
    Form19->Edit1->setText(QStringLiteral("%4 - %6"));
    Form11->Show();
    useDisc(0);
    Form11->CheckBox2->setChecked(true);
    Form11->ListView1->topLevelItem(0)->setSelected(true);
    run();
    Form11->CheckBox1->setChecked(true);
    EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Extraction des pistes terminée"});
    EXPECT_GT(fs::file_size(rip_ + "/01 - " + e300.substr(0, 244) + ".wav"), 44u);
    fs::remove_all(cacheFolder());
    Form19->Edit1->setText(QStringLiteral("%1\\%2\\%4 - %6"));
    Form19->DirectoryListBox3->setDirectory(rip_);
    grab(Form19, "cd-rip-options");
    Form19->Hide();
    Form24->ComboBox1->setItemText(0, QString::fromLatin1(CddbServers[0]));
    grab(Form24, "cddb-options");
    Form24->Hide();
}

// Each track of a run gets a name of its own that no hidden file has, and its tag holds the
// texts its name was made of, whole. A name the run already wrote, no name at all, or a folder
// that cannot be made is named with why, and the run goes on.
TEST_F(CdWindow, EachTrackGetsANameOfItsOwn)
{
    enum Fault { None, FileInTheWay, ReadOnly };
    const std::string cyrillic = "Прелюдия №1";
    const std::string rofs = geteuid() == 0 ? "Système de fichiers en lecture seule" : "Permission refusée";
    auto noFolder = [](const std::string& why) {
        Strings lines;
        for (const char* t : {"1", "2", "3"})
            lines.push_back("%f/Art/0" + std::string(t) + ".mp3 (le dossier %f/Art n'a pas pu être créé : " + why +
                            ")");
        return lines;
    };
    struct Case {
        const char* name;
        const char* tmpl;
        std::string artist;
        Strings titles;
        Fault fault;
        Strings files;  // under the rip folder
        const char* head;
        Strings named;  // %f: the rip folder
    } cases[] = {
        {"one title three times",
         "%1\\%2\\%6",
         "Art",
         {"Same", "Same", "Same"},
         None,
         {"Art/Alb/Same.mp3"},
         "Extraction des pistes terminée",
         {"%f/Art/Alb/Same.mp3 (ce nom est déjà celui de la piste 1)",
          "%f/Art/Alb/Same.mp3 (ce nom est déjà celui de la piste 1)"}},
        {"no titles",
         "%6",
         "Art",
         {"", "", ""},
         None,
         {},
         "Aucune piste n'a été extraite",
         {"%f/ (la piste 1 n'aurait pas de nom de fichier)", "%f/ (la piste 2 n'aurait pas de nom de fichier)",
          "%f/ (la piste 3 n'aurait pas de nom de fichier)"}},
        {"leading dots",
         "%6",
         "Art",
         {".38 Special", "...", "..x"},
         None,
         {"38 Special.mp3", "x.mp3"},
         "Extraction des pistes terminée",
         {"%f/ (la piste 2 n'aurait pas de nom de fichier)"}},
        {"Cyrillic",
         "%4 - %6",
         "Рахманинов",
         {cyrillic, "Ноктюрн", "Финал"},
         None,
         {"01 - " + cyrillic + ".mp3", "02 - Ноктюрн.mp3", "03 - Финал.mp3"},
         "Extraction des pistes terminée",
         {}},
        {"a file where a folder goes",
         "%1\\%4",
         "Art",
         {"A", "B", "C"},
         FileInTheWay,
         {"Art"},
         "Aucune piste n'a été extraite",
         noFolder("Un élément du chemin n'est pas un dossier")},
        {"a read-only rip folder",
         "%1\\%4",
         "Art",
         {"A", "B", "C"},
         ReadOnly,
         {},
         "Aucune piste n'a été extraite",
         noFolder(rofs)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::Dialogs::clearScript();
        const std::string folder = rip_ + "/" + c.name;
        MountedDisk disk(folder);
        if (c.fault == FileInTheWay) std::ofstream(folder + "/Art") << "keep";
        // Root writes where the permissions say no: a read-only disk is read-only to it too.
        if (c.fault == ReadOnly && geteuid() == 0) disk.mount(MS_RDONLY, "size=64k");
        else if (c.fault == ReadOnly) fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        fs::create_directories(cacheFolder());
        std::ofstream(cacheFile(), std::ios::binary) << cacheBytes(c.artist, 3, c.titles, "rock", "Alb");
        RipFolder = folder;
        Form19->Edit1->setText(QString::fromUtf8(c.tmpl));
        Form11->Show();
        useDisc(0);
        run();
        Strings named;
        for (std::string line : c.named) {
            for (size_t at; (at = line.find("%f")) != std::string::npos;) line.replace(at, 2, folder);
            named.push_back(line);
        }
        EXPECT_EQ(boxTexts(), Strings{closing(c.head, named)});
        Strings made;
        for (const auto& e : fs::recursive_directory_iterator(folder))
            if (e.is_regular_file()) made.push_back(fs::relative(e.path(), folder).string());
        std::sort(made.begin(), made.end());
        EXPECT_EQ(made, c.files);
        if (c.fault == None && !made.empty() && made[0] == "Art/Alb/Same.mp3") {
            EXPECT_EQ(probe(folder + "/" + made[0])["v2"].toObject()["TRCK"].toArray().at(1).toString(),
                      QStringLiteral("1"));
        }
        // mutagen reads every text whole, in UTF-16 where ISO-8859-1 cannot hold it.
        for (size_t t = 0; c.artist != "Art" && t < made.size(); ++t) {
            const QJsonObject v2 = probe(folder + "/" + made[t])["v2"].toObject();
            EXPECT_EQ(v2["TIT2"].toArray(), (QJsonArray{1, QString::fromStdString(c.titles[t])}));
            EXPECT_EQ(v2["TPE1"].toArray(), (QJsonArray{1, QString::fromStdString(c.artist)}));
            EXPECT_EQ(v2["TALB"].toArray(), (QJsonArray{0, QStringLiteral("Alb")}));
        }
    }
    fs::remove_all(cacheFolder());
}

TEST_F(CdWindow, ExtractionToMp3AndWav)
{
    answer(QByteArray("200 rock ") + QByteArray::fromStdString(Form11->DiscIdText) + " A / B\r\n", entry());
    Form11->Button3->click();
    const cdtest::Disc& disc = Discs->discs[0];
    // MP3: rows 1 and 3, tagged; "Extraire" clicked again during the run does nothing.
    Form11->ListView1->topLevelItem(0)->setSelected(true);
    Form11->ListView1->topLevelItem(2)->setSelected(true);
    run([&] {
        EXPECT_EQ(Form11->Label13->text(), QStringLiteral("Piste en cours : N°1"));
        EXPECT_EQ(Form11->RipSelectedCount, 2);
        EXPECT_LE(Form11->ProgressBar2->Position(), 50);
        Form11->Button1->click();
    });
    const std::string folder = rip_ + "/Les \xC3\x89toiles/Nuit \xC3\xA0 Paris/";
    EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Extraction des pistes terminée"});
    EXPECT_FALSE(Form11->isVisible());
    EXPECT_TRUE(Form11->Label13->text().isEmpty());
    EXPECT_EQ(Form11->ProgressBar2->Position(), 100);
    const std::string files[] = {folder + "01 - Ouverture.mp3", folder + "03 - ...mp3"};
    EXPECT_FALSE(fs::exists(folder + "02 - ACDC Live.mp3"));
    for (int k = 0; k < 2; ++k) {
        const std::string& mp3 = files[k];
        SCOPED_TRACE(mp3);
        ASSERT_TRUE(fs::exists(mp3));
        const QJsonObject tag = probe(mp3);
        const QJsonObject v2 = tag["v2"].toObject();
        EXPECT_EQ(v2["TIT2"].toArray().at(1).toString(), k == 0 ? "Ouverture" : "..");
        EXPECT_EQ(v2["TPE1"].toArray().at(1).toString(), QStringLiteral("Les Étoiles"));
        EXPECT_EQ(v2["TALB"].toArray().at(1).toString(), QStringLiteral("Nuit à Paris"));
        EXPECT_EQ(v2["TRCK"].toArray().at(1).toString(), k == 0 ? "1" : "3");
        EXPECT_FALSE(v2.contains("TYER") || v2.contains("TCON") || v2.contains("TDRC"));
        ASSERT_EQ(tag["comments"].toArray().size(), 1);
        EXPECT_EQ(tag["comments"].toArray().at(0).toArray().at(3).toString(),
                  QStringLiteral("Encodé avec Sonoverne : ") + QString::fromStdString(HomePageURL));
        // Decoded back: the track's length, within the codec's delay and last-frame padding.
        const std::string wav = rip_ + "/decoded.wav";
        ASSERT_EQ(std::system(("lame --quiet --decode '" + mp3 + "' '" + wav + "'").c_str()), 0);
        const size_t track = k == 0 ? 1 : 3;
        const long frames = long(disc.trackBytes(track).size() / 4);
        const long decoded = long(fs::file_size(wav) - 44) / 4;
        EXPECT_GE(decoded, frames - 1152);
        EXPECT_LE(decoded, frames + 2 * 1152);
    }

    // WAV, no row selected: every track, byte for byte, with a header that fits.
    ui::Dialogs::clearScript();
    const std::string wavFolder = rip_ + "/wav";
    RipFolder = wavFolder;
    Form19->Edit1->setText(QStringLiteral("%4"));
    Form11->Show();
    useDisc(0);
    Form11->CheckBox2->setChecked(true);
    EXPECT_FALSE(Form11->CheckBox1->isChecked());
    EXPECT_FALSE(Form11->CDRipper1->Encode);
    run();
    Form11->CheckBox1->setChecked(true);
    EXPECT_TRUE(Form11->CDRipper1->Encode && !Form11->CDRipper1->WriteWav);
    for (size_t t = 1; t <= 3; ++t) {
        SCOPED_TRACE(t);
        const std::string bytes = read(wavFolder + "/0" + std::to_string(t) + ".wav");
        const std::vector<uint8_t> pcm = disc.trackBytes(t);
        ASSERT_EQ(bytes.size(), pcm.size() + 44);
        EXPECT_EQ(bytes.substr(44), std::string(pcm.begin(), pcm.end()));
        auto le32 = [&](size_t at) {
            return uint32_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8 | uint8_t(bytes[at + 2]) << 16 |
                            uint32_t(uint8_t(bytes[at + 3])) << 24);
        };
        EXPECT_EQ(le32(4), bytes.size() - 8);
        EXPECT_EQ(le32(40), pcm.size());
    }
}

// A cache entry with more titles than the disc has tracks: the rows beyond them are not ripped,
// and are named; a run of them alone makes nothing and says so.
TEST_F(CdWindow, RowsBeyondTheDiscAreNotRipped)
{
    struct Case {
        const char* name;
        std::vector<int> selected;  // rows; none: every row
        Strings files;
        int total;  // the overall bar at the end
        const char* head;
        std::vector<int> named;  // rows beyond the disc
    } cases[] = {
        {"every row", {}, {"01.wav", "02.wav", "03.wav"}, 100, "Extraction des pistes terminée", {4, 5}},
        {"rows 2 and 5", {1, 4}, {"02.wav"}, 100, "Extraction des pistes terminée", {5}},
        {"row 5 alone", {4}, {}, 0, "Aucune piste n'a été extraite", {5}},
    };
    Form11->CheckBox2->setChecked(true);
    fs::create_directories(cacheFolder());
    std::ofstream(cacheFile(), std::ios::binary) << cacheBytes("Art", 5, {"A", "B", "C", "D", "E"}, "rock", "Alb");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::Dialogs::clearScript();
        const std::string folder = rip_ + "/" + c.name;
        RipFolder = folder;  // the run's reload of the settings sets it and the template back
        Form19->Edit1->setText(QStringLiteral("%4"));
        Form11->Show();
        useDisc(0);
        ASSERT_EQ(Form11->ListView1->topLevelItemCount(), 5);
        for (int row : c.selected) Form11->ListView1->topLevelItem(row)->setSelected(true);
        run();
        Strings named;
        for (const int row : c.named)
            named.push_back(folder + "/0" + std::to_string(row) + ".wav (la piste " + std::to_string(row) +
                            " n'est pas sur le disque, qui en a 3)");
        EXPECT_EQ(boxTexts(), Strings{closing(c.head, named)});
        EXPECT_FALSE(Form11->isVisible());
        EXPECT_EQ(Form11->ProgressBar2->Position(), c.total);
        Strings made;
        if (fs::exists(folder))
            for (const auto& e : fs::directory_iterator(folder)) made.push_back(e.path().filename().string());
        std::sort(made.begin(), made.end());
        EXPECT_EQ(made, c.files);
    }
    Form11->CheckBox1->setChecked(true);
}

// What stands in the rip folder under a rip's name: a file is overwritten, a link is replaced
// and the file it names stays as it was; a link no rip replaces stays. A FIFO, a socket or a
// device is replaced and never waited on nor written through; a folder stays, the track is
// named with why and the run goes on.
TEST_F(CdWindow, RipsReplaceLinksAndOverwriteFiles)
{
    struct Case {
        const char* name;
        bool encode;
        const char* planted;  // the name in the way
        enum { Link, Dangling, File, Fifo, Socket, Device, Folder } kind;
        bool jitter;  // the drive slips: a jitter log is written
        bool replaced;
        Strings files;              // the rip folder afterwards
        const char* why = nullptr;  // the planted name is told with this
        int rows = 1;               // ripped from the first
    } cases[] = {
        {"link, MP3", true, "01.mp3", Case::Link, false, true, {"01.mp3"}},
        {"link, WAV", false, "01.wav", Case::Link, false, true, {"01.wav"}},
        {"dangling link", true, "01.mp3", Case::Dangling, false, true, {"01.mp3"}},
        {"file", true, "01.mp3", Case::File, false, true, {"01.mp3"}},
        {"link at the jitter log", false, "01.jitt", Case::Link, true, true, {"01.jitt", "01.wav"}},
        {"link at the jitter log, no slip", false, "01.jitt", Case::Link, false, false, {"01.jitt", "01.wav"}},
        {"FIFO, WAV", false, "01.wav", Case::Fifo, false, true, {"01.wav"}},
        {"FIFO, MP3", true, "01.mp3", Case::Fifo, false, true, {"01.mp3"}},
        {"FIFO at the jitter log", false, "01.jitt", Case::Fifo, true, true, {"01.jitt", "01.wav"}},
        {"socket", true, "01.mp3", Case::Socket, false, true, {"01.mp3"}},
        {"device", false, "01.wav", Case::Device, false, true, {"01.wav"}},
        {"folder", false, "01.wav", Case::Folder, false, false, {"01.wav", "02.wav"}, "Est un dossier", 2},
        // The track is whole: only its log is named.
        {"folder at the jitter log",
         false,
         "01.jitt",
         Case::Folder,
         true,
         false,
         {"01.jitt", "01.wav"},
         "Est un dossier"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::Dialogs::clearScript();
        const std::string folder = rip_ + "/" + c.name + "/", victim = rip_ + "/victim " + c.name;
        const std::string planted = folder + c.planted;
        fs::create_directories(folder);
        if (c.kind == Case::File) std::ofstream(planted) << "old";
        else if (c.kind == Case::Fifo) ASSERT_EQ(mkfifo(planted.c_str(), 0600), 0);
        else if (c.kind == Case::Folder) {
            fs::create_directories(planted);
            std::ofstream(planted + "/inside") << "keep";
        } else if (c.kind == Case::Socket) {
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            ASSERT_LT(planted.size(), sizeof address.sun_path);
            planted.copy(address.sun_path, planted.size());
            ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
            close(fd);
        } else if (c.kind == Case::Device) {
            // The system's null device, which takes every write and keeps none.
            if (mknod(planted.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
                std::printf("[  SKIPPED ] %s: a device is made as root only\n", c.name);
                continue;
            }
        } else fs::create_symlink(victim, planted);
        if (c.kind == Case::Link) std::ofstream(victim) << "keep";
        RipFolder = folder;
        Form19->Edit1->setText(QStringLiteral("%4"));
        Form11->Show();
        useDisc(0);
        (c.encode ? Form11->CheckBox1 : Form11->CheckBox2)->setChecked(true);
        for (int row = 0; row < c.rows; ++row) Form11->ListView1->topLevelItem(row)->setSelected(true);
        int reads = 0;
        if (c.jitter)
            CR_SetReadFault([&](int32_t first, long sectors, int16_t* samples) {
                if (first <= 100 && first + sectors > 100 && reads++ < 2)
                    std::memmove(samples, samples + 40, size_t(sectors * 2352 - 80));
            });
        {
            const testutil::FifoWatchdog watchdog({planted}, 20, testutil::FifoWatchdog::Writer);
            run();
            EXPECT_FALSE(watchdog.fired());
        }
        CR_SetReadFault(nullptr);
        const bool log = std::string(c.planted).ends_with(".jitt");
        EXPECT_EQ(boxTexts(),
                  Strings{c.why ? "Sonoverne|Extraction des pistes terminée\r\n\r\n" +
                                      std::string(log ? "Ces journaux des corrections de lecture n'ont pas "
                                                        "pu être écrits (leurs pistes ont été extraites)"
                                                      : "Ces fichiers n'ont pas pu être extraits ou étiquetés") +
                                      " :\r\n" + planted + " (" + c.why + ")"
                                : "Sonoverne|Extraction des pistes terminée"});
        if (c.replaced) {
            const bool file = fs::is_regular_file(fs::symlink_status(planted));
            EXPECT_TRUE(file);
            if (file) { EXPECT_GT(fs::file_size(planted), 3u); }
        } else if (c.kind == Case::Folder) {
            EXPECT_EQ(read(planted + "/inside"), "keep");
            EXPECT_GT(fs::file_size(folder + (log ? "01.wav" : "02.wav")), 44u);
        } else {
            EXPECT_TRUE(fs::is_symlink(planted));
        }
        if (c.kind == Case::Link) EXPECT_EQ(read(victim), "keep");
        else EXPECT_FALSE(fs::exists(victim));
        Strings made;  // nothing left aside
        for (const auto& e : fs::directory_iterator(folder)) made.push_back(e.path().filename().string());
        std::sort(made.begin(), made.end());
        EXPECT_EQ(made, c.files);
    }
    Form11->CheckBox1->setChecked(true);
}

// A drive whose disc cannot be read: the device says so, and nothing of the disc shown before
// stays to be ripped.
TEST_F(CdWindow, AnUnreadableDiscLeavesNothingToRip)
{
    ASSERT_EQ(rowTitles(), Defaults);
    // The device shows the hourglass while it reads the disc, and gives the cursor back however
    // its calls end. Its image's parser tells, meanwhile, that it finds no data beside a sheet.
    const cdtest::Disc& bad = Discs->discs.back();
    const std::string sheet = read(bad.cue);
    std::ofstream(bad.cue, std::ios::binary)
        << "FILE \"tones.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n";
    fs::rename(bad.bin, bad.bin + ".away");
    static std::vector<int> cursors;
    const cdio_log_level_t level = cdio_loglevel_default;
    cdio_loglevel_default = CDIO_LOG_DEBUG;
    const cdio_log_handler_t parser = cdio_log_set_handler([](cdio_log_level_t, const char*) {
        const QCursor* shown = QGuiApplication::overrideCursor();
        cursors.push_back(shown ? shown->shape() : -1);
    });
    EXPECT_THROW(TCDInfo().Open(Discs->letter(Discs->discs.size() - 1)), std::runtime_error);
    cdio_log_set_handler(parser);
    cdio_loglevel_default = level;
    fs::rename(bad.bin + ".away", bad.bin);
    std::ofstream(bad.cue, std::ios::binary) << sheet;
    EXPECT_THAT(cursors, ::testing::Each(int(Qt::WaitCursor)));
    EXPECT_FALSE(cursors.empty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    ui::Dialogs::clearScript();
    useDisc(Discs->discs.size() - 1);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    const Strings device = boxTexts();
    ASSERT_EQ(device.size(), 1u);
    EXPECT_THAT(device[0], HasSubstr("périphérique"));
    EXPECT_EQ(Form11->ListView1->topLevelItemCount(), 0);
    EXPECT_TRUE(Form11->LabelTrackCD->text().isEmpty());
    EXPECT_TRUE(Form11->Edit1->text().isEmpty() && Form11->Edit2->text().isEmpty());
    EXPECT_EQ(Form11->CDRipper1->ActiveCdRomNum(), Form11->CbBoxActiveCDRom->currentIndex());
    EXPECT_EQ(Form11->CDRipper1->Tracks.Count(), 0);
    ui::Dialogs::clearScript();
    run();
    EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Aucune piste à extraire"});
    EXPECT_TRUE(fs::is_empty(rip_));

    // A disc whose data went during the run, after its table was read: each track not ripped
    // is named, none said done.
    const std::string bin = Discs->discs[0].bin;
    for (bool encode : {false, true}) {
        SCOPED_TRACE(encode ? "MP3" : "WAV");
        ui::Dialogs::clearScript();
        RipFolder = rip_;
        Form19->Edit1->setText(QStringLiteral("%4"));
        Form11->Show();
        useDisc(0);
        (encode ? Form11->CheckBox1 : Form11->CheckBox2)->setChecked(true);
        ASSERT_GT(Form11->ListView1->topLevelItemCount(), 0);
        Form11->ListView1->topLevelItem(0)->setSelected(true);
        Form11->ListView1->topLevelItem(1)->setSelected(true);
        run([&] { fs::rename(bin, bin + ".gone"); });
        fs::rename(bin + ".gone", bin);
        const std::string file = rip_ + "/02." + (encode ? "mp3" : "wav");
        EXPECT_EQ(boxTexts(),
                  Strings{closing("Extraction des pistes arrêtée : le disque du lecteur " +
                                      std::string(1, Discs->letter(0)) + " a changé",
                                  {file + " (non extraite : le disque a été retiré ou ne peut plus être lu)"})});
        EXPECT_TRUE(fs::exists(rip_ + "/01." + (encode ? "mp3" : "wav")));
        EXPECT_FALSE(fs::exists(file));
    }
    Form11->CheckBox1->setChecked(true);
}

// The files of a WAV run, by name, each with the bytes it must hold after its header.
using Ripped = std::map<std::string, std::vector<uint8_t>>;

void expectRipped(const std::string& folder, const Ripped& expected)
{
    Strings names, made;
    for (const auto& [name, pcm] : expected) {
        names.push_back(name);
        const std::string bytes = read(folder + "/" + name);
        EXPECT_EQ(bytes.size(), pcm.size() + 44) << name;
        EXPECT_TRUE(bytes.size() >= 44 && bytes.substr(44) == std::string(pcm.begin(), pcm.end())) << name;
    }
    if (fs::exists(folder))
        for (const auto& e : fs::directory_iterator(folder)) made.push_back(e.path().filename().string());
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, names);
}

// What is ripped is the disc in the drive now: one put in after the ripper last read the drive,
// or in place of another, is read again whenever the window reads it; one changed while the
// window shows the other is refused, and nothing is written until the drive is chosen again.
// One changed between two tracks of a run stops it there, and the tracks left are named.
TEST_F(CdWindow, TheDiscInTheDriveNowIsRipped)
{
    using T = cdtest::TrackPlan;
    const cdtest::Disc original = Discs->discs[0];
    const std::string sheet = read(original.cue);
    const std::vector<T> same = {{T::Tone, 300, 0, 440}, {T::Noise, 451}, {T::Tone, 200, 0, 1000}};
    struct Case {
        const char* name;
        std::vector<T> disc;  // what is put in the drive; nothing: the drive is left empty
        bool emptyFirst;      // the window reads the empty drive before the disc goes in
        bool reopen;          // the window is shown again before the run
        int during = 0;       // the disc changes after this track of the run; 0: before it
    } cases[] = {
        {"swapped between tracks 1 and 2", {{T::Noise, 110}, {T::Tone, 300, 0, 440}, {T::Noise, 200}}, false, false, 1},
        {"taken out between tracks 2 and 3", {}, false, false, 2},
        {"put back between tracks 1 and 2", same, false, false, 1},
        {"inserted after start", {{T::Noise, 120}, {T::Tone, 200, 0, 660}, {T::Noise, 90}}, true, true},
        {"3 tracks for 3 of other lengths",
         {{T::Tone, 90, 0, 330}, {T::Noise, 250}, {T::Tone, 75, 0, 880}},
         false,
         true},
        {"3 tracks for 4",
         {{T::Noise, 80}, {T::Tone, 150, 0, 550}, {T::Noise, 100}, {T::Tone, 75, 0, 990}},
         false,
         true},
        {"swapped while shown", {{T::Noise, 110}, {T::Tone, 300, 0, 440}, {T::Noise, 200}}, false, false},
        {"taken out while shown", {}, false, false},
    };
    Form11->CheckBox2->setChecked(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::Dialogs::clearScript();
        const std::string folder = rip_ + "/" + c.name;
        auto runInto = [&] {
            RipFolder = folder;  // the run's reload of the settings sets it and the template back
            Form19->Edit1->setText(QStringLiteral("%4"));
            run();
        };
        useDisc(0);
        cdtest::Disc now;
        if (c.during) {
            Form11->CDRipper1->OnEndTrack = [&](TCDRipper*, uint16_t track) {
                if (track != c.during) return;
                if (c.disc.empty()) fs::remove(original.bin);
                else now = cdtest::makeDisc(Discs->folder, "tones", c.disc);
            };
            runInto();
            Form11->CDRipper1->OnEndTrack = nullptr;
            const bool put = now.starts == original.starts;
            Ripped expected;
            Strings named;
            for (size_t t = 1; t <= 3; ++t) {
                const std::string file = "0" + std::to_string(t) + ".wav";
                if (put || t <= size_t(c.during)) expected[file] = original.trackBytes(t);
                else
                    named.push_back(folder + "/" + file +
                                    (c.disc.empty() ? " (non extraite : le disque a été retiré ou ne peut plus être lu)"
                                                    : " (non extraite : le disque a changé)"));
            }
            EXPECT_EQ(boxTexts(), Strings{closing(put ? "Extraction des pistes terminée"
                                                      : "Extraction des pistes arrêtée : le disque du lecteur " +
                                                            std::string(1, Discs->letter(0)) + " a changé",
                                                  named)});
            expectRipped(folder, expected);
            std::ofstream(original.cue, std::ios::binary) << sheet;
            cdtest::writeFile(original.bin, original.image);
            Form11->Show();
            useDisc(0);
            continue;
        }
        if (c.emptyFirst) {
            fs::remove(original.cue);
            useDisc(0);
            ASSERT_EQ(Form11->ListView1->topLevelItemCount(), 0);
        }
        if (c.disc.empty()) fs::remove(original.bin);
        else now = cdtest::makeDisc(Discs->folder, "tones", c.disc);
        if (c.reopen) {
            Form11->Hide();
            Form11->Show();
        }
        ASSERT_EQ(Form11->CbBoxActiveCDRom->currentText(), QString(QChar(Discs->letter(0))));
        ui::Dialogs::clearScript();
        runInto();
        Ripped expected;
        for (size_t t = 1; t <= now.audio.size(); ++t) expected["0" + std::to_string(t) + ".wav"] = now.trackBytes(t);
        if (c.reopen) {
            EXPECT_EQ(Form11->ListView1->topLevelItemCount(), int(c.disc.size()));
            EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Extraction des pistes terminée"});
            expectRipped(folder, expected);
        } else {
            EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Le disque du lecteur " + std::string(1, Discs->letter(0)) +
                                          " n'est plus celui qui est affiché : aucune piste n'a été extraite. "
                                          "Choisissez de nouveau le lecteur pour lire ce disque."});
            EXPECT_TRUE(Form11->isVisible());
            EXPECT_FALSE(fs::exists(folder));
            // Chosen again, the drive gives the disc in it.
            if (!c.disc.empty()) {
                useDisc(0);
                ui::Dialogs::clearScript();
                runInto();
                expectRipped(folder, expected);
            }
        }
        std::ofstream(original.cue, std::ios::binary) << sheet;
        cdtest::writeFile(original.bin, original.image);
        Form11->Show();
        useDisc(0);
    }
    Form11->CheckBox1->setChecked(true);
}

// During a run no click nor key gets through, in any window, but the stop button's, whether the
// entry it would bring has fewer titles than the rows or as many; the run rips every track under
// the names, template and folder it began with. What code changes meanwhile does not reach it.
TEST_F(CdWindow, NoClickDuringARunChangesIt)
{
    const QByteArray id = QByteArray::fromStdString(Form11->DiscIdText);
    const QByteArray one = "210 rock " + id +
                           " CD database entry follows\r\nDTITLE=Solo / Seul\r\n"
                           "TTITLE0=Unique\r\n.\r\n";
    auto click = [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); };
    struct Control {
        const char* name;
        std::function<void()> input;  // what the user does
        bool refused;                 // the window still shows what it showed
    } controls[] = {
        {"CDDB", [&] { click(Form11->Button3); }, true},
        {"Extraire", [&] { click(Form11->Button1); }, true},
        {"chooser's OK", [&] { click(Form22->Button1); }, true},
        {"chooser's double-click",
         [] {
             const QPoint at = Form22->ListBox1->visualItemRect(Form22->ListBox1->item(0)).center();
             QTest::mouseClick(Form22->ListBox1->viewport(), Qt::LeftButton, {}, at);
             QTest::mouseDClick(Form22->ListBox1->viewport(), Qt::LeftButton, {}, at);
         },
         true},
        {"drive box", [] { QTest::keyClick(Form11->CbBoxActiveCDRom, Qt::Key_Down); }, true},
        {"album", [&] { click(Form11->Button4); }, true},
        {"artist", [&] { click(Form11->Button5); }, true},
        {"title",
         [] {
             Form11->ListView1->topLevelItem(0)->setSelected(true);
             QTest::keyClick(Form11->ListView1, Qt::Key_Return);
         },
         true},
        {"editor's OK", [&] { click(Form23->Button1); }, true},
        {"format", [&] { click(Form11->CheckBox2); }, true},
        {"bit rate", [] { QTest::keyClick(Form11->ComboBox2, Qt::Key_Down); }, true},
        {"rows, boxes, template and folder by code",
         [] {
             Form11->ListView1->clear();
             Form11->Edit2->QLineEdit::setText(QStringLiteral("Autre"));
             Form19->Edit1->setText(QStringLiteral("%6"));
             RipFolder += " elsewhere";
         },
         false},
    };
    const cdtest::Disc& disc = Discs->discs[0];
    for (const Control& c : controls)
        for (const bool single : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (single ? ", 1 title" : ", 3 titles"));
            ui::Dialogs::clearScript();
            fs::remove_all(cacheFolder());
            Form11->Show();
            useDisc(0);
            Form11->CheckBox2->setChecked(true);
            // The chooser and the editor are open beside the window when the run starts.
            answer("210 Found exact matches\r\nrock " + id + " A / B\r\n.\r\n");
            Form11->Button3->click();
            ASSERT_TRUE(Form22->isVisible());
            Form22->ListBox1->setCurrentRow(0);
            Form11->Button4Click();
            Form23->Edit1->QLineEdit::setText(QStringLiteral("Jour"));
            // What a click would bring: the server's entry, or the cache's.
            answer("200 rock " + id + " A / B\r\n", single ? one : entry());
            fs::create_directories(cacheFolder());
            std::ofstream(cacheFile(), std::ios::binary)
                << (single ? cacheBytes("Solo", 1, {"Unique"}, "rock", "Seul")
                           : cacheBytes("Solo", 3, {"Un", "Deux", "Trois"}, "rock", "Seul"));
            server_.targets.clear();
            ui::Dialogs::clearScript();
            const std::string folder = rip_ + "/" + c.name + (single ? " 1" : " 3");
            RipFolder = folder;
            Form19->Edit1->setText(QStringLiteral("%1 - %2 - %4 - %6"));
            const int drive = Form11->CbBoxActiveCDRom->currentIndex();
            bool clicked = false;
            run([&] {
                ui::guarded(c.input);
                clicked = true;
            });
            EXPECT_TRUE(clicked);
            EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Extraction des pistes terminée"});
            Ripped expected;
            for (size_t t = 1; t <= 3; ++t)
                expected["Inconnu - Inconnu - 0" + std::to_string(t) + " - Track" + std::to_string(t) + ".wav"] =
                    disc.trackBytes(t);
            expectRipped(folder, expected);
            EXPECT_FALSE(fs::exists(folder + " elsewhere"));
            if (!c.refused) continue;
            EXPECT_TRUE(Form11->CheckBox2->isChecked());
            EXPECT_EQ(Form11->ComboBox2->currentIndex(), 4);
            EXPECT_EQ(Form11->CbBoxActiveCDRom->currentIndex(), drive);
            EXPECT_EQ(rowTitles(), Defaults);
            EXPECT_EQ(Form11->Edit1->text(), QStringLiteral("Inconnu"));
            EXPECT_EQ(Form11->Edit2->text(), QStringLiteral("Inconnu"));
            EXPECT_TRUE(server_.targets.empty());
            EXPECT_EQ(Form23->Caption(), QStringLiteral("Changement du nom de l'album"));
        }
    Form11->CheckBox1->setChecked(true);
}

// A new MP3 whose tag could not be written, the file removed or made read-only while it was
// ripped, is named at the end with why; the next track is tagged as usual.
TEST_F(CdWindow, ATrackWhoseTagCouldNotBeWrittenIsNamed)
{
    const struct {
        const char* name;
        std::function<void(const std::string&)> fault;
        QString why;
    } cases[] = {
        {"removed", [](const std::string& path) { fs::remove(path); },
         QStringLiteral("le fichier est introuvable ou ne peut pas être ouvert")},
        {"read-only", [](const std::string& path) { fs::permissions(path, fs::perms::owner_read); },
         QStringLiteral("le fichier est protégé en écriture")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui::Dialogs::clearScript();
        RipFolder = rip_ + "/" + c.name;
        Form11->Show();
        useDisc(0);
        Form19->Edit1->setText(QStringLiteral("%4"));
        Form11->ListView1->topLevelItem(0)->setSelected(true);
        Form11->ListView1->topLevelItem(1)->setSelected(true);
        const std::string first = RipFolder + "/01.mp3", second = RipFolder + "/02.mp3";
        // Once the first file is there, while its track is still being ripped.
        bool done = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (done || !Form11->Running() || Form11->RipTrackNumber != 1 || !fs::exists(first)) return;
            done = true;
            c.fault(first);
        });
        timer.start(0);
        Form11->Button1->click();
        timer.stop();
        EXPECT_TRUE(done);
        const QString text = QStringLiteral("Extraction des pistes terminée\r\n\r\n"
                                            "Ces fichiers n'ont pas pu être extraits ou étiquetés :\r\n") +
                             QString::fromStdString(first) + " (" + c.why + ")";
        EXPECT_EQ(boxTexts(), Strings{"Sonoverne|" + text.toStdString()});
        EXPECT_EQ(ui::Dialogs::shown().at(0).flags, unsigned(ui::MB_OK | ui::MB_ICONWARNING));
        EXPECT_EQ(probe(second)["v2"].toObject()["TRCK"].toArray().at(1).toString(), QStringLiteral("2"));
        if (fs::exists(first)) {
            EXPECT_FALSE(probe(first)["v2"].toObject().contains("TRCK"));
            fs::permissions(first, fs::perms::owner_write, fs::perm_options::add);
        }
    }
}

// A track cut short is never called extracted. Stopped by "Annuler" or by closing the window
// (which stays until the run stops, at its next chunk), or unreadable on the disc from some
// point, its file keeps what the disc gave under a header that fits, and is named with what it
// lacks; the tracks after a stop are named too. One that a write cut is removed and named with
// why, and the run goes on with the next track.
TEST_F(CdWindow, CutTracksAreNamed)
{
    enum Fault { Stop, CloseBox, Unreadable, SizeLimit, FullDisk };
    const Strings stopped = {"%f/01.wav (extraction arrêtée après %s s sur 4 s)",
                             "%f/02.wav (non extraite : extraction arrêtée)",
                             "%f/03.wav (non extraite : extraction arrêtée)"};
    const Strings written = {"%f/01.wav (%e ; le fichier incomplet a été supprimé)",
                             "%f/02.wav (%e ; le fichier incomplet a été supprimé)"};
    struct Case {
        const char* name;
        Fault fault;
        const char* ext;
        Strings files;  // the rip folder afterwards
        const char* head;
        Strings named;  // %f: the rip folder; %s: the seconds ripped before the stop; %e: why
    } cases[] = {
        {"Annuler", Stop, "wav", {"01.wav"}, "Extraction des pistes arrêtée", stopped},
        {"closed by its title bar", CloseBox, "wav", {"01.wav"}, "Extraction des pistes arrêtée", stopped},
        {"unreadable in track 3, WAV",
         Unreadable,
         "wav",
         {"01.wav", "02.wav", "03.wav"},
         "Extraction des pistes terminée",
         {"%f/03.wav (2 s de la piste n'ont pas pu être lues sur le disque)"}},
        {"unreadable in track 3, MP3",
         Unreadable,
         "mp3",
         {"01.mp3", "02.mp3", "03.mp3"},
         "Extraction des pistes terminée",
         {"%f/03.mp3 (2 s de la piste n'ont pas pu être lues sur le disque)"}},
        {"a file size limit", SizeLimit, "wav", {"03.wav"}, "Extraction des pistes terminée", written},
        {"a full disk", FullDisk, "wav", {"03.wav"}, "Extraction des pistes terminée", written},
    };
    const cdtest::Disc& disc = Discs->discs[0];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::Dialogs::clearScript();
        const std::string folder = rip_ + "/" + c.name;
        MountedDisk disk(folder);
        if (c.fault == FullDisk) {
            if (geteuid() != 0) {
                std::printf("[  SKIPPED ] %s: a small disk is mounted as root only\n", c.name);
                continue;
            }
            disk.mount(0, "size=600k");  // room for track 3 (470,444 bytes), not for track 1 or 2
        }
        RipFolder = folder;
        Form19->Edit1->setText(QStringLiteral("%4"));
        Form11->Show();
        useDisc(0);
        (c.ext == std::string("mp3") ? Form11->CheckBox1 : Form11->CheckBox2)->setChecked(true);
        const auto begin = Form11->CDRipper1->OnBeginTrack;
        if (c.fault == Unreadable)
            Form11->CDRipper1->OnBeginTrack = [&](TCDRipper* r, uint16_t n) {
                begin(r, n);
                // 60 sectors into track 3, once its table was checked: 2 chunks of 26 are read.
                if (n == 3) { EXPECT_EQ(truncate(disc.bin.c_str(), long(disc.starts[2] + 60) * 2352), 0); }
            };
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const auto signal = std::signal(SIGXFSZ, SIG_IGN);
        if (c.fault == SizeLimit) {
            const rlimit lowered{480000, limit.rlim_max};
            setrlimit(RLIMIT_FSIZE, &lowered);
        }
        bool stayed = true;
        if (c.fault == Stop) run([] { QTest::mouseClick(Form11->Button2, Qt::LeftButton); });
        else if (c.fault == CloseBox)
            run([&] {
                QCloseEvent close;
                QCoreApplication::sendEvent(Form11->windowHandle(), &close);
                stayed = Form11->isVisible();
            });
        else run();
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, signal);
        Form11->CDRipper1->OnBeginTrack = begin;
        cdtest::writeFile(disc.bin, disc.image);

        EXPECT_TRUE(stayed);
        EXPECT_FALSE(Form11->isVisible());
        Strings made;
        for (const auto& e : fs::directory_iterator(folder)) made.push_back(e.path().filename().string());
        std::sort(made.begin(), made.end());
        EXPECT_EQ(made, c.files);
        // What each WAV holds is its track, or the start of it, under a header that says so.
        std::string seconds = "?";
        for (const std::string& name : c.ext == std::string("wav") ? made : Strings{}) {
            const std::string bytes = read(folder + "/" + name);
            const std::vector<uint8_t> pcm = disc.trackBytes(size_t(name[1] - '0'));
            ASSERT_GE(bytes.size(), 44u);
            EXPECT_TRUE(bytes.substr(44) == std::string(pcm.begin(), pcm.begin() + long(bytes.size() - 44))) << name;
            auto le32 = [&](size_t at) {
                return uint32_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8 | uint8_t(bytes[at + 2]) << 16 |
                                uint32_t(uint8_t(bytes[at + 3])) << 24);
            };
            EXPECT_EQ(le32(4), bytes.size() - 8) << name;
            EXPECT_EQ(le32(40), bytes.size() - 44) << name;
            seconds = std::to_string((bytes.size() - 44) / 2352 / 75);
        }
        Strings named;
        for (std::string line : c.named) {
            line.replace(0, 2, folder);
            for (const auto& [mark, with] :
                 {std::pair<std::string, std::string>{"%s", seconds},
                  {"%e", c.fault == FullDisk ? "Plus de place sur le disque" : "Fichier trop volumineux"}})
                if (const size_t at = line.find(mark); at != std::string::npos) line.replace(at, 2, with);
            named.push_back(line);
        }
        EXPECT_EQ(boxTexts(), Strings{closing(c.head, named)});
    }
    Form11->CheckBox1->setChecked(true);
}

TEST_F(CdWindow, AnEmptyListMakesNothing)
{
    // No rows at all: a message at once, nothing made.
    ui::Dialogs::clearScript();
    Form11->Show();
    Form11->ListView1->clear();
    const std::string other = rip_ + "/empty";
    RipFolder = other;
    run();
    EXPECT_EQ(boxTexts(), Strings{"Sonoverne|Aucune piste à extraire"});
    EXPECT_FALSE(fs::exists(other));
    EXPECT_FALSE(Form11->Running());
}

TEST_F(CdWindow, OptionWindowsWriteOnlyTheirKeys)
{
    LoadSettings();
    ASSERT_EQ(Form24->ComboBox1->count(), 18);
    EXPECT_EQ(Form24->ComboBox1->itemText(12), Form24->ComboBox1->itemText(13));
    for (int i = 0; i < 18; ++i) {
        EXPECT_THAT(CddbServers[i], ::testing::MatchesRegex("http://[a-z.]+/~cddb"));
        if (i > 0) { EXPECT_EQ(Form24->ComboBox1->itemText(i), QString::fromLatin1(CddbServers[i])); }
    }
    auto ini = [] { return platform::IniFile(SettingsFilePath()); };
    // Entry 5 applied: 4 is written, and the next look-up goes to the fifth address.
    Form24->ComboBox1->setItemText(4, server_.base());
    Form24->Show();
    Form24->ComboBox1->setCurrentIndex(4);
    Form24->Button1->click();
    EXPECT_FALSE(Form24->isVisible());
    EXPECT_EQ(CddbServerIndex, 4);
    EXPECT_EQ(ini().ReadInteger("CDDB", "Serveur", -1), 4);
    answer("202 No match\r\n");
    Form11->Button3->click();
    EXPECT_EQ(server_.targets.size(), 1u);
    // Another entry, then "Annuler": the earlier one shows at the next opening, nothing written.
    Form24->Show();
    Form24->ComboBox1->setCurrentIndex(7);
    Form24->Button2->click();
    Form24->Show();
    EXPECT_EQ(Form24->ComboBox1->currentIndex(), 4);
    Form24->Hide();
    EXPECT_EQ(ini().ReadInteger("CDDB", "Serveur", -1), 4);
    Form24->ComboBox1->setItemText(4, QString::fromLatin1(CddbServers[4]));

    // The rip options write both of their keys on "Appliquer", and nothing else.
    const std::string before = read(SettingsFilePath());
    Form19->Show();
    Form19->DirectoryListBox3->setDirectory(rip_);
    Form19->Edit1->setText(QStringLiteral("%2\\%6"));
    Form19->Button2->click();
    EXPECT_EQ(read(SettingsFilePath()), before);
    Form19->Show();
    Form19->Button1->click();
    EXPECT_EQ(RipFolder, rip_);
    EXPECT_EQ(ini().ReadString("Rip", "Dossier", "?"), rip_);
    EXPECT_EQ(ini().ReadString("Rip", "Format", "?"), "%2\\%6");
    EXPECT_EQ(ini().ReadString("Liste", "Dossier", "?"), tempRoot + "/music");
    EXPECT_EQ(ini().ReadInteger("CDDB", "Serveur", -1), 4);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string pattern = (fs::temp_directory_path() / "sonoverne-cdwindow-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 2;
    tempRoot = pattern;
    fs::create_directories(tempRoot + "/config");
    fs::create_directories(tempRoot + "/prog");
    fs::create_directories(tempRoot + "/music");
    setenv("XDG_CONFIG_HOME", (tempRoot + "/config").c_str(), 1);
    std::ofstream(tempRoot + "/config/Sonoverne.ini") << "[Liste]\r\nDossier=" << tempRoot << "/music\r\n";
    // The discs are lettered before the windows make their ripper; the last one cannot be read.
    Discs = new cdtest::DiscSet({{"unreadable", {{cdtest::TrackPlan::Tone, 75, 0, 440}}}});
    std::ofstream(Discs->discs.back().cue, std::ios::binary) << "not a cue sheet\r\n";
    platform::setProgramFolder(tempRoot + "/prog/");
    const int result = sonoverne::test::RunWithWindows(argc, argv, [](QApplication& app) {
        app.setQuitOnLastWindowClosed(false);
        platform::setProgramFolder(tempRoot + "/prog/");
    });
    delete Discs;
    std::error_code ec;
    fs::remove_all(tempRoot, ec);
    return result;
}
