// The window "Importation ID3V1 vers ID3V2": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"

class Tform7 : public ui::Form {
public:
    Tform7();

};

extern Tform7* Form7;
