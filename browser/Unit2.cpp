#include "Unit2.h"

#include "Guard.h"
#include "OptionFoot.h"
#include "variable.h"

#include <QVBoxLayout>

TForm2* Form2 = nullptr;

TForm2::TForm2()
{
    setCaption(QStringLiteral("Options générales"));
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Dossier contenant les fichiers MP3 à utiliser :"), this);
    DriveComboBox1 = new ui::DriveComboBox(this);
    DirectoryListBox1 = new ui::DirectoryListBox(this);
    Label2 = new QLabel(QStringLiteral("Pensez à rafraichir la liste\r\n(Menu Liste > Rafraichir)"), this);
    layout->addWidget(Label1);
    layout->addWidget(DriveComboBox1);
    layout->addWidget(DirectoryListBox1, 1);
    layout->addWidget(Label2);
    ui::addOptionFoot(this, layout, Label3, Button1, Button2);
    resize(420, 420);

    DriveComboBox1->OnChange = [this] { DriveComboBox1Change(); };
    ui::on(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    ui::on(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

void TForm2::DriveComboBox1Change() { DirectoryListBox1->setDrive(DriveComboBox1->Drive()); }

void TForm2::ShowSettings()
{
    DriveComboBox1->setDrive(Mp3Drive);
    DirectoryListBox1->setDirectory(Mp3Folder);
}

void TForm2::Button1Click()
{
    // Written first: a folder the file could not take is not taken either.
    const std::string folder = DirectoryListBox1->Directory();
    WriteSetting(Setting::Mp3Folder, folder);
    Mp3Folder = folder;
    Close();
}

void TForm2::Button2Click() { Close(); }
