#include "DownLoadUpdateUnit.h"

#include "HttpGet.h"
#include "Input.h"
#include "UpdateScript.h"
#include "VersionInfo.h"
#include "VyxPravomel.h"
#include "VyxShell.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vyx {
namespace {

const char* const kPages[5] = {
    "<b>Initialisation</b><br>L'assistant de mise à jour va se connecter à internet afin de vérifier la disponibilité d'une version plus récente de <dynamic>.<br><br><b>Version actuelle de <dynamic> :</b><dynamic><br><br>Vérifiez que votre modem est convenablement installé et que vous êtes connecté à Internet, puis cliquez sur <b>Suivant</b>.<br><br>Le programme se connectera alors au site <link><dynamic></link> pour vérifier la disponibilité d'une mise à jour",
    "<b>Connexion</b><br>Connexion au site <link><dynamic></link> et recherche d'une nouvelle version de <dynamic>...<br><br><br>Ceci peut prendre plusieurs minutes, selon l'état du réseau et votre vitesse de connexion. Veuillez patienter...<br>",
    "<b>Echec lors de la connexion :</b><br>L'assistant n'a pas réussi à se connecter à Internet. La mise à jour à été annulée.<br><br><b>Si vous n'arivez pas à vous connecter :</b><br>Vérifiez que votre modem est bien relié à votre ligne téléphonique. Si votre modem est un modèle externe, vérifiez qu'il est convenablement alimenté. Si la connexion échoue, et que toutes les conditions précédentes sont réalisées, contactez votre administrateur réseau, ou le constructeur de votre modem.<br><br>Cliquez sur <b>Précédent</b> pour rééssayer, ou sur <b>Annuler</b> pour quitter l'assistant de mise à jour.",
    "<b>Vérification terminé.</b><br>L'assistant de mise à jour à terminé sa connexion avec le site <dynamic>.<br><br><b>Résultat de la recherche :</b><br><dynamic><br><br><dynamic>",
    "<b>Téléchargement</b><br>Connexion au site <link><dynamic></link> et téléchargement de la nouvelle version de <dynamic>...<br><br><br>Ceci peut prendre plusieurs minutes, selon l'état du réseau et votre vitesse de connexion. Veuillez patienter...",
};

// Largest answers accepted; anything longer is refused as it arrives.
constexpr qint64 kMaxScriptSize = qint64(1) << 20;
constexpr qint64 kMaxInstallerSize = qint64(512) << 20;
// A text from outside added to a page.
constexpr qsizetype kMaxStatusLength = 200;

const char* const kDownloadFailureHead =
    "<b>Echec du téléchargement :</b><br>L'assistant n'a pas réussi à télécharger la nouvelle version. La mise à jour a été annulée.<br><br><b>Cause :</b> ";
const char* const kDownloadFailureTail =
    "<br><br>Cliquez sur <b>Précédent</b> pour réessayer, ou sur <b>Annuler</b> pour quitter l'assistant de mise à jour.";

QString Info(TInfo info, const QString& file)
{
    const auto value = FileInfo(info, QFile::encodeName(file).toStdString());
    return value ? QString::fromStdString(*value) : QString();
}

TVersion Split(const QString& text)
{
    TVersion v{};
    DispatchVersion(text.toStdString(), v);
    return v;
}

// A printf-style system text with UTF-8 arguments.
template <typename... Args>
QString Format(const char* format, const Args&... args)
{
    return QString::asprintf(format, args.toUtf8().constData()...);
}

// Texts from outside shown in a page: the markup has no escapes, so its brackets go.
QString WithoutMarkup(QString text)
{
    text.remove(u'<');
    text.remove(u'>');
    return text;
}

// A text from outside, its control characters made printable (an escape or a bell would reach the
// page as it came) and cut to a sane length; a long run without blanks gets break points so that
// it wraps inside the page instead of widening it.
QString Cut(const QString& raw)
{
    const QString text = QString::fromStdString(platform::printable(raw.toStdString()));
    QString out;
    qsizetype run = 0;
    for (const QChar c : text.left(kMaxStatusLength)) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > 40) {
            out += QChar(0x200B);
            run = 1;
        }
        out += c;
    }
    return text.size() > kMaxStatusLength ? out + QStringLiteral("…") : out;
}

QString WriteFailure(int error)
{
    switch (error) {
    case ENOSPC: return QStringLiteral("le disque est plein");
    case EDQUOT: return QStringLiteral("le quota du disque est atteint");
    case EFBIG: return QStringLiteral("le fichier est trop grand pour le disque");
    default: return QStringLiteral("le fichier téléchargé n'a pas pu être écrit");
    }
}

// Removes a download's private folder when the handler that fetched it ends, however it ends.
struct RemoveWhenDone {
    QString folder;
    ~RemoveWhenDone()
    {
        if (!folder.isEmpty()) QDir(folder).removeRecursively();
    }
};

}  // namespace

TUpdWiz::TUpdWiz(QWidget* owner, const QString& exePath)
    : QDialog(owner), exePath_(exePath.isEmpty() ? QCoreApplication::applicationFilePath() : exePath)
{
    setObjectName(QStringLiteral("UpdWiz"));
    setWindowTitle(QStringLiteral("Assistant de mise à jour"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(FormFont(font(), "MS Sans Serif", 11));
    setFixedSize(498, 348);

    VyxWizard1 = new TVyxWizard(this);
    VyxWizard1->setObjectName(QStringLiteral("VyxWizard1"));
    VyxWizard1->setGeometry(0, 0, width(), 65);
    VyxWizard1->SetGradient(true);
    VyxWizard1->SetGradientStart(QColor(0x33, 0x66, 0xCC));

    HeadLabel = new QLabel(this);
    HeadLabel->setObjectName(QStringLiteral("HeadLabel"));
    HeadLabel->setTextFormat(Qt::PlainText);
    HeadLabel->move(64, 8);
    QFont head = FormFont(font(), "Tahoma", 12);
    head.setBold(true);
    HeadLabel->setFont(head);

    HeadImage = new QLabel(this);
    HeadImage->setObjectName(QStringLiteral("HeadImage"));
    HeadImage->setGeometry(18, 14, 32, 32);
    HeadImage->setPixmap(style()->standardIcon(QStyle::SP_BrowserReload, nullptr, this).pixmap(32, 32));

    HeadStaticText = new QLabel(this);
    HeadStaticText->setObjectName(QStringLiteral("HeadStaticText"));
    HeadStaticText->setTextFormat(Qt::PlainText);
    HeadStaticText->setGeometry(80, 24, 393, 29);
    HeadStaticText->setWordWrap(true);
    HeadStaticText->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    JvLinkLabel = PlaceInScrollBox(ScrollBox1, QRect(8, 72, 481, 225), QStringLiteral("JvLinkLabel"));
    ScrollBox1->verticalScrollBar()->setSingleStep(20);
    JvLinkLabel->OnDynamicTagInit = [this](QObject* sender, QString& text, int n) {
        JvLinkLabelDynamicTagInit(sender, text, n);
    };
    JvLinkLabel->OnLinkClick = [this](QObject* sender, int n, const QString& text) {
        Guarded(this, [&] { JvLinkLabelLinkClick(sender, n, text); });
    };

    ProgressBar = new QProgressBar(JvLinkLabel->parentWidget());
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(32, 184, 409, 17);
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();

    BotLabel = new QLabel(this);
    BotLabel->setObjectName(QStringLiteral("BotLabel"));
    BotLabel->setTextFormat(Qt::PlainText);
    BotLabel->move(8, 298);
    BotLabel->setEnabled(false);

    Separator = new QFrame(this);
    Separator->setObjectName(QStringLiteral("Separator"));
    Separator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Separator->setGeometry(8, 304, 481, 2);

    PrevButton = PlaceButton(this, "PrevButton", "< &Précédent", QRect(232, 316, 73, 23));
    PrevButton->setEnabled(false);
    NextButton = PlaceButton(this, "NextButton", "&Suivant >", QRect(312, 316, 73, 23));
    NextButton->setDefault(true);
    CancelButton = PlaceButton(this, "CancelButton", "&Annuler", QRect(408, 316, 75, 23));
    connect(NextButton, &QPushButton::clicked, this,
            [this] { Guarded(this, [this] { NextButtonClick(NextButton); }); });
    connect(PrevButton, &QPushButton::clicked, this,
            [this] { Guarded(this, [this] { PrevButtonClick(PrevButton); }); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { done(2); });

    IdHTTP = new THttpGet(this);
    IdHTTP->setObjectName(QStringLiteral("IdHTTP"));

    for (QWidget* head :
         {static_cast<QWidget*>(HeadLabel), static_cast<QWidget*>(HeadImage), static_cast<QWidget*>(HeadStaticText)})
        head->raise();
}

void TUpdWiz::Initialise(const QString& scriptURL, const QString& siteURL)
{
    AppProductName = Info(TInfo::ProductName, exePath_);
    AppExeName = QFileInfo(exePath_).fileName();
    AppFileVersion = Info(TInfo::FileVersion, exePath_);
    AppProductVersion = Info(TInfo::ProductVersion, exePath_);
    SiteURL = siteURL;
    ScriptURL = scriptURL;

    HeadStaticText->setText(
        QStringLiteral(
            "L'assistant de mise à jour va vous guider à travers les étapes du processus de mise à jour de ") +
        AppProductName + QStringLiteral("."));
    BotLabel->setText(QStringLiteral("Mise à jour de ") + AppProductName + QStringLiteral("."));
    HeadLabel->setText(AppProductName);
    HeadLabel->adjustSize();
    BotLabel->adjustSize();

    ShowPage(0);

    // The rule starts after the bottom caption; its right end stays in place.
    const int shift = BotLabel->x() + BotLabel->width();
    Separator->setGeometry(Separator->x() + shift, Separator->y(), Separator->width() - shift, Separator->height());

    // The library has no main form of its own: the wizard is centred on the screen.
    if (QScreen* s = parentWidget() ? parentWidget()->screen() : screen()) {
        QRect frame = geometry();
        frame.moveCenter(s->geometry().center());
        move(frame.topLeft());
    }
}

QString TUpdWiz::PageText(int state) { return state >= 0 && state < 5 ? QString::fromUtf8(kPages[state]) : QString(); }

void TUpdWiz::ShowPage(int state)
{
    State = state;
    JvLinkLabel->setCaption(PageText(state));
}

QString TUpdWiz::OriginalFilename() const { return Info(TInfo::OriginalFilename, exePath_); }

void TUpdWiz::JvLinkLabelDynamicTagInit(QObject*, QString& text, int tagNumber)
{
    text.clear();
    switch (State) {
    case 0:
        if (tagNumber == 0 || tagNumber == 1) text = AppProductName;
        if (tagNumber == 2)
            text = QStringLiteral("<br>") + AppProductVersion + QStringLiteral(" (Version du module '") +
                   OriginalFilename() + QStringLiteral("' : ") + AppFileVersion + QStringLiteral(").");
        if (tagNumber == 3) text = SiteURL;
        break;
    case 1:
    case 4:
        if (tagNumber == 0) text = SiteURL;
        if (tagNumber == 1) text = AppProductName;
        break;
    case 3:
        if (tagNumber == 0) text = QStringLiteral("<link>") + SiteURL + QStringLiteral("</link>");
        if (tagNumber == 1)
            text = QStringLiteral("La version actuellement installée sur votre système de <b>") + AppProductName +
                   QStringLiteral("</b> est : <b>") + AppProductVersion +
                   QStringLiteral("</b>.<br><br>La version actuelle du module <b>") + OriginalFilename() +
                   QStringLiteral("</b> est : <b>") + AppFileVersion +
                   QStringLiteral("</b>.<br>La version en ligne du module est : <b>") +
                   Cut(WithoutMarkup(OnlineFullVersion)) + QStringLiteral("</b>.");
        if (tagNumber == 2) {
            if (NewVersion) {
                text =
                    QStringLiteral(
                        "<b>Une nouvelle version est disponible en téléchargement. Il est recommandé de procéder à son téléchargement et de mettre à jour ") +
                    AppProductName + QStringLiteral(".</b>");
            } else {
                text = QStringLiteral(
                    "<b>La version en ligne n'a pas été mise à jour. Il n'est pas nécéssaire de la télécharger.</b>");
                NextButton->setEnabled(false);
                CancelButton->setText(QStringLiteral("&Fermer"));
                DownloadURL.clear();
            }
        }
        break;
    default: break;
    }
}

void TUpdWiz::NextButtonClick(QObject*)
{
    if (State == 0) CheckScript();
    else if (State == 3) DownloadInstaller();
}

void TUpdWiz::CheckScript()
{
    NextButton->setEnabled(false);
    ShowPage(1);
    QCoreApplication::processEvents();

    const TFetch fetched = FetchToTempFile(ScriptURL, true, kMaxScriptSize, false);
    // Only our own download is removed; a local script stays where the caller keeps it.
    RemoveWhenDone cleanup{fetched.folder};
    if (closing_) return;
    if (fetched.path.isEmpty()) return ShowFailure(false, fetched.failure);
    scriptSecure_ = fetched.secure;

    TUpdateScript script;
    if (!script.LoadFromFile(fetched.path))
        return ShowFailure(false, QStringLiteral("le script de mise à jour n'a pas pu être lu"));
    const QString section = script.ReadString(QStringLiteral("Modules"), AppExeName, QString());
    OnlineFullVersion = script.ReadString(AppExeName, QStringLiteral("FullVersion"), QString());

    if (!OnlineFullVersion.isEmpty()) {
        NewVersion = false;
        const TVersion online = Split(OnlineFullVersion);
        const TVersion installed = Split(AppFileVersion);
        if (NewerAvailable(online, installed)) {
            DownloadURL = script.ReadString(section, QStringLiteral("DownLoad"), QString());
            scriptProblem_.clear();
            if (section.isEmpty())
                scriptProblem_ =
                    QStringLiteral("le script de mise à jour ne nomme pas, dans sa section [Modules], la section de ") +
                    Cut(AppExeName);
            else if (DownloadURL.isEmpty())
                scriptProblem_ =
                    QStringLiteral(
                        "le script de mise à jour ne donne pas d'adresse de téléchargement (DownLoad) dans sa section [") +
                    Cut(section) + QStringLiteral("]");
            NewVersion = true;
            NextButton->setEnabled(true);
        }
        ShowPage(3);
        return;
    }

    const auto answer = ShowMessageBox(
        ApplicationWindow(), QMessageBox::Question, QStringLiteral("Mise à jour"),
        QStringLiteral(
            "Le fichier de mise à jour contient des erreurs.\r\nSouhaitez vous envoyer un message d'information à la personne chargée de la maintenance de ce fichier ?"),
        QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        // Each value is percent-encoded: an "&" or "?" in it must not cut the body or add fields.
        auto value = [](const QString& s) { return QString::fromLatin1(QUrl::toPercentEncoding(s, "@")); };
        const QString email = script.ReadString(QStringLiteral("General"), QStringLiteral("EMail"), QString());
        const QString webmaster = script.ReadString(QStringLiteral("General"), QStringLiteral("Webmaster"), QString());
        const QString mail = Format(
            "mailto:%s?subject=Rapport d'anomalie de M.A.J.&body=A l'attention de %s : La mise à jour de %s (%s) pas VyxPravomel est impossible en raison d'une erreur dans le script de %s. Merci de corriger cette erreur.",
            value(email), value(webmaster), value(AppExeName), value(AppProductName), value(ScriptURL));
        OpenUrl(QUrl(mail, QUrl::TolerantMode));
    }
    ShowMessageBox(ApplicationWindow(), QMessageBox::Critical, QStringLiteral("Erreur"),
                   QStringLiteral("Echec de la mise à jour."), QMessageBox::Ok);
    done(2);
}

void TUpdWiz::DownloadInstaller()
{
    ShowPage(4);
    QString refusal = scriptProblem_;
    if (refusal.isEmpty() && DownloadURL.isEmpty())
        refusal = QStringLiteral("le script de mise à jour ne donne pas d'adresse de téléchargement");
    // A script that came over https names an installer that comes over https too.
    const QString scheme = QUrl(DownloadURL).scheme().toLower();
    if (refusal.isEmpty() && scriptSecure_ && scheme != u"https")
        refusal = QStringLiteral(
            "le script est venu par une connexion sécurisée (https), le téléchargement par une autre voie est refusé");
    if (!refusal.isEmpty()) return ShowFailure(true, refusal);

    // The installer is always downloaded, into a folder of its own, under its final name and with
    // the run bit (this platform's programs have no suffix); it is started where it was written.
    const TFetch fetched = FetchToTempFile(DownloadURL, false, kMaxInstallerSize, true);
    RemoveWhenDone cleanup{fetched.folder};
    if (closing_) return;
    if (fetched.path.isEmpty()) return ShowFailure(true, fetched.failure);

    ShowMessageBox(
        nullptr, QMessageBox::Information, QStringLiteral("Information"),
        Format("Afin d'effectuer la mise à jour, %s (Module de %s) va se fermer.", AppExeName, AppProductName),
        QMessageBox::Ok);
    if (closing_) return;
    if (!QProcess::startDetached(fetched.path, {})) {
        ShowMessageBox(this, QMessageBox::Critical, QStringLiteral("Erreur"),
                       Format("Impossible de lancer le programme d'installation %s.", fetched.path), QMessageBox::Ok);
        return ShowFailure(true, QStringLiteral("le programme d'installation n'a pas pu être lancé"));
    }
    cleanup.folder.clear();
    done(1);
}

void TUpdWiz::ShowFailure(bool download, const QString& what)
{
    // State 2: "Précédent" leads back to the first page and a new check.
    ShowPage(2);
    const QString cause = WithoutMarkup(what.isEmpty() ? QStringLiteral("erreur inconnue") : what) + u'.';
    if (download)
        JvLinkLabel->setCaption(QString::fromUtf8(kDownloadFailureHead) + cause +
                                QString::fromUtf8(kDownloadFailureTail));
    else JvLinkLabel->setCaption(JvLinkLabel->caption() + QStringLiteral("<br><br><b>Cause :</b> ") + cause);
    PrevButton->setEnabled(true);
    NextButton->setEnabled(false);
}

void TUpdWiz::PrevButtonClick(QObject*)
{
    if (State != 2) return;
    ShowPage(0);
    NextButton->setEnabled(true);
    PrevButton->setEnabled(false);
}

void TUpdWiz::JvLinkLabelLinkClick(QObject*, int, const QString& linkText) { OpenUrl(QUrl::fromUserInput(linkText)); }

void TUpdWiz::IdHTTPStatus(QObject*, int, const QString& statusText)
{
    JvLinkLabel->setCaption(JvLinkLabel->caption() + QStringLiteral("<br>") + Cut(WithoutMarkup(statusText)));
    QCoreApplication::processEvents();
}

void TUpdWiz::IdHTTPWorkBegin(QObject*, TWorkMode, qint64 workCountMax)
{
    progressScale_ = 1;
    while (workCountMax / progressScale_ > INT_MAX) progressScale_ *= 1024;
    // Without a known end (an answer in chunks) the bar tells the count so far instead.
    unknownEnd_ = workCountMax < 0;
    ProgressBar->setTextVisible(unknownEnd_);
    ProgressBar->setMaximum(unknownEnd_ ? 1 : int(workCountMax / progressScale_));
    ProgressBar->setValue(0);
    if (unknownEnd_) IdHTTPWork(IdHTTP, TWorkMode::wmRead, 0);
}

void TUpdWiz::IdHTTPWork(QObject*, TWorkMode, qint64 count)
{
    if (unknownEnd_) ProgressBar->setFormat(QLocale(QLocale::French).toString(count) + QStringLiteral(" octets reçus"));
    else ProgressBar->setValue(int(std::min<qint64>(count / progressScale_, ProgressBar->maximum())));
}

void TUpdWiz::IdHTTPWorkEnd(QObject*, TWorkMode) { ProgressBar->setValue(ProgressBar->maximum()); }

TUpdWiz::TFetch TUpdWiz::FetchToTempFile(const QString& url, bool acceptLocal, qint64 limit, bool installer)
{
    TFetch result;
    if (closing_) return result;
    const QString scheme = QUrl(url).scheme().toLower();
    if (acceptLocal && (scheme.isEmpty() || scheme == u"file")) {
        // Only an address without a scheme, or a file: address, names a local file: "https://…"
        // is never a relative path, whatever the working folder holds.
        const QString local = scheme.isEmpty() ? url : QUrl(url).toLocalFile();
        if (local.isEmpty())
            result.failure = QStringLiteral("aucune adresse n'est donnée pour le script de mise à jour");
        else if (!QFileInfo(local).isFile())
            result.failure = QStringLiteral("le fichier ") + Cut(local) + QStringLiteral(" est introuvable");
        else result.path = local;
        return result;
    }
    // Whether an http or https address is a valid one is the GET's to say, as along a redirect.
    const QUrl address(url, QUrl::StrictMode);
    if (scheme != u"http" && scheme != u"https") {
        result.failure = QStringLiteral("adresse non valide : ") + Cut(url);
        return result;
    }

    ProgressBar->show();
    struct HideProgress {
        QProgressBar* bar;
        ~HideProgress() { bar->hide(); }
    } hide{ProgressBar};

    // A folder of mode 0700 made for this download: no other user can plant, swap or read
    // anything in it, and its name is not known in advance.
    QTemporaryDir folder(QDir(QDir::tempPath()).filePath(QStringLiteral("VyxXXXXXX")));
    const QString base = QFileInfo(folder.path()).fileName();
    const QString path = folder.filePath(installer ? base : base + QStringLiteral(".tmp"));
    const int fd = folder.isValid() ? ::open(QFile::encodeName(path).constData(),
                                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)
                                    : -1;
    QFile temp;
    if (fd < 0 || fchmod(fd, installer ? 0700 : 0600) != 0 ||
        !temp.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) ::close(fd);
        result.failure = QStringLiteral("impossible de créer un fichier dans le dossier temporaire");
        return result;
    }

    // The request of the program this wizard stands in for.
    const THttpGet::THeaders headers = {
        {"Content-Type", "text/html"},
        {"Accept", "text/html, */*"},
        // The body as sent, so that its length can be checked against the announced one.
        {"Accept-Encoding", "identity"},
        {"User-Agent", "Mozilla/3.0 (compatible; Indy Library)"},
    };
    bool begun = false;
    IdHTTP->OnConnecting = [this](const QString& host) {
        IdHTTPStatus(IdHTTP, 0, QStringLiteral("Connexion à ") + host + QStringLiteral("."));
    };
    IdHTTP->OnStatus = [this](int code, const QString& reason) {
        IdHTTPStatus(IdHTTP, code, QStringLiteral("Réponse du serveur : %1 %2.").arg(code).arg(reason));
    };
    IdHTTP->OnBodyBegin = [&](qint64 total) {
        begun = true;
        IdHTTPWorkBegin(IdHTTP, TWorkMode::wmRead, total);
    };
    IdHTTP->OnBody = [&](const QByteArray& piece, qint64 count) {
        if (temp.write(piece) != piece.size()) return WriteFailure(errno);
        IdHTTPWork(IdHTTP, TWorkMode::wmRead, count);
        return QString();
    };
    IdHTTP->OnRedirected = [&] {
        // Only the final answer's body is the file.
        temp.resize(0);
        temp.seek(0);
    };
    // Only a whole answer is a file: status 200 and a body as long as announced, or chunks up to
    // the last one. An installer whose end could not be told is refused at its headers.
    result.failure = IdHTTP->Run(address, headers, limit, installer);
    IdHTTP->OnBodyBegin = nullptr;
    IdHTTP->OnBody = nullptr;
    IdHTTP->OnRedirected = nullptr;
    if (begun) IdHTTPWorkEnd(IdHTTP, TWorkMode::wmRead);
    temp.close();
    if (closing_ || IdHTTP->Aborted()) return TFetch();
    if (result.failure.isEmpty() && IdHTTP->Status() != 200)
        result.failure = QStringLiteral("le serveur a répondu %1 %2").arg(IdHTTP->Status()).arg(Cut(IdHTTP->Reason()));
    if (!result.failure.isEmpty()) return result;
    folder.setAutoRemove(false);
    result.path = path;
    result.folder = folder.path();
    result.secure = IdHTTP->Url().scheme().toLower() == u"https";
    return result;
}

void TUpdWiz::done(int result)
{
    // A close during a transfer stops it now rather than when it ends.
    closing_ = true;
    IdHTTP->Abort();
    QDialog::done(result);
}

}  // namespace vyx

using namespace vyx;

extern "C" const char* GetFileInfos(TInfo Info, const char* FileName)
{
    // The text lives until the next call, as callers expect; one per thread, so that a call in
    // one thread never changes the text another thread is reading.
    static thread_local std::string kept;
    try {
        if (!FileName) return nullptr;
        const auto value = FileInfo(Info, FileName);
        if (!value) return nullptr;
        kept = *value;
        return kept.c_str();
    } catch (...) {
        return nullptr;
    }
}

extern "C" bool DispatchVersionInfos(const char* Version, TVersion* V)
{
    TVersion local{};
    TVersion& v = V ? *V : local;
    try {
        DispatchVersion(Version ? Version : "", v);
        return true;
    } catch (...) {
        return false;
    }
}

extern "C" bool DownLoadNewVersion(uintptr_t AppHandle, const char* ScriptURL, const char* SiteURL)
{
    try {
        if (!GuiAvailable()) return false;
        SetApplicationWindow(AppHandle);
        TUpdWiz wizard(ApplicationWindow());
        wizard.Initialise(QString::fromUtf8(ScriptURL ? ScriptURL : ""), QString::fromUtf8(SiteURL ? SiteURL : ""));
        return wizard.exec() == 1;
    } catch (...) {
        return false;
    }
}
