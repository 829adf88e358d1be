// A media player on the session bus for the remote-control tests: it answers the MPRIS calls
// and appends each one to a record file, one line per call ("Seek -5000000"), before replying,
// so the caller's synchronous call returns only once its line is written.
// Usage: mpris_test_player <name> <record file> [number of tracks [options]]
// With a number of tracks the player has an editable track list of that many tracks. Options,
// separated by ",": "silent" records each call and never answers, "silent=<method>" only that
// method's calls; "slow=<microseconds>" answers each call only after that long; "files" and
// "web" give the root interface's SupportedUriSchemes ["file"] or ["http", "https"].
// It prints "ready" once its bus name is taken, and quits after a Quit call.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

const QString TrackList = QStringLiteral("org.mpris.MediaPlayer2.TrackList");

class Player : public QDBusVirtualObject {
public:
    Player(const QString& recordPath, int tracks, const QStringList& options)
        : record_(recordPath), hasTrackList_(tracks > 0), silent_(options.contains(QStringLiteral("silent")))
    {
        for (const QString& option : options) {
            if (option.startsWith(QLatin1String("silent="))) silentTo_ = option.mid(7);
            if (option.startsWith(QLatin1String("slow="))) slowUs_ = option.mid(5).toUInt();
        }
        if (options.contains(QStringLiteral("files"))) schemes_ = QStringList{QStringLiteral("file")};
        if (options.contains(QStringLiteral("web")))
            schemes_ = QStringList{QStringLiteral("http"), QStringLiteral("https")};
        for (int i = 1; i <= tracks; ++i)
            tracks_ << QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/Track/%1").arg(i));
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.type() != QDBusMessage::MethodCallMessage) return false;
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties"))
            return silent_ || connection.send(property(message));

        QStringList line{message.member()};
        for (const QVariant& argument : message.arguments())
            line << (argument.canConvert<QDBusObjectPath>() ? argument.value<QDBusObjectPath>().path()
                                                            : argument.toString());
        write(line.join(QLatin1Char(' ')));
        if (silent_ || message.member() == silentTo_) return true;
        if (slowUs_) {
            // A busy wait: sleeping so briefly would take ten times as long.
            QElapsedTimer busy;
            busy.start();
            while (busy.nsecsElapsed() < qint64(slowUs_) * 1000) {}
        }

        // Removing the first of a long list costs nothing; searching it whole each time would.
        if (message.member() == QLatin1String("RemoveTrack") && !message.arguments().isEmpty())
            tracks_.removeOne(message.arguments().constFirst().value<QDBusObjectPath>());
        connection.send(message.createReply());
        if (message.member() == QLatin1String("Quit")) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return true;
    }

private:
    QDBusMessage property(const QDBusMessage& message) const
    {
        const QVariantList args = message.arguments();
        if (message.member() == QLatin1String("Get") && args.size() == 2 && !schemes_.isEmpty() &&
            args[0].toString() == QLatin1String("org.mpris.MediaPlayer2") &&
            args[1].toString() == QLatin1String("SupportedUriSchemes"))
            return message.createReply(QVariant::fromValue(QDBusVariant(schemes_)));
        if (message.member() == QLatin1String("Get") && args.size() == 2 && hasTrackList_ &&
            args[0].toString() == TrackList) {
            if (args[1].toString() == QLatin1String("CanEditTracks"))
                return message.createReply(QVariant::fromValue(QDBusVariant(true)));
            if (args[1].toString() == QLatin1String("Tracks"))
                return message.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(tracks_))));
        }
        return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
                                        QStringLiteral("no such property"));
    }

    void write(const QString& line)
    {
        if (!record_.isOpen() && !record_.open(QIODevice::Append)) return;
        record_.write(line.toUtf8() + '\n');
        record_.flush();
    }

    QFile record_;
    bool hasTrackList_;
    bool silent_;
    QString silentTo_;
    unsigned long slowUs_ = 0;
    QStringList schemes_;
    QList<QDBusObjectPath> tracks_;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) return 1;
    Player player(QString::fromLocal8Bit(argv[2]), argc > 3 ? std::atoi(argv[3]) : 0,
                  argc > 4 ? QString::fromLocal8Bit(argv[4]).split(QLatin1Char(',')) : QStringList());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/org/mpris/MediaPlayer2"), &player)) return 2;
    if (!bus.registerService(QStringLiteral("org.mpris.MediaPlayer2.") + QString::fromLocal8Bit(argv[1]))) return 3;
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
