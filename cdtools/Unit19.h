// Options of the CD extraction: the folder that receives the tracks and the file-name template.
#pragma once

#include "FileBoxes.h"
#include "Form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class TForm19 : public ui::Form {
public:
    TForm19();

    void DriveComboBox3Change();
    // Shows the values read from the settings file.
    void ShowSettings();
    void Button1Click();
    void Button2Click();

    QLabel* Label10;
    ui::DriveComboBox* DriveComboBox3;
    ui::DirectoryListBox* DirectoryListBox3;
    QLabel* Label1;
    QLineEdit* Edit1;
    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label11;
    QLabel* Label9;
    QLabel* Label3;
    QPushButton* Button1;
    QPushButton* Button2;
};

extern TForm19* Form19;
