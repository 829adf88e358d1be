// The window "Liste de MP3": shows the text list just built, for editing, and saves it.
#pragma once

#include "Form.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <string>

class TForm10 : public ui::Form {
public:
    TForm10();

    void FormHide();
    void Button1Click();
    void Button2Click();

    // Puts a list (local 8-bit encoding, CR LF line ends) into the memo.
    void setMemoText(const std::string& text);
    // The memo's text as it is saved: CR LF line ends, the bytes handed in while unedited.
    std::string memoText() const;

    QPlainTextEdit* Memo1;
    QPushButton* Button1;
    QPushButton* Button2;

    static constexpr const char* SaveDialog1DefaultExt = "txt";
    static constexpr const char* SaveDialog1Filter = "Fichiers Texte (*.txt)|*.txt|Tous les fichiers (*.*)|*.*";

private:
    std::string shown_;
};

extern TForm10* Form10;
