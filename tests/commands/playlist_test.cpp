// Playlists of the selected rows: the M3U text byte for byte, the save dialog, the question that
// follows and the player it starts, and a target that cannot be written.
#include "CommandsTest.h"

#include "Dialogs.h"
#include "Unit1.h"
#include "variable.h"

#include <gmock/gmock.h>

#include <QDir>
#include <filesystem>

using namespace cmdtest;
using ::testing::IsEmpty;

namespace {

const QString Question =
    QStringLiteral("Création de liste terminée\r\nVoulez-vous l'écouter immédiatement avec Winamp ?");

class Playlist : public Collection {
protected:
    void SetUp() override
    {
        Collection::SetUp();
        out_ = tempRoot + "/lists" + std::to_string(++serial_);
        std::filesystem::create_directories(out_);
    }
    void TearDown() override
    {
        WinampExe = savedExe_;
        Collection::TearDown();
    }

    // Runs a playlist command: the dialog gives name (empty: cancelled), the question is answered.
    static void make(QAction* command, const std::string& name, int answer = ui::IDNO)
    {
        ui::Dialogs::pushFileName(QString::fromStdString(name));
        ui::Dialogs::pushAnswer(answer);
        command->trigger();
    }
    // What the list should hold for these entries, in list order: artist, title, path.
    static std::string expected(std::vector<std::array<std::string, 3>> entries)
    {
        std::sort(entries.begin(), entries.end(),
                  [](const auto& x, const auto& y) { return listRowOf(x[2]) < listRowOf(y[2]); });
        std::string text = "#EXTM3U\r\n";
        for (const auto& [artist, title, path] : entries)
            text += "#EXTINF:" + artist + " - " + title + "\r\n" + path + "\r\n";
        return text;
    }
    static void expectOneQuestion()
    {
        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        const ui::ShownBox& box = ui::Dialogs::shown().front();
        EXPECT_EQ(box.caption, QStringLiteral("Sonoverne"));
        EXPECT_EQ(box.text, Question);
        EXPECT_EQ(box.flags & 0xF, unsigned(ui::MB_YESNO));
    }

    static inline int serial_ = 0;
    std::string out_;
    std::string savedExe_ = WinampExe;
};

TEST_F(Playlist, TaggedAndUnreadableFilesGiveFiveLines)
{
    const std::string a = putTagged("a.mp3", texts("X", "Y"));
    const std::string b = putUntagged("b.mp3");
    putTagged("other.mp3", texts("Autre", "Pas choisi"));
    walk();
    select({a, b});
    make(Form1->CrerunePlaylistWinamp1, out_ + "/two.m3u");
    const std::string text = readBytes(out_ + "/two.m3u");
    EXPECT_EQ(text, expected({{"X", "Y", a}, {"", "", b}}));
    // The example as written, when the walk listed A first.
    if (listRowOf(a) < listRowOf(b)) {
        EXPECT_EQ(text, "#EXTM3U\r\n#EXTINF:X - Y\r\n" + a + "\r\n#EXTINF: - \r\n" + b + "\r\n");
    }
    expectOneQuestion();
}

TEST_F(Playlist, MenuCommandAndTitleWithoutArtist)
{
    const std::string t = putTagged("t.mp3", texts("", "Seul titre"));
    const std::string latin = putTagged("l.mp3", texts("Caf\xe9", "\xc9t\xe9"));
    walk();
    select({t});
    make(Form1->CrerunePlaylist1, out_ + "/title.m3u");
    EXPECT_EQ(readBytes(out_ + "/title.m3u"), "#EXTM3U\r\n#EXTINF: - Seul titre\r\n" + t + "\r\n");
    expectOneQuestion();

    // Tag texts are written in UTF-8, as the paths are: one encoding for the whole file.
    ui::Dialogs::clearScript();
    select({latin});
    make(Form1->CrerunePlaylist1, out_ + "/latin.m3u");
    EXPECT_EQ(readBytes(out_ + "/latin.m3u"),
              "#EXTM3U\r\n#EXTINF:Caf\xc3\xa9 - \xc3\x89t\xc3\xa9\r\n" + latin + "\r\n");

    // Texts that end with their terminator, as mutagen writes them, stop there.
    ui::Dialogs::clearScript();
    const std::string ended = putTerminated("n.mp3", QStringLiteral("Nina Simone"), QStringLiteral("Sinnerman"));
    walk();
    select({ended});
    make(Form1->CrerunePlaylist1, out_ + "/ended.m3u");
    EXPECT_EQ(readBytes(out_ + "/ended.m3u"), "#EXTM3U\r\n#EXTINF:Nina Simone - Sinnerman\r\n" + ended + "\r\n");
    // What mutagen stored, byte for byte in UTF-8.
    ui::Dialogs::clearScript();
    const QString artist = QStringLiteral("Céline Dion"), title = QStringLiteral("Pour que tu m'aimes encore ½ ÿ");
    const std::string accented = putTerminated("c.mp3", artist, title);
    walk();
    select({accented});
    make(Form1->CrerunePlaylist1, out_ + "/accents.m3u");
    EXPECT_EQ(readBytes(out_ + "/accents.m3u"),
              "#EXTM3U\r\n#EXTINF:" + artist.toStdString() + " - " + title.toStdString() + "\r\n" + accented + "\r\n");
    // Texts beyond ISO-8859-1, in UTF-16 and in UTF-8: whole, never cut before "’" or "ř".
    ui::Dialogs::clearScript();
    const std::string utf16 = putWide("w16.mp3", 3), utf8 = putWide("w8.mp3", 4);
    walk();
    select({utf16, utf8});
    make(Form1->CrerunePlaylist1, out_ + "/wide.m3u");
    EXPECT_EQ(readBytes(out_ + "/wide.m3u"), expected({{"Dvořák Quartet", "Don’t Stop Me Now", utf16},
                                                       {"Dvořák Quartet", "Don’t Stop Me Now", utf8}}));
}

TEST_F(Playlist, PathsAreWrittenAsTheirBytes)
{
    // A name in the old 8-bit encoding, not valid UTF-8.
    const std::string odd = putTagged("caf\xe9 \xff.mp3", texts("X", "Y"));
    walk();
    select({odd});
    make(Form1->CrerunePlaylist1, out_ + "/bytes.m3u");
    EXPECT_EQ(readBytes(out_ + "/bytes.m3u"), "#EXTM3U\r\n#EXTINF:X - Y\r\n" + odd + "\r\n");
}

TEST_F(Playlist, EmptySelectionGivesTheHeaderOnly)
{
    putTagged("a.mp3", texts("X", "Y"));
    walk();
    select({});
    make(Form1->CrerunePlaylistWinamp1, out_ + "/empty.m3u");
    EXPECT_EQ(readBytes(out_ + "/empty.m3u"), "#EXTM3U\r\n");
}

TEST_F(Playlist, ANewListReplacesTheWholeFile)
{
    const std::string a = putTagged("a.mp3", texts("X", "Y"));
    const std::string b = putTagged("b.mp3", texts("Z", "W"));
    walk();
    select({a, b});
    make(Form1->CrerunePlaylist1, out_ + "/same.m3u");
    select({a});
    make(Form1->CrerunePlaylist1, out_ + "/same.m3u");
    EXPECT_EQ(readBytes(out_ + "/same.m3u"), expected({{"X", "Y", a}}));
}

TEST_F(Playlist, CancellingTheDialogWritesAndAsksNothing)
{
    const std::string a = putTagged("a.mp3", texts("X", "Y"));
    walk();
    select({a});
    make(Form1->CrerunePlaylist1, out_ + "/first.m3u");
    const std::string first = readBytes(out_ + "/first.m3u");
    ASSERT_EQ(first, expected({{"X", "Y", a}}));

    ui::Dialogs::clearScript();
    select({});
    ui::Dialogs::pushFileName(QString());
    Form1->CrerunePlaylistWinamp1->trigger();
    EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
    EXPECT_EQ(readBytes(out_ + "/first.m3u"), first);
    EXPECT_EQ(QDir(QString::fromStdString(out_)).entryList(QDir::Files), QStringList{"first.m3u"});
}

TEST_F(Playlist, YesStartsThePlayerWithTheListNoStartsNothing)
{
    const std::string a = putTagged("a.mp3", texts("X", "Y"));
    walk();
    const std::string log = tempRoot + "/player" + std::to_string(serial_) + ".log";
    WinampExe = tempRoot + "/fake player " + std::to_string(serial_);
    writeRecordingScript(WinampExe, log);
    select({a});

    make(Form1->CrerunePlaylist1, out_ + "/non.m3u", ui::IDNO);
    expectOneQuestion();
    ui::Dialogs::clearScript();
    // A name with a blank reaches the player as one argument.
    make(Form1->CrerunePlaylistWinamp1, out_ + "/ma liste.m3u", ui::IDYES);
    expectOneQuestion();
    ASSERT_TRUE(waitForFile(log));
    // One start only: the answer No started nothing.
    EXPECT_EQ(readBytes(log), "1\n" + out_ + "/ma liste.m3u\n");
    EXPECT_EQ(readBytes(out_ + "/ma liste.m3u"), expected({{"X", "Y", a}}));

    // Quotes, backslashes before quotes and a final backslash: the name still arrives whole.
    for (const std::string& name : {std::string("dite \"oui\".m3u"), std::string("dite \\\"oui\\\" .m3u"),
                                    std::string("a\\\\\" b\\"), std::string("fin \\")}) {
        SCOPED_TRACE(name);
        std::filesystem::remove(log);
        make(Form1->CrerunePlaylist1, out_ + "/" + name, ui::IDYES);
        ASSERT_TRUE(waitForFile(log));
        EXPECT_EQ(readBytes(log), "1\n" + out_ + "/" + name + "\n");
    }
}

TEST_F(Playlist, ANameWithALineEndIsLeftOutAndNamed)
{
    const std::string a = putTagged("a.mp3", texts("X", "Y"));
    const std::string lf = putTagged("deux\n#EXTINF:faux\nlignes.mp3", texts("Z", "W"));
    const std::string cr = putUntagged("retour\rchariot.mp3");
    walk();
    select({a, lf, cr});
    make(Form1->CrerunePlaylist1, out_ + "/sans.m3u");
    EXPECT_EQ(readBytes(out_ + "/sans.m3u"), expected({{"X", "Y", a}}));
    // The warning names both files, then the usual question follows.
    ASSERT_EQ(ui::Dialogs::shown().size(), 2u);
    const ui::ShownBox& warning = ui::Dialogs::shown().front();
    EXPECT_EQ(warning.caption, QStringLiteral("Sonoverne"));
    EXPECT_EQ(warning.flags & 0xF0, unsigned(ui::MB_ICONWARNING));
    EXPECT_TRUE(warning.text.contains(QStringLiteral("retour à la ligne"))) << warning.text.toStdString();
    EXPECT_TRUE(warning.text.contains(QStringLiteral("lignes.mp3"))) << warning.text.toStdString();
    EXPECT_TRUE(warning.text.contains(QStringLiteral("chariot.mp3"))) << warning.text.toStdString();
    EXPECT_EQ(ui::Dialogs::shown().back().text, Question);
}

TEST_F(Playlist, AnUnwritableTargetShowsTheErrorBoxAndAsksNothing)
{
    const std::string a = putTagged("a.mp3", texts("X", "Y"));
    walk();
    select({a});
    for (const std::string& target : {out_ + "/no such folder/x.m3u", out_}) {
        SCOPED_TRACE(target);
        ui::Dialogs::clearScript();
        ui::Dialogs::pushFileName(QString::fromStdString(target));
        Form1->CrerunePlaylist1->trigger();
        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        const ui::ShownBox& box = ui::Dialogs::shown().front();
        EXPECT_NE(box.text, Question);
        EXPECT_EQ(box.caption, ui::Dialogs::applicationTitle());
        EXPECT_EQ(box.flags & 0xF0, unsigned(ui::MB_ICONERROR));
        EXPECT_TRUE(box.text.contains(QString::fromStdString(target))) << box.text.toStdString();
    }
    EXPECT_FALSE(exists(out_ + "/no such folder"));
}

}  // namespace
