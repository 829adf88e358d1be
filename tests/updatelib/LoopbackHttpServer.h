// A small HTTP/1.1 server on 127.0.0.1 for the tests, served by the thread's event loop (the
// library's local event loop serves it while a fetch runs).
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

namespace vyxtest {

struct Response {
    Response(int status = 200, QByteArray body = {}, QList<QPair<QByteArray, QByteArray>> headers = {},
             bool hang = false)
        : status(status), body(std::move(body)), headers(std::move(headers)), hang(hang)
    {
    }
    int status = 200;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    bool hang = false;  // never answer: the client waits until it gives up
    // A hostile answer: these bytes as they are (status line, headers and body) instead of the
    // answer built from the fields above, followed by stream filler bytes sent as fast as the
    // client reads them; then the connection closes. The filler repeats filler ('x' when empty).
    QByteArray raw;
    qint64 stream = 0;
    QByteArray filler;
};

class LoopbackHttpServer : public QObject {
public:
    // port 0: any free port.
    explicit LoopbackHttpServer(quint16 port = 0, QTcpServer* server = nullptr);
    bool isListening() const { return server_->isListening(); }
    quint16 port() const { return server_->serverPort(); }
    QString url(const QString& path) const;

    void route(const QString& path, const Response& response) { routes_[path] = response; }
    void serve(const QString& path, const QByteArray& body) { route(path, Response{200, body, {}, false}); }
    void redirect(const QString& path, const QString& location);
    // Paths asked for, in order.
    QStringList requests() const { return requests_; }
    QHash<QByteArray, QByteArray> lastHeaders() const { return lastHeaders_; }
    // Bytes of a hostile answer the client's side took, over all its requests.
    qint64 taken(const QString& path) const { return taken_.value(path); }

private:
    void answer(QTcpSocket* socket);

    QTcpServer* server_;
    QHash<QString, Response> routes_;
    QStringList requests_;
    QHash<QByteArray, QByteArray> lastHeaders_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QHash<QString, qint64> taken_;
};

// A port on 127.0.0.1 that refuses connections (bound once, then released).
quint16 RefusingPort();

}  // namespace vyxtest
