// The single-file tag editor: title, artist, album, genre, year, comment and track of one file,
// written to its ID3v2 tag and, when the option is on, to its ID3v1 tag.
#pragma once

#include "Form.h"
#include "TagFields.h"
#include "RichEdit.h"
#include "id3.h"
#include "id3v2.h"

#include <QLabel>
#include <QPushButton>
#include <string>

class TForm4 : public ui::Form {
public:
    TForm4();

    void FormShow();
    void titreEditChange();
    void artisteEditChange();
    void albumEditChange();
    void commentaireEditChange();
    void FieldKeyUp(int key);  // the key-up handler of all seven fields
    void Button1Click();
    void Button2Click();

    // The file to edit: its path is shown in Label1 and kept as bytes.
    void setFileName(const std::string& path);
    const std::string& fileName() const { return fileName_; }

    QLabel* Label3;
    QLabel* Label1;
    ui::RichEdit* titreEdit;
    ui::RichEdit* artisteEdit;
    ui::RichEdit* albumEdit;
    ui::RichEdit* genreEdit;
    ui::RichEdit* anneeEdit;
    ui::RichEdit* commentaireEdit;
    ui::RichEdit* pisteEdit;
    QLabel* Label2;
    QPushButton* Button1;
    QPushButton* Button2;

    // The editor's own tag objects.
    Tid3v2tag Tag2;
    Tid3tag Tag1;

private:
    struct Field {
        ui::RichEdit* edit;
        const char* frame;  // nullptr for the comment
        TagField loaded;    // the text as read
    };
    void colourPast30(ui::RichEdit* edit);
    Field fields_[7];
    std::string fileName_;
};

extern TForm4* Form4;
