#include "CDDBConnect.h"

#include "CDInfo.h"
#include "CddbReply.h"
#include "HttpGet.h"
#include "Input.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <stdexcept>

namespace {

std::string encode(const std::string& v) { return QUrl::toPercentEncoding(QString::fromStdString(v)).toStdString(); }

// What the HTTP client's failures say to a French reader, in the words this client has always
// used where it had its own; the client's own French text for the others. Connection failures
// concern the proxy when there is one, as it is the only host connected to.
std::string failureText(const QString& failure, const net::THttpGet& http, bool proxied)
{
    using F = net::THttpGet::TFailure;
    switch (http.Failure()) {
    case F::Refused: return proxied ? "Connexion au serveur mandataire refusée" : platform::errorText(ECONNREFUSED);
    case F::HostNotFound: return proxied ? "Serveur mandataire introuvable" : "Serveur introuvable";
    case F::ClosedUnanswered:
        return proxied ? "Connexion fermée par le serveur mandataire" : "Connexion fermée par le serveur";
    case F::Silent: return platform::errorText(ETIMEDOUT);
    case F::BadAddress: return platform::errorText(EPROTONOSUPPORT);
    case F::TooManyRedirects: return "Trop de redirections";
    case F::Secure: return "Échec de la connexion sécurisée";
    case F::Incomplete: return "Connexion fermée par le serveur avant la fin de la réponse";
    default: return platform::printable(failure.toStdString());
    }
}

// A redirect stays on the server asked: same scheme, host and port.
bool sameServer(const QUrl& a, const QUrl& b)
{
    auto port = [](const QUrl& u) {
        return u.port(u.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) ? 80 : 443);
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && port(a) == port(b);
}

struct BusyCursor {
    bool shown = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    BusyCursor()
    {
        if (shown) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        if (shown) QGuiApplication::restoreOverrideCursor();
    }
};

}  // namespace

TCDDBConnect::TCDDBConnect() = default;
TCDDBConnect::~TCDDBConnect() = default;

std::string TCDDBConnect::BuildUrl(const std::string& command) const
{
    return Server + "/cddb.cgi?cmd=" + command + "&hello=" + encode(UserName) + "+" + encode(HostName) + "+" +
           encode(ClientName) + "+" + encode(ClientVersion) + "&proto=4";
}

void TCDDBConnect::ApplySettings()
{
    client_.port = Port;
    client_.proxyServer = ProxyServer;
    client_.proxyPort = ProxyPort;
    client_.proxyUsername = ProxyUsername;
    client_.proxyPassword = ProxyPassword;
}

std::string TCDDBConnect::SendCommand(const std::string& command)
{
    BusyCursor cursor;
    const std::string url = BuildUrl(command);
    ApplySettings();
    std::string reply;
    bool received = false;
    try {
        if (OnSendData) OnSendData(this, url);
        // The port goes where the address names none.
        QUrl address = QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::TolerantMode);
        const bool proxied = !client_.proxyServer.empty();
        for (const int32_t port : {address.port() == -1 ? client_.port : 1, proxied ? client_.proxyPort : 1})
            if (port < 1 || port > 65535)
                throw std::runtime_error("Échec de la requête CDDB : le port " + std::to_string(port) +
                                         " n'est pas valable");
        if (address.port() == -1) address.setPort(client_.port);
        net::THttpGet http;
        // Clicks wait for the answer, as the window's state is in the middle of a look-up.
        http.LoopFlags = QEventLoop::ExcludeUserInputEvents;
        if (proxied)
            http.Proxy = {QString::fromStdString(client_.proxyServer), quint16(client_.proxyPort),
                          QString::fromStdString(client_.proxyUsername), QString::fromStdString(client_.proxyPassword)};
        enum { Running, TimedOut, Redirected, Compressed } state = Running;
        QUrl elsewhere;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &http, [&] {
            state = TimedOut;
            http.Abort();
        });
        // Each connection after a redirect: only the server asked is followed.
        http.OnConnecting = [&](const QString&) {
            if (sameServer(http.Url(), address)) return;
            state = Redirected;
            elsewhere = http.Url();
            http.Abort();
        };
        QByteArray body;
        http.OnRedirected = [&] { body.clear(); };
        http.OnBody = [&](const QByteArray& piece, qint64) {
            const bool first = body.size() < 2;
            body += piece;
            // Asked for as it is: a compressed answer is never inflated, and refused at its start.
            if (first && body.startsWith("\x1f\x8b")) {
                state = Compressed;
                http.Abort();
            }
            return QString();
        };
        const net::THttpGet::THeaders headers = {
            {"User-Agent", QByteArray::fromStdString(ClientName + "/" + ClientVersion)},
            {"Accept-Encoding", "identity"},
        };
        timer.start(TimeoutMs);
        QString failure = http.Run(address, headers, MaxReplyBytes, false);
        timer.stop();
        if (state == TimedOut)
            throw std::runtime_error("Le serveur CDDB n'a pas répondu dans les " + std::to_string(TimeoutMs / 1000) +
                                     " s.");
        if (state == Redirected)
            throw std::runtime_error("Le serveur CDDB renvoie vers un autre serveur (" +
                                     platform::printable(elsewhere.toDisplayString().toStdString()) + ") : refusé.");
        if (state == Compressed)
            throw std::runtime_error("La réponse du serveur CDDB est compressée alors qu'elle a été demandée "
                                     "telle quelle : elle est refusée.");
        using F = net::THttpGet::TFailure;
        if (http.Failure() == F::TooLarge)
            throw std::runtime_error("La réponse du serveur CDDB dépasse " + std::to_string(MaxReplyBytes / 1024) +
                                     " Kio : elle est refusée.");
        // A body without length ends where the server closes: the reply ends there.
        if (http.Failure() == F::Unsized) failure.clear();
        if (!failure.isEmpty())
            throw std::runtime_error("Échec de la requête CDDB : " + failureText(failure, http, proxied));
        if (http.Status() == 407)
            throw std::runtime_error("Échec de la requête CDDB : Le serveur mandataire demande une authentification");
        if (http.Status() != 200)
            throw std::runtime_error("HTTP/1.1 " + std::to_string(http.Status()) + " " +
                                     platform::printable(http.Reason().toStdString()));
        // Level 4 replies are ISO-8859-1; a zero byte ends the text.
        int zero = body.indexOf('\0');
        if (zero >= 0) body.truncate(zero);
        reply = QString::fromLatin1(body).toStdString();
        received = true;
        LastCode = cdaudio::CddbReplyCode(reply);
    } catch (...) {
        if (OnReceiveData) OnReceiveData(this, LastCode, received ? reply : std::string());
        throw;
    }
    if (OnReceiveData) OnReceiveData(this, LastCode, reply);
    return reply;
}

std::string TCDDBConnect::Query(char drive, int32_t& code)
{
    TCDInfo info;
    info.Open(drive);
    DiscId = info.GetDiscIdText();
    TrackCount = int32_t(info.GetTrackCount());
    DiscSeconds = info.GetDiscLength();
    std::string command = "cddb+query+" + DiscId + "+" + std::to_string(TrackCount);
    for (int32_t t = 1; t <= TrackCount; ++t) {
        TMsfTime p;
        info.GetTrackPosition(uint32_t(t), p);
        command += "+" + std::to_string(MsfToFrames(p));
    }
    command += "+" + std::to_string(DiscSeconds);
    std::string result = SendCommand(command);
    code = LastCode;
    result = code == 200 ? Read(cdaudio::CddbExactMatch(result)) : cdaudio::CddbTrim(result);
    info.Destroy();
    return result;
}

std::string TCDDBConnect::Read(const std::string& matchLine)
{
    std::string category, discId;
    cdaudio::CddbMatchParts(matchLine, category, discId);
    std::string reply = SendCommand("cddb+read+" + encode(category) + "+" + encode(discId) + "+");
    EntryText = reply;
    EntryLines = cdaudio::CddbLines(reply);
    return reply;
}

void TCDDBConnect::GetTrackTitles(std::vector<std::string>& list) const { list = cdaudio::CddbTrackTitles(EntryText); }

std::string TCDDBConnect::GetArtist() const { return cdaudio::CddbArtist(EntryLines); }

std::string TCDDBConnect::GetAlbumTitle() const { return cdaudio::CddbAlbumTitle(EntryLines); }

std::string TCDDBConnect::GetCategory() const { return cdaudio::CddbCategory(EntryLines); }
