// The window "Renommage intelligent des fichiers": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"
#include <QListWidget>

class TForm8 : public ui::Form {
public:
    TForm8();

    // Files handed over by the main window.
    QListWidget* ListBox1;
};

extern TForm8* Form8;
