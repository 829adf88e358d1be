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

// Starts a program with a parameter string and does not wait; false when it could not start.
bool startProgram(const std::string& program, const std::string& parameters);
// The same with the arguments as they are: each reaches the program whole, whatever it holds.
bool startProgram(const std::string& program, const std::vector<std::string>& arguments);

// Opens a document, folder or URL with the desktop's handler; false when none took it.
bool openDocument(const std::string& pathOrUrl);
// Tests see the documents the program opens instead of the desktop.
void setOpenDocumentHandler(std::function<bool(const std::string&)> handler);

}  // namespace platform
