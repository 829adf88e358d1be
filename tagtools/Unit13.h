// The window "Formater les tags": puts the title, artist, album and genre of the chosen files in
// lower case, upper case or with a capital at the start of each word.
#pragma once

#include "FilePicker.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <string>

// ISO-8859-1 case mapping: accented letters convert too; a letter whose other case lies
// outside ISO-8859-1 (ß, ÿ, µ) stays as it is.
std::string lowerTagText(std::string text);
std::string upperTagText(std::string text);

// Capital first character, lower case elsewhere, except a letter a-z right after a blank or one
// of ( - # { [ _ = ~ ; . (and the apostrophe when `apostrophe`), which is put in upper case.
std::string FormatTagCase(std::string text, bool apostrophe);

class TForm13 : public PickerForm {
public:
    TForm13();

    void Button7Click();
    void Button5Click();

    QLabel* Label1;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QRadioButton* RadioButton3;
    QCheckBox* CheckBox1;
    QPushButton* Button7;
    QPushButton* Button5;
};

extern TForm13* Form13;
