// The collection browser through its main window: the walk of the music folder into FileTable,
// the artist, album and genre trees, the file list with its filters and header sorts, and the
// refresh of selected rows. Every collection is written by the independent MP3 writer at test
// time; mutagen rewrites a tag behind the program's back. Settings and program folders are
// temporary.
#include "AppTestMain.h"
#include "DeepFolders.h"
#include "Dialogs.h"
#include "FileSystem.h"
#include "Input.h"
#include "ListOrder.h"
#include "Program.h"
#include "Unit1.h"
#include "Unit3.h"
#include "Unit5.h"
#include "mp3gen.h"
#include "variable.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QProcess>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gen = sonoverne::mp3gen;
namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

std::string tempRoot;  // removed at the end of the run
int walks = 0;         // walks started on the main window's walker
TScruteEvent mainOnFichier;

using Strings = std::vector<std::string>;

gen::TagTexts tags(const std::string& artist, const std::string& album = "Album", const std::string& title = "Titre",
                   const std::string& genre = "Rock")
{
    gen::TagTexts t;
    t.artist = artist;
    t.album = album;
    t.title = title;
    t.genre = genre;
    return t;
}

std::string mp3(const gen::TagTexts& texts, std::vector<gen::RawFrame> extra = {})
{
    gen::Mp3Spec spec;
    spec.id3v2 = gen::Id3v2Spec{texts, std::move(extra), 0};
    spec.audio = gen::SilentFrames(4);
    return gen::Mp3Bytes(spec);
}

// A comment frame with its own language and description (ISO-8859-1).
gen::RawFrame comment(const std::string& language, const std::string& description, const std::string& text)
{
    return {"COMM", std::string(1, '\0') + language + description + std::string(1, '\0') + text};
}

std::string display(const QString& text) { return text.toStdString(); }

// Rewrites a file's artist with mutagen, which ends every text of the tag with its terminator.
bool mutagenArtist(const std::string& path, const QString& artist, int version)
{
    return QProcess::execute(QStringLiteral("/usr/bin/python3"),
                             {QStringLiteral("-c"),
                              QStringLiteral("import sys\n"
                                             "from mutagen.id3 import ID3, TPE1\n"
                                             "t = ID3(sys.argv[1])\n"
                                             "t.setall('TPE1', [TPE1(encoding=3, text=sys.argv[2])])\n"
                                             "t.save(v2_version=int(sys.argv[3]))\n"),
                              QString::fromStdString(path), artist, QString::number(version)}) == 0;
}

// Writes the texts of today's taggers with mutagen, in UTF-16 (ID3v2.3) or UTF-8 (ID3v2.4): curly
// apostrophes, œ, a dash, letters beyond ISO-8859-1 and one beyond the BMP.
bool mutagenWide(const std::string& path, int version)
{
    return QProcess::execute(
               QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-c"),
                QStringLiteral("import sys\n"
                               "from mutagen.id3 import ID3, TIT2, TPE1, TALB, TCON, COMM\n"
                               "e = 1 if sys.argv[2] == '3' else 3\n"
                               "t = ID3()\n"
                               "t.add(TIT2(encoding=e, text='Don\u2019t Stop Me Now'))\n"
                               "t.add(TPE1(encoding=e, text='Dvo\u0159\u00e1k Quartet'))\n"
                               "t.add(TALB(encoding=e, text='l\u2019\u00e9t\u00e9 \u2013 live \U0001D11E'))\n"
                               "t.add(TCON(encoding=e, text='C\u0153ur'))\n"
                               "t.add(COMM(encoding=e, lang='fra', desc='', text='C\u2019est la vie'))\n"
                               "t.save(sys.argv[1], v2_version=int(sys.argv[2]))\n"),
                QString::fromStdString(path), QString::number(version)}) == 0;
}

class Browser : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int serial = 0;
        folder_ = tempRoot + "/c" + std::to_string(++serial);
        fs::create_directories(folder_);
        ui::Dialogs::clearScript();
        QuitAfterScan = false;
        Form1->ScruteDossier1.OnFichier = mainOnFichier;
        QLocale::setDefault(QLocale::c());
    }
    void TearDown() override
    {
        Form1->ScruteDossier1.OnFichier = mainOnFichier;
        QLocale::setDefault(QLocale::c());
    }

    // Writes a file of the collection; returns its full path.
    std::string put(const std::string& name, const std::string& bytes) const
    {
        const std::string path = folder_ + "/" + name;
        fs::create_directories(fs::path(path).parent_path());
        gen::WriteFile(path, bytes);
        return path;
    }

    static void pointSettingsAt(const std::string& folder)
    {
        std::ofstream out(SettingsFilePath(), std::ios::binary | std::ios::trunc);
        out << "[Liste]\r\nDossier=" << folder << "\r\n";
    }
    // A full reload of the collection in folder (the test's own by default).
    void walk(const std::string& folder = {}) const
    {
        pointSettingsAt(folder.empty() ? folder_ : folder);
        Form1->Rafraichir1Click();
    }

    static const FileRow& rowOf(const std::string& path)
    {
        for (int pos = 1; pos <= FileCount; ++pos)
            if (FileTable.at(pos)[fPath] == path) return FileTable.at(pos);
        ADD_FAILURE() << "no row for " << path;
        static const FileRow none{};
        return none;
    }
    static Strings tablePaths()
    {
        Strings out;
        for (int pos = 1; pos <= FileCount; ++pos) out.push_back(FileTable.at(pos)[fPath]);
        return out;
    }
    // Table paths, in table order, of the rows that pass a test.
    template <class Pred>
    static Strings tablePathsWhere(Pred pred)
    {
        Strings out;
        for (int pos = 1; pos <= FileCount; ++pos)
            if (pred(FileTable.at(pos))) out.push_back(FileTable.at(pos)[fPath]);
        return out;
    }
    static Strings listColumn(int column)
    {
        Strings out;
        for (int r = 0; r < Form1->ListModel->rowCount(); ++r) out.push_back(Form1->ListModel->cell(r, column));
        return out;
    }
    static Strings listPaths() { return listColumn(4); }

    static QTreeWidgetItem* treeRoot() { return Form1->TreeView1->topLevelItem(0); }
    static Strings childTexts(const QTreeWidgetItem* node)
    {
        Strings out;
        for (int i = 0; node && i < node->childCount(); ++i) out.push_back(display(node->child(i)->text(0)));
        return out;
    }
    static QTreeWidgetItem* child(QTreeWidgetItem* node, const std::string& text)
    {
        for (int i = 0; node && i < node->childCount(); ++i)
            if (display(node->child(i)->text(0)) == text) return node->child(i);
        ADD_FAILURE() << "no node " << text;
        return nullptr;
    }
    // Selects a node as a click does.
    static void click(QTreeWidgetItem* node)
    {
        ASSERT_NE(node, nullptr);
        Form1->TreeView1->setCurrentItem(node);
        Form1->TreeView1Click();
    }
    static std::string panel(int i) { return display(Form1->StatusPanels[i]->text()); }

    static void selectListRows(const std::vector<int>& rows)
    {
        QItemSelectionModel* selection = Form1->ListView1->selectionModel();
        selection->clearSelection();
        for (int r : rows)
            selection->select(Form1->ListModel->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    static int listRowOf(const std::string& path)
    {
        const Strings paths = listPaths();
        auto it = std::find(paths.begin(), paths.end(), path);
        return it == paths.end() ? -1 : int(it - paths.begin());
    }

    std::string folder_;
};

// --- The walk and the file table ----------------------------------------------------------------

using Scan = Browser;

// Must stay the first walk of the run: row 1 of the table has never been filled.
TEST(Tables, EntriesStayWhereTheyAreAsATableGrowsPastManyBlocks)
{
    OneBasedTable<FileRow> rows;
    rows[1][fArtist] = "first";
    const FileRow* first = &rows[1];
    std::vector<const std::string*> paths;
    for (int i = 1; i <= 30000; ++i) {
        rows[i][fPath] = "/music/" + std::to_string(i) + ".mp3";
        paths.push_back(&rows.at(i)[fPath]);
    }
    EXPECT_EQ(&rows.at(1), first);
    EXPECT_EQ(rows.at(1)[fArtist], "first");
    for (int i = 1; i <= 30000; ++i) {
        ASSERT_EQ(&rows.at(i)[fPath], paths[size_t(i - 1)]) << i;
        ASSERT_EQ(rows.at(i)[fPath], "/music/" + std::to_string(i) + ".mp3") << i;
    }
    // Beyond the rows made: an empty row, and nothing is made by looking.
    EXPECT_EQ(rows.at(30001)[fPath], "");
    EXPECT_EQ(rows.at(-1)[fPath], "");
    // A row far ahead makes the rows before it, empty.
    rows[70000][fTitle] = "far";
    EXPECT_EQ(rows.at(50000)[fTitle], "");
    EXPECT_EQ(rows.at(70000)[fTitle], "far");
    EXPECT_EQ(rows.at(30000)[fPath], "/music/30000.mp3");
}

TEST_F(Scan, AnEmptyFirstWalkGivesOneNothingArtist)
{
    put("notes.txt", "not music");
    walk();
    EXPECT_EQ(FileCount, 0);
    ASSERT_NE(treeRoot(), nullptr);
    EXPECT_EQ(display(treeRoot()->text(0)), "Artistes");
    EXPECT_THAT(childTexts(treeRoot()), ElementsAre("<Rien>"));
    EXPECT_EQ(Form1->ListModel->rowCount(), 0);
    EXPECT_EQ(panel(0), "Artistes");
    EXPECT_EQ(panel(1), "0 fichier(s)");
}

TEST_F(Scan, ElevenFieldsOfARowAndTheListColumns)
{
    gen::TagTexts t = tags("B\xe9"
                           "atrice",
                           "Plein \xe9t\xe9", "Chanson", "Jazz");
    t.year = "1987";
    t.track = "3/12";
    t.comment = "Tr\xe8s bien";
    const std::string path = put("Sous dossier/piste.mp3", mp3(t));
    fs::resize_file(path, 2621440);
    walk();
    ASSERT_EQ(FileCount, 1);
    const std::string size = SizeInMegabytes(int64_t(fs::file_size(path)));
    // Tag texts are kept in UTF-8, as they are shown.
    EXPECT_THAT(FileTable.at(1).fields, ElementsAre("Béatrice", "Chanson", "1987", "Plein été", "3/12", "Très bien",
                                                    "Jazz", folder_ + "/Sous dossier/", "", size, path));
    EXPECT_EQ(FilePaths.at(1), path);
    EXPECT_EQ(size, "2.5");

    // Caption and sub-items: fields 1, 2, 5, 4, 11, 8, 9, 10, 7, 6, 3.
    ASSERT_EQ(Form1->ListModel->rowCount(), 1);
    Strings cells;
    for (int c = 0; c < FileListModel::ColumnCount; ++c) cells.push_back(Form1->ListModel->cell(0, c));
    EXPECT_THAT(cells, ElementsAre("Béatrice", "Chanson", "3/12", "Plein été", path, folder_ + "/Sous dossier/", "",
                                   size, "Jazz", "Très bien", "1987"));
    Strings captions;
    for (int c = 0; c < FileListModel::ColumnCount; ++c)
        captions.push_back(display(Form1->ListModel->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()));
    EXPECT_THAT(captions, ElementsAre("Artiste", "Titre", "Piste", "Album", "Nom du fichier", "Répertoire", "Durée",
                                      "Taille (Mo)", "Genre", "Commentaires", "Année"));
    EXPECT_EQ(display(Form1->ListModel->data(Form1->ListModel->index(0, 0), Qt::DisplayRole).toString()), "Béatrice");
}

TEST_F(Scan, OnlyACommentWithAnEmptyDescriptionIsTaken)
{
    const std::string described = put("a.mp3", mp3(tags("A"), {comment("eng", "Notes", "pas moi")}));
    const std::string second =
        put("b.mp3", mp3(tags("B"), {comment("eng", "Notes", "pas moi"), comment("fra", "", "moi")}));
    const std::string firstOfTwo =
        put("c.mp3", mp3(tags("C"), {comment("deu", "", "erster"), comment("eng", "", "zweiter")}));
    walk();
    ASSERT_EQ(FileCount, 3);
    EXPECT_EQ(rowOf(described)[fComment], "");
    EXPECT_EQ(rowOf(second)[fComment], "moi");  // any language
    EXPECT_EQ(rowOf(firstOfTwo)[fComment], "erster");
}

TEST_F(Scan, AFileWithoutATagKeepsOnlyFolderAndPath)
{
    gen::Mp3Spec bare;
    bare.audio = gen::SilentFrames(8);
    bare.id3v1 = gen::Id3v1Spec{"Titre v1", "Artiste v1", "Album v1", "1999", "", 1, 17};
    const std::string noTag = put("Dossier/sans tag.mp3", gen::Mp3Bytes(bare));
    const std::string empty = put("vide.mp3", "");
    const std::string tagged = put("Dossier/avec.mp3", mp3(tags("Quelqu'un")));
    walk();
    ASSERT_EQ(FileCount, 3);
    for (const std::string& path : {noTag, empty}) {
        SCOPED_TRACE(path);
        const FileRow& row = rowOf(path);
        EXPECT_THAT(row.fields, ElementsAre("", "", "", "", "", "", "", platform::folderPart(path), "", "", path));
    }
    EXPECT_EQ(rowOf(tagged)[fArtist], "Quelqu'un");
    // The rows still reach the list; the tag-less ones under "<Rien>".
    EXPECT_EQ(listPaths(), tablePaths());
    click(child(treeRoot(), "<Rien>"));
    EXPECT_THAT(listPaths(), ElementsAreArray(tablePathsWhere([](const FileRow& r) { return r[fArtist].empty(); })));
    EXPECT_EQ(listPaths().size(), 2u);
}

TEST_F(Scan, SizesInMegabytesWithTheUsersSeparatorHalfToEven)
{
    // Byte counts whose hundredths of a MiB end exactly on a half: 0.125, 0.375, 0.625 MiB.
    const std::vector<std::pair<int64_t, std::pair<std::string, std::string>>> cases = {
        {1572864, {"1,5", "1.5"}},          {1048576, {"1", "1"}},        {131072, {"0,12", "0.12"}},
        {393216, {"0,38", "0.38"}},         {655360, {"0,62", "0.62"}},   {10485760, {"10", "10"}},
        {1048576 + 5243, {"1,01", "1.01"}}, {1048576 + 5242, {"1", "1"}}, {3 * 1048576 + 524288, {"3,5", "3.5"}},
    };
    std::vector<std::string> paths;
    for (size_t i = 0; i < cases.size(); ++i) {
        // The tag stays at the front; the rest of the file is a hole.
        paths.push_back(put("f" + std::to_string(i) + ".mp3", mp3(tags("A"))));
        fs::resize_file(paths.back(), uintmax_t(cases[i].first));
    }
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    walk();
    ASSERT_EQ(FileCount, int(cases.size()));
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(rowOf(paths[i])[fSizeMo], cases[i].second.first) << cases[i].first << " bytes";

    QLocale::setDefault(QLocale::c());
    walk();
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(rowOf(paths[i])[fSizeMo], cases[i].second.second) << cases[i].first << " bytes";
}

// What the walk could not read is told once the list is up: a folder whose path is too long, one
// the user may not read. A link that leads nowhere is no file, and nothing to tell.
TEST_F(Scan, WhatTheWalkCouldNotReadIsTold)
{
    namespace st = sonoverne::test;
    const std::string kept = put("a.mp3", mp3(tags("A")));
    ASSERT_EQ(symlink("nowhere.mp3", (folder_ + "/x.mp3").c_str()), 0);
    auto cleanup = std::make_unique<st::DeepTree>(folder_ + "/long");
    const std::string deep = st::deepPath(folder_ + "/long", PATH_MAX);
    ASSERT_TRUE(st::writeDeep(deep + "/b.mp3", mp3(tags("B"))));
    walk();
    EXPECT_EQ(tablePaths(), Strings{kept});
    ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
    const ui::ShownBox box = ui::Dialogs::shown()[0];
    EXPECT_EQ(box.caption, QStringLiteral("Sonoverne"));
    EXPECT_EQ(box.flags, unsigned(ui::MB_OK | ui::MB_ICONWARNING));
    // The path, too long for a box, by its start and its end.
    const QString reason = QString::fromStdString(platform::errorText(ENAMETOOLONG));
    EXPECT_EQ(box.text, QStringLiteral("1 dossier n'a pas pu être lu ; les fichiers qu'il contient ne sont pas dans la "
                                       "liste :\r\n") +
                            QString::fromStdString(deep.substr(0, 60)) + QChar(0x2026) +
                            QString::fromStdString(deep.substr(deep.size() - 90)) + " (" + reason + ")");
    EXPECT_FALSE(Form3->isVisible());
    cleanup.reset();

    // As an ordinary user (root reads every folder), in a child process.
    put("verrou/c.mp3", mp3(tags("C")));
    put("verrou2/d.mp3", mp3(tags("D")));
    for (const std::string& path : {tempRoot, folder_}) ASSERT_EQ(chmod(path.c_str(), 0755), 0);
    for (const char* locked : {"/verrou", "/verrou2"}) ASSERT_EQ(chmod((folder_ + locked).c_str(), 0), 0);
    walk();  // as root: nothing to tell
    EXPECT_EQ(tablePaths().size(), 3u);
    ui::Dialogs::clearScript();
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        Form1->Rafraichir1Click();
        const auto& shown = ui::Dialogs::shown();
        if (tablePaths() != Strings{kept}) _exit(3);
        if (shown.size() != 1) _exit(4);
        // Both folders, each on its line, in the order the file system listed them.
        const QString denied = QStringLiteral(" (") + QString::fromStdString(platform::errorText(EACCES)) + ")";
        QStringList lines = shown[0].text.split(QStringLiteral("\r\n"));
        std::sort(lines.begin() + 1, lines.end());
        const bool told =
            lines == QStringList{QStringLiteral("2 dossiers n'ont pas pu être lus ; les fichiers qu'ils contiennent ne "
                                                "sont pas dans la liste :"),
                                 QString::fromStdString(folder_ + "/verrou") + denied,
                                 QString::fromStdString(folder_ + "/verrou2") + denied};
        _exit(told ? 0 : 5);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    for (const char* locked : {"/verrou", "/verrou2"}) chmod((folder_ + locked).c_str(), 0755);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}

TEST_F(Scan, ANameThatIsNotUtf8KeepsItsBytes)
{
    const std::string odd = put("caf\xe9 \xff\xfe.mp3", mp3(tags("Caf\xe9")));
    const std::string oddFolder = put("r\xe9pertoire/x.mp3", mp3(tags("Autre")));
    walk();
    ASSERT_EQ(FileCount, 2);
    EXPECT_EQ(rowOf(odd)[fPath], odd);
    EXPECT_EQ(rowOf(odd)[fFolder], folder_ + "/");
    EXPECT_EQ(rowOf(odd)[fArtist], "Café");
    EXPECT_EQ(rowOf(oddFolder)[fFolder], folder_ + "/r\xe9pertoire/");
    // The list keeps the bytes too: commands on selected rows reach the file.
    EXPECT_THAT(listPaths(), ::testing::UnorderedElementsAre(odd, oddFolder));
}

TEST_F(Scan, AfterAWalkTheRootIsSelectedAndTheListHoldsEveryFileInTableOrder)
{
    for (int i = 0; i < 12; ++i)
        put("d" + std::to_string(i % 3) + "/" + std::to_string(i) + ".mp3", mp3(tags("Art" + std::to_string(i % 4))));
    walk();
    ASSERT_EQ(FileCount, 12);
    EXPECT_EQ(listPaths(), tablePaths());
    EXPECT_EQ(Form1->TreeView1->currentItem(), treeRoot());
    EXPECT_TRUE(treeRoot()->isExpanded());
    EXPECT_EQ(childTexts(treeRoot()), (Strings{"Art0", "Art1", "Art2", "Art3"}));
    EXPECT_EQ(panel(0), "Artistes");
    EXPECT_EQ(panel(1), "12 fichier(s)");
    EXPECT_EQ(Form1->RowsShown, 12);
    EXPECT_FALSE(Form3->isVisible());
}

TEST_F(Scan, TheWaitBoxNamesEachFileAsItIsRead)
{
    for (int i = 0; i < 30; ++i) put("d" + std::to_string(i % 2) + "/f" + std::to_string(i) + ".mp3", mp3(tags("A")));
    Strings shown, expected;
    bool visible = true;
    Form1->ScruteDossier1.OnFichier = [&](TScruteDossier* s, const std::string& name) {
        mainOnFichier(s, name);
        shown.push_back(Form3->FileNameShown());
        expected.push_back(platform::fileNamePart(name));
        visible = visible && Form3->isVisible();
    };
    walk();
    ASSERT_EQ(FileCount, 30);
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(visible);
    EXPECT_FALSE(Form3->isVisible());
    // The label has taken the last name before the box went away.
    EXPECT_EQ(display(Form3->Label2->fullText()), expected.back());
}

TEST_F(Scan, TheWaitBoxElidesALongNameInTheMiddle)
{
    const std::string name = "D\xc3\xa9"
                             "but " +
                             std::string(200, 'x') + " fin.mp3";
    Form3->Show();
    Form3->ShowFileName(name);
    Form3->Hide();  // the box takes the name before it goes
    Form3->Show();
    const QPixmap picture = Form3->grab();
    Form3->Hide();
    EXPECT_TRUE(picture.save(QStringLiteral(SCREENSHOT_COPY)));
    const QString shown = Form3->Label2->text();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("D\u00e9but xx"))) << display(shown);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("xx fin.mp3"))) << display(shown);
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << display(shown);
    EXPECT_LE(Form3->Label2->fontMetrics().horizontalAdvance(shown), Form3->Label2->width());
}

TEST_F(Scan, AnEmptyWalkAfterAFullOneGivesOneNothingArtist)
{
    put("a.mp3", mp3(tags("Premier")));
    put("b.mp3", mp3(tags("Second")));
    walk();
    ASSERT_EQ(FileCount, 2);
    const std::string empty = tempRoot + "/empty-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
    fs::create_directories(empty);
    walk(empty);
    EXPECT_EQ(FileCount, 0);
    EXPECT_THAT(childTexts(treeRoot()), ElementsAre("<Rien>"));
    EXPECT_EQ(Form1->ListModel->rowCount(), 0);
    EXPECT_EQ(panel(1), "0 fichier(s)");
    click(child(treeRoot(), "<Rien>"));
    EXPECT_EQ(Form1->ListModel->rowCount(), 0);
}

TEST_F(Scan, StopThenOkAfterTenFilesKeepsThoseTen)
{
    for (int i = 0; i < 25; ++i) put(std::to_string(100 + i) + ".mp3", mp3(tags("Artiste " + std::to_string(i))));
    int stopsAsked = 0;
    Form1->ScruteDossier1.OnFichier = [&](TScruteDossier* s, const std::string& name) {
        mainOnFichier(s, name);
        if (FileCount == 10) {
            ++stopsAsked;
            ui::Dialogs::pushAnswer(ui::IDOK);
            Form3->Button1->click();
        }
    };
    walk();
    EXPECT_EQ(stopsAsked, 1);
    EXPECT_EQ(FileCount, 10);
    EXPECT_FALSE(QuitAfterScan);
    ASSERT_FALSE(ui::Dialogs::shown().empty());
    EXPECT_EQ(display(ui::Dialogs::shown().back().text),
              "Annuler = Quitter, OK = Arrêter la recherche des fichiers mais ouvrir Sonoverne");
    EXPECT_EQ(display(ui::Dialogs::shown().back().caption), "Sonoverne");
    // The tree and the list are made of the ten files found.
    std::set<std::string> artists;
    for (int pos = 1; pos <= 10; ++pos) artists.insert(FileTable.at(pos)[fArtist]);
    EXPECT_EQ(childTexts(treeRoot()).size(), 10u);
    for (const std::string& text : childTexts(treeRoot())) EXPECT_TRUE(artists.count(text)) << text;
    EXPECT_EQ(listPaths(), tablePaths());
    EXPECT_EQ(panel(1), "10 fichier(s)");
    EXPECT_FALSE(Form3->isVisible());

    // The next reload walks everything again.
    Form1->ScruteDossier1.OnFichier = mainOnFichier;
    walk();
    EXPECT_EQ(FileCount, 25);
}

TEST_F(Scan, F5WithAnyModifierReloadsFromTheSettingsFile)
{
    put("a.mp3", mp3(tags("A")));
    const std::string other = tempRoot + "/other-keys";
    gen::WriteFile((fs::create_directories(other), other + "/x.mp3"), mp3(tags("X")));
    gen::WriteFile(other + "/y.mp3", mp3(tags("Y")));
    walk();
    ASSERT_EQ(FileCount, 1);

    struct Press {
        QWidget* target;
        Qt::KeyboardModifiers modifiers;
        const char* name;
    };
    const Press presses[] = {{Form1, Qt::ShiftModifier, "Shift+F5 on the window"},
                             {Form1->TreeView1, Qt::ControlModifier, "Ctrl+F5 on the tree"},
                             {Form1->ListView1, Qt::NoModifier, "F5 on the list"},
                             {Form1, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+F5"}};
    bool toOther = true;
    for (const Press& press : presses) {
        SCOPED_TRACE(press.name);
        pointSettingsAt(toOther ? other : folder_);
        const int before = walks;
        QKeyEvent down(QEvent::KeyPress, Qt::Key_F5, press.modifiers);
        QApplication::sendEvent(press.target, &down);
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_F5, press.modifiers);
        QApplication::sendEvent(press.target, &up);
        EXPECT_EQ(walks, before + 1);
        EXPECT_EQ(FileCount, toOther ? 2 : 1);
        EXPECT_EQ(panel(1), toOther ? "2 fichier(s)" : "1 fichier(s)");
        toOther = !toOther;
    }
    // Another key does nothing.
    const int before = walks;
    QKeyEvent f6(QEvent::KeyPress, Qt::Key_F6, Qt::ShiftModifier);
    QApplication::sendEvent(Form1, &f6);
    EXPECT_EQ(walks, before);
}

TEST_F(Scan, OnlyTheFirstActivationWalks)
{
    put("a.mp3", mp3(tags("A")));
    put("b.mp3", mp3(tags("B")));
    pointSettingsAt(folder_);
    FileCount = 0;
    const int before = walks;
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(Form1, &activate);
    EXPECT_EQ(walks, before + 1);
    EXPECT_EQ(FileCount, 2);
    EXPECT_EQ(panel(1), "2 fichier(s)");
    // Another window came in front and went away.
    Form5->Show();
    Form5->Hide();
    QEvent again(QEvent::WindowActivate);
    QApplication::sendEvent(Form1, &again);
    QApplication::sendEvent(Form1, &again);
    EXPECT_EQ(walks, before + 1);
    EXPECT_EQ(FileCount, 2);
}

TEST_F(Scan, TheAboutBoxOpensFromTheHelpMenu)
{
    bool seen = false;
    std::string caption, thanks, version;
    QTimer::singleShot(0, [&] {
        seen = Form5->isVisible() && Form5->Modal();
        caption = display(Form5->Caption());
        thanks = display(Form5->Label2->text());
        version = display(Form5->Label4->text());
        Form5->Button1->click();
    });
    Form1->APropos1->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(caption, "A Propos de Sonoverne");
    EXPECT_EQ(thanks, "Remerciements :");
    EXPECT_EQ(version, "Version : 0.9.9.8");
    EXPECT_FALSE(Form5->isVisible());
    // The menu item sits under "Aide".
    QMenu* help = nullptr;
    for (QAction* menu : Form1->MainMenu1->actions())
        if (menu->text() == QStringLiteral("Aide")) help = menu->menu();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->actions().contains(Form1->APropos1));
    EXPECT_EQ(display(Form1->APropos1->text()), "A Propos...");
}

// --- The trees and their filters ----------------------------------------------------------------

using Tree = Browser;

TEST_F(Tree, ArtistsThatDifferOnlyByCaseAreTwoNodes)
{
    const std::string lower = put("a.mp3", mp3(tags("abba")));
    const std::string upper = put("b.mp3", mp3(tags("ABBA")));
    walk();
    EXPECT_THAT(childTexts(treeRoot()), ::testing::UnorderedElementsAre("abba", "ABBA"));
    click(child(treeRoot(), "ABBA"));
    EXPECT_THAT(listPaths(), ElementsAre(upper));
    EXPECT_EQ(panel(0), "ABBA");
    EXPECT_EQ(panel(1), "1 fichier(s)");
    click(child(treeRoot(), "abba"));
    EXPECT_THAT(listPaths(), ElementsAre(lower));
}

// mutagen ends each ID3v2.4 text with a 0: the same artist and album, with or without it.
TEST_F(Tree, TextsThatDifferOnlyByATerminatorAreOneNode)
{
    const std::string plain = put("a.mp3", mp3(tags("Nina Simone", "Pastel Blues")));
    const std::string ended = put("b.mp3", mp3(tags("Autre", "Pastel Blues")));
    ASSERT_TRUE(mutagenArtist(ended, QStringLiteral("Nina Simone"), 4));
    walk();
    EXPECT_THAT(childTexts(treeRoot()), ElementsAre("Nina Simone"));
    EXPECT_THAT(childTexts(child(treeRoot(), "Nina Simone")), ElementsAre("Pastel Blues"));
    click(child(child(treeRoot(), "Nina Simone"), "Pastel Blues"));
    EXPECT_THAT(listPaths(), ::testing::UnorderedElementsAre(plain, ended));
    EXPECT_EQ(rowOf(ended)[fAlbum], "Pastel Blues");
}

// Texts beyond ISO-8859-1 are shown whole in the tree, the list and the status bar, and group
// by the whole text, never by what comes before their first such character.
TEST_F(Tree, TextsBeyondLatin1AreShownAndGroupedWhole)
{
    const std::string utf16 = put("a.mp3", mp3(tags("")));
    const std::string utf8 = put("b.mp3", mp3(tags("")));
    const std::string cut = put("c.mp3", mp3(tags("Dvo", "l")));
    ASSERT_TRUE(mutagenWide(utf16, 3));
    ASSERT_TRUE(mutagenWide(utf8, 4));
    walk();
    EXPECT_THAT(childTexts(treeRoot()), ElementsAre("Dvo", "Dvořák Quartet"));
    EXPECT_THAT(childTexts(child(treeRoot(), "Dvořák Quartet")), ElementsAre("l’été – live 𝄞"));
    click(child(treeRoot(), "Dvořák Quartet"));
    EXPECT_THAT(listPaths(), ::testing::UnorderedElementsAre(utf16, utf8));
    EXPECT_EQ(panel(0), "Dvořák Quartet");
    for (int row = 0; row < 2; ++row) {
        Strings shown;
        for (int column : {0, 1, 3, 8, 9})
            shown.push_back(
                display(Form1->ListModel->data(Form1->ListModel->index(row, column), Qt::DisplayRole).toString()));
        EXPECT_THAT(shown,
                    ElementsAre("Dvořák Quartet", "Don’t Stop Me Now", "l’été – live 𝄞", "Cœur", "C’est la vie"));
    }
    Form1->ToolButton3Click();
    EXPECT_THAT(childTexts(treeRoot()), ElementsAre("Cœur", "Rock"));
    click(child(child(treeRoot(), "Cœur"), "l’été – live 𝄞"));
    EXPECT_EQ(listPaths().size(), 2u);
    EXPECT_EQ(rowOf(cut)[fAlbum], "l");
}

TEST_F(Tree, NothingNodesListTheFilesWithAnEmptyValue)
{
    put("1.mp3", mp3(tags("", "Disque")));
    put("2.mp3", mp3(tags("X", "")));
    put("3.mp3", mp3(tags("X", "Disque")));
    put("4.mp3", mp3(tags("", "")));
    put("5.mp3", mp3(tags("Y", "")));
    walk();
    QTreeWidgetItem* nothing = child(treeRoot(), "<Rien>");
    click(nothing);
    EXPECT_EQ(listPaths(), tablePathsWhere([](const FileRow& r) { return r[fArtist].empty(); }));
    EXPECT_EQ(listPaths().size(), 2u);
    EXPECT_EQ(panel(0), "<Rien>");
    EXPECT_EQ(panel(1), "2 fichier(s)");
    // "<Rien>" under an artist: that artist's files without an album, not Y's.
    QTreeWidgetItem* x = child(treeRoot(), "X");
    EXPECT_THAT(childTexts(x), ::testing::UnorderedElementsAre("<Rien>", "Disque"));
    click(child(x, "<Rien>"));
    EXPECT_EQ(listPaths(), tablePathsWhere([](const FileRow& r) { return r[fArtist] == "X" && r[fAlbum].empty(); }));
    EXPECT_EQ(listPaths().size(), 1u);
    // An album under "<Rien>": the files with no artist on that album.
    click(child(nothing, "Disque"));
    EXPECT_EQ(listPaths(),
              tablePathsWhere([](const FileRow& r) { return r[fArtist].empty() && r[fAlbum] == "Disque"; }));
    EXPECT_EQ(listPaths().size(), 1u);
}

TEST_F(Tree, AnAlbumUnderAnArtistListsOnlyThatArtistsFiles)
{
    put("1.mp3", mp3(tags("Alice", "Best of")));
    put("2.mp3", mp3(tags("Bob", "Best of")));
    put("3.mp3", mp3(tags("Alice", "Best of")));
    put("4.mp3", mp3(tags("Alice", "Live")));
    walk();
    click(child(child(treeRoot(), "Alice"), "Best of"));
    const Strings aliceBest =
        tablePathsWhere([](const FileRow& r) { return r[fArtist] == "Alice" && r[fAlbum] == "Best of"; });
    EXPECT_EQ(listPaths(), aliceBest);
    EXPECT_EQ(aliceBest.size(), 2u);
    EXPECT_EQ(panel(1), "2 fichier(s)");

    // The album tree the other way round: an artist under an album.
    Form1->ToolButton2->trigger();
    ASSERT_EQ(display(treeRoot()->text(0)), "Albums");
    EXPECT_EQ(panel(0), "Albums");
    EXPECT_EQ(panel(1), "4 fichier(s)");
    EXPECT_EQ(childTexts(treeRoot()), (Strings{"Best of", "Live"}));
    EXPECT_EQ(childTexts(child(treeRoot(), "Best of")), (Strings{"Alice", "Bob"}));
    click(child(child(treeRoot(), "Best of"), "Alice"));
    EXPECT_EQ(listPaths(), aliceBest);
    click(child(treeRoot(), "Best of"));
    EXPECT_EQ(listPaths().size(), 3u);
    Form1->Artistes2->trigger();
    EXPECT_EQ(display(treeRoot()->text(0)), "Artistes");
}

TEST_F(Tree, AGenreNodeListsEachFileOnce)
{
    put("1.mp3", mp3(tags("A", "Un", "t1", "Rock")));
    put("2.mp3", mp3(tags("B", "Deux", "t2", "Jazz")));
    put("3.mp3", mp3(tags("A", "Deux", "t3", "Rock")));
    put("4.mp3", mp3(tags("C", "Un", "t4", "Rock")));
    walk();
    const std::string panel0 = panel(0), panel1 = panel(1);
    Form1->ToolButton3Click();
    ASSERT_EQ(display(treeRoot()->text(0)), "Genres");
    // The genre tree leaves the status bar alone.
    EXPECT_EQ(panel(0), panel0);
    EXPECT_EQ(panel(1), panel1);
    EXPECT_EQ(childTexts(treeRoot()), (Strings{"Jazz", "Rock"}));
    EXPECT_EQ(childTexts(child(treeRoot(), "Rock")), (Strings{"Deux", "Un"}));
    click(child(treeRoot(), "Rock"));
    const Strings rock = tablePathsWhere([](const FileRow& r) { return r[fGenre] == "Rock"; });
    EXPECT_EQ(listPaths(), rock);
    EXPECT_EQ(rock.size(), 3u);
    EXPECT_EQ(panel(0), "Rock");
    EXPECT_EQ(panel(1), "3 fichier(s)");
    // An album under a genre: that album's files of the genre.
    click(child(child(treeRoot(), "Rock"), "Deux"));
    EXPECT_EQ(listPaths(),
              tablePathsWhere([](const FileRow& r) { return r[fGenre] == "Rock" && r[fAlbum] == "Deux"; }));
    EXPECT_EQ(panel(1), "1 fichier(s)");
}

TEST_F(Tree, RootsAndChildrenNamedLikeRootsListEveryFile)
{
    put("1.mp3", mp3(tags("Artistes", "Genres")));
    put("2.mp3", mp3(tags("Autre", "Albums")));
    put("3.mp3", mp3(tags("Encore", "Disque")));
    walk();
    click(child(child(treeRoot(), "Encore"), "Disque"));
    ASSERT_EQ(listPaths().size(), 1u);
    click(treeRoot());
    EXPECT_EQ(listPaths(), tablePaths());
    EXPECT_EQ(panel(1), "3 fichier(s)");
    click(child(treeRoot(), "Artistes"));
    EXPECT_EQ(listPaths(), tablePaths());
    click(child(child(treeRoot(), "Artistes"), "Genres"));
    EXPECT_EQ(listPaths(), tablePaths());
    click(child(child(treeRoot(), "Autre"), "Albums"));
    EXPECT_EQ(listPaths(), tablePaths());
    EXPECT_EQ(panel(1), "3 fichier(s)");
}

TEST_F(Tree, NodesAreSortedByTheLocaleCaseSensitively)
{
    for (const char* artist : {"b", "zoo", "B", "\xe9t\xe9", "a", "A"})
        put(std::string(artist) + ".mp3", mp3(tags(artist, std::string("Disque ") + artist)));
    put("more1.mp3", mp3(tags("a", "\xc9t\xe9")));
    put("more2.mp3", mp3(tags("a", "Zen")));
    put("more3.mp3", mp3(tags("a", "\xe9t\xe9")));
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    walk();
    // Lower case before upper case, accented letters among their base letters.
    EXPECT_EQ(childTexts(treeRoot()), (Strings{"a", "A", "b", "B", "été", "zoo"}));
    EXPECT_EQ(childTexts(child(treeRoot(), "a")), (Strings{"Disque a", "été", "Été", "Zen"}));
}

// --- The list: header sorts and selection -------------------------------------------------------

using List = Browser;

TEST_F(List, TheSizeHeaderSortsAsText)
{
    const std::pair<const char*, int64_t> files[] = {
        {"nine.mp3", 9 * 1048576}, {"ten.mp3", 10 * 1048576}, {"onehalf.mp3", 1572864}, {"two.mp3", 2 * 1048576}};
    for (const auto& [name, bytes] : files) fs::resize_file(put(name, mp3(tags(name))), uintmax_t(bytes));
    walk();
    ASSERT_EQ(display(Form1->ListModel->headerData(7, Qt::Horizontal, Qt::DisplayRole).toString()), "Taille (Mo)");
    emit Form1->ListView1->header()->sectionClicked(7);
    EXPECT_EQ(Form1->SortColumn, 7);
    EXPECT_THAT(listColumn(7), ElementsAre("1.5", "10", "2", "9"));
    // Clicking again sorts the same way again.
    Form1->ListView1ColumnClick(7);
    EXPECT_THAT(listColumn(7), ElementsAre("1.5", "10", "2", "9"));
    // A new filter brings table order back.
    click(treeRoot());
    EXPECT_EQ(listPaths(), tablePaths());
}

TEST_F(List, TheArtistHeaderFoldsOnlyAToZAndKeepsEqualRowsInOrder)
{
    const char* const artists[] = {"beta",
                                   "\xc9mile",
                                   "alpha2",
                                   "SAME",
                                   "zed",
                                   "\xe9"
                                   "a",
                                   "Alpha",
                                   "same",
                                   "Same"};
    for (size_t i = 0; i < std::size(artists); ++i)
        put("d" + std::to_string(i % 3) + "/" + std::to_string(i) + ".mp3",
            mp3(tags(artists[i], "Album", "t" + std::to_string(9 - i))));
    // An artist beyond ISO-8859-1, in UTF-16: "Œuvre".
    put("d0/oe.mp3", mp3(tags("", "Album", "t"), {{"TPE1", std::string("\x01\xff\xfe\x52\x01u\0v\0r\0e\0", 13)}}));
    walk();
    ASSERT_EQ(FileCount, int(std::size(artists)) + 1);
    Form1->ListView1ColumnClick(0);
    const Strings sorted = listColumn(0);
    // Letters a-z without regard to case; É (0xC9), é (0xE9) and Œ (0x152) by their code, after z.
    EXPECT_THAT(Strings(sorted.begin(), sorted.begin() + 3), ElementsAre("Alpha", "alpha2", "beta"));
    EXPECT_THAT(Strings(sorted.begin() + 6, sorted.end()), ElementsAre("zed", "Émile", "éa", "Œuvre"));
    // Equal keys ("SAME", "same", "Same") keep the order they had: table order here.
    const Strings paths = listPaths();
    EXPECT_EQ(Strings(paths.begin() + 3, paths.begin() + 6), tablePathsWhere([](const FileRow& r) {
                  return r[fArtist] == "SAME" || r[fArtist] == "same" || r[fArtist] == "Same";
              }));
    // Sorting by another column and back keeps them in the order that sort left.
    Form1->ListView1ColumnClick(1);
    const Strings before = listPaths();
    Form1->ListView1ColumnClick(0);
    Strings expected;
    for (const std::string& path : before)
        if (CompareFolded(rowOf(path)[fArtist], "same") == 0) expected.push_back(path);
    const Strings after = listPaths();
    EXPECT_EQ(Strings(after.begin() + 3, after.begin() + 6), expected);
}

// Long texts that agree on their first 16 or 32 bytes, end inside each other or differ only by
// case, and paths under a long common folder: each header sort is the stable a-z folding one.
TEST_F(List, LongTextsAndPathsSortAsTheFoldingCompareOrdersThem)
{
    const std::string a26 = "abcdefghijklmnopqrstuvwxyz";
    const std::string titles[] = {a26 + "-1",
                                  "ABCDEFGHIJKLMNOPQRSTUVWXYZ-1",
                                  a26,
                                  "abcdefghijklmnop",
                                  "abcdefghijklmno",
                                  "abcdefghijklmnopq",
                                  "ABCDEFGHIJKLMNOPQ",
                                  a26 + "-0",
                                  a26 + "-1\xe9",
                                  "abcdefghijklmnopQRSTUVWXYZ-1 plus",
                                  "abcdefghijklmnop\xc9",
                                  "a",
                                  "A",
                                  a26 + a26 + "!",
                                  a26 + a26,
                                  a26 + "-1"};
    for (size_t i = 0; i < std::size(titles); ++i) {
        // Names that agree on 16 bytes and more past the common folder, in two folders.
        const std::string name = std::string(i % 2 ? "Un dossier au nom long/" : "un dossier au nom long/") +
                                 (i % 3 ? "Le même début de nom, " : "le même début de nom, ") +
                                 titles[(i * 7) % std::size(titles)] + ".mp3";
        put(name, mp3(tags("Artiste", "Album", titles[i])));
    }
    walk();
    ASSERT_EQ(FileCount, int(std::size(titles)));
    for (int column : {1, 4, 1, 0, 4}) {
        SCOPED_TRACE(column);
        const Strings before = listPaths();
        Strings expected = before;
        const int field = FileListModel::ColumnField[column];
        std::stable_sort(expected.begin(), expected.end(), [&](const std::string& x, const std::string& y) {
            return CompareFolded(rowOf(x)[field], rowOf(y)[field]) < 0;
        });
        Form1->ListView1ColumnClick(column);
        EXPECT_EQ(listPaths(), expected);
    }
}

TEST_F(List, SelectionFollowsItsRowsAndSelectAllTakesEveryRow)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 8; ++i)
        paths.push_back(put(std::to_string(i) + ".mp3", mp3(tags("Artiste " + std::to_string(7 - i)))));
    walk();
    const std::string wanted1 = paths[2], wanted2 = paths[5];
    selectListRows({listRowOf(wanted1), listRowOf(wanted2)});
    Form1->ListView1ColumnClick(0);
    const Strings selected = Form1->SelectedPaths();
    // In list order after the sort: "Artiste 2" (file 5) before "Artiste 5" (file 2).
    EXPECT_THAT(selected, ElementsAre(wanted2, wanted1));
    EXPECT_EQ(Form1->ListModel->cell(listRowOf(wanted2), 0), "Artiste 2");

    Form1->Slectionnertout1Click();
    EXPECT_EQ(Form1->SelectedPaths(), listPaths());
    Form1->ListView1ColumnClick(4);
    EXPECT_EQ(Form1->SelectedPaths().size(), paths.size());
    EXPECT_EQ(Form1->SelectedPaths(), listPaths());
}

// --- The refresh of selected rows ---------------------------------------------------------------

using Refresh = Browser;

TEST_F(Refresh, ANewArtistReachesTheRowButNotTheTree)
{
    const std::string edited = put("edited.mp3", mp3(tags("Ancien", "Disque", "Titre", "Pop")));
    const std::string other = put("other.mp3", mp3(tags("Ancien", "Disque", "Autre", "Pop")));
    walk();
    ASSERT_EQ(FileCount, 2);
    const int row = listRowOf(edited);
    selectListRows({row});
    ASSERT_TRUE(mutagenArtist(edited, QStringLiteral("Nouveau"), 4)) << "mutagen could not rewrite the tag";
    Form1->Rafraichir3Click();
    // mutagen's terminators stop the texts.
    EXPECT_EQ(Form1->ListModel->cell(row, 0), "Nouveau");
    EXPECT_EQ(Form1->ListModel->cell(row, 1), "Titre");
    EXPECT_EQ(rowOf(edited)[fArtist], Form1->ListModel->cell(row, 0));
    // The row not selected and the tree stay as they were.
    EXPECT_EQ(rowOf(other)[fArtist], "Ancien");
    EXPECT_EQ(Form1->ListModel->cell(listRowOf(other), 0), "Ancien");
    EXPECT_THAT(childTexts(treeRoot()), ElementsAre("Ancien"));
}

TEST_F(Refresh, ASelectedRowWhoseFileWentAwayKeepsItsValues)
{
    const std::string gone = put("gone.mp3", mp3(tags("Parti", "Disque", "Titre", "Pop")));
    put("stays.mp3", mp3(tags("Reste")));
    walk();
    const int row = listRowOf(gone);
    const FileRow before = rowOf(gone);
    ASSERT_FALSE(before[fSizeMo].empty());
    fs::remove(gone);
    selectListRows({row});
    Form1->Rafraichir3Click();
    EXPECT_EQ(rowOf(gone).fields, before.fields);
    Strings cells;
    for (int c = 0; c < FileListModel::ColumnCount; ++c) cells.push_back(Form1->ListModel->cell(row, c));
    EXPECT_THAT(cells,
                ElementsAre("Parti", "Titre", "", "Disque", gone, folder_ + "/", "", before[fSizeMo], "Pop", "", ""));
}

}  // namespace

int main(int argc, char** argv)
{
    std::string pattern = (fs::temp_directory_path() / "sonoverne-browser-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 2;
    tempRoot = pattern;
    fs::create_directories(tempRoot + "/config");
    fs::create_directories(tempRoot + "/prog");
    setenv("XDG_CONFIG_HOME", (tempRoot + "/config").c_str(), 1);
    platform::setProgramFolder(tempRoot + "/prog/");

    const int result = sonoverne::test::RunWithWindows(argc, argv, [](QApplication&) {
        mainOnFichier = Form1->ScruteDossier1.OnFichier;
        Form1->ScruteDossier1.OnExecute = [](TScruteDossier*) { ++walks; };
    });
    std::error_code ec;
    fs::remove_all(tempRoot, ec);
    return result;
}
