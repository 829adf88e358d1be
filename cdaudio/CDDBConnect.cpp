#include "CDDBConnect.h"

#include "CDInfo.h"
#include "CddbReply.h"
#include "HttpGet.h"
#include "Input.h"
#include "Messages.h"

#include <QUrl>

#include <cerrno>
#include <stdexcept>

namespace {

std::string encode(const std::string& v) { return QUrl::toPercentEncoding(QString::fromStdString(v)).toStdString(); }

// A text from the server, fit for a message: printable, and cut to a sane length.
std::string serverText(const std::string& text)
{
    const QString whole = QString::fromStdString(text);
    return platform::printable((whole.size() > 200 ? whole.left(200) + QStringLiteral("…") : whole).toStdString());
}

// Why the GET failed, in the words this client has always used where it had its own; the GET's
// own French text for the others. Connection failures concern the proxy when there is one, as it
// is the only host connected to.
std::string failureText(const net::THttpGet& http, const QString& failure, const std::string& server, bool proxied,
                        bool redirected)
{
    using F = net::THttpGet::TFailure;
    switch (http.Failure()) {
    case F::Refused: return proxied ? "Connexion au serveur mandataire refusée" : platform::errorText(ECONNREFUSED);
    case F::HostNotFound: return proxied ? "Serveur mandataire introuvable" : "Serveur introuvable";
    case F::ClosedUnanswered:
        return proxied ? "Connexion fermée par le serveur mandataire" : "Connexion fermée par le serveur";
    case F::Silent: return platform::errorText(ETIMEDOUT);
    // The update wizard's words for an address it cannot use.
    case F::BadAddress:
        return redirected ? "le serveur renvoie vers une adresse non valide"
                          : "adresse non valide : " + serverText(server);
    case F::TooManyRedirects: return "Trop de redirections";
    case F::Secure: return "Échec de la connexion sécurisée";
    case F::Incomplete: return "Connexion fermée par le serveur avant la fin de la réponse";
    default: return platform::printable(failure.toStdString());
    }
}

void checkPort(int32_t port)
{
    if (port < 1 || port > 65535)
        throw std::runtime_error("Échec de la requête CDDB : le port " + std::to_string(port) + " n'est pas valable");
}

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

void TCDDBConnect::Abort()
{
    if (http_) http_->Abort();
}

std::string TCDDBConnect::SendCommand(const std::string& command)
{
    const platform::BusyCursor busy;
    const std::string url = BuildUrl(command);
    ApplySettings();
    std::string reply;
    bool received = false;
    try {
        if (OnSendData) OnSendData(this, url);
        reply = fetch(url);
        received = true;
        LastCode = cdaudio::CddbReplyCode(reply);
    } catch (...) {
        if (OnReceiveData) OnReceiveData(this, LastCode, received ? reply : std::string());
        throw;
    }
    if (OnReceiveData) OnReceiveData(this, LastCode, reply);
    return reply;
}

std::string TCDDBConnect::fetch(const std::string& url)
{
    QUrl address = QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::TolerantMode);
    // The port goes where the address names none. An address that is not valid gets none: the
    // GET refuses it as it is.
    if (address.isValid() && address.port() == -1) {
        checkPort(client_.port);
        address.setPort(client_.port);
    }
    const bool proxied = !client_.proxyServer.empty();
    net::THttpGet http;
    if (proxied) {
        checkPort(client_.proxyPort);
        http.Proxy = {QString::fromStdString(client_.proxyServer), quint16(client_.proxyPort),
                      QString::fromStdString(client_.proxyUsername), QString::fromStdString(client_.proxyPassword)};
    }
    http.SameServerOnly = true;
    http.RefuseCompressed = true;
    http.TimeLimitMs = TimeoutMs;
    QByteArray body;
    bool redirected = false;
    http.OnRedirected = [&] {
        redirected = true;
        body.clear();
    };
    http.OnBody = [&](const QByteArray& piece, qint64) {
        body += piece;
        return QString();
    };
    const net::THttpGet::THeaders headers = {
        {"User-Agent", QByteArray::fromStdString(ClientName + "/" + ClientVersion)},
        {"Accept-Encoding", "identity"},
    };
    http_ = &http;
    const QString failure = http.Run(address, headers, MaxReplyBytes, false);
    http_ = nullptr;
    checkAnswer(http, failure, proxied, redirected);
    // Level 4 replies are ISO-8859-1; a zero byte ends the text.
    const qsizetype zero = body.indexOf('\0');
    if (zero >= 0) body.truncate(zero);
    return QString::fromLatin1(body).toStdString();
}

void TCDDBConnect::checkAnswer(const net::THttpGet& http, const QString& failure, bool proxied, bool redirected) const
{
    using F = net::THttpGet::TFailure;
    if (http.Aborted()) throw std::runtime_error("La recherche CDDB a été interrompue : rien n'a été changé.");
    switch (http.Failure()) {
    case F::None: break;
    // A body without length ends where the server closes: the reply ends there.
    case F::Unsized: break;
    case F::TimedOut:
        throw std::runtime_error("Le serveur CDDB n'a pas répondu dans les " + std::to_string(TimeoutMs / 1000) +
                                 " s.");
    case F::Redirected:
        throw std::runtime_error("Le serveur CDDB renvoie vers un autre serveur (" +
                                 serverText(http.Url().toDisplayString().toStdString()) + ") : refusé.");
    case F::Compressed:
        throw std::runtime_error("La réponse du serveur CDDB est compressée alors qu'elle a été demandée "
                                 "telle quelle : elle est refusée.");
    case F::TooLarge:
        throw std::runtime_error("La réponse du serveur CDDB dépasse " + std::to_string(MaxReplyBytes / 1024) +
                                 " Kio : elle est refusée.");
    default:
        throw std::runtime_error("Échec de la requête CDDB : " +
                                 failureText(http, failure, Server, proxied, redirected));
    }
    if (http.Status() == 407)
        throw std::runtime_error("Échec de la requête CDDB : Le serveur mandataire demande une authentification");
    if (http.Status() != 200)
        throw std::runtime_error("HTTP/1.1 " + std::to_string(http.Status()) + " " +
                                 platform::printable(http.Reason().toStdString()));
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
    // Only a whole entry replaces the last one: the window's rows and the cache are made of it.
    std::vector<std::string> lines = cdaudio::CddbLines(reply);
    if (LastCode != 210)
        throw std::runtime_error("Le serveur CDDB n'a pas donné l'entrée de ce disque : " +
                                 serverText(cdaudio::CddbTrim(lines.empty() ? std::string() : lines[0])));
    if (!cdaudio::CddbEntryWhole(lines))
        throw std::runtime_error("L'entrée reçue du serveur CDDB est incomplète (titres ou fin manquants) : "
                                 "elle est refusée.");
    EntryText = reply;
    EntryLines = std::move(lines);
    return reply;
}

void TCDDBConnect::GetTrackTitles(std::vector<std::string>& list) const { list = cdaudio::CddbTrackTitles(EntryText); }

std::string TCDDBConnect::GetArtist() const { return cdaudio::CddbArtist(EntryLines); }

std::string TCDDBConnect::GetAlbumTitle() const { return cdaudio::CddbAlbumTitle(EntryLines); }

std::string TCDDBConnect::GetCategory() const { return cdaudio::CddbCategory(EntryLines); }
