// The window "Création de liste": its controls and handlers join it as the program grows.
#pragma once

#include "FilePicker.h"

class TForm9 : public PickerForm {
public:
    TForm9();
};

extern TForm9* Form9;
