// The update wizard against a loopback server whose answer never ends: peak resident memory,
// the longest gap between two turns of the event loop (what the user sees as a frozen window),
// the bytes left on disk, and how long "Annuler" takes to act.
// Usage: QT_QPA_PLATFORM=offscreen bench_update [script|installer] [seconds before Cancel] [shape]
// Shapes of the answer: body (a 200 whose body never ends, the default), chunk (one chunk that
// announces 0x7fffffffffffffff bytes), line (a header line that never ends), headers (header
// lines without end), trickle (a header line that comes one byte a second), version (a whole
// script whose FullVersion is 1 MB long).
// Or: bench_update chunks [rounds]: a 1 MiB script sent in 1-byte chunks against the same script
// as one chunk, read by the GET alone and by the wizard; each round's times, then the median
// and the spread of each.
// The server sends at most 16 GiB and stops after 60 s; everything is written under a private
// temporary folder that is removed at the end.
#include "DownLoadUpdateUnit.h"
#include "HttpGet.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
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
#include <vector>

namespace {

std::atomic<bool> stopServer{false};

std::string shape = "body";
std::string versionScript;
// The chunked answers of "chunks": the script in 1-byte chunks, and as one chunk (asked for as /one).
std::string smallChunks, oneChunk;

// Answers every connection in the chosen shape: a head, then filler bytes without end.
void Serve(int listener)
{
    static char block[64 * 1024];
    for (size_t i = 0; i < sizeof block; ++i) block[i] = char('A' + i % 26);
    QElapsedTimer life;
    life.start();
    while (!stopServer && (life.elapsed() < 60000 || shape == "chunks")) {
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
        if (shape == "chunks") answer = std::string(head, got).find("GET /one ") == 0 ? oneChunk : smallChunks;
        else if (shape == "chunk")
            answer += "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n7fffffffffffffff\r\n";
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
        while (shape != "version" && shape != "trickle" && shape != "chunks" && !stopServer && sent < (16LL << 30) &&
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

std::string Chunked(const std::string& body, size_t piece)
{
    std::string out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    char size[32];
    for (size_t at = 0; at < body.size(); at += piece) {
        const size_t n = std::min(piece, body.size() - at);
        std::snprintf(size, sizeof size, "%zx\r\n", n);
        out += size + body.substr(at, n) + "\r\n";
    }
    return out + "0\r\n\r\n";
}

double Seconds(const QElapsedTimer& clock) { return double(clock.nsecsElapsed()) / 1e9; }

void Summary(const char* what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("  %-28s median %7.3f s  (min %7.3f, max %7.3f, %zu rounds)\n", what, times[times.size() / 2],
                times.front(), times.back(), times.size());
}

// The script in 1-byte chunks and as one chunk, through the GET alone and through the wizard.
int RunChunks(const QString& base, int rounds)
{
    const std::string exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
    std::string script = "[Modules]\r\n" + exe + "=Setup\r\n[" + exe +
                         "]\r\nFullVersion=9.0.0.0\r\n[Setup]\r\nDownLoad=http://127.0.0.1/\r\n";
    script += std::string((size_t(1) << 20) - script.size() - 2, ';') + "\r\n";
    smallChunks = Chunked(script, 1);
    oneChunk = Chunked(script, script.size());
    std::vector<double> times[4];
    const char* names[4] = {"GET, 1-byte chunks", "GET, one chunk", "wizard, 1-byte chunks", "wizard, one chunk"};
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < 4; ++i) {
            const QString url = base + (i % 2 ? "/one" : "/small");
            QElapsedTimer clock;
            bool ok = false;
            if (i < 2) {
                net::THttpGet get;
                qint64 got = 0;
                get.OnBody = [&](const QByteArray& piece, qint64) {
                    got += piece.size();
                    return QString();
                };
                clock.start();
                ok = get.Run(QUrl(url), {}, qint64(1) << 20, false).isEmpty() && got == qint64(script.size());
            } else {
                vyx::TUpdWiz wizard(nullptr);
                wizard.Initialise(url, QStringLiteral("http://127.0.0.1/"));
                wizard.show();
                clock.start();
                wizard.NextButton->click();
                ok = wizard.State == 3;
            }
            times[i].push_back(Seconds(clock));
            std::printf("round %d  %-24s %7.3f s%s\n", round + 1, names[i], times[i].back(), ok ? "" : "  FAILED");
        }
    }
    for (int i = 0; i < 4; ++i) Summary(names[i], times[i]);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool installer = argc > 1 && std::string(argv[1]) == "installer";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (argc > 3) shape = argv[3];
    if (argc > 1 && std::string(argv[1]) == "chunks") shape = "chunks";

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
    if (shape == "chunks") {
        const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
        std::thread server(Serve, listener);
        const int result = RunChunks(QStringLiteral("http://127.0.0.1:%1").arg(ntohs(addr.sin_port)), rounds);
        stopServer = true;
        server.join();
        close(listener);
        return result;
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
