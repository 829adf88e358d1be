// One HTTP GET done on Qt Network's sockets, read a bounded piece at a time: the network access
// manager of this Qt holds a header without end, or one chunk announcing any length, in memory
// whole, so the update wizard and the CDDB client read their answers themselves and hold every
// part of them to a limit.
#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QList>
#include <QNetworkCookieJar>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>

class QAbstractSocket;

namespace net {

class THttpGet : public QObject {
public:
    using THeaders = QList<QPair<QByteArray, QByteArray>>;

    explicit THttpGet(QObject* parent = nullptr);
    ~THttpGet() override;

    // Each connection begins (also after a redirect).
    std::function<void(const QString& host)> OnConnecting;
    // Each answer's status line.
    std::function<void(int status, const QString& reason)> OnStatus;
    // The final answer's body begins; total is -1 when its length is not announced.
    std::function<void(qint64 total)> OnBodyBegin;
    // A piece of the body (at most kPiece bytes); a non-empty result stops the fetch with it.
    std::function<QString(const QByteArray& piece, qint64 received)> OnBody;
    // A redirect is followed: what the body gave so far is not the file.
    std::function<void()> OnRedirected;

    // A plain HTTP proxy for http addresses: each request goes to it with the address whole on
    // its request line, and Basic credentials when a user name is given. No host: no proxy.
    struct TProxy {
        QString host;
        quint16 port = 80;
        QString user, password;
    } Proxy;
    // Redirects are followed on the server first asked only: same scheme, host and port.
    bool SameServerOnly = false;
    // An answer in a content coding (gzip, ...) is refused at its head, never handed on coded.
    bool RefuseCompressed = false;
    // The whole fetch, redirects included, in milliseconds; 0: only the bounds below.
    int TimeLimitMs = 0;

    // Fetches url (http or https) in a local event loop. limit bounds the body; lengthRequired
    // refuses a body whose end cannot be told (neither an announced length nor chunks) as soon as
    // its headers arrive. The result is empty when the body came whole with status 200, or when
    // Abort was called; otherwise it says why. A final status other than 200 gives an empty result
    // too: see Status.
    QString Run(const QUrl& url, const THeaders& headers, qint64 limit, bool lengthRequired);
    // What the last failure was, for a caller that words it its own way.
    enum class TFailure {
        None,
        Refused,           // the server refused the connection
        HostNotFound,      // no such server
        ClosedUnanswered,  // closed before any answer
        Silent,            // stopped sending for too long
        BadAddress,        // an address not served (scheme, validity)
        TooManyRedirects,
        Redirected,  // a redirect to another server, refused (SameServerOnly)
        Compressed,  // refused (RefuseCompressed)
        TimedOut,    // past TimeLimitMs
        Secure,      // the secure connection failed
        TooLarge,    // the body passes the limit
        Unsized,     // no announced length: perhaps incomplete
        Incomplete,  // closed before the announced end
        Other,
    };
    TFailure Failure() const { return failureKind_; }
    void Abort();
    bool Running() const { return loop_ != nullptr; }
    bool Aborted() const { return aborted_; }
    int Status() const { return status_; }
    // The last status line's reason phrase, its control characters made printable.
    QString Reason() const { return reason_; }
    // The address last asked, or the redirect refused.
    QUrl Url() const { return url_; }

    static constexpr qint64 kPiece = 64 * 1024;
    // The whole head of an answer (status line and headers), and of a chunk trailer.
    static constexpr qint64 kMaxHeadSize = 64 * 1024;
    // From the request to the end of the head; a server that stops sending fails sooner.
    static constexpr int kHeadTimeoutMs = 30000;
    static constexpr int kIdleTimeoutMs = 60000;
    static constexpr int kMaxRedirects = 10;

private:
    enum class TPhase { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailer, Done };
    struct THead {
        QByteArray location;
        QList<QByteArray> lengths, codings;  // Content-Length values, transfer codings
        bool encoded = false, compressed = false;
    };

    void Open(const QUrl& url);
    void Reset(const QUrl& url);
    void Connect(bool secure, bool proxied);
    QByteArray RequestHead(bool proxied);
    void Read();
    bool Refill();
    void Step();
    bool ReadLine(QByteArrayView& line, qint64 budget);
    void Take(qint64 most);
    void ChunkSizeLine(QByteArrayView line);
    void ChunkEnd();
    void HeadEnded();
    THead TakeHeaders();
    void BeginBody(const THead& head);
    void FollowRedirect(const QByteArray& location);
    void Deliver(const char* data, qint64 size);
    void Flush();
    void Closed();
    void Finish(const QString& failure, TFailure kind = TFailure::Other);
    void DropSocket();

    THeaders request_;
    qint64 limit_ = 0;
    bool lengthRequired_ = false;
    QNetworkCookieJar cookies_;

    QUrl origin_, url_;
    QPointer<QAbstractSocket> socket_;
    QEventLoop* loop_ = nullptr;
    QTimer idle_, headClock_, deadline_;
    QString failure_;
    TFailure failureKind_ = TFailure::None;
    bool aborted_ = false, reading_ = false, answered_ = false;
    int redirects_ = 0;

    TPhase phase_ = TPhase::Head;
    QByteArray in_;      // what was taken from the socket
    qsizetype at_ = 0;   // how far in_ is read
    QByteArray line_;    // the line being read, when it spans two reads
    QByteArray joined_;  // such a line once whole
    QByteArray body_;    // room for a piece, bodyFill_ bytes of it not yet handed to OnBody
    qsizetype bodyFill_ = 0;
    qint64 headBytes_ = 0;  // of the head being read
    QList<QByteArray> head_;
    int status_ = 0;
    QString reason_;
    qint64 length_ = -1, received_ = 0, chunkLeft_ = 0;
    bool chunked_ = false;
};

}  // namespace net
