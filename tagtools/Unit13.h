// The window "Formater les tags": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"
#include "ListBox.h"

class TForm13 : public ui::Form {
public:
    TForm13();

    // Files handed over by the main window.
    ui::ListBox* ListBox1;
};

extern TForm13* Form13;
