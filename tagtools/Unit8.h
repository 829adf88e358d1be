// The window "Renommage intelligent des fichiers": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"
#include "ListBox.h"

class TForm8 : public ui::Form {
public:
    TForm8();

    // Files handed over by the main window.
    ui::ListBox* ListBox1;
};

extern TForm8* Form8;
