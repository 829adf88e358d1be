// The update wizard: reads the calling program's version block, fetches the update script,
// compares versions, downloads the new installer and starts it.
#pragma once

#include "LinkLabel.h"
#include "VYXWizard.h"

#include <QDialog>
#include <QPointer>

class QFrame;
class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QProgressBar;
class QPushButton;
class QScrollArea;

namespace vyx {

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
  QNetworkAccessManager* IdHTTP;

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
  // Fetches url into a new temporary file and returns its path; empty on failure. A script may
  // be an existing local file (acceptLocal), which is returned as it is.
  QString FetchToTempFile(const QString& url, bool acceptLocal, bool* downloaded);
  void ShowPage(int state);
  void CheckScript();
  void DownloadInstaller();
  QString OriginalFilename() const;

  QString exePath_;
  QPointer<QNetworkReply> transfer_;
  bool closing_ = false;
  qint64 progressScale_ = 1;
};

}  // namespace vyx
