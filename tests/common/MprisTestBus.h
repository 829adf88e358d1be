// A private D-Bus session bus for a test program and the test MPRIS player
// (tests/winamp/mpris_test_player.cpp) started on it, so that no player of the desktop is driven.
#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/types.h>

namespace sonoverne::test {

// Start before the QApplication: the session bus address is read once.
struct SessionBus {
    pid_t pid = 0;
    bool start()
    {
        FILE* out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        if (!out) return false;
        char address[1024] = {}, pidText[64] = {};
        const bool read = std::fgets(address, sizeof address, out) && std::fgets(pidText, sizeof pidText, out);
        pclose(out);
        if (!read) return false;
        address[std::strcspn(address, "\n")] = 0;
        pid = static_cast<pid_t>(std::atol(pidText));
        setenv("DBUS_SESSION_BUS_ADDRESS", address, 1);
        return pid > 0;
    }
    ~SessionBus()
    {
        if (pid > 0) kill(pid, SIGTERM);
    }
};

// One test player process under org.mpris.MediaPlayer2.<name>, and the calls it received, one
// line per call ("Seek -5000000"). With a number of tracks it has an editable track list; the
// options are the test player's ("silent", "files", "web").
class TestPlayer {
public:
    TestPlayer(const QString& program, const QString& name, const QString& recordFolder, int tracks = 0,
               const QString& options = QString())
        : record_(QStringLiteral("%1/%2-%3.log").arg(recordFolder, name).arg(++serial_))
    {
        QStringList arguments{name, record_};
        if (tracks > 0 || !options.isEmpty()) arguments << QString::number(tracks);
        if (!options.isEmpty()) arguments << options;
        process_.start(program, arguments);
        // The player says "ready" once its bus name is taken.
        while (process_.state() != QProcess::NotRunning && !process_.canReadLine()) process_.waitForReadyRead(1000);
        ready_ = process_.readLine().trimmed() == "ready";
    }
    ~TestPlayer() { quit(); }

    bool ready() const { return ready_; }

    QStringList record() const
    {
        QFile file(record_);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Waits until the player has left by itself.
    bool waitForExit()
    {
        while (process_.state() != QProcess::NotRunning) process_.waitForFinished(1000);
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }

    void quit()
    {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        while (!process_.waitForFinished(1000)) process_.kill();
    }

private:
    static inline int serial_ = 0;
    QString record_;
    QProcess process_;
    bool ready_ = false;
};

}  // namespace sonoverne::test
