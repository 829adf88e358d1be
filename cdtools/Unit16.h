// The wait box "Veuillez Patienter SVP...": it stands alone on the screen while an outside tool
// (the normaliser, the decoder) works on a list of files; and what such a run reports at its end.
#pragma once

#include "Form.h"

#include <QLabel>
#include <QString>
#include <functional>
#include <string>
#include <vector>

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

// The files an outside tool could not process in one run, and whether the tool was missing.
struct ToolFailures {
    std::vector<std::string> files;
    std::string missingProgram;  // the program that could not be started, if any

    bool empty() const { return files.empty(); }
    void add(const std::string& file) { files.push_back(file); }
};

// The closing message of a run: `done` alone when all went well; else what could not be started
// and the names of the files that failed, after `failedIntro`.
QString closingMessage(const QString& done, const QString& failedIntro, const ToolFailures& failures);
