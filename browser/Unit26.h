// The window "Winamp": a small stay-on-top panel that drives the player through the main
// window's remote control, without searching for the player again.
#pragma once

#include "Form.h"

class QPushButton;

class TForm26 : public ui::Form {
public:
    TForm26();

    // Handlers.
    void BitBtn6Click();
    void BitBtn8Click();
    void BitBtn9Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();

    QPushButton* BitBtn6;  // previous
    QPushButton* BitBtn8;  // back 5 s
    QPushButton* BitBtn9;  // stop
    QPushButton* BitBtn1;  // pause
    QPushButton* BitBtn2;  // play
    QPushButton* BitBtn3;  // forward 5 s
    QPushButton* BitBtn4;  // next
};

extern TForm26* Form26;
