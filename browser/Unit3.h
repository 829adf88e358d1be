// The wait box shown while the music folder is walked.
#pragma once

#include "Form.h"

#include <QLabel>
#include <QPushButton>

class TForm3 : public ui::Form {
public:
    TForm3();

    void Button1Click();

    QLabel* Label1;
    QLabel* Label2;
    QPushButton* Button1;
};

extern TForm3* Form3;
