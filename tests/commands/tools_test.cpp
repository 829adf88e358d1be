// The tool windows that change many files: the file picker of all of them, the multi-file tag
// editor, the ID3v1-to-ID3v2 import and the track renumbering, driven through their handlers
// with scripted message boxes; what they wrote is read back by mutagen.
#include "CommandsTest.h"

#include "Dialogs.h"
#include "Unit12.h"
#include "Unit13.h"
#include "Unit14.h"
#include "Unit15.h"
#include "Unit21.h"
#include "Unit25.h"
#include "Unit6.h"
#include "Unit8.h"
#include "Unit9.h"
#include "variable.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <filesystem>

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

// --- The picker -----------------------------------------------------------------------------------

struct Variant {
    PickerForm* form;
    const char* mask;
    bool sorted;
    QString addAll;   // "-": none
    QString walker;   // "-": none
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
        {Form12, "*.wav", true, all, QStringLiteral("Ajouter tous les fichiers + les fichiers des sous-dossiers"), clear,
         true, false, 2},
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
        if (p->ProgressBar1) {
            EXPECT_EQ(p->ProgressBar1->Position(), 0);
        }
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
        if (t.sorted) std::stable_sort(expected.begin(), expected.end(), [](auto& x, auto& y) {
            return strcasecmp(x.c_str(), y.c_str()) < 0;
        });
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
            // The walker adds the matching files of the whole tree (every walker window sorts).
            t.form->Button4Click();
            t.form->Button6Click();
            const Strings walked = wav ? Strings{w, v} : Strings{a, b, e, d};
            EXPECT_THAT(items(t.form->ListBox1), ElementsAreArray(walked));
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

}  // namespace
