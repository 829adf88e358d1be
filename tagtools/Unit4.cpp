#include "Unit4.h"

#include "ButtonRow.h"
#include "Controls.h"
#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "Guard.h"
#include "TagFailure.h"
#include "Unit1.h"
#include "variable.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <climits>
#include <cstdlib>

TForm4* Form4 = nullptr;

TForm4::TForm4()
{
    setCaption(QStringLiteral("Edition des tags"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    auto* file = new QHBoxLayout;
    Label3 = new QLabel(QStringLiteral("Fichier en cours :"), this);
    Label1 = new ui::ElidedLabel(this);
    Label3->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    file->addWidget(Label3);
    file->addWidget(Label1, 1);
    layout->addLayout(file);

    auto* grid = new QGridLayout;
    auto addField = [&](int row, const char* caption, ui::RichEdit*& edit) {
        edit = new ui::RichEdit(this);
        edit->setFixedHeight(edit->fontMetrics().height() + 12);
        grid->addWidget(new QLabel(QString::fromUtf8(caption), this), row, 0);
        grid->addWidget(edit, row, 1);
    };
    addField(0, "Titre :", titreEdit);
    addField(1, "Artiste :", artisteEdit);
    addField(2, "Album :", albumEdit);
    addField(3, "Genre :", genreEdit);
    addField(4, "Année :", anneeEdit);
    addField(5, "Piste :", pisteEdit);
    addField(6, "Commentaires :", commentaireEdit);
    commentaireEdit->setWordWrap(true);
    commentaireEdit->setFixedHeight(commentaireEdit->fontMetrics().height() * 3 + 12);
    anneeEdit->setMaxLength(4);
    layout->addLayout(grid);
    // Room the fields do not take goes below them, never above the file's path.
    layout->addStretch(1);

    Label2 = ui::noteLabel(
        this,
        QStringLiteral(
            "Sonoverne enregistre les tags aux formats ID3V1 et ID3V2, les caractères en bleu ne seront enregistrés qu'au format ID3V2"));
    layout->addWidget(Label2);
    const auto row = ui::addButtonRow(this, layout, {QStringLiteral("OK"), QStringLiteral("Annuler")});
    Button1 = row[0];
    Button2 = row[1];
    resize(520, 380);
    centreOnScreen();

    fields_[0] = {titreEdit, "TIT2", {}};
    fields_[1] = {artisteEdit, "TPE1", {}};
    fields_[2] = {albumEdit, "TALB", {}};
    fields_[3] = {anneeEdit, "TYER", {}};
    fields_[4] = {genreEdit, "TCON", {}};
    fields_[5] = {pisteEdit, "TRCK", {}};
    fields_[6] = {commentaireEdit, nullptr, {}};

    OnShow = [this] { FormShow(); };
    titreEdit->OnChange = [this] { titreEditChange(); };
    artisteEdit->OnChange = [this] { artisteEditChange(); };
    albumEdit->OnChange = [this] { albumEditChange(); };
    commentaireEdit->OnChange = [this] { commentaireEditChange(); };
    for (Field& field : fields_) field.edit->OnKeyUp = [this](int key) { FieldKeyUp(key); };
    ui::on(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    ui::on(Button2, &QPushButton::clicked, this, &TForm4::Button2Click);
}

void TForm4::setFileName(const std::string& path)
{
    fileName_ = path;
    Label1->setFullText(platform::toDisplay(path));
}

void TForm4::FormShow()
{
    for (Field& field : fields_) {
        field.edit->setText(std::string());
        field.loaded = TagField();
    }
    Tag2.emplace();
    loadStatus_ = Tag2->LoadFromFile(fileName_, 0);
    if (tagOk(loadStatus_)) {
        for (Field& field : fields_) {
            field.loaded = field.frame ? readTagField(*Tag2, field.frame) : readTagComment(*Tag2);
            field.edit->setText(field.loaded.text);
        }
    }
    const QColor text = palette().color(QPalette::WindowText);
    genreEdit->setFontColour(text);
    if (UseId3v1) {
        genreEdit->setFontColour(Qt::blue);
        colourPast30(commentaireEdit);
        colourPast30(artisteEdit);
        colourPast30(titreEdit);
        colourPast30(albumEdit);
    } else {
        for (Field& field : fields_) field.edit->setFontColour(text);
    }
    Label2->setVisible(UseId3v1);
    titreEdit->setFocus();
}

void TForm4::colourPast30(ui::RichEdit* edit)
{
    if (!UseId3v1) return;
    const int caret = edit->caretPosition();
    const QColor text = palette().color(QPalette::WindowText);
    edit->setCharColours(0, 30, text);
    edit->setCharColours(30, INT_MAX, Qt::blue);
    edit->setCaretPosition(caret);
}

void TForm4::titreEditChange() { colourPast30(titreEdit); }
void TForm4::artisteEditChange() { colourPast30(artisteEdit); }
void TForm4::albumEditChange() { colourPast30(albumEdit); }
void TForm4::commentaireEditChange() { colourPast30(commentaireEdit); }

void TForm4::FieldKeyUp(int key)
{
    if (key == 13) Button1->click();
}

void TForm4::Button1Click()
{
    // A tag that could not be read is not replaced, nor the ID3v1 block beside it.
    if (!Tag2 || !mayChangeTag(loadStatus_)) {
        saveFailed(false, Tag2 ? loadStatus_ : tagstatus::FileNotFound);
        return;
    }
    for (const Field& field : fields_) {
        const std::string text = field.edit->Text();
        // Text we could not read whole is written back only when the user changed it.
        if (!mayWrite(field.loaded, text)) continue;
        if (field.frame) {
            writeTagField(*Tag2, field.frame, text);
        } else {
            TCommentFrame comment;
            comment.Encoding = 0;
            comment.Language = "ENG";
            comment.Description.clear();
            comment.Text = text;
            Tag2->SetComment(comment, "", "None");
        }
    }
    const TTagStatus saved = Tag2->SaveToFile("=", 255, 255, -1);
    // Nothing entered for a file without a tag: there was nothing to write.
    const bool nothingToWrite = (saved & 0xFF00) == tagstatus::NoFrames && noTag(loadStatus_);
    if (!tagOk(saved) && !nothingToWrite) {
        saveFailed(false, saved);
        return;
    }

    TTagStatus savedV1 = 0;
    if (UseId3v1) {
        Tag1.SetTitle(titreEdit->Text());
        Tag1.SetArtist(artisteEdit->Text());
        Tag1.SetAlbum(albumEdit->Text());
        Tag1.SetYear(anneeEdit->Text());
        Tag1.SetComment(commentaireEdit->Text());
        // "7/12": the track is the number before the slash.
        const std::string track = pisteEdit->Text();
        const std::string number = track.substr(0, track.find('/'));
        char* end = nullptr;
        const long value = std::strtol(number.c_str(), &end, 10);
        Tag1.SetTrack(!number.empty() && *end == '\0' && value >= 0 && value <= 255 ? uint8_t(value) : 0);
        // The genre field is free text: the block keeps the genre byte it already has.
        Tid3tag existing;
        Tag1.Genre = tagOk(existing.ReadFromFile(fileName_)) ? existing.Genre : 255;
        savedV1 = Tag1.WriteToFile(fileName_);
    }

    Form1->Rafraichir3Click();
    if (!tagOk(savedV1)) {
        saveFailed(true, savedV1);
        return;
    }
    Close();
}

void TForm4::saveFailed(bool id3v1, TTagStatus status)
{
    const QString text = (id3v1 ? QStringLiteral("Le tag ID3V1 du fichier %1 n'a pas été enregistré : %2.")
                                : QStringLiteral("Les tags du fichier %1 n'ont pas été enregistrés : %2."))
                             .arg(platform::toDisplayLine(fileName_), tagFailureReason(status));
    ui::Dialogs::MessageBox(this, text, ui::Dialogs::applicationTitle(), ui::MB_OK | ui::MB_ICONERROR);
}

void TForm4::Button2Click()
{
    for (Field& field : fields_) field.edit->setText(std::string());
    Close();
}
