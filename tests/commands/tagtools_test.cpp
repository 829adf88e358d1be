// The batch tag tools: smart renaming and its options, text lists, case formatting and character
// validation. Their windows are driven through their handlers on generated files, read back by
// mutagen and byte by byte; their rules are checked apart, in the rules' own tests.
#include "CommandsTest.h"

#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "Unit1.h"
#include "Unit10.h"
#include "Unit13.h"
#include "Unit14.h"
#include "Unit17.h"
#include "Unit8.h"
#include "Unit9.h"
#include "variable.h"

#include <gmock/gmock.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QTextCursor>

#include <filesystem>

using namespace cmdtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace fs = std::filesystem;

namespace {

const QString RenameError =
    QStringLiteral("Vous avez essayé de créer un fichier dont le nom comporte des caractères invalides\r\n"
                   "Essayez l'utilitaire de validation des tags");

QStringList boxTexts()
{
    QStringList out;
    for (const ui::ShownBox& box : ui::Dialogs::shown()) out << box.caption + QStringLiteral(": ") + box.text;
    return out;
}

// The names in a folder, sorted.
Strings namesIn(const std::string& folder)
{
    Strings out;
    for (const auto& entry : fs::directory_iterator(folder)) out.push_back(entry.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// A text frame as mutagen read it: "encoding:text", or "-" when missing.
QString frameOf(const QJsonObject& dump, const char* id)
{
    const QJsonObject v2 = dump.value("v2").toObject();
    if (!v2.contains(QLatin1String(id))) return QStringLiteral("-");
    const QJsonArray f = v2.value(QLatin1String(id)).toArray();
    return QString::number(f.at(0).toInt()) + QLatin1Char(':') + f.at(1).toString();
}
// Comments as mutagen read them, "encoding language description text" each, sorted.
QStringList commentsOf(const QJsonObject& dump)
{
    QStringList out;
    for (const QJsonValue& c : dump.value("comments").toArray()) {
        const QJsonArray a = c.toArray();
        out << QString::number(a.at(0).toInt()) + ' ' + a.at(1).toString() + ' ' + a.at(2).toString() + ' ' +
                   a.at(3).toString();
    }
    out.sort();
    return out;
}
QString l1(const char* latin1) { return QStringLiteral("0:") + QString::fromLatin1(latin1); }
// The heading of the files whose fields a run kept because it could not read them whole.
const QString Kept = QStringLiteral(
    "Dans ces fichiers, les champs ID3V2 qui n'ont pas pu être lus entièrement ont été gardés tels quels :\r\n");

class TagTools : public Collection {
protected:
    void TearDown() override
    {
        RenameSeparator = std::string("-");
        Collection::TearDown();
    }
    static void fill(ui::ListBox* list, const Strings& paths)
    {
        list->Clear();
        for (const std::string& path : paths) list->Add(path);
    }
};

// --- Smart renaming -----------------------------------------------------------------------------

TEST_F(TagTools, RenamingBuildsNamesInTheFilesFolder)
{
    struct Case {
        const char* name;
        std::array<int, 5> chosen;
        const char* separator;
        gen::TagTexts tags;
        Strings after;      // the folder's names afterwards
        const char* error;  // why the name was refused: "" none, "invalid" the characters
    };
    auto tags = [](const char* artist, const char* title, const char* track) {
        gen::TagTexts t = texts(artist, title);
        t.track = track;
        return t;
    };
    // 130 × "é": 260 bytes in a file name, past what the file system takes.
    const std::string tooLong(130, '\xE9');
    const Case cases[] = {
        {"artist track title", {1, 4, 2, -1, -1}, "-", tags("AB", "Song", "7"), {"AB - 07 - Song.mp3"}, ""},
        {"empty first slot", {0, 1, -1, -1, -1}, "-", tags("AB", "Song", "7"), {" - AB.mp3"}, ""},
        {"invalid characters", {2, 4, -1, -1, -1}, "-", tags("AB", "A/B: C?", "3/12"), {"AB C - 312.mp3"}, ""},
        {"empty separator", {1, 2, -1, -1, -1}, "", tags("AB", "Song", ""), {"AB  Song.mp3"}, ""},
        // "AB / Song.mp3" would put the file into the folder "AB ".
        {"separator with a slash", {1, 2, -1, -1, -1}, "/", tags("AB", "Song", ""), {"f.mp3"}, "invalid"},
        {"separator going up", {1, 2, -1, -1, -1}, "/../", tags("AB", "Song", ""), {"f.mp3"}, "invalid"},
        {"its own name", {2, -1, -1, -1, -1}, "-", tags("AB", "f", ""), {"f.mp3"}, ""},
        {"never hidden", {2, 1, -1, -1, -1}, "-", tags("AB", ".38 Special", ""), {"38 Special - AB.mp3"}, ""},
        {"too long", {2, -1, -1, -1, -1}, "-", tags("AB", tooLong.c_str(), ""), {"f.mp3"}, "Nom de fichier trop long"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder_);
        fs::create_directories(folder_ + "/AB ");
        ui::Dialogs::clearScript();
        const std::string path = putTagged("f.mp3", c.tags);
        const std::string bytes = readBytes(path);
        fill(Form8->ListBox1, {path});
        RenameSeparator = c.separator;
        for (size_t s = 0; s < 5; ++s) Form8->slotBoxes()[s]->setCurrentIndex(c.chosen[s]);
        Form8->Button6Click();
        Strings after = c.after;
        after.push_back("AB ");
        std::sort(after.begin(), after.end());
        EXPECT_EQ(namesIn(folder_), after);
        EXPECT_THAT(namesIn(folder_ + "/AB "), IsEmpty());
        EXPECT_EQ(readBytes(folder_ + "/" + c.after[0]), bytes);
        QStringList expected;
        if (c.error == std::string("invalid")) expected << QStringLiteral("Erreur: ") + RenameError;
        else if (*c.error)
            expected << QStringLiteral("Erreur: Impossible de renommer le fichier ") + QString::fromStdString(path) +
                            " en " + QString::fromStdString(folder_) + "/" + QString::fromLatin1(tooLong) +
                            ".mp3 : " + c.error;
        expected << QStringLiteral("Sonoverne: Renommage terminé\r\nPensez à rafraîchir la liste");
        EXPECT_EQ(boxTexts(), expected);
        EXPECT_EQ(Form8->ListBox1->Count(), 0);
    }
}

TEST_F(TagTools, RenamingNeverReplacesAFileAndSkipsUntaggedOnes)
{
    const std::string one = putTagged("1.mp3", texts("A", "x"));
    const std::string two = putTagged("2.mp3", texts("B", "y"));
    const std::string three = putTagged("3.mp3", texts("C", "z"));
    const std::string bare = putUntagged("bare.mp3");
    // A tagger's terminating 0 ends the text, also in a file name.
    gen::Mp3Spec spec;
    spec.id3v2 =
        gen::Id3v2Spec{{}, {{"TPE1", std::string("\0Nina\0", 6)}, {"TIT2", std::string("\0Sinnerman\0", 11)}}, 0};
    spec.audio = gen::SilentFrames(4);
    const std::string nina = put("n.mp3", gen::Mp3Bytes(spec));
    const std::string in_the_way = put("C - z.mp3", "not an mp3, and not to lose");
    // Texts beyond ISO-8859-1 name files whole; a title that cannot be read names none.
    const std::string utf16 = putWide("w16.mp3", 3, QStringLiteral("Don’t Stop Me Now"), QStringLiteral("Queen"));
    const std::string utf8 = putWide("w8.mp3", 4, QStringLiteral("l’été – live"), QStringLiteral("Queen"));
    spec.id3v2 = gen::Id3v2Spec{texts("Queen", ""), {{"TIT2", "\x07?"}}, 0};
    const std::string unread = put("u.mp3", gen::Mp3Bytes(spec));
    const std::string bareBytes = readBytes(bare), threeBytes = readBytes(three), unreadBytes = readBytes(unread);

    // All slots empty: ".mp3" would be a hidden file; no file takes that name.
    fill(Form8->ListBox1, {one, two});
    for (QComboBox* slot : Form8->slotBoxes()) slot->setCurrentIndex(0);
    Form8->Button6Click();
    EXPECT_THAT(boxTexts(),
                ElementsAre(QStringLiteral("Erreur: ") + RenameError, QStringLiteral("Erreur: ") + RenameError,
                            QStringLiteral("Sonoverne: Renommage terminé\r\nPensez à rafraîchir la liste")));
    EXPECT_TRUE(exists(one));
    EXPECT_TRUE(exists(two));

    ui::Dialogs::clearScript();
    fill(Form8->ListBox1, {three, bare, nina, utf16, utf8, unread});
    Form8->FileListBox1->setDirectory(folder_);
    Form8->ComboBox1->setCurrentIndex(1);
    Form8->ComboBox2->setCurrentIndex(2);
    Form8->Button6Click();
    // The file box shows the new names.
    Strings shown;
    for (int i = 0; i < Form8->FileListBox1->count(); ++i) shown.push_back(Form8->FileListBox1->itemName(i));
    EXPECT_THAT(shown, ::testing::Contains("Nina - Sinnerman.mp3"));
    // The name taken is told as it is; the untagged file is skipped quietly; the unread title is
    // told.
    EXPECT_THAT(boxTexts(), ElementsAre(QStringLiteral("Erreur: Impossible de renommer le fichier ") +
                                            QString::fromStdString(three) + " en " +
                                            QString::fromStdString(in_the_way) + " : Le fichier existe déjà",
                                        QStringLiteral("Sonoverne: Renommage terminé\r\nPensez à rafraîchir la "
                                                       "liste\r\n\r\nCes fichiers n'ont pas été renommés, car un "
                                                       "champ choisi n'a pas pu être lu entièrement :\r\n") +
                                            QString::fromStdString(unread) + QStringLiteral(" (titre)")));
    EXPECT_EQ(readBytes(in_the_way), "not an mp3, and not to lose");
    EXPECT_EQ(readBytes(three), threeBytes);
    EXPECT_EQ(readBytes(bare), bareBytes);
    EXPECT_EQ(readBytes(unread), unreadBytes);
    EXPECT_TRUE(exists(folder_ + "/Nina - Sinnerman.mp3"));
    EXPECT_EQ(namesIn(folder_),
              (Strings{"1.mp3", "2.mp3", "3.mp3", "C - z.mp3", "Nina - Sinnerman.mp3", "Queen - Don’t Stop Me Now.mp3",
                       "Queen - l’été – live.mp3", "bare.mp3", "u.mp3"}));

    // An empty list: no message at all.
    ui::Dialogs::clearScript();
    Form8->Button6Click();
    EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
}

TEST_F(TagTools, RenameOptionsShowTheExampleAndApplyTheSeparator)
{
    walk();
    const std::string settings = SettingsFilePath();
    std::string example;
    const auto seen = whileModal([] { Form1->Renommageintelligentdesfichiers2->trigger(); },
                                 [&](ui::Form*) {
                                     example = Form17->Label8->text().toStdString();
                                     Form17->Edit1->clear();
                                     QTest::keyClicks(Form17->Edit1, QStringLiteral("~"));
                                     example += "|" + Form17->Label8->text().toStdString();
                                     Form17->Button2->click();
                                 });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(example, "Exemple : Lorvane - Music - 07 - Don't Tell Me|Exemple : Lorvane ~ Music ~ 07 ~ Don't Tell Me");
    EXPECT_EQ(RenameSeparator, "-");
    EXPECT_EQ(SettingsFile->ReadString("Renommage", "Separateur", "absent"), "absent");
    EXPECT_EQ(Form17->Edit1->text(), QStringLiteral("~"));

    whileModal([] { Form1->Renommageintelligentdesfichiers2->trigger(); },
               [&](ui::Form*) {
                   Form17->Edit1->setText(QStringLiteral("+~"));
                   Form17->Button1->click();
               });
    EXPECT_EQ(RenameSeparator, "+~");
    EXPECT_EQ(SettingsFile->ReadString("Renommage", "Separateur", "absent"), "+~");
    walk();
    EXPECT_EQ(Form17->Edit1->text(), QStringLiteral("-"));
}

// --- Case formatting and validation -----------------------------------------------------------

TEST_F(TagTools, FormattingRewritesTheFourFramesOfEachFile)
{
    gen::TagTexts t = texts("AC/DC", "hello   world", "l'\xc9T\xc9");
    t.genre = "rock'n'roll";
    t.year = "1999";
    t.comment = "laisse MOI";
    const std::string a = putTagged("a.mp3", t);
    const std::string bare = putUntagged("bare.mp3");
    // Frames the library cannot read whole: characters beyond ISO-8859-1 (a dash, curly quotes and
    // an ellipsis, as mutagen-based taggers write them), several values.
    const std::string odd =
        putByMutagen("odd.mp3", 4,
                     QJsonArray{
                         QJsonArray{"TIT2", 3, QJsonArray{QStringLiteral("ac/dc \u2013 live")}},
                         QJsonArray{"TALB", 1, QJsonArray{QStringLiteral("\u201cwait\u2026\u201d")}},
                         QJsonArray{"TCON", 0, QJsonArray{"rock", "pop"}},
                         QJsonArray{"TPE1", 1, QJsonArray{QStringLiteral("\u00e9T\u00c9")}},
                     });
    // As today's taggers write them: no field read whole, none rewritten.
    const std::string wide = putWide("wide.mp3", 3);
    const QJsonObject wideBefore = probe(wide);
    const std::string bareBytes = readBytes(bare);
    walk();
    select({a, bare, odd, wide});
    const struct {
        int radio;  // 0: none
        bool apostrophe;
        const char* title;
        const char* artist;
        const char* album;
        const char* genre;
        const char* oddArtist;
    } runs[] = {
        {3, false, "Hello   World", "Ac/dc", "L'\xe9t\xe9", "Rock'n'roll", "\xc9t\xe9"},
        {3, true, "Hello   World", "Ac/dc", "L'\xe9t\xe9", "Rock'N'Roll", "\xc9t\xe9"},
        {2, false, "HELLO   WORLD", "AC/DC", "L'\xc9T\xc9", "ROCK'N'ROLL", "\xc9T\xc9"},
        {1, false, "hello   world", "ac/dc", "l'\xe9t\xe9", "rock'n'roll", "\xe9t\xe9"},
        {0, false, "hello   world", "ac/dc", "l'\xe9t\xe9", "rock'n'roll", "\xe9t\xe9"},
    };
    QRadioButton* radios[] = {Form13->RadioButton1, Form13->RadioButton2, Form13->RadioButton3};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.radio);
        ui::Dialogs::clearScript();
        bool closed = false;
        whileModal([] { Form1->FormaterlestagsMajusculesMinuscules1->trigger(); },
                   [&](ui::Form*) {
                       for (QRadioButton* radio : radios) {
                           radio->setAutoExclusive(false);
                           radio->setChecked(false);
                           radio->setAutoExclusive(true);
                       }
                       if (run.radio) radios[run.radio - 1]->setChecked(true);
                       Form13->CheckBox1->setChecked(run.apostrophe);
                       Form13->Button7->click();
                       closed = !Form13->isVisible();
                   });
        EXPECT_TRUE(closed);
        EXPECT_THAT(boxTexts(),
                    ElementsAre(QStringLiteral("Sonoverne: Formatage Terminé\r\nPensez à la validation des "
                                               "tags\r\nPensez à rafraîchir la liste\r\n\r\n") +
                                Kept + QString::fromStdString(odd) + QStringLiteral(" (titre, album, genre)\r\n") +
                                QString::fromStdString(wide) + QStringLiteral(" (titre, artiste, album, genre)")));
        const QJsonObject dump = probe(a);
        EXPECT_EQ(frameOf(dump, "TIT2"), l1(run.title));
        EXPECT_EQ(frameOf(dump, "TPE1"), l1(run.artist));
        EXPECT_EQ(frameOf(dump, "TALB"), l1(run.album));
        EXPECT_EQ(frameOf(dump, "TCON"), l1(run.genre));
        EXPECT_EQ(frameOf(dump, "TYER"), l1("1999"));
        EXPECT_EQ(commentsOf(dump), QStringList{"0 eng  laisse MOI"});
        const QJsonObject oddDump = probe(odd);
        EXPECT_EQ(frameOf(oddDump, "TIT2"), QStringLiteral("3:ac/dc \u2013 live"));
        EXPECT_EQ(frameOf(oddDump, "TALB"), QStringLiteral("1:\u201cwait\u2026\u201d"));
        EXPECT_EQ(frameOf(oddDump, "TCON"), QStringLiteral("0:rock/pop"));
        EXPECT_EQ(frameOf(oddDump, "TPE1"), l1(run.oddArtist));  // read whole: rewritten in ISO-8859-1
        EXPECT_EQ(readBytes(bare), bareBytes);
        select({a, bare, odd, wide});
    }
    EXPECT_EQ(probe(wide), wideBefore);
}

TEST_F(TagTools, ValidationFiltersSixFramesAndTheComment)
{
    gen::TagTexts t = texts("a|b", "AC/DC: Live?", "x\\y");
    t.year = "19*9";
    t.genre = "\"g\"";
    t.track = "03/12";
    t.comment = "c:d";
    const std::string a = putTagged("a.mp3", t);
    const std::string bare = putUntagged("bare.mp3");
    const std::string other = putByMutagen("other.mp3", 3,
                                           QJsonArray{
                                               QJsonArray{"TIT2", 1, QJsonArray{QStringLiteral("\u2018a/b\u2019")}},
                                               QJsonArray{"COMM", 1, "fra", "", QStringLiteral("\u00e9t\u00e9")},
                                               QJsonArray{"COMM", 0, "eng", "desc", "a/b"},
                                           });
    const std::string unread = putByMutagen("unread.mp3", 3,
                                            QJsonArray{
                                                QJsonArray{"COMM", 1, "fra", "", QStringLiteral("\u03a9/2")},
                                                QJsonArray{"TPE1", 0, QJsonArray{"a/b"}},
                                            });
    const std::string wide = putWide("wide.mp3", 4);
    const QJsonObject wideBefore = probe(wide);
    const std::string bareBytes = readBytes(bare);
    const struct {
        bool other;
        const char* replacement;
        const char* title;
        const char* track;
        const char* comment;
    } runs[] = {
        {false, "#", "AC DC  Live ", "03 12", "c d"},
        {true, "_", "AC_DC_ Live_", "03_12", "c_d"},
        {true, "", "ACDC Live", "0312", "cd"},
    };
    fs::copy_file(a, a + ".orig");
    for (const auto& run : runs) {
        SCOPED_TRACE(run.replacement);
        ui::Dialogs::clearScript();
        fill(Form14->ListBox1, {a, bare, other, unread, wide});
        Form14->CheckBox1->setChecked(run.other);
        EXPECT_EQ(Form14->Edit1->isEnabled(), run.other);
        Form14->Edit1->setText(QString::fromLatin1(run.replacement));
        Form14->Button7Click();
        EXPECT_THAT(boxTexts(),
                    ElementsAre(QStringLiteral("Sonoverne: Validation des tags Terminée\r\nPensez à rafraîchir la "
                                               "liste\r\n\r\n") +
                                Kept + QString::fromStdString(other) + QStringLiteral(" (titre)\r\n") +
                                QString::fromStdString(unread) + QStringLiteral(" (commentaire)\r\n") +
                                QString::fromStdString(wide) +
                                QStringLiteral(" (titre, artiste, album, genre, commentaire)")));
        const QJsonObject dump = probe(a);
        EXPECT_EQ(frameOf(dump, "TIT2"), l1(run.title));
        EXPECT_EQ(frameOf(dump, "TRCK"), l1(run.track));
        const std::string sep = run.other ? run.replacement : " ";
        EXPECT_EQ(frameOf(dump, "TPE1"), l1(("a" + sep + "b").c_str()));
        EXPECT_EQ(frameOf(dump, "TALB"), l1(("x" + sep + "y").c_str()));
        EXPECT_EQ(frameOf(dump, "TYER"), l1(("19" + sep + "9").c_str()));
        EXPECT_EQ(frameOf(dump, "TCON"), l1((sep + "g" + sep).c_str()));
        EXPECT_EQ(commentsOf(dump), QStringList{QStringLiteral("0 ENG  ") + run.comment});
        fs::copy_file(a + ".orig", a, fs::copy_options::overwrite_existing);
    }
    EXPECT_EQ(readBytes(bare), bareBytes);
    EXPECT_EQ(probe(wide), wideBefore);
    // The comment read whole comes back in ISO-8859-1 and "ENG"; one with a description stays.
    const QJsonObject dump = probe(other);
    EXPECT_EQ(frameOf(dump, "TIT2"), QStringLiteral("1:\u2018a/b\u2019"));
    EXPECT_EQ(commentsOf(dump), (QStringList{QStringLiteral("0 ENG  \u00e9t\u00e9"), "0 eng desc a/b"}));
    // A comment not read whole keeps its encoding, language and text.
    const QJsonObject unreadDump = probe(unread);
    EXPECT_EQ(commentsOf(unreadDump), QStringList{QStringLiteral("1 fra  \u03a9/2")});
    EXPECT_EQ(frameOf(unreadDump, "TPE1"), l1("a b"));

    // Texts that filter down to nothing leave no frame, and the library keeps such a tag as it
    // was: the file is named, unchanged.
    gen::TagTexts pipes;
    pipes.title = "|";
    const std::string emptied = putTagged("emptied.mp3", pipes);
    const std::string emptiedBytes = readBytes(emptied);
    ui::Dialogs::clearScript();
    fill(Form14->ListBox1, {emptied, bare});
    Form14->CheckBox1->setChecked(true);
    Form14->Edit1->setText(QString());
    Form14->Button7Click();
    EXPECT_THAT(
        boxTexts(),
        ElementsAre(QStringLiteral("Sonoverne: Validation des tags Terminée\r\nPensez à rafraîchir la liste\r\n\r\n"
                                   "Les tags de ces fichiers n'ont pas pu être enregistrés :\r\n") +
                    QString::fromStdString(emptied) +
                    QStringLiteral(" (un tag sans aucune information ne peut pas être enregistré)")));
    EXPECT_EQ(readBytes(emptied), emptiedBytes);

    // An empty list: no message.
    ui::Dialogs::clearScript();
    Form14->ListBox1->Clear();
    Form14->Button7Click();
    EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
    Form14->CheckBox1->setChecked(false);
}

// --- Text lists ---------------------------------------------------------------------------------

TEST_F(TagTools, ListIsBuiltShownAndSaved)
{
    fs::create_directories(folder_ + "/a");
    const std::string one = putTagged("a/1.mp3", texts("Art", "Un", "Alb"));
    const std::string two = putTagged("a/2.mp3", texts("Art", "Deux", "Alb"));
    putUntagged("a/3.mp3");
    // An untagged first entry of a folder: the next one of that folder is listed under it.
    fs::create_directories(folder_ + "/b");
    putUntagged("b/0.mp3");
    const std::string three = putTagged("b/1.mp3", texts("Bis", "Trois", "Alb"));
    // Texts beyond ISO-8859-1 are listed whole.
    const std::string wide = putWide("b/2.mp3", 3);
    walk();
    select({two, one, folder_ + "/a/3.mp3", folder_ + "/b/0.mp3", three, wide});
    Form1->Crerunelisteauformattxt1->trigger();
    ASSERT_TRUE(Form9->isVisible());
    EXPECT_FALSE(Form1->isVisible());
    Form9->CheckBox4->setChecked(true);
    Form9->CheckBox6->setChecked(true);
    Form9->Button7->click();
    const std::string expected = "\r\n     DOSSIER " + folder_ +
                                 "/a/ :\r\n\r\n\r\n     ALBUM Alb :\r\n\r\nArt - Un\r\nArt - Deux\r\n"
                                 "\r\n     DOSSIER " +
                                 folder_ +
                                 "/b/ :\r\n\r\nBis - Trois\r\n"
                                 "\r\n     ALBUM l’été – live 𝄞 :\r\n\r\nDvořák Quartet - Don’t Stop Me Now\r\n";
    EXPECT_EQ(ListText, expected);
    EXPECT_FALSE(Form9->isVisible());
    EXPECT_EQ(Form9->ListBox1->Count(), 0);
    EXPECT_TRUE(Form10->isVisible());
    EXPECT_TRUE(Form1->isVisible());
    EXPECT_EQ(Form10->Memo1->toPlainText(), QString::fromStdString(expected).replace("\r\n", "\n"));

    // Saving: aside, then renamed over an earlier file; the edits are kept, with CR LF.
    const std::string saved = folder_ + "/liste.txt";
    gen::WriteFile(saved, "ancienne liste");
    // A second name of the earlier file shows that it was replaced, never written into.
    fs::create_hard_link(saved, tempRoot + "/ancienne.txt");
    ui::Dialogs::pushFileName(platform::toDisplay(saved));
    Form10->Button1->click();
    EXPECT_EQ(readBytes(saved), expected);
    // The dialog itself asks no question about the earlier file, and offers text files.
    ASSERT_FALSE(ui::Dialogs::saveDialogs().empty());
    EXPECT_FALSE(ui::Dialogs::saveDialogs().back().confirmsOverwrite);
    EXPECT_EQ(ui::Dialogs::saveDialogs().back().defaultSuffix, QStringLiteral("txt"));
    EXPECT_EQ(readBytes(tempRoot + "/ancienne.txt"), "ancienne liste");
    fs::remove(tempRoot + "/ancienne.txt");
    EXPECT_THAT(boxTexts(), ElementsAre(QStringLiteral("Sonoverne: Enregistrement effectué")));
    EXPECT_FALSE(Form10->isVisible());

    // An empty list shows the last text again; a cancelled dialog writes nothing.
    Form1->Faireunelisteauformattxt1->trigger();
    Form9->Button7->click();
    ASSERT_TRUE(Form10->isVisible());
    QTextCursor end = Form10->Memo1->textCursor();
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("ajout \u00e9\u00a0!\n"));  // a no-break space stays one
    ui::Dialogs::clearScript();
    ui::Dialogs::pushFileName(QString());
    Form10->Button1->click();
    EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
    EXPECT_EQ(readBytes(saved), expected);

    // A write that fails shows its error and the window stays; no file is left beside.
    const std::string blocked = folder_ + "/dossier.txt";
    fs::create_directories(blocked + "/dedans");
    ui::Dialogs::pushFileName(platform::toDisplay(blocked));
    Form10->Button1->click();
    ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
    EXPECT_EQ(ui::Dialogs::shown()[0].flags, unsigned(ui::MB_OK | ui::MB_ICONERROR));
    EXPECT_TRUE(Form10->isVisible());
    EXPECT_TRUE(fs::is_directory(blocked + "/dedans"));
    EXPECT_EQ(namesIn(folder_), (Strings{"a", "b", "dossier.txt", "liste.txt"}));

    ui::Dialogs::clearScript();
    ui::Dialogs::pushFileName(platform::toDisplay(saved));
    Form10->Button1->click();
    EXPECT_EQ(readBytes(saved), expected + "ajout \xc3\xa9\xc2\xa0!\r\n");

    Form1->Faireunelisteauformattxt1->trigger();
    Form9->Button5->click();
    EXPECT_FALSE(Form9->isVisible());
    EXPECT_TRUE(Form1->isVisible());
}

// --- Pictures -------------------------------------------------------------------------------------

TEST_F(TagTools, PicturesOfTheWindows)
{
    fs::create_directories(folder_ + "/a");
    const std::string one = putTagged("a/1.mp3", texts("Nina Simone", "Sinnerman", "Pastel Blues"));
    const std::string two = putTagged("a/2.mp3", texts("Nina Simone", "Be My Husband", "Pastel Blues"));
    walk();
    ListText = "\r\n     DOSSIER " + folder_ +
               "/a/ :\r\n\r\n\r\n     ALBUM Pastel Blues :\r\n\r\n"
               "Nina Simone - Sinnerman\r\nNina Simone - Be My Husband\r\n";
    Form10->setMemoText(ListText);
    const std::pair<ui::Form*, const char*> windows[] = {
        {Form8, "renaming"}, {Form17, "renaming-options"}, {Form9, "list"}, {Form10, "list-shown"},
        {Form13, "case"},    {Form14, "validation"},
    };
    for (const auto& [form, name] : windows) {
        SCOPED_TRACE(name);
        form->show();
        for (const std::string& path : {one, two})
            if (form != Form10 && form != Form17) static_cast<PickerForm*>(form)->ListBox1->Add(path);
        QCoreApplication::processEvents();
        const QPixmap picture = form->grab();
        ASSERT_FALSE(picture.isNull());
        EXPECT_TRUE(picture.save(QString::fromUtf8(SCREENSHOT_FOLDER "/") + QLatin1String(name) + ".png"));
        form->hide();
    }
}

}  // namespace
