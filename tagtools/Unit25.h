// Track renumbering: gives the files of the list the track numbers 1, 2, 3 ... in list order.
#pragma once

#include "FilePicker.h"
#include "id3v2.h"

#include <QLabel>
#include <QPushButton>

class TForm25 : public PickerForm {
public:
    TForm25();

    void Button2Click();  // "GO"
    void FormClose();

    QLabel* Label1;
    QPushButton* Button2;

    // The window's tag object, reused for every file.
    Tid3v2tag Tag2;
};

extern TForm25* Form25;
