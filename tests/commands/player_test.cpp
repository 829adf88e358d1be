// Playing the selected files and the player's control panel, against the test MPRIS player on
// the run's private session bus.
#include "CommandsTest.h"

#include "Dialogs.h"
#include "MprisTestBus.h"
#include "Unit1.h"
#include "Unit26.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <optional>

using namespace cmdtest;
using ::testing::IsEmpty;

namespace {

// The test player, recording into the run's folder.
struct TestPlayer : sonoverne::test::TestPlayer {
    explicit TestPlayer(const QString& name, const QString& options = QString(), int tracks = 0)
        : sonoverne::test::TestPlayer(QStringLiteral(MPRIS_TEST_PLAYER), name, QString::fromStdString(tempRoot), tracks,
                                      options)
    {
    }
};

// Counts the paintings of a widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

class Player : public Collection {
protected:
    void SetUp() override
    {
        Collection::SetUp();
        for (const char* name : {"p1.mp3", "p2.mp3", "p3.mp3"}) paths_.push_back(putTagged(name, texts("A", name)));
        walk();
        std::sort(paths_.begin(), paths_.end(),
                  [](const std::string& x, const std::string& y) { return listRowOf(x) < listRowOf(y); });
    }
    void TearDown() override
    {
        Form26->Hide();
        Collection::TearDown();
    }
    Strings paths_;  // in list order
};

TEST_F(Player, EachSelectedFileReplacesThePreviousOneAndTheLastPlays)
{
    TestPlayer player(QStringLiteral("listen"));
    ASSERT_TRUE(player.ready());
    for (QAction* command : {Form1->JouerdansWinamp1, Form1->JoueravecWinamp1}) {
        SCOPED_TRACE(command->text().toStdString());
        const qsizetype before = player.record().size();
        select(paths_);
        command->trigger();
        QStringList expected;
        for (const std::string& path : paths_)
            expected << "Stop"
                     << "OpenUri file://" + QString::fromStdString(path) << "Play";
        EXPECT_EQ(player.record().mid(before), expected);
        EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
    }
}

TEST_F(Player, APlayerIsCalledSilentOnlyWhenItIsAndTheWindowPaintsMeanwhile)
{
    const QString silent =
        QStringLiteral("Winamp ne répond pas : les fichiers sélectionnés n'ont pas tous pu lui être envoyés.");
    struct Case {
        const char* what;
        QString options;  // of the player "driven"
        int tracks;       // in its queue
        QString before;   // the options of a player "another" named before it, if any
        bool toldSilent;
        std::function<QStringList(const Strings&)> record;
    } cases[] = {
        // Its silence to the search ends the command: 2 s in all, nothing sent.
        {"never answers", "silent", 0, "", true, [](const Strings&) { return QStringList(); }},
        // The removals went out ahead of their answers; the first one lost ends the command.
        {"answers all but the removals", "silent=RemoveTrack", 3, "", true,
         [](const Strings&) {
             QStringList record{"Stop"};
             for (int t = 1; t <= 3; ++t)
                 record << QStringLiteral("RemoveTrack /org/mpris/MediaPlayer2/Track/%1").arg(t);
             return record;
         }},
        // Every call answered, each after 50 µs: however long the clear takes, nothing is lost.
        {"answers, with 50,000 tracks queued", "files,slow=50", 50000, "", false,
         [](const Strings& paths) {
             QStringList record{"Stop"};
             for (int t = 1; t <= 50000; ++t)
                 record << QStringLiteral("RemoveTrack /org/mpris/MediaPlayer2/Track/%1").arg(t);
             for (std::size_t i = 0; i < paths.size(); ++i)
                 record << (i ? QStringList{"Stop"} : QStringList())
                        << "OpenUri file://" + QString::fromStdString(paths[i]) << "Play";
             return record;
         }},
        // Another player's silence is not this one's.
        {"answers, after a player that never does", "files", 0, "silent,files", false,
         [](const Strings& paths) {
             QStringList record;
             for (const std::string& path : paths)
                 record << "Stop"
                        << "OpenUri file://" + QString::fromStdString(path) << "Play";
             return record;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui::Dialogs::clearScript();
        std::optional<TestPlayer> another;
        if (!c.before.isEmpty()) another.emplace(QStringLiteral("another"), c.before);
        TestPlayer player(QStringLiteral("driven"), c.options, c.tracks);
        ASSERT_TRUE(player.ready());
        select(paths_);
        PaintCounter counter;
        Form1->installEventFilter(&counter);
        QTimer repaint;
        QObject::connect(&repaint, &QTimer::timeout, Form1, [] { Form1->update(); });
        repaint.start(50);
        QElapsedTimer clock;
        clock.start();
        Form1->JoueravecWinamp1->trigger();
        const qint64 took = clock.elapsed();
        Form1->removeEventFilter(&counter);
        std::printf("%s: %lld ms, %d paintings\n", c.what, static_cast<long long>(took), counter.paints);
        EXPECT_LT(took, 60000);  // a watchdog, not a measure
        EXPECT_GT(counter.paints, 0);
        EXPECT_EQ(player.record(), c.record(paths_));
        if (another) { EXPECT_THAT(another->record(), IsEmpty()); }
        if (c.toldSilent) {
            ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
            EXPECT_EQ(ui::Dialogs::shown().front().text, silent);
            EXPECT_EQ(ui::Dialogs::shown().front().flags, unsigned(ui::MB_OK | ui::MB_ICONWARNING));
        } else {
            EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
        }
    }
}

TEST_F(Player, WithoutAPlayerNothingHappens)
{
    select(paths_);
    Form1->JouerdansWinamp1->trigger();
    Form1->JoueravecWinamp1->trigger();
    EXPECT_FALSE(Form1->WinAmpControl1.Found());
    EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
    EXPECT_TRUE(Form1->isVisible());
}

TEST_F(Player, PanelOpensAtTheTopRightCornerAndHidesAgain)
{
    TestPlayer player(QStringLiteral("panel"));
    ASSERT_TRUE(player.ready());
    QAction* item = Form1->OuvrirlepanneaudecontrledeWinamp1;
    item->setChecked(false);
    Form1->move(140, 70);
    const QRect main = Form1->frameGeometry();

    item->trigger();
    EXPECT_TRUE(item->isChecked());
    ASSERT_TRUE(Form26->isVisible());
    EXPECT_EQ(Form26->frameGeometry().topLeft(), QPoint(main.left() + main.width() - 260, main.top() + 5));
    EXPECT_THAT(player.record(), IsEmpty());  // showing the panel sends nothing

    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(Form26->isVisible());
}

TEST_F(Player, PanelWithoutAPlayerUnchecksItself)
{
    QAction* item = Form1->OuvrirlepanneaudecontrledeWinamp1;
    item->setChecked(false);
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(Form26->isVisible());
    EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
}

TEST_F(Player, EverySettingsLoadUnchecksThePanelItem)
{
    TestPlayer player(QStringLiteral("reload"));
    ASSERT_TRUE(player.ready());
    QAction* item = Form1->OuvrirlepanneaudecontrledeWinamp1;
    item->setChecked(false);
    item->trigger();
    ASSERT_TRUE(item->isChecked());
    walk();
    EXPECT_FALSE(item->isChecked());
    // The panel itself stays until the menu hides it.
    EXPECT_TRUE(Form26->isVisible());
}

}  // namespace
