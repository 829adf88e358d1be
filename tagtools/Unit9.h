// The window "Création de liste": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"
#include <QListWidget>

class TForm9 : public ui::Form {
public:
    TForm9();

    // Files handed over by the main window.
    QListWidget* ListBox1;
};

extern TForm9* Form9;
