#include "Unit9.h"

#include "ButtonRow.h"
#include "Controls.h"
#include "Guard.h"
#include "ShownText.h"
#include "Unit1.h"
#include "Unit10.h"
#include "id3v2.h"
#include "variable.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

TForm9* Form9 = nullptr;
std::string ListText;

namespace {

Tid3v2tag Tag9;

PickerVariant variant()
{
    PickerVariant v = PickerVariant::SortedWithWalker();
    v.maxIsCount = true;
    return v;
}

}  // namespace

TForm9::TForm9() : PickerForm(variant(), &Mp3Folder)
{
    setCaption(QStringLiteral("Création de liste"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker, 1);

    Label1 =
        new QLabel(QStringLiteral("La liste qui sera crée de vos fichiers sera de la forme : Artiste - Titre"), this);
    layout->addWidget(Label1);
    CheckBox6 = new QCheckBox(QStringLiteral("Ajouter le nom de l'album"), this);
    CheckBox1 = new QCheckBox(QStringLiteral("Ajouter les durées des fichiers"), this);
    CheckBox2 = new QCheckBox(QStringLiteral("Ajouter les tailles des fichiers"), this);
    CheckBox3 = new QCheckBox(QStringLiteral("Ajouter les chemins complets des fichiers"), this);
    CheckBox4 = new QCheckBox(QStringLiteral("Ajouter les dossiers"), this);
    CheckBox5 = new QCheckBox(QStringLiteral("Sauter une ligne entre les fichiers"), this);
    for (QCheckBox* box : {CheckBox6, CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5}) layout->addWidget(box);
    Label14 = ui::noteLabel(
        this,
        QStringLiteral(
            "Ajoutez à la liste du haut les fichiers à mettre dans la liste, en cliquant sur ajouter ou en double-cliquant sur le fichier, puis choisissez les différents paramètres, et enfin cliquez sur Créer la Liste"));
    layout->addWidget(Label14);

    const auto row = ui::addButtonRow(this, layout, {QStringLiteral("Créer la Liste"), QStringLiteral("Annuler")});
    Button7 = row[0];
    Button5 = row[1];
    resize(620, 720);
    centreOnScreen();

    ui::on(Button7, &QPushButton::clicked, this, &TForm9::Button7Click);
    ui::on(Button5, &QPushButton::clicked, this, &TForm9::Button5Click);
}

// The main window was hidden while this one works: it comes back when this one goes.
void TForm9::FormHide()
{
    PickerForm::FormHide();
    Form1->Show();
}

void TForm9::Button5Click()
{
    ListBox1->Clear();
    Form1->Show();
    Hide();
}

void TForm9::Button7Click()
{
    BuildListText();
    Form10->setMemoText(ListText);
    Form10->Show();
    Hide();
}

void TForm9::BuildListText()
{
    const int count = ListBox1->Count();
    if (count > 0) {
        ListBox1->repaint();
        Picker->beginRun();
        ListOptions options;
        options.folders = CheckBox4->isChecked();
        options.albums = CheckBox6->isChecked();
        options.paths = CheckBox3->isChecked();
        options.spacer = CheckBox5->isChecked();
        // A file whose tag is not read is not listed.
        TextListMaker list(options);
        for (int i = 0; i < count; ++i) {
            Picker->showEntry(i);
            const std::string path = ListBox1->Item(i);
            if (!tagOk(Tag9.LoadFromFile(path, 0))) continue;
            list.add(path, shownTagText(Tag9, "TPE1").text, shownTagText(Tag9, "TIT2").text,
                     shownTagText(Tag9, "TALB").text);
        }
        ListText = list.text();
    }
}
