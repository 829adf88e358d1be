#include "Unit14.h"

#include "ButtonRow.h"
#include "Controls.h"
#include "Dialogs.h"
#include "Guard.h"
#include "RunReport.h"
#include "TagFailure.h"
#include "TagFields.h"
#include "TagTextInput.h"
#include "id3v2.h"
#include "variable.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

TForm14* Form14 = nullptr;

namespace {

Tid3v2tag Tag14;

PickerVariant variant()
{
    PickerVariant v = PickerVariant::SortedWithWalker();
    v.selectEntry = false;
    return v;
}

const char* const TextFrames[] = {"TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK"};

}  // namespace

TForm14::TForm14() : PickerForm(variant(), &Mp3Folder)
{
    setCaption(QStringLiteral("Validation des tags"));
    setSystemMenuOnly();
    Tag14.HoldFileForSave = true;  // each file is saved as soon as it is loaded
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker, 1);

    Label14 = ui::noteLabel(
        this, QStringLiteral("Cette étape valide les tags en supprimant les caractères considérés comme invalides, "
                             "qui entraîneraient des erreurs lors du renommage intelligent des fichiers."));
    Label1 = new QLabel(QStringLiteral("Ces caractères sont : \" | \\ / : * ?"), this);
    Label3 = new QLabel(QStringLiteral("Les caractères seront remplacés par un espace"), this);
    Label2 = new QLabel(
        QStringLiteral("Lorsque les numéros de pistes sont de la forme XX / YY, ils seront exprimés sous la forme XX"),
        this);
    Label2->setWordWrap(true);
    CheckBox1 = new QCheckBox(QStringLiteral("Autre caractère de remplacement :"), this);
    Edit1 = new QLineEdit(QStringLiteral("_"), this);
    Edit1->setEnabled(false);
    // The text goes into tags: ISO-8859-1 without control characters.
    Edit1->setValidator(new ui::TagTextValidator(Edit1));
    layout->addWidget(Label14);
    layout->addWidget(Label1);
    layout->addWidget(Label3);
    layout->addWidget(Label2);
    auto* other = new QHBoxLayout;
    other->addWidget(CheckBox1);
    other->addWidget(Edit1, 1);
    layout->addLayout(other);

    const auto row = ui::addButtonRow(this, layout, {QStringLiteral("Valider"), QStringLiteral("Annuler")});
    Button7 = row[0];
    Button5 = row[1];
    resize(620, 720);
    centreOnScreen();

    ui::on(CheckBox1, &QCheckBox::toggled, this, &TForm14::CheckBox1Click);
    ui::on(Button7, &QPushButton::clicked, this, &TForm14::Button7Click);
    ui::on(Button5, &QPushButton::clicked, this, &TForm14::Button5Click);
}

void TForm14::CheckBox1Click() { Edit1->setEnabled(CheckBox1->isChecked()); }

void TForm14::Button5Click()
{
    ListBox1->Clear();
    Close();
}

void TForm14::Button7Click()
{
    const int count = ListBox1->Count();
    if (count == 0) return;
    ReplacementText = " ";
    if (CheckBox1->isChecked()) ReplacementText = Edit1->text().toLatin1().toStdString();
    Picker->beginRun();
    ui::RunReport report;
    for (int i = 0; i < count; ++i) {
        Picker->showEntry(i);
        rewriteTag(Tag14, ListBox1->Item(i), report, [&] {
            QStringList kept;
            for (const char* frame : TextFrames) {
                const TagField field = readTagField(Tag14, frame);
                // A text not read whole would lose what could not be read.
                if (field.whole) writeTagField(Tag14, frame, FilterTagChars(field.text));
                else kept << tagFieldName(frame);
            }
            const TagField text = readTagComment(Tag14);
            if (text.whole) {
                TCommentFrame comment;
                comment.Encoding = 0;
                comment.Language = "ENG";
                comment.Text = FilterTagChars(text.text);
                Tag14.SetComment(comment, "", "None");
            } else {
                kept << commentFieldName();
            }
            return kept;
        });
    }
    report.show(this, QStringLiteral("Sonoverne"),
                QStringLiteral("Validation des tags Terminée\r\nPensez à rafraîchir la liste"), tagsNotSavedIntro(),
                fieldsKeptIntro());
    Close();
}
