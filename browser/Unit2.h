// General options: the music folder.
#pragma once

#include "FileBoxes.h"
#include "Form.h"

#include <QLabel>
#include <QPushButton>

class TForm2 : public ui::Form {
public:
    TForm2();

    void DriveComboBox1Change();
    // Shows the values read from the settings file.
    void ShowSettings();
    void Button1Click();
    void Button2Click();

    QLabel* Label1;
    ui::DriveComboBox* DriveComboBox1;
    ui::DirectoryListBox* DirectoryListBox1;
    QPushButton* Button1;
    QPushButton* Button2;
    QLabel* Label2;
    QLabel* Label3;
};

extern TForm2* Form2;
