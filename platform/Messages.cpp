#include "Messages.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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

}  // namespace platform
