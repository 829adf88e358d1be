#include "Unit6.h"

#include "ButtonRow.h"
#include "Controls.h"
#include "Dialogs.h"
#include "Guard.h"
#include "RunReport.h"
#include "TagFailure.h"
#include "TagFields.h"
#include "variable.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

TForm6* Form6 = nullptr;

namespace {

// The text frames in the order they are set; the comment comes last.
struct Field {
    QCheckBox* TForm6::*box;
    ui::TagEdit* TForm6::*edit;
    const char* frame;  // nullptr: the comment
};
constexpr Field Fields[] = {
    {&TForm6::CheckBox1, &TForm6::id3title, "TIT2"},    {&TForm6::CheckBox2, &TForm6::id3artist, "TPE1"},
    {&TForm6::CheckBox3, &TForm6::id3album, "TALB"},    {&TForm6::CheckBox4, &TForm6::id3year, "TYER"},
    {&TForm6::CheckBox6, &TForm6::id3genre, "TCON"},    {&TForm6::CheckBox5, &TForm6::id3track, "TRCK"},
    {&TForm6::CheckBox7, &TForm6::id3comment, nullptr},
};

void setComment(Tid3v2tag& tag, const std::string& text)
{
    TCommentFrame comment;
    comment.Encoding = 0;
    comment.Language = "ENG";
    comment.Description.clear();
    comment.Text = text;
    tag.SetComment(comment, "", "None");
}

}  // namespace

TForm6::TForm6() : PickerForm(PickerVariant(), &Mp3Folder)
{
    setCaption(QStringLiteral("Modification des tags de plusieurs fichiers"));
    Tag2.HoldFileForSave = true;  // each file is saved as soon as it is loaded
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker, 1);

    Label1 = new QLabel(QStringLiteral("Choisissez les éléments à modifier"), this);
    layout->addWidget(Label1);
    auto* grid = new QGridLayout;
    auto addField = [&](int row, int column, const char* caption, QCheckBox*& box, ui::TagEdit*& edit, int maxLength) {
        box = new QCheckBox(QString::fromUtf8(caption), this);
        edit = new ui::TagEdit(this, maxLength);
        // A hidden field keeps its place, so the others do not move when a box is ticked.
        QSizePolicy policy = edit->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        edit->setSizePolicy(policy);
        edit->setVisible(false);
        grid->addWidget(box, row, column);
        grid->addWidget(edit, row, column + 1);
    };
    addField(0, 0, "Titre", CheckBox1, id3title, 0);
    addField(1, 0, "Artiste", CheckBox2, id3artist, 0);
    addField(2, 0, "Album", CheckBox3, id3album, 0);
    addField(3, 0, "Commentaire", CheckBox7, id3comment, 0);
    addField(0, 2, "Année", CheckBox4, id3year, 4);
    addField(1, 2, "Piste", CheckBox5, id3track, 2);
    addField(2, 2, "Genre", CheckBox6, id3genre, 0);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);
    layout->addLayout(grid);

    Label2 = ui::noteLabel(
        this,
        QStringLiteral(
            "Ajoutez les fichiers à modifier dans la liste du haut, en cliquant sur ajouter ou en double-cliquant sur le fichier, puis choisissez les tags à modifier et comment les modifier, puis cliquez sur Modifier"));
    layout->addWidget(Label2);
    const auto row = ui::addButtonRow(this, layout, {QStringLiteral("Modifier"), QStringLiteral("Annuler")});
    Button5 = row[0];
    Button6 = row[1];
    resize(620, 640);
    centreOnScreen();

    ui::on(CheckBox1, &QCheckBox::toggled, this, &TForm6::CheckBox1Click);
    ui::on(CheckBox2, &QCheckBox::toggled, this, &TForm6::CheckBox2Click);
    ui::on(CheckBox3, &QCheckBox::toggled, this, &TForm6::CheckBox3Click);
    ui::on(CheckBox4, &QCheckBox::toggled, this, &TForm6::CheckBox4Click);
    ui::on(CheckBox5, &QCheckBox::toggled, this, &TForm6::CheckBox5Click);
    ui::on(CheckBox6, &QCheckBox::toggled, this, &TForm6::CheckBox6Click);
    ui::on(CheckBox7, &QCheckBox::toggled, this, &TForm6::CheckBox7Click);
    ui::on(Button5, &QPushButton::clicked, this, &TForm6::Button5Click);
    ui::on(Button6, &QPushButton::clicked, this, &TForm6::Button6Click);
}

void TForm6::CheckBox1Click() { id3title->setVisible(CheckBox1->isChecked()); }
void TForm6::CheckBox2Click() { id3artist->setVisible(CheckBox2->isChecked()); }
void TForm6::CheckBox3Click() { id3album->setVisible(CheckBox3->isChecked()); }
void TForm6::CheckBox4Click() { id3year->setVisible(CheckBox4->isChecked()); }
void TForm6::CheckBox5Click() { id3track->setVisible(CheckBox5->isChecked()); }
void TForm6::CheckBox6Click() { id3genre->setVisible(CheckBox6->isChecked()); }
void TForm6::CheckBox7Click() { id3comment->setVisible(CheckBox7->isChecked()); }

void TForm6::Button5Click()
{
    const int count = ListBox1->Count();
    if (count == 0) return;

    // The values once, as bytes; a field left unticked is not touched in any file.
    struct Setting {
        const char* frame;
        std::string value;
    };
    std::vector<Setting> settings;
    for (const Field& field : Fields)
        if ((this->*field.box)->isChecked()) settings.push_back({field.frame, (this->*field.edit)->Text()});

    ui::RunReport report;
    Picker->beginRun();
    for (int i = 0; i < count; ++i) {
        Picker->showEntry(i);
        const std::string path = ListBox1->Item(i);
        // A tag that failed to load is not replaced, nor is an empty file given one.
        const TTagStatus loaded = Tag2.LoadFromFile(path, 0);
        if (!mayChangeTag(loaded)) {
            report.add(path, tagFailureReason(loaded));
            continue;
        }
        if (!tagOk(loaded)) {
            // No tag to keep: the file gets one with the ticked fields only.
            for (const char* frame : {"TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK"}) writeTagField(Tag2, frame, "");
            setComment(Tag2, "");
        }
        // The ticked fields are the user's to set, whatever the frames held; any other frame,
        // read whole or not, is saved as it was loaded.
        for (const Setting& setting : settings) {
            if (setting.frame) writeTagField(Tag2, setting.frame, setting.value);
            else setComment(Tag2, setting.value);
        }
        const TTagStatus saved = Tag2.SaveToFile("=", 255, 255, -1);
        if (!tagOk(saved)) report.add(path, tagFailureReason(saved));
    }

    report.show(
        this, QStringLiteral("Sonoverne"),
        report.empty()
            ? QStringLiteral("Modification terminée\r\nPensez à rafraîchir la liste")
            : QStringLiteral(
                  "Modification terminée\r\nCertains tags n'ont pu etres correctement enregistrés\r\nPensez à rafraîchir la liste"),
        tagsNotSavedIntro());
    ListBox1->Clear();
    Close();
}

void TForm6::Button6Click()
{
    ListBox1->Clear();
    Close();
}
