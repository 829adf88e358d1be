#include "CDDBConnect.h"

#include "CDInfo.h"
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

std::string trim(const std::string& s)
{
    size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= ' ') ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
    return s.substr(a, b - a);
}

std::string upper6(const std::string& s)
{
    std::string u = s.substr(0, 6);
    for (char& c : u) c = char(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string::npos) {
            lines.push_back(text.substr(from));
            break;
        }
        lines.push_back(text.substr(from, end - from));
        from = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

std::string encode(const std::string& v)
{
    return QUrl::toPercentEncoding(QString::fromStdString(v)).toStdString();
}

// The integer conversion of the reply code: decimal digits, an optional sign.
int32_t replyCode(const std::string& s)
{
    size_t i = s[0] == '-' || s[0] == '+' ? 1 : 0;
    bool ok = i < s.size();
    for (size_t k = i; k < s.size(); ++k) ok = ok && std::isdigit(static_cast<unsigned char>(s[k]));
    if (!ok) throw std::runtime_error("'" + platform::printable(s) + "' n'est pas une valeur entière correcte");
    return std::stoi(s);
}

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
    BusyCursor() { if (shown) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { if (shown) QGuiApplication::restoreOverrideCursor(); }
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
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] { state = TimedOut; r->abort(); });
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
            throw std::runtime_error("Le serveur CDDB n'a pas répondu dans les " + std::to_string(TimeoutMs / 1000) + " s.");
        if (state == TooLong)
            throw std::runtime_error("La réponse du serveur CDDB dépasse " + std::to_string(MaxReplyBytes / 1024) + " Kio : elle est refusée.");
        if (state == Redirected)
            throw std::runtime_error("Le serveur CDDB renvoie vers un autre serveur (" +
                                     platform::printable(elsewhere.toDisplayString().toStdString()) + ") : refusé.");
        int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (r->error() != QNetworkReply::NoError) {
            if (status >= 400) {
                const QString reason = r->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
                throw std::runtime_error("HTTP/1.1 " + std::to_string(status) + " " + platform::printable(reason.toStdString()));
            }
            throw std::runtime_error("Échec de la requête CDDB : " + networkErrorText(r->error()));
        }
        // Level 4 replies are ISO-8859-1; a zero byte ends the text.
        int zero = body.indexOf('\0');
        if (zero >= 0) body.truncate(zero);
        reply = QString::fromLatin1(body).toStdString();
        received = true;
        LastCode = replyCode(reply.substr(0, 3));
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
    std::string result = trim(SendCommand(command));
    code = LastCode;
    if (code == 200) {
        size_t blank = result.find(' ');
        result = Read(blank == std::string::npos ? std::string() : result.substr(blank + 1));
    }
    info.Destroy();
    return result;
}

std::string TCDDBConnect::Read(const std::string& matchLine)
{
    std::string line = matchLine;
    if (line.compare(0, 3, "210") == 0 || line.compare(0, 3, "200") == 0) line = trim(line.substr(3, 999));
    std::string category, discId;
    size_t first = line.find(' ');
    if (first != std::string::npos) {
        category = line.substr(0, first);
        size_t second = line.find(' ', first + 1);
        if (second != std::string::npos) discId = line.substr(first + 1, second - first - 1);
    }
    std::string reply = SendCommand("cddb+read+" + encode(category) + "+" + encode(discId) + "+");
    EntryText = reply;
    EntryLines = splitLines(reply);
    return reply;
}

void TCDDBConnect::GetTrackTitles(std::vector<std::string>& list) const
{
    list.clear();
    std::string lastKey;
    for (const std::string& line : splitLines(EntryText)) {
        if (upper6(line) != "TTITLE") continue;
        size_t eq = line.find('=');
        std::string key = eq == std::string::npos ? line : line.substr(0, eq);
        for (char& c : key) c = char(std::toupper(static_cast<unsigned char>(c)));
        std::string title = eq == std::string::npos ? line : line.substr(eq + 1);
        if (!list.empty() && key == lastKey) list.back() += title;  // a continued title
        else list.push_back(title);
        lastKey = key;
    }
}

bool TCDDBConnect::discTitle(std::string& key, std::string& value) const
{
    bool found = false;
    value.clear();
    for (const std::string& line : EntryLines) {
        if (upper6(line) != "DTITLE") continue;
        size_t eq = line.find('=');
        if (!found) key = eq == std::string::npos ? std::string() : line.substr(0, eq + 1);
        value += eq == std::string::npos ? line : line.substr(eq + 1);
        found = true;
    }
    return found;
}

std::string TCDDBConnect::GetArtist() const
{
    std::string key, value;
    if (!discTitle(key, value)) return {};
    size_t slash = value.find('/');
    return slash == std::string::npos ? std::string() : trim(value.substr(0, slash));
}

std::string TCDDBConnect::GetAlbumTitle() const
{
    std::string key, value;
    if (!discTitle(key, value)) return {};
    size_t slash = value.find('/');
    return slash == std::string::npos ? trim(key + value) : trim(value.substr(slash + 1));
}

std::string TCDDBConnect::GetCategory() const
{
    if (EntryLines.empty()) throw std::out_of_range("Index de liste hors limites (0)");
    const std::string& line = EntryLines[0];
    size_t first = line.find(' ');
    if (first == std::string::npos) return {};
    size_t second = line.find(' ', first + 1);
    if (second == std::string::npos) return {};
    return line.substr(first + 1, second - first - 1);
}
