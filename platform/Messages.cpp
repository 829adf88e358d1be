#include "Messages.h"

#include <QCoreApplication>

namespace platform {

void processMessages()
{
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

}  // namespace platform
