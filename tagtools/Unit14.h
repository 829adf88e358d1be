// The window "Validation des tags": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"
#include "ListBox.h"

class TForm14 : public ui::Form {
public:
    TForm14();

    // Files handed over by the main window.
    ui::ListBox* ListBox1;
};

extern TForm14* Form14;
