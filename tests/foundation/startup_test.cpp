// The program's start-up: its windows, the settings read into the values and the option
// windows, the walk of the music folder, its stop, and the reloads.
// The settings folder and the program folder are temporary, set before anything reads them.
#include "AppTestMain.h"
#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "Program.h"
#include "TempTree.h"
#include "Unit1.h"
#include "Unit10.h"
#include "Unit11.h"
#include "Unit12.h"
#include "Unit13.h"
#include "Unit14.h"
#include "Unit15.h"
#include "Unit16.h"
#include "Unit17.h"
#include "Unit18.h"
#include "Unit19.h"
#include "Unit2.h"
#include "Unit20.h"
#include "Unit21.h"
#include "Unit22.h"
#include "Unit23.h"
#include "Unit24.h"
#include "Unit25.h"
#include "Unit26.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit5.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"
#include "Unit9.h"
#include "variable.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <set>
#include <utility>

using ::testing::UnorderedElementsAreArray;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QSize& s, std::ostream* os) { *os << s.width() << "x" << s.height(); }
QT_END_NAMESPACE

namespace {

TempTree* tree = nullptr;
std::string programDir;  // with its trailing separator
int walks = 0;           // walks started on the main window's walker
TScruteEvent mainOnFichier;

std::vector<std::string> foundPaths()
{
    std::vector<std::string> out;
    for (int i = 1; i <= FileCount; ++i) out.push_back(FilePaths[i]);
    return out;
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::remove(SettingsFilePath());
        ui::Dialogs::clearScript();
        QuitAfterScan = false;
        walks = 0;
        Form1->ScruteDossier1.OnFichier = mainOnFichier;
    }
    void TearDown() override { Form1->ScruteDossier1.OnFichier = mainOnFichier; }

    static std::string settingsText() { return TempTree::read(SettingsFilePath()); }
    static void writeSettings(const std::string& text) { tree->file("config/Sonoverne.ini", text); }

    // Runs body after the main window's handler for each file found.
    static void afterEachFile(std::function<void()> body)
    {
        Form1->ScruteDossier1.OnFichier = [body](TScruteDossier* s, const std::string& n) {
            mainOnFichier(s, n);
            body();
        };
    }
    // A folder of n MP3 files.
    static std::string musicFolder(const std::string& name, int n)
    {
        for (int i = 0; i < n; ++i) tree->file(name + "/" + std::to_string(100 + i) + ".mp3");
        return tree->path(name);
    }
    static const std::vector<std::string> programFiles()
    {
        return {programDir + "a.mp3", programDir + "b.MP3", programDir + "Sub/c.mp3"};
    }
};

TEST_F(Startup, TheWindowsInCreationOrder)
{
    const std::vector<ui::Form*>& forms = CreateForms();  // a second call creates nothing
    const std::vector<ui::Form*> globals = {Form1,  Form2,  Form3,  Form4,  Form5,  Form6,  Form7,  Form8,  Form9,
                                            Form10, Form11, Form12, Form13, Form14, Form15, Form16, Form17, Form18,
                                            Form19, Form20, Form21, Form22, Form23, Form24, Form25, Form26};
    const char* const captions[26] = {
        nullptr,
        "Options générales",
        "Veuillez Patienter SVP...",
        "Edition des tags",
        "A Propos de Sonoverne",
        "Modification des tags de plusieurs fichiers",
        "Importation ID3V1 vers ID3V2",
        "Renommage intelligent des fichiers",
        "Création de liste",
        "Liste de MP3",
        "Extraire les pistes d'un CD",
        "Convertir WAV > MP3",
        "Formater les tags",
        "Validation des tags",
        "Normaliser un fichier MP3",
        "Veuillez Patienter SVP...",
        "Options - Renommage intelligent des fichiers",
        "Options - Winamp",
        "Options - Extraction des pistes d'un CD",
        "Options - Tags",
        "Convertir : MP3 > WAV",
        "Plusieurs Albums Trouvés",
        "Changement d'identité du CD (piste, artiste, album)",
        "Options CDDB",
        "Incrémenter les pistes",
        "Winamp",
    };
    ASSERT_EQ(forms.size(), 26u);
    EXPECT_TRUE(forms[0]->Caption().startsWith(QStringLiteral("Sonoverne"))) << forms[0]->Caption().toStdString();
    for (size_t i = 0; i < 26; ++i) {
        EXPECT_EQ(forms[i], globals[i]) << "Form" << i + 1;
        if (captions[i]) { EXPECT_EQ(forms[i]->Caption(), QString::fromUtf8(captions[i])) << "Form" << i + 1; }
        EXPECT_FALSE(forms[i]->isVisible()) << "Form" << i + 1;
    }
    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Sonoverne"));
    EXPECT_TRUE(QString::fromStdString(ApplicationHelpFile).endsWith(QStringLiteral("Aide/index.htm")));
    EXPECT_EQ(ApplicationHelpFile.front(), '/');
}

// Each window's title-bar buttons, and its size where it has one: the outer size takes in the
// frame and title bar, the inner size is what the controls get.
TEST_F(Startup, EveryWindowHasItsBorderIconsAndSize)
{
    enum Icons { All, SystemMenu, NoButton };
    struct Row {
        ui::Form* form;
        Icons icons;
        QSize outer, inner;
    };
    const Row rows[] = {
        {Form1, All, {}, {}},
        {Form2, All, {}, {}},
        {Form3, NoButton, {}, {}},
        {Form4, SystemMenu, {}, {}},
        {Form5, All, {}, {}},
        {Form6, SystemMenu, {}, {}},
        {Form7, SystemMenu, {}, {}},
        {Form8, SystemMenu, {}, {}},
        {Form9, SystemMenu, {}, {}},
        {Form10, SystemMenu, {}, {}},
        {Form11, SystemMenu, {}, {}},
        {Form12, SystemMenu, {681, 594}, {}},
        {Form13, SystemMenu, {}, {}},
        {Form14, SystemMenu, {}, {}},
        {Form15, SystemMenu, {682, 549}, {}},
        {Form16, NoButton, {230, 91}, {}},
        {Form17, SystemMenu, {}, {}},
        {Form18, SystemMenu, {}, {}},
        {Form19, SystemMenu, {}, {}},
        {Form20, SystemMenu, {}, {}},
        {Form21, SystemMenu, {677, 545}, {}},
        {Form22, NoButton, {}, {}},
        {Form23, NoButton, {}, {}},
        {Form24, SystemMenu, {}, {}},
        {Form25, SystemMenu, {}, {}},
        {Form26, NoButton, {}, {185, 40}},
    };
    ASSERT_EQ(std::size(rows), CreateForms().size());
    for (const Row& r : rows) {
        SCOPED_TRACE(r.form->Caption().toStdString());
        const Qt::WindowFlags flags = r.form->windowFlags();
        EXPECT_TRUE(flags & Qt::WindowTitleHint);
        EXPECT_EQ(bool(flags & Qt::WindowSystemMenuHint), r.icons != NoButton);
        EXPECT_EQ(bool(flags & Qt::WindowCloseButtonHint), r.icons != NoButton);
        EXPECT_EQ(bool(flags & Qt::WindowMinimizeButtonHint), r.icons == All);
        EXPECT_EQ(bool(flags & Qt::WindowMaximizeButtonHint), r.icons == All);
        if (r.outer.isEmpty() && r.inner.isEmpty()) continue;
        // Shown without its handlers: only the frame matters here.
        const auto onShow = std::exchange(r.form->OnShow, nullptr);
        const auto onHide = std::exchange(r.form->OnHide, nullptr);
        const auto onActivate = std::exchange(r.form->OnActivate, nullptr);
        r.form->show();
        QApplication::processEvents();
        const QSize frame = r.form->frameGeometry().size() - r.form->size();
        EXPECT_TRUE(frame.width() > 0 && frame.height() > 0) << ::testing::PrintToString(frame);
        if (!r.outer.isEmpty()) {
            EXPECT_EQ(r.form->frameGeometry().size(), r.outer);
        } else {
            EXPECT_EQ(r.form->size(), r.inner);
        }
        // The size the user gives the window then stays at the next showing.
        r.form->hide();
        r.form->resize(r.form->size() + QSize(8, 8));
        const QSize given = r.form->size();
        r.form->show();
        QApplication::processEvents();
        EXPECT_EQ(r.form->size(), given);
        r.form->hide();
        r.form->OnShow = onShow;
        r.form->OnHide = onHide;
        r.form->OnActivate = onActivate;
    }
}

TEST_F(Startup, TheFirstActivationWalksOnceOnly)
{
    // Shown first, as the program does; the activation may come from the platform or from us.
    Form1->Show();
    QApplication::processEvents();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(Form1, &activate);
    EXPECT_EQ(walks, 1);
    EXPECT_THAT(foundPaths(), UnorderedElementsAreArray(programFiles()));
    EXPECT_FALSE(Form3->isVisible());
    // The list takes five sixths of the window.
    const QList<int> sizes = Form1->Splitter1->sizes();
    ASSERT_EQ(sizes.size(), 2);
    EXPECT_GT(sizes[1], sizes[0] * 3);

    Form2->Show();
    QApplication::sendEvent(Form1, &activate);
    Form1->FormActivate();
    Form2->Hide();
    Form1->Hide();
    EXPECT_EQ(walks, 1);
}

TEST_F(Startup, DefaultsWithoutASettingsFile)
{
    LoadSettings();
    EXPECT_EQ(walks, 1);
    EXPECT_EQ(Mp3Folder, programDir);
    EXPECT_EQ(Form1->ScruteDossier1.Dossier, programDir);
    EXPECT_EQ(WinampExe, programDir);  // a folder without the player: kept as it is
    EXPECT_EQ(RipFolder, programDir);
    EXPECT_EQ(RenameSeparator, "-");
    EXPECT_EQ(RipFormat, "%1\\%2\\%4 - %6");
    EXPECT_EQ(CddbServerIndex, 0);
    EXPECT_FALSE(UseId3v1);
    EXPECT_EQ(Mp3Drive, '/');
    EXPECT_EQ(WinampDrive, '/');
    EXPECT_EQ(RipDrive, '/');

    EXPECT_EQ(Form19->Edit1->text(), QStringLiteral("%1\\%2\\%4 - %6"));
    EXPECT_EQ(Form24->ComboBox1->currentIndex(), 0);
    EXPECT_EQ(Form17->Edit1->text(), QStringLiteral("-"));
    EXPECT_EQ(Form2->DirectoryListBox1->Directory() + "/", programDir);
    EXPECT_EQ(Form18->DirectoryListBox2->Directory() + "/", programDir);
    EXPECT_EQ(Form19->DirectoryListBox3->Directory() + "/", programDir);
    EXPECT_FALSE(Form20->CheckBox1->isChecked());

    // The walk: every MP3 file of the program folder, in any case, and nothing else.
    EXPECT_THAT(foundPaths(), UnorderedElementsAreArray(programFiles()));
    for (int i = 1; i <= FileCount; ++i) {
        EXPECT_EQ(FileTable[i][fPath], FilePaths[i]);
        EXPECT_EQ(FileTable[i][fFolder], platform::folderPart(FilePaths[i]));
        EXPECT_EQ(FileTable[i][fFolder].back(), '/');
    }
    EXPECT_FALSE(Form3->isVisible());
    EXPECT_EQ(Form1->StatusPanels[0]->text(), QStringLiteral("Artistes"));
    EXPECT_EQ(Form1->StatusPanels[1]->text(), QStringLiteral("3 fichier(s)"));
    // Reading writes nothing.
    EXPECT_FALSE(std::filesystem::exists(SettingsFilePath()));
    EXPECT_FALSE(QuitAfterScan);
}

TEST_F(Startup, ValuesOfTheFileReachTheWindows)
{
    const std::string music = musicFolder("music-values", 4);
    const std::string rip = tree->dir("rip-values");
    tree->file("players-values/readme.txt");
    writeSettings("[liste]\r\ndossier=" + music + "\r\n[WINAMP]\r\nExe=" + tree->path("players-values/") +
                  "\r\n[Renommage]\r\nSeparateur=_\r\n[Rip]\r\nDossier=" + rip +
                  "\r\nFormat=%2 - %6\r\n[ID3V1]\r\nUtiliser=1\r\n[CDDB]\r\nServeur=7\r\n");
    LoadSettings();
    EXPECT_EQ(Mp3Folder, music);
    EXPECT_EQ(Form1->ScruteDossier1.Dossier, music);
    EXPECT_EQ(WinampExe, tree->path("players-values/"));
    EXPECT_EQ(RenameSeparator, "_");
    EXPECT_EQ(RipFolder, rip);
    EXPECT_EQ(RipFormat, "%2 - %6");
    EXPECT_TRUE(UseId3v1);
    EXPECT_EQ(CddbServerIndex, 7);

    EXPECT_EQ(Form19->Edit1->text(), QStringLiteral("%2 - %6"));
    EXPECT_EQ(Form24->ComboBox1->currentIndex(), 7);
    EXPECT_EQ(Form17->Edit1->text(), QStringLiteral("_"));
    EXPECT_EQ(Form2->DirectoryListBox1->Directory(), music);
    EXPECT_EQ(Form18->DirectoryListBox2->Directory(), tree->path("players-values"));
    EXPECT_EQ(Form19->DirectoryListBox3->Directory(), rip);
    EXPECT_TRUE(Form20->CheckBox1->isChecked());
    EXPECT_EQ(FileCount, 4);
    EXPECT_EQ(Form1->StatusPanels[1]->text(), QStringLiteral("4 fichier(s)"));
}

TEST_F(Startup, AStaleMusicFolderGivesTheProgramFolder)
{
    const std::string gone = tree->dir("gone-music");
    std::filesystem::remove(gone);
    const std::string text = "[Liste]\r\nDossier=" + gone + "\r\n";
    writeSettings(text);
    LoadSettings();
    EXPECT_EQ(Mp3Folder, programDir);
    EXPECT_EQ(Form1->ScruteDossier1.Dossier, programDir);
    EXPECT_THAT(foundPaths(), UnorderedElementsAreArray(programFiles()));
    EXPECT_EQ(settingsText(), text);

    // A file where the folder should be is no folder either.
    writeSettings("[Liste]\r\nDossier=" + programDir + "a.mp3\r\n");
    LoadSettings();
    EXPECT_EQ(Mp3Folder, programDir);
}

TEST_F(Startup, F5AndRefreshReadTheFileAgain)
{
    const std::string music = musicFolder("music-f5", 2);
    writeSettings("[Liste]\r\nDossier=" + music + "\r\n[Renommage]\r\nSeparateur=_\r\n");
    Form1->FormShortCut(Qt::Key_F5, Qt::NoModifier);
    EXPECT_EQ(walks, 1);
    EXPECT_EQ(RenameSeparator, "_");
    EXPECT_EQ(FileCount, 2);

    // Edited by hand between two reloads.
    writeSettings("[Liste]\n"
                  "Dossier=" +
                  programDir + "\n[Renommage]\nSeparateur=+\n");
    Form1->FormShortCut(Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(walks, 2);
    EXPECT_EQ(RenameSeparator, "+");
    EXPECT_EQ(Form17->Edit1->text(), QStringLiteral("+"));
    EXPECT_EQ(FileCount, 3);

    writeSettings("[Renommage]\r\nSeparateur=#\r\n[Liste]\r\nDossier=" + music + "\r\n");
    Form1->Rafraichir1Click();
    EXPECT_EQ(walks, 3);
    EXPECT_EQ(RenameSeparator, "#");
    EXPECT_EQ(FileCount, 2);  // the table is refilled from its first row

    writeSettings("[Renommage]\r\nSeparateur=*\r\n");
    Form1->FormShortCut(Qt::Key_F5, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(walks, 4);
    EXPECT_EQ(RenameSeparator, "*");

    // Another key reloads nothing.
    Form1->FormShortCut(Qt::Key_F4, Qt::NoModifier);
    Form1->FormShortCut(Qt::Key_A, Qt::NoModifier);
    EXPECT_EQ(walks, 4);

    // The key and the menu command of the window reach the same handler.
    QKeyEvent ctrlF5(QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier);
    QApplication::sendEvent(Form1, &ctrlF5);
    EXPECT_EQ(walks, 5);
    QKeyEvent f6(QEvent::KeyPress, Qt::Key_F6, Qt::NoModifier);
    QApplication::sendEvent(Form1, &f6);
    EXPECT_EQ(walks, 5);
    Form1->Rafraichir1->trigger();
    EXPECT_EQ(walks, 6);
    EXPECT_FALSE(Form3->isVisible());
}

TEST_F(Startup, AWinampFolderIsTakenAsItStands)
{
    tree->file("players-plain/readme.txt");
    for (const std::string& exe : {tree->path("players-plain/"), tree->path("players-plain")}) {
        writeSettings("[Winamp]\r\nEXE=" + exe + "\r\n");
        LoadSettings();
        EXPECT_EQ(WinampExe, exe);
        EXPECT_EQ(WinampDrive, '/');
    }
    // Empty values have no drive: the boxes stay where they are and the walk still runs.
    writeSettings("[Winamp]\r\nEXE=\r\n[Rip]\r\nDossier=\r\n");
    LoadSettings();
    EXPECT_EQ(WinampExe, "");
    EXPECT_EQ(RipFolder, "");
    EXPECT_EQ(WinampDrive, '\0');
    EXPECT_EQ(Form18->DirectoryListBox2->Directory(), tree->root());  // where the last load left it
    EXPECT_EQ(FileCount, 3);
}

TEST_F(Startup, GeneralOptionsApplyWritesTheMusicFolder)
{
    writeSettings("[Renommage]\r\nSeparateur=_\r\n");
    const std::string music = musicFolder("music-applied", 5);
    Form2->DirectoryListBox1->setDirectory(music);
    Form2->Button1->click();
    EXPECT_EQ(Mp3Folder, music);
    EXPECT_EQ(SettingsFile->ReadString("Liste", "Dossier", ""), music);
    const std::string text = settingsText();
    EXPECT_NE(text.find("[Liste]\r\nDossier=" + music + "\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Separateur=_"), std::string::npos);
    // Applying starts no walk; the next reload walks the new folder.
    EXPECT_EQ(walks, 0);
    Form1->Rafraichir1Click();
    EXPECT_EQ(Form1->ScruteDossier1.Dossier, music);
    EXPECT_EQ(FileCount, 5);

    // "Annuler" writes nothing.
    Form2->DirectoryListBox1->setDirectory(programDir);
    Form2->Button2->click();
    EXPECT_EQ(settingsText(), text);
    EXPECT_EQ(Mp3Folder, music);

    // A folder whose name holds a line end cannot be stored: an error box, the file unchanged.
    const std::string odd = tree->dir("line\nend");
    Form2->DirectoryListBox1->setDirectory(odd);
    ASSERT_EQ(Form2->DirectoryListBox1->Directory(), odd);
    Form2->Button1->click();
    EXPECT_EQ(settingsText(), text);
    ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
    EXPECT_EQ(ui::Dialogs::shown()[0].flags & 0xF0, unsigned(ui::MB_ICONERROR));
}

// Each option window writes before it takes the value: after a write that fails, the program
// keeps what the file holds; once the file can be written, the same click takes it.
TEST_F(Startup, OptionWindowsTakeOnlyWhatTheFileTook)
{
    LoadSettings();
    const std::string music = musicFolder("music-option", 1);
    const std::string rip = tree->dir("rip-option");
    const struct {
        const char* name;
        QPushButton* apply;
        std::function<void()> change;
        std::function<bool()> taken;  // the value in memory is the new one
    } windows[] = {
        {"general", Form2->Button1, [&] { Form2->DirectoryListBox1->setDirectory(music); },
         [&] { return Mp3Folder == music; }},
        {"rename", Form17->Button1, [] { Form17->Edit1->setText(QStringLiteral("+")); },
         [] { return RenameSeparator == "+"; }},
        {"rip folder", Form19->Button1, [&] { Form19->DirectoryListBox3->setDirectory(rip); },
         [&] { return RipFolder == rip; }},
        {"rip format", Form19->Button1, [] { Form19->Edit1->setText(QStringLiteral("%6")); },
         [] { return RipFormat == "%6"; }},
        {"tags", Form20->Button1, [] { Form20->CheckBox1->setChecked(true); }, [] { return UseId3v1; }},
        {"cddb", Form24->Button1, [] { Form24->ComboBox1->setCurrentIndex(5); }, [] { return CddbServerIndex == 5; }},
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(w.name);
        ui::Dialogs::clearScript();
        std::filesystem::remove(SettingsFilePath());
        std::filesystem::create_directory(SettingsFilePath());  // no file can be written there
        w.change();
        w.apply->click();
        std::filesystem::remove(SettingsFilePath());
        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        EXPECT_EQ(ui::Dialogs::shown()[0].flags & 0xF0, unsigned(ui::MB_ICONERROR));
        EXPECT_FALSE(w.taken());
        w.apply->click();
        EXPECT_TRUE(w.taken());
    }
    std::filesystem::remove(SettingsFilePath());
    LoadSettings();
}

TEST_F(Startup, ASettingsFileTooLargeIsSetAsideOnceAndSavingWorksAgain)
{
    const std::string big = "[Liste]\r\nDossier=/big\r\n" + std::string(2 << 20, ';');
    writeSettings(big);
    Form1->Rafraichir1Click();
    const std::string music = musicFolder("music-after-big", 1);
    Form2->DirectoryListBox1->setDirectory(music);
    Form2->Button1->click();
    Form2->Button1->click();
    EXPECT_EQ(settingsText(), "[Liste]\r\nDossier=" + music + "\r\n");
    const std::string aside = SettingsFilePath() + ".trop-grand";
    EXPECT_TRUE(TempTree::read(aside) == big);
    ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
    EXPECT_EQ(ui::Dialogs::shown()[0].flags & 0xF0, unsigned(ui::MB_ICONWARNING));
    EXPECT_TRUE(ui::Dialogs::shown()[0].text.contains(platform::toDisplay(aside)))
        << ui::Dialogs::shown()[0].text.toStdString();
    std::filesystem::remove(aside);
}

TEST_F(Startup, TheWinampOptionsSearchForThePlayer)
{
    tree->file("w-lower/winamp");
    tree->file("w-lower/notes.txt");
    tree->file("w-both/winamp");
    tree->file("w-both/Studio");
    tree->file("w-both/aaa.txt");
    tree->file("w-none/readme.txt");
    tree->dir("w-empty");
    tree->dir("w-folder/winamp");
    const QString found = QStringLiteral("OK - Winamp a été trouvé");
    const QString notFound = QStringLiteral("Winamp n'a pas été trouvé");

    // A settings load moves the folder box, which sets off the search.
    const std::string stored = "[Winamp]\r\nEXE=" + tree->path("w-lower/") + "\r\n";
    writeSettings(stored);
    LoadSettings();
    EXPECT_EQ(WinampExe, tree->path("w-lower/winamp"));
    EXPECT_EQ(Form18->Label4->text(), found);
    EXPECT_EQ(settingsText(), stored);  // found, not yet written

    writeSettings("[Winamp]\r\nEXE=" + tree->path("w-both/anything") + "\r\n");
    LoadSettings();
    EXPECT_EQ(WinampExe, tree->path("w-both/Studio"));
    EXPECT_EQ(Form18->Label4->text(), found);

    // A folder without the player: the label says so, the path found before stays.
    Form18->DirectoryListBox2->setDirectory(tree->path("w-none"));
    EXPECT_EQ(Form18->Label4->text(), notFound);
    EXPECT_EQ(WinampExe, tree->path("w-both/Studio"));
    // A folder named like the player is not the player.
    Form18->DirectoryListBox2->setDirectory(tree->path("w-folder"));
    EXPECT_EQ(Form18->Label4->text(), notFound);
    EXPECT_EQ(WinampExe, tree->path("w-both/Studio"));

    // An empty folder changes nothing, not even the label.
    Form18->DirectoryListBox2->setDirectory(tree->path("w-lower"));
    EXPECT_EQ(Form18->Label4->text(), found);
    Form18->DirectoryListBox2->setDirectory(tree->path("w-empty"));
    EXPECT_EQ(Form18->Label4->text(), found);
    EXPECT_EQ(WinampExe, tree->path("w-lower/winamp"));

    // "Appliquer" writes what was found.
    Form18->Button1->click();
    EXPECT_EQ(SettingsFile->ReadString("Winamp", "EXE", ""), tree->path("w-lower/winamp"));
}

TEST_F(Startup, StopAndOkKeepTheFilesFoundSoFar)
{
    const std::string music = musicFolder("music-stop", 30);
    writeSettings("[Liste]\r\nDossier=" + music + "\r\n");
    ui::Dialogs::pushAnswer(ui::IDOK);
    // The user presses "Arrêter" once ten files are listed: the click arrives while the walker
    // processes pending messages.
    afterEachFile([] {
        if (FileCount == 10) QMetaObject::invokeMethod(Form3->Button1, &QPushButton::click, Qt::QueuedConnection);
    });
    LoadSettings();
    EXPECT_EQ(FileCount, 10);
    const std::vector<std::string> paths = foundPaths();
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()).size(), 10u);
    EXPECT_EQ(Form1->StatusPanels[1]->text(), QStringLiteral("10 fichier(s)"));
    EXPECT_FALSE(Form3->isVisible());
    EXPECT_FALSE(QuitAfterScan);
    ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
    const ui::ShownBox& box = ui::Dialogs::shown()[0];
    EXPECT_EQ(box.text,
              QStringLiteral("Annuler = Quitter, OK = Arrêter la recherche des fichiers mais ouvrir Sonoverne"));
    EXPECT_EQ(box.caption, QStringLiteral("Sonoverne"));
    EXPECT_EQ(box.flags & 0xF, unsigned(ui::MB_OKCANCEL));

    // The next reload walks the whole folder again.
    afterEachFile([] {});
    Form1->Rafraichir1Click();
    EXPECT_EQ(FileCount, 30);
}

TEST_F(Startup, AReloadDuringAWalkStartsNoSecondWalk)
{
    const std::string music = musicFolder("music-nested", 12);
    writeSettings("[Liste]\r\nDossier=" + music + "\r\n");
    afterEachFile([] {
        if (FileCount == 5) {
            Form1->FormShortCut(Qt::Key_F5, Qt::NoModifier);
            Form1->Rafraichir1Click();
            LoadSettings();
        }
    });
    LoadSettings();
    EXPECT_EQ(walks, 1);
    EXPECT_EQ(FileCount, 12);
    const std::vector<std::string> paths = foundPaths();
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()).size(), 12u);
    EXPECT_FALSE(Form3->isVisible());
    EXPECT_FALSE(Form1->ScruteDossier1.Running());
}

TEST_F(Startup, TheWinampPanelItemIsUncheckedByEveryLoad)
{
    Form1->OuvrirlepanneaudecontrledeWinamp1->setChecked(true);
    LoadSettings();
    EXPECT_TRUE(Form1->OuvrirlepanneaudecontrledeWinamp1->isCheckable());
    EXPECT_FALSE(Form1->OuvrirlepanneaudecontrledeWinamp1->isChecked());
    Form1->OuvrirlepanneaudecontrledeWinamp1->setChecked(true);
    Form1->FormShortCut(Qt::Key_F5, Qt::NoModifier);
    EXPECT_FALSE(Form1->OuvrirlepanneaudecontrledeWinamp1->isChecked());
}

// Last: it ends the application's message loop.
TEST_F(Startup, StopAndCancelEndTheProgramAfterTheWalk)
{
    const std::string music = musicFolder("music-quit", 8);
    writeSettings("[Liste]\r\nDossier=" + music + "\r\n");
    ui::Dialogs::pushAnswer(ui::IDCANCEL);
    afterEachFile([] {
        if (FileCount == 3) QMetaObject::invokeMethod(Form3->Button1, &QPushButton::click, Qt::QueuedConnection);
    });
    QTimer::singleShot(0, [] { LoadSettings(); });
    // Only a guard against a loop that never ends; the answer is in the exit code.
    QTimer::singleShot(120000, [] { QApplication::exit(99); });
    const int code = QApplication::exec();
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(QuitAfterScan);
    EXPECT_EQ(FileCount, 3);
    EXPECT_EQ(Form1->StatusPanels[1]->text(), QStringLiteral("3 fichier(s)"));
    EXPECT_FALSE(Form3->isVisible());
}

}  // namespace

int main(int argc, char** argv)
{
    TempTree temp;
    tree = &temp;
    setenv("XDG_CONFIG_HOME", temp.path("config").c_str(), 1);
    programDir = temp.path("prog/");
    temp.file("prog/a.mp3");
    temp.file("prog/b.MP3");
    temp.file("prog/Sub/c.mp3");
    temp.file("prog/notes.txt");
    temp.file("prog/Sub/d.wav");
    platform::setProgramFolder(programDir);

    return sonoverne::test::RunWithWindows(argc, argv, [](QApplication&) {
        mainOnFichier = Form1->ScruteDossier1.OnFichier;
        Form1->ScruteDossier1.OnExecute = [](TScruteDossier*) { ++walks; };
    });
}
