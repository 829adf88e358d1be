// File names for display and back, on the windows' side of the platform layer: the local 8-bit
// encoding (UTF-8 here), bytes kept.
#pragma once

#include <QString>
#include <string>

namespace platform {

QString toDisplay(const std::string& path);
std::string fromDisplay(const QString& path);

}  // namespace platform
