#include "Unit17.h"

#include "Display.h"
#include "FileSystem.h"
#include "Guard.h"
#include "OptionFoot.h"
#include "variable.h"

#include <QVBoxLayout>

TForm17* Form17 = nullptr;

TForm17::TForm17()
{
    setCaption(QStringLiteral("Options - Renommage intelligent des fichiers"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    Label6 = new QLabel(QStringLiteral("Caractère de séparation dans le renommage intelligent de fichiers :"), this);
    Label7 = new QLabel(
        QStringLiteral(
            "Choisissez ici quel caractère sera utilisé pour séparer les différentes parties desn noms de fichiers lors d'un renommage intelligent :"),
        this);
    Label9 = new QLabel(
        QStringLiteral(
            "Attention : certains caractères ne sont pas valides et entraineront des disfonctionnements : ? / : * par exemple"),
        this);
    Edit1 = new QLineEdit(QStringLiteral("-"), this);
    Label8 = new QLabel(QStringLiteral("Exemple"), this);
    for (QLabel* label : {Label6, Label7, Label9}) label->setWordWrap(true);
    layout->addWidget(Label6);
    layout->addWidget(Label7);
    layout->addWidget(Edit1);
    layout->addWidget(Label9);
    layout->addWidget(Label8);
    ui::addOptionFoot(this, layout, Label3, Button1, Button2);
    resize(460, 300);
    centreOnScreen();

    OnShow = [this] { FormShow(); };
    ui::on(Edit1, &QLineEdit::textChanged, this, &TForm17::Edit1Change);
    ui::on(Button1, &QPushButton::clicked, this, &TForm17::Button1Click);
    ui::on(Button2, &QPushButton::clicked, this, &TForm17::Button2Click);
}

void TForm17::showExample()
{
    const QString s = Edit1->text();
    Label8->setText(QStringLiteral("Exemple : Lorvane ") + s + QStringLiteral(" Music ") + s + QStringLiteral(" 07 ") +
                    s + QStringLiteral(" Don't Tell Me"));
}

void TForm17::FormShow() { showExample(); }

void TForm17::Edit1Change() { showExample(); }

void TForm17::ShowSettings() { Edit1->setText(platform::toDisplay(RenameSeparator)); }

void TForm17::Button1Click()
{
    // Written first: a value the file could not take is not taken either.
    const std::string separator = platform::fromDisplay(Edit1->text());
    WriteSetting(Setting::RenameSeparator, separator);
    RenameSeparator = separator;
    Close();
}

void TForm17::Button2Click() { Close(); }
