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
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <cstring>

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

// The player standing for a window of the given class, or 0.
TWindowHandle findPlayerWindow(const std::string& className)
{
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
    // A player may leave between the listing and the look-up: take the first still there.
    for (const QString& name : players) {
        const QDBusReply<QString> owner = bus.interface()->serviceOwner(name);
        if (owner.isValid() && !owner.value().isEmpty()) return handleOf(owner.value());
    }
    return 0;
}

// One synchronous call, as a window message waits for the window; false when it was lost.
bool callPlayer(const QString& connection, const QString& interface, const QString& method,
                const QVariantList& arguments = {}, QDBusMessage* reply = nullptr)
{
    QDBusMessage message = QDBusMessage::createMethodCall(connection, PlayerPath, interface, method);
    message.setArguments(arguments);
    const QDBusMessage answer = QDBusConnection::sessionBus().call(message, QDBus::Block);
    if (reply) *reply = answer;
    return answer.type() == QDBusMessage::ReplyMessage;
}

bool readProperty(const QString& connection, const QString& interface, const QString& name, QVariant& value)
{
    QDBusMessage reply;
    if (!callPlayer(connection, PropertiesInterface, QStringLiteral("Get"), {interface, name}, &reply) ||
        reply.arguments().isEmpty())
        return false;
    value = qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant();
    return true;
}

// There is no "clear" in the player interface: stop, then remove every track when the player
// lets its track list be edited. A player without one keeps its queue.
bool clearQueue(const QString& connection)
{
    const bool stopped = callPlayer(connection, PlayerInterface, QStringLiteral("Stop"));
    QVariant canEdit;
    if (!readProperty(connection, TrackListInterface, QStringLiteral("CanEditTracks"), canEdit) || !canEdit.toBool())
        return stopped;
    QVariant tracks;
    if (!readProperty(connection, TrackListInterface, QStringLiteral("Tracks"), tracks)) return stopped;
    QList<QDBusObjectPath> ids;
    if (tracks.canConvert<QDBusArgument>()) ids = qdbus_cast<QList<QDBusObjectPath>>(tracks.value<QDBusArgument>());
    else ids = tracks.value<QList<QDBusObjectPath>>();
    for (const QDBusObjectPath& id : ids)
        callPlayer(connection, TrackListInterface, QStringLiteral("RemoveTrack"), {QVariant::fromValue(id)});
    return stopped;
}

// The file named by a WM_COPYDATA record, opened as a file URL that keeps its bytes.
bool openFile(const QString& connection, const TCopyDataStruct* data)
{
    if (!data || data->dwData != OpenFileRequest || data->cbData == 0 || !data->lpData) return false;
    const char* bytes = static_cast<const char*>(data->lpData);
    QByteArray path(bytes, static_cast<qsizetype>(strnlen(bytes, data->cbData)));
    if (path.isEmpty()) return false;
    if (!path.startsWith('/')) path = QFile::encodeName(QDir::currentPath()) + '/' + path;
    const QByteArray uri = "file://" + path.toPercentEncoding("/");
    return callPlayer(connection, PlayerInterface, QStringLiteral("OpenUri"), {QString::fromLatin1(uri)});
}

bool runCommand(const QString& connection, std::uintptr_t command)
{
    switch (command) {
    case 40045: return callPlayer(connection, PlayerInterface, QStringLiteral("Play"));
    case 40046: return callPlayer(connection, PlayerInterface, QStringLiteral("Pause"));
    case 40047: return callPlayer(connection, PlayerInterface, QStringLiteral("Stop"));
    case 40044: return callPlayer(connection, PlayerInterface, QStringLiteral("Previous"));
    case 40048: return callPlayer(connection, PlayerInterface, QStringLiteral("Next"));
    case 40060: return callPlayer(connection, PlayerInterface, QStringLiteral("Seek"), {FiveSeconds});
    case 40061: return callPlayer(connection, PlayerInterface, QStringLiteral("Seek"), {-FiveSeconds});
    case 40001: return callPlayer(connection, RootInterface, QStringLiteral("Quit"));
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

TWindowHandle TWinAmpControl::GoFindWinAmp()
{
    if (StartAndFindWinAmp && StartWinAmp(WAmpPath))
        QThread::msleep(static_cast<unsigned long>(std::max<std::int32_t>(0, DelayAfterLoadWinAmp)));
    FFound = false;
    WinAmpHandle = findPlayerWindow(WinAmpClassName);
    FFound = WinAmpHandle != 0;
    return WinAmpHandle;
}

std::intptr_t TWinAmpControl::SendCommand(unsigned Message, std::uintptr_t WParam, std::intptr_t LParam)
{
    if (WinAmpHandle == -1) return 0;
    const QString connection = connectionOf(WinAmpHandle);
    if (connection.isEmpty()) return 0;
    bool handled = false;
    switch (Message) {
    case WM_COMMAND: handled = runCommand(connection, WParam); break;
    case WM_USER: handled = LParam == ClearRequest && clearQueue(connection); break;
    case WM_COPYDATA: handled = openFile(connection, reinterpret_cast<const TCopyDataStruct*>(LParam)); break;
    default: break;
    }
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
