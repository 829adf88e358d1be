#include "variable.h"

#include "Dialogs.h"
#include "Display.h"
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

std::string ReadSetting(const TextSetting& setting)
{
    return SettingsFile->ReadString(setting.section, setting.key,
                                    setting.fallback ? setting.fallback : platform::programFolder());
}

int ReadSetting(const NumberSetting& setting)
{
    return SettingsFile->ReadInteger(setting.section, setting.key, setting.fallback);
}

bool ReadSetting(const FlagSetting& setting)
{
    return SettingsFile->ReadBool(setting.section, setting.key, setting.fallback);
}

void WriteSetting(const TextSetting& setting, const std::string& value)
{
    SettingsFile->WriteString(setting.section, setting.key, value);
}

void WriteSetting(const NumberSetting& setting, int value)
{
    SettingsFile->WriteInteger(setting.section, setting.key, value);
}

void WriteSetting(const FlagSetting& setting, bool value)
{
    SettingsFile->WriteBool(setting.section, setting.key, value);
}

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
            QStringLiteral(
                "Le fichier de réglages était trop grand pour être lu. Il a été mis de côté sous le nom %1, "
                "et un nouveau fichier de réglages a été commencé : vos réglages peuvent de nouveau être enregistrés.")
                .arg(platform::toDisplayLine(movedTo)),
            QStringLiteral("Sonoverne"), ui::MB_OK | ui::MB_ICONWARNING);
    };
    const std::string programFolder = platform::programFolder();

    Mp3Folder = ReadSetting(Setting::Mp3Folder);
    if (!platform::folderExists(Mp3Folder)) Mp3Folder = programFolder;
    WinampExe = ReadSetting(Setting::WinampExe);
    RenameSeparator = ReadSetting(Setting::RenameSeparator);
    RipFolder = ReadSetting(Setting::RipFolder);
    UseId3v1 = ReadSetting(Setting::UseId3v1);
    RipFormat = ReadSetting(Setting::RipFormat);
    CddbServerIndex = ReadSetting(Setting::CddbServer);

    // An empty path has no drive: its drive box keeps the drive it shows.
    RipDrive = platform::driveOf(RipFolder);
    WinampDrive = platform::driveOf(WinampExe);
    Mp3Drive = platform::driveOf(Mp3Folder);
    Form1->ScruteDossier1.Dossier = Mp3Folder;
    Form19->ShowSettings();
    Form24->ShowSettings();
    Form17->ShowSettings();
    Form18->ShowSettings();
    Form2->ShowSettings();
    Form20->ShowSettings();

    Form1->OuvrirlepanneaudecontrledeWinamp1->setChecked(false);

    FileCount = 0;
    Form3->Show();
    Form1->ScruteDossier1.Execute();
}
