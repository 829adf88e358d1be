// File names for display and back, on the windows' side of the platform layer: the local 8-bit
// encoding (UTF-8 here), bytes kept.
#pragma once

#include <QString>
#include <string>

namespace platform {

QString toDisplay(const std::string& path);
// The same on one line of a message: each control character (a line break in a name) shows as
// "⏎".
QString toDisplayLine(const std::string& path);
std::string fromDisplay(const QString& path);

}  // namespace platform
