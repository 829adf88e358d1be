// The window "Extraire les pistes d'un CD": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"

class TForm11 : public ui::Form {
public:
    TForm11();

};

extern TForm11* Form11;
