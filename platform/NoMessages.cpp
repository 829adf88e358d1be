// Without windows (the Qt-free build) there are no window messages to process.
#include "Messages.h"

namespace platform {

void processMessages() {}

BusyCursor::BusyCursor() = default;
BusyCursor::~BusyCursor() = default;

}  // namespace platform
