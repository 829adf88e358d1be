// The wait box shown while the music folder is walked.
#pragma once

#include <string>

#include "ElidedLabel.h"
#include "Form.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

class TForm3 : public ui::Form {
public:
    TForm3();

    void Button1Click();
    // Label2 := the name (bytes) of the file being read, elided in the middle when too long. The label takes it at most
    // every few hundredths of a second, and always before the box is hidden, so that a walk does not spend its time
    // converting and drawing names nobody could read.
    void ShowFileName(const std::string& name);
    // The name the box is showing or about to show.
    const std::string& FileNameShown() const { return name_; }

    QLabel* Label1;
    ui::ElidedLabel* Label2;
    QPushButton* Button1;

private:
    void drawFileName();

    std::string name_;
    bool namePending_ = false;
    QElapsedTimer drawn_;
    QTimer pendingDraw_;
};

extern TForm3* Form3;
