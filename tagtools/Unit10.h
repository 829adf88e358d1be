// The window "Liste de MP3": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"

class TForm10 : public ui::Form {
public:
    TForm10();

};

extern TForm10* Form10;
