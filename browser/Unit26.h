// The window "Winamp": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"

class TForm26 : public ui::Form {
public:
    TForm26();

};

extern TForm26* Form26;
