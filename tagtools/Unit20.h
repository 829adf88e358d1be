// Tag options: whether the single-file tag editor also writes the ID3v1 tag.
#pragma once

#include "Form.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

class TForm20 : public ui::Form {
public:
    TForm20();

    // Shows the values read from the settings file.
    void ShowSettings();
    void Button1Click();
    void Button2Click();

    QCheckBox* CheckBox1;
    QLabel* Label1;
    QLabel* Label3;
    QPushButton* Button1;
    QPushButton* Button2;
};

extern TForm20* Form20;
