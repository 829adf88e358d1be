// A loopback server that answers like a CDDB-over-HTTP server: a raw reply per command word,
// every request target recorded. Shared by the CDDB client's tests and the CD window's.
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace cdtest {

// Raw replies by the request's command word ("query", "read", or "moved" for a target that
// holds "/moved", where tests redirect to): the bytes to send, or no answer at all. filler
// bytes follow as fast as the client takes them, and the connection stays open after them.
struct Answer {
    QByteArray bytes;
    bool hang = false;
    qint64 filler = 0;
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
    qint64 sent = 0;                   // bytes written to clients

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
        connect(s, &QTcpSocket::bytesWritten, this, [this](qint64 n) { sent += n; });
        s->write(a.bytes);
        if (a.filler == 0) return s->disconnectFromHost();
        auto more = [s, left = a.filler]() mutable {
            while (left > 0 && s->bytesToWrite() < kBlock) {
                const qint64 n = std::min(left, kBlock);
                s->write(QByteArray(n, 'x'));
                left -= n;
            }
        };
        connect(s, &QTcpSocket::bytesWritten, this, more);
        more();
    }
    static constexpr qint64 kBlock = 64 * 1024;
    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

}  // namespace cdtest
