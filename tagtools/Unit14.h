// The window "Validation des tags": its controls and handlers join it as the program grows.
#pragma once

#include "FilePicker.h"

class TForm14 : public PickerForm {
public:
    TForm14();
};

extern TForm14* Form14;
