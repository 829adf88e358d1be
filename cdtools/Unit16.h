// The window "Veuillez Patienter SVP...": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"

class TForm16 : public ui::Form {
public:
    TForm16();

};

extern TForm16* Form16;
