#include "Unit8.h"

#include "ButtonRow.h"
#include "Controls.h"
#include "Dialogs.h"
#include "FileSystem.h"
#include "Guard.h"
#include "Input.h"
#include "RunReport.h"
#include "ShownText.h"
#include "TagFailure.h"
#include "TagFields.h"
#include "id3v2.h"
#include "variable.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>

TForm8* Form8 = nullptr;

namespace {

Tid3v2tag Tag8;

}  // namespace

TForm8::TForm8() : PickerForm(PickerVariant(), &Mp3Folder)
{
    setCaption(QStringLiteral("Renommage intelligent des fichiers"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker, 1);

    Label8 = new QLabel(QStringLiteral("Renommage"), this);
    QFont bold = Label8->font();
    bold.setBold(true);
    Label8->setFont(bold);
    layout->addWidget(Label8);
    auto* slotRow = new QHBoxLayout;
    QComboBox** boxes[] = {&ComboBox1, &ComboBox2, &ComboBox3, &ComboBox4, &ComboBox5};
    for (int i = 0; i < 5; ++i) {
        QComboBox*& box = *boxes[i];
        box = new QComboBox(this);
        box->addItems({QString(), QStringLiteral("Artiste"), QStringLiteral("Titre"), QStringLiteral("Album"),
                       QStringLiteral("Piste"), QStringLiteral("Année")});
        box->setCurrentIndex(-1);
        slotRow->addWidget(new QLabel(QString::number(i + 1), this));
        slotRow->addWidget(box, 1);
    }
    layout->addLayout(slotRow);

    Label14 = ui::noteLabel(
        this,
        QStringLiteral(
            "Ajoutez à la liste du haut les fichiers à renommer, en cliquant sur ajouter ou en double-cliquant sur le fichier, puis choisissez les paramètres de renommage, et enfin cliquez sur Renommer"));
    layout->addWidget(Label14);

    const auto row = ui::addButtonRow(this, layout, {QStringLiteral("Renommer"), QStringLiteral("Annuler")});
    Button6 = row[0];
    Button5 = row[1];
    resize(620, 640);
    centreOnScreen();

    ui::on(Button6, &QPushButton::clicked, this, &TForm8::Button6Click);
    ui::on(Button5, &QPushButton::clicked, this, &TForm8::Button5Click);
}

void TForm8::Button5Click()
{
    ListBox1->Clear();
    Close();
}

void TForm8::Button6Click()
{
    const int count = ListBox1->Count();
    if (count == 0) return;
    std::array<int, 5> chosen;
    for (size_t s = 0; s < chosen.size(); ++s) chosen[s] = slotBoxes()[s]->currentIndex();
    Picker->beginRun();
    ui::RunReport report;
    for (int i = 0; i < count; ++i) {
        Picker->showEntry(i);
        const std::string path = ListBox1->Item(i);
        if (!tagOk(Tag8.LoadFromFile(path, 0))) continue;
        // The slots' items, in their order: 1 artist, 2 title, 3 album, 4 track, 5 year.
        RenameFields fields;
        const std::pair<const char*, std::string*> parts[] = {{"TPE1", &fields.artist},
                                                              {"TIT2", &fields.title},
                                                              {"TALB", &fields.album},
                                                              {"TRCK", &fields.track},
                                                              {"TYER", &fields.year}};
        // A name is never made of a text that could not be read whole: the file keeps its own.
        QStringList unread;
        for (size_t item = 1; item <= std::size(parts); ++item) {
            const auto& [frame, text] = parts[item - 1];
            ShownText read = shownTagText(Tag8, frame);
            *text = std::move(read.text);
            if (!read.whole && std::find(chosen.begin(), chosen.end(), int(item)) != chosen.end())
                unread << tagFieldName(frame);
        }
        if (!unread.isEmpty()) {
            report.add(path, unread.join(QStringLiteral(", ")));
            continue;
        }
        const std::string name = RenameFileName(std::move(fields), chosen, RenameSeparator);
        const std::string target = platform::folderPart(path) + name;
        // The file stays in its folder and never takes the place of another one; its own name
        // again is no change at all.
        if (target == path) continue;
        const bool plain = IsPlainFileName(name);
        if (plain && platform::renameNoReplace(path, target)) continue;
        // A name taken, too long or refused for any reason but its characters is told as it is.
        const int error = plain ? errno : EINVAL;
        if (error == EINVAL || error == EILSEQ)
            ui::Dialogs::MessageBox(
                this,
                QStringLiteral(
                    "Vous avez essayé de créer un fichier dont le nom comporte des caractères invalides\r\nEssayez l'utilitaire de validation des tags"),
                QStringLiteral("Erreur"), ui::MB_OK);
        else
            ui::Dialogs::MessageBox(this, QString::fromStdString(platform::renameFailureText(path, target, error)),
                                    QStringLiteral("Erreur"), ui::MB_OK);
    }
    ListBox1->Clear();
    FileListBox1->Update();
    report.show(
        this, QStringLiteral("Sonoverne"), QStringLiteral("Renommage terminé\r\nPensez à rafraîchir la liste"),
        QStringLiteral("Ces fichiers n'ont pas été renommés, car un champ choisi n'a pas pu être lu entièrement"));
    Close();
}
