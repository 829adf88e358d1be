// Pending window messages are processed by long loops on the GUI thread, so that a stop button
// can be pressed while they run.
#pragma once

namespace platform {

void processMessages();

// The hourglass over the program's windows while a call that blocks runs: shown when made, the
// cursor before it back when it goes, however the call ends. Nothing without windows.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    [[maybe_unused]] bool shown_ = false;  // not read without windows
};

}  // namespace platform
