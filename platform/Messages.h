// Pending window messages are processed by long loops on the GUI thread, so that a stop button
// can be pressed while they run.
#pragma once

namespace platform {

void processMessages();

}  // namespace platform
