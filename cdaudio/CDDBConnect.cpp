#include "CDDBConnect.h"

#include "CDInfo.h"
#include "CddbReply.h"
#include "Input.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <stdexcept>

namespace {

std::string encode(const std::string& v) { return QUrl::toPercentEncoding(QString::fromStdString(v)).toStdString(); }

// What the HTTP client's failures say to a French reader: the failures of the system's own
// sockets in the words of the system's error texts, the others here.
std::string networkErrorText(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError: return platform::errorText(ECONNREFUSED);
    case QNetworkReply::TimeoutError: return platform::errorText(ETIMEDOUT);
    case QNetworkReply::ProtocolUnknownError: return platform::errorText(EPROTONOSUPPORT);
    case QNetworkReply::OperationCanceledError: return platform::errorText(ECANCELED);
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError: return platform::errorText(ENETUNREACH);
    case QNetworkReply::RemoteHostClosedError: return "Connexion fermée par le serveur";
    case QNetworkReply::HostNotFoundError: return "Serveur introuvable";
    case QNetworkReply::SslHandshakeFailedError: return "Échec de la connexion sécurisée";
    case QNetworkReply::TooManyRedirectsError: return "Trop de redirections";
    case QNetworkReply::InsecureRedirectError: return "Redirection vers une adresse non sécurisée";
    case QNetworkReply::ProxyConnectionRefusedError: return "Connexion au serveur mandataire refusée";
    case QNetworkReply::ProxyConnectionClosedError: return "Connexion fermée par le serveur mandataire";
    case QNetworkReply::ProxyNotFoundError: return "Serveur mandataire introuvable";
    case QNetworkReply::ProxyTimeoutError: return "Délai d'attente du serveur mandataire dépassé";
    case QNetworkReply::ProxyAuthenticationRequiredError: return "Le serveur mandataire demande une authentification";
    case QNetworkReply::AuthenticationRequiredError: return "Le serveur demande une authentification";
    case QNetworkReply::ProtocolInvalidOperationError: return "Opération non valide pour ce protocole";
    case QNetworkReply::ProtocolFailure: return "Réponse du serveur illisible";
    default: return "Erreur réseau n° " + std::to_string(int(error));
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
        if (!http_) http_ = std::make_unique<QNetworkAccessManager>();
        if (client_.proxyServer.empty()) {
            http_->setProxy(QNetworkProxy::NoProxy);
        } else {
            http_->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QString::fromStdString(client_.proxyServer),
                                          quint16(client_.proxyPort), QString::fromStdString(client_.proxyUsername),
                                          QString::fromStdString(client_.proxyPassword)));
        }
        // The URL's own port, else the scheme's: the HTTP client always took the port from the
        // URL, so Port never decided where a request went.
        QNetworkRequest request(QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::TolerantMode));
        request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromStdString(ClientName + "/" + ClientVersion));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
        QNetworkReply* r = http_->get(request);
        QByteArray body;
        enum { Running, Done, TimedOut, TooLong, Redirected } state = Running;
        QUrl elsewhere;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
            state = TimedOut;
            r->abort();
        });
        QObject::connect(r, &QNetworkReply::redirected, &loop, [&](const QUrl& to) {
            const QUrl target = request.url().resolved(to);
            if (sameServer(target, request.url())) {
                emit r->redirectAllowed();
                return;
            }
            state = Redirected;
            elsewhere = target;
            r->abort();
        });
        QObject::connect(r, &QNetworkReply::readyRead, &loop, [&] {
            if (state != Running) return;
            body += r->read(MaxReplyBytes + 1 - body.size());
            if (body.size() > MaxReplyBytes) {
                state = TooLong;
                r->abort();
            }
        });
        QObject::connect(r, &QNetworkReply::finished, &loop, [&] {
            if (state == Running) {
                body += r->read(MaxReplyBytes + 1 - body.size());
                state = body.size() > MaxReplyBytes ? TooLong : Done;
            }
            loop.quit();
        });
        timer.start(TimeoutMs);
        if (!r->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
        timer.stop();
        std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> owned(r, [](QNetworkReply* p) { p->deleteLater(); });
        if (state == TimedOut)
            throw std::runtime_error("Le serveur CDDB n'a pas répondu dans les " + std::to_string(TimeoutMs / 1000) +
                                     " s.");
        if (state == TooLong)
            throw std::runtime_error("La réponse du serveur CDDB dépasse " + std::to_string(MaxReplyBytes / 1024) +
                                     " Kio : elle est refusée.");
        if (state == Redirected)
            throw std::runtime_error("Le serveur CDDB renvoie vers un autre serveur (" +
                                     platform::printable(elsewhere.toDisplayString().toStdString()) + ") : refusé.");
        int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (r->error() != QNetworkReply::NoError) {
            if (status >= 400) {
                const QString reason = r->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
                throw std::runtime_error("HTTP/1.1 " + std::to_string(status) + " " +
                                         platform::printable(reason.toStdString()));
            }
            throw std::runtime_error("Échec de la requête CDDB : " + networkErrorText(r->error()));
        }
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
