#include "WinAmp.h"

#include "Shell.h"

#include "Dialogs.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>

TCopyDataStruct WinAmpCopyData;

namespace {

const QString PlayerPrefix = QStringLiteral("org.mpris.MediaPlayer2.");
const QString PlayerPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString RootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString TrackListInterface = QStringLiteral("org.mpris.MediaPlayer2.TrackList");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

constexpr qlonglong FiveSeconds = 5000000;  // microseconds
constexpr std::uintptr_t OpenFileRequest = 100;
constexpr std::intptr_t ClearRequest = 101;

// Unique bus connections of the players found so far; a handle is its index + 1.
std::vector<QString>& knownPlayers()
{
    static std::vector<QString> players;
    return players;
}

TWindowHandle handleOf(const QString& connection)
{
    auto& players = knownPlayers();
    auto it = std::find(players.begin(), players.end(), connection);
    if (it == players.end()) it = players.insert(players.end(), connection);
    return static_cast<TWindowHandle>(it - players.begin()) + 1;
}

QString connectionOf(TWindowHandle handle)
{
    const auto& players = knownPlayers();
    if (handle < 1 || static_cast<std::size_t>(handle) > players.size()) return {};
    return players[static_cast<std::size_t>(handle) - 1];
}

// A player that does not answer must not hold the window, and one that answers is never called
// silent: only waiting for an answer that does not come counts. The player a command drives may
// keep it waiting 2 s in all that way: the first call left unanswered that long ends the command
// (TWinAmpControl::Answering), while an answer that comes, however late, costs nothing. While a
// call waits the windows keep painting; input waits for the end of the command.
constexpr int SilenceLimitMs = 2000;
// Calls are sent ahead of the answers to the earlier ones, so that clearing a long queue is not a
// round trip per track; so many at most wait for their answers at once.
constexpr std::size_t CallsAhead = 256;
// The bus never gives up on a call by itself: the silence above decides.
constexpr int NoTimeout = std::numeric_limits<int>::max();

struct TCallBudget {
    bool lost = false;  // a call got no answer in time: the command ends
};

bool isTimeout(const QDBusMessage& answer)
{
    return answer.type() == QDBusMessage::ErrorMessage &&
           (answer.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
            answer.errorName() == QLatin1String("org.freedesktop.DBus.Error.Timeout"));
}

// Lets the windows paint while answers keep coming without a wait, at most every 20 ms.
void keepPainting()
{
    static QElapsedTimer painted;
    if (painted.isValid() && painted.elapsed() < 20) return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    painted.start();
}

// Waits until the call is answered or `deadline` passes, the windows painting meanwhile; true
// when it was answered.
bool waitForAnswer(const QDBusPendingCall& call, QDeadlineTimer deadline)
{
    if (call.isFinished()) {
        keepPainting();
        return true;
    }
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    QDBusPendingCallWatcher watcher(call);
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(deadline.remainingTime(), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return call.isFinished();
}

QDBusMessage playerCall(const QString& connection, const QString& interface, const QString& method,
                        const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(connection, PlayerPath, interface, method);
    message.setArguments(arguments);
    return message;
}

QDBusPendingCall sendCall(const QString& connection, const QString& interface, const QString& method,
                          const QVariantList& arguments)
{
    return QDBusConnection::sessionBus().asyncCall(playerCall(connection, interface, method, arguments), NoTimeout);
}

// The answer to a call sent, waited for as long as the command's silence allows; false when it
// was lost, the command then ending.
bool awaitAnswer(TCallBudget& budget, const QDBusPendingCall& call, QDBusMessage* reply = nullptr)
{
    if (budget.lost || !waitForAnswer(call, QDeadlineTimer(SilenceLimitMs)) || isTimeout(call.reply())) {
        budget.lost = true;
        return false;
    }
    if (reply) *reply = call.reply();
    return call.reply().type() == QDBusMessage::ReplyMessage;
}

// Whether the root interface's SupportedUriSchemes of an answer holds "file".
bool opensFiles(const QDBusMessage& answer)
{
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) return false;
    const QStringList schemes = qvariant_cast<QDBusVariant>(answer.arguments().constFirst()).variant().toStringList();
    return schemes.contains(QStringLiteral("file"), Qt::CaseInsensitive);
}

// The player standing for a window of the given class, or 0; `answered` tells whether it
// answered the search.
TWindowHandle findPlayerWindow(const std::string& className, bool& answered)
{
    answered = false;
    // Window classes compare without regard to case.
    if (QString::fromStdString(className).compare(QStringLiteral("Winamp v1.x"), Qt::CaseInsensitive) != 0) return 0;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return 0;
    const QDBusReply<QStringList> names = bus.interface()->registeredServiceNames();
    if (!names.isValid()) return 0;

    const QString wanted = qEnvironmentVariable("SONOVERNE_MPRIS_PLAYER");
    QStringList players;
    for (const QString& name : names.value()) {
        if (!name.startsWith(PlayerPrefix)) continue;
        const QString player = name.mid(PlayerPrefix.size());
        if (wanted.isEmpty() || player == wanted || player.startsWith(wanted + QLatin1Char('.'))) players << name;
    }
    players.sort();
    // A player may leave between the listing and the look-up: only those still there count.
    QStringList owners;
    for (const QString& name : players) {
        const QDBusReply<QString> owner = bus.interface()->serviceOwner(name);
        if (owner.isValid() && !owner.value().isEmpty()) owners << owner.value();
    }
    if (owners.isEmpty()) return 0;
    // A browser's media session names itself too, often before the player: the first player that
    // opens files is the one, else the first. The questions go out together, so that players that
    // do not answer cost 2 s in all.
    std::vector<QDBusPendingCall> questions;
    for (const QString& owner : owners)
        questions.push_back(sendCall(owner, PropertiesInterface, QStringLiteral("Get"),
                                     {RootInterface, QStringLiteral("SupportedUriSchemes")}));
    const QDeadlineTimer deadline(SilenceLimitMs);
    for (std::size_t i = 0; i < questions.size(); ++i) {
        if (!waitForAnswer(questions[i], deadline) || !opensFiles(questions[i].reply())) continue;
        answered = true;
        return handleOf(owners[static_cast<qsizetype>(i)]);
    }
    answered = questions.front().isFinished() && !isTimeout(questions.front().reply());
    return handleOf(owners.constFirst());
}

// One call, as a window message waits for the window; false when it was not handled.
bool callPlayer(TCallBudget& budget, const QString& connection, const QString& interface, const QString& method,
                const QVariantList& arguments = {}, QDBusMessage* reply = nullptr)
{
    return !budget.lost && awaitAnswer(budget, sendCall(connection, interface, method, arguments), reply);
}

bool readProperty(TCallBudget& budget, const QString& connection, const QString& interface, const QString& name,
                  QVariant& value)
{
    QDBusMessage reply;
    if (!callPlayer(budget, connection, PropertiesInterface, QStringLiteral("Get"), {interface, name}, &reply) ||
        reply.arguments().isEmpty())
        return false;
    value = qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant();
    return true;
}

// There is no "clear" in the player interface: stop, then remove every track when the player
// lets its track list be edited. A player without one keeps its queue.
bool clearQueue(TCallBudget& budget, const QString& connection)
{
    const bool stopped = callPlayer(budget, connection, PlayerInterface, QStringLiteral("Stop"));
    QVariant canEdit;
    if (!readProperty(budget, connection, TrackListInterface, QStringLiteral("CanEditTracks"), canEdit) ||
        !canEdit.toBool())
        return stopped;
    QVariant tracks;
    if (!readProperty(budget, connection, TrackListInterface, QStringLiteral("Tracks"), tracks)) return stopped;
    QList<QDBusObjectPath> ids;
    if (tracks.canConvert<QDBusArgument>()) ids = qdbus_cast<QList<QDBusObjectPath>>(tracks.value<QDBusArgument>());
    else ids = tracks.value<QList<QDBusObjectPath>>();
    // One call a track, each sent ahead of the answers to the earlier ones.
    std::deque<QDBusPendingCall> waiting;
    for (qsizetype next = 0; !budget.lost && (next < ids.size() || !waiting.empty());) {
        while (next < ids.size() && waiting.size() < CallsAhead)
            waiting.push_back(sendCall(connection, TrackListInterface, QStringLiteral("RemoveTrack"),
                                       {QVariant::fromValue(ids[next++])}));
        awaitAnswer(budget, waiting.front());
        waiting.pop_front();
    }
    return stopped;
}

// The file named by a WM_COPYDATA record, opened as a file URL that keeps its bytes.
bool openFile(TCallBudget& budget, const QString& connection, const TCopyDataStruct* data)
{
    if (!data || data->dwData != OpenFileRequest || data->cbData == 0 || !data->lpData) return false;
    const char* bytes = static_cast<const char*>(data->lpData);
    QByteArray path(bytes, static_cast<qsizetype>(strnlen(bytes, data->cbData)));
    if (path.isEmpty()) return false;
    if (!path.startsWith('/')) path = QFile::encodeName(QDir::currentPath()) + '/' + path;
    const QByteArray uri = "file://" + path.toPercentEncoding("/");
    return callPlayer(budget, connection, PlayerInterface, QStringLiteral("OpenUri"), {QString::fromLatin1(uri)});
}

bool runCommand(TCallBudget& budget, const QString& connection, std::uintptr_t command)
{
    switch (command) {
    case 40045: return callPlayer(budget, connection, PlayerInterface, QStringLiteral("Play"));
    case 40046: return callPlayer(budget, connection, PlayerInterface, QStringLiteral("Pause"));
    case 40047: return callPlayer(budget, connection, PlayerInterface, QStringLiteral("Stop"));
    case 40044: return callPlayer(budget, connection, PlayerInterface, QStringLiteral("Previous"));
    case 40048: return callPlayer(budget, connection, PlayerInterface, QStringLiteral("Next"));
    case 40060: return callPlayer(budget, connection, PlayerInterface, QStringLiteral("Seek"), {FiveSeconds});
    case 40061: return callPlayer(budget, connection, PlayerInterface, QStringLiteral("Seek"), {-FiveSeconds});
    case 40001: return callPlayer(budget, connection, RootInterface, QStringLiteral("Quit"));
    default: return false;
    }
}

}  // namespace

TWinAmpControl::TWinAmpControl() = default;

TWinAmpControl::~TWinAmpControl()
{
    if (!CloseWinAmpOnExit) return;
    try {
        CloseWinAmp();
    } catch (...) {
        // Nothing may leave a destructor; a player that cannot be told is left running.
    }
}

void TWinAmpControl::SetAboutComponent(bool)
{
    ui::Dialogs::MessageBox(nullptr,
                            QStringLiteral("TWinAmpControl : pilotage à distance du lecteur\n"
                                           "Composant de Sonoverne"),
                            QStringLiteral("About    \"TWinAmpControl\""), ui::MB_OK | ui::MB_ICONINFORMATION);
}

bool TWinAmpControl::StartWinAmp(const std::string& Path)
{
    return platform::startProgram(Path, "/CLASS=\"" + WinAmpClassName + "\"");
}

TWinAmpControl::TCommand::TCommand(TWinAmpControl& control) : control_(control)
{
    control_.FInCommand = true;
    control_.FAnswering = true;
}

TWinAmpControl::TCommand::~TCommand() { control_.FInCommand = false; }

TWindowHandle TWinAmpControl::GoFindWinAmp()
{
    if (StartAndFindWinAmp && StartWinAmp(WAmpPath))
        QThread::msleep(static_cast<unsigned long>(std::max<std::int32_t>(0, DelayAfterLoadWinAmp)));
    FFound = false;
    bool answered = false;
    WinAmpHandle = findPlayerWindow(WinAmpClassName, answered);
    FFound = WinAmpHandle != 0;
    FAnswering = answered || !FFound;
    return WinAmpHandle;
}

std::intptr_t TWinAmpControl::SendCommand(unsigned Message, std::uintptr_t WParam, std::intptr_t LParam)
{
    if (WinAmpHandle == -1) return 0;
    const QString connection = connectionOf(WinAmpHandle);
    if (connection.isEmpty()) return 0;
    // In a command, what the player's silence used up stays used up.
    TCallBudget budget{FInCommand && !FAnswering};
    bool handled = false;
    switch (Message) {
    case WM_COMMAND: handled = runCommand(budget, connection, WParam); break;
    case WM_USER: handled = LParam == ClearRequest && clearQueue(budget, connection); break;
    case WM_COPYDATA: handled = openFile(budget, connection, reinterpret_cast<const TCopyDataStruct*>(LParam)); break;
    default: break;
    }
    FAnswering = !budget.lost;
    return handled ? 1 : 0;
}

void TWinAmpControl::Play() { SendCommand(WM_COMMAND, 40045, 0); }
void TWinAmpControl::Pause() { SendCommand(WM_COMMAND, 40046, 0); }
void TWinAmpControl::Stop() { SendCommand(WM_COMMAND, 40047, 0); }
void TWinAmpControl::Previous() { SendCommand(WM_COMMAND, 40044, 0); }
void TWinAmpControl::Next() { SendCommand(WM_COMMAND, 40048, 0); }
void TWinAmpControl::Forward5s() { SendCommand(WM_COMMAND, 40060, 0); }
void TWinAmpControl::Rewind5s() { SendCommand(WM_COMMAND, 40061, 0); }
void TWinAmpControl::CloseWinAmp() { SendCommand(WM_COMMAND, 40001, 0); }
void TWinAmpControl::ClearPlaylist() { SendCommand(WM_USER, 0, ClearRequest); }

void TWinAmpControl::AddFile(const char* FileName)
{
    if (!FileName) return;
    WinAmpCopyData.dwData = OpenFileRequest;
    WinAmpCopyData.cbData = static_cast<std::uint32_t>(std::strlen(FileName) + 1);
    WinAmpCopyData.lpData = FileName;
    SendCommand(WM_COPYDATA, 0, reinterpret_cast<std::intptr_t>(&WinAmpCopyData));
    WinAmpCopyData.lpData = nullptr;
}
