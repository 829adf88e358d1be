// The window "Formater les tags": its controls and handlers join it as the program grows.
#pragma once

#include "FilePicker.h"

class TForm13 : public PickerForm {
public:
    TForm13();
};

extern TForm13* Form13;
