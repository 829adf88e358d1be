// A loopback server that answers like a CDDB-over-HTTP server: a raw reply per command word,
// every request recorded. Shared by the CDDB client's tests and the CD window's, and a server
// that floods its client, for the CDDB client's tests and bench.
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <atomic>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace cdtest {

// Raw replies by the request's command word ("query", "read", or "moved" for a target that
// holds "/moved", where tests redirect to): the bytes to send, or no answer at all.
struct Answer {
    QByteArray bytes;
    bool hang = false;
};

class CddbServer : public QObject {
public:
    CddbServer()
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString base() const { return QString("http://127.0.0.1:%1/~cddb").arg(server_.serverPort()); }
    std::map<std::string, Answer> answers;
    std::vector<std::string> targets;  // request targets, in order
    std::vector<QByteArray> heads;     // whole request heads, in order

    static QByteArray http(const QByteArray& body, int status = 200, const char* reason = "OK")
    {
        return "HTTP/1.1 " + QByteArray::number(status) + " " + reason +
               "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }

private:
    void serve(QTcpSocket* s)
    {
        pending_[s] += s->readAll();
        if (!pending_[s].contains("\r\n\r\n")) return;
        QByteArray line = pending_[s].left(pending_[s].indexOf("\r\n"));
        heads.push_back(pending_[s].left(pending_[s].indexOf("\r\n\r\n") + 4));
        pending_.remove(s);
        std::string target = line.split(' ').value(1).toStdString();
        targets.push_back(target);
        std::string word = target.find("/moved") != std::string::npos           ? "moved"
                           : target.find("cmd=cddb+query") != std::string::npos ? "query"
                                                                                : "read";
        const Answer& a = answers[word];
        if (a.hang) return;
        s->write(a.bytes);
        s->disconnectFromHost();
    }
    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

// A server that sends a head, then filler as fast as the kernel takes it, from a thread of its
// own (as a server on another machine would), up to cap bytes; the connection then stays open
// until the client closes it. sent() counts what the kernel took.
class FloodServer {
public:
    FloodServer(QByteArray head, long long cap) : head_(std::move(head)), cap_(cap)
    {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(listener_, 4) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~FloodServer()
    {
        stop_ = true;
        thread_.join();
        close(listener_);
    }
    QString base() const { return QString("http://127.0.0.1:%1/~cddb").arg(port_); }
    long long sent() const { return sent_; }

private:
    // Waits for one of events on fd, looking at stop_ every 50 ms.
    bool wait(int fd, short events)
    {
        pollfd p{fd, events, 0};
        while (!stop_)
            if (poll(&p, 1, 50) > 0) return true;
        return false;
    }
    void serve()
    {
        while (wait(listener_, POLLIN)) {
            const int c = accept(listener_, nullptr, nullptr);
            if (c < 0) continue;
            std::string request;
            char buf[4096];
            while (request.find("\r\n\r\n") == std::string::npos && wait(c, POLLIN)) {
                const ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                request.append(buf, size_t(n));
            }
            static const std::string block(1 << 20, 'x');
            bool open = send(c, head_.constData(), size_t(head_.size()), MSG_NOSIGNAL) == head_.size();
            while (open && sent_ < cap_ && wait(c, POLLOUT)) {
                const ssize_t n = send(c, block.data(), size_t(std::min<long long>(cap_ - sent_, block.size())),
                                       MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n > 0) sent_ += n;
                else if (n < 0 && errno != EAGAIN) open = false;
            }
            while (open && wait(c, POLLIN)) open = recv(c, buf, sizeof buf, 0) > 0;
            close(c);
        }
    }
    QByteArray head_;
    long long cap_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<long long> sent_{0};
    std::thread thread_;
};

}  // namespace cdtest
