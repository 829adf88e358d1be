// The window "Convertir : MP3 > WAV": its controls and handlers join it as the program grows.
#pragma once

#include "FilePicker.h"

class TForm21 : public PickerForm {
public:
    TForm21();
};

extern TForm21* Form21;
