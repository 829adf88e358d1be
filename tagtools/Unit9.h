// The window "Création de liste": makes a plain-text list "Artiste - Titre" of the chosen files,
// optionally under folder and album headers, and hands it to the window that shows and saves it.
#pragma once

#include "FilePicker.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <string>
#include <string_view>

// The text of the last build (local 8-bit encoding, CR LF line ends).
extern std::string ListText;

struct ListOptions {
    bool folders = false;  // "Ajouter les dossiers"
    bool albums = false;   // "Ajouter le nom de l'album"
    bool paths = false;    // "Ajouter les chemins complets des fichiers"
    bool spacer = false;   // "Sauter une ligne entre les fichiers"
};

// Appends the pieces of one file whose tag was loaded. `previousPath` is the path of the list
// entry just before it, loaded or not (null for the first entry); `previousAlbum` is the album
// of the last header and is updated. Tag texts are ISO-8859-1, cut at their first 0; paths are bytes.
void AppendListEntry(std::string& text, const ListOptions& options, std::string& previousAlbum,
                     const std::string* previousPath, const std::string& path, std::string_view artist,
                     std::string_view title, std::string_view album);

class TForm9 : public PickerForm {
public:
    TForm9();

    void FormHide() override;
    void Button7Click();
    // ListText from the chosen files and the options; an empty list leaves it as it is.
    void BuildListText();
    void Button5Click();

    QCheckBox* CheckBox6;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox4;
    QCheckBox* CheckBox5;
    QPushButton* Button7;
    QPushButton* Button5;
    QLabel* Label1;
    QLabel* Label14;
};

extern TForm9* Form9;
