#include "LoopbackHttpServer.h"

#include <QTcpSocket>

#include <algorithm>
#include <memory>

namespace vyxtest {

LoopbackHttpServer::LoopbackHttpServer(quint16 port, QTcpServer* server) : server_(server ? server : new QTcpServer)
{
    server_->setParent(this);
    server_->listen(QHostAddress::LocalHost, port);
    connect(server_, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QObject::destroyed, this, [this, socket] { pending_.remove(socket); });
        }
    });
}

QString LoopbackHttpServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void LoopbackHttpServer::redirect(const QString& path, const QString& location)
{
    route(path, Response{302, {}, {{"Location", location.toUtf8()}}, false});
}

void LoopbackHttpServer::answer(QTcpSocket* socket)
{
    QByteArray& buffer = pending_[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) return;
    const QByteArray head = buffer.left(end);
    pending_.remove(socket);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);

    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    const QString path = QString::fromUtf8(requestLine.value(1));
    requests_ << path;
    lastHeaders_.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) lastHeaders_[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
    }

    const Response r = routes_.value(path, Response{404, "not found", {}, false});
    if (r.hang) return;
    if (!r.raw.isEmpty()) {
        connect(socket, &QTcpSocket::bytesWritten, this, [this, path](qint64 n) { taken_[path] += n; });
        socket->write(r.raw);
        // The filler goes out a few blocks at a time, as the client takes it.
        auto left = std::make_shared<qint64>(r.stream);
        const QByteArray unit = r.filler.isEmpty() ? QByteArray("x") : r.filler;
        const QByteArray block = unit.repeated(std::max<qsizetype>(1, 64 * 1024 / unit.size()));
        auto pump = [socket, left, block] {
            while (*left > 0 && socket->bytesToWrite() < 4 * block.size()) {
                const qint64 n = std::min<qint64>(*left, block.size());
                socket->write(block.constData(), n);
                *left -= n;
            }
            if (*left == 0) {
                *left = -1;
                socket->disconnectFromHost();
            }
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, pump);
        pump();
        return;
    }
    QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + " Status\r\n";
    out += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\nConnection: close\r\n";
    for (const auto& [name, value] : r.headers) out += name + ": " + value + "\r\n";
    out += "\r\n" + r.body;
    socket->write(out);
    socket->disconnectFromHost();
}

quint16 RefusingPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

}  // namespace vyxtest
