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

std::vector<std::string> splitParameters(const std::string& Parameters)
{
    std::vector<std::string> result;
    std::string current;
    bool inArgument = false, quoted = false;
    const std::size_t n = Parameters.size();
    for (std::size_t i = 0; i < n;) {
        const char c = Parameters[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inArgument) result.push_back(std::move(current));
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            std::size_t count = 0;
            while (i < n && Parameters[i] == '\\') ++count, ++i;
            if (i < n && Parameters[i] == '"') {
                current.append(count / 2, '\\');
                if (count % 2) {
                    current += '"';
                    ++i;
                }
            } else {
                current.append(count, '\\');
            }
        } else if (c == '"') {
            if (quoted && i + 1 < n && Parameters[i + 1] == '"') {
                current += '"';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else {
            current += c;
            ++i;
        }
    }
    if (inArgument) result.push_back(std::move(current));
    return result;
}

bool startProgram(const std::string& program, const std::string& parameters)
{
    return startProgram(program, splitParameters(parameters));
}

bool startProgram(const std::string& program, const std::vector<std::string>& arguments)
{
    if (program.empty() || folderExists(program)) return false;
    QStringList list;
    for (const std::string& a : arguments) list << toDisplay(a);
    return QProcess::startDetached(toDisplay(program), list);
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
