// The multi-file tag editor: gives the ticked fields (title, artist, album, year, track, genre,
// comment) one value in the ID3v2 tag of every file of the list.
#pragma once

#include "FilePicker.h"
#include "TagTextInput.h"
#include "id3v2.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

class TForm6 : public PickerForm {
public:
    TForm6();

    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox3Click();
    void CheckBox4Click();
    void CheckBox5Click();
    void CheckBox6Click();
    void CheckBox7Click();
    void Button5Click();  // "Modifier"
    void Button6Click();  // "Annuler"

    QLabel* Label1;
    QLabel* Label2;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox4;
    QCheckBox* CheckBox5;
    QCheckBox* CheckBox6;
    QCheckBox* CheckBox7;
    ui::TagEdit* id3title;
    ui::TagEdit* id3artist;
    ui::TagEdit* id3album;
    ui::TagEdit* id3year;
    ui::TagEdit* id3track;
    ui::TagEdit* id3genre;
    ui::TagEdit* id3comment;
    QPushButton* Button5;
    QPushButton* Button6;

    // The editor's tag object, reused for every file.
    Tid3v2tag Tag2;
};

extern TForm6* Form6;
