// Playing the selected files and the player's control panel, against the test MPRIS player on
// the run's private session bus.
#include "CommandsTest.h"

#include "Dialogs.h"
#include "MprisTestBus.h"
#include "Unit1.h"
#include "Unit26.h"

#include <gmock/gmock.h>

using namespace cmdtest;
using ::testing::IsEmpty;

namespace {

// The test player, recording into the run's folder.
struct TestPlayer : sonoverne::test::TestPlayer {
    explicit TestPlayer(const QString& name, const QString& options = QString())
        : sonoverne::test::TestPlayer(QStringLiteral(MPRIS_TEST_PLAYER), name, QString::fromStdString(tempRoot), 0,
                                      options)
    {
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

TEST_F(Player, APlayerThatDoesNotAnswerEndsTheCommandWithOneMessage)
{
    TestPlayer player(QStringLiteral("asleep"), QStringLiteral("silent"));
    ASSERT_TRUE(player.ready());
    select(paths_);
    Form1->JoueravecWinamp1->trigger();
    // The first call lost ends the command: nothing more is sent, and the user is told once.
    EXPECT_EQ(player.record(), QStringList{"Stop"});
    ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
    EXPECT_EQ(ui::Dialogs::shown().front().text,
              QStringLiteral("Winamp ne répond pas : les fichiers sélectionnés n'ont pas tous pu lui être envoyés."));
    EXPECT_EQ(ui::Dialogs::shown().front().flags, unsigned(ui::MB_OK | ui::MB_ICONWARNING));
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
