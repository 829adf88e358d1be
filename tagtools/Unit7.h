// The ID3v1-to-ID3v2 import: the walker collects the MP3 files of a folder (and of its
// sub-folders on request) into a hidden list, then each file's ID3v1 texts are copied into its
// ID3v2 tag, with a stop button honoured between files.
#pragma once

#include "FileBoxes.h"
#include "Form.h"
#include "ListBox.h"
#include "ProgressBar.h"
#include "RunReport.h"
#include "Scrute.h"
#include "TagTextInput.h"
#include "id3.h"
#include "id3v2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <string>

class Tform7 : public ui::Form {
public:
    Tform7();

    void FormShow();
    void DriveComboBox1Change();
    void Button2Click();  // "Importer"
    void Button3Click();  // "STOP"
    void Button1Click();  // "Annuler"
    void ScruteDossier1Fichier(TScruteDossier* Sender, const std::string& Nom);
    void ScruteDossier1FinExecute(TScruteDossier* Sender);
    // Reads a file's ID3v1 tag into the hidden fields; the read's status (the fields stay empty
    // unless it succeeded).
    TTagStatus LoadId3v1Fields(const std::string& path);
    // Writes the hidden fields into the file's ID3v2 tag; what failed, or was kept, goes into the
    // run's report.
    void SaveId3v2Fields(const std::string& path, ui::RunReport& report);

    QLabel* Label1;
    ui::DriveComboBox* DriveComboBox1;
    ui::DirectoryListBox* DirectoryListBox1;
    QCheckBox* CheckBox1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button1;
    ui::ProgressBar* ProgressBar1;
    ui::ListBox* ListBox1;  // hidden
    ui::TagEdit* id3title;
    ui::TagEdit* id3artist;
    ui::TagEdit* id3album;
    ui::TagEdit* id3year;
    ui::TagEdit* id3comment;
    ui::TagEdit* id3track;
    QComboBox* ID3genre;
    TScruteDossier ScruteDossier1;

    Tid3tag Tag1;
    Tid3v2tag Tag2;
    bool ImportStopFlag = false;

private:
    bool running_ = false;        // between "Importer" and the end of its import
    bool closeWhenDone_ = false;  // "Annuler" was pressed during the run
};

extern Tform7* Form7;
