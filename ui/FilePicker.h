// The file picker of the tool windows that work on a list of files: drive, folder and file
// boxes, the list of chosen files with its add and remove buttons, optionally a button that adds a
// whole folder tree through the walker, and the progress bar of the window's work loop.
//
// Built once here; a window derives from PickerForm, describes its variant in PickerVariant, names
// the folder the boxes show first and lays out `Picker` (the group) among its own controls:
//
//   TForm8::TForm8() : PickerForm(variant, &Mp3Folder) {
//       layout->addWidget(Picker);            // the group, with its list and progress bar
//       ...                                    // the window's own controls
//   }
//   void TForm8::Button5Click() {
//       Picker->beginRun();                    // Min 0, Max from the variant
//       for (int i = 0; i < ListBox1->Count(); ++i) {
//           Picker->showEntry(i);              // Position i, entry i selected, painted now
//                                              // (a long run: at its 50ths, every 40 ms at most)
//           work(ListBox1->Item(i));
//       }
//   }
#pragma once

#include "FileBoxes.h"
#include "Form.h"
#include "ListBox.h"
#include "ProgressBar.h"
#include "Scrute.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QString>
#include <string>

// What a window adds to or leaves out of the group.
struct PickerVariant {
    std::string mask = "*.mp3";
    bool sorted = false;
    bool addAll = true;     // "Tout Ajouter"
    QString walkerCaption;  // the folder-tree button; none when empty
    QString clearCaption = QStringLiteral("Tout Enlever");
    bool clearOnShow = false;
    bool clearOnHide = true;
    int bars = 1;  // progress bars: 0, 1, or 2 (ProgressBar2 too)
    Qt::Orientation barOrientation = Qt::Horizontal;
    bool maxIsCount = false;  // a run's Max is the count (else count - 1)
    bool selectEntry = true;  // a run selects the entry it works on

    // The sorted list with the button that adds a whole folder tree, as most tools have it.
    static PickerVariant SortedWithWalker()
    {
        PickerVariant v;
        v.sorted = true;
        v.walkerCaption = QStringLiteral("Ajouter tous les fichiers de ce dossier + les fichiers des sous-dossiers");
        return v;
    }

    // The same, for a list handed to an outside program: no progress of its own, and the list
    // stays while the program runs with the window hidden.
    static PickerVariant SortedForProgram()
    {
        PickerVariant v = SortedWithWalker();
        v.clearOnHide = false;
        v.bars = 0;
        return v;
    }
};

class FilePicker : public QWidget {
public:
    // The boxes show *startFolder whenever the window is shown: read then, as it may change.
    FilePicker(QWidget* parent, const PickerVariant& variant, const std::string* startFolder);

    const PickerVariant& variant() const { return variant_; }

    ui::DriveComboBox* DriveComboBox1;
    ui::DirectoryListBox* DirectoryListBox1;
    ui::FileListBox* FileListBox1;
    ui::ListBox* ListBox1;
    QPushButton* Button1;  // "Ajouter"
    QPushButton* Button2;  // "Tout Ajouter"; nullptr when the variant has none
    QPushButton* Button3;  // "Enlever"
    QPushButton* Button4;  // "Tout Enlever" / "Vider la liste"
    QPushButton* Button6;  // the walker's button; nullptr when the variant has none
    ui::ProgressBar* ProgressBar1 = nullptr;
    ui::ProgressBar* ProgressBar2 = nullptr;
    TScruteDossier ScruteDossier1;

    void DriveComboBox1Change();
    void DirectoryListBox1Change();
    void Button1Click();
    void FileListBox1DblClick();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button6Click();
    void ScruteDossier1Fichier(TScruteDossier* Sender, const std::string& Nom);
    void FormShow();
    void FormHide();

    // A work loop over the list: before it, and before each entry i (which sets the bar's
    // Position and selects the entry, where the variant says, at the run's visible steps).
    void beginRun();
    void showEntry(int i);

private:
    void add(const std::string& path);
    PickerVariant variant_;
    const std::string* startFolder_;
    QElapsedTimer highlighted_;  // since a run last moved its highlight
};

// A window built around the picker: the group's controls under their usual names, its handlers
// as the window's, and show/hide bound to them. A window with handlers of its own under the same
// names (a "GO" Button2, an "Annuler" Button6) hides the group's, which it then lacks anyway.
class PickerForm : public ui::Form {
public:
    PickerForm(const PickerVariant& variant, const std::string* startFolder);

    FilePicker* Picker;
    ui::DriveComboBox* DriveComboBox1;
    ui::DirectoryListBox* DirectoryListBox1;
    ui::FileListBox* FileListBox1;
    ui::ListBox* ListBox1;
    ui::ProgressBar* ProgressBar1;
    TScruteDossier& ScruteDossier1;

    void DriveComboBox1Change() { Picker->DriveComboBox1Change(); }
    void DirectoryListBox1Change() { Picker->DirectoryListBox1Change(); }
    void Button1Click() { Picker->Button1Click(); }
    void FileListBox1DblClick() { Picker->FileListBox1DblClick(); }
    void Button2Click() { Picker->Button2Click(); }
    void Button3Click() { Picker->Button3Click(); }
    void Button4Click() { Picker->Button4Click(); }
    void Button6Click() { Picker->Button6Click(); }
    void ScruteDossier1Fichier(TScruteDossier* Sender, const std::string& Nom)
    {
        Picker->ScruteDossier1Fichier(Sender, Nom);
    }
    // Bound to OnShow / OnHide; a window that does more overrides them and calls these.
    virtual void FormShow() { Picker->FormShow(); }
    virtual void FormHide() { Picker->FormHide(); }
};
