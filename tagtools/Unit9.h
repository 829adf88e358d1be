// The window "Création de liste": makes a plain-text list "Artiste - Titre" of the chosen files,
// optionally under folder and album headers, and hands it to the window that shows and saves it.
#pragma once

#include "FilePicker.h"
#include "TextList.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <string>

// The text of the last build (local 8-bit encoding, CR LF line ends).
extern std::string ListText;

class TForm9 : public PickerForm {
public:
    TForm9();

    void FormHide() override;
    void Button7Click();
    // ListText from the chosen files and the options; an empty list leaves it as it is.
    void BuildListText();
    void Button5Click();

    QCheckBox* CheckBox6;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox4;
    QCheckBox* CheckBox5;
    QPushButton* Button7;
    QPushButton* Button5;
    QLabel* Label1;
    QLabel* Label14;
};

extern TForm9* Form9;
