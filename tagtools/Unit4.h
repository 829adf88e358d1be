// The single-file tag editor: title, artist, album, genre, year, comment and track of one file,
// written to its ID3v2 tag and, when the option is on, to its ID3v1 tag.
#pragma once

#include "ElidedLabel.h"
#include "Form.h"
#include "RichEdit.h"
#include "TagFields.h"
#include "id3.h"
#include "id3v2.h"

#include <QLabel>
#include <QPushButton>
#include <optional>
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

    // The file to edit: its path is shown in Label1 (elided in the middle when it is longer than
    // the window) and kept as bytes.
    void setFileName(const std::string& path);
    const std::string& fileName() const { return fileName_; }

    QLabel* Label3;
    ui::ElidedLabel* Label1;
    ui::RichEdit* titreEdit;
    ui::RichEdit* artisteEdit;
    ui::RichEdit* albumEdit;
    ui::RichEdit* genreEdit;
    ui::RichEdit* anneeEdit;
    ui::RichEdit* commentaireEdit;
    ui::RichEdit* pisteEdit;
    QLabel* Label2;
    // Shown when a field holds what it cannot edit: such a field is marked and kept unless changed.
    QLabel* Label4;
    QPushButton* Button1;
    QPushButton* Button2;

    // The editor's own tag objects. Every showing loads into a new ID3v2 tag object, so that
    // nothing of a file edited before (status, offset, version, flags) reaches the next save. The
    // ID3v1 object reads the file's block at each "OK" with the option on, so that the fields the
    // user did not change keep what it holds.
    std::optional<Tid3v2tag> Tag2;
    Tid3tag Tag1;

private:
    struct Field {
        ui::RichEdit* edit;
        const char* frame;  // nullptr for the comment
        TagField loaded;    // the text as read, whole, in UTF-8
        bool changed() const;
    };
    void colourPast30(ui::RichEdit* edit);
    // Writes the ID3v1 block: the fields the user changed, the others as the block had them.
    TTagStatus saveId3v1();
    // Shows why the save failed; the editor stays open with the user's input.
    void saveFailed(bool id3v1, TTagStatus status);
    Field fields_[7];
    std::string fileName_;
    TTagStatus loadStatus_ = 0;
};

extern TForm4* Form4;
