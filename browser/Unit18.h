// Winamp options: the folder where the player is installed, and the search for its executable.
#pragma once

#include "FileBoxes.h"
#include "Form.h"

#include <QLabel>
#include <QPushButton>

class TForm18 : public ui::Form {
public:
    TForm18();

    void DriveComboBox2Change();
    void DirectoryListBox2Change();
    void FileListBox1Change();
    // Shows the values read from the settings file.
    void ShowSettings();
    void Button1Click();
    void Button2Click();

    QLabel* Label2;
    ui::DriveComboBox* DriveComboBox2;
    ui::DirectoryListBox* DirectoryListBox2;
    ui::FileListBox* FileListBox1;
    QLabel* Label4;
    QLabel* Label3;
    QPushButton* Button1;
    QPushButton* Button2;
};

extern TForm18* Form18;
