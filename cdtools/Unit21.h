// The window "Convertir : MP3 > WAV": decodes a list of MP3 files into WAV files beside them with
// the decoder dec of the program's folder, once per file.
#pragma once

#include "FilePicker.h"

#include <QPushButton>
#include <string>

class TForm21 : public PickerForm {
public:
    TForm21();

    QPushButton* Button7;  // "Convertir"
    QPushButton* Button5;  // "Annuler"

    // The WAV beside an entry: its last three characters replaced by "wav".
    static std::string OutputName(const std::string& entry);
    // The decoder's parameters; the second name runs to the end of them.
    static std::string DecodeParameters(const std::string& entry);

    void FormClose();
    void Button7Click();
    void Button5Click();
};

extern TForm21* Form21;
