#include "Unit19.h"

#include "Display.h"
#include "FileSystem.h"
#include "Guard.h"
#include "OptionFoot.h"
#include "variable.h"

#include <QGridLayout>
#include <QVBoxLayout>

TForm19* Form19 = nullptr;

TForm19::TForm19()
{
    setCaption(QStringLiteral("Options - Extraction des pistes d'un CD"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    Label10 = new QLabel(QStringLiteral("Dossier où sont stockés les MP3 extraits :"), this);
    DriveComboBox3 = new ui::DriveComboBox(this);
    DirectoryListBox3 = new ui::DirectoryListBox(this);
    Label1 = new QLabel(QStringLiteral("Format du nom de fichier :"), this);
    Edit1 = new QLineEdit(QStringLiteral("%1\\%2\\%4 - %6"), this);
    Label2 = new QLabel(
        QStringLiteral(
            "Choisissez ici le format qu'auront les noms de fichiers extraits en l'indiquant ci-dessus à partir des symboles suivants :"),
        this);
    Label2->setWordWrap(true);
    Label4 = new QLabel(QStringLiteral("%1 : Artiste"), this);
    Label5 = new QLabel(QStringLiteral("%2 : Album"), this);
    Label6 = new QLabel(QStringLiteral("%3 : Piste sans \"0\""), this);
    Label7 = new QLabel(QStringLiteral("%4 : Piste avec \"0\""), this);
    Label8 = new QLabel(QStringLiteral("%5 : Nombre total de pistes"), this);
    Label11 = new QLabel(QStringLiteral("%6 : Titre de la piste"), this);
    Label9 = new QLabel(
        QStringLiteral(
            "Utilisez le caractère '\\' pour indiquer une séparation de dossier\n\nNE PAS COMMENCER PAR UN TEL CARACTERE"),
        this);
    layout->addWidget(Label10);
    layout->addWidget(DriveComboBox3);
    layout->addWidget(DirectoryListBox3, 1);
    layout->addWidget(Label1);
    layout->addWidget(Edit1);
    layout->addWidget(Label2);
    auto* symbols = new QGridLayout;
    symbols->addWidget(Label4, 0, 0);
    symbols->addWidget(Label5, 0, 1);
    symbols->addWidget(Label6, 1, 0);
    symbols->addWidget(Label7, 1, 1);
    symbols->addWidget(Label8, 2, 0);
    symbols->addWidget(Label11, 2, 1);
    layout->addLayout(symbols);
    layout->addWidget(Label9);
    ui::addOptionFoot(this, layout, Label3, Button1, Button2);
    resize(480, 560);
    centreOnScreen();

    DriveComboBox3->OnChange = [this] { DriveComboBox3Change(); };
    ui::on(Button1, &QPushButton::clicked, this, &TForm19::Button1Click);
    ui::on(Button2, &QPushButton::clicked, this, &TForm19::Button2Click);
}

void TForm19::DriveComboBox3Change() { DirectoryListBox3->setDrive(DriveComboBox3->Drive()); }

void TForm19::ShowSettings()
{
    Edit1->setText(platform::toDisplay(RipFormat));
    DriveComboBox3->setDrive(RipDrive);
    DirectoryListBox3->setDirectory(RipFolder);
}

void TForm19::Button1Click()
{
    // Each written first: a value the file could not take is not taken either.
    const std::string folder = DirectoryListBox3->Directory();
    WriteSetting(Setting::RipFolder, folder);
    RipFolder = folder;
    const std::string format = platform::fromDisplay(Edit1->text());
    WriteSetting(Setting::RipFormat, format);
    RipFormat = format;
    Close();
}

void TForm19::Button2Click() { Close(); }
