// The wait box "Veuillez Patienter SVP...": it stands alone on the screen while an outside tool
// (the normaliser, the decoder) works on a list of files.
#pragma once

#include "Form.h"

#include <QLabel>
#include <QString>
#include <functional>

class TForm16 : public ui::Form {
public:
    TForm16();

    QLabel* Label1;  // "Opération en cours"

    // Hiding the wait box always brings the main window back.
    void FormHide();

    // The framing of a run: the main window hidden, the wait box shown, the tool window hidden;
    // then the work; then the main window shown and the wait box hidden.
    void runAlone(ui::Form* tool, const std::function<void()>& work);

protected:
    // Nobody closes it by hand while it waits; the run hides it.
    void closeEvent(QCloseEvent* event) override;
};

extern TForm16* Form16;
