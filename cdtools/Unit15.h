// The window "Normaliser un fichier MP3": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"
#include "ListBox.h"

class TForm15 : public ui::Form {
public:
    TForm15();

    // Files handed over by the main window.
    ui::ListBox* ListBox1;
};

extern TForm15* Form15;
