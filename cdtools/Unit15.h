// The window "Normaliser un fichier MP3": evens out the loudness of a list of MP3 files with the
// normaliser mp3norm of the program's folder, once per file or once for the whole list.
#pragma once

#include "FilePicker.h"
#include "RunReport.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <string>
#include <vector>

class TForm15 : public PickerForm {
public:
    TForm15();

    QLabel* Label14;             // what normalising means
    QSlider* TrackBar1;          // target level 0-10
    QLabel* Label1;              // "Nouveau volume : 5/10"
    QRadioButton* RadioButton2;  // "Normalisation par Fichier"
    QRadioButton* RadioButton1;  // "Normalisation par Album"
    QPushButton* Button7;        // "Normaliser"
    QPushButton* Button5;        // "Annuler"

    // The normaliser's parameters: one file, or all files of an album.
    static std::string FileParameters(int level, const std::string& path);
    static std::string AlbumParameters(int level, const std::vector<std::string>& paths);

    void NormaliseFile(const std::string& path);
    void NormaliseFiles(const std::vector<std::string>& paths);

    void FormClose();
    void TrackBar1Change();
    void Button7Click();
    void Button5Click();

private:
    void run(const std::string& parameters, const std::vector<std::string>& paths);

    ui::RunReport failures_;  // of the run going on
};

extern TForm15* Form15;
