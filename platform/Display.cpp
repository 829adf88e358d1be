#include "Display.h"
#include "FileSystem.h"

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

QString toDisplayLine(const std::string& path)
{
    QString text = toDisplay(path);
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control) c = QChar(0x23CE);
    return text;
}

std::string fromDisplay(const QString& path)
{
    QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), size_t(bytes.size()));
}

}  // namespace platform
