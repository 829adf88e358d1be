#include "Unit20.h"

#include "Controls.h"
#include "Guard.h"
#include "OptionFoot.h"
#include "variable.h"

#include <QVBoxLayout>

TForm20* Form20 = nullptr;

TForm20::TForm20()
{
    setCaption(QStringLiteral("Options - Tags"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    Label1 = ui::noteLabel(
        this,
        QStringLiteral(
            "Un tag existe sous deux formes : ID3V1 et ID3V2.\n"
            "Sonoverne utilise partout la forme ID3V2, sauf si vous lui demandez le contraire ci-dessous.\n"
            "La forme ID3V1 ne peut être écrite que lors de la modification des tags d'un seul fichier, "
            "et elle ralentit cette modification.\n"
            "Les tags ID3V1 ne servent à rien d'autre (lecture, renommage, enregistrement, validation, formatage)."));
    CheckBox1 = new QCheckBox(
        QStringLiteral("Enregistrer aussi les tags au format ID3V1 lors de la modification des tags d'un seul fichier"),
        this);
    layout->addWidget(Label1);
    layout->addWidget(CheckBox1);
    ui::addOptionFoot(this, layout, Label3, Button1, Button2);
    resize(520, 260);
    centreOnScreen();

    ui::on(Button1, &QPushButton::clicked, this, &TForm20::Button1Click);
    ui::on(Button2, &QPushButton::clicked, this, &TForm20::Button2Click);
}

void TForm20::ShowSettings() { CheckBox1->setChecked(UseId3v1); }

void TForm20::Button1Click()
{
    // Written first: a value the file could not take is not taken either.
    const bool use = CheckBox1->isChecked();
    WriteSetting(Setting::UseId3v1, use);
    UseId3v1 = use;
    Close();
}

void TForm20::Button2Click() { Close(); }
