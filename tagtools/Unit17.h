// Options of the smart renaming: the separator between the parts of a new file name.
#pragma once

#include "Form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class TForm17 : public ui::Form {
public:
    TForm17();

    void FormShow();
    void Edit1Change();
    // Shows the values read from the settings file.
    void ShowSettings();
    void Button1Click();
    void Button2Click();

    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label9;
    QLineEdit* Edit1;
    QLabel* Label8;
    QLabel* Label3;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    void showExample();
};

extern TForm17* Form17;
