// The window "Convertir WAV > MP3": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"
#include "ListBox.h"

class TForm12 : public ui::Form {
public:
    TForm12();

    // Files handed over by the main window.
    ui::ListBox* ListBox1;
};

extern TForm12* Form12;
