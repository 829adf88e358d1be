#include "Display.h"
#include "FileSystem.h"
#include "Input.h"

#include <QCoreApplication>
#include <QFile>

namespace platform {

namespace {

// Without /proc the application object still finds the program, from its first argument.
std::string applicationFolder()
{
    return QCoreApplication::instance() ? fromDisplay(QCoreApplication::applicationDirPath()) : std::string();
}

const bool fallbackSet = (setProgramFolderFallback(applicationFolder), true);

}  // namespace

QString toDisplay(const std::string& path)
{
    return QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
}

QString toDisplayLine(const std::string& path) { return toDisplay(printableName(path)); }

std::string fromDisplay(const QString& path)
{
    QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), size_t(bytes.size()));
}

}  // namespace platform
