// The player remote control against test players on a private session bus started here.
#include "Dialogs.h"
#include "MprisTestBus.h"
#include "Program.h"
#include "Shell.h"
#include "Unit1.h"
#include "Unit26.h"
#include "WinAmp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/types.h>

namespace {

QTemporaryDir* scratch = nullptr;

// One test player process and what it was asked.
// The shared test player, recording into this run's scratch folder.
class TestPlayer : public sonoverne::test::TestPlayer {
public:
    explicit TestPlayer(const QString& name, int tracks = 0, const QString& options = QString())
        : sonoverne::test::TestPlayer(QStringLiteral(MPRIS_TEST_PLAYER), name, scratch->path(), tracks, options)
    {
    }
};

const QStringList NoCalls;

class WinAmpTest : public ::testing::Test {
protected:
    void SetUp() override { qunsetenv("SONOVERNE_MPRIS_PLAYER"); }
};

TEST_F(WinAmpTest, DefaultsOfANewControl)
{
    TWinAmpControl control;
    EXPECT_EQ(control.WinAmpClassName, "Winamp v1.x");
    EXPECT_FALSE(control.AboutComponent());
    EXPECT_FALSE(control.StartAndFindWinAmp);
    EXPECT_FALSE(control.CloseWinAmpOnExit);
    EXPECT_EQ(control.DelayAfterLoadWinAmp, 3000);
    EXPECT_EQ(control.WAmpPath, "C:\\Program Files\\WinAmp\\WinAmp.exe");
    EXPECT_FALSE(control.Found());
    // Nothing found yet: commands are lost, not sent somewhere.
    EXPECT_EQ(control.SendCommand(WM_COMMAND, 40045, 0), 0);
}

TEST_F(WinAmpTest, TransportCommandsReachThePlayer)
{
    TestPlayer player(QStringLiteral("transport"));
    ASSERT_TRUE(player.ready());
    TWinAmpControl control;
    EXPECT_NE(control.GoFindWinAmp(), 0);
    ASSERT_TRUE(control.Found());

    control.Play();
    control.Pause();
    control.Stop();
    control.Previous();
    control.Next();
    control.Forward5s();
    control.Rewind5s();
    EXPECT_EQ(player.record(),
              (QStringList{"Play", "Pause", "Stop", "Previous", "Next", "Seek 5000000", "Seek -5000000"}));

    // The raw messages: a handled one answers 1, one the player does not know is lost.
    EXPECT_EQ(control.SendCommand(WM_COMMAND, 40045, 0), 1);
    EXPECT_EQ(control.SendCommand(WM_COMMAND, 40999, 0), 0);
    EXPECT_EQ(control.SendCommand(WM_USER, 0, 102), 0);
    EXPECT_EQ(control.SendCommand(0x0010, 0, 0), 0);
    EXPECT_EQ(player.record().size(), 8);
}

TEST_F(WinAmpTest, ClearPlaylistStopsAndEmptiesAnEditableTrackList)
{
    TestPlayer withList(QStringLiteral("withlist"), 3);
    ASSERT_TRUE(withList.ready());
    TWinAmpControl control;
    ASSERT_NE(control.GoFindWinAmp(), 0);
    control.ClearPlaylist();
    EXPECT_EQ(withList.record(), (QStringList{"Stop", "RemoveTrack /org/mpris/MediaPlayer2/Track/1",
                                              "RemoveTrack /org/mpris/MediaPlayer2/Track/2",
                                              "RemoveTrack /org/mpris/MediaPlayer2/Track/3"}));
    // The list is now empty: a second clear only stops.
    control.ClearPlaylist();
    EXPECT_EQ(withList.record().size(), 5);
    EXPECT_EQ(withList.record().last(), "Stop");
    withList.quit();

    TestPlayer withoutList(QStringLiteral("nolist"));
    ASSERT_TRUE(withoutList.ready());
    ASSERT_NE(control.GoFindWinAmp(), 0);
    control.ClearPlaylist();
    EXPECT_EQ(withoutList.record(), QStringList{"Stop"});
}

TEST_F(WinAmpTest, AddFileSendsTheNameWithItsTerminator)
{
    TestPlayer player(QStringLiteral("addfile"));
    ASSERT_TRUE(player.ready());
    TWinAmpControl control;
    ASSERT_NE(control.GoFindWinAmp(), 0);

    const char name[] = "/tmp/a.mp3";
    ASSERT_EQ(std::strlen(name), 10u);
    control.AddFile(name);
    EXPECT_EQ(WinAmpCopyData.dwData, 100u);
    EXPECT_EQ(WinAmpCopyData.cbData, 11u);
    EXPECT_EQ(WinAmpCopyData.lpData, nullptr);  // no pointer into the caller's name is kept
    EXPECT_EQ(player.record(), QStringList{"OpenUri file:///tmp/a.mp3"});

    // A record built by hand: only dwData 100 opens, and no byte beyond cbData is read.
    const char longer[] = "/tmp/b.mp3XYZ";
    TCopyDataStruct other{99, 11, longer};
    EXPECT_EQ(control.SendCommand(WM_COPYDATA, 0, reinterpret_cast<std::intptr_t>(&other)), 0);
    other.dwData = 100;
    EXPECT_EQ(control.SendCommand(WM_COPYDATA, 0, reinterpret_cast<std::intptr_t>(&other)), 1);
    other.cbData = 0;
    EXPECT_EQ(control.SendCommand(WM_COPYDATA, 0, reinterpret_cast<std::intptr_t>(&other)), 0);
    EXPECT_EQ(control.SendCommand(WM_COPYDATA, 0, 0), 0);
    EXPECT_EQ(player.record(), (QStringList{"OpenUri file:///tmp/a.mp3", "OpenUri file:///tmp/b.mp3X"}));
}

TEST_F(WinAmpTest, FileNamesReachThePlayerByteForByte)
{
    TestPlayer player(QStringLiteral("bytes"));
    ASSERT_TRUE(player.ready());
    TWinAmpControl control;
    ASSERT_NE(control.GoFindWinAmp(), 0);

    // Latin-1 bytes that are not UTF-8, and characters that mean something in a URL.
    const std::string path = "/musique/caf\xe9 d\xfc/50% #1?x=\xff&y.mp3";
    const std::string relative = "pistes/\xe9t\xe9.mp3";
    control.AddFile(path.c_str());
    control.AddFile(relative.c_str());
    const QStringList record = player.record();
    ASSERT_EQ(record.size(), 2);
    for (const QString& line : record) {
        ASSERT_TRUE(line.startsWith("OpenUri file:///")) << line.toStdString();
        const QString uri = line.mid(QStringLiteral("OpenUri ").size());
        for (QChar c : uri) EXPECT_TRUE(c.unicode() > 0x20 && c.unicode() < 0x7f) << uri.toStdString();
        EXPECT_FALSE(uri.contains('#') || uri.contains('?')) << uri.toStdString();
    }
    const auto bytesOf = [](const QString& line) {
        return QByteArray::fromPercentEncoding(line.mid(QStringLiteral("OpenUri file://").size()).toLatin1());
    };
    EXPECT_EQ(bytesOf(record[0]), QByteArray::fromStdString(path));
    // A relative name is taken from the current folder.
    EXPECT_EQ(bytesOf(record[1]), QFile::encodeName(QDir::currentPath()) + "/" + QByteArray::fromStdString(relative));
}

TEST_F(WinAmpTest, SearchWithoutPlayerFindsNothingEvenAfterASuccess)
{
    TWinAmpControl control;
    EXPECT_EQ(control.GoFindWinAmp(), 0);
    EXPECT_FALSE(control.Found());

    TWindowHandle first = 0;
    {
        TestPlayer player(QStringLiteral("comesandgoes"));
        ASSERT_TRUE(player.ready());
        first = control.GoFindWinAmp();
        EXPECT_NE(first, 0);
        EXPECT_TRUE(control.Found());
        EXPECT_EQ(control.GoFindWinAmp(), first);  // the same player keeps its handle
    }
    // The player has gone but nobody searched: its handle is stale and commands are lost.
    EXPECT_TRUE(control.Found());
    EXPECT_EQ(control.SendCommand(WM_COMMAND, 40045, 0), 0);

    // A player back under the same name is another window: the stale handle does not reach it.
    TestPlayer again(QStringLiteral("comesandgoes"));
    ASSERT_TRUE(again.ready());
    control.Play();
    EXPECT_EQ(again.record(), NoCalls);
    const TWindowHandle second = control.GoFindWinAmp();
    EXPECT_NE(second, 0);
    EXPECT_NE(second, first);
    again.quit();

    EXPECT_EQ(control.GoFindWinAmp(), 0);
    EXPECT_FALSE(control.Found());
}

TEST_F(WinAmpTest, OnlyTheWinampClassFindsAPlayer)
{
    TestPlayer player(QStringLiteral("classes"));
    ASSERT_TRUE(player.ready());
    TWinAmpControl control;
    control.WinAmpClassName = "Winamp v2.x";
    EXPECT_EQ(control.GoFindWinAmp(), 0);
    EXPECT_FALSE(control.Found());
    control.WinAmpClassName = "";
    EXPECT_EQ(control.GoFindWinAmp(), 0);
    // Class names ignore case, as window classes do.
    control.WinAmpClassName = "WINAMP V1.X";
    EXPECT_NE(control.GoFindWinAmp(), 0);
    EXPECT_TRUE(control.Found());
}

TEST_F(WinAmpTest, AmongSeveralPlayersTheFirstNameOrTheChosenOne)
{
    // Names the bus lists in no particular order.
    TestPlayer zeta(QStringLiteral("zeta"));
    TestPlayer others[] = {TestPlayer(QStringLiteral("mu")), TestPlayer(QStringLiteral("beta")),
                           TestPlayer(QStringLiteral("kappa")), TestPlayer(QStringLiteral("alphabet"))};
    TestPlayer alpha(QStringLiteral("alpha.instance42"));
    ASSERT_TRUE(zeta.ready() && alpha.ready());
    for (const TestPlayer& other : others) ASSERT_TRUE(other.ready());
    TWinAmpControl control;
    ASSERT_NE(control.GoFindWinAmp(), 0);
    control.Next();
    EXPECT_EQ(alpha.record(), QStringList{"Next"});
    EXPECT_EQ(zeta.record(), NoCalls);
    for (const TestPlayer& other : others) EXPECT_EQ(other.record(), NoCalls);

    qputenv("SONOVERNE_MPRIS_PLAYER", "zeta");
    ASSERT_NE(control.GoFindWinAmp(), 0);
    control.Next();
    EXPECT_EQ(zeta.record(), QStringList{"Next"});
    // A player's instances answer to its plain name.
    qputenv("SONOVERNE_MPRIS_PLAYER", "alpha");
    ASSERT_NE(control.GoFindWinAmp(), 0);
    control.Previous();
    EXPECT_EQ(alpha.record(), (QStringList{"Next", "Previous"}));
    qputenv("SONOVERNE_MPRIS_PLAYER", "alph");
    EXPECT_EQ(control.GoFindWinAmp(), 0);
}

TEST_F(WinAmpTest, APlayerThatOpensFilesIsPreferredToABrowserBeforeIt)
{
    struct Case {
        const char* name;
        QStringList firstOptions;  // of the players "aaa", "bbb", "ccc"
        const char* chosen;
    };
    const Case cases[] = {
        {"browser, then a player", {"web", "", "files"}, "ccc"},
        {"a player that does not answer, then one that does", {"silent,files", "web", "files"}, "ccc"},
        {"no player says: the first", {"", "web", ""}, "aaa"},
        {"two that open files: the first of them", {"web", "files", "files"}, "bbb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestPlayer a(QStringLiteral("aaa"), 0, c.firstOptions[0]), b(QStringLiteral("bbb"), 0, c.firstOptions[1]),
            cc(QStringLiteral("ccc"), 0, c.firstOptions[2]);
        ASSERT_TRUE(a.ready() && b.ready() && cc.ready());
        TWinAmpControl control;
        ASSERT_NE(control.GoFindWinAmp(), 0);
        control.Next();
        EXPECT_TRUE(control.Answering());
        for (const TestPlayer* player : {&a, &b, &cc}) {
            const bool chosen = player == (c.chosen[0] == 'a' ? &a : c.chosen[0] == 'b' ? &b : &cc);
            EXPECT_EQ(player->record(), chosen ? QStringList{"Next"} : NoCalls);
        }
    }
}

TEST_F(WinAmpTest, ACallWithoutAnswerIsLostAndTheClearStopsThere)
{
    TestPlayer asleep(QStringLiteral("asleep"), 3, QStringLiteral("silent"));
    ASSERT_TRUE(asleep.ready());
    TWinAmpControl control;
    ASSERT_NE(control.GoFindWinAmp(), 0);
    EXPECT_FALSE(control.Answering());  // it did not answer the search either
    QElapsedTimer clock;
    clock.start();
    control.ClearPlaylist();
    // Two seconds, not the bus's 25: a bound on the freeze, far from the time it takes.
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_FALSE(control.Answering());
    EXPECT_EQ(asleep.record(), QStringList{"Stop"});
    // The next message is sent again (the panel sends without a new search), and lost again.
    EXPECT_EQ(control.SendCommand(WM_COMMAND, 40045, 0), 0);
    EXPECT_EQ(asleep.record(), (QStringList{"Stop", "Play"}));
    asleep.quit();

    // A player that answers all but the removals: they went out ahead of their answers, and the
    // first one lost ends the clear rather than each waiting in turn.
    TestPlayer stuck(QStringLiteral("stuck"), 3, QStringLiteral("silent=RemoveTrack"));
    ASSERT_TRUE(stuck.ready());
    ASSERT_NE(control.GoFindWinAmp(), 0);
    EXPECT_TRUE(control.Answering());
    clock.restart();
    control.ClearPlaylist();
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_FALSE(control.Answering());
    EXPECT_EQ(stuck.record().size(), 4);
    stuck.quit();

    // A clear that answers keeps its whole share of time for every entry.
    TestPlayer awake(QStringLiteral("awake"), 40);
    ASSERT_TRUE(awake.ready());
    ASSERT_NE(control.GoFindWinAmp(), 0);
    EXPECT_TRUE(control.Answering());
    control.ClearPlaylist();
    EXPECT_TRUE(control.Answering());
    EXPECT_EQ(awake.record().size(), 41);
}

TEST_F(WinAmpTest, AboutComponentShowsItsBoxOnceAndReadsFalse)
{
    ui::Dialogs::clearScript();
    TWinAmpControl control;
    control.SetAboutComponent(true);
    EXPECT_FALSE(control.AboutComponent());
    ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
    const ui::ShownBox& box = ui::Dialogs::shown().front();
    EXPECT_EQ(box.caption, QStringLiteral("About    \"TWinAmpControl\""));
    EXPECT_EQ(box.flags, unsigned(ui::MB_OK | ui::MB_ICONINFORMATION));
    EXPECT_EQ(box.text.split('\n').size(), 2);
    ui::Dialogs::clearScript();
}

TEST_F(WinAmpTest, CloseOnExitSendsQuitWhenDestroyed)
{
    TestPlayer kept(QStringLiteral("kept"));
    ASSERT_TRUE(kept.ready());
    {
        TWinAmpControl control;
        ASSERT_NE(control.GoFindWinAmp(), 0);
    }
    EXPECT_EQ(kept.record(), NoCalls);
    {
        TWinAmpControl control;
        ASSERT_NE(control.GoFindWinAmp(), 0);
        control.CloseWinAmpOnExit = true;
    }
    EXPECT_EQ(kept.record(), QStringList{"Quit"});
    EXPECT_TRUE(kept.waitForExit());
}

TEST_F(WinAmpTest, StartWinAmpPassesTheClassAsOneParameter)
{
    TWinAmpControl control;
    EXPECT_FALSE(control.StartWinAmp(scratch->filePath("no-such-player").toStdString()));
    EXPECT_FALSE(control.StartWinAmp(""));

    // A stand-in player that writes down its parameters, then renames its note into place.
    const QString note = scratch->filePath(QStringLiteral("started.txt"));
    const QString script = scratch->filePath(QStringLiteral("fake player"));
    {
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" '" + note.toUtf8() + "'\n");
    }
    QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeUser);
    control.WinAmpClassName = "Winamp \"v1.x\"";
    ASSERT_TRUE(control.StartWinAmp(script.toStdString()));
    while (!QFileInfo::exists(note)) QThread::msleep(20);
    QFile file(note);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // The quotes group: one parameter, blanks kept, the quotes themselves gone.
    EXPECT_EQ(file.readAll(), QByteArray("1\n/CLASS=Winamp v1.x\n"));
}

TEST_F(WinAmpTest, StartAndFindStillSearchesWhenTheStartFails)
{
    TestPlayer player(QStringLiteral("running"));
    ASSERT_TRUE(player.ready());
    TWinAmpControl control;
    control.StartAndFindWinAmp = true;
    control.WAmpPath = scratch->filePath("absent").toStdString();
    EXPECT_NE(control.GoFindWinAmp(), 0);
    EXPECT_TRUE(control.Found());
}

TEST(SplitParameters, FollowsTheDesktopRules)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(platform::splitParameters("/CLASS=\"Winamp v1.x\""), V{"/CLASS=Winamp v1.x"});
    EXPECT_EQ(platform::splitParameters("  a\tb  "), (V{"a", "b"}));
    EXPECT_EQ(platform::splitParameters(""), V{});
    EXPECT_EQ(platform::splitParameters("\"\""), V{""});
    EXPECT_EQ(platform::splitParameters("\"open ended"), V{"open ended"});
    EXPECT_EQ(platform::splitParameters("\"say \"\"hi\"\"\" x"), (V{"say \"hi\"", "x"}));
    EXPECT_EQ(platform::splitParameters("a\\\\b \\\"q\\\" c:\\dir\\\\\" x\""), (V{"a\\\\b", "\"q\"", "c:\\dir\\ x"}));
}

TEST_F(WinAmpTest, PanelButtonsDriveTheMainWindowsControl)
{
    CreateForms();
    ASSERT_NE(Form26, nullptr);
    EXPECT_EQ(Form26->Caption(), QStringLiteral("Winamp"));
    EXPECT_EQ(Form26->size(), QSize(185, 40));
    EXPECT_TRUE(Form26->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(Form26->windowFlags() & Qt::WindowCloseButtonHint);

    QPushButton* const row[] = {Form26->BitBtn6, Form26->BitBtn8, Form26->BitBtn9, Form26->BitBtn1,
                                Form26->BitBtn2, Form26->BitBtn3, Form26->BitBtn4};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(row[i]->geometry(), QRect(8 + 24 * i, 7, 25, 25)) << i;
        EXPECT_FALSE(row[i]->icon().isNull()) << i;
        EXPECT_FALSE(row[i]->toolTip().isEmpty()) << i;
    }

    TestPlayer player(QStringLiteral("panel"));
    ASSERT_TRUE(player.ready());
    ASSERT_NE(Form1->WinAmpControl1.GoFindWinAmp(), 0);
    // A player that a new search would pick instead: the buttons never search.
    TestPlayer earlier(QStringLiteral("aaa"));
    ASSERT_TRUE(earlier.ready());

    for (QPushButton* button : row) button->click();
    EXPECT_EQ(player.record(),
              (QStringList{"Previous", "Seek -5000000", "Stop", "Pause", "Play", "Seek 5000000", "Next"}));
    EXPECT_EQ(earlier.record(), NoCalls);
}

using sonoverne::test::SessionBus;

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    SessionBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "cannot start a private session bus (dbus-daemon)\n");
        return 1;
    }
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    QTemporaryDir work;
    scratch = &work;
    const int result = RUN_ALL_TESTS();
    DestroyForms();
    return result;
}
