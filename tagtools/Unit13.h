// The window "Formater les tags": puts the title, artist, album and genre of the chosen files in
// lower case, upper case or with a capital at the start of each word.
#pragma once

#include "FilePicker.h"
#include "TagCase.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

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
