// The single-file tag editor through the main window: how it is opened, what it shows, what its
// OK writes (read back by mutagen), the ID3v1 option with its blue characters, the Enter-key
// guard of the list, and the tag options window.
#include "CommandsTest.h"

#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "TagTextInput.h"
#include "Unit1.h"
#include "Unit18.h"
#include "Unit20.h"
#include "Unit4.h"
#include "variable.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QTreeWidgetItem>
#include <filesystem>

using namespace cmdtest;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

const QString Blue = QColor(Qt::blue).name();

// A text frame as mutagen read it: encoding and text; encoding -2 when the frame is missing.
struct Read {
    int encoding;
    QString text;
    bool operator==(const Read& o) const { return encoding == o.encoding && text == o.text; }
};
void PrintTo(const Read& r, std::ostream* os) { *os << r.encoding << ":" << r.text.toStdString(); }
const Read Missing{-2, {}};

Read frame(const QJsonObject& dump, const char* id)
{
    const QJsonObject v2 = dump.value("v2").toObject();
    if (!v2.contains(QLatin1String(id))) return Missing;
    const QJsonArray f = v2.value(QLatin1String(id)).toArray();
    return {f.at(0).toInt(), f.at(1).toString()};
}
QStringList frameIds(const QJsonObject& dump)
{
    QStringList ids = dump.value("v2").toObject().keys();
    if (!dump.value("comments").toArray().isEmpty()) ids << "COMM";
    ids.sort();
    return ids;
}
Read latin1(const std::string& text) { return {0, QString::fromLatin1(text.data(), qsizetype(text.size()))}; }

std::vector<ui::RichEdit*> fields()
{
    return {Form4->titreEdit, Form4->artisteEdit,     Form4->albumEdit, Form4->genreEdit,
            Form4->anneeEdit, Form4->commentaireEdit, Form4->pisteEdit};
}

// Types text as a keyboard would, whatever its characters.
void type(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) QTest::keyClick(widget, c.toLatin1());
        else QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// The refusal a window shows beside a field, or nothing.
const QString Refused =
    QStringLiteral("Refus\u00e9 : \u00ab %1 \u00bb. Ce champ ne prend que les caract\u00e8res qu'un tag "
                   "peut contenir (alphabet latin ISO-8859-1) ; rien n'a \u00e9t\u00e9 ajout\u00e9.");
QString refusal(const QWidget* window)
{
    const auto* note = window->findChild<QLabel*>(ui::RefusalNoticeName);
    return note && note->isVisible() ? note->text() : QString();
}
void hideRefusal(const QWidget* window)
{
    if (auto* note = window->findChild<QLabel*>(ui::RefusalNoticeName)) note->hide();
}

// Colours of a field's characters, by name.
QStringList colours(const ui::RichEdit* edit)
{
    QStringList out;
    for (int i = 0; i < int(edit->toPlainText().size()); ++i) out << edit->charColour(i).name();
    return out;
}

class Editor : public Collection {
protected:
    void TearDown() override
    {
        UseId3v1 = false;
        Collection::TearDown();
    }

    // Opens the editor on one row through "Editer les tags" and runs inEditor while it is shown;
    // the editor is closed afterwards if inEditor left it open. False when it did not open.
    static bool edit(const std::string& path, const std::function<void()>& inEditor)
    {
        select({path});
        bool opened = false;
        const auto seen = whileModal([] { Form1->Editerlestags1->trigger(); },
                                     [&](ui::Form* form) {
                                         if (form != Form4) return;
                                         opened = true;
                                         inEditor();
                                     });
        return opened && seen.size() == 1;
    }
    // Sets the editor's fields, then clicks "OK".
    static void setAndSave(const gen::TagTexts& t)
    {
        Form4->titreEdit->setText(t.title);
        Form4->artisteEdit->setText(t.artist);
        Form4->albumEdit->setText(t.album);
        Form4->anneeEdit->setText(t.year);
        Form4->genreEdit->setText(t.genre);
        Form4->pisteEdit->setText(t.track);
        Form4->commentaireEdit->setText(t.comment);
        Form4->Button1->click();
    }
    static gen::TagTexts full(const std::string& artist, const std::string& title)
    {
        gen::TagTexts t = texts(artist, title, "Album " + artist);
        t.year = "1999";
        t.genre = "Rock";
        t.track = "3";
        t.comment = "Remarque";
        return t;
    }
    static Strings treeChildren()
    {
        Strings out;
        const QTreeWidgetItem* root = Form1->TreeView1->topLevelItem(0);
        for (int i = 0; root && i < root->childCount(); ++i) out.push_back(root->child(i)->text(0).toStdString());
        return out;
    }
};

// --- Opening ------------------------------------------------------------------------------------

TEST_F(Editor, EditCommandWantsExactlyOneRow)
{
    const std::string a = putTagged("a.mp3", texts("A", "Un"));
    const std::string b = putTagged("b.mp3", texts("B", "Deux"));
    walk();
    const std::pair<Strings, QString> cases[] = {
        {{}, QStringLiteral("Veuillez choisir un fichier")},
        {{a, b}, QStringLiteral("Veuillez choisir un seul fichier")},
    };
    for (const auto& [rows, message] : cases) {
        SCOPED_TRACE(message.toStdString());
        ui::Dialogs::clearScript();
        select(rows);
        EXPECT_THAT(whileModal([] { Form1->Editerlestags1->trigger(); }), IsEmpty());
        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        EXPECT_EQ(ui::Dialogs::shown()[0].text, message);
        EXPECT_EQ(ui::Dialogs::shown()[0].caption, QStringLiteral("Sonoverne"));
        EXPECT_EQ(ui::Dialogs::shown()[0].flags, unsigned(ui::MB_OK));
    }

    // A double-click with two rows does nothing at all.
    ui::Dialogs::clearScript();
    select({a, b});
    EXPECT_THAT(whileModal([] { emit Form1->ListView1->doubleClicked(Form1->ListModel->index(0, 0)); }), IsEmpty());
    EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
}

TEST_F(Editor, OneRowOpensTheEditorOnItsPath)
{
    const std::string a = putTagged("\xc3\xa9t\xc3\xa9 a.mp3", texts("A", "Un"));
    walk();
    QString label;
    int tag = -1;
    Form4->Tag = 5;
    ASSERT_TRUE(edit(a, [&] {
        label = Form4->Label1->fullText();
        tag = Form4->Tag;
    }));
    EXPECT_EQ(label, platform::toDisplay(a));
    EXPECT_EQ(tag, 5);  // the menu leaves the editor's Tag alone

    select({a});
    const auto seen = whileModal([] { emit Form1->ListView1->doubleClicked(Form1->ListModel->index(0, 0)); },
                                 [&](ui::Form*) {
                                     label = Form4->Label1->fullText();
                                     tag = Form4->Tag;
                                 });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].form, Form4);
    EXPECT_TRUE(seen[0].applicationModal);
    EXPECT_EQ(label, platform::toDisplay(a));
    EXPECT_EQ(tag, 1);
}

// --- Showing and saving ---------------------------------------------------------------------------

TEST_F(Editor, FieldsAreFilledOnShowAndCancelWritesNothing)
{
    gen::TagTexts t = full("Beatrice", "Chanson d'\xe9t\xe9");
    const std::string path = putTagged("a.mp3", t);
    walk();
    const std::string before = readBytes(path);
    const int row = listRowOf(path);
    Strings shown;
    bool noteVisible = true;
    QWidget* focus = nullptr;
    Form4->anneeEdit->setFocus();
    ASSERT_TRUE(edit(path, [&] {
        for (ui::RichEdit* field : fields()) shown.push_back(field->Text());
        noteVisible = Form4->Label2->isVisible();
        focus = Form4->focusWidget();
        Form4->titreEdit->setText("Autre chose");
        Form4->commentaireEdit->setText(std::string());
        Form4->Button2->click();
    }));
    EXPECT_THAT(shown, ElementsAre(t.title, t.artist, t.album, t.genre, t.year, t.comment, t.track));
    EXPECT_FALSE(noteVisible);
    EXPECT_EQ(focus, Form4->titreEdit);
    EXPECT_EQ(readBytes(path), before);
    // The list shows tag texts in UTF-8.
    EXPECT_EQ(Form1->ListModel->cell(row, 1), QString::fromLatin1(t.title.c_str()).toStdString());
    for (ui::RichEdit* field : fields()) EXPECT_EQ(field->Text(), "");
}

TEST_F(Editor, OkWritesEveryFieldAndRefreshesTheRowButNotTheTree)
{
    const std::string path = putTagged("a.mp3", full("Ancien", "Vieux"));
    putTagged("b.mp3", full("Voisin", "Autre"));
    walk();
    const int row = listRowOf(path);
    select({path});
    gen::TagTexts now = full("Nouvel \xe9l\xe8ve", "Nouveau titre");
    now.album = "Album neuf";
    now.year = "2001";
    now.genre = "Jazz";
    now.track = "7/12";
    now.comment = "Un commentaire \xe0 lire";
    ASSERT_TRUE(edit(path, [&] { setAndSave(now); }));
    EXPECT_FALSE(Form4->isVisible());

    const QJsonObject dump = probe(path);
    EXPECT_EQ(frame(dump, "TIT2"), latin1(now.title));
    EXPECT_EQ(frame(dump, "TPE1"), latin1(now.artist));
    EXPECT_EQ(frame(dump, "TALB"), latin1(now.album));
    EXPECT_EQ(frame(dump, "TYER"), latin1(now.year));
    EXPECT_EQ(frame(dump, "TCON"), latin1(now.genre));
    EXPECT_EQ(frame(dump, "TRCK"), latin1(now.track));
    EXPECT_EQ(dump.value("comments").toArray(),
              (QJsonArray{QJsonArray{0, "ENG", "", QString::fromLatin1(now.comment.c_str())}}));
    EXPECT_TRUE(dump.value("v1").isNull());  // the option is off

    // The list row is read again; the tree keeps the node it had.
    EXPECT_EQ(listRowOf(path), row);
    EXPECT_EQ(Form1->ListModel->cell(row, 0), QString::fromLatin1(now.artist.c_str()).toStdString());
    EXPECT_EQ(Form1->ListModel->cell(row, 1), now.title);
    EXPECT_EQ(Form1->ListModel->cell(row, 2), now.track);
    EXPECT_EQ(Form1->ListModel->cell(row, 3), now.album);
    EXPECT_EQ(Form1->ListModel->cell(row, 8), now.genre);
    EXPECT_EQ(Form1->ListModel->cell(row, 9), QString::fromLatin1(now.comment.c_str()).toStdString());
    EXPECT_EQ(Form1->ListModel->cell(row, 10), now.year);
    EXPECT_THAT(treeChildren(), Contains("Ancien"));
    EXPECT_THAT(treeChildren(), Not(Contains(QString::fromLatin1(now.artist.c_str()).toStdString())));
}

TEST_F(Editor, AFileNamedInTheOld8BitEncodingIsSavedInPlace)
{
    const std::string odd = putTagged("\xe9t\xe9 \xff.mp3", full("Artiste", "Titre"));
    const std::string near = putTagged("?t? ?.mp3", full("Voisin", "Autre"));
    walk();
    const std::string nearBefore = readBytes(near);
    ASSERT_TRUE(edit(odd, [] {
        Form4->titreEdit->setText("Neuf");
        Form4->Button1->click();
    }));
    EXPECT_EQ(frame(probe(odd), "TIT2"), latin1("Neuf"));
    EXPECT_EQ(readBytes(near), nearBefore);
    EXPECT_EQ(Form1->ListModel->cell(listRowOf(odd), 1), "Neuf");
}

TEST_F(Editor, EmptyTitleAndCommentRemoveTheirFrames)
{
    const std::string path = putTagged("a.mp3", full("Artiste", "Titre"));
    walk();
    ASSERT_TRUE(edit(path, [] {
        Form4->titreEdit->setText(std::string());
        Form4->commentaireEdit->setText(std::string());
        Form4->Button1->click();
    }));
    const QJsonObject dump = probe(path);
    EXPECT_EQ(frame(dump, "TIT2"), Missing);
    EXPECT_EQ(dump.value("comments").toArray(), QJsonArray());
    EXPECT_EQ(frame(dump, "TPE1"), latin1("Artiste"));
    EXPECT_EQ(frameIds(dump), (QStringList{"TALB", "TCON", "TPE1", "TRCK", "TYER"}));
}

TEST_F(Editor, EnterInAnyFieldSavesLikeOk)
{
    const std::string path = putTagged("a.mp3", full("Artiste", "Titre"));
    walk();
    for (size_t i = 0; i < fields().size(); ++i) {
        SCOPED_TRACE(i);
        const std::string artist = "Entr\xe9"
                                   "e " +
                                   std::to_string(i);
        bool openAfterOtherKey = false;
        ASSERT_TRUE(edit(path, [&] {
            ui::RichEdit* field = fields()[i];
            Form4->artisteEdit->setText(artist);
            QTest::keyClick(field, Qt::Key_Tab, Qt::NoModifier);
            QTest::keyClick(field, Qt::Key_Escape, Qt::NoModifier);
            openAfterOtherKey = Form4->isVisible();
            QTest::keyClick(field, Qt::Key_Return);
        }));
        EXPECT_TRUE(openAfterOtherKey);
        EXPECT_FALSE(Form4->isVisible());
        const QJsonObject dump = probe(path);
        EXPECT_EQ(frame(dump, "TPE1"), latin1(artist));
        // No line break went into any text.
        EXPECT_EQ(frame(dump, "TIT2"), latin1("Titre"));
        EXPECT_EQ(dump.value("comments").toArray(), (QJsonArray{QJsonArray{0, "eng", "", "Remarque"}}));
    }
}

TEST_F(Editor, YearTakesAtMostFourTypedCharacters)
{
    const std::string path = putTagged("a.mp3", full("Artiste", "Titre"));
    walk();
    std::string typed, full, selected;
    ASSERT_TRUE(edit(path, [&] {
        Form4->anneeEdit->setText(std::string());
        QTest::keyClicks(Form4->anneeEdit, QStringLiteral("198765"));
        typed = Form4->anneeEdit->Text();
        // A full field refuses what is typed or pasted anywhere in it; its year stays whole.
        Form4->anneeEdit->setCaretPosition(0);
        QTest::keyClicks(Form4->anneeEdit, QStringLiteral("20"));
        QApplication::clipboard()->setText(QStringLiteral("20"));
        Form4->anneeEdit->paste();
        full = Form4->anneeEdit->Text();
        // Typing over a selection replaces it.
        Form4->anneeEdit->selectAll();
        QTest::keyClicks(Form4->anneeEdit, QStringLiteral("2004"));
        selected = Form4->anneeEdit->Text();
        Form4->Button1->click();
    }));
    EXPECT_EQ(typed, "1987");
    EXPECT_EQ(full, "1987");
    EXPECT_EQ(selected, "2004");
    EXPECT_EQ(frame(probe(path), "TYER"), latin1("2004"));
}

// The fields take only what a tag text holds: control characters become blanks, and a character
// beyond ISO-8859-1 is refused whether typed or pasted, and the user is told at once which.
TEST_F(Editor, FieldsTakeOnlyWhatATagTextHolds)
{
    const std::string path = putTagged("a.mp3", full("Artiste", "Titre"));
    walk();
    const std::pair<QString, std::string> pasted[] = {
        {QStringLiteral("Un\ttitre\r\nsuite\x01!"), "Un titre suite !"},
        {QStringLiteral("\u0153uvres"), ""},
        {QStringLiteral("\u00c9t\u00e9"), "\xc9t\xe9"},
    };
    Strings afterPaste;
    QStringList toldAfterPaste;
    std::string typed;
    QString told;
    bool inWindow = false;
    ASSERT_TRUE(edit(path, [&] {
        for (const auto& [text, _] : pasted) {
            hideRefusal(Form4);
            Form4->commentaireEdit->setText(std::string());
            QApplication::clipboard()->setText(text);
            Form4->commentaireEdit->paste();
            afterPaste.push_back(Form4->commentaireEdit->Text());
            toldAfterPaste << refusal(Form4);
        }
        Form4->artisteEdit->setText(std::string());
        type(Form4->artisteEdit, QStringLiteral("Dvo\u0159\u00e1k"));
        told = refusal(Form4);
        const QWidget* note = Form4->findChild<QWidget*>(ui::RefusalNoticeName);
        inWindow = note && Form4->rect().contains(note->geometry());
        Form4->albumEdit->setText(std::string());
        type(Form4->albumEdit, QStringLiteral("Les \u0153uvres"));
        // An input method's text is held to the same rule.
        for (const QString& committed : {QStringLiteral("\u0153"), QStringLiteral("\t!")}) {
            QInputMethodEvent event;
            event.setCommitString(committed);
            QApplication::sendEvent(Form4->albumEdit, &event);
        }
        typed = Form4->albumEdit->Text();
        Form4->titreEdit->setText(std::string());
        QApplication::clipboard()->setText(pasted[0].first);
        Form4->titreEdit->paste();
        Form4->Button1->click();
    }));
    for (size_t i = 0; i < afterPaste.size(); ++i) EXPECT_EQ(afterPaste[i], pasted[i].second) << i;
    EXPECT_EQ(toldAfterPaste, (QStringList{"", Refused.arg(QStringLiteral("\u0153")), ""}));
    EXPECT_EQ(told, Refused.arg(QStringLiteral("\u0159")));
    EXPECT_TRUE(inWindow);
    EXPECT_EQ(typed, "Les uvres !");
    const QJsonObject dump = probe(path);
    EXPECT_EQ(frame(dump, "TIT2"), latin1("Un titre suite !"));
    EXPECT_EQ(frame(dump, "TALB"), latin1("Les uvres !"));
    EXPECT_EQ(frame(dump, "TPE1"), latin1("Dvo\xe1k"));  // what the field showed once told
}

TEST_F(Editor, FileWithoutTagGetsExactlyTheEnteredFrames)
{
    const std::string tagged = putTerminated("a.mp3", QStringLiteral("Artiste"), QStringLiteral("Titre"));
    gen::Mp3Spec spec;
    spec.audio = gen::SilentFrames(4);
    spec.id3v2 = gen::Id3v2Spec{full("Artiste", "Titre"), {}, 0};
    std::string bytes = gen::Mp3Bytes(spec);
    bytes[6] = 0x7f;  // a size far past the end of the file
    const std::string past = put("past.mp3", bytes);
    const std::string bare = putUntagged("b.mp3");
    walk();
    // Just before, the editor held a whole ID3v2.4 tag, then a tag it refused to read.
    ASSERT_TRUE(edit(tagged, [] { Form4->Button1->click(); }));
    ASSERT_TRUE(edit(past, [] { Form4->Button2->click(); }));
    ui::Dialogs::clearScript();
    Strings shown;
    ASSERT_TRUE(edit(bare, [&] {
        for (ui::RichEdit* field : fields()) shown.push_back(field->Text());
        Form4->titreEdit->setText("Seul");
        Form4->pisteEdit->setText("4");
        Form4->Button1->click();
    }));
    EXPECT_THAT(shown, ElementsAre("", "", "", "", "", "", ""));
    EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
    EXPECT_EQ(readBytes(bare).substr(0, 6), std::string("ID3\x03\x00\x00", 6));  // nothing of the tags before
    const QJsonObject dump = probe(bare);
    EXPECT_EQ(frameIds(dump), (QStringList{"TIT2", "TRCK"}));
    EXPECT_EQ(frame(dump, "TIT2"), latin1("Seul"));
    EXPECT_EQ(frame(dump, "TRCK"), latin1("4"));
}

QJsonArray textFrame(const char* id, int encoding, const QString& text) { return {id, encoding, QJsonArray{text}}; }

// Texts as today's taggers write them (curly quotes, œ, dashes, other alphabets, in UTF-16 and
// UTF-8), no-break spaces, a comment's CR LF, a span of years: each field shows its text whole,
// and one that holds what cannot be typed, or more than could be read, is marked. "OK" and Enter
// rewrite only the fields the user changed, each with every character it had.
TEST_F(Editor, FieldsShowTextsWholeAndOnlyChangedOnesAreWritten)
{
    const QString nbsp = QStringLiteral("\u00a0");
    const std::string v23 = putByMutagen(
        "v23.mp3", 3,
        {textFrame("TIT2", 1, QStringLiteral("Don\u2019t Stop Me Now")),
         textFrame("TPE1", 1, QStringLiteral("Dvo\u0159\u00e1k Quartet")),
         textFrame("TALB", 0, "Qui es-tu" + nbsp + "?"), textFrame("TYER", 0, "1999-2000"),
         textFrame("TCON", 1, QStringLiteral("Chanson \u2013 fran\u00e7aise")), textFrame("TRCK", 0, "4/12"),
         QJsonArray{"COMM", 0, "fra", "", "ligne 1\r\nligne 2" + nbsp + "!"}});
    const std::string v24 = putByMutagen("v24.mp3", 4,
                                         {textFrame("TIT2", 3, QStringLiteral("l\u2019\u00e9t\u00e9 \u2013 live")),
                                          textFrame("TPE1", 3, QStringLiteral("C\u0153ur de pirate")),
                                          textFrame("TALB", 3, QStringLiteral("\u1f08\u03b8\u1fc6\u03bd\u03b1\u03b9")),
                                          QJsonArray{"TCON", 3, QJsonArray{"Rock", "Pop"}},
                                          QJsonArray{"COMM", 3, "fra", "", QStringLiteral("C\u2019est la vie")}});
    walk();
    struct Shown {
        QStringList texts;
        std::vector<bool> marks;
        bool note;
    };
    const auto look = [] {
        Shown shown{{}, {}, Form4->Label4->isVisible()};
        for (ui::RichEdit* field : fields()) {
            shown.texts << field->wholeText();
            shown.marks.push_back(field->marked());
        }
        return shown;
    };
    // Left as they are: "OK" for one, Enter for the other, and the files stay byte for byte.
    std::map<std::string, Shown> seen;
    for (const std::string& path : {v23, v24}) {
        const std::string before = readBytes(path);
        ASSERT_TRUE(edit(path, [&] {
            seen[path] = look();
            if (path == v23) Form4->Button1->click();
            else QTest::keyClick(Form4->commentaireEdit, Qt::Key_Return);
        }));
        EXPECT_FALSE(Form4->isVisible());
        EXPECT_EQ(readBytes(path), before) << path;
    }
    EXPECT_EQ(seen[v23].texts,
              (QStringList{QStringLiteral("Don\u2019t Stop Me Now"), QStringLiteral("Dvo\u0159\u00e1k Quartet"),
                           "Qui es-tu" + nbsp + "?", QStringLiteral("Chanson \u2013 fran\u00e7aise"), "1999-2000",
                           "ligne 1\r\nligne 2" + nbsp + "!", "4/12"}));
    EXPECT_EQ(seen[v23].marks, (std::vector<bool>{true, true, false, true, false, false, false}));
    EXPECT_EQ(seen[v24].texts,
              (QStringList{QStringLiteral("l\u2019\u00e9t\u00e9 \u2013 live"), QStringLiteral("C\u0153ur de pirate"),
                           QStringLiteral("\u1f08\u03b8\u1fc6\u03bd\u03b1\u03b9"), "Rock", "",
                           QStringLiteral("C\u2019est la vie"), ""}));
    EXPECT_EQ(seen[v24].marks, (std::vector<bool>{true, true, true, true, false, true, false}));
    EXPECT_TRUE(seen[v23].note && seen[v24].note);

    // Edited: typed at the end of fields with such characters, a no-break space or CR LF; a
    // change undone is no change.
    ASSERT_TRUE(edit(v23, [] {
        for (ui::RichEdit* field : {Form4->titreEdit, Form4->albumEdit, Form4->commentaireEdit}) {
            field->setCaretPosition(1 << 20);
            QTest::keyClicks(field, QStringLiteral(" !"));
        }
        Form4->genreEdit->setCaretPosition(1 << 20);
        QTest::keyClicks(Form4->genreEdit, QStringLiteral("x"));
        QTest::keyClick(Form4->genreEdit, Qt::Key_Backspace);
        Form4->Button1->click();
    }));
    const QJsonObject dump = probe(v23);
    EXPECT_EQ(frame(dump, "TIT2"), (Read{1, QStringLiteral("Don\u2019t Stop Me Now !")}));
    EXPECT_EQ(frame(dump, "TALB"), (Read{0, "Qui es-tu" + nbsp + "? !"}));
    EXPECT_EQ(dump.value("comments").toArray(),
              (QJsonArray{QJsonArray{0, "ENG", "", "ligne 1\r\nligne 2" + nbsp + "! !"}}));
    EXPECT_EQ(frame(dump, "TPE1"), (Read{1, QStringLiteral("Dvo\u0159\u00e1k Quartet")}));
    EXPECT_EQ(frame(dump, "TCON"), (Read{1, QStringLiteral("Chanson \u2013 fran\u00e7aise")}));
    EXPECT_EQ(frame(dump, "TYER"), latin1("1999-2000"));

    // A field not read whole is kept unless retyped; retyped, it holds what the user typed.
    ASSERT_TRUE(edit(v24, [] {
        Form4->genreEdit->setWholeText(QStringLiteral("Jazz"));
        Form4->commentaireEdit->setWholeText(QStringLiteral("\u2018Cit\u00e9\u2019"));
        Form4->Button1->click();
    }));
    const QJsonObject after = probe(v24);
    EXPECT_EQ(frame(after, "TCON"), latin1("Jazz"));
    EXPECT_EQ(after.value("comments").toArray(),
              (QJsonArray{QJsonArray{1, "ENG", "", QStringLiteral("\u2018Cit\u00e9\u2019")}}));
    EXPECT_EQ(frame(after, "TIT2"), (Read{3, QStringLiteral("l\u2019\u00e9t\u00e9 \u2013 live")}));
}

// mutagen ends every ID3v2.4 text with a 0: the fields stop there, and what the user adds goes
// after the text, not after its terminator.
TEST_F(Editor, TextsEndedByTheirTerminatorAreEditedWithoutIt)
{
    const std::string path = putTerminated("s.mp3", QStringLiteral("Nina Simone"), QStringLiteral("Sinnerman"),
                                           QStringLiteral("Pastel Blues"));
    walk();
    Strings shown;
    ASSERT_TRUE(edit(path, [&] {
        for (ui::RichEdit* field : fields()) shown.push_back(field->Text());
        QTest::keyClicks(Form4->titreEdit, QStringLiteral(" (live)"));
        Form4->Button1->click();
    }));
    EXPECT_THAT(shown, ElementsAre("Sinnerman", "Nina Simone", "", "", "", "Pastel Blues", ""));
    const QJsonObject dump = probe(path);
    EXPECT_EQ(frame(dump, "TIT2"), latin1("Sinnerman (live)"));
    // The fields left alone keep their frames.
    EXPECT_EQ(frame(dump, "TPE1"), (Read{3, QStringLiteral("Nina Simone")}));
    EXPECT_EQ(dump.value("comments").toArray(), (QJsonArray{QJsonArray{3, "eng", "", "Pastel Blues"}}));
}

// A tag the library cannot read (an ID3v2.2 tag, a tag running past the end of the file) opens
// with empty fields, and OK puts the entered values neither in its place nor in the ID3v1 block:
// it says so and the editor stays open.
TEST_F(Editor, ATagThatCannotBeReadIsNotReplaced)
{
    const std::string text = std::string(1, '\0') + "Vieux titre";
    const std::string frame22 = "TT2" + std::string(2, '\0') + char(text.size()) + text;
    const std::string tag22 = std::string("ID3\x02\x00\x00\x00\x00\x00", 9) + char(frame22.size()) + frame22;
    gen::Mp3Spec audio;
    audio.audio = gen::SilentFrames(4);
    audio.id3v1 = gen::Id3v1Spec{"Titre v1", "Artiste v1", "Album v1", "1999", "Note v1", 3, 17};
    const std::string v22 = put("v22.mp3", tag22 + gen::Mp3Bytes(audio));
    gen::Mp3Spec tagged = audio;
    tagged.id3v2 = gen::Id3v2Spec{full("Artiste", "Titre"), {}, 0};
    std::string bytes = gen::Mp3Bytes(tagged);
    bytes[6] = 0x7f;  // a size far past the end of the file
    const std::string past = put("past.mp3", bytes);
    walk("[ID3V1]\r\nUtiliser=1\r\n");
    for (const std::string& path : {v22, past}) {
        SCOPED_TRACE(path);
        const std::string before = readBytes(path);
        ui::Dialogs::clearScript();
        Strings shown;
        bool open = false;
        ASSERT_TRUE(edit(path, [&] {
            for (ui::RichEdit* field : fields()) shown.push_back(field->Text());
            Form4->titreEdit->setText("Neuf");
            Form4->Button1->click();
            open = Form4->isVisible();
            Form4->Button2->click();
        }));
        EXPECT_THAT(shown, ElementsAre("", "", "", "", "", "", ""));
        EXPECT_TRUE(open);
        EXPECT_EQ(readBytes(path), before);
        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        EXPECT_THAT(ui::Dialogs::shown()[0].text.toStdString(), HasSubstr(path));
    }
}

// A save that fails says why, naming the file, in the program's error box; the editor stays open
// with what the user typed, and the file is left as it was.
TEST_F(Editor, AFailedSaveIsToldAndTheEditorKeepsTheInput)
{
    gen::Mp3Spec spec;
    spec.audio = gen::SilentFrames(4);
    spec.id3v2 = gen::Id3v2Spec{full("Artiste", "Titre"), {}, 0};
    spec.id3v1 = gen::Id3v1Spec{"Titre v1", "Artiste v1", "Album v1", "1999", "Note v1", 3, 17};
    const std::string readOnly = put("lecture seule.mp3", gen::Mp3Bytes(spec));
    std::string bytes = gen::Mp3Bytes(spec);
    bytes[4] = 1;  // revision 1: read, but never replaced
    const std::string revision = put("revision.mp3", bytes);
    // An encrypted title (ID3v2.3, method 0x80) the user retypes: its frame cannot be rewritten.
    const std::string data = std::string(1, '\x80') + std::string(1, '\0') + "Secret";
    const std::string frame = "TIT2" + std::string(3, '\0') + char(data.size()) + std::string("\x00\x40", 2) + data;
    const std::string tag =
        std::string("ID3\x03\x00\x00\x00\x00\x00", 9) + char(frame.size() + 20) + frame + std::string(20, '\0');
    gen::Mp3Spec plain = spec;
    plain.id3v2.reset();
    const std::string encrypted = put("chiffre.mp3", tag + gen::Mp3Bytes(plain));
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    walk("[ID3V1]\r\nUtiliser=1\r\n");
    const std::pair<std::string, std::string> cases[] = {
        {readOnly, "prot\xc3\xa9g\xc3\xa9 en \xc3\xa9"
                   "criture"},
        {revision, "version de tag"},
        {encrypted, "chiffr\xc3\xa9"
                    "e ou group\xc3\xa9"
                    "e"},
    };
    for (const auto& [path, why] : cases) {
        SCOPED_TRACE(path);
        const std::string before = readBytes(path);
        ui::Dialogs::clearScript();
        bool open = false;
        std::string kept;
        ASSERT_TRUE(edit(path, [&] {
            Form4->titreEdit->setText("Neuf");
            Form4->Button1->click();
            open = Form4->isVisible();
            kept = Form4->titreEdit->Text();
            Form4->Button2->click();
        }));
        EXPECT_TRUE(open);
        EXPECT_EQ(kept, "Neuf");
        EXPECT_EQ(readBytes(path), before);
        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        const ui::ShownBox& box = ui::Dialogs::shown()[0];
        EXPECT_EQ(box.caption, ui::Dialogs::applicationTitle());
        EXPECT_EQ(box.flags, unsigned(ui::MB_OK | ui::MB_ICONERROR));
        EXPECT_THAT(box.text.toStdString(), HasSubstr(path));
        EXPECT_THAT(box.text.toStdString(), HasSubstr(why));
    }
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

// --- The ID3v1 option -----------------------------------------------------------------------------

const std::string Title30 = "Un titre de trente et un signe";  // 30 characters

TEST_F(Editor, WithTheOptionTheThirtyFirstCharacterAndTheGenreAreBlue)
{
    gen::TagTexts t = full(std::string(30, 'a'), Title30 + "!");
    ASSERT_EQ(t.title.size(), 31u);
    const std::string path = putTagged("a.mp3", t);
    walk("[ID3V1]\r\nUtiliser=1\r\n");
    ASSERT_TRUE(UseId3v1);
    QStringList title, artist, artistTyped, genre;
    int caret = -1;
    bool noteVisible = false;
    ASSERT_TRUE(edit(path, [&] {
        title = colours(Form4->titreEdit);
        artist = colours(Form4->artisteEdit);
        genre = colours(Form4->genreEdit);
        noteVisible = Form4->Label2->isVisible();
        // Typing past 30 characters turns the new one blue and keeps the caret in place.
        QTest::keyClicks(Form4->artisteEdit, QStringLiteral("z"));
        artistTyped = colours(Form4->artisteEdit);
        caret = Form4->artisteEdit->caretPosition();
        Form4->Button2->click();
    }));
    ASSERT_EQ(title.size(), 31);
    EXPECT_THAT(title.mid(0, 30), Not(Contains(Blue)));
    EXPECT_EQ(title[30], Blue);
    EXPECT_THAT(artist, Not(Contains(Blue)));
    ASSERT_EQ(artistTyped.size(), 31);
    EXPECT_THAT(artistTyped.mid(0, 30), Not(Contains(Blue)));
    EXPECT_EQ(artistTyped[30], Blue);
    EXPECT_EQ(caret, 31);
    EXPECT_EQ(genre, QStringList(4, Blue));
    EXPECT_TRUE(noteVisible);
}

// A field's colours as runs ("#000000 x30, #0000ff x2"): short to compare in long fields.
QString colourRuns(const ui::RichEdit* edit)
{
    QStringList runs;
    QString last;
    int count = 0;
    for (const QString& colour : colours(edit)) {
        if (colour != last && count > 0) {
            runs << QStringLiteral("%1 x%2").arg(last).arg(count);
            count = 0;
        }
        last = colour;
        ++count;
    }
    if (count > 0) runs << QStringLiteral("%1 x%2").arg(last).arg(count);
    return runs.join(QStringLiteral(", "));
}

// Whatever the edit, and in a comment of thousands of characters as in a short title, the first
// 30 characters keep the default colour and every later one is blue.
TEST_F(Editor, WithTheOptionEveryEditKeepsTheBlueFromTheThirtyFirstCharacterOn)
{
    gen::TagTexts t = full("Artiste", Title30 + "!");
    t.comment.clear();
    for (int i = 0; i < 3000; ++i) t.comment += char('a' + i % 26);
    const std::string path = putTagged("a.mp3", t);
    walk("[ID3V1]\r\nUtiliser=1\r\n");
    const auto key = [](Qt::Key k, int times = 1) {
        return [k, times](ui::RichEdit* e) {
            for (int i = 0; i < times; ++i) QTest::keyClick(e, k);
        };
    };
    const auto typed = [](const char* text) { return [text](ui::RichEdit* e) { QTest::keyClicks(e, text); }; };
    const struct Step {
        const char* name;
        bool comment;
        int caret;
        std::function<void(ui::RichEdit*)> act;
    } steps[] = {
        {"typed first", true, 0, typed("Z")},
        {"two erased before the 30th", true, 2, key(Qt::Key_Backspace, 2)},
        {"typed at the 30th", true, 29, typed("xy")},
        {"typed at the end", true, 1 << 20, typed("fin")},
        {"erased past the 30th", true, 40, key(Qt::Key_Delete, 3)},
        {"pasted inside", true, 10,
         [](ui::RichEdit* e) {
             QApplication::clipboard()->setText(QString(45, QLatin1Char('p')));
             e->paste();
         }},
        {"title erased to 30", false, 31, key(Qt::Key_Backspace)},
        {"title typed to 32", false, 5, typed("ab")},
        {"title replaced by one", false, 0,
         [](ui::RichEdit* e) {
             e->selectAll();
             QTest::keyClicks(e, "x");
         }},
    };
    QStringList seen, expected;
    ASSERT_TRUE(edit(path, [&] {
        const QString text = Form4->palette().color(QPalette::WindowText).name();
        const auto wanted = [&](const ui::RichEdit* e) {
            const int length = int(e->toPlainText().size());
            QString runs = QStringLiteral("%1 x%2").arg(text).arg(std::min(length, 30));
            if (length > 30) runs += QStringLiteral(", %1 x%2").arg(Blue).arg(length - 30);
            return runs;
        };
        seen << colourRuns(Form4->commentaireEdit) << colourRuns(Form4->titreEdit);
        expected << wanted(Form4->commentaireEdit) << wanted(Form4->titreEdit);
        for (const Step& step : steps) {
            ui::RichEdit* field = step.comment ? Form4->commentaireEdit : Form4->titreEdit;
            field->setFocus();
            field->setCaretPosition(step.caret);
            step.act(field);
            seen << QString::fromUtf8(step.name) + ": " + colourRuns(field);
            expected << QString::fromUtf8(step.name) + ": " + wanted(field);
        }
        Form4->Button2->click();
    }));
    EXPECT_EQ(seen, expected);
}

TEST_F(Editor, WithoutTheOptionNothingIsBlueAndTheNoteIsHidden)
{
    const std::string blueBefore = putTagged("a.mp3", full("Artiste", Title30 + "!"));
    walk("[ID3V1]\r\nUtiliser=1\r\n");
    ASSERT_TRUE(edit(blueBefore, [] {}));  // leaves blue characters in the fields
    walk("[ID3V1]\r\nUtiliser=0\r\n");
    ASSERT_FALSE(UseId3v1);
    QStringList title, typed, genre;
    QString text;
    bool noteVisible = true;
    ASSERT_TRUE(edit(blueBefore, [&] {
        text = Form4->palette().color(QPalette::WindowText).name();
        title = colours(Form4->titreEdit);
        genre = colours(Form4->genreEdit);
        QTest::keyClicks(Form4->titreEdit, QStringLiteral("zz"));
        typed = colours(Form4->titreEdit);
        noteVisible = Form4->Label2->isVisible();
        Form4->Button2->click();
    }));
    EXPECT_EQ(title, QStringList(31, text));
    EXPECT_EQ(typed, QStringList(33, text));
    EXPECT_EQ(genre, QStringList(4, text));
    EXPECT_FALSE(noteVisible);
}

TEST_F(Editor, WithTheOptionOkAlsoWritesTheId3v1Block)
{
    gen::Mp3Spec spec;
    spec.audio = gen::SilentFrames(4);
    spec.id3v2 = gen::Id3v2Spec{full("Artiste", "Titre"), {}, 0};
    spec.id3v1 = gen::Id3v1Spec{"Titre v1", "Artiste v1", "Album v1", "1999", "Note v1", 3, 17};
    const std::string path = put("a.mp3", gen::Mp3Bytes(spec));
    // mutagen's block alone, and beside its ID3v2 tag with a French comment.
    const QJsonArray v1Frames{textFrame("TIT2", 0, "Titre v1"), textFrame("TPE1", 0, "Artiste v1"),
                              textFrame("TALB", 0, "Album v1"), textFrame("TYER", 0, "1999"),
                              textFrame("TRCK", 0, "3"),        textFrame("TCON", 0, "Rock")};
    const std::string v1Only = putByMutagen("v1.mp3", 3, v1Frames, "v1only");
    QJsonArray frenchFrames = v1Frames;
    frenchFrames << QJsonArray{"COMM", 0, "fra", "", QStringLiteral("Une remarque en fran\u00e7ais")};
    const std::string french = putByMutagen("fr.mp3", 3, frenchFrames, "v1");
    walk("[ID3V1]\r\nUtiliser=1\r\n");
    gen::TagTexts now = full("Un artiste au nom bien trop long", Title30 + "!");
    now.track = "9/12";
    now.comment = "Un commentaire de plus de vingt-huit signes";
    ASSERT_TRUE(edit(path, [&] { setAndSave(now); }));
    const QJsonObject dump = probe(path);
    EXPECT_EQ(frame(dump, "TIT2"), latin1(now.title));  // the whole texts in ID3v2
    const QJsonObject v1 = dump.value("v1").toObject();
    ASSERT_FALSE(v1.isEmpty());
    EXPECT_EQ(v1.value("TIT2").toString(), QString::fromStdString(Title30));
    EXPECT_EQ(v1.value("TPE1").toString(), QString::fromStdString(now.artist.substr(0, 30)));
    EXPECT_EQ(v1.value("TALB").toString(), QString::fromStdString(now.album.substr(0, 30)));
    EXPECT_EQ(v1.value("TYER").toString(), QString::fromStdString(now.year));
    EXPECT_EQ(v1.value("TRCK").toString(), QStringLiteral("9"));  // the number before the slash
    EXPECT_EQ(v1.value("COMM").toString(), QString::fromStdString(now.comment.substr(0, 28)));
    EXPECT_EQ(v1.value("TCON").toString(), QStringLiteral("17"));  // the genre byte it had

    // A second save overwrites the block instead of adding one.
    ASSERT_TRUE(edit(path, [] {
        Form4->titreEdit->setText("Court");
        Form4->Button1->click();
    }));
    const std::string bytes = readBytes(path);
    ASSERT_GT(bytes.size(), 256u);
    EXPECT_EQ(bytes.substr(bytes.size() - 128, 3), "TAG");
    EXPECT_NE(bytes.substr(bytes.size() - 256, 3), "TAG");
    EXPECT_EQ(probe(path).value("v1").toObject().value("TIT2").toString(), QStringLiteral("Court"));

    // The block keeps every field the user did not change; "OK" without an edit changes nothing.
    // What it cannot hold is blue: the ID3v2 tag alone holds it.
    QStringList blue;
    QString text;
    ASSERT_TRUE(edit(v1Only, [&] {
        Form4->titreEdit->setWholeText(QStringLiteral("Dvo\u0159\u00e1k"));
        blue = colours(Form4->titreEdit);
        text = Form4->palette().color(QPalette::WindowText).name();
        Form4->Button1->click();
    }));
    EXPECT_EQ(blue, (QStringList{text, text, text, Blue, text, text}));
    const QJsonObject only = probe(v1Only);
    EXPECT_EQ(frameIds(only), QStringList{"TIT2"});
    EXPECT_EQ(frame(only, "TIT2"), (Read{1, QStringLiteral("Dvo\u0159\u00e1k")}));
    EXPECT_EQ(only.value("v1").toObject(), (QJsonObject{{"TIT2", QStringLiteral("Dvo?\u00e1k")},
                                                        {"TPE1", "Artiste v1"},
                                                        {"TALB", "Album v1"},
                                                        {"TYER", "1999"},
                                                        {"TRCK", "3"},
                                                        {"TCON", "17"}}));
    const std::string frenchBefore = readBytes(french);
    ASSERT_TRUE(edit(french, [] { Form4->Button1->click(); }));
    EXPECT_EQ(readBytes(french), frenchBefore);
}

TEST_F(Editor, TagOptionsApplyWritesTheSettingAndCancelWritesNothing)
{
    putTagged("a.mp3", texts("A", "Un"));
    walk();
    const std::string settings = SettingsFilePath();
    for (const bool on : {true, false}) {
        whileModal([] { Form1->ags1->trigger(); },
                   [&](ui::Form* form) {
                       ASSERT_EQ(form, Form20);
                       Form20->CheckBox1->setChecked(on);
                       Form20->Button1->click();
                   });
        EXPECT_EQ(UseId3v1, on);
        const std::string text = readBytes(settings);
        EXPECT_NE(text.find("[ID3V1]\r\nUtiliser=" + std::string(on ? "1" : "0") + "\r\n"), std::string::npos) << text;
    }

    const std::string before = readBytes(settings);
    whileModal([] { Form1->ags1->trigger(); },
               [](ui::Form*) {
                   Form20->CheckBox1->setChecked(true);
                   Form20->Button2->click();
               });
    EXPECT_FALSE(Form20->isVisible());
    EXPECT_FALSE(UseId3v1);
    EXPECT_EQ(readBytes(settings), before);
    EXPECT_TRUE(Form20->CheckBox1->isChecked());  // until the settings are read again
    walk();
    EXPECT_FALSE(Form20->CheckBox1->isChecked());
}

// --- The Enter-key guard of the list ------------------------------------------------------------

TEST_F(Editor, TheEnterThatClosedTheEditorDoesNotOpenItAgain)
{
    const std::string path = putTagged("a.mp3", full("Artiste", "Titre"));
    walk();
    select({path});
    Form1->ListView1->setFocus();
    QWidget* list = Form1->ListView1;

    // Enter on the list opens the editor; Enter in a field saves and closes it.
    const auto opened = whileModal(
        [&] {
            QTest::keyPress(list, Qt::Key_Return);
            QTest::keyRelease(list, Qt::Key_Return);
        },
        [](ui::Form*) {
            Form4->artisteEdit->setText("Par Entr\xe9"
                                        "e");
            QTest::keyClick(Form4->titreEdit, Qt::Key_Return);
        });
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].form, Form4);
    EXPECT_EQ(frame(probe(path), "TPE1"), latin1("Par Entr\xe9"
                                                 "e"));

    // The release of that Enter reaches the list without its press.
    EXPECT_THAT(whileModal([&] { QTest::keyRelease(list, Qt::Key_Return); }), IsEmpty());
    // Other keys open nothing either.
    EXPECT_THAT(whileModal([&] { QTest::keyClick(list, Qt::Key_Space); }), IsEmpty());

    // A whole Enter on the list opens it again.
    const auto again = whileModal(
        [&] {
            QTest::keyPress(list, Qt::Key_Return);
            QTest::keyRelease(list, Qt::Key_Return);
        },
        [](ui::Form*) { Form4->Button2->click(); });
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].form, Form4);

    // The editor opened by the menu and closed by Enter arms the guard the same way.
    const auto menu = whileModal([] { Form1->Editerlestags1->trigger(); },
                                 [](ui::Form*) { QTest::keyClick(Form4->albumEdit, Qt::Key_Return); });
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_THAT(whileModal([&] { QTest::keyRelease(list, Qt::Key_Return); }), IsEmpty());
}

// --- A picture for the eye ------------------------------------------------------------------------

// A path far longer than the window is elided in the middle: the editor keeps its width and its
// buttons stay in sight. The editor and the option windows have the system menu only.
TEST_F(Editor, PictureOfTheEditorOverTheMainWindow)
{
    gen::TagTexts t = full("Beatrice", Title30 + "!");
    const std::string folder = std::string(120, 'd');
    std::filesystem::create_directories(folder_ + "/" + folder);
    const std::string path = putTagged(folder + "/" + std::string(130, 'f') + ".mp3", t);
    ASSERT_GE(path.size(), 260u);
    putTagged("b.mp3", full("Voisin", "Autre"));
    walk("[ID3V1]\r\nUtiliser=1\r\n");
    QImage picture;
    int width = 0, lineHeight = 0;
    QRect cancel, fileRow, title;
    QString label;
    ASSERT_TRUE(edit(path, [&] {
        width = Form4->width();
        cancel = Form4->Button2->geometry();
        fileRow = Form4->Label3->geometry().united(Form4->Label1->geometry());
        lineHeight = Form4->Label3->fontMetrics().height();
        title = Form4->titreEdit->geometry();
        label = Form4->Label1->text();
        const QPixmap main = Form1->grab();
        const QPixmap editor = Form4->grab();
        picture = QImage(main.size().expandedTo(editor.size()), QImage::Format_RGB32);
        picture.fill(Qt::darkGray);
        QPainter painter(&picture);
        painter.drawPixmap(0, 0, main);
        painter.drawPixmap((picture.width() - editor.width()) / 2, (picture.height() - editor.height()) / 2, editor);
        Form4->Button2->click();
    }));
    ASSERT_FALSE(picture.isNull());
    EXPECT_TRUE(picture.save(QString::fromStdString(tempRoot + "/editor.png")));
    EXPECT_TRUE(picture.save(QStringLiteral(SCREENSHOT_COPY)));
    EXPECT_LE(width, 520);
    EXPECT_LT(cancel.right(), width);
    // The path sits at the top, just above the fields.
    EXPECT_LE(fileRow.top(), 12);
    EXPECT_LE(fileRow.height(), lineHeight + 6);
    EXPECT_LE(title.top() - fileRow.bottom(), 12);
    EXPECT_TRUE(label.startsWith(QString::fromStdString(folder_.substr(0, 8)))) << label.toStdString();
    EXPECT_TRUE(label.endsWith(QStringLiteral("ff.mp3"))) << label.toStdString();
    EXPECT_TRUE(label.contains(QChar(0x2026))) << label.toStdString();

    // The Winamp options, for the eye too.
    whileModal([] { Form1->Winamp1Click(); },
               [](ui::Form* form) {
                   EXPECT_TRUE(
                       form->grab().save(QFileInfo(QStringLiteral(SCREENSHOT_COPY)).dir().filePath("form18.png")));
               });

    for (ui::Form* form :
         {static_cast<ui::Form*>(Form4), static_cast<ui::Form*>(Form18), static_cast<ui::Form*>(Form20)}) {
        SCOPED_TRACE(form->Caption().toStdString());
        const Qt::WindowFlags flags = form->windowFlags();
        EXPECT_TRUE(flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint));
        EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    }
}

}  // namespace
