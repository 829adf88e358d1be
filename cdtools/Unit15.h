// The window "Normaliser un fichier MP3": its controls and handlers join it as the program grows.
#pragma once

#include "FilePicker.h"

class TForm15 : public PickerForm {
public:
    TForm15();
};

extern TForm15* Form15;
