// The window "Renommage intelligent des fichiers": renames each chosen file, within its folder,
// from up to five fields of its tag joined by the user's separator.
#pragma once

#include "FilePicker.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <array>
#include <string>

// Removes " | \ / : ? * from a text.
std::string StripNameChars(std::string text);

// The tag texts a new name is made of (ISO-8859-1, cut at their first 0).
struct RenameFields {
    std::string artist, title, album, track, year;
};

// The new file name (local 8-bit encoding) from the fields, the slots' item indexes (0 or -1:
// empty; 1 artist, 2 title, 3 album, 4 track, 5 year) and the separator.
std::string RenameFileName(RenameFields fields, const std::array<int, 5>& chosen, const std::string& separator);

// True when the name stays a file of its folder: not empty, not "." or "..", no "/" nor 0.
bool IsPlainFileName(const std::string& name);

class TForm8 : public PickerForm {
public:
    TForm8();

    void Button6Click();
    void Button5Click();

    std::array<QComboBox*, 5> slotBoxes() const { return {ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5}; }

    QLabel* Label8;
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QComboBox* ComboBox4;
    QComboBox* ComboBox5;
    QLabel* Label14;
    QPushButton* Button6;
    QPushButton* Button5;
};

extern TForm8* Form8;
