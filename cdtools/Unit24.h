// CDDB options: the server asked for disc information.
#pragma once

#include "Form.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

class TForm24 : public ui::Form {
public:
    TForm24();

    void FormShow();
    // Shows the values read from the settings file.
    void ShowSettings();
    void Button1Click();
    void Button2Click();

    QLabel* Label1;
    QLabel* Label3;
    QComboBox* ComboBox1;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    int shownIndex_ = 0;
};

extern TForm24* Form24;

// The CDDB servers, in the order of the list: twelve mirrors of the first public service, then
// six servers of the second (the first two of them the same address).
extern const char* const CddbServers[18];
