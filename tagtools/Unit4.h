// The window "Edition des tags": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"

class TForm4 : public ui::Form {
public:
    TForm4();

};

extern TForm4* Form4;
