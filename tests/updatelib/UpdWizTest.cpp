// The update wizard driven through its buttons against a loopback HTTP server: from the first
// page to a started installer, and through every failure the update server or script can cause.
#include "DownLoadUpdateUnit.h"
#include "LoopbackHttpServer.h"
#include "QtTestApp.h"
#include "VyxPravomel.h"
#include "VyxShell.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using vyx::TUpdWiz;
using vyxtest::LoopbackHttpServer;
using vyxtest::Response;

namespace {

struct Box {
    QString title, text;
};

QString ExeName() { return QFileInfo(QCoreApplication::applicationFilePath()).fileName(); }

QByteArray Script(const QString& fullVersion, const QString& download)
{
    QString s = QStringLiteral("; update script\r\n[Modules]\r\n%1 = Setup\r\n").arg(ExeName());
    if (!fullVersion.isNull()) s += QStringLiteral("[%1]\r\nFullVersion=%2\r\n").arg(ExeName(), fullVersion);
    if (!download.isNull()) s += QStringLiteral("[Setup]\r\nDownLoad=%1\r\n").arg(download);
    s += QStringLiteral("[General]\r\nEMail=maint@example.org\r\nWebmaster=Jean Dupont\r\n");
    return s.toUtf8();
}

// Files and folders the library left in the temporary folder.
QStringList TempLeftovers()
{
    return QDir(QDir::tempPath())
        .entryList({QStringLiteral("Vyx*")},
                   QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// An answer as a hostile server sends it: these bytes, then the connection closes.
Response Raw(const QByteArray& bytes, qint64 stream = 0)
{
    Response r;
    r.raw = bytes;
    r.stream = stream;
    return r;
}

// The filler a hostile answer may send, and what the client may take of it at most: one read
// piece and what the sockets of both sides hold, never the whole.
constexpr qint64 kFiller = qint64(64) << 20;
constexpr qint64 kMostTaken = qint64(8) << 20;
const QByteArray kOneHugeChunk =
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n7fffffffffffffff\r\n";

// A head and body sent as chunks, ended (complete) or not.
QByteArray Chunked(const QByteArray& body, bool complete)
{
    QByteArray out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    for (qsizetype at = 0; at < body.size(); at += 7) {
        const QByteArray piece = body.mid(at, 7);
        out += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    if (complete) out += "0\r\n\r\n";
    return out;
}

// Puts the working folder back when the test ends.
struct WorkingFolder {
    QString saved = QDir::currentPath();
    ~WorkingFolder() { QDir::setCurrent(saved); }
};

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Waits until the started installer has written its whole line into the marker file: the shell
// creates the file before it writes, and a test that read it empty would leave the installer's
// folder behind for every later test to find.
bool WaitForFile(const QString& path)
{
    const auto written = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.readAll().endsWith('\n');
    };
    QElapsedTimer clock;
    clock.start();
    while (!written() && clock.elapsed() < 60000) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return written();
}

// A certificate name.pem and its key name.key in folder, for subject /CN=name and this
// subjectAltName (none when empty), issued by ca.pem of the same folder, or by itself.
bool MakeCertificate(const QString& folder, const QString& name, const QString& altName, bool byCa)
{
    const QString base = folder + u'/' + name;
    QStringList args = {"req",         "-x509", "-newkey",    "ec",      "-pkeyopt",    "ec_paramgen_curve:prime256v1",
                        "-nodes",      "-days", "2",          "-keyout", base + ".key", "-out",
                        base + ".pem", "-subj", "/CN=" + name};
    if (!altName.isEmpty())
        args << "-addext"
             << "subjectAltName=" + altName;
    if (byCa)
        args << "-CA" << folder + "/ca.pem"
             << "-CAkey" << folder + "/ca.key"
             << "-addext"
             << "basicConstraints=critical,CA:FALSE";
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start("openssl", args);
    return openssl.waitForFinished(-1) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
}

QSslCertificate ReadCertificate(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QSslCertificate(&file, QSsl::Pem) : QSslCertificate();
}

// A loopback server that speaks TLS with the certificate base.pem and its key base.key.
std::unique_ptr<LoopbackHttpServer> TlsServer(const QString& base)
{
    QFile key(base + ".key");
    if (!key.open(QIODevice::ReadOnly)) return nullptr;
    QSslConfiguration serverSide = QSslConfiguration::defaultConfiguration();
    serverSide.setLocalCertificate(ReadCertificate(base + ".pem"));
    serverSide.setPrivateKey(QSslKey(&key, QSsl::Ec, QSsl::Pem));
    auto* tls = new QSslServer;
    tls->setSslConfiguration(serverSide);
    return std::make_unique<LoopbackHttpServer>(0, tls);
}

// The certificates the client trusts, put back when the test ends.
struct TrustedCertificates {
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    void Add(const QSslCertificate& certificate)
    {
        QSslConfiguration clientSide = QSslConfiguration::defaultConfiguration();
        clientSide.addCaCertificate(certificate);
        QSslConfiguration::setDefaultConfiguration(clientSide);
    }
    ~TrustedCertificates() { QSslConfiguration::setDefaultConfiguration(saved); }
};

class Wizard : public ::testing::Test {
protected:
    void SetUp() override
    {
        vyx::SetMessageBoxObserver([this](QMessageBox* box) {
            boxes.push_back({box->windowTitle(), box->text()});
            const auto answer = answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
            QTimer::singleShot(0, box, [box, answer] {
                if (QAbstractButton* b = box->button(answer)) b->click();
            });
        });
        vyx::SetUrlOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        ASSERT_TRUE(server.isListening());
        ASSERT_TRUE(markerDir.isValid());
        marker = markerDir.filePath(QStringLiteral("installer-ran"));
        installer = "#!/bin/sh\necho \"$0\" > '" + marker.toUtf8() + "'\n";
    }
    void TearDown() override
    {
        vyx::SetMessageBoxObserver({});
        vyx::SetUrlOpener({});
        QFile ran(marker);
        if (ran.open(QIODevice::ReadOnly)) {
            // The installer's own folder stays while it runs; the test removes it.
            const QFileInfo started(QString::fromUtf8(ran.readAll().trimmed()));
            if (started.dir().dirName().startsWith(QStringLiteral("Vyx")))
                QDir(started.absolutePath()).removeRecursively();
        }
        EXPECT_EQ(TempLeftovers(), QStringList());
    }

    std::unique_ptr<TUpdWiz> Make(const QString& scriptUrl,
                                  const QString& site = QStringLiteral("http://sonoverne.example.org/"))
    {
        auto wizard = std::make_unique<TUpdWiz>(nullptr);
        wizard->Initialise(scriptUrl, site);
        return wizard;
    }
    // The page as the user reads it.
    static QString Page(const TUpdWiz& w) { return w.JvLinkLabel->plainText(); }

    LoopbackHttpServer server;
    QTemporaryDir markerDir;
    QString marker;
    QByteArray installer;
    QList<QMessageBox::StandardButton> answers;
    std::vector<Box> boxes;
    std::vector<QUrl> opened;
};

TEST_F(Wizard, FirstPageShowsTheInstalledVersionsAndTheSite)
{
    auto w = Make(server.url("/update.ini"));
    EXPECT_EQ(w->windowTitle(), "Assistant de mise à jour");
    EXPECT_EQ(w->size(), QSize(498, 348));
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((w->geometry().center() - centre).manhattanLength(), 2);
    EXPECT_EQ(w->State, 0);
    EXPECT_EQ(w->AppProductName, "Sonoverne");
    EXPECT_EQ(w->AppExeName, ExeName());
    EXPECT_EQ(w->HeadLabel->text(), "Sonoverne");
    EXPECT_EQ(
        w->HeadStaticText->text(),
        "L'assistant de mise à jour va vous guider à travers les étapes du processus de mise à jour de Sonoverne.");
    EXPECT_EQ(w->BotLabel->text(), "Mise à jour de Sonoverne.");
    EXPECT_FALSE(w->BotLabel->isEnabled());
    const QString page = Page(*w);
    EXPECT_TRUE(page.contains("plus récente de Sonoverne.")) << page.toStdString();
    EXPECT_TRUE(page.contains("Version actuelle de Sonoverne :\n1.5 (Version du module 'Sonoverne' : 1.5.0.0)."))
        << page.toStdString();
    EXPECT_TRUE(page.contains("se connectera alors au site http://sonoverne.example.org/ pour")) << page.toStdString();
    EXPECT_TRUE(w->NextButton->isEnabled());
    EXPECT_FALSE(w->PrevButton->isEnabled());
    EXPECT_EQ(w->NextButton->text(), "&Suivant >");
    EXPECT_EQ(w->CancelButton->text(), "&Annuler");
    // The rule starts after the bottom caption and still ends where it did.
    EXPECT_EQ(w->Separator->x(), 8 + w->BotLabel->x() + w->BotLabel->width());
    EXPECT_EQ(w->Separator->geometry().right(), 8 + 481 - 1);

    // The site link opens the site.
    ASSERT_EQ(w->JvLinkLabel->links(), QStringList{"http://sonoverne.example.org/"});
    emit w->JvLinkLabel->linkActivated(QStringLiteral("0"));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl("http://sonoverne.example.org/"));
}

TEST_F(Wizard, NewerVersionIsDownloadedRenamedAndStarted)
{
    server.serve("/update.ini", Script("1.6.0.0", server.url("/setup")));
    server.serve("/setup", installer);
    auto w = Make(server.url("/update.ini"));
    QList<int> progress;
    QObject::connect(w->ProgressBar, &QProgressBar::valueChanged, [&](int v) { progress << v; });

    w->NextButton->click();
    EXPECT_EQ(w->State, 3);
    EXPECT_EQ(server.lastHeaders().value("user-agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_TRUE(w->NewVersion);
    EXPECT_EQ(w->OnlineFullVersion, "1.6.0.0");
    EXPECT_EQ(w->DownloadURL, server.url("/setup"));
    EXPECT_TRUE(w->NextButton->isEnabled());
    EXPECT_FALSE(w->ProgressBar->isVisibleTo(w.get()));
    const QString page = Page(*w);
    EXPECT_TRUE(page.contains("La version en ligne du module est : 1.6.0.0.")) << page.toStdString();
    EXPECT_TRUE(page.contains("Une nouvelle version est disponible en téléchargement.")) << page.toStdString();
    EXPECT_EQ(w->JvLinkLabel->links(), QStringList{"http://sonoverne.example.org/"});
    EXPECT_TRUE(boxes.empty());

    progress.clear();
    w->NextButton->click();
    EXPECT_EQ(w->State, 4);
    EXPECT_EQ(w->result(), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Information");
    EXPECT_EQ(boxes[0].text,
              QStringLiteral("Afin d'effectuer la mise à jour, %1 (Module de Sonoverne) va se fermer.").arg(ExeName()));
    // The transfer moved the bar up to the installer's size.
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last(), installer.size());
    EXPECT_EQ(w->ProgressBar->maximum(), installer.size());

    ASSERT_TRUE(WaitForFile(marker));
    QFile ran(marker);
    ASSERT_TRUE(ran.open(QIODevice::ReadOnly));
    const QFileInfo started(QString::fromUtf8(ran.readAll().trimmed()));
    // Started where it was written: in a folder of its own that only this user may enter, under
    // the folder's unpredictable name, a plain file with the run bit.
    const QFileInfo folder(started.absolutePath());
    EXPECT_EQ(folder.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    EXPECT_TRUE(folder.fileName().startsWith("Vyx"));
    EXPECT_EQ(started.fileName(), folder.fileName());
    EXPECT_FALSE(started.fileName().contains('.')) << started.fileName().toStdString();
    struct stat st;
    ASSERT_EQ(lstat(QFile::encodeName(folder.absoluteFilePath()).constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(st.st_uid, getuid());
    ASSERT_EQ(lstat(QFile::encodeName(started.absoluteFilePath()).constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(server.requests(), (QStringList{"/update.ini", "/setup"}));
}

// Markup and control characters (a terminal escape, a bell, a C1 one) of the announced version
// reach the page as plain, printable text.
TEST_F(Wizard, MarkupAndControlsInTheAnnouncedVersionAreShownAsText)
{
    const struct {
        const char* version;
        const char* shown;
    } cases[] = {
        {"1.6.0.0 <link>file:///etc/passwd</link>", "est : 1.6.0.0 linkfile:///etc/passwd/link."},
        {"1.6.0.0 \x1b[2J\x07"
         "bip\xc2\x9b",
         "est : 1.6.0.0 ?[2J?bip?."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        server.serve("/update.ini", Script(QString::fromUtf8(c.version), server.url("/setup")));
        auto w = Make(server.url("/update.ini"));
        w->NextButton->click();
        ASSERT_EQ(w->State, 3);
        EXPECT_TRUE(w->NewVersion);
        EXPECT_EQ(w->JvLinkLabel->links(), QStringList{"http://sonoverne.example.org/"});
        EXPECT_TRUE(Page(*w).contains(QString::fromUtf8(c.shown))) << Page(*w).toStdString();
    }
}

// A 1 MB announced version is cut on the page like any text from outside.
TEST_F(Wizard, ALongAnnouncedVersionIsCut)
{
    server.serve("/long.ini", Script("9.0.0.0 " + QString(1000000, u'v'), server.url("/setup")));
    auto w = Make(server.url("/long.ini"));
    w->NextButton->click();
    ASSERT_EQ(w->State, 3);
    EXPECT_TRUE(w->NewVersion);
    const QString online = Page(*w).section("La version en ligne du module est : ", 1).section(u'\n', 0, 0);
    EXPECT_TRUE(online.startsWith("9.0.0.0 vvv")) << online.left(300).toStdString();
    EXPECT_TRUE(online.endsWith("v….")) << online.left(300).toStdString();
    EXPECT_LE(online.size(), 210);
}

TEST_F(Wizard, EqualOrOlderOnlineVersionsAreNotOffered)
{
    // 1.4.9.0 is older than the installed 1.5.0.0: the places are compared in order.
    for (const char* online : {"1.5.0.0", "1.4.9.0", "0.9.9.9"}) {
        server.serve("/update.ini", Script(online, server.url("/setup")));
        auto w = Make(server.url("/update.ini"));
        w->NextButton->click();
        EXPECT_EQ(w->State, 3) << online;
        EXPECT_FALSE(w->NewVersion) << online;
        EXPECT_FALSE(w->NextButton->isEnabled()) << online;
        EXPECT_EQ(w->CancelButton->text(), "&Fermer") << online;
        EXPECT_TRUE(w->DownloadURL.isEmpty()) << online;
        EXPECT_TRUE(Page(*w).contains(
            "La version en ligne n'a pas été mise à jour. Il n'est pas nécéssaire de la télécharger."));
        w->CancelButton->click();
        EXPECT_EQ(w->result(), 2);
    }
    server.serve("/update.ini", Script("1.5.0.1", server.url("/setup")));
    auto w = Make(server.url("/update.ini"));
    w->NextButton->click();
    EXPECT_TRUE(w->NewVersion);
    EXPECT_TRUE(w->NextButton->isEnabled());
}

TEST_F(Wizard, AScriptWithoutFullVersionOffersTheReportAndFails)
{
    // The script address carries "&": it stays whole inside the mail body.
    const QString address = server.url("/maj.php?prog=sono&lang=fr");
    server.serve("/maj.php?prog=sono&lang=fr", Script(QString(), server.url("/setup")));
    answers = {QMessageBox::Yes, QMessageBox::Ok};
    auto w = Make(address);
    w->NextButton->click();
    EXPECT_EQ(w->result(), 2);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Mise à jour");
    EXPECT_EQ(
        boxes[0].text,
        "Le fichier de mise à jour contient des erreurs.\r\nSouhaitez vous envoyer un message d'information à la personne chargée de la maintenance de ce fichier ?");
    EXPECT_EQ(boxes[1].title, "Erreur");
    EXPECT_EQ(boxes[1].text, "Echec de la mise à jour.");
    ASSERT_EQ(opened.size(), 1u);
    const QUrl mail = opened[0];
    EXPECT_EQ(mail.scheme(), "mailto");
    EXPECT_EQ(mail.path(), "maint@example.org");
    const QUrlQuery query(mail);
    EXPECT_EQ(query.allQueryItemValues("subject", QUrl::FullyDecoded), QStringList{"Rapport d'anomalie de M.A.J."});
    EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded),
              QStringLiteral("A l'attention de Jean Dupont : La mise à jour de %1 (Sonoverne) pas VyxPravomel est "
                             "impossible en raison d'une erreur dans le script de %2. Merci de corriger cette erreur.")
                  .arg(ExeName(), address));
    EXPECT_EQ(query.queryItems().size(), 2);
}

TEST_F(Wizard, ATextThatIsNotAnIniScriptFailsWithoutAMailWhenRefused)
{
    server.serve("/update.ini", "<html><body>Mise à jour\0\xff\xfe binaire</body></html>");
    answers = {QMessageBox::No, QMessageBox::Ok};
    auto w = Make(server.url("/update.ini"));
    w->NextButton->click();
    EXPECT_EQ(w->result(), 2);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Echec de la mise à jour.");
    EXPECT_TRUE(opened.empty());
}

TEST_F(Wizard, FetchFailuresLeadToTheFailurePage)
{
    server.route("/404", Response{404, "absent", {}, false});
    server.route("/500", Response{500, "panne", {}, false});
    const QStringList addresses = {
        server.url("/404"), server.url("/500"),
        // A host name that cannot be resolved: longer than DNS allows, so no query leaves.
        QStringLiteral("http://%1.invalid/update.ini").arg(QStringList(5, QString(60, u'a')).join(u'.')),
        QStringLiteral("http://127.0.0.1:%1/update.ini").arg(vyxtest::RefusingPort()),
        QStringLiteral("ftp://127.0.0.1/update.ini"), QString()};
    for (const QString& address : addresses) {
        auto w = Make(address);
        w->NextButton->click();
        EXPECT_EQ(w->State, 2) << address.toStdString();
        EXPECT_TRUE(w->PrevButton->isEnabled());
        EXPECT_FALSE(w->NextButton->isEnabled());
        EXPECT_FALSE(w->ProgressBar->isVisibleTo(w.get()));
        EXPECT_TRUE(Page(*w).startsWith("Echec lors de la connexion :")) << Page(*w).toStdString();
        EXPECT_EQ(w->result(), 0);
    }
    EXPECT_TRUE(boxes.empty());
}

// An address that is not a valid one is refused before any connection, given first or by a
// redirect: Qt would still give its host and the default port.
TEST_F(Wizard, InvalidAddressesAreRefusedBeforeAnyConnection)
{
    const QStringList addresses = {
        QStringLiteral("http://127.0.0.1:99999/ok"),
        QStringLiteral("http://127.0.0.1:0/ok"),
        QStringLiteral("http://exa mple.org/ok"),
        QStringLiteral("http://[::1/ok"),
        QStringLiteral("http:///ok"),
        // A path with a blank would reach the server as a valid one.
        server.url("/a b"),
    };
    server.serve("/a b", Script("1.6.0.0", server.url("/setup")));
    server.serve("/a%20b", Script("1.6.0.0", server.url("/setup")));
    for (const QString& address : addresses) {
        for (const bool redirected : {false, true}) {
            SCOPED_TRACE(address.toStdString() + (redirected ? " (redirect)" : ""));
            server.redirect("/moved", address);
            const QStringList before = server.requests();
            auto w = Make(redirected ? server.url("/moved") : address);
            w->NextButton->click();
            EXPECT_EQ(w->State, 2);
            EXPECT_TRUE(Page(*w).contains("Cause : adresse non valide.")) << Page(*w).toStdString();
            EXPECT_EQ(server.requests().mid(before.size()), redirected ? QStringList{"/moved"} : QStringList());
        }
    }
}

TEST_F(Wizard, PreviousAfterARefusedConnectionRetries)
{
    const quint16 port = vyxtest::RefusingPort();
    auto w = Make(QStringLiteral("http://127.0.0.1:%1/update.ini").arg(port));
    w->NextButton->click();
    ASSERT_EQ(w->State, 2);
    // Previous does nothing but in the failure state, Next nothing in it.
    w->NextButton->setEnabled(true);
    w->NextButton->click();
    EXPECT_EQ(w->State, 2);

    LoopbackHttpServer late(port);
    ASSERT_TRUE(late.isListening());
    late.serve("/update.ini", Script("1.6.0.0", late.url("/setup")));
    w->PrevButton->click();
    EXPECT_EQ(w->State, 0);
    EXPECT_TRUE(w->NextButton->isEnabled());
    EXPECT_FALSE(w->PrevButton->isEnabled());
    EXPECT_TRUE(Page(*w).contains("1.5 (Version du module 'Sonoverne' : 1.5.0.0)."));
    w->PrevButton->setEnabled(true);
    w->PrevButton->click();
    EXPECT_EQ(w->State, 0);
    w->NextButton->click();
    EXPECT_EQ(w->State, 3);
    EXPECT_TRUE(w->NewVersion);
}

// Every failure of the download stage ends on a page that says what failed, with "Précédent"
// leading back to a new check; nothing is started.
TEST_F(Wizard, InstallerFailuresSayWhatFailed)
{
    QTemporaryDir local;
    const QString localFile = local.filePath("setup.tmp");
    ASSERT_TRUE(WriteFile(localFile, installer));
    const QByteArray ok = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
    server.route("/missing", Response{404, {}, {}, false});
    server.route("/partial", Response{206, installer, {{"Content-Range", "bytes 0-10/9999"}}, false});
    server.route("/loop", Response{302, {}, {{"Location", server.url("/loop").toUtf8()}}, false});
    server.route("/short", Raw(ok + "Content-Length: 9999\r\n\r\n" + installer));
    server.route("/unsized", Raw(ok + "\r\n" + installer));
    server.route("/cut-chunks", Raw(Chunked(installer, false)));
    server.route("/huge", Raw(ok + "Content-Length: 536870913\r\n\r\n" + installer));
    server.route("/gzip", Raw(ok + "Transfer-Encoding: gzip\r\nContent-Length: " +
                              QByteArray::number(installer.size()) + "\r\n\r\n" + installer));
    // A switch of protocols never asked for, then what would pass for the installer.
    server.route("/switching", Raw("HTTP/1.1 101 Switching Protocols\r\nUpgrade: h2c\r\n\r\n" + ok +
                                   "Content-Length: " + QByteArray::number(installer.size()) + "\r\n\r\n" + installer));
    // Without an announced length nor chunks the installer is refused at its headers; a chunk
    // longer than the bound, at its size line.
    server.route("/one-chunk", Raw(kOneHugeChunk, kFiller));
    server.route("/endless", Raw(ok + "\r\n", kFiller));
    server.serve("/garbage", QByteArray("\x7f"
                                        "ELF\x01\x02 not a program",
                                        20));
    const QString section = QStringLiteral("[Setup]\r\nDownLoad=%1\r\n").arg(server.url("/setup"));
    const struct {
        QByteArray script;
        const char* cause;
    } cases[] = {
        {Script("2.0.0.0", QString()), "pas d'adresse de téléchargement (DownLoad) dans sa section [Setup]"},
        {"[" + ExeName().toUtf8() + "]\r\nFullVersion=2.0.0.0\r\n" + section.toUtf8(), "dans sa section [Modules]"},
        // A section name from the script reaches the page printable.
        {"[Modules]\r\n" + ExeName().toUtf8() + "=Se\x1b[2Jtup\x07\r\n[" + ExeName().toUtf8() +
             "]\r\nFullVersion=2.0.0.0\r\n",
         "(DownLoad) dans sa section [Se?[2Jtup?]."},
        {Script("2.0.0.0", server.url("/missing")), "le serveur a répondu 404"},
        {Script("2.0.0.0", server.url("/partial")), "le serveur a répondu 206"},
        {Script("2.0.0.0", server.url("/loop")), "trop de redirections"},
        {Script("2.0.0.0", server.url("/short")), "Cause : le fichier reçu est incomplet"},
        {Script("2.0.0.0", server.url("/unsized")), "n'a pas annoncé la longueur"},
        // Chunks that stop before the last one are a cut.
        {Script("2.0.0.0", server.url("/cut-chunks")), "Cause : le fichier reçu est incomplet"},
        {Script("2.0.0.0", server.url("/huge")), "dépasse la taille permise (512 Mo)"},
        // Saved as sent, a coded installer would not start.
        {Script("2.0.0.0", server.url("/gzip")), "le serveur n'a pas donné de réponse valable"},
        {Script("2.0.0.0", server.url("/switching")), "le serveur n'a pas donné de réponse valable"},
        {Script("2.0.0.0", server.url("/one-chunk")), "dépasse la taille permise (512 Mo)"},
        {Script("2.0.0.0", server.url("/endless")), "n'a pas annoncé la longueur"},
        // An address from the script that names a local file is never renamed nor run.
        {Script("2.0.0.0", localFile), "adresse non valide"},
        {Script("2.0.0.0", QUrl::fromLocalFile(localFile).toString()), "adresse non valide"},
        {Script("2.0.0.0", server.url("/garbage")), "n'a pas pu être lancé"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script.mid(c.script.indexOf("DownLoad"), 60).toStdString());
        boxes.clear();
        server.serve("/update.ini", c.script);
        auto w = Make(server.url("/update.ini"));
        w->NextButton->click();
        ASSERT_EQ(w->State, 3);
        w->NextButton->click();
        EXPECT_EQ(w->State, 2);
        EXPECT_EQ(w->result(), 0);
        const QString page = Page(*w);
        EXPECT_TRUE(page.startsWith("Echec du téléchargement :")) << page.toStdString();
        EXPECT_TRUE(page.contains(QString::fromUtf8(c.cause))) << page.toStdString();
        EXPECT_TRUE(w->PrevButton->isEnabled());
        EXPECT_FALSE(w->NextButton->isEnabled());
        EXPECT_FALSE(w->ProgressBar->isVisibleTo(w.get()));
        if (QByteArray(c.cause).contains("lancé")) {
            // Downloaded, but it does not start: said in a box too, and not reported as success.
            ASSERT_EQ(boxes.size(), 2u);
            EXPECT_EQ(boxes[1].title, "Erreur");
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        w->PrevButton->click();
        EXPECT_EQ(w->State, 0);
        EXPECT_TRUE(w->NextButton->isEnabled());
    }
    for (const char* path : {"/one-chunk", "/endless"}) EXPECT_LT(server.taken(path), kMostTaken) << path;
    EXPECT_TRUE(QFileInfo(localFile).isFile());
    EXPECT_FALSE(QFileInfo(localFile).isExecutable());
    EXPECT_FALSE(QFileInfo::exists(marker));
}

// The last chunk proves an answer whole: a script and an installer sent in chunks are taken, the
// bar telling the count received, as the end was not announced.
TEST_F(Wizard, AChunkedScriptAndInstallerAreTaken)
{
    server.route("/update.ini", Raw(Chunked(Script("2.0.0.0", server.url("/setup")), true)));
    server.route("/setup", Raw(Chunked(installer, true)));
    auto w = Make(server.url("/update.ini"));
    w->NextButton->click();
    ASSERT_EQ(w->State, 3);
    EXPECT_EQ(w->DownloadURL, server.url("/setup"));
    w->NextButton->click();
    EXPECT_EQ(w->result(), 1);
    ASSERT_LT(installer.size(), 1000);
    EXPECT_EQ(w->ProgressBar->text(), QString::number(installer.size()) + " octets reçus");
    EXPECT_TRUE(WaitForFile(marker));
}

TEST_F(Wizard, AFullDiskIsSaid)
{
    // The file system takes no more than 64 KiB of any file while the installer comes.
    QByteArray big = installer + "#" + QByteArray(256 * 1024, 'x') + "\n";
    server.serve("/update.ini", Script("2.0.0.0", server.url("/setup")));
    server.serve("/setup", big);
    auto w = Make(server.url("/update.ini"));
    w->NextButton->click();
    ASSERT_EQ(w->State, 3);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    w->NextButton->click();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(w->State, 2);
    EXPECT_TRUE(Page(*w).contains("Cause : le fichier est trop grand pour le disque.")) << Page(*w).toStdString();
    EXPECT_TRUE(w->PrevButton->isEnabled());
    EXPECT_FALSE(QFileInfo::exists(marker));
}

TEST_F(Wizard, ScriptsAreBoundedAndWhole)
{
    // Exactly the limit is read; one byte more, announced or not, is refused.
    QByteArray full = Script("1.6.0.0", server.url("/setup"));
    full += QByteArray((1 << 20) - full.size() - 2, ';') + "\r\n";
    ASSERT_EQ(full.size(), 1 << 20);
    server.serve("/full.ini", full);
    server.serve("/over.ini", full + ";");
    // The whole bound in small chunks, its download address last: chunk lines and line ends fall
    // across every read of the socket.
    const QByteArray setup = QStringLiteral("[Setup]\r\nDownLoad=%1\r\n").arg(server.url("/setup")).toUtf8();
    QByteArray last = Script("1.6.0.0", QString());
    last += QByteArray((1 << 20) - last.size() - setup.size() - 2, ';') + "\r\n" + setup;
    server.route("/small-chunks.ini", Raw(Chunked(last, true)));
    server.route("/endless.ini", Raw("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + full, kFiller));
    server.route("/short.ini", Raw("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\nConnection: close\r\n\r\n" +
                                   Script("1.6.0.0", server.url("/setup"))));
    server.route("/partial.ini", Response{206, Script("1.6.0.0", server.url("/setup")), {}, false});
    // A server that talks for ever in its status line: a short piece of it reaches the page.
    server.route("/talker.ini", Raw("HTTP/1.1 404 " + QByteArray(6000, 'y') + "\r\nContent-Length: 0\r\n\r\n"));
    // Control characters of a reason phrase (a terminal escape, a bell, a C1 one, a bare CR).
    server.route("/escape.ini", Raw("HTTP/1.1 404 Pas\x1b[2J\x07 trouv\xc2\x9b\rX\r\nContent-Length: 0\r\n\r\n"));
    server.route("/one-chunk.ini", Raw(kOneHugeChunk, kFiller));
    // One chunk a byte over the bound, then less data than it announced: a client that took a
    // byte of it would find the answer cut rather than too long.
    const QByteArray overChunk =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100001\r\n" + QByteArray(1000, 'z');
    server.route("/over-chunk.ini", Raw(overChunk));
    // Only chunked alone is a transfer coding the GET reads.
    const QByteArray chunkedScript = Chunked(Script("1.6.0.0", server.url("/setup")), true);
    server.route("/gzip-chunked.ini", Raw(QByteArray(chunkedScript).replace("chunked\r\n", "gzip, chunked\r\n")));
    server.route("/chunked-twice.ini",
                 Raw(QByteArray(chunkedScript).replace("chunked\r\n", "chunked\r\nTransfer-Encoding: chunked\r\n")));
    // An interim answer before the script's.
    server.route("/continue.ini", Raw("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: " +
                                      QByteArray::number(full.size()) + "\r\n\r\n" + full));
    // Lines end in CR, LF or CR LF.
    server.serve("/cr.ini", Script("1.6.0.0", server.url("/setup")).replace("\r\n", "\r"));
    server.serve("/lf.ini", Script("1.6.0.0", server.url("/setup")).replace("\r\n", "\n"));
    // A header line that never ends, and header lines without end.
    server.route("/endless-line.ini", Raw("HTTP/1.1 200 OK\r\nX-Filler: ", kFiller));
    Response lines = Raw("HTTP/1.1 200 OK\r\n", kFiller);
    lines.filler = "X-Filler: " + QByteArray(100, 'x') + "\r\n";
    server.route("/endless-headers.ini", lines);
    const struct {
        const char* path;
        const char* cause;  // nullptr: the script is read
    } cases[] = {
        {"/full.ini", nullptr},
        {"/continue.ini", nullptr},
        {"/cr.ini", nullptr},
        {"/lf.ini", nullptr},
        {"/small-chunks.ini", nullptr},
        {"/over.ini", "Cause : le fichier dépasse la taille permise (1 Mo)."},
        {"/endless.ini", "Cause : le fichier dépasse la taille permise (1 Mo)."},
        {"/short.ini", "Cause : le fichier reçu est incomplet"},
        {"/partial.ini", "Cause : le serveur a répondu 206"},
        {"/talker.ini", "Cause : le serveur a répondu 404"},
        {"/escape.ini", "Cause : le serveur a répondu 404 Pas?[2J? trouv??X."},
        {"/one-chunk.ini", "Cause : le fichier dépasse la taille permise (1 Mo)."},
        {"/over-chunk.ini", "Cause : le fichier dépasse la taille permise (1 Mo)."},
        {"/gzip-chunked.ini", "Cause : le serveur n'a pas donné de réponse valable."},
        {"/chunked-twice.ini", "Cause : le serveur n'a pas donné de réponse valable."},
        {"/endless-line.ini", "Cause : les en-têtes de la réponse du serveur sont trop longs."},
        {"/endless-headers.ini", "Cause : les en-têtes de la réponse du serveur sont trop longs."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        // A script taken for a wrong one answers its boxes and fails the row instead of waiting.
        answers = {QMessageBox::No, QMessageBox::Ok};
        auto w = Make(server.url(QString::fromUtf8(c.path)));
        w->NextButton->click();
        const QString page = Page(*w);
        EXPECT_LT(server.taken(QString::fromUtf8(c.path)), kMostTaken);
        if (!c.cause) {
            EXPECT_EQ(w->State, 3);
            EXPECT_TRUE(w->NewVersion);
            EXPECT_EQ(w->DownloadURL, server.url("/setup"));
            continue;
        }
        EXPECT_EQ(w->State, 2);
        EXPECT_TRUE(page.startsWith("Echec lors de la connexion :")) << page.toStdString();
        EXPECT_TRUE(page.contains(QString::fromUtf8(c.cause))) << page.toStdString();
        EXPECT_LE(page.mid(page.indexOf(u"Cause")).count(u'y'), 200) << page.size();
        EXPECT_TRUE(w->PrevButton->isEnabled());
    }
    EXPECT_TRUE(boxes.empty());
    // The server did send the chunk's data: the refusal came before a byte of it was taken.
    EXPECT_EQ(server.taken("/over-chunk.ini"), overChunk.size());
}

// An address with a scheme is never a path, whatever the working folder holds.
TEST_F(Wizard, AnHttpAddressIsNeverALocalPath)
{
    QTemporaryDir work;
    WorkingFolder restore;
    ASSERT_TRUE(QDir::setCurrent(work.path()));
    const QString host = QStringLiteral("127.0.0.1:%1").arg(vyxtest::RefusingPort());
    ASSERT_TRUE(QDir(work.path()).mkpath("https:/" + host));
    const QString planted = work.filePath("https:/" + host + "/update.ini");
    ASSERT_TRUE(WriteFile(planted, Script("9.0.0.0", server.url("/setup"))));
    const QString address = "https://" + host + "/update.ini";
    ASSERT_TRUE(QFileInfo(address).isFile());  // where a relative path would find it
    auto w = Make(address);
    w->NextButton->click();
    EXPECT_EQ(w->State, 2);
    EXPECT_FALSE(w->NewVersion);
    EXPECT_TRUE(Page(*w).contains("Cause : le serveur a refusé la connexion.")) << Page(*w).toStdString();

    // A file: address and an address without a scheme are local.
    for (const QString& local : {QUrl::fromLocalFile(planted).toString(), planted,
                                 QStringLiteral("https:/") + host + QStringLiteral("/update.ini")}) {
        auto again = Make(local);
        again->NextButton->click();
        EXPECT_EQ(again->State, local.startsWith(u'h') ? 2 : 3) << local.toStdString();
    }
}

TEST_F(Wizard, AVersionThatDoesNotSplitShowsTheConversionError)
{
    server.serve("/update.ini", Script("1.2", server.url("/setup")));
    auto w = Make(server.url("/update.ini"));
    w->NextButton->click();
    EXPECT_EQ(w->State, 1);
    EXPECT_FALSE(w->NextButton->isEnabled());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Erreur");
    EXPECT_EQ(boxes[0].text, "'' n'est pas une valeur entière correcte");
    EXPECT_EQ(w->result(), 0);
    w->CancelButton->click();
    EXPECT_EQ(w->result(), 2);
}

TEST_F(Wizard, AProgramWithoutAVersionBlockFailsOnceTheScriptIsRead)
{
    QTemporaryDir folder;
    const QString program = folder.filePath("plain-program");
    ASSERT_TRUE(WriteFile(program, "#!/bin/sh\n"));
    server.serve("/update.ini", "[Modules]\nplain-program=S\n[plain-program]\nFullVersion=1.0.0.0\n");
    TUpdWiz w(nullptr, program);
    w.Initialise(server.url("/update.ini"), QString());
    EXPECT_EQ(w.AppProductName, "");
    EXPECT_EQ(w.AppExeName, "plain-program");
    w.NextButton->click();
    EXPECT_EQ(w.State, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "'' n'est pas une valeur entière correcte");
}

TEST_F(Wizard, ALocalScriptIsReadInPlaceAndKept)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("update.ini");
    ASSERT_TRUE(WriteFile(path, Script("1.7.0.0", server.url("/setup"))));
    auto w = Make(path);
    w->NextButton->click();
    EXPECT_EQ(w->State, 3);
    EXPECT_EQ(w->OnlineFullVersion, "1.7.0.0");
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(Wizard, RedirectsAreFollowedWithinHttp)
{
    // Cookies go along, but none holding a control byte: it would go out raw in a request's head.
    server.route("/update.ini", Response{302,
                                         {},
                                         {{"Location", server.url("/moved/update.ini").toUtf8()},
                                          {"Set-Cookie", "session=1"},
                                          {"Set-Cookie", "cr=x\ry"},
                                          {"Set-Cookie", "bell=a\x07"
                                                         "b"}},
                                         false});
    server.serve("/moved/update.ini", Script("1.6.0.0", server.url("/setup")));
    server.redirect("/setup", server.url("/real-setup"));
    server.serve("/real-setup", installer);
    auto w = Make(server.url("/update.ini"));
    w->NextButton->click();
    ASSERT_EQ(w->State, 3);
    EXPECT_EQ(server.lastHeaders().value("cookie"), "session=1");
    w->NextButton->click();
    EXPECT_EQ(w->result(), 1);
    EXPECT_TRUE(WaitForFile(marker));
}

TEST_F(Wizard, CancelDuringATransferStopsIt)
{
    server.route("/update.ini", Response{200, {}, {}, true});
    auto w = Make(server.url("/update.ini"));
    // Cancel once the server holds the request, whatever the machine's pace.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, w->CancelButton, [&] {
        if (!server.requests().isEmpty()) w->CancelButton->click();
    });
    poll.start(5);
    w->NextButton->click();
    poll.stop();
    EXPECT_EQ(w->result(), 2);
    EXPECT_EQ(w->State, 1);
    EXPECT_TRUE(boxes.empty());
    // The connection's progress was added to the page while it waited.
    const QString page = Page(*w);
    EXPECT_TRUE(page.startsWith("Connexion\nConnexion au site http://sonoverne.example.org/")) << page.toStdString();
    EXPECT_TRUE(page.endsWith("\nConnexion à 127.0.0.1.")) << page.toStdString();
}

TEST_F(Wizard, DownLoadNewVersionRunsModallyOverTheCallersWindow)
{
    server.serve("/update.ini", Script("1.6.0.0", server.url("/setup")));
    server.serve("/setup", installer);
    QWidget mainWindow;
    mainWindow.show();
    QWidget* owner = nullptr;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* w = qobject_cast<TUpdWiz*>(QApplication::activeModalWidget());
        if (!w) return;
        owner = w->parentWidget();
        if ((w->State == 0 || w->State == 3) && w->NextButton->isEnabled()) w->NextButton->click();
    });
    driver.start(10);
    const QByteArray address = server.url("/update.ini").toUtf8();
    EXPECT_TRUE(DownLoadNewVersion(static_cast<uintptr_t>(mainWindow.winId()), address.constData(),
                                   "http://sonoverne.example.org/"));
    driver.stop();
    EXPECT_EQ(owner, &mainWindow);
    EXPECT_TRUE(WaitForFile(marker));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Cancel at the first page.
    QTimer::singleShot(0, [] {
        if (auto* w = qobject_cast<TUpdWiz*>(QApplication::activeModalWidget())) w->CancelButton->click();
    });
    EXPECT_FALSE(DownLoadNewVersion(0, address.constData(), ""));
}

// https never falls back to http along a redirect.
TEST_F(Wizard, AnHttpsDownloadIsNotRedirectedToHttp)
{
    QTemporaryDir keys;
    if (!MakeCertificate(keys.path(), "127.0.0.1", "IP:127.0.0.1", false) || !QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS on this machine";
    const auto tls = TlsServer(keys.filePath("127.0.0.1"));
    ASSERT_TRUE(tls && tls->isListening());
    LoopbackHttpServer& secure = *tls;
    TrustedCertificates trusted;
    const QString httpsBase = QStringLiteral("https://127.0.0.1:%1").arg(secure.port());

    // A certificate the client does not trust: said on the failure page.
    secure.serve("/update.ini", Script("1.6.0.0", httpsBase + "/setup"));
    {
        auto untrusted = Make(httpsBase + "/update.ini");
        untrusted->NextButton->click();
        EXPECT_EQ(untrusted->State, 2);
        EXPECT_TRUE(Page(*untrusted).contains("Cause : la connexion sécurisée a échoué"))
            << Page(*untrusted).toStdString();
    }
    trusted.Add(ReadCertificate(keys.filePath("127.0.0.1.pem")));

    // A script that came over https does not send the installer over http.
    secure.serve("/update.ini", Script("1.6.0.0", server.url("/installer")));
    {
        auto plain = Make(httpsBase + "/update.ini");
        plain->NextButton->click();
        ASSERT_EQ(plain->State, 3);
        plain->NextButton->click();
        EXPECT_EQ(plain->State, 2);
        EXPECT_TRUE(Page(*plain).contains("(https)")) << Page(*plain).toStdString();
        EXPECT_TRUE(server.requests().isEmpty());
    }

    secure.serve("/update.ini", Script("1.6.0.0", httpsBase + "/setup"));
    secure.redirect("/setup", server.url("/installer"));
    server.serve("/installer", installer);
    auto w = Make(httpsBase + "/update.ini");
    w->NextButton->click();
    ASSERT_EQ(w->State, 3);
    w->NextButton->click();
    EXPECT_EQ(w->State, 2);
    EXPECT_EQ(w->result(), 0);
    EXPECT_TRUE(Page(*w).contains("Cause : redirection refusée")) << Page(*w).toStdString();
    EXPECT_TRUE(server.requests().isEmpty());

    // Within https the same redirect is followed.
    secure.redirect("/setup", httpsBase + "/installer");
    secure.serve("/installer", installer);
    auto again = Make(httpsBase + "/update.ini");
    again->NextButton->click();
    again->NextButton->click();
    EXPECT_EQ(again->result(), 1);
    EXPECT_TRUE(WaitForFile(marker));
}

// A certificate from an authority the client trusts is refused when it names another host.
TEST_F(Wizard, AnHttpsServerNamedOtherwiseIsRefused)
{
    QTemporaryDir keys;
    if (!MakeCertificate(keys.path(), "ca", QString(), false) || !QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS on this machine";
    ASSERT_TRUE(MakeCertificate(keys.path(), "127.0.0.1", "IP:127.0.0.1", true));
    ASSERT_TRUE(MakeCertificate(keys.path(), "autre.example.org", "DNS:autre.example.org", true));
    TrustedCertificates trusted;
    trusted.Add(ReadCertificate(keys.filePath("ca.pem")));
    for (const char* name : {"127.0.0.1", "autre.example.org"}) {
        SCOPED_TRACE(name);
        const auto secure = TlsServer(keys.filePath(name));
        ASSERT_TRUE(secure && secure->isListening());
        const QString base = QStringLiteral("https://127.0.0.1:%1").arg(secure->port());
        secure->serve("/update.ini", Script("1.6.0.0", base + "/setup"));
        auto w = Make(base + "/update.ini");
        w->NextButton->click();
        if (QByteArray(name) == "127.0.0.1") {
            EXPECT_EQ(w->State, 3);
            continue;
        }
        EXPECT_EQ(w->State, 2);
        EXPECT_TRUE(Page(*w).contains("Cause : la connexion sécurisée a échoué")) << Page(*w).toStdString();
        EXPECT_EQ(secure->requests(), QStringList());
    }
}

}  // namespace
