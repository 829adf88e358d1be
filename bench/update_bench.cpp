// The update wizard against a loopback server whose answer never ends: peak resident memory,
// the longest gap between two turns of the event loop (what the user sees as a frozen window),
// the bytes left on disk, and how long "Annuler" takes to act.
// Usage: QT_QPA_PLATFORM=offscreen bench_update [script|installer] [seconds before Cancel] [shape]
// Shapes of the answer: body (a 200 whose body never ends, the default), chunk (one chunk that
// announces 0x7fffffffffffffff bytes), line (a header line that never ends), headers (header
// lines without end), trickle (a header line that comes one byte a second), version (a whole
// script whose FullVersion is 1 MB long).
// The server sends at most 16 GiB and stops after 60 s; everything is written under a private
// temporary folder that is removed at the end.
#include "DownLoadUpdateUnit.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> stopServer{false};

std::string shape = "body";
std::string versionScript;

// Answers every connection in the chosen shape: a head, then filler bytes without end.
void Serve(int listener)
{
    static char block[64 * 1024];
    for (size_t i = 0; i < sizeof block; ++i) block[i] = char('A' + i % 26);
    QElapsedTimer life;
    life.start();
    while (!stopServer && life.elapsed() < 60000) {
        pollfd p{listener, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        const int c = accept(listener, nullptr, nullptr);
        if (c < 0) continue;
        char head[65536];
        size_t got = 0;
        while (got < sizeof head) {
            const ssize_t n = recv(c, head + got, sizeof head - got, 0);
            if (n <= 0) break;
            got += size_t(n);
            if (std::string(head, got).find("\r\n\r\n") != std::string::npos) break;
        }
        std::string answer = "HTTP/1.1 200 OK\r\n";
        if (shape == "chunk") answer += "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n7fffffffffffffff\r\n";
        else if (shape == "line" || shape == "trickle") answer += "X-Filler: ";
        else if (shape == "version")
            answer += "Content-Length: " + std::to_string(versionScript.size()) + "\r\nConnection: close\r\n\r\n" +
                      versionScript;
        else if (shape != "headers") answer += "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
        send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
        // Header lines of 64 KiB each, or the block as it is.
        if (shape == "headers") {
            std::memcpy(block, "X-Filler: ", 10);
            std::memcpy(block + sizeof block - 2, "\r\n", 2);
        }
        while (shape == "trickle" && !stopServer && life.elapsed() < 60000 && send(c, "x", 1, MSG_NOSIGNAL) == 1)
            for (int i = 0; i < 10 && !stopServer; ++i) usleep(100000);
        long long sent = 0;
        while (shape != "version" && shape != "trickle" && !stopServer && sent < (16LL << 30) &&
               life.elapsed() < 60000) {
            const ssize_t n = send(c, block, sizeof block, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += n;
        }
        close(c);
    }
}

long long FolderBytes(const QString& folder)
{
    long long total = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) total += it.nextFileInfo().size();
    return total;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool installer = argc > 1 && std::string(argv[1]) == "installer";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (argc > 3) shape = argv[3];

    QTemporaryDir temp(QDir::tempPath() + "/update-bench-XXXXXX");
    if (!temp.isValid()) return 1;
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    QApplication app(argc, argv);

    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, 8) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return 1;
    if (shape == "version") {
        const std::string exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
        versionScript = "[Modules]\r\n" + exe + "=Setup\r\n[" + exe + "]\r\nFullVersion=9.0.0.0 " +
                        std::string(1000000, 'v') + "\r\n[Setup]\r\nDownLoad=http://127.0.0.1/\r\n";
    }
    std::thread server(Serve, listener);
    const QString url = QStringLiteral("http://127.0.0.1:%1/endless").arg(ntohs(addr.sin_port));

    vyx::TUpdWiz wizard(nullptr);
    wizard.Initialise(url, QStringLiteral("http://127.0.0.1/"));
    if (installer) {
        wizard.State = 3;
        wizard.NewVersion = true;
        wizard.DownloadURL = url;
        wizard.NextButton->setEnabled(true);
    }

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longestGap = 0, longestAt = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (now - last > longestGap) longestGap = now - last, longestAt = now;
        last = now;
    });
    long long mostOnDisk = 0;
    QTimer disk;
    QObject::connect(&disk, &QTimer::timeout, [&] { mostOnDisk = std::max(mostOnDisk, FolderBytes(temp.path())); });
    qint64 cancelAt = -1;
    const qint64 cancelWanted = clock.elapsed() + seconds * 1000;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, [&] {
        mostOnDisk = std::max(mostOnDisk, FolderBytes(temp.path()));
        cancelAt = clock.elapsed();
        wizard.CancelButton->click();
    });
    tick.start(1);
    disk.start(100);
    last = clock.elapsed();
    wizard.show();
    wizard.NextButton->click();
    const qint64 returned = clock.elapsed();
    // The page as it is laid out and painted after the fetch.
    QTimer::singleShot(1000, &app, &QApplication::quit);
    if (wizard.isVisible()) app.exec();
    tick.stop();
    disk.stop();
    mostOnDisk = std::max(mostOnDisk, FolderBytes(temp.path()));
    stopServer = true;
    server.join();
    close(listener);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s, shape %s, Cancel after %d s\n", installer ? "installer" : "script", shape.c_str(), seconds);
    std::printf("  peak RSS              %8.1f MB\n", double(usage.ru_maxrss) / 1024.0);
    std::printf("  longest event gap     %8lld ms (at %lld ms)\n", (long long)longestGap, (long long)longestAt);
    std::printf("  most bytes on disk    %8.1f MB\n", double(mostOnDisk) / (1024.0 * 1024.0));
    if (cancelAt >= 0 && returned >= cancelAt)
        std::printf("  Cancel took effect %8lld ms after it was due (its click ran %lld ms late)\n",
                    (long long)(returned - cancelWanted), (long long)(cancelAt - cancelWanted));
    else std::printf("  fetch ended by itself after %lld ms (before Cancel)\n", (long long)returned);
    const QString page = wizard.JvLinkLabel->plainText();
    const qsizetype cause = page.indexOf(QStringLiteral("Cause"));
    std::printf("  state %d, page: %s\n", wizard.State, qPrintable(page.mid(std::max<qsizetype>(cause, 0), 160)));
    return 0;
}
