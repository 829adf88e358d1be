// The year of ID3v2.4 tags, which mutagen and the taggers built on it keep in the time stamp
// "TDRC": every window that shows or sets the year, on files tagged by mutagen and read back by it.
#include "CommandsTest.h"

#include "Dialogs.h"
#include "FileSystem.h"
#include "Unit1.h"
#include "Unit14.h"
#include "Unit4.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"
#include "variable.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <filesystem>
#include <fstream>

using namespace cmdtest;

namespace fs = std::filesystem;

namespace {

enum class Window { List, Editor, Multi, Import, Renaming, Validation };

// A text frame as mutagen read it untranslated: "encoding:text", or "-" when missing.
QString frameOf(const QJsonObject& dump, const char* id)
{
    const QJsonObject v2 = dump.value("v2").toObject();
    if (!v2.contains(QLatin1String(id))) return QStringLiteral("-");
    const QJsonArray f = v2.value(QLatin1String(id)).toArray();
    return QString::number(f.at(0).toInt()) + QLatin1Char(':') + f.at(1).toString();
}

QJsonArray text(const char* id, int encoding, const char* value) { return {id, encoding, QJsonArray{value}}; }

class TagYear : public Collection {
protected:
    void TearDown() override
    {
        Form6->Hide();
        Form7->Hide();
        Collection::TearDown();
    }
};

TEST_F(TagYear, EveryWindowSeesAndSetsTheYearMutagenReads)
{
    const QJsonArray title = text("TIT2", 3, "Titre");
    const QJsonArray stamp = text("TDRC", 3, "1999-05-12");
    struct Case {
        const char* name;
        int version;
        QJsonArray frames;
        Window window;
        // The year the user types (editor), ticks (multi-file editor) or the ID3v1 tag holds
        // (import); nullptr: the window is left as it opened.
        const char* set;
        const char* seen;  // the year in the list row, the editor's field or the new name; "-": not shown
        const char* tdrc;  // afterwards, as frameOf gives it
        const char* tyer;
    };
    // A time stamp beside a "TYER" of another year, as other taggers may leave them; and a lone "TYER".
    const QJsonArray both{title, stamp, text("TYER", 3, "2001")};
    const QJsonArray lone{title, text("TYER", 3, "1987")};
    const Case cases[] = {
        {"list row, a full time stamp", 4, {title, stamp}, Window::List, nullptr, "1999", "3:1999-05-12", "-"},
        {"list row, the stamp before a TYER", 4, both, Window::List, nullptr, "1999", "3:1999-05-12", "3:2001"},
        {"list row, a lone TYER", 4, lone, Window::List, nullptr, "1987", "-", "3:1987"},
        {"list row, an ID3v2.3 tag", 3, {title, text("TYER", 0, "1987")}, Window::List, nullptr, "1987", "-", "0:1987"},
        {"editor, the same year keeps the date",
         4,
         {title, stamp},
         Window::Editor,
         nullptr,
         "1999",
         "3:1999-05-12",
         "-"},
        {"editor, a new year replaces it", 4, {title, stamp}, Window::Editor, "2004", "1999", "0:2004", "-"},
        {"editor, an empty year removes it", 4, {title, stamp}, Window::Editor, "", "1999", "-", "-"},
        {"editor, OK without an edit keeps both frames", 4, both, Window::Editor, nullptr, "1999", "3:1999-05-12",
         "3:2001"},
        {"editor, another year sets the stamp alone", 4, both, Window::Editor, "2004", "1999", "0:2004", "-"},
        {"editor, an empty year removes both", 4, both, Window::Editor, "", "1999", "-", "-"},
        {"editor, an ID3v2.3 tag", 3, {title, text("TYER", 0, "1987")}, Window::Editor, "2004", "1987", "-", "0:2004"},
        {"multi-file editor, a contradicting TYER goes", 4, both, Window::Multi, "2004", "-", "0:2004", "-"},
        {"multi-file editor, the year already there keeps both", 4, both, Window::Multi, "1999", "-", "3:1999-05-12",
         "3:2001"},
        {"import of the ID3v1 year", 4, {title, stamp}, Window::Import, "2004", "-", "0:2004", "-"},
        {"import of the year a lone TYER holds", 4, lone, Window::Import, "1987", "-", "-", "3:1987"},
        {"renaming by year", 4, both, Window::Renaming, nullptr, "1999", "3:1999-05-12", "3:2001"},
        {"validation keeps the date", 4, both, Window::Validation, nullptr, "-", "3:1999-05-12", "3:2001"},
        {"validation adds no stamp to a lone TYER", 4, lone, Window::Validation, nullptr, "-", "-", "3:1987"},
    };
    Mp3Folder = folder_;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        ui::Dialogs::clearScript();
        std::string path = putUntagged("f.mp3");
        ASSERT_TRUE(runProbe({"write", probeName(path), QString::number(c.version),
                              QString::fromUtf8(QJsonDocument(c.frames).toJson(QJsonDocument::Compact))}));
        std::string seen = "-";
        switch (c.window) {
        case Window::List: {
            walk();
            const int column =
                int(std::find(std::begin(FileListModel::ColumnField), std::end(FileListModel::ColumnField), fYear) -
                    std::begin(FileListModel::ColumnField));
            seen = Form1->ListModel->cell(listRowOf(path), column);
            break;
        }
        case Window::Editor:
            walk();
            select({path});
            whileModal([] { Form1->Editerlestags1->trigger(); },
                       [&](ui::Form* form) {
                           if (form != Form4) return;
                           seen = Form4->anneeEdit->Text();
                           if (c.set) Form4->anneeEdit->setText(c.set);
                           Form4->Button1->click();
                       });
            break;
        case Window::Multi:
            Form6->Show();
            for (QCheckBox* box : {Form6->CheckBox1, Form6->CheckBox2, Form6->CheckBox3, Form6->CheckBox4,
                                   Form6->CheckBox5, Form6->CheckBox6, Form6->CheckBox7})
                box->setChecked(box == Form6->CheckBox4);
            Form6->id3year->setText(c.set);
            Form6->ListBox1->Clear();
            Form6->ListBox1->Add(path);
            Form6->Button5Click();
            break;
        case Window::Import: {
            gen::Id3v1Spec v1;
            v1.title = "Titre";
            v1.year = c.set;
            std::ofstream(path, std::ios::binary | std::ios::app) << gen::Id3v1Block(v1);
            Form7->Show();
            Form7->CheckBox1->setChecked(false);
            Form7->DirectoryListBox1->setDirectory(folder_);
            Form7->Button2Click();
            break;
        }
        case Window::Renaming:
            RenameSeparator = "-";
            Form8->ListBox1->Clear();
            Form8->ListBox1->Add(path);
            for (size_t s = 0; s < 5; ++s) Form8->slotBoxes()[s]->setCurrentIndex(s == 0 ? 5 : -1);
            Form8->Button6Click();
            for (const auto& entry : fs::directory_iterator(folder_)) path = entry.path().string();
            seen = fs::path(path).stem().string();
            break;
        case Window::Validation:
            Form14->CheckBox1->setChecked(false);
            Form14->ListBox1->Clear();
            Form14->ListBox1->Add(path);
            Form14->Button7Click();
            break;
        }
        EXPECT_EQ(seen, c.seen);
        const QJsonObject dump = probe(path);
        EXPECT_EQ(frameOf(dump, "TDRC"), QString::fromLatin1(c.tdrc));
        EXPECT_EQ(frameOf(dump, "TYER"), QString::fromLatin1(c.tyer));
    }
}

}  // namespace
