// The window "Convertir : MP3 > WAV": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"
#include "ListBox.h"

class TForm21 : public ui::Form {
public:
    TForm21();

    // Files handed over by the main window.
    ui::ListBox* ListBox1;
};

extern TForm21* Form21;
