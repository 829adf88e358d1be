// The wait box shown while the music folder is walked.
#pragma once

#include "Form.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

class TForm3 : public ui::Form {
public:
    TForm3();

    void Button1Click();
    // Label2 := the name of the file being read. The text changes at once; the label is drawn
    // at most every few hundredths of a second, so that a walk does not spend its time drawing.
    void ShowFileName(const QString& name);

    QLabel* Label1;
    QLabel* Label2;
    QPushButton* Button1;

private:
    void drawFileName();

    QElapsedTimer drawn_;
    QTimer pendingDraw_;
};

extern TForm3* Form3;
