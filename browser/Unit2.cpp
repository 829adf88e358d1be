#include "Unit2.h"

#include "Guard.h"
#include "variable.h"

#include <QHBoxLayout>
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
    Label3 = new QLabel(QStringLiteral("Attention : si vous fermez cette fenêtre sans cliquer sur Appliquer, les modifications ne seront pas prises en compte..."), this);
    Label3->setWordWrap(true);
    Button1 = new QPushButton(QStringLiteral("Appliquer"), this);
    Button2 = new QPushButton(QStringLiteral("Annuler"), this);
    layout->addWidget(Label1);
    layout->addWidget(DriveComboBox1);
    layout->addWidget(DirectoryListBox1, 1);
    layout->addWidget(Label2);
    layout->addWidget(Label3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);
    resize(420, 420);

    DriveComboBox1->OnChange = [this] { DriveComboBox1Change(); };
    ui::on(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    ui::on(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

void TForm2::DriveComboBox1Change()
{
    DirectoryListBox1->setDrive(DriveComboBox1->Drive());
}

void TForm2::Button1Click()
{
    Mp3Folder = DirectoryListBox1->Directory();
    SettingsFile->WriteString("Liste", "Dossier", Mp3Folder);
    Close();
}

void TForm2::Button2Click()
{
    Close();
}
