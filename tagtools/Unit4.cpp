#include "Unit4.h"

#include "ButtonRow.h"
#include "Controls.h"
#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "Guard.h"
#include "TagFailure.h"
#include "TagTextInput.h"
#include "Unit1.h"
#include "variable.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
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
    Label4 =
        ui::noteLabel(this, QStringLiteral("Les champs sur fond jaune contiennent des caractères qui ne peuvent pas "
                                           "être saisis ici, ou n'ont pas pu être lus entièrement : ils ne sont "
                                           "réécrits que si vous les modifiez."));
    Label4->setVisible(false);
    layout->addWidget(Label4);
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

namespace {

// Why a field is marked, or nothing: it holds characters that cannot be typed, or more than
// could be read.
QString markReason(const TagField& loaded, const QString& shown)
{
    if (!loaded.whole)
        return QStringLiteral("Ce champ n'a pas pu être lu entièrement : il n'est réécrit que si vous le modifiez.");
    const QStringList beyond = ui::charactersBeyondLatin1(shown);
    if (beyond.isEmpty()) return QString();
    return QStringLiteral("Ce champ contient des caractères qui ne peuvent pas être saisis ici (« %1 ») : il n'est "
                          "réécrit que si vous le modifiez, et il les garde.")
        .arg(beyond.join(QStringLiteral(" », « ")));
}

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

std::string latin1(const QString& text)
{
    // The ID3v1 block holds ISO-8859-1: what it cannot hold is "?", as other taggers write it.
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

}  // namespace

bool TForm4::Field::changed() const { return edit->wholeText() != fromUtf8(loaded.text); }

void TForm4::FormShow()
{
    for (Field& field : fields_) {
        field.edit->setWholeText(QString());
        field.loaded = TagField();
    }
    Tag2.emplace();
    loadStatus_ = Tag2->LoadFromFile(fileName_, 0);
    if (tagOk(loadStatus_)) {
        for (Field& field : fields_) {
            field.loaded = field.frame ? readTagFieldUtf8(*Tag2, field.frame) : readTagCommentUtf8(*Tag2);
            field.edit->setWholeText(fromUtf8(field.loaded.text));
        }
    }
    bool marked = false;
    for (Field& field : fields_) {
        field.edit->setMark(markReason(field.loaded, field.edit->wholeText()));
        marked = marked || field.edit->marked();
    }
    Label4->setVisible(marked);
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
    // The notes wrap on more lines than the window was first laid out for: it grows to show them.
    const int needed = layout()->totalHeightForWidth(width());
    if (needed > height()) resize(width(), needed);
    titreEdit->setFocus();
}

void TForm4::colourPast30(ui::RichEdit* edit)
{
    if (!UseId3v1) return;
    const int caret = edit->caretPosition();
    const QColor text = palette().color(QPalette::WindowText);
    edit->setCharColours(0, 30, text);
    edit->setCharColours(30, INT_MAX, Qt::blue);
    // A character the ID3v1 block cannot hold goes into the ID3v2 tag alone, wherever it stands.
    const QString shown = edit->toPlainText();
    for (int i = 0; i < std::min(int(shown.size()), 30); ++i)
        if (shown[i].unicode() > 0xFF) edit->setCharColours(i, i + 1, Qt::blue);
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
    // Only what the user changed is written: every other field keeps its frame as it was read,
    // its encoding, its language and the characters the field could not show included.
    bool changed = false;
    for (const Field& field : fields_) {
        if (!field.changed()) continue;
        changed = true;
        const QByteArray text = field.edit->wholeText().toUtf8();
        const std::string utf8(text.constData(), size_t(text.size()));
        if (field.frame) writeTagFieldUtf8(*Tag2, field.frame, utf8);
        else writeTagComment(*Tag2, utf8);
    }
    if (changed) {
        const TTagStatus saved = Tag2->SaveToFile("=", 255, 255, -1);
        // Nothing entered for a file without a tag: there was nothing to write.
        const bool nothingToWrite = (saved & 0xFF00) == tagstatus::NoFrames && noTag(loadStatus_);
        if (!tagOk(saved) && !nothingToWrite) {
            saveFailed(false, saved);
            return;
        }
    }

    const TTagStatus savedV1 = UseId3v1 ? saveId3v1() : TTagStatus(0);
    Form1->Rafraichir3Click();
    if (!tagOk(savedV1)) {
        saveFailed(true, savedV1);
        return;
    }
    Close();
}

TTagStatus TForm4::saveId3v1()
{
    Tag1 = Tid3tag();
    const TTagStatus read = Tag1.ReadFromFile(fileName_);
    if (!tagOk(read) && !noTag(read)) return read;
    const bool hadBlock = tagOk(read);
    // A block as it was, with no change to make, is left alone.
    const bool anyChange =
        std::any_of(std::begin(fields_), std::end(fields_), [](const Field& f) { return f.changed(); });
    if (hadBlock && !anyChange) return read;
    // A file without a block gets every field; one with a block, the fields the user changed.
    const auto take = [&](const Field& field) { return !hadBlock || field.changed(); };
    if (take(fields_[0])) Tag1.SetTitle(latin1(titreEdit->wholeText()));
    if (take(fields_[1])) Tag1.SetArtist(latin1(artisteEdit->wholeText()));
    if (take(fields_[2])) Tag1.SetAlbum(latin1(albumEdit->wholeText()));
    if (take(fields_[3])) Tag1.SetYear(latin1(anneeEdit->wholeText()));
    if (take(fields_[6])) Tag1.SetComment(latin1(commentaireEdit->wholeText()));
    if (take(fields_[5])) {
        // "7/12": the track is the number before the slash.
        const std::string track = latin1(pisteEdit->wholeText());
        const std::string number = track.substr(0, track.find('/'));
        char* end = nullptr;
        const long value = std::strtol(number.c_str(), &end, 10);
        Tag1.SetTrack(!number.empty() && *end == '\0' && value >= 0 && value <= 255 ? uint8_t(value) : 0);
    }
    // The genre field is free text: the block keeps the genre byte it has (none for a new one).
    return Tag1.WriteToFile(fileName_);
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
    for (Field& field : fields_) field.edit->setWholeText(QString());
    Close();
}
