// The update wizard against a loopback server whose answer never ends: peak resident memory,
// the longest gap between two turns of the event loop (what the user sees as a frozen window),
// the bytes left on disk, and how long "Annuler" takes to act.
// Usage: QT_QPA_PLATFORM=offscreen bench_update [script|installer] [seconds before Cancel]
// The server sends at most 16 GiB and stops after 60 s; everything is written under a private
// temporary folder that is removed at the end.
#include "DownLoadUpdateUnit.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> stopServer{false};

// Answers every connection with a 200 and an endless body (no length, then close).
void Serve(int listener) {
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
    const char answer[] = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
    send(c, answer, sizeof answer - 1, MSG_NOSIGNAL);
    long long sent = 0;
    while (!stopServer && sent < (16LL << 30) && life.elapsed() < 60000) {
      const ssize_t n = send(c, block, sizeof block, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += n;
    }
    close(c);
  }
}

long long FolderBytes(const QString& folder) {
  long long total = 0;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) total += it.nextFileInfo().size();
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  const bool installer = argc > 1 && std::string(argv[1]) == "installer";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 3;

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
  wizard.NextButton->click();
  const qint64 returned = clock.elapsed();
  tick.stop();
  disk.stop();
  mostOnDisk = std::max(mostOnDisk, FolderBytes(temp.path()));
  stopServer = true;
  server.join();
  close(listener);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%s, endless body, Cancel after %d s\n", installer ? "installer" : "script", seconds);
  std::printf("  peak RSS              %8.1f MB\n", double(usage.ru_maxrss) / 1024.0);
  std::printf("  longest event gap     %8lld ms (at %lld ms)\n", (long long)longestGap, (long long)longestAt);
  std::printf("  most bytes on disk    %8.1f MB\n", double(mostOnDisk) / (1024.0 * 1024.0));
  if (cancelAt >= 0 && returned >= cancelAt)
    std::printf("  Cancel took effect %8lld ms after it was due (its click ran %lld ms late)\n",
                (long long)(returned - cancelWanted), (long long)(cancelAt - cancelWanted));
  else
    std::printf("  fetch ended by itself after %lld ms (before Cancel)\n", (long long)returned);
  std::printf("  state %d, page: %s\n", wizard.State, qPrintable(wizard.JvLinkLabel->plainText().left(160)));
  return 0;
}
