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
        const std::string path = ListBox1->Item(i);
        // A file without a tag has nothing to format; one whose tag cannot be read is left as
        // it is, and told.
        const TTagStatus loaded = Tag13.LoadFromFile(path, 0);
        if (!tagOk(loaded)) {
            if (!noTag(loaded)) report.add(path, tagFailureReason(loaded));
            continue;
        }
        const bool hadFrames = Tag13.Frames.Count() > 0;
        for (const char* frame : {"TIT2", "TPE1", "TALB", "TCON"}) {
            const TagField field = readTagField(Tag13, frame);
            // A text not read whole would lose what could not be read.
            if (!field.whole) continue;
            std::string text = field.text;
            if (RadioButton1->isChecked()) text = lowerTagText(std::move(text));
            else if (RadioButton2->isChecked()) text = upperTagText(std::move(text));
            else if (RadioButton3->isChecked()) text = FormatTagCase(std::move(text), apostrophe);
            Tag13.SetTextFrame(frame, text);
        }
        // A tag that held no frame had nothing to rewrite; one whose frames were all emptied is
        // refused by the library and keeps its old texts: that is a failure.
        const TTagStatus saved = Tag13.SaveToFile("=", 255, 255, -1);
        if (!tagOk(saved) && (hadFrames || (saved & 0xFF00) != tagstatus::NoFrames))
            report.add(path, tagFailureReason(saved));
    }
    report.show(this, QStringLiteral("Sonoverne"),
                QStringLiteral("Formatage Terminé\r\nPensez à la validation des tags\r\nPensez à rafraîchir la liste"),
                tagsNotSavedIntro());
    Close();
}
