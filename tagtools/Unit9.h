// The window "Création de liste": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"
#include "ListBox.h"

class TForm9 : public ui::Form {
public:
    TForm9();

    // Files handed over by the main window.
    ui::ListBox* ListBox1;
};

extern TForm9* Form9;
