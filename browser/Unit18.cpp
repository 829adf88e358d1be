#include "Unit18.h"

#include "Display.h"
#include "FileSystem.h"
#include "Guard.h"
#include "OptionFoot.h"
#include "variable.h"

#include <QVBoxLayout>

TForm18* Form18 = nullptr;

TForm18::TForm18()
{
    setCaption(QStringLiteral("Options - Winamp"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    Label2 = new QLabel(
        QStringLiteral(
            "Pour que Sonoverne puisse utiliser Winamp pour lire vos fichiers, veuillez indiquer le répertoire dans lequel il est installé"),
        this);
    Label2->setWordWrap(true);
    DriveComboBox2 = new ui::DriveComboBox(this);
    DirectoryListBox2 = new ui::DirectoryListBox(this);
    FileListBox1 = new ui::FileListBox(this);
    FileListBox1->hide();
    Label4 = new QLabel(QStringLiteral("Winamp n'a pas été trouvé"), this);
    Label4->setStyleSheet(QStringLiteral("color: green"));
    layout->addWidget(Label2);
    layout->addWidget(DriveComboBox2);
    layout->addWidget(DirectoryListBox2, 1);
    layout->addWidget(Label4);
    ui::addOptionFoot(this, layout, Label3, Button1, Button2);
    resize(420, 420);
    centreOnScreen();

    DriveComboBox2->OnChange = [this] { DriveComboBox2Change(); };
    DirectoryListBox2->OnChange = [this] { DirectoryListBox2Change(); };
    FileListBox1->OnChange = [this] { FileListBox1Change(); };
    ui::on(Button1, &QPushButton::clicked, this, &TForm18::Button1Click);
    ui::on(Button2, &QPushButton::clicked, this, &TForm18::Button2Click);
}

void TForm18::DriveComboBox2Change() { DirectoryListBox2->setDrive(DriveComboBox2->Drive()); }

void TForm18::DirectoryListBox2Change() { FileListBox1->setDirectory(DirectoryListBox2->Directory()); }

void TForm18::FileListBox1Change()
{
    const int count = FileListBox1->count();
    if (count == 0) return;
    for (int i = 0; i < count; ++i) {
        FileListBox1->setItemIndex(i);
        // Executables have no suffix here: the player is "winamp" or "studio", in any case.
        const QString name = platform::toDisplay(FileListBox1->itemName(i)).toUpper();
        if (name == QLatin1String("STUDIO") || name == QLatin1String("WINAMP")) {
            Label4->setText(QStringLiteral("OK - Winamp a été trouvé"));
            WinampExe = FileListBox1->FileName();
            return;
        }
        Label4->setText(QStringLiteral("Winamp n'a pas été trouvé"));
    }
}

void TForm18::ShowSettings()
{
    DriveComboBox2->setDrive(WinampDrive);
    DirectoryListBox2->setDirectory(platform::folderPart(WinampExe));
}

void TForm18::Button1Click()
{
    WriteSetting(Setting::WinampExe, WinampExe);
    Close();
}

void TForm18::Button2Click() { Close(); }
