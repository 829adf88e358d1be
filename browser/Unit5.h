// The About box.
#pragma once

#include "Form.h"

#include <QLabel>
#include <QPushButton>

class TForm5 : public ui::Form {
public:
    TForm5();

    QLabel* Label1;  // terms of use
    QLabel* Label2;  // "Remerciements :"
    QLabel* Label3;  // the thanks list
    QLabel* Label4;  // the version
    QPushButton* Button1;
};

extern TForm5* Form5;
