#include "WaitUnit.h"

#include "VyxPravomel.h"
#include "VyxShell.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include <climits>

namespace vyx {
namespace {

QPointer<TWaitForm>& Shown()
{
    static QPointer<TWaitForm> form;
    return form;
}

void CloseShown()
{
    if (TWaitForm* form = Shown().data()) {
        Shown() = nullptr;
        form->close();
        delete form;
    }
}

}  // namespace

TWaitForm::TWaitForm(QWidget* owner) : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("WaitForm"));
    setFont(FormFont(font(), "MS Sans Serif", 11));
    resize(206, 48);
    InfoPanel = new QLabel(this);
    InfoPanel->setObjectName(QStringLiteral("InfoPanel"));
    InfoPanel->setTextFormat(Qt::PlainText);
    InfoPanel->setAlignment(Qt::AlignCenter);
    InfoPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(InfoPanel);
}

TWaitForm* WaitForm() { return Shown().data(); }

}  // namespace vyx

using namespace vyx;

extern "C" void ShowWaitMessage(uintptr_t AppHandle, const char* Text)
{
    try {
        if (!GuiAvailable()) return;
        SetApplicationWindow(AppHandle);
        // Only one wait window is remembered, so an older one is closed rather than orphaned.
        CloseShown();
        auto* form = new TWaitForm(ApplicationWindow());
        Shown() = form;
        const QString text = QString::fromUtf8(Text ? Text : "");
        QScreen* screen = ApplicationWindow() ? ApplicationWindow()->screen() : QGuiApplication::primaryScreen();
        // As wide as the text and 60 pixels, but never wider than the screen: a longer text is cut
        // with an ellipsis rather than given a window of millions of pixels. Only a beginning as
        // wide as the screen is measured, however long the text.
        const QFontMetrics metrics(form->font());
        const int most = screen ? screen->geometry().width() : INT_MAX;
        QString shown = text;
        int width = 0;
        for (qsizetype length = 1024;; length *= 2) {
            const QString part = text.left(length);
            width = metrics.horizontalAdvance(part) + 60;
            if (width > most) {
                width = most;
                shown = metrics.elidedText(part, Qt::ElideRight, width - 60);
                break;
            }
            if (part.size() == text.size()) break;
        }
        form->InfoPanel->setText(shown);
        form->resize(width, form->height());
        if (screen) {
            QRect frame = form->geometry();
            frame.moveCenter(screen->geometry().center());
            form->move(frame.topLeft());
        }
        form->show();
        form->repaint();
    } catch (...) {
    }
}

extern "C" void CloseWaitMessage()
{
    try {
        if (!GuiAvailable()) return;
        CloseShown();
    } catch (...) {
    }
}
