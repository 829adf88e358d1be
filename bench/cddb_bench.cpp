// The CDDB client against a loopback server whose answer is one chunk announced as 0x7fffffff
// bytes, sent as fast as the client takes it by a process of its own: the client's peak
// resident memory, the time to the refusal, what the server got to send, and the message.
// Usage: QT_QPA_PLATFORM=offscreen bench_cddb [chunk size in hexadecimal]; bench/cddb.sh runs it
// in rounds against main's build.
#include "CDDBConnect.h"
#include "CddbLoopbackServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>

int main(int argc, char** argv)
{
    const QByteArray size = argc > 1 ? QByteArray(argv[1]) : QByteArray("7fffffff");
    int link[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, link) != 0) return 1;
    const pid_t child = fork();
    if (child < 0) return 1;
    if (child == 0) {
        // More than the chunk announces, so that only the client ends the answer.
        close(link[0]);
        cdtest::FloodServer server("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + size + "\r\n",
                                   size.toLongLong(nullptr, 16) + (1LL << 20));
        const int port = server.base().section(':', 2).section('/', 0, 0).toInt();
        char done;
        if (write(link[1], &port, sizeof port) != sizeof port || read(link[1], &done, 1) < 0) _exit(1);
        const long long sent = server.sent();
        _exit(write(link[1], &sent, sizeof sent) == sizeof sent ? 0 : 1);
    }
    close(link[1]);
    int port = 0;
    if (read(link[0], &port, sizeof port) != sizeof port) return 1;

    QCoreApplication app(argc, argv);
    TCDDBConnect cddb;
    cddb.Server = "http://127.0.0.1:" + std::to_string(port) + "/~cddb";
    std::string what = "no error";
    QElapsedTimer clock;
    clock.start();
    try {
        cddb.Read("rock 0c012a02 x");
    } catch (const std::exception& e) {
        what = e.what();
    }
    const qint64 took = clock.elapsed();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    long long sent = 0;
    if (write(link[0], "", 1) != 1 || read(link[0], &sent, sizeof sent) != sizeof sent) return 1;
    waitpid(child, nullptr, 0);
    std::printf("peak_rss_mb %.1f time_ms %lld sent_mb %.1f message %s\n", double(usage.ru_maxrss) / 1024.0,
                (long long)took, double(sent) / (1024.0 * 1024.0), what.c_str());
    return 0;
}
