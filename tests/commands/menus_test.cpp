// The main window's menus: every item under its caption, the tool windows they open with the
// selected rows, help, the update check and quitting.
#include "CommandsTest.h"

#include "CdDrives.h"
#include "Dialogs.h"
#include "LoopbackHttpServer.h"
#include "Shell.h"
#include "Unit1.h"
#include "Unit11.h"
#include "Unit12.h"
#include "Unit13.h"
#include "Unit14.h"
#include "Unit15.h"
#include "Unit17.h"
#include "Unit18.h"
#include "Unit19.h"
#include "Unit2.h"
#include "Unit20.h"
#include "Unit21.h"
#include "Unit24.h"
#include "Unit25.h"
#include "Unit5.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"
#include "Unit9.h"

#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

using namespace cmdtest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

// The item reached through the menu bar by captions, or nullptr.
QAction* menuItem(const QStringList& path)
{
    QList<QAction*> actions = Form1->MainMenu1->actions();
    QAction* found = nullptr;
    for (int i = 0; i < path.size(); ++i) {
        found = nullptr;
        for (QAction* action : actions)
            if (action->text() == path[i]) found = action;
        if (!found) return nullptr;
        if (i + 1 < path.size()) {
            if (!found->menu()) return nullptr;
            actions = found->menu()->actions();
        }
    }
    return found;
}

QAction* popupItem(const QString& caption)
{
    for (QAction* action : Form1->PopupMenu1->actions())
        if (action->text() == caption) return action;
    return nullptr;
}

Strings items(const ui::ListBox* list)
{
    Strings out;
    for (int i = 0; i < list->Count(); ++i) out.push_back(list->Item(i));
    return out;
}

class Menus : public Collection {
protected:
    void SetUp() override
    {
        Collection::SetUp();
        a_ = putTagged("a.mp3", texts("Alpha", "Un"));
        b_ = putTagged("b.mp3", texts("Beta", "Deux"));
        c_ = putTagged("c.mp3", texts("Gamma", "Trois"));
        walk();
        ASSERT_EQ(listPaths().size(), 3u);
    }
    // The selected files in list order.
    Strings inListOrder(Strings paths) const
    {
        std::sort(paths.begin(), paths.end(),
                  [](const std::string& x, const std::string& y) { return listRowOf(x) < listRowOf(y); });
        return paths;
    }
    std::string a_, b_, c_;
};

struct ToolCommand {
    const char* caption;  // empty: bound to no item
    QAction* TForm1::*action;
    void (TForm1::*handler)();
    ui::Form* form;
    ui::ListBox* list;
    bool modal;
};

TEST_F(Menus, PopupItemsHandTheSelectedRowsToToolWindowsInListOrder)
{
    const ToolCommand commands[] = {
        {"Modification des tags", &TForm1::Modificationsdestags1, nullptr, Form6, Form6->ListBox1, true},
        {"Renommage intelligent", &TForm1::Renommerlesfichiers1, nullptr, Form8, Form8->ListBox1, true},
        {"Créer une liste", &TForm1::Crerunelisteauformattxt1, nullptr, Form9, Form9->ListBox1, false},
        {"Formater les tags (Majuscules / Minuscules)", &TForm1::FormaterlestagsMajusculesMinuscules1, nullptr, Form13,
         Form13->ListBox1, true},
        {"Valider les tags (supprime les caractères incorrects)",
         &TForm1::Validerlestagssupprimelescaractresincorectes1, nullptr, Form14, Form14->ListBox1, true},
        {"Normaliser le volume", &TForm1::Normaliserlevolume2, nullptr, Form15, Form15->ListBox1, false},
        {"Convertir en WAV", &TForm1::ConvertirenWAV1, nullptr, Form21, Form21->ListBox1, false},
        {"", nullptr, &TForm1::Convertir1Click, Form12, Form12->ListBox1, true},
    };
    // Selected out of order; one of them is already in the window's list.
    select({c_, a_});
    const Strings selected = inListOrder({a_, c_});
    for (const ToolCommand& command : commands) {
        SCOPED_TRACE(command.caption);
        command.list->Clear();
        command.list->Add(c_);
        Strings expected{c_};
        expected.insert(expected.end(), selected.begin(), selected.end());
        if (command.list->Sorted) std::sort(expected.begin(), expected.end());

        QAction* item = nullptr;
        if (command.action) {
            item = popupItem(QString::fromUtf8(command.caption));
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item, Form1->*command.action);
        }
        auto run = [&] { item ? item->trigger() : (Form1->*command.handler)(); };
        Strings handed;
        bool mainVisible = false;
        const auto seen = whileModal(run, [&](ui::Form*) {
            handed = items(command.list);
            mainVisible = Form1->isVisible();
        });
        if (command.modal) {
            ASSERT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen[0].form, command.form);
            EXPECT_TRUE(seen[0].applicationModal);
            EXPECT_TRUE(mainVisible);
            EXPECT_THAT(handed, ElementsAreArray(expected));
            EXPECT_FALSE(command.form->isVisible());
        } else {
            EXPECT_THAT(seen, IsEmpty());
            EXPECT_TRUE(command.form->isVisible());
            EXPECT_FALSE(command.form->isModal());
            EXPECT_FALSE(Form1->isVisible());
            EXPECT_THAT(items(command.list), ElementsAreArray(expected));
            command.form->Close();
            EXPECT_TRUE(Form1->isVisible());
        }
        command.list->Clear();
    }
}

TEST_F(Menus, ConvertToWavWithoutSelectionOpensAnEmptyListAndHidesTheMainWindow)
{
    select({});
    Form21->ListBox1->Clear();
    Form1->ConvertirenWAV1->trigger();
    EXPECT_TRUE(Form21->isVisible());
    EXPECT_EQ(Form21->ListBox1->Count(), 0);
    EXPECT_FALSE(Form1->isVisible());
    Form21->Close();
    EXPECT_TRUE(Form1->isVisible());
}

struct WindowCommand {
    QStringList path;
    QAction* TForm1::*action;
    ui::Form* form;
    ui::ListBox* list;  // the window's list, which these commands leave alone
    bool modal;
};

TEST_F(Menus, MainMenuItemsOpenTheirWindowsWithoutHandingRows)
{
    const QString ops = QStringLiteral("Opérations sur les MP3");
    const WindowCommand commands[] = {
        {{"Options", "Général"}, &TForm1::Gnral1, Form2, nullptr, true},
        {{"Options", "Renommage intelligent des fichiers"},
         &TForm1::Renommageintelligentdesfichiers2,
         Form17,
         nullptr,
         true},
        {{"Options", "Extraction des pistes d'un CD"}, &TForm1::ExatrctiondespistesdunCD1, Form19, nullptr, true},
        {{"Options", "Tags"}, &TForm1::ags1, Form20, nullptr, true},
        {{"Options", "CDDB"}, &TForm1::CDDB1, Form24, nullptr, true},
        {{ops, "Modification des tags de plusieurs fichiers"},
         &TForm1::Modificationsdetagsdeplusieursfichiers1,
         Form6,
         Form6->ListBox1,
         true},
        {{ops, "Importer les tags ID3V1 vers ID3V2"}, &TForm1::ImporterlestagsID3V1versID3V21, Form7, nullptr, true},
        {{ops, "Formater les tags (Majuscules / Minuscules)"},
         &TForm1::Formaterlestags1,
         Form13,
         Form13->ListBox1,
         true},
        {{ops, "Valider les tags (supprime les caractères incorrects)"},
         &TForm1::Validerlestassupprimelescaractresincorrects1,
         Form14,
         Form14->ListBox1,
         true},
        {{ops, "Incrémenter les pistes"}, &TForm1::Incrmenterlespistes1, Form25, nullptr, true},
        {{ops, "Normaliser le volume"}, &TForm1::Normaliserlevolume1, Form15, Form15->ListBox1, false},
        {{ops, "Renommage intelligent des fichiers"},
         &TForm1::Renommageintelligentdesfichiers1,
         Form8,
         Form8->ListBox1,
         true},
        {{ops, "Créer une liste"}, &TForm1::Faireunelisteauformattxt1, Form9, Form9->ListBox1, false},
        {{"Convertir", "Convertir WAV > MP3"}, &TForm1::ConvertirReconvertir1, Form12, Form12->ListBox1, true},
        {{"Convertir", "Convertir MP3 > WAV"}, &TForm1::ConvertirMP3Wav1, Form21, Form21->ListBox1, false},
        {{"CD", "Extraire les pistes d'un CD"}, &TForm1::RipperunCD1, Form11, nullptr, true},
        {{"Aide", "A Propos..."}, &TForm1::APropos1, Form5, nullptr, true},
        {{"Winamp", "Options de Winamp..."}, &TForm1::OptionsWinamp1, Form18, nullptr, true},
    };
    select({a_, b_});
    for (const WindowCommand& command : commands) {
        SCOPED_TRACE(command.path.join(" > ").toStdString());
        QAction* item = menuItem(command.path);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item, Form1->*command.action);
        if (command.list) command.list->Clear();

        ui::Dialogs::clearScript();
        const auto seen = whileModal([&] { item->trigger(); });
        if (command.form == Form11 && cdaudio::cdSources().empty()) {
            // No CD drive on this machine's test run: the window says so and closes itself.
            QCoreApplication::processEvents();
            EXPECT_FALSE(Form11->isVisible());
            ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
            EXPECT_EQ(ui::Dialogs::shown()[0].text, QStringLiteral("Aucun Lecteur de CD-Rom disponible"));
            continue;
        }
        if (command.modal) {
            ASSERT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen[0].form, command.form);
            EXPECT_TRUE(seen[0].applicationModal);
            EXPECT_TRUE(Form1->isVisible());
        } else {
            EXPECT_THAT(seen, IsEmpty());
            EXPECT_TRUE(command.form->isVisible());
            EXPECT_FALSE(Form1->isVisible());
            command.form->Close();
            EXPECT_TRUE(Form1->isVisible());
        }
        if (command.list) { EXPECT_EQ(command.list->Count(), 0); }
    }

    // The Winamp options' own handler, which no menu item is bound to.
    const auto seen = whileModal([] { Form1->Winamp1Click(); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].form, Form18);
}

TEST_F(Menus, EveryOtherItemHasItsCaption)
{
    const QString ops = QStringLiteral("Opérations sur les MP3");
    const std::pair<QStringList, QAction * TForm1::*> main[] = {
        {{"Fichier", "Quitter"}, &TForm1::Quitter1},
        {{"Liste", "Trier la liste de gauche par", "Artistes"}, &TForm1::Artistes2},
        {{"Liste", "Trier la liste de gauche par", "Albums"}, &TForm1::Albums1},
        {{"Liste", "Sélectionner tout"}, &TForm1::Slectionnertout1},
        {{"Liste", "Rafraichir (tous les fichiers)"}, &TForm1::Rafraichir1},
        {{ops, "Editer les tags"}, &TForm1::Editerlestags1},
        {{ops, "Créer une Playlist compatible Winamp (des fichiers sélectionnés)"}, &TForm1::CrerunePlaylist1},
        {{ops, "Ecouter les fichiers sélectionnés avec Winamp"}, &TForm1::JoueravecWinamp1},
        {{"Winamp", "Afficher le panneau de contrôle de Winamp"}, &TForm1::OuvrirlepanneaudecontrledeWinamp1},
        {{"Aide", "Aide"}, &TForm1::Aide2},
        {{"Version de Sonoverne", "Chercher une nouvelle version sur Internet"},
         &TForm1::ChercherunenouvelleversionsurInternet1},
    };
    for (const auto& [path, action] : main) {
        SCOPED_TRACE(path.join(" > ").toStdString());
        QAction* item = menuItem(path);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item, Form1->*action);
    }
    EXPECT_TRUE(Form1->OuvrirlepanneaudecontrledeWinamp1->isCheckable());

    const std::pair<const char*, QAction * TForm1::*> popup[] = {
        {"Créer une Playlist compatible Winamp", &TForm1::CrerunePlaylistWinamp1},
        {"Ecouter avec Winamp", &TForm1::JouerdansWinamp1},
        {"Rafraichir (les éléments sélectionnés)", &TForm1::Rafraichir3},
    };
    for (const auto& [caption, action] : popup) {
        SCOPED_TRACE(caption);
        QAction* item = popupItem(QString::fromUtf8(caption));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item, Form1->*action);
    }
    // The list's pop-up holds ten commands.
    int commands = 0;
    for (QAction* action : Form1->PopupMenu1->actions()) commands += !action->isSeparator();
    EXPECT_EQ(commands, 10);
}

TEST_F(Menus, HelpOpensTheIndexPageBesideTheProgram)
{
    Strings opened;
    platform::setOpenDocumentHandler([&](const std::string& document) {
        opened.push_back(document);
        return true;
    });
    Form1->Aide2->trigger();
    EXPECT_THAT(opened, ElementsAre(programFolder + "/Aide/index.htm"));
    EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
}

// The update check runs the shared library's wizard over the main window; a check that finds
// nothing to install leaves the program running.
class UpdateCheck : public Collection {
protected:
    void TearDown() override
    {
        UpdateScriptURL = savedScript_;
        Collection::TearDown();
    }

    struct Run {
        int wizards = 0;
        QWidget* owner = nullptr;
        QStringList pages;  // each click: "next", or the caption of the closing button
        QStringList boxes;  // message boxes the library showed
    };
    // Runs the command, driving the wizard: "Suivant" while it is offered (twice at most), the
    // closing button once the check has ended without anything to download.
    Run check()
    {
        Run run;
        int nextClicks = 0;
        bool pending = false;  // a click is on its way
        // Clicked from the event loop: the click runs the wizard's own waits and boxes, which
        // this timer must still be able to answer.
        auto later = [&pending](QAbstractButton* button) {
            pending = true;
            QTimer::singleShot(0, button, [&pending, button] {
                pending = false;
                button->click();
            });
        };
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) return;
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                run.boxes << box->windowTitle() + ": " + box->text();
                box->button(box->standardButtons() & QMessageBox::Ok ? QMessageBox::Ok : QMessageBox::No)->click();
                return;
            }
            if (pending || modal->objectName() != QLatin1String("UpdWiz")) return;
            auto* next = modal->findChild<QAbstractButton*>(QStringLiteral("NextButton"));
            auto* prev = modal->findChild<QAbstractButton*>(QStringLiteral("PrevButton"));
            auto* cancel = modal->findChild<QAbstractButton*>(QStringLiteral("CancelButton"));
            if (!next || !prev || !cancel) return;
            if (nextClicks > 0 && (prev->isEnabled() || cancel->text() == QStringLiteral("&Fermer"))) {
                // The failure page, or the page saying there is nothing newer.
                run.pages << cancel->text();
                later(cancel);
            } else if (next->isEnabled() && nextClicks < 2) {
                if (nextClicks++ == 0) {
                    ++run.wizards;
                    run.owner = modal->parentWidget();
                }
                run.pages << QStringLiteral("next");
                later(next);
            }
        });
        driver.start(10);
        Form1->ChercherunenouvelleversionsurInternet1->trigger();
        driver.stop();
        return run;
    }

    // The update script announcing a version of this program.
    void announce(const QString& version)
    {
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        server_.serve(QStringLiteral("/sonoverne/update.ini"),
                      QStringLiteral("[Modules]\r\n%1 = Setup\r\n[%1]\r\nFullVersion=%2\r\n[Setup]\r\nDownLoad=%3\r\n")
                          .arg(exe, version, server_.url(QStringLiteral("/setup")))
                          .toUtf8());
        UpdateScriptURL = server_.url(QStringLiteral("/sonoverne/update.ini")).toStdString();
    }

    vyxtest::LoopbackHttpServer server_;
    std::string savedScript_ = UpdateScriptURL;
};

TEST_F(UpdateCheck, NoNewerVersionLeavesTheMainWindowOpen)
{
    ASSERT_TRUE(server_.isListening());
    announce(QStringLiteral("1.5.0.0"));
    const Run run = check();
    EXPECT_EQ(run.wizards, 1);
    EXPECT_EQ(run.owner, Form1);
    EXPECT_EQ(run.pages, (QStringList{"next", "&Fermer"}));
    EXPECT_THAT(run.boxes, IsEmpty());
    EXPECT_EQ(server_.requests(), QStringList{"/sonoverne/update.ini"});
    EXPECT_TRUE(Form1->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(UpdateCheck, AMissingScriptLeavesTheMainWindowOpen)
{
    ASSERT_TRUE(server_.isListening());
    server_.route(QStringLiteral("/sonoverne/update.ini"), vyxtest::Response{404, "absent", {}, false});
    UpdateScriptURL = server_.url(QStringLiteral("/sonoverne/update.ini")).toStdString();
    const Run run = check();
    EXPECT_EQ(run.wizards, 1);
    EXPECT_EQ(run.pages.size(), 2);
    EXPECT_EQ(server_.requests(), QStringList{"/sonoverne/update.ini"});
    EXPECT_TRUE(Form1->isVisible());
}

TEST_F(UpdateCheck, AStartedInstallerClosesTheMainWindow)
{
    ASSERT_TRUE(server_.isListening());
    const std::string marker = tempRoot + "/installer-ran";
    // Written aside, then renamed: the marker appears with its text.
    server_.serve(QStringLiteral("/setup"),
                  QByteArray::fromStdString("#!/bin/sh\necho \"$0\" > '" + marker + ".tmp' && mv '" + marker +
                                            ".tmp' '" + marker + "'\n"));
    announce(QStringLiteral("1.6.0.0"));
    const Run run = check();
    EXPECT_EQ(run.wizards, 1);
    EXPECT_EQ(run.pages, (QStringList{"next", "next"}));
    ASSERT_EQ(run.boxes.size(), 1);
    EXPECT_TRUE(run.boxes[0].startsWith("Information: ")) << run.boxes[0].toStdString();
    EXPECT_EQ(server_.requests(), (QStringList{"/sonoverne/update.ini", "/setup"}));
    EXPECT_FALSE(Form1->isVisible());
    ASSERT_TRUE(waitForFile(marker));
    // The installer the library left in the temporary folder, with its folder: nothing piles up
    // there from run to run.
    Form1->Show();
    const QFileInfo installer(QString::fromStdString(readBytes(marker)).trimmed());
    ASSERT_TRUE(installer.isFile());
    ASSERT_TRUE(installer.dir().dirName().startsWith(QStringLiteral("Vyx")));
    QDir(installer.absolutePath()).removeRecursively();
}

// Last of this file: it closes every window, as quitting does.
TEST_F(Menus, QuitEndsTheEventLoop)
{
    QAction* item = menuItem({"Fichier", "Quitter"});
    ASSERT_NE(item, nullptr);
    QTimer::singleShot(0, item, &QAction::trigger);
    // Should quitting fail, the loop still ends, with another code.
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    fallback.start(30000);
    EXPECT_EQ(QApplication::exec(), 0);
}

}  // namespace
