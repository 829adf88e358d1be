// libFuzzer target: any bytes as the answers of an HTTP server to the bounded GET, one answer per
// connection in turn (the answers are separated by zero bytes; the first byte picks the bound,
// whether a length must be announced and whether a compressed answer is refused), served over a
// loopback socket. A redirect may lead anywhere: redirects are followed on the same server only,
// and a connection anywhere else is a finding. Checked
// against the last answer read whole: the body handed on is what follows its head as sent, or its
// chunks' data, from the first byte on; never more than the bound, nor than the announced length;
// a success is exactly the announced length, or every chunk up to the last; Run returns
// (libFuzzer's timeout tells when it does not).
#include "HttpGet.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <memory>

namespace {

std::unique_ptr<QTcpServer> server;
QList<QByteArray> answers;
int generation = 0;
int connections = 0;

// Answers each connection of this input with the next answer once its request has come, then
// closes it; a connection past the last answer is closed unanswered.
void Accept()
{
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        const int index = connections++;
        auto request = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, index, request, input = generation] {
            *request += socket->readAll();
            if (input != generation) return socket->abort();
            if (!request->contains("\r\n\r\n")) return;
            QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
            if (index < answers.size()) socket->write(answers[index]);
            socket->disconnectFromHost();
        });
    }
}

// An answer as sent, read whole rather than as it arrives: where its body begins (after the
// interim heads and the final one) and whether a transfer coding frames it.
struct TAnswer {
    const QByteArray& sent;
    qsizetype at = 0;
    bool coded = false;

    bool Line(QByteArray& line)
    {
        const qsizetype end = sent.indexOf('\n', at);
        if (end < 0) return false;
        line = sent.mid(at, end - at);
        if (line.endsWith('\r')) line.chop(1);
        at = end + 1;
        return true;
    }
    void SkipHeads()
    {
        for (QByteArray status, line; Line(line);) {
            if (line.isEmpty() && !status.isEmpty()) {
                if (!status.split(' ').value(1).startsWith('1')) return;
                status.clear();
                coded = false;
            } else if (!line.isEmpty() && status.isEmpty()) {
                status = line;
            } else if (line.indexOf(':') > 0 &&
                       line.left(line.indexOf(':')).trimmed().toLower() == "transfer-encoding") {
                coded = true;
            }
        }
    }
    // The chunks' data up to where they stop; whole when the last chunk came.
    QByteArray Dechunked(bool& whole)
    {
        QByteArray data, line;
        whole = false;
        while (Line(line)) {
            bool ok = false;
            const qlonglong size = line.split(';').front().trimmed().toLongLong(&ok, 16);
            if (!ok || size < 0) break;
            if (size == 0) {
                whole = true;
                break;
            }
            data += sent.mid(at, size);
            at += size;
            if (at > sent.size() || !Line(line) || !line.isEmpty()) break;
        }
        return data;
    }
};

void Check(bool holds)
{
    if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    server = std::make_unique<QTcpServer>();
    if (!server->listen(QHostAddress::LocalHost, 0)) return 1;
    QObject::connect(server.get(), &QTcpServer::pendingConnectionAvailable, Accept);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    static constexpr qint64 kBounds[4] = {64, 1000, 16384, qint64(1) << 20};
    const qint64 limit = kBounds[data[0] & 3];
    const bool lengthRequired = data[0] & 4;
    const bool refuseCompressed = data[0] & 8;
    answers = QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)).split('\0');
    ++generation;
    connections = 0;

    net::THttpGet get;
    get.SameServerOnly = true;
    get.RefuseCompressed = refuseCompressed;
    QByteArray body;
    qint64 total = -2;  // no body begun
    get.OnConnecting = [&](const QString&) {
        const QUrl url = get.Url();
        Check(url.scheme() == u"http" && url.host() == u"127.0.0.1" && url.port(80) == server->serverPort());
    };
    get.OnBodyBegin = [&](qint64 announced) {
        Check(total == -2 && announced >= -1 && announced <= limit);
        total = announced;
    };
    get.OnBody = [&](const QByteArray& piece, qint64 received) {
        Check(total >= -1 && !piece.isEmpty() && piece.size() <= net::THttpGet::kPiece);
        body += piece;
        Check(received == body.size() && received <= limit && (total < 0 || received <= total));
        return QString();
    };
    get.OnRedirected = [&] { Check(total == -2 && body.isEmpty()); };
    const QString failure =
        get.Run(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server->serverPort())), {}, limit, lengthRequired);

    // What the body gave came from the last answer, the one the GET read: the bytes after its
    // head as they were sent, or its chunks' data.
    const bool success = failure.isEmpty() && !get.Aborted() && get.Status() == 200;
    if (total == -2) Check(body.isEmpty() && !success);
    if (total >= -1) {
        const QByteArray sent = answers.value(connections - 1);
        TAnswer answer{sent};
        answer.SkipHeads();
        if (!answer.coded) {
            Check(answer.sent.mid(answer.at, body.size()) == body);
            if (success) Check(body.size() == total);
        } else {
            bool whole = false;
            const QByteArray data = answer.Dechunked(whole);
            Check(total == -1 && data.startsWith(body));
            if (success) Check(whole && data == body);
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
