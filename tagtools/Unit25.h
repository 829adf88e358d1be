// The window "Incrémenter les pistes": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"

class TForm25 : public ui::Form {
public:
    TForm25();

};

extern TForm25* Form25;
