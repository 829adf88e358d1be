#include "variable.h"

#include "Dialogs.h"
#include "FileSystem.h"
#include "Unit1.h"
#include "Unit17.h"
#include "Unit18.h"
#include "Unit19.h"
#include "Unit2.h"
#include "Unit20.h"
#include "Unit24.h"
#include "Unit3.h"

int FileCount = 0;
OneBasedTable<std::string> FilePaths;
OneBasedTable<FileRow> FileTable;
OneBasedTable<std::string> ArtistNames;
OneBasedTable<std::string> AlbumNames;
OneBasedTable<std::string> GenreNames;

std::unique_ptr<platform::IniFile> SettingsFile;
bool QuitAfterScan = false;

bool UseId3v1 = false;
int CddbServerIndex = 0;
std::string RipFormat;
std::string RenameSeparator;
std::string WinampExe;
std::string Mp3Folder;
std::string RipFolder;
char WinampDrive = 0, Mp3Drive = 0, RipDrive = 0;

const char* const SettingsFileName = "Sonoverne.ini";

std::string SettingsFilePath() { return platform::settingsFilePath(SettingsFileName); }

void LoadSettings()
{
    // A reload asked for while a walk runs would start a second walk inside the first.
    if (Form1->ScruteDossier1.Running()) return;

    Form1->ClearTreeAndList();

    SettingsFile = std::make_unique<platform::IniFile>(SettingsFilePath());
    // A file too large to be read is kept under another name when an option is next applied.
    SettingsFile->OnSetAside = [](const std::string& movedTo) {
        ui::Dialogs::MessageBox(
            Form1,
            QStringLiteral("Le fichier de réglages était trop grand pour être lu. Il a été mis de côté sous le nom %1, "
                           "et un nouveau fichier de réglages a été commencé : vos réglages peuvent de nouveau être enregistrés.")
                .arg(platform::toDisplay(movedTo)),
            QStringLiteral("Sonoverne"), ui::MB_OK | ui::MB_ICONWARNING);
    };
    const std::string programFolder = platform::programFolder();

    Mp3Folder = SettingsFile->ReadString("Liste", "Dossier", programFolder);
    if (!platform::folderExists(Mp3Folder)) Mp3Folder = programFolder;
    WinampExe = SettingsFile->ReadString("Winamp", "EXE", programFolder);
    RenameSeparator = SettingsFile->ReadString("Renommage", "Separateur", "-");
    RipFolder = SettingsFile->ReadString("Rip", "Dossier", programFolder);
    UseId3v1 = SettingsFile->ReadBool("ID3V1", "Utiliser", false);
    RipFormat = SettingsFile->ReadString("Rip", "Format", "%1\\%2\\%4 - %6");
    CddbServerIndex = SettingsFile->ReadInteger("CDDB", "Serveur", 0);

    Form19->Edit1->setText(platform::toDisplay(RipFormat));
    Form24->ComboBox1->setCurrentIndex(CddbServerIndex);
    // An empty path has no drive: its drive box keeps the drive it shows.
    RipDrive = platform::driveOf(RipFolder);
    WinampDrive = platform::driveOf(WinampExe);
    Mp3Drive = platform::driveOf(Mp3Folder);
    Form17->Edit1->setText(platform::toDisplay(RenameSeparator));
    Form19->DriveComboBox3->setDrive(RipDrive);
    Form19->DirectoryListBox3->setDirectory(RipFolder);
    Form18->DriveComboBox2->setDrive(WinampDrive);
    Form18->DirectoryListBox2->setDirectory(platform::folderPart(WinampExe));
    Form1->ScruteDossier1.Dossier = Mp3Folder;
    Form2->DriveComboBox1->setDrive(Mp3Drive);
    Form2->DirectoryListBox1->setDirectory(Mp3Folder);
    Form20->CheckBox1->setChecked(UseId3v1);

    Form1->OuvrirlepanneaudecontrledeWinamp1->setChecked(false);

    FileCount = 0;
    Form3->Show();
    Form1->ScruteDossier1.Execute();
}
