// The window "Changement d'identité du CD (piste, artiste, album)": a one-line editor for a
// track title, the album or the artist of the disc shown in the extraction window.
#pragma once

#include "CddbReply.h"
#include "Form.h"
#include "TagTextInput.h"

#include <QLabel>
#include <QPushButton>

class TForm23 : public ui::Form {
public:
    TForm23();

    void FormShow();
    void Edit1KeyUp(int key);
    void Button1Click();
    void Button2Click();

    // The identity it was opened on, shown for that disc: the edit is of it alone.
    cdaudio::TDiscIdentity Disc;

    QLabel* Label33;  // hidden: the edited row, for a title
    QLabel* Label1;
    ui::TagEdit* Edit1;
    QPushButton* Button1;
    QPushButton* Button2;
};

extern TForm23* Form23;
