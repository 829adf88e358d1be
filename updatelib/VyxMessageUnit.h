// The message dialog offered to callers: kind with icon, caption and sound, a bold title, a
// scrollable description in link markup, an action line, up to three buttons and a check box.
#pragma once

#include "LinkLabel.h"
#include "VyxPravomel.h"

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;

namespace vyx {

class TVyxMessage : public QDialog {
    Q_OBJECT
public:
    explicit TVyxMessage(QWidget* owner);

    // Builds the dialog from a request, sounding the kind's beep at once.
    void Prepare(const TVyxMsgInfoIn& request);

    void FormKeyDown(QObject* sender, int key, Qt::KeyboardModifiers shift);
    void DetailsClick(QObject* sender);
    void DescriptionLinkClick(QObject* sender, int linkNumber, const QString& linkText);
    // The report that Ctrl+C puts on the clipboard.
    QString ClipboardReport() const;

    QLabel* Icone;
    QLabel* Title;
    QScrollArea* ScrollBox;
    TLinkLabel* Description;
    QFrame* HrzLine;
    QLabel* ActionToExecute;
    QCheckBox* NeverPromptAgain;
    QPushButton* Continue;
    QPushButton* Cancel;
    QPushButton* Details;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The close box answers Cancel.
    void reject() override { done(2); }

private:
    TVyxDetailsProc onDetails_ = nullptr;
};

// The address the "support technique" links open.
extern const char* const kSupportPage;

}  // namespace vyx
