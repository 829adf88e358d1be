// The window "Plusieurs Albums Trouvés": several CDDB entries match the disc; the user picks one,
// which is read from the server, shown in the extraction window and cached.
#pragma once

#include "CddbReply.h"
#include "Form.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

class TForm22 : public ui::Form {
public:
    TForm22();

    void Button1Click();
    void ListBox1DblClick() { Button1Click(); }

    // The disc whose matches the list holds: the one the look-up was made for.
    cdaudio::TDiscIdentity Disc;

    QLabel* Label1;
    QListWidget* ListBox1;
    QPushButton* Button1;
};

extern TForm22* Form22;
