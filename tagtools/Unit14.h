// The window "Validation des tags": replaces in the tag texts of the chosen files the seven
// characters a file name cannot hold, so that renaming from the tags does not fail.
#pragma once

#include "FilePicker.h"
#include "TagChars.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class TForm14 : public PickerForm {
public:
    TForm14();

    void CheckBox1Click();
    void Button7Click();
    void Button5Click();

    QLabel* Label14;
    QLabel* Label1;
    QLabel* Label3;
    QLabel* Label2;
    QCheckBox* CheckBox1;
    QLineEdit* Edit1;
    QPushButton* Button7;
    QPushButton* Button5;
};

extern TForm14* Form14;
