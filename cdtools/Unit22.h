// The window "Plusieurs Albums Trouvés": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"

class TForm22 : public ui::Form {
public:
    TForm22();

};

extern TForm22* Form22;
