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
#include "id3.h"
#include "id3v2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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
    // unless it succeeded). The texts are the characters their bytes stand for in Windows-1252, as
    // the Windows taggers that wrote such blocks showed them; an ID3v1.0 block leaves the track empty.
    TTagStatus LoadId3v1Fields(const std::string& path);
    // Writes into the file's ID3v2 tag the hidden fields that say something its frames do not: an
    // empty field, one that is the ID3v1-width cut of the frame's text, a track or a genre that
    // agrees with the frame changes nothing. What failed, or was kept, goes into the run's report.
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
    // Hidden carriers of one file's values, whole: never typed in, so not held to the typed-text rule.
    QLineEdit* id3title;
    QLineEdit* id3artist;
    QLineEdit* id3album;
    QLineEdit* id3year;
    QLineEdit* id3comment;
    QLineEdit* id3track;
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
