// The window "Convertir WAV > MP3": its controls and handlers join it as the program grows.
#pragma once

#include "FilePicker.h"

class TForm12 : public PickerForm {
public:
    TForm12();
};

extern TForm12* Form12;
