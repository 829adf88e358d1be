// The window "Renommage intelligent des fichiers": renames each chosen file, within its folder,
// from up to five fields of its tag joined by the user's separator.
#pragma once

#include "FilePicker.h"
#include "RenameName.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <array>

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
