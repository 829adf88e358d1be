#include "Messages.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

namespace platform {

void processMessages()
{
    if (!QCoreApplication::instance()) return;
    // Events posted inside the program (queued calls, repaints) are delivered at every call;
    // the window system, whose polling costs a system call, is asked at most every 10 ms,
    // which no user can tell from every entry of a walk.
    constexpr qint64 PollEveryMs = 10;
    static QElapsedTimer polled;
    QCoreApplication::sendPostedEvents();
    if (!polled.isValid() || polled.elapsed() >= PollEveryMs) {
        QCoreApplication::processEvents();
        polled.restart();
    }
}

BusyCursor::BusyCursor()
{
    // The cursor belongs to the GUI thread of a program with windows.
    const QCoreApplication* app = QCoreApplication::instance();
    shown_ = qobject_cast<const QGuiApplication*>(app) && QThread::currentThread() == app->thread();
    if (shown_) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

BusyCursor::~BusyCursor()
{
    if (shown_) QGuiApplication::restoreOverrideCursor();
}

}  // namespace platform
