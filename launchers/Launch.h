// What the two launchers share: running an outside tool with an argument vector (no shell ever
// sees a file name) and handing it file names it cannot mistake for options.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace launch {

// Runs the tool found in the absolute folders of PATH (an empty or relative entry is never
// looked in) with argv (argv[0] is its name), its input from /dev/null so that it can never stop
// to ask, and waits for it. Its standard output is collected into *output when
// given, else sent to standard error. Returns its exit code; 127 when it could not be started,
// 128 + the signal number when a signal ended it.
int runTool(const std::vector<std::string>& argv, std::string* output = nullptr);

// A relative name beginning with "-" gets "./" in front, so that no tool reads it as an option
// (neither mp3gain nor lame takes "--").
std::string asOperand(const std::string& name);

// Reads count bytes at offset at; false when the file holds fewer or cannot be read.
bool readAt(int fd, std::string& out, std::size_t count, off_t at);

// Flushes the file to the disk and closes it: 0, or the error number of the first failure. A
// write the disk could not take in the end shows here, before the file takes its real name.
int syncAndClose(int fd);

// "program: message" on standard error.
void complain(const char* program, const std::string& message);

}  // namespace launch
