// The window "Plusieurs Albums Trouvés": several CDDB entries match the disc; the user picks one,
// which is read from the server, shown in the extraction window and cached.
#pragma once

#include "Form.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

class TForm22 : public ui::Form {
public:
    TForm22();

    void Button1Click();
    void ListBox1DblClick() { Button1Click(); }

    QLabel* Label1;
    QListWidget* ListBox1;
    QPushButton* Button1;
};

extern TForm22* Form22;
