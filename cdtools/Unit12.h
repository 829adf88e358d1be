// The window "Convertir WAV > MP3": its controls and handlers join it as the program grows.
#pragma once

#include "Form.h"
#include <QListWidget>

class TForm12 : public ui::Form {
public:
    TForm12();

    // Files handed over by the main window.
    QListWidget* ListBox1;
};

extern TForm12* Form12;
