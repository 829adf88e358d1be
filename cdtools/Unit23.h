// The window "Changement d'identité du CD (piste, artiste, album)": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"

class TForm23 : public ui::Form {
public:
    TForm23();

};

extern TForm23* Form23;
