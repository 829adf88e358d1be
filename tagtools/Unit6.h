// The window "Modification des tags de plusieurs fichiers": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"
#include "ListBox.h"

class TForm6 : public ui::Form {
public:
    TForm6();

    // Files handed over by the main window.
    ui::ListBox* ListBox1;
};

extern TForm6* Form6;
