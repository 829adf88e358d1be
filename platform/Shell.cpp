#include "Shell.h"
#include "FileSystem.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace platform {

namespace {

std::function<bool(const std::string&)>& openHandler()
{
    static std::function<bool(const std::string&)> handler;
    return handler;
}

}  // namespace

std::vector<std::string> splitParameters(const std::string& parameters)
{
    std::vector<std::string> out;
    size_t i = 0;
    const size_t n = parameters.size();
    while (i < n) {
        while (i < n && (parameters[i] == ' ' || parameters[i] == '\t')) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        for (; i < n; ++i) {
            const char c = parameters[i];
            if (c == '"') {
                if (quoted && i + 1 < n && parameters[i + 1] == '"') {
                    arg += '"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
            } else if (!quoted && (c == ' ' || c == '\t')) {
                break;
            } else {
                arg += c;
            }
        }
        out.push_back(arg);
    }
    return out;
}

bool startProgram(const std::string& program, const std::string& parameters)
{
    if (program.empty() || folderExists(program)) return false;
    QStringList arguments;
    for (const std::string& a : splitParameters(parameters)) arguments << toDisplay(a);
    return QProcess::startDetached(toDisplay(program), arguments);
}

bool openDocument(const std::string& pathOrUrl)
{
    if (openHandler()) return openHandler()(pathOrUrl);
    const QString text = toDisplay(pathOrUrl);
    const QUrl url = text.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(text) : QUrl(text);
    return QDesktopServices::openUrl(url);
}

void setOpenDocumentHandler(std::function<bool(const std::string&)> handler)
{
    openHandler() = std::move(handler);
}

}  // namespace platform
