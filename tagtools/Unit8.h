// The window "Renommage intelligent des fichiers": its controls and handlers join it as the program grows.
#pragma once

#include "FilePicker.h"

class TForm8 : public PickerForm {
public:
    TForm8();
};

extern TForm8* Form8;
