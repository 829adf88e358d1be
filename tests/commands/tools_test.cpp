// The tool windows that change many files: the file picker of all of them, the multi-file tag
// editor, the ID3v1-to-ID3v2 import and the track renumbering, driven through their handlers
// with scripted message boxes; what they wrote is read back by mutagen.
#include "CommandsTest.h"

#include "DeepFolders.h"
#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "Input.h"
#include "TagTextInput.h"
#include "Unit1.h"
#include "Unit10.h"
#include "Unit12.h"
#include "Unit13.h"
#include "Unit14.h"
#include "Unit15.h"
#include "Unit21.h"
#include "Unit25.h"
#include "Unit4.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"
#include "Unit9.h"
#include "variable.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QClipboard>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QProcess>
#include <QTest>

#include <clocale>
#include <csignal>
#include <filesystem>
#include <locale.h>
#include <optional>
#include <set>

#include <sys/mount.h>
#include <sys/resource.h>

using namespace cmdtest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

Strings items(const ui::ListBox* list)
{
    Strings out;
    for (int i = 0; i < list->Count(); ++i) out.push_back(list->Item(i));
    return out;
}

Strings fileBox(const ui::FileListBox* box)
{
    Strings out;
    for (int i = 0; i < box->count(); ++i) out.push_back(box->itemName(i));
    return out;
}

QString caption(const QPushButton* button) { return button ? button->text() : QStringLiteral("-"); }

const QString Walker = QStringLiteral("Ajouter tous les fichiers de ce dossier + les fichiers des sous-dossiers");

// What a walk tells of a folder whose path is too long for the system: the folder by its start
// and its end.
QString toldTooLong(const std::string& folder)
{
    return QStringLiteral(
               "1 dossier n'a pas pu être lu ; les fichiers qu'il contient ne sont pas dans la liste :\r\n") +
           QString::fromStdString(folder.substr(0, 60)) + QChar(0x2026) +
           QString::fromStdString(folder.substr(folder.size() - 90)) + " (" +
           QString::fromStdString(platform::errorText(ENAMETOOLONG)) + ")";
}

// --- The picker -----------------------------------------------------------------------------------

struct Variant {
    PickerForm* form;
    const char* mask;
    bool sorted;
    QString addAll;  // "-": none
    QString walker;  // "-": none
    QString clear;
    bool clearedByHide;
    bool clearedByShow;
    int bars;
};

std::vector<Variant> variants()
{
    const QString none = QStringLiteral("-");
    const QString all = QStringLiteral("Tout Ajouter");
    const QString clear = QStringLiteral("Tout Enlever");
    return {
        {Form6, "*.mp3", false, all, none, clear, true, false, 1},
        {Form8, "*.mp3", false, all, none, clear, true, false, 1},
        {Form9, "*.mp3", true, all, Walker, clear, true, false, 1},
        {Form13, "*.mp3", true, all, Walker, clear, true, false, 1},
        {Form14, "*.mp3", true, all, Walker, clear, true, false, 1},
        {Form25, "*.mp3", false, none, none, QStringLiteral("Vider la liste"), false, true, 1},
        {Form12, "*.wav", true, all, QStringLiteral("Ajouter tous les fichiers + les fichiers des sous-dossiers"),
         clear, true, false, 2},
        {Form15, "*.mp3", true, all, Walker, clear, false, false, 0},
        {Form21, "*.mp3", true, all, Walker, clear, false, false, 0},
    };
}

class Tools : public Collection {
protected:
    void SetUp() override
    {
        Collection::SetUp();
        Mp3Folder = folder_;
    }
    void TearDown() override
    {
        for (ui::Form* form : {static_cast<ui::Form*>(Form6), static_cast<ui::Form*>(Form25)}) form->Hide();
        Collection::TearDown();
    }
};

// Every window of the picker: its variant, and each handler on a small tree.
TEST_F(Tools, EveryPickerWindowBuildsItsListWithItsVariant)
{
    const std::string b = put("b.mp3", "x"), a = put("A.MP3", "x"), w = put("c.wav", "x");
    std::filesystem::create_directories(folder_ + "/sous/bas");
    const std::string d = put("sous/d.mp3", "x"), e = put("sous/bas/e.mp3", "x"), v = put("sous/v.wav", "x");
    // A link that leads nowhere is no file; a folder too deep for a path is told after a walk.
    ASSERT_EQ(symlink("nowhere.mp3", (folder_ + "/x.mp3").c_str()), 0);
    const sonoverne::test::DeepTree cleanup(folder_ + "/profond");
    const std::string deep = sonoverne::test::deepPath(folder_ + "/profond", PATH_MAX);
    ASSERT_TRUE(sonoverne::test::writeDeep(deep + "/f.mp3", "x") && sonoverne::test::writeDeep(deep + "/f.wav", "x"));
    for (const Variant& t : variants()) {
        SCOPED_TRACE(t.form->Caption().toStdString());
        FilePicker* p = t.form->Picker;
        const bool wav = std::string(t.mask) == "*.wav";
        EXPECT_EQ(p->FileListBox1->Mask(), t.mask);
        EXPECT_EQ(t.form->ListBox1->Sorted, t.sorted);
        EXPECT_EQ(caption(p->Button1), QStringLiteral("Ajouter"));
        EXPECT_EQ(caption(p->Button2), t.addAll);
        EXPECT_EQ(caption(p->Button3), QStringLiteral("Enlever"));
        EXPECT_EQ(caption(p->Button4), t.clear);
        EXPECT_EQ(caption(p->Button6), t.walker);
        EXPECT_EQ(int(p->ProgressBar1 != nullptr) + int(p->ProgressBar2 != nullptr), t.bars);
        EXPECT_EQ(t.form->ProgressBar1, p->ProgressBar1);
        EXPECT_EQ(p->ScruteDossier1.Filtre, t.mask);

        // Shown with entries handed over by the main window: the list keeps them, except on the
        // renumbering window; the boxes open the music folder.
        t.form->ListBox1->Clear();
        t.form->ListBox1->Add("/avant.mp3");
        if (p->ProgressBar1) p->ProgressBar1->setPosition(50);
        t.form->Show();
        EXPECT_EQ(t.form->DirectoryListBox1->Directory(), folder_);
        EXPECT_EQ(t.form->DriveComboBox1->Drive(), '/');
        EXPECT_EQ(fileBox(t.form->FileListBox1), (wav ? Strings{"c.wav"} : Strings{"A.MP3", "b.mp3"}));
        EXPECT_EQ(t.form->ListBox1->Count(), t.clearedByShow ? 0 : 1);
        if (p->ProgressBar1) { EXPECT_EQ(p->ProgressBar1->Position(), 0); }
        t.form->Button4Click();
        EXPECT_EQ(t.form->ListBox1->Count(), 0);

        // "Ajouter" (and the double-click) add the selected file; without one nothing is added.
        t.form->FileListBox1->setItemIndex(-1);
        t.form->Button1Click();
        EXPECT_EQ(t.form->ListBox1->Count(), 0);
        t.form->FileListBox1->setItemIndex(0);
        t.form->Button1Click();
        t.form->FileListBox1DblClick();
        Strings expected = wav ? Strings{w, w} : Strings{a, a};
        if (p->Button2) {
            // Twice "Tout Ajouter": every file twice, in place when sorted.
            t.form->Picker->Button2Click();
            t.form->Picker->Button2Click();
            EXPECT_EQ(t.form->FileListBox1->ItemIndex(), t.form->FileListBox1->count() - 1);
            const Strings box = wav ? Strings{w} : Strings{a, b};
            for (int twice = 0; twice < 2; ++twice) expected.insert(expected.end(), box.begin(), box.end());
        }
        if (t.sorted)
            std::stable_sort(expected.begin(), expected.end(),
                             [](auto& x, auto& y) { return strcasecmp(x.c_str(), y.c_str()) < 0; });
        EXPECT_THAT(items(t.form->ListBox1), ElementsAreArray(expected));

        // "Enlever": nothing without a selection, else the selected entry.
        t.form->ListBox1->setCurrentRow(-1);
        t.form->ListBox1->clearSelection();
        t.form->Button3Click();
        EXPECT_EQ(t.form->ListBox1->Count(), int(expected.size()));
        t.form->ListBox1->setCurrentRow(1);
        t.form->Button3Click();
        expected.erase(expected.begin() + 1);
        EXPECT_THAT(items(t.form->ListBox1), ElementsAreArray(expected));
        t.form->Button3Click();  // the selection went with the entry
        EXPECT_EQ(t.form->ListBox1->Count(), int(expected.size()));

        if (p->Button6) {
            // The walker adds the matching files of the whole tree (every walker window sorts,
            // by folder first: a folder's own files before those of the folders in it).
            t.form->Button4Click();
            ui::Dialogs::clearScript();
            t.form->Button6Click();
            const Strings walked = wav ? Strings{w, v} : Strings{a, b, d, e};
            EXPECT_THAT(items(t.form->ListBox1), ElementsAreArray(walked));
            ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
            EXPECT_EQ(ui::Dialogs::shown()[0].text, toldTooLong(deep));
            EXPECT_EQ(ui::Dialogs::shown()[0].flags, unsigned(ui::MB_OK | ui::MB_ICONWARNING));
        }

        // The folder box moves the file box; the drive box moves the folder box.
        t.form->DirectoryListBox1->setDirectory(folder_ + "/sous");
        EXPECT_EQ(t.form->FileListBox1->Directory(), folder_ + "/sous");
        EXPECT_EQ(fileBox(t.form->FileListBox1), (wav ? Strings{"v.wav"} : Strings{"d.mp3"}));
        t.form->DriveComboBox1Change();
        EXPECT_EQ(t.form->DirectoryListBox1->Directory(), folder_ + "/sous");  // same drive: stays

        const int before = t.form->ListBox1->Count();
        ASSERT_GT(before, 0);
        t.form->Hide();
        EXPECT_EQ(t.form->ListBox1->Count(), t.clearedByHide ? 0 : before);
        t.form->ListBox1->Clear();
    }
}

// --- The order of the lists -----------------------------------------------------------------------

// Set in this program when it runs again as a user of another locale.
const char* const OtherUser = "SONOVERNE_TEST_OTHER_USER";

// Runs the current test again as a user of `locale` (LC_ALL), whose C library has the locale:
// where the system lacks it, it is compiled into the run's folder. True when that run passed.
bool passesAsUserOf(const std::string& locale)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QString::fromStdString(locale));
    env.insert(QString::fromLatin1(OtherUser), QStringLiteral("1"));
    if (locale_t known = newlocale(LC_ALL_MASK, locale.c_str(), nullptr)) {
        freelocale(known);
    } else {
        const std::string folder = tempRoot + "/locales";
        std::filesystem::create_directories(folder);
        const size_t dot = locale.find('.');
        QProcess localedef;
        localedef.setProcessChannelMode(QProcess::MergedChannels);
        localedef.start(QStringLiteral("localedef"),
                        {QStringLiteral("-i"), QString::fromStdString(locale.substr(0, dot)), QStringLiteral("-f"),
                         QString::fromStdString(locale.substr(dot + 1)),
                         QString::fromStdString(folder + "/" + locale)});
        if (!localedef.waitForFinished(-1) || localedef.exitCode() != 0) {
            ADD_FAILURE() << "localedef: " << localedef.readAll().toStdString();
            return false;
        }
        env.insert(QStringLiteral("LOCPATH"), QString::fromStdString(folder));
    }
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess run;
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=%1.%2")
                   .arg(QLatin1String(test->test_suite_name()), QLatin1String(test->name()))});
    // A watchdog: a run that hangs fails instead.
    const bool ended = run.waitForFinished(300000);
    if (!ended) {
        run.kill();
        run.waitForFinished(-1);
    }
    const std::string output = run.readAll().toStdString();
    const bool passed = ended && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0 &&
                        output.find("[  PASSED  ] 1 test.") != std::string::npos;
    if (!passed) ADD_FAILURE() << "as a user of " << locale << ":\n" << output;
    return passed;
}

// A user's lists follow the user's locale, without regard to case: the collection tree, a sorted
// tool list, its file box and its folder box give one order. Equal names keep the order they
// were added in (the list) or their byte order (the boxes); names that are not valid UTF-8 come
// last, by their bytes.
TEST_F(Tools, ListsSortAsTheUsersLocaleDoes)
{
    const struct User {
        std::string locale;
        Strings order;
    } users[] = {
        {"C.UTF-8", {"Eddy", "Fanny", "Zoé", "Ève", "Élodie"}},  // code points, case aside
        {"fr_FR.UTF-8", {"Eddy", "Élodie", "Ève", "Fanny", "Zoé"}},
    };
    const char* own = getenv("LC_ALL");
    for (const User& user : users) {
        SCOPED_TRACE(user.locale);
        if (!own || own != user.locale) {
            if (!getenv(OtherUser)) passesAsUserOf(user.locale);
            continue;
        }
        // The program and its C library both run in the user's locale.
        ASSERT_STREQ(setlocale(LC_COLLATE, nullptr), user.locale.c_str());
        ASSERT_EQ(QLocale().name().toStdString(), user.locale.substr(0, user.locale.find('.')));

        for (const char* name : {"Zoé", "Fanny", "Ève", "Élodie", "Eddy"}) {
            putTagged(name + std::string(".mp3"), texts(gen::Utf8ToLatin1(name), "Titre"));
            std::filesystem::create_directories(folder_ + "/" + name);
        }
        const Strings odd = {"\xc9MILE.mp3", "\xc9mile.mp3", "\xe9ric.mp3"};  // ISO-8859-1 names
        for (const std::string& name : Strings{odd[2], odd[1], "eddy.mp3", odd[0]})
            putTagged(name, texts("Eddy", "Titre"));
        walk();
        Strings tree;
        const QTreeWidgetItem* root = Form1->TreeView1->topLevelItem(0);
        for (int i = 0; root && i < root->childCount(); ++i) tree.push_back(root->child(i)->text(0).toStdString());
        EXPECT_EQ(tree, user.order);

        Strings files;
        for (const std::string& name : user.order) {
            files.push_back(name + ".mp3");
            if (name == "Eddy") files.push_back("eddy.mp3");
        }
        files.insert(files.end(), odd.begin(), odd.end());
        Form9->Show();
        EXPECT_EQ(fileBox(Form9->FileListBox1), files);
        Strings folders;
        for (int i = Form9->DirectoryListBox1->currentRow() + 1; i < Form9->DirectoryListBox1->count(); ++i)
            folders.push_back(Form9->DirectoryListBox1->item(i)->text().trimmed().toStdString());
        EXPECT_EQ(folders, user.order);

        // One "eddy" added before "Tout Ajouter": the equal names follow it in the order added.
        Form9->ListBox1->Add(folder_ + "/eddy.mp3");
        Form9->Picker->Button2Click();
        Strings listed;
        for (const std::string& path : items(Form9->ListBox1)) listed.push_back(platform::fileNamePart(path));
        files.insert(files.begin(), "eddy.mp3");
        EXPECT_EQ(listed, files);

        // Folders whose names differ by accent or case only: each one's files together, so that
        // the text list names each folder once.
        Form9->ListBox1->Clear();
        Strings folders3;
        for (const char* name : {"Céline", "Celine", "CELINE"}) {
            std::filesystem::create_directories(folder_ + "/" + name);
            for (const char* file : {"/b.mp3", "/a.mp3"}) folders3.push_back(std::string(name) + file);
        }
        for (const std::string& path : folders3) Form9->ListBox1->Add(putTagged(path, texts("A", "T")));
        Strings inFolders;
        for (const std::string& path : items(Form9->ListBox1)) inFolders.push_back(path.substr(folder_.size() + 1));
        EXPECT_EQ(inFolders, (Strings{"CELINE/a.mp3", "CELINE/b.mp3", "Celine/a.mp3", "Celine/b.mp3", "Céline/a.mp3",
                                      "Céline/b.mp3"}));
        Form9->CheckBox4->setChecked(true);
        Form9->BuildListText();
        Form9->CheckBox4->setChecked(false);
        size_t headers = 0;
        for (size_t at = ListText.find("DOSSIER"); at != std::string::npos; at = ListText.find("DOSSIER", at + 1))
            ++headers;
        EXPECT_EQ(headers, 3u);
        Form9->Hide();
    }
}

// --- What the runs wrote --------------------------------------------------------------------------

// The frames mutagen reads: "ID=text" for each text frame, "COMM=lang/desc/text" for comments,
// sorted; "ID~enc" is appended for a frame not in ISO-8859-1.
Strings frames(const std::string& path)
{
    const QJsonObject dump = probe(path);
    Strings out;
    const QJsonObject v2 = dump.value("v2").toObject();
    for (auto it = v2.begin(); it != v2.end(); ++it) {
        const QJsonArray f = it.value().toArray();
        std::string line = it.key().toStdString() + "=" + f.at(1).toString().toStdString();
        if (f.at(0).toInt() != 0) line += "~" + std::to_string(f.at(0).toInt());
        out.push_back(line);
    }
    for (const QJsonValue c : dump.value("comments").toArray()) {
        const QJsonArray f = c.toArray();
        out.push_back("COMM=" + f.at(1).toString().toStdString() + "/" + f.at(2).toString().toStdString() + "/" +
                      f.at(3).toString().toStdString());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The raw bytes (header and data) of the first frame `id` of an ID3v2.3 tag; empty when none.
std::string frameBytes(const std::string& path, const std::string& id)
{
    const std::string file = readBytes(path);
    if (file.compare(0, 3, "ID3") != 0 || file.size() < 10) return {};
    const auto byte = [&](size_t i) { return size_t(static_cast<unsigned char>(file[i])); };
    const size_t end = std::min(file.size(), 10 + (byte(6) << 21 | byte(7) << 14 | byte(8) << 7 | byte(9)));
    for (size_t at = 10; at + 10 <= end && file[at] != '\0';) {
        const size_t size = byte(at + 4) << 24 | byte(at + 5) << 16 | byte(at + 6) << 8 | byte(at + 7);
        if (file.compare(at, 4, id) == 0) return file.substr(at, 10 + size);
        at += 10 + size;
    }
    return {};
}

// An ID3v2.3 title frame in UTF-16, which the tag library cannot give whole as ISO-8859-1.
gen::RawFrame utf16Title()
{
    std::string data("\x01\xff\xfe", 3);
    for (char16_t c : std::u16string(u"\u03a9mega")) data += {char(c & 0xff), char(c >> 8)};
    data += std::string(2, '\0');
    return {"TIT2", data};
}

std::string unreadableTag()
{
    // An ID3v2.2 tag: the library reads no tag of that version.
    const std::string text = std::string(1, '\0') + "Vieux titre";
    const std::string frame22 = "TT2" + std::string(2, '\0') + char(text.size()) + text;
    gen::Mp3Spec audio;
    audio.audio = gen::SilentFrames(4);
    return std::string("ID3\x02\x00\x00\x00\x00\x00", 9) + char(frame22.size()) + frame22 + gen::Mp3Bytes(audio);
}

gen::TagTexts fullTexts(const std::string& title)
{
    gen::TagTexts t = texts("Artiste", title, "Album");
    t.year = "1999";
    t.genre = "Rock";
    t.track = "3/12";
    t.comment = "Remarque";
    return t;
}

const Strings Full = {"COMM=eng//Remarque", "TALB=Album", "TCON=Rock", "TIT2=Titre",
                      "TPE1=Artiste",       "TRCK=3/12",  "TYER=1999"};

// --- The multi-file tag editor ------------------------------------------------------------------

struct EditCase {
    const char* name;
    // The ticked fields and their values, by check box number 1..7.
    std::vector<std::pair<int, std::string>> ticked;
    Strings list;  // "tagged", "utf16", "bare", "unreadable", "missing"
    // Frames expected afterwards, per listed kind; "same" for a file left byte-identical,
    // "none" for a file that must not exist.
    std::map<std::string, Strings> expected;
    Strings failed;  // the kinds the closing message names
};

TEST_F(Tools, ModifierGivesTheTickedFieldsToEveryFileOfTheList)
{
    const Strings utf16Rest = {"TIT2=\u03a9mega~1", "TPE1=Artiste"};
    const EditCase cases[] = {
        {"three fields, a file twice, a tag-less file, an unread title kept",
         {{3, "Neuf"}, {4, "2004"}, {7, "Note"}},
         {"tagged", "utf16", "bare", "tagged"},
         {{"tagged",
           {"COMM=ENG//Note", "TALB=Neuf", "TCON=Rock", "TIT2=Titre", "TPE1=Artiste", "TRCK=3/12", "TYER=2004"}},
          {"utf16", {"COMM=ENG//Note", "TALB=Neuf", "TIT2=\u03a9mega~1", "TPE1=Artiste", "TYER=2004"}},
          {"bare", {"COMM=ENG//Note", "TALB=Neuf", "TYER=2004"}}},
         {}},
        {"an empty ticked field removes its frame; genre and track",
         {{1, ""}, {6, "Jazz"}, {5, "7"}, {2, "Autre"}},
         {"tagged", "utf16"},
         {{"tagged", {"COMM=eng//Remarque", "TALB=Album", "TCON=Jazz", "TPE1=Autre", "TRCK=7", "TYER=1999"}},
          {"utf16", {"TCON=Jazz", "TPE1=Autre", "TRCK=7"}}},
         {}},
        {"a ticked title replaces one that could not be read whole",
         {{1, "Omega"}},
         {"utf16"},
         {{"utf16", {"TIT2=Omega", "TPE1=Artiste"}}},
         {}},
        {"nothing ticked: tags saved as they were; a tag-less file has nothing to save",
         {},
         {"tagged", "utf16", "bare"},
         {{"tagged", Full}, {"utf16", utf16Rest}, {"bare", {"same"}}},
         {"bare"}},
        {"a tag that cannot be read and a missing file are not written",
         {{1, "Neuf"}},
         {"unreadable", "missing", "tagged"},
         {{"unreadable", {"same"}},
          {"missing", {"none"}},
          {"tagged",
           {"COMM=eng//Remarque", "TALB=Album", "TCON=Rock", "TIT2=Neuf", "TPE1=Artiste", "TRCK=3/12", "TYER=1999"}}},
         {"unreadable", "missing"}},
    };
    QCheckBox* TForm6::*const boxes[] = {&TForm6::CheckBox1, &TForm6::CheckBox2, &TForm6::CheckBox3, &TForm6::CheckBox4,
                                         &TForm6::CheckBox5, &TForm6::CheckBox6, &TForm6::CheckBox7};
    ui::TagEdit* TForm6::*const edits[] = {&TForm6::id3title, &TForm6::id3artist, &TForm6::id3album,  &TForm6::id3year,
                                           &TForm6::id3track, &TForm6::id3genre,  &TForm6::id3comment};
    int serial = 0;
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = std::to_string(++serial);
        std::filesystem::create_directories(folder_ + "/" + dir);
        std::map<std::string, std::string> paths;
        paths["tagged"] = putTagged(dir + "/tagged.mp3", fullTexts("Titre"));
        gen::Mp3Spec spec;
        spec.id3v2 = gen::Id3v2Spec{texts("Artiste", ""), {utf16Title()}, 0};
        spec.audio = gen::SilentFrames(4);
        paths["utf16"] = put(dir + "/utf16.mp3", gen::Mp3Bytes(spec));
        paths["bare"] = putUntagged(dir + "/bare.mp3");
        paths["unreadable"] = put(dir + "/unreadable.mp3", unreadableTag());
        paths["missing"] = folder_ + "/" + dir + "/missing.mp3";
        ASSERT_EQ(frames(paths["utf16"]), utf16Rest);
        std::map<std::string, std::string> before;
        for (const auto& [kind, path] : paths) before[kind] = exists(path) ? readBytes(path) : std::string();
        const std::string utf16Title = frameBytes(paths["utf16"], "TIT2");

        Form6->Show();
        for (int i = 0; i < 7; ++i) {
            (Form6->*boxes[i])->setChecked(false);
            (Form6->*edits[i])->setText("reste");  // a hidden field's text is not written
        }
        for (const auto& [box, value] : c.ticked) {
            (Form6->*boxes[box - 1])->setChecked(true);
            EXPECT_TRUE((Form6->*edits[box - 1])->isVisible());
            (Form6->*edits[box - 1])->setText(value);
        }
        for (const std::string& kind : c.list) Form6->ListBox1->Add(paths[kind]);
        ui::Dialogs::clearScript();
        Form6->Button5Click();

        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        const ui::ShownBox& box = ui::Dialogs::shown()[0];
        EXPECT_EQ(box.caption, QStringLiteral("Sonoverne"));
        EXPECT_EQ(box.flags, unsigned(c.failed.empty() ? ui::MB_OK : ui::MB_OK | ui::MB_ICONWARNING));
        EXPECT_TRUE(box.text.startsWith(
            c.failed.empty()
                ? QStringLiteral("Modification terminée\r\nPensez à rafraîchir la liste")
                : QStringLiteral(
                      "Modification terminée\r\nCertains tags n'ont pu etres correctement enregistrés\r\nPensez à rafraîchir la liste")))
            << box.text.toStdString();
        // The message names the files that failed, and those only.
        for (const std::string& kind : c.list) {
            const bool failed = std::find(c.failed.begin(), c.failed.end(), kind) != c.failed.end();
            EXPECT_EQ(box.text.contains(QString::fromStdString(paths[kind])), failed) << kind;
        }
        EXPECT_EQ(Form6->ListBox1->Count(), 0);
        EXPECT_FALSE(Form6->isVisible());
        for (const auto& [kind, want] : c.expected) {
            SCOPED_TRACE(kind);
            if (want == Strings{"same"}) {
                EXPECT_EQ(readBytes(paths[kind]), before[kind]);
            } else if (want == Strings{"none"}) {
                EXPECT_FALSE(exists(paths[kind]));
            } else {
                EXPECT_EQ(frames(paths[kind]), want);
            }
        }
        // The title that could not be read whole stays byte for byte unless ticked.
        const bool titleTicked = std::any_of(c.ticked.begin(), c.ticked.end(), [](auto& t) { return t.first == 1; });
        if (!titleTicked && c.expected.count("utf16")) { EXPECT_EQ(frameBytes(paths["utf16"], "TIT2"), utf16Title); }
        for (const char* kind : {"tagged", "utf16", "bare"}) {
            if (!c.expected.count(kind)) { EXPECT_EQ(readBytes(paths[kind]), before[kind]); }
        }
    }

    // An empty list: no message, the window stays open.
    Form6->Show();
    ui::Dialogs::clearScript();
    Form6->Button5Click();
    EXPECT_THAT(ui::Dialogs::shown(), IsEmpty());
    EXPECT_TRUE(Form6->isVisible());
    // "Annuler" empties the list and closes.
    Form6->ListBox1->Add(folder_ + "/1/tagged.mp3");
    Form6->Button6->click();
    EXPECT_EQ(Form6->ListBox1->Count(), 0);
    EXPECT_FALSE(Form6->isVisible());
}

// The value fields hold what a tag text can: ISO-8859-1 on one line, year 4 and track 2 characters;
// a refused character is named to the user at once.
TEST_F(Tools, ValueFieldsTakeOnlyWhatATagTextHolds)
{
    struct Case {
        ui::TagEdit* edit;
        std::string start;
        QString typed;   // typed key by key (ASCII), else inserted as typing does
        QString pasted;  // then pasted at the end
        std::string result;
        QString told;  // the characters the note names
    };
    const Case cases[] = {
        {Form6->id3title, "", "",
         QStringLiteral("a\tb\nc\x7f"
                        "d"),
         "a b c d", ""},
        {Form6->id3title, "abc", "", QStringLiteral("\u03a9"), "abc", QStringLiteral("\u03a9")},
        {Form6->id3artist, "", QStringLiteral("\u00e9t\u00e9"), QStringLiteral("\u20ac \u0159\u20ac"), "\xe9t\xe9",
         QStringLiteral("\u20ac \u00bb, \u00ab \u0159")},
        {Form6->id3year, "", QStringLiteral("198765"), "", "1987", ""},
        {Form6->id3year, "12", "", QStringLiteral("3456"), "1234", ""},
        {Form6->id3track, "", QStringLiteral("123"), "", "12", ""},
        {Form6->id3album, std::string("Nom\0reste", 9), "", "", "Nom", ""},
        {Form6->id3comment, std::string("a\tb", 3), "", "", "a b", ""},
    };
    Form6->Show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        if (auto* note = Form6->findChild<QLabel*>(ui::RefusalNoticeName)) note->hide();
        c.edit->setVisible(true);
        c.edit->setText(c.start);
        c.edit->setFocus();
        c.edit->end(false);
        if (c.typed.toLatin1() == c.typed.toUtf8()) QTest::keyClicks(c.edit, c.typed);
        else c.edit->insert(c.typed);
        if (!c.pasted.isEmpty()) {
            QApplication::clipboard()->setText(c.pasted);
            c.edit->paste();
        }
        EXPECT_EQ(c.edit->Text(), c.result);
        const auto* note = Form6->findChild<QLabel*>(ui::RefusalNoticeName);
        const QString told = note && note->isVisible() ? note->text() : QString();
        EXPECT_EQ(told.section(QStringLiteral(" \u00bb."), 0, 0),
                  c.told.isEmpty() ? QString() : "Refus\u00e9 : \u00ab " + c.told);
    }
    Form6->Hide();
}

// --- The ID3v1 import -----------------------------------------------------------------------------

std::string withTags(const std::optional<gen::Id3v2Spec>& v2, const std::optional<gen::Id3v1Spec>& v1)
{
    gen::Mp3Spec spec;
    spec.id3v2 = v2;
    spec.id3v1 = v1;
    spec.audio = gen::SilentFrames(4);
    return gen::Mp3Bytes(spec);
}

gen::Id3v1Spec v1(const std::string& title, int track = 0, int genre = 255)
{
    gen::Id3v1Spec t;
    t.title = title;
    t.artist = "Art " + title;
    t.year = "1999";
    t.comment = "Com";
    t.track = track;
    t.genre = genre;
    return t;
}

class Import : public Tools {
protected:
    void SetUp() override
    {
        Tools::SetUp();
        Form7->CheckBox1->setChecked(false);
        Form7->Show();
        ui::Dialogs::clearScript();
    }
    void TearDown() override
    {
        Form7->Hide();
        Tools::TearDown();
    }
    // "Importer" on a folder; the message it ended with.
    static QString import(const std::string& folder, bool subFolders)
    {
        ui::Dialogs::clearScript();
        Form7->DirectoryListBox1->setDirectory(folder);
        Form7->CheckBox1->setChecked(subFolders);
        Form7->Button2Click();
        return ui::Dialogs::shown().size() == 1 ? ui::Dialogs::shown()[0].text : QStringLiteral("?");
    }
};

QJsonArray textFrame(const char* id, int encoding, const QString& text) { return {id, encoding, QJsonArray{text}}; }

TEST_F(Import, EachFileGetsWhatItsId3v1TagSaysBetter)
{
    gen::Id3v1Spec full = v1("Titre1", 5, 0);
    full.album = "";  // an empty ID3v1 field says nothing
    gen::TagTexts longComment = fullTexts("Titre");
    longComment.comment = "Une remarque bien plus longue que trente signes";
    const gen::Id3v1Spec agreeing{"Titre", "Artiste", "Album", "1999", longComment.comment.substr(0, 28), 3, 17};
    gen::Id3v1Spec windows = v1("Don\x92t Stop\x85");
    windows.artist = "C\x9cur de pirate";
    windows.album = "Live\tau Z\xe9nith";
    windows.comment = "a\tb";
    struct Case {
        const char* name;
        std::string bytes;
        Strings expected;  // {"same"}: byte-identical
        // Else the file is written by mutagen: its ID3v2 tag of these frames and the ID3v1.1
        // block mutagen makes of them (texts cut to 30, "?" for what ISO-8859-1 cannot hold, no
        // comment, track 0 for none).
        int version = 0;
        QJsonArray frames = {};
    };
    const Case cases[] = {
        {"ID3v1.1 over a whole tag",
         withTags(gen::Id3v2Spec{fullTexts("Ancien"), {}, 0}, full),
         {"COMM=ENG//Com", "TALB=Album", "TCON=Blues", "TIT2=Titre1", "TPE1=Art Titre1", "TRCK=5", "TYER=1999"}},
        {"ID3v1.0 and no genre, no ID3v2 tag",
         withTags(std::nullopt, v1("Deux")),
         {"COMM=ENG//Com", "TIT2=Deux", "TPE1=Art Deux", "TYER=1999"}},
        {"no ID3v1 tag",
         withTags(gen::Id3v2Spec{fullTexts("Titre"), {{"TCOM", std::string(1, '\0') + "Auteur"}}, 0}, std::nullopt),
         {"same"}},
        {"a title not read whole is kept",
         withTags(gen::Id3v2Spec{texts("A", ""), {{"TIT2", std::string("\0Un\0Deux", 8)}}, 0}, v1("Omega", 2, 17)),
         {"COMM=ENG//Com", "TCON=Rock", "TIT2=Un/Deux", "TPE1=Art Omega", "TRCK=2", "TYER=1999"}},
        {"genre 147, past the list",
         withTags(std::nullopt, v1("G", 1, 147)),
         {"COMM=ENG//Com", "TCON=Synthpop", "TIT2=G", "TPE1=Art G", "TRCK=1", "TYER=1999"}},
        {"mutagen's block beside its ID3v2.3 tag: cut titles, a track of four, a French comment",
         {},
         {"same"},
         3,
         {textFrame("TIT2", 1, QStringLiteral("Don\u2019t Stop Me Now (Live at Wembley Stadium, 1986)")),
          textFrame("TPE1", 1, QStringLiteral("Dvo\u0159\u00e1k Quartet")), textFrame("TYER", 0, "1999"),
          textFrame("TRCK", 0, "4/4"), textFrame("TCON", 0, "Chanson"),
          QJsonArray{"COMM", 1, "fra", "", QStringLiteral("Une remarque en fran\u00e7ais")}}},
        {"mutagen's block without a track beside its ID3v2.4 tag in UTF-8",
         {},
         {"same"},
         4,
         {textFrame("TIT2", 3, QStringLiteral("l\u2019\u00e9t\u00e9 \u2013 live")),
          textFrame("TPE1", 3, QStringLiteral("C\u0153ur de pirate")), textFrame("TDRC", 3, "1999-05-12")}},
        {"an ID3v1.1 block that agrees: the comment cut to 28, track 3 of 12, the genre by name",
         withTags(gen::Id3v2Spec{longComment, {}, 0}, agreeing),
         {"same"}},
        {"Windows punctuation and a tab, whole",
         withTags(std::nullopt, windows),
         {"COMM=ENG//a\tb", "TALB=Live\tau Z\u00e9nith", "TIT2=Don\u2019t Stop\u2026~1", "TPE1=C\u0153ur de pirate~1",
          "TYER=1999"}},
    };
    std::filesystem::create_directories(folder_ + "/sous");
    const std::string below = put("sous/below.mp3", withTags(std::nullopt, v1("Sous")));
    const std::string belowBefore = readBytes(below);
    std::vector<std::string> paths, before;
    for (const Case& c : cases) {
        const std::string name = std::to_string(paths.size()) + ".mp3";
        paths.push_back(c.version ? putUntagged(name) : put(name, c.bytes));
        if (c.version) {
            EXPECT_TRUE(runProbe({"write", probeName(paths.back()), QString::number(c.version),
                                  QString::fromUtf8(QJsonDocument(c.frames).toJson(QJsonDocument::Compact)), "v1"}));
        }
        before.push_back(readBytes(paths.back()));
    }
    const std::string unread = frameBytes(paths[3], "TIT2");

    // The file whose title was kept is named.
    const QString kept =
        QStringLiteral("Importation Terminée\r\n\r\nDans ces fichiers, les champs ID3V2 qui n'ont pas pu "
                       "être lus entièrement ont été gardés tels quels :\r\n") +
        QString::fromStdString(paths[3]) + QStringLiteral(" (titre)");
    EXPECT_EQ(import(folder_, false), kept);
    EXPECT_EQ(ui::Dialogs::shown()[0].caption, QStringLiteral("Sonoverne"));
    EXPECT_FALSE(Form7->isVisible());
    EXPECT_EQ(Form7->ListBox1->Count(), int(std::size(cases)));
    EXPECT_EQ(Form7->ProgressBar1->Max(), int(std::size(cases)) - 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        if (cases[i].expected == Strings{"same"}) {
            EXPECT_EQ(readBytes(paths[i]), before[i]);
        } else {
            EXPECT_EQ(frames(paths[i]), cases[i].expected);
        }
    }
    EXPECT_EQ(frameBytes(paths[3], "TIT2"), unread);
    EXPECT_EQ(readBytes(below), belowBefore);  // sub-folders only when asked

    // A second import works on its own walk only: the first folder's files keep what was
    // written to them in between.
    Tid3v2tag edit;
    ASSERT_LT(edit.LoadFromFile(paths[0], 0), 0x0100);
    edit.SetTextFrame("TIT2", "Retouche");
    ASSERT_LT(edit.SaveToFile("=", 255, 255, -1), 0x0100);
    Form7->Show();
    EXPECT_EQ(import(folder_ + "/sous", true), QStringLiteral("Importation Terminée"));
    EXPECT_THAT(items(Form7->ListBox1), ElementsAre(below));
    EXPECT_EQ(frames(below), (Strings{"COMM=ENG//Com", "TIT2=Sous", "TPE1=Art Sous", "TYER=1999"}));
    EXPECT_THAT(frames(paths[0]), ::testing::Contains("TIT2=Retouche"));

    // With the sub-folders, the walk takes them too, and tells what it could not read; an empty
    // folder imports nothing. The tabs the first import carried are no text to the tag library:
    // those fields are kept.
    const sonoverne::test::DeepTree cleanup(folder_ + "/profond");
    const std::string deep = sonoverne::test::deepPath(folder_ + "/profond", PATH_MAX);
    ASSERT_TRUE(sonoverne::test::writeDeep(deep + "/f.mp3", withTags(std::nullopt, v1("Loin"))));
    Form7->Show();
    const QString done = QStringLiteral("Importation Terminée\r\n\r\n");
    EXPECT_EQ(import(folder_, true), done + toldTooLong(deep) + "\r\n\r\n" + kept.mid(done.size()) +
                                         QStringLiteral("\r\n") + QString::fromStdString(paths[8]) +
                                         QStringLiteral(" (album, commentaire)"));
    EXPECT_EQ(Form7->ListBox1->Count(), int(std::size(cases)) + 1);
    std::filesystem::create_directories(folder_ + "/vide");
    Form7->Show();
    EXPECT_EQ(import(folder_ + "/vide", true), QStringLiteral("Importation Terminée"));
    EXPECT_EQ(Form7->ListBox1->Count(), 0);
}

// Delivers itself again at every pass of the event loop and presses a button the first time
// `when` holds.
class Presser : public QObject {
public:
    Presser(std::function<bool()> when, QPushButton* button) : when_(std::move(when)), button_(button) { post(); }
    bool pressed = false;
    bool shownAfter = false;  // the button's window, just after the press

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User) return QObject::event(e);
        if (when_()) {
            pressed = true;
            button_->click();
            shownAfter = button_->window()->isVisible();
        } else {
            post();
        }
        return true;
    }

private:
    void post() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
    std::function<bool()> when_;
    QPushButton* button_;
};

TEST_F(Import, StopAndCancelDuringTheWalkAndDuringTheImport)
{
    struct Case {
        const char* name;
        bool duringWalk;
        bool stop;  // "STOP", else "Annuler"
        QString message;
        int listed, imported;
        bool open;
    };
    const Case cases[] = {
        {"STOP during the walk", true, true, QStringLiteral("Annulé"), 3, 0, true},
        {"Annuler during the walk", true, false, QStringLiteral("Importation Terminée"), 1, 1, false},
        {"STOP during the import", false, true, QStringLiteral("Annulé"), 3, 1, true},
        {"Annuler during the import", false, false, QStringLiteral("Importation Terminée"), 3, 3, false},
    };
    int serial = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = folder_ + "/" + std::to_string(++serial);
        std::filesystem::create_directories(dir);
        std::map<std::string, std::string> before;
        for (const char* name : {"a", "b", "c"}) {
            const std::string bytes = withTags(std::nullopt, v1(name));
            before[put(std::to_string(serial) + "/" + name + ".mp3", bytes)] = bytes;
        }
        QPushButton* button = c.stop ? Form7->Button3 : Form7->Button1;
        const TScruteEvent walked = Form7->ScruteDossier1.OnFichier;
        std::unique_ptr<Presser> presser;
        bool shownAfter = false;
        if (c.duringWalk) {
            Form7->ScruteDossier1.OnFichier = [&](TScruteDossier* sender, const std::string& name) {
                walked(sender, name);
                if (Form7->ListBox1->Count() != 1) return;
                button->click();
                shownAfter = Form7->isVisible();
            };
        } else {
            // Once the first file is done, at the loop's next pass.
            presser = std::make_unique<Presser>([] { return Form7->ListBox1->currentRow() == 0; }, button);
        }
        Form7->Show();
        Form7->Button3->click();  // a STOP while nothing runs is forgotten by the next import
        const QString message = import(dir, false);
        Form7->ScruteDossier1.OnFichier = walked;
        EXPECT_TRUE(!presser || presser->pressed);
        // Neither button closes the window while the run goes on.
        EXPECT_TRUE(presser ? presser->shownAfter : shownAfter);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(Form7->ListBox1->Count(), c.listed);
        EXPECT_EQ(Form7->isVisible(), c.open);
        EXPECT_FALSE(Form7->ImportStopFlag);
        int imported = 0;
        for (int i = 0; i < Form7->ListBox1->Count(); ++i) {
            const bool changed = readBytes(Form7->ListBox1->Item(i)) != before[Form7->ListBox1->Item(i)];
            EXPECT_EQ(changed, i < c.imported) << i;
            imported += changed;
        }
        EXPECT_EQ(imported, c.imported);
    }
}

TEST_F(Import, TheGenreListHasTheEmptyItemThenTheNamesInOrder)
{
    ASSERT_EQ(Form7->ID3genre->count(), 149);
    const std::pair<int, const char*> spots[] = {
        {0, ""}, {1, "A Cappella"}, {18, "Blues"}, {44, "Drum & Base"}, {148, "Vocal"}};
    for (const auto& [index, name] : spots) EXPECT_EQ(Form7->ID3genre->itemText(index), QString::fromLatin1(name));
    for (int genre = 0; genre < 148; ++genre) EXPECT_NE(GenreToIndex(uint8_t(genre)), 0) << genre;
}

// --- Track renumbering ------------------------------------------------------------------------------

TEST_F(Tools, GoNumbersTheListInItsOrder)
{
    gen::TagTexts c = fullTexts("C");
    const std::string cPath = putTagged("c.mp3", c);
    const std::string aPath = putUntagged("a.mp3");
    // A name with a line break shows on one line.
    const std::string bPath = put("b\r\n2.mp3", unreadableTag());
    Strings list{cPath, aPath, bPath};
    for (int i = 4; i <= 10; ++i) list.push_back(putTagged("d" + std::to_string(i) + ".mp3", texts("D", "T")));
    list.push_back(cPath);  // listed twice: it ends with its last number
    const std::string bBefore = readBytes(bPath);

    Form25->Show();
    for (const std::string& path : list) Form25->ListBox1->Add(path);
    ui::Dialogs::clearScript();
    Form25->Button2Click();
    ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
    // The ID3v2.2 tag, which the library does not read, is not replaced, and named.
    EXPECT_EQ(ui::Dialogs::shown()[0].text,
              QStringLiteral("Incrémentation terminée, pensez à rafraichir la liste !\r\n\r\n"
                             "Les tags de ces fichiers n'ont pas pu être enregistrés :\r\n") +
                  QString::fromStdString(bPath).replace(QStringLiteral("\r\n"), QStringLiteral("⏎⏎")) +
                  QStringLiteral(" (cette version de tag ne peut pas être remplacée)"));
    EXPECT_EQ(ui::Dialogs::shown()[0].caption, QStringLiteral("Terminé"));
    EXPECT_FALSE(Form25->isVisible());
    EXPECT_EQ(Form25->ProgressBar1->Position(), 0);  // closing sets it back

    Strings cFrames = Full;
    std::replace(cFrames.begin(), cFrames.end(), std::string("TRCK=3/12"), std::string("TRCK=11"));
    std::replace(cFrames.begin(), cFrames.end(), std::string("TIT2=Titre"), std::string("TIT2=C"));
    EXPECT_EQ(frames(cPath), cFrames);
    EXPECT_EQ(frames(aPath), Strings{"TRCK=2"});
    EXPECT_EQ(readBytes(bPath), bBefore);
    EXPECT_EQ(frames(list[3]), (Strings{"TIT2=T", "TPE1=D", "TRCK=4"}));
    EXPECT_EQ(frames(list[9]), (Strings{"TIT2=T", "TPE1=D", "TRCK=10"}));

    // An empty list: the message, then the window closes.
    Form25->Show();
    ui::Dialogs::clearScript();
    Form25->Button2Click();
    EXPECT_EQ(ui::Dialogs::shown().size(), 1u);
    EXPECT_FALSE(Form25->isVisible());
}

// --- Progress during a run --------------------------------------------------------------------------

// Records, at each paint of a widget, what `state` says then.
class PaintLog : public QObject {
public:
    PaintLog(QWidget* widget, std::function<int()> state) : state_(std::move(state))
    {
        widget->installEventFilter(this);
    }
    std::vector<int> seen;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) seen.push_back(state_());
        return false;
    }

private:
    std::function<int()> state_;
};

// The runs process no messages: the bar is painted at every entry that changes its drawing, in
// short runs and long ones; the highlighted entry at each entry of a short run, and in a long
// one at least as it starts and at its last entry.
TEST_F(Tools, RunsPaintTheirProgressAtEachEntry)
{
    struct Case {
        PickerForm* form;
        std::function<void()> run;
        bool selects;
        int entries;
    };
    const Case cases[] = {
        {Form6, [] { Form6->Button5Click(); }, true, 3},
        {Form25, [] { Form25->Button2Click(); }, false, 3},
        {Form6, [] { Form6->Button5Click(); }, true, 240},
    };
    std::vector<std::string> files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form->Caption().toStdString() + " " + std::to_string(c.entries));
        c.form->Show();
        for (int i = int(files.size()); i < c.entries; ++i)
            files.push_back(putTagged("f" + std::to_string(i) + ".mp3", texts("A", "T")));
        for (int i = 0; i < c.entries; ++i) c.form->ListBox1->Add(files[size_t(i)]);
        QCoreApplication::processEvents();
        ui::ProgressBar* progress = c.form->ProgressBar1;
        // Every drawing the run's positions give, as the bar computes it from its blocks.
        std::set<int> drawings;
        const int max = c.entries - 1;
        for (int i = 0; i < c.entries; ++i) drawings.insert(int(static_cast<long long>(i) * progress->Blocks() / max));
        drawings.erase(0);  // the empty bar is already on the screen
        PaintLog bar(progress, [&] { return progress->value(); });
        PaintLog list(c.form->ListBox1->viewport(), [&] { return c.form->ListBox1->currentRow(); });
        c.run();
        EXPECT_THAT(bar.seen, ::testing::IsSupersetOf(drawings));
        if (!c.selects) {
            EXPECT_THAT(list.seen, IsEmpty());
        } else if (c.entries <= 50) {
            EXPECT_THAT(list.seen, ::testing::IsSupersetOf({1, 2}));
        } else {
            EXPECT_THAT(list.seen, ::testing::IsSupersetOf({0, max}));
        }
    }
}

// --- What a batch run could not save --------------------------------------------------------------

// A tmpfs mounted over a folder for one case, unmounted when done.
struct SmallDisk {
    std::string dir;
    bool mounted = false;
    explicit SmallDisk(std::string at) : dir(std::move(at))
    {
        mounted = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=256k") == 0;
    }
    // Fills what is left, so that any file that must grow finds no room.
    void fill() const
    {
        std::FILE* out = std::fopen((dir + "/plein.bin").c_str(), "wb");
        static const char block[4096] = {};
        while (out && std::fwrite(block, 1, sizeof block, out) == sizeof block && std::fflush(out) == 0) {}
        if (out) std::fclose(out);
    }
    ~SmallDisk()
    {
        if (mounted) ::umount(dir.c_str());
    }
};

// Every batch tool on two files, the second made to fail: read-only, a save that must grow under a
// file-size limit or on a full disk, or removed once the run has begun. The run ends on the
// tool's own text and names that file with why; the first file is done, the second left as it was.
TEST_F(Tools, BatchRunsNameEveryFileTheyCouldNotSave)
{
    enum Fault { ReadOnly, SizeLimit, FullDisk, Removed };
    const QString notSaved = QStringLiteral("Les tags de ces fichiers n'ont pas pu être enregistrés :\r\n");
    struct Tool {
        const char* name;
        PickerForm* picker;  // null: the import, which walks its folder
        std::function<void()> run;
        bool tagged;          // the file to fail has a tag, else it gets one
        bool grows;           // its save must make it longer
        std::string okFrame;  // what mutagen reads in the file that was done
        QString caption, head;
    };
    const Tool tools[] = {
        {"formatting", Form13,
         [] {
             Form13->RadioButton2->setChecked(true);
             Form13->Button7Click();
         },
         true, false, "TIT2=TITRE", QStringLiteral("Sonoverne"),
         QStringLiteral(
             "Formatage Terminé\r\nPensez à la validation des tags\r\nPensez à rafraîchir la liste\r\n\r\n")},
        {"validation", Form14,
         [] {
             Form14->CheckBox1->setChecked(true);
             Form14->Edit1->setText(QStringLiteral("__"));
             Form14->Button7Click();
         },
         true, true, "TIT2=a__b", QStringLiteral("Sonoverne"),
         QStringLiteral("Validation des tags Terminée\r\nPensez à rafraîchir la liste\r\n\r\n")},
        {"renumbering", Form25, [] { Form25->Button2Click(); }, false, true, "TRCK=1", QStringLiteral("Terminé"),
         QStringLiteral("Incrémentation terminée, pensez à rafraichir la liste !\r\n\r\n")},
        {"multi-file editor", Form6,
         [] {
             Form6->CheckBox1->setChecked(true);
             Form6->id3title->setText("Neuf");
             Form6->Button5Click();
         },
         false, true, "TIT2=Neuf", QStringLiteral("Sonoverne"),
         QStringLiteral("Modification terminée\r\nCertains tags n'ont pu etres correctement enregistrés\r\n"
                        "Pensez à rafraîchir la liste\r\n\r\n")},
        {"import", nullptr, [] { Form7->Button2Click(); }, false, true, "TIT2=Un", QStringLiteral("Sonoverne"),
         QStringLiteral("Importation Terminée\r\n\r\n")},
    };
    const struct {
        Fault fault;
        const char* name;
        QString why;
    } faults[] = {
        {ReadOnly, "read-only", QStringLiteral("le fichier est protégé en écriture")},
        {SizeLimit, "file-size limit", QStringLiteral("erreur d'écriture")},
        {FullDisk, "full disk", QStringLiteral("erreur d'écriture")},
        {Removed, "removed during the run", QStringLiteral("le fichier est introuvable ou ne peut pas être ouvert")},
    };
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    int serial = 0;
    for (const Tool& tool : tools) {
        for (const auto& f : faults) {
            // A save that stays in place is not stopped by a lack of room.
            if (!tool.grows && (f.fault == SizeLimit || f.fault == FullDisk)) continue;
            if (f.fault == FullDisk && ::geteuid() != 0) continue;  // a small disk is mounted as root only
            SCOPED_TRACE(std::string(tool.name) + ", " + f.name);
            const std::string sub = std::to_string(++serial);
            const std::string dir = folder_ + "/" + sub;
            std::filesystem::create_directories(dir);
            std::optional<SmallDisk> disk;
            if (f.fault == FullDisk) {
                disk.emplace(dir);
                ASSERT_TRUE(disk->mounted);
            }
            // The file done has room in its tag; the one to fail has none, and more audio than the
            // other file will ever hold, for the size limit.
            gen::Mp3Spec okSpec, badSpec;
            if (!tool.picker) {
                okSpec.id3v1 = v1("Un");
                badSpec.id3v1 = v1("Deux");
            }
            okSpec.id3v2 = gen::Id3v2Spec{texts("Art", tool.picker == Form13 ? "titre" : "a|b"), {}, 256};
            if (tool.tagged) badSpec.id3v2 = gen::Id3v2Spec{texts("Art", "c|d"), {}, 0};
            okSpec.audio = gen::SilentFrames(4);
            badSpec.audio = gen::SilentFrames(60);
            const std::string ok = put(sub + "/a.mp3", gen::Mp3Bytes(okSpec));
            // Its size a whole number of pages: on the full disk, any growth needs one more.
            std::string badBytes = gen::Mp3Bytes(badSpec);
            const size_t end = badBytes.size() - (badSpec.id3v1 ? 128 : 0);
            badBytes.insert(end, (4096 - badBytes.size() % 4096) % 4096, '\0');
            const std::string bad = put(sub + "/b.mp3", badBytes);
            const std::string badBefore = readBytes(bad);
            if (disk) disk->fill();
            if (f.fault == ReadOnly) std::filesystem::permissions(bad, std::filesystem::perms::owner_read);

            if (tool.picker) {
                tool.picker->Show();
                tool.picker->ListBox1->Clear();
                tool.picker->ListBox1->Add(ok);
                tool.picker->ListBox1->Add(bad);
                QCoreApplication::processEvents();  // on the screen, so that the bar paints
            } else {
                Form7->Show();
                Form7->CheckBox1->setChecked(false);
                Form7->DirectoryListBox1->setDirectory(dir);
            }
            if (tool.picker == Form6)
                for (QCheckBox* box : {Form6->CheckBox2, Form6->CheckBox3, Form6->CheckBox4, Form6->CheckBox5,
                                       Form6->CheckBox6, Form6->CheckBox7})
                    box->setChecked(false);
            // Removed: as the bar shows the second entry, or once the walk has listed it.
            std::unique_ptr<PaintLog> hook;
            const TScruteEvent walked = Form7->ScruteDossier1.OnFichier;
            if (f.fault == Removed && tool.picker) {
                ui::ProgressBar* bar = tool.picker->ProgressBar1;
                hook = std::make_unique<PaintLog>(bar, [bar, bad] {
                    if (bar->Position() == 1) std::filesystem::remove(bad);
                    return 0;
                });
            } else if (f.fault == Removed) {
                Form7->ScruteDossier1.OnFichier = [&](TScruteDossier* sender, const std::string& name) {
                    walked(sender, name);
                    if (name == bad) std::filesystem::remove(bad);
                };
            }
            ui::Dialogs::clearScript();
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            if (f.fault == SizeLimit) {
                rlimit small = saved;
                small.rlim_cur = badBefore.size() + 1;
                ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
            }
            ASSERT_TRUE(exists(bad));
            tool.run();
            setrlimit(RLIMIT_FSIZE, &saved);
            hook.reset();
            Form7->ScruteDossier1.OnFichier = walked;
            if (f.fault == ReadOnly)
                std::filesystem::permissions(bad, std::filesystem::perms::owner_write,
                                             std::filesystem::perm_options::add);

            ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
            const ui::ShownBox& box = ui::Dialogs::shown()[0];
            EXPECT_EQ(box.caption, tool.caption);
            EXPECT_EQ(box.flags, unsigned(ui::MB_OK | ui::MB_ICONWARNING));
            EXPECT_EQ(box.text, tool.head + notSaved + QString::fromStdString(bad) + " (" + f.why + ")");
            EXPECT_THAT(frames(ok), ::testing::Contains(tool.okFrame));
            if (f.fault == Removed) {
                EXPECT_FALSE(exists(bad));
            } else {
                EXPECT_TRUE(readBytes(bad) == badBefore);
            }
            if (tool.picker) tool.picker->Hide();
            else Form7->Hide();
        }
    }
    std::signal(SIGXFSZ, oldSignal);
    Form14->CheckBox1->setChecked(false);
    Form6->CheckBox1->setChecked(false);
}

// A file no tool may write: an empty one (no MP3 at all), an ID3v2.2 tag, which the library does
// not read, and a tag whose size runs past the end of the file. Every tool that writes tags leaves
// it as it was and gives the same reason for it.
TEST_F(Tools, EveryToolGivesOneReasonForAFileItMayNotWrite)
{
    const std::string block = gen::Id3v1Block(v1("Un"));  // something for the import to take
    std::string past = withTags(gen::Id3v2Spec{texts("Art", "Titre"), {}, 0}, v1("Un"));
    past[6] = 0x7f;
    const struct {
        const char* name;
        std::string bytes;
        QString why;
    } files[] = {
        {"empty", "", QStringLiteral("le fichier est vide")},
        {"ID3v2.2", unreadableTag() + block, QStringLiteral("cette version de tag ne peut pas être remplacée")},
        {"past the end", past, QStringLiteral("le tag existant n'a pas pu être lu, il n'est pas remplacé")},
    };
    const QString notSaved = QStringLiteral("\r\n\r\nLes tags de ces fichiers n'ont pas pu être enregistrés :\r\n");
    const struct {
        const char* name;
        PickerForm* picker;  // null: the import or the single-file editor
        std::function<void(const std::string&)> run;
        QString head;  // what precedes the file's path
    } tools[] = {
        {"formatting", Form13, [](const std::string&) { Form13->Button7Click(); },
         QStringLiteral("Formatage Terminé\r\nPensez à la validation des tags\r\nPensez à rafraîchir la liste") +
             notSaved},
        {"validation", Form14, [](const std::string&) { Form14->Button7Click(); },
         QStringLiteral("Validation des tags Terminée\r\nPensez à rafraîchir la liste") + notSaved},
        {"renumbering", Form25, [](const std::string&) { Form25->Button2Click(); },
         QStringLiteral("Incrémentation terminée, pensez à rafraichir la liste !\r\n\r\n"
                        "Les tags de ces fichiers n'ont pas pu être enregistrés :\r\n")},
        {"multi-file editor", Form6,
         [](const std::string&) {
             for (QCheckBox* box : {Form6->CheckBox1, Form6->CheckBox2, Form6->CheckBox3, Form6->CheckBox4,
                                    Form6->CheckBox5, Form6->CheckBox6, Form6->CheckBox7})
                 box->setChecked(box == Form6->CheckBox1);
             Form6->id3title->setText("Neuf");
             Form6->Button5Click();
         },
         QStringLiteral("Modification terminée\r\nCertains tags n'ont pu etres correctement enregistrés\r\n"
                        "Pensez à rafraîchir la liste") +
             notSaved},
        {"import", nullptr,
         [](const std::string& path) {
             Form7->Show();
             Form7->CheckBox1->setChecked(false);
             Form7->DirectoryListBox1->setDirectory(platform::folderPart(path));
             Form7->Button2Click();
             Form7->Hide();
         },
         QStringLiteral("Importation Terminée") + notSaved},
        {"single-file editor", nullptr,
         [](const std::string& path) {
             Form4->setFileName(path);
             Form4->FormShow();
             Form4->titreEdit->setText("Neuf");
             Form4->Button1Click();
             Form4->Button2Click();
         },
         QStringLiteral("Les tags du fichier ")},
    };
    int serial = 0;
    for (const auto& tool : tools) {
        for (const auto& file : files) {
            SCOPED_TRACE(std::string(tool.name) + ", " + file.name);
            const std::string sub = std::to_string(++serial);
            std::filesystem::create_directories(folder_ + "/" + sub);
            // A line break in the name stays on the message's line.
            const std::string path = put(sub + "/f\n.mp3", file.bytes);
            if (tool.picker) {
                tool.picker->Show();
                tool.picker->ListBox1->Clear();
                tool.picker->ListBox1->Add(path);
            }
            ui::Dialogs::clearScript();
            tool.run(path);
            if (tool.picker) tool.picker->Hide();
            QString expected = tool.head + QString::fromStdString(path).replace('\n', QStringLiteral("⏎"));
            expected += tool.picker || tool.head.startsWith(QLatin1String("Import"))
                            ? QStringLiteral(" (") + file.why + QLatin1Char(')')
                            : QStringLiteral(" n'ont pas été enregistrés : ") + file.why + QLatin1Char('.');
            ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
            EXPECT_EQ(ui::Dialogs::shown()[0].text, expected);
            EXPECT_TRUE(readBytes(path) == file.bytes);
        }
    }
    Form6->CheckBox1->setChecked(false);
}

// --- Text files: the playlist and the text list ---------------------------------------------------

// Each saved over an earlier file that a failed save must leave whole: on a full disk, past a
// file-size limit, or read-only (made so by its user, which holds for the superuser too). The
// error box gives the French reason and the name on one line; nothing is left beside; the
// playlist asks no question and the text list stays open.
TEST_F(Tools, TextFileSavesThatFailKeepTheEarlierFile)
{
    enum Fault { FullDisk, SizeLimit, ReadOnly };
    const struct {
        Fault fault;
        const char* name;
        QString why;
    } faults[] = {
        {FullDisk, "full disk", QStringLiteral("Plus de place sur le disque")},
        {SizeLimit, "file-size limit", QStringLiteral("Fichier trop volumineux")},
        {ReadOnly, "read-only", QStringLiteral("Fichier protégé en écriture")},
    };
    const std::string a = putTagged("a.mp3", texts("X", "Y"));
    walk();
    const struct {
        const char* name;
        const char* file;
        std::function<void()> save;
    } saves[] = {
        {"playlist", "liste\n.m3u",
         [&] {
             select({a});
             Form1->CrerunePlaylist1->trigger();
         }},
        {"text list", "liste\n.txt",
         [] {
             Form10->Show();
             Form10->setMemoText("Art - Un\r\nArt - Deux\r\n");
             Form10->Button1->click();
         }},
    };
    const std::string earlier = "ancienne liste";
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    int serial = 0;
    for (const auto& save : saves) {
        for (const auto& f : faults) {
            if (f.fault == FullDisk && ::geteuid() != 0) continue;  // a small disk is mounted as root only
            SCOPED_TRACE(std::string(save.name) + ", " + f.name);
            const std::string dir = tempRoot + "/saves" + std::to_string(++serial);
            std::filesystem::create_directories(dir);
            std::optional<SmallDisk> disk;
            if (f.fault == FullDisk) {
                disk.emplace(dir);
                ASSERT_TRUE(disk->mounted);
            }
            const std::string target = dir + "/" + save.file;
            gen::WriteFile(target, earlier);
            if (disk) disk->fill();
            if (f.fault == ReadOnly) std::filesystem::permissions(target, std::filesystem::perms::owner_read);
            const Strings before = [&] {
                Strings names;
                for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
                return names;
            }();

            ui::Dialogs::clearScript();
            ui::Dialogs::pushFileName(platform::toDisplay(target));
            ui::Dialogs::pushAnswer(ui::IDNO);
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            if (f.fault == SizeLimit) {
                rlimit small = saved;
                small.rlim_cur = earlier.size();
                ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
            }
            save.save();
            setrlimit(RLIMIT_FSIZE, &saved);

            ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
            const ui::ShownBox& box = ui::Dialogs::shown()[0];
            EXPECT_EQ(box.flags, unsigned(ui::MB_OK | ui::MB_ICONERROR));
            EXPECT_EQ(box.text, QStringLiteral("Impossible d'écrire le fichier ") +
                                    platform::toDisplay(target).replace('\n', QStringLiteral("⏎")) + " : " + f.why +
                                    ".");
            EXPECT_EQ(readBytes(target), earlier);
            Strings after;
            for (const auto& e : std::filesystem::directory_iterator(dir)) after.push_back(e.path().filename());
            EXPECT_THAT(after, ::testing::UnorderedElementsAreArray(before));
            if (f.fault == ReadOnly) {
                EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms::owner_read);
            }
            if (save.file == std::string("liste\n.txt")) { EXPECT_TRUE(Form10->isVisible()); }
        }
    }
    std::signal(SIGXFSZ, oldSignal);
    Form10->Hide();
}

// --- Pictures for the eye ---------------------------------------------------------------------------

TEST_F(Tools, PicturesOfTheToolWindows)
{
    const std::string a = putTagged("01 - Ouverture.mp3", texts("A", "T"));
    const std::string b = putTagged("02 - Valse lente.mp3", texts("A", "T"));
    const std::string c = putTagged("03 - Final.mp3", texts("A", "T"));
    Form6->Show();
    for (const std::string& path : {a, b, c}) Form6->ListBox1->Add(path);
    Form6->CheckBox3->setChecked(true);
    Form6->id3album->setText("Suite pour orchestre");
    Form6->CheckBox4->setChecked(true);
    Form6->id3year->setText("1998");
    Form25->Show();
    for (const std::string& path : {c, a, b}) Form25->ListBox1->Add(path);
    // Half-way through a run, as the user sees it.
    Form25->ProgressBar1->setMax(2);
    Form25->ProgressBar1->setPosition(1);
    Form7->Show();
    const std::pair<ui::Form*, const char*> windows[] = {{Form6, "tform6"}, {Form7, "tform7"}, {Form25, "tform25"}};
    for (const auto& [form, name] : windows) {
        QCoreApplication::processEvents();
        const QImage picture = form->grab().toImage();
        EXPECT_FALSE(picture.isNull());
        EXPECT_TRUE(picture.save(QString::fromStdString(tempRoot + "/" + name + ".png")));
        EXPECT_TRUE(picture.save(QStringLiteral(SCREENSHOT_FOLDER "/") + QLatin1String(name) + QStringLiteral(".png")));
        form->Hide();
    }
    Form6->CheckBox3->setChecked(false);
    Form6->CheckBox4->setChecked(false);
}

}  // namespace
