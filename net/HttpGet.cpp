#include "HttpGet.h"
#include "Input.h"

#include <QEventLoop>
#include <QNetworkCookie>
#include <QNetworkProxy>
#include <QSslSocket>
#include <QTcpSocket>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace net {
namespace {

// A chunk-size line, or the line end after a chunk's data.
constexpr qint64 kMaxChunkLine = 1024;

const char* const kInvalid = "le serveur n'a pas donné de réponse valable";
const char* const kUnsized = "le serveur n'a pas annoncé la longueur du fichier, qui pourrait être incomplet";

QString Text(const char* text) { return QString::fromUtf8(text); }

std::pair<QString, THttpGet::TFailure> SocketFailure(QAbstractSocket::SocketError error)
{
    using F = THttpGet::TFailure;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return {QStringLiteral("le serveur a refusé la connexion"), F::Refused};
    case QAbstractSocket::HostNotFoundError: return {QStringLiteral("le serveur est introuvable"), F::HostNotFound};
    case QAbstractSocket::SocketTimeoutError: return {QStringLiteral("le serveur ne répond plus"), F::Silent};
    case QAbstractSocket::SslHandshakeFailedError:
        return {QStringLiteral("la connexion sécurisée a échoué (certificat refusé)"), F::Secure};
    default: return {QStringLiteral("erreur du réseau"), F::Other};
    }
}

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool HasControlByte(const QByteArray& bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x20 || uchar(c) == 0x7f; });
}

// The size of a chunk-size line (hexadecimal digits, blanks around them, then maybe extensions
// after ";"); -1 when it is not one. Sizes past the signed range come out as its largest value:
// they are only ever refused as too long.
qint64 ChunkSize(QByteArrayView line)
{
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    const char *at = line.begin(), *end = line.end();
    while (at != end && blank(*at)) ++at;
    const char* digits = at;
    quint64 size = 0;
    for (; at != end; ++at) {
        const char lower = char(*at | 0x20);
        if (*at >= '0' && *at <= '9') size = size * 16 + quint64(*at - '0');
        else if (lower >= 'a' && lower <= 'f') size = size * 16 + quint64(lower - 'a' + 10);
        else break;
    }
    const qsizetype count = at - digits;
    while (at != end && blank(*at)) ++at;
    if (count == 0 || count > 16 || (at != end && *at != ';')) return -1;
    return qint64(std::min<quint64>(size, quint64(std::numeric_limits<qint64>::max())));
}

QString TooLargeText(qint64 limit)
{
    return QStringLiteral("le fichier dépasse la taille permise (%1 Mo)").arg(limit >> 20);
}

// Same scheme, host and port.
bool SameServer(const QUrl& a, const QUrl& b)
{
    const auto port = [](const QUrl& u) {
        return u.port(u.scheme().compare(u"https", Qt::CaseInsensitive) ? 80 : 443);
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && port(a) == port(b);
}

}  // namespace

THttpGet::THttpGet(QObject* parent) : QObject(parent)
{
    idle_.setSingleShot(true);
    idle_.setInterval(kIdleTimeoutMs);
    connect(&idle_, &QTimer::timeout, this,
            [this] { Finish(QStringLiteral("le serveur ne répond plus"), TFailure::Silent); });
    headClock_.setSingleShot(true);
    headClock_.setInterval(kHeadTimeoutMs);
    connect(&headClock_, &QTimer::timeout, this,
            [this] { Finish(QStringLiteral("le serveur n'a pas fini d'envoyer les en-têtes de sa réponse")); });
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        Finish(QStringLiteral("le serveur n'a pas répondu dans les %1 s").arg(TimeLimitMs / 1000), TFailure::TimedOut);
    });
}

THttpGet::~THttpGet() { DropSocket(); }

QString THttpGet::Run(const QUrl& url, const THeaders& headers, qint64 limit, bool lengthRequired)
{
    request_ = headers;
    limit_ = limit;
    lengthRequired_ = lengthRequired;
    aborted_ = false;
    failure_.clear();
    failureKind_ = TFailure::None;
    redirects_ = 0;
    origin_ = url;
    QEventLoop loop;
    loop_ = &loop;
    if (TimeLimitMs > 0) deadline_.start(TimeLimitMs);
    Open(url);
    // Finish may have come already: a quit before exec would be lost.
    if (phase_ != TPhase::Done) loop.exec();
    loop_ = nullptr;
    return failure_;
}

void THttpGet::Abort()
{
    if (phase_ == TPhase::Done) return;
    aborted_ = true;
    Finish(QString());
}

// One connection and its request: the first, or the one a redirect leads to.
void THttpGet::Open(const QUrl& url)
{
    Reset(url);
    const bool secure = url.scheme().compare(u"https", Qt::CaseInsensitive) == 0;
    // An address Qt finds invalid (a port out of range, characters a host cannot hold) would
    // still give a host and the default port.
    if ((!secure && url.scheme().compare(u"http", Qt::CaseInsensitive) != 0) || !url.isValid() ||
        url.host().isEmpty() || url.port() == 0)
        return Finish(QStringLiteral("adresse non valide"), TFailure::BadAddress);
    if (secure && !QSslSocket::supportsSsl())
        return Finish(QStringLiteral("les connexions sécurisées (https) ne sont pas disponibles sur ce système"),
                      TFailure::Secure);
    const bool proxied = !Proxy.host.isEmpty();
    if (proxied && secure) return Finish(QStringLiteral("le serveur mandataire ne sert que les adresses http"));
    if (OnConnecting) OnConnecting(url.host());
    if (phase_ == TPhase::Done) return;
    Connect(secure, proxied);
}

void THttpGet::Reset(const QUrl& url)
{
    url_ = url;
    phase_ = TPhase::Head;
    in_.clear();
    at_ = 0;
    line_.clear();
    body_.clear();
    bodyFill_ = 0;
    head_.clear();
    headBytes_ = 0;
    status_ = 0;
    reason_.clear();
    length_ = -1;
    received_ = 0;
    chunkLeft_ = 0;
    chunked_ = answered_ = false;
}

void THttpGet::Connect(bool secure, bool proxied)
{
    QAbstractSocket* s = secure ? static_cast<QAbstractSocket*>(new QSslSocket(this)) : new QTcpSocket(this);
    s->setProxy(QNetworkProxy::NoProxy);
    // The socket holds no more than one piece: the server waits while the caller writes.
    s->setReadBufferSize(kPiece);
    socket_ = s;
    auto send = [this, s, proxied] {
        if (s != socket_) return;
        s->write(RequestHead(proxied));
        idle_.start();
        headClock_.start();
    };
    if (secure) connect(static_cast<QSslSocket*>(s), &QSslSocket::encrypted, this, send);
    else connect(s, &QAbstractSocket::connected, this, send);
    connect(s, &QIODevice::readyRead, this, [this, s] {
        if (s == socket_) Read();
    });
    connect(s, &QIODevice::bytesWritten, this, [this, s] {
        if (s == socket_) idle_.start();
    });
    connect(s, &QAbstractSocket::disconnected, this, [this, s] {
        if (s == socket_) Closed();
    });
    connect(s, &QAbstractSocket::errorOccurred, this, [this, s](QAbstractSocket::SocketError error) {
        if (s != socket_) return;
        if (error == QAbstractSocket::RemoteHostClosedError) return Closed();
        const auto [text, kind] = SocketFailure(error);
        Finish(text, kind);
    });
    idle_.start();
    const quint16 port = quint16(url_.port(secure ? 443 : 80));
    if (secure) static_cast<QSslSocket*>(s)->connectToHostEncrypted(url_.host(), port);
    else s->connectToHost(proxied ? Proxy.host : url_.host(), proxied ? Proxy.port : port);
}

QByteArray THttpGet::RequestHead(bool proxied)
{
    QByteArray target = url_.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (!target.startsWith('/')) target.prepend('/');
    // A proxy is given the address whole.
    if (proxied)
        target =
            url_.toEncoded(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveUserInfo | QUrl::RemoveFragment) + target;
    QByteArray host = url_.host(QUrl::FullyEncoded).toUtf8();
    if (host.contains(':')) host = '[' + host + ']';
    if (url_.port() != -1) host += ':' + QByteArray::number(url_.port());
    QByteArray out = "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    if (proxied && !Proxy.user.isEmpty())
        out += "Proxy-Authorization: Basic " + (Proxy.user + u':' + Proxy.password).toUtf8().toBase64() + "\r\n";
    for (const auto& [name, value] : request_) out += name + ": " + value + "\r\n";
    QList<QByteArray> cookies;
    for (const QNetworkCookie& c : cookies_.cookiesForUrl(url_))
        cookies << c.toRawForm(QNetworkCookie::NameAndValueOnly);
    if (!cookies.isEmpty()) out += "Cookie: " + cookies.join("; ") + "\r\n";
    return out + "Connection: close\r\n\r\n";
}

// The next line from what was read, without its line end: a view into in_ or joined_, valid
// until the next call. Each byte is looked at once, however the line comes.
bool THttpGet::ReadLine(QByteArrayView& line, qint64 budget)
{
    const char* from = in_.constData() + at_;
    // One byte past the budget tells a line that is too long.
    const qint64 span = std::min<qint64>(in_.size() - at_, budget - headBytes_ + 1);
    const char* end = static_cast<const char*>(std::memchr(from, '\n', size_t(span)));
    const qint64 take = end ? end - from + 1 : span;
    at_ += take;
    headBytes_ += take;
    if (headBytes_ > budget) {
        Finish(phase_ == TPhase::Head || phase_ == TPhase::Trailer
                   ? QStringLiteral("les en-têtes de la réponse du serveur sont trop longs")
                   : Text(kInvalid));
        return false;
    }
    if (!end || !line_.isEmpty()) line_.append(from, take);
    if (!end) return false;
    line = QByteArrayView(from, take);
    if (!line_.isEmpty()) {
        joined_ = std::exchange(line_, QByteArray());
        line = joined_;
    }
    line.chop(line.size() > 1 && line[line.size() - 2] == '\r' ? 2 : 1);
    return true;
}

void THttpGet::Read()
{
    // A page refreshed from a callback may bring the next readyRead here: the loop below takes it.
    if (reading_) return;
    reading_ = true;
    idle_.start();
    while (socket_ && phase_ != TPhase::Done && (at_ < in_.size() || Refill())) {
        answered_ = true;
        Step();
    }
    reading_ = false;
}

// The next piece from the socket, once what was read before is used up: false when none came yet.
bool THttpGet::Refill()
{
    // What was read is handed on before the socket is asked for more.
    if (socket_->bytesAvailable() <= 0) Flush();
    if (!socket_ || phase_ == TPhase::Done || socket_->bytesAvailable() <= 0) return false;
    in_ = socket_->read(kPiece);
    at_ = 0;
    return !in_.isEmpty();
}

// One step through what was read: a line of a head, a chunk's size or end, or body bytes.
void THttpGet::Step()
{
    QByteArrayView line;
    switch (phase_) {
    case TPhase::Head:
        if (!ReadLine(line, kMaxHeadSize)) break;
        if (!line.isEmpty()) head_ << line.toByteArray();
        else if (!head_.isEmpty()) HeadEnded();
        break;
    case TPhase::Trailer:
        if (ReadLine(line, kMaxHeadSize) && line.isEmpty()) {
            Flush();
            Finish(QString());
        }
        break;
    case TPhase::Body: Take(length_ < 0 ? in_.size() - at_ : length_ - received_); break;
    case TPhase::ChunkSize:
        if (ReadLine(line, kMaxChunkLine)) ChunkSizeLine(line);
        break;
    case TPhase::ChunkData: Take(chunkLeft_); break;
    case TPhase::ChunkEnd: ChunkEnd(); break;
    case TPhase::Done: break;
    }
}

// At most `most` bytes of what was read go to the body.
void THttpGet::Take(qint64 most)
{
    const qint64 n = std::min<qint64>(in_.size() - at_, most);
    const char* from = in_.constData() + at_;
    at_ += n;
    if (phase_ == TPhase::ChunkData && (chunkLeft_ -= n) == 0) phase_ = TPhase::ChunkEnd;
    Deliver(from, n);
}

void THttpGet::ChunkSizeLine(QByteArrayView line)
{
    headBytes_ = 0;
    const qint64 size = ChunkSize(line);
    if (size < 0) return Finish(Text(kInvalid));
    if (size == 0) {
        phase_ = TPhase::Trailer;
    } else if (size > limit_ - received_) {
        // Refused as announced: not a byte of a chunk longer than what is left is read.
        Finish(TooLargeText(limit_), TFailure::TooLarge);
    } else {
        chunkLeft_ = size;
        phase_ = TPhase::ChunkData;
    }
}

void THttpGet::ChunkEnd()
{
    // The usual line end after a chunk's data, taken without a line read.
    if (line_.isEmpty() && in_.size() - at_ >= 2 && in_[at_] == '\r' && in_[at_ + 1] == '\n') {
        at_ += 2;
        phase_ = TPhase::ChunkSize;
        return;
    }
    QByteArrayView line;
    if (!ReadLine(line, kMaxChunkLine)) return;
    headBytes_ = 0;
    if (line.isEmpty()) phase_ = TPhase::ChunkSize;
    else Finish(Text(kInvalid));
}

void THttpGet::HeadEnded()
{
    const QByteArray statusLine = head_.value(0);
    const QList<QByteArray> parts = statusLine.split(' ');
    bool ok = statusLine.startsWith("HTTP/1.") && parts.size() >= 2 && parts[1].size() == 3;
    const int status = ok ? parts[1].toInt(&ok) : 0;
    // A switch of protocols that no request of ours asks for is no interim answer.
    if (!ok || status < 100 || status == 101) return Finish(Text(kInvalid));
    if (status < 200) {
        // An interim answer: the real one follows, within the same time for the head.
        head_.clear();
        headBytes_ = 0;
        return;
    }
    headClock_.stop();
    status_ = status;
    // Shown to the user: no control character of it reaches a page as it came.
    reason_ = QString::fromStdString(platform::printable(statusLine.mid(parts[0].size() + 5).trimmed().toStdString()));
    const THead head = TakeHeaders();
    if (OnStatus) OnStatus(status_, reason_);
    if (phase_ == TPhase::Done) return;
    if (IsRedirect(status_) && !head.location.isEmpty()) return FollowRedirect(head.location);
    // Another status ends the fetch; the caller tells it.
    if (status_ != 200) return Finish(QString());
    BeginBody(head);
}

// The headers of the head read (its status line aside) that the fetch goes by; its cookies are
// kept for the next request.
THttpGet::THead THttpGet::TakeHeaders()
{
    THead head;
    for (qsizetype i = 1; i < head_.size(); ++i) {
        const qsizetype colon = head_[i].indexOf(':');
        if (colon <= 0) continue;
        const QByteArray name = head_[i].left(colon).trimmed().toLower();
        const QByteArray value = head_[i].mid(colon + 1).trimmed();
        if (name == "location") head.location = value;
        else if (name == "transfer-encoding") {
            head.encoded = true;
            for (const QByteArray& coding : value.toLower().split(','))
                if (!coding.trimmed().isEmpty()) head.codings << coding.trimmed();
        } else if (name == "content-length") head.lengths << value;
        else if (name == "content-encoding") {
            for (const QByteArray& coding : value.toLower().split(','))
                head.compressed = head.compressed || (!coding.trimmed().isEmpty() && coding.trimmed() != "identity");
        } else if (name == "set-cookie") {
            // A control byte in a cookie would go out raw in the next request's head.
            QList<QNetworkCookie> cookies = QNetworkCookie::parseCookies(value);
            cookies.removeIf(
                [](const QNetworkCookie& c) { return HasControlByte(c.name()) || HasControlByte(c.value()); });
            cookies_.setCookiesFromUrl(cookies, url_);
        }
    }
    head_.clear();
    return head;
}

// The final answer's body, as its head frames it: by chunks, by its length, or up to the close.
void THttpGet::BeginBody(const THead& head)
{
    if (head.compressed && RefuseCompressed)
        return Finish(QStringLiteral("le serveur a envoyé sa réponse compressée, ce qui n'était pas demandé"),
                      TFailure::Compressed);
    // Chunked alone is the only transfer coding read: a body in any other would be saved coded.
    chunked_ = head.encoded;
    if (chunked_ && head.codings != QList<QByteArray>{"chunked"}) return Finish(Text(kInvalid));
    if (!chunked_ && !head.lengths.isEmpty()) {
        const QByteArray first = head.lengths[0];
        const bool ok = !first.isEmpty() && first.size() <= 18 && std::all_of(first.begin(), first.end(), [](char c) {
            return c >= '0' && c <= '9';
        }) && std::all_of(head.lengths.begin(), head.lengths.end(), [&](const QByteArray& l) { return l == first; });
        if (!ok) return Finish(Text(kInvalid));
        length_ = first.toLongLong();
    }
    if (length_ > limit_) return Finish(TooLargeText(limit_), TFailure::TooLarge);
    // Chunks tell their end by the last one; a body without them and without length does not.
    if (length_ < 0 && !chunked_ && lengthRequired_) return Finish(Text(kUnsized), TFailure::Unsized);
    phase_ = chunked_ ? TPhase::ChunkSize : TPhase::Body;
    headBytes_ = 0;
    if (OnBodyBegin) OnBodyBegin(length_);
    if (length_ == 0 && phase_ != TPhase::Done) Finish(QString());
}

void THttpGet::FollowRedirect(const QByteArray& location)
{
    const QUrl next = url_.resolved(QUrl::fromEncoded(location, QUrl::StrictMode));
    if (++redirects_ > kMaxRedirects) return Finish(QStringLiteral("trop de redirections"), TFailure::TooManyRedirects);
    if (url_.scheme().toLower() == u"https" && next.scheme().toLower() != u"https")
        return Finish(QStringLiteral("redirection refusée : elle quitte https pour http"));
    // An address that is not valid is refused as such when opened.
    if (SameServerOnly && next.isValid() && !SameServer(next, origin_)) {
        url_ = next;
        return Finish(QStringLiteral("redirection refusée : elle mène à un autre serveur"), TFailure::Redirected);
    }
    DropSocket();
    if (OnRedirected) OnRedirected();
    if (phase_ == TPhase::Done) return;
    Open(next);
}

// Body bytes are handed on a piece at a time, however small the chunks they came in.
void THttpGet::Deliver(const char* data, qint64 size)
{
    if (received_ + size > limit_) return Finish(TooLargeText(limit_), TFailure::TooLarge);
    while (size > 0) {
        // One piece's room at once: chunks of a byte each are copied, not appended through Qt.
        if (body_.isEmpty()) body_.resize(kPiece);
        const qint64 n = std::min(size, kPiece - bodyFill_);
        std::memcpy(body_.data() + bodyFill_, data, size_t(n));
        bodyFill_ += n;
        received_ += n;
        data += n;
        size -= n;
        if (bodyFill_ == kPiece) Flush();
        if (phase_ == TPhase::Done) return;
    }
    if (phase_ == TPhase::Body && received_ == length_) {
        Flush();
        Finish(QString());
    }
}

void THttpGet::Flush()
{
    if (bodyFill_ == 0 || phase_ == TPhase::Done) return;
    body_.truncate(bodyFill_);
    bodyFill_ = 0;
    const QByteArray piece = std::exchange(body_, QByteArray());
    if (!OnBody) return;
    const QString failure = OnBody(piece, received_);
    if (!failure.isEmpty()) Finish(failure);
}

void THttpGet::Closed()
{
    if (phase_ == TPhase::Done) return;
    if (reading_) {
        // Closed while a callback ran inside Read: what the socket still holds is read first.
        QTimer::singleShot(0, this, [this, s = socket_] {
            if (s && s == socket_) Closed();
        });
        return;
    }
    Read();
    if (phase_ == TPhase::Done) return;
    if (!answered_) Finish(QStringLiteral("le serveur a fermé la connexion sans répondre"), TFailure::ClosedUnanswered);
    else if (phase_ == TPhase::Head) Finish(Text(kInvalid));
    else if (phase_ == TPhase::Body && length_ < 0)
        // The end of a body without length cannot be told from a cut.
        Finish(Text(kUnsized), TFailure::Unsized);
    else
        Finish(QStringLiteral("le fichier reçu est incomplet (connexion fermée par le serveur)"), TFailure::Incomplete);
}

void THttpGet::Finish(const QString& failure, TFailure kind)
{
    if (phase_ == TPhase::Done) return;
    phase_ = TPhase::Done;
    failure_ = failure;
    failureKind_ = failure.isEmpty() ? TFailure::None : kind;
    body_.clear();
    bodyFill_ = 0;
    idle_.stop();
    headClock_.stop();
    deadline_.stop();
    DropSocket();
    if (loop_) loop_->quit();
}

void THttpGet::DropSocket()
{
    if (!socket_) return;
    QAbstractSocket* s = socket_;
    socket_ = nullptr;
    disconnect(s, nullptr, this, nullptr);
    s->abort();
    s->deleteLater();
}

}  // namespace net
