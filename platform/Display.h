// File names for display and back, on the windows' side of the platform layer: the local 8-bit
// encoding (UTF-8 here), bytes kept.
#pragma once

#include <QString>
#include <string>

namespace platform {

QString toDisplay(const std::string& path);
// The same on one line of a message, as printableName (Input.h) makes it.
QString toDisplayLine(const std::string& path);
std::string fromDisplay(const QString& path);

}  // namespace platform
