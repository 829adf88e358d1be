#include "Shell.h"
#include "Display.h"
#include "FileSystem.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include <unistd.h>

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

std::string quotedParameter(const std::string& text, bool closed)
{
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote gets one of its own.
        if (c == '"') out.append(backslashes + 1, '\\');
        out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    // Before the closing mark they are doubled too; at the very end they stay literal.
    out.append(closed ? 2 * backslashes : backslashes, '\\');
    if (closed) out += '"';
    return out;
}

ProgramRun runAndWait(const std::string& program, const std::string& parameters)
{
    ProgramRun run;
    if (program.empty() || folderExists(program) || ::access(program.c_str(), X_OK) != 0) return run;
    std::vector<std::string> arguments = splitParameters(parameters);
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);

    QProcess process;
    process.setProgram(toDisplay(program));
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // QProcess takes its arguments as text, which would lose the bytes of a name that is not
    // UTF-8: the child starts the program with the byte arguments itself.
    process.setChildProcessModifier([&argv] {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    });
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) return run;
    run.started = true;
    while (!process.waitForFinished(10)) {
        if (process.state() == QProcess::NotRunning) break;
        QCoreApplication::processEvents();
    }
    const QByteArray output = process.readAllStandardOutput();
    run.output.assign(output.constData(), std::size_t(output.size()));
    if (process.exitStatus() == QProcess::NormalExit) run.exitCode = process.exitCode();
    return run;
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

void setOpenDocumentHandler(std::function<bool(const std::string&)> handler) { openHandler() = std::move(handler); }

}  // namespace platform
