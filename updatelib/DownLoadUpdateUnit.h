// The update wizard: reads the calling program's version block, fetches the update script,
// compares versions, downloads the new installer and starts it.
#pragma once

#include "LinkLabel.h"
#include "VYXWizard.h"

#include <QDialog>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;

namespace net {
class THttpGet;
}

namespace vyx {

using net::THttpGet;

enum class TWorkMode { wmRead, wmWrite };

class TUpdWiz : public QDialog {
    Q_OBJECT
public:
    // exePath: the program whose version block is read (the running executable by default).
    explicit TUpdWiz(QWidget* owner, const QString& exePath = QString());

    // Reads the program's version block and shows the first page.
    void Initialise(const QString& scriptURL, const QString& siteURL);

    void NextButtonClick(QObject* sender);
    void PrevButtonClick(QObject* sender);
    void JvLinkLabelDynamicTagInit(QObject* sender, QString& text, int tagNumber);
    void JvLinkLabelLinkClick(QObject* sender, int linkNumber, const QString& linkText);
    void IdHTTPStatus(QObject* sender, int status, const QString& statusText);
    void IdHTTPWork(QObject* sender, TWorkMode workMode, qint64 count);
    void IdHTTPWorkBegin(QObject* sender, TWorkMode workMode, qint64 workCountMax);
    void IdHTTPWorkEnd(QObject* sender, TWorkMode workMode);

    // The page of a state; the caption is rendered with the state's dynamic texts.
    static QString PageText(int state);

    TVyxWizard* VyxWizard1;
    QLabel* HeadLabel;
    QLabel* HeadImage;
    QLabel* HeadStaticText;
    QScrollArea* ScrollBox1;
    TLinkLabel* JvLinkLabel;
    QProgressBar* ProgressBar;
    QLabel* BotLabel;
    QFrame* Separator;
    QPushButton* PrevButton;
    QPushButton* NextButton;
    QPushButton* CancelButton;
    THttpGet* IdHTTP;

    QString AppProductName, AppExeName, AppFileVersion, AppProductVersion, SiteURL, ScriptURL;
    int State = 0;

    QString OnlineFullVersion;  // the version that the script announces
    QString DownloadURL;        // where the installer is fetched from
    bool NewVersion = false;    // the online version is newer

public slots:
    void done(int result) override;
    // The close box answers Cancel.
    void reject() override { done(2); }

private:
    // One fetch: the file, the private folder made for it, and what failed.
    struct TFetch {
        QString path;         // empty on failure
        QString folder;       // the private folder of a download; empty for a local script
        QString failure;      // why it failed, for the user (empty when the wizard was closed)
        bool secure = false;  // the answer came over https
    };
    // Fetches url into a new file of a new private temporary folder, at most limit bytes. A script
    // may be a local file (acceptLocal): an address without a scheme or a file: address.
    // An installer is written under its final name with the run bit, and started where it is.
    TFetch FetchToTempFile(const QString& url, bool acceptLocal, qint64 limit, bool installer);
    void ShowPage(int state);
    // The failure state, its page telling what failed, "Précédent" usable.
    void ShowFailure(bool download, const QString& what);
    void CheckScript();
    void DownloadInstaller();
    QString OriginalFilename() const;

    QString exePath_;
    bool scriptSecure_ = false;  // the script came over https: the installer must too
    QString scriptProblem_;      // what the script lacks for a download
    bool closing_ = false;
    qint64 progressScale_ = 1;
    bool unknownEnd_ = false;  // the body's length was not announced
};

}  // namespace vyx
