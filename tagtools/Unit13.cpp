#include "Unit13.h"

#include "ButtonRow.h"
#include "Dialogs.h"
#include "Guard.h"
#include "RunReport.h"
#include "TagFailure.h"
#include "TagFields.h"
#include "id3v2.h"
#include "variable.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

TForm13* Form13 = nullptr;

namespace {

Tid3v2tag Tag13;

PickerVariant variant()
{
    PickerVariant v = PickerVariant::SortedWithWalker();
    v.maxIsCount = true;
    return v;
}

}  // namespace

TForm13::TForm13() : PickerForm(variant(), &Mp3Folder)
{
    setCaption(QStringLiteral("Formater les tags"));
    setSystemMenuOnly();
    Tag13.HoldFileForSave = true;  // each file is saved as soon as it is loaded
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker, 1);

    Label1 = new QLabel(QStringLiteral("Choisissez la manière de formater les tags :"), this);
    RadioButton1 = new QRadioButton(QStringLiteral("Tout en minuscules"), this);
    RadioButton2 = new QRadioButton(QStringLiteral("Tout en majuscules"), this);
    RadioButton3 = new QRadioButton(QStringLiteral("Première lettre de chaque mot en majuscule"), this);
    CheckBox1 = new QCheckBox(QStringLiteral("Mettre en majuscule une lettre précédée d'une apostrophe"), this);
    layout->addWidget(Label1);
    layout->addWidget(RadioButton1);
    layout->addWidget(RadioButton2);
    layout->addWidget(RadioButton3);
    auto* indent = new QHBoxLayout;
    indent->addSpacing(24);
    indent->addWidget(CheckBox1, 1);
    layout->addLayout(indent);

    const auto row = ui::addButtonRow(this, layout, {QStringLiteral("Formater"), QStringLiteral("Annuler")});
    Button7 = row[0];
    Button5 = row[1];
    resize(620, 720);
    centreOnScreen();

    ui::on(Button7, &QPushButton::clicked, this, &TForm13::Button7Click);
    ui::on(Button5, &QPushButton::clicked, this, &TForm13::Button5Click);
}

void TForm13::Button5Click()
{
    ListBox1->Clear();
    Close();
}

void TForm13::Button7Click()
{
    const int count = ListBox1->Count();
    if (count == 0) return;
    Picker->beginRun();
    const bool apostrophe = CheckBox1->isChecked();
    ui::RunReport report;
    for (int i = 0; i < count; ++i) {
        Picker->showEntry(i);
        rewriteTag(Tag13, ListBox1->Item(i), report, [&] {
            QStringList kept;
            for (const char* frame : {"TIT2", "TPE1", "TALB", "TCON"}) {
                const TagField field = readTagField(Tag13, frame);
                // A text not read whole would lose what could not be read.
                if (!field.whole) {
                    kept << tagFieldName(frame);
                    continue;
                }
                std::string text = field.text;
                if (RadioButton1->isChecked()) text = lowerTagText(std::move(text));
                else if (RadioButton2->isChecked()) text = upperTagText(std::move(text));
                else if (RadioButton3->isChecked()) text = FormatTagCase(std::move(text), apostrophe);
                Tag13.SetTextFrame(frame, text);
            }
            return kept;
        });
    }
    report.show(this, QStringLiteral("Sonoverne"),
                QStringLiteral("Formatage Terminé\r\nPensez à la validation des tags\r\nPensez à rafraîchir la liste"),
                tagsNotSavedIntro(), fieldsKeptIntro());
    Close();
}
