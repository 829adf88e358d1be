// Starting programs and opening documents through the desktop.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Splits a parameter string as the desktop's command lines are split: blanks separate, double
// quotes group (an unclosed quote runs to the end), "" inside quotes is one quote, and
// backslashes are literal except before a quote (2n backslashes + quote: n and a group mark;
// 2n+1: n and a literal quote).
std::vector<std::string> splitParameters(const std::string& parameters);

// A text between quotation marks that splitParameters gives back whole, whatever it holds
// (quotes, blanks, backslashes, any byte). An ordinary name just gets its two quotation marks.
// Without the closing mark (closed false) it is meant to end the parameter string.
std::string quotedParameter(const std::string& text, bool closed = true);

// How a program started by runAndWait ended.
struct ProgramRun {
    bool started = false;  // false: not found, not executable, or it could not be started
    int exitCode = -1;     // -1 when it did not end by itself
    std::string output;    // its standard output; its errors go to ours
};

// Starts a program with a parameter string (split as above) and waits for its end, processing
// the pending window messages every 10 ms so that the windows shown meanwhile stay painted.
// The arguments reach the program byte for byte, and no shell ever sees them.
ProgramRun runAndWait(const std::string& program, const std::string& parameters);

// Starts a program with a parameter string and does not wait; false when it could not start.
bool startProgram(const std::string& program, const std::string& parameters);
// The same with the arguments as they are: each reaches the program whole, whatever it holds.
bool startProgram(const std::string& program, const std::vector<std::string>& arguments);

// Opens a document, folder or URL with the desktop's handler; false when none took it.
bool openDocument(const std::string& pathOrUrl);
// Tests see the documents the program opens instead of the desktop.
void setOpenDocumentHandler(std::function<bool(const std::string&)> handler);

}  // namespace platform
