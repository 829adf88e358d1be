// The shared library as a calling program sees it: only the seven functions, under their names,
// usable without any of the library's classes, the windows found by their object names.
#include "QtTestApp.h"
#include "VyxPravomel.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QProcess>
#include <QSet>
#include <QTcpServer>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <thread>
#include <vector>

static_assert(offsetof(TVyxMsgInfoIn, Title) == 8);
static_assert(offsetof(TVyxMsgInfoIn, DetailsCaption) == 56);
static_assert(offsetof(TVyxMsgInfoIn, OnDetails) == 64);
static_assert(offsetof(TVyxMsgInfoIn, Icon) == 72);
static_assert(offsetof(TVyxMsgInfoIn, Caption) == 80);
static_assert(offsetof(TVyxMsgInfoOut, NeverPromptAgainChecked) == 4);
static_assert(offsetof(TVersion, Build) == 12);

namespace {

QWidget* Modal(const char* name)
{
    QWidget* w = QApplication::activeModalWidget();
    return w && w->objectName() == QLatin1String(name) ? w : nullptr;
}

void Click(QWidget* window, const char* button)
{
    if (auto* b = window->findChild<QAbstractButton*>(QLatin1String(button))) b->click();
}

TEST(Exports, OnlyTheSevenFunctionsAreExported)
{
    QProcess nm;
    nm.start("nm", {"-D", "--defined-only", VYX_LIBRARY_PATH});
    ASSERT_TRUE(nm.waitForFinished(-1));
    ASSERT_EQ(nm.exitCode(), 0);
    QSet<QString> defined;
    for (const QByteArray& line : nm.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() == 3) defined << QString::fromLatin1(fields[2]);
    }
    EXPECT_EQ(defined, (QSet<QString>{"CloseWaitMessage", "ShowWaitMessage", "VyxMessageDlg", "VyxInitVyxMsgInfoIn",
                                      "GetFileInfos", "DispatchVersionInfos", "DownLoadNewVersion"}));
}

TEST(Exports, VersionFunctions)
{
    const QByteArray self = QCoreApplication::applicationFilePath().toUtf8();
    ASSERT_NE(GetFileInfos(TInfo::ProductVersion, self.constData()), nullptr);
    EXPECT_STREQ(GetFileInfos(TInfo::ProductVersion, self.constData()), "3.0");
    EXPECT_STREQ(GetFileInfos(TInfo::InternalName, self.constData()), "exports");
    EXPECT_EQ(GetFileInfos(TInfo::CompanyName, self.constData()), nullptr);
    TVersion v{};
    EXPECT_TRUE(DispatchVersionInfos("3.0.1.22", &v));
    EXPECT_EQ(v.Build, 22);
    EXPECT_FALSE(DispatchVersionInfos("3.0", &v));
    EXPECT_EQ(v.Major, 3);
}

TEST(Exports, WaitWindowAndMessageDialog)
{
    ShowWaitMessage(0, "Patientez");
    int waitWindows = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) waitWindows += w->objectName() == "WaitForm" && w->isVisible();
    EXPECT_EQ(waitWindows, 1);
    CloseWaitMessage();
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->objectName() == "WaitForm" && w->isVisible());

    TVyxMsgInfoIn in;
    VyxInitVyxMsgInfoIn(&in);
    EXPECT_EQ(in.Kind, 2);
    EXPECT_STREQ(in.ContinueCaption, "&Continuer");
    in.Title = "Question";
    QTimer::singleShot(0, [] {
        if (QWidget* d = Modal("VYXMessage")) Click(d, "Continue");
    });
    TVyxMsgInfoOut out{};
    VyxMessageDlg(&out, 0, in);
    EXPECT_EQ(out.ModalResult, 1);
    EXPECT_EQ(out.NeverPromptAgainChecked, 0);
}

int ShownWaitWindows()
{
    int shown = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) shown += w->objectName() == "WaitForm" && w->isVisible();
    return shown;
}

// Runs call on a worker thread while this thread waits for it without processing events, as a
// host that joins its worker does. A call that never returns cannot be stopped: the watchdog
// ends the test program as failed rather than let it hang.
void OnWorker(const char* what, const std::function<void()>& call)
{
    std::packaged_task<void()> task(call);
    std::future<void> done = task.get_future();
    std::thread worker(std::move(task));
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        std::fprintf(stderr, "FAILED: %s from a worker thread has not returned after 20 s\n", what);
        std::fflush(stderr);
        std::_Exit(1);
    }
    worker.join();
    done.get();
}

// Every export that shows or closes a window, called from another thread than the
// application's, returns at once as it does without an application.
TEST(Exports, WindowExportsFromAWorkerThreadReturnAtOnce)
{
    QWidget caller;
    caller.show();
    const auto owner = static_cast<uintptr_t>(caller.winId());

    OnWorker("ShowWaitMessage", [&] { ShowWaitMessage(owner, "Patientez"); });
    EXPECT_EQ(ShownWaitWindows(), 0);

    ShowWaitMessage(owner, "Patientez");
    ASSERT_EQ(ShownWaitWindows(), 1);
    OnWorker("CloseWaitMessage", [] { CloseWaitMessage(); });
    EXPECT_EQ(ShownWaitWindows(), 1);
    CloseWaitMessage();
    EXPECT_EQ(ShownWaitWindows(), 0);

    TVyxMsgInfoIn in;
    VyxInitVyxMsgInfoIn(&in);
    in.Title = "Question";
    TVyxMsgInfoOut out{7, 9};
    OnWorker("VyxMessageDlg", [&] { VyxMessageDlg(&out, owner, in); });
    EXPECT_EQ(out.ModalResult, 0);
    EXPECT_EQ(out.NeverPromptAgainChecked, 0);

    bool started = true;
    OnWorker("DownLoadNewVersion",
             [&] { started = DownLoadNewVersion(owner, "http://127.0.0.1:1/update.ini", "http://site/"); });
    EXPECT_FALSE(started);
    int windows = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) windows += w != &caller && w->isVisible();
    EXPECT_EQ(windows, 0);
}

// Threads reading values of different lengths at once each get their own, whole: none sees
// another's value, nor one torn by another's call.
TEST(Exports, GetFileInfosFromSeveralThreadsGivesEachItsOwnText)
{
    const QByteArray self = QCoreApplication::applicationFilePath().toUtf8();
    const struct {
        TInfo info;
        const char* value;
    } values[] = {
        {TInfo::ProductName, "Appelant"},
        {TInfo::FileVersion, "3.0.0.0"},
        {TInfo::FileDescription, "Programme d'essai qui appelle la bibliothèque VyxPravomel"},
    };
    std::atomic<int> wrong{0};
    OnWorker("GetFileInfos", [&] {
        std::vector<std::thread> threads;
        for (int t = 0; t < 6; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < 10000; ++i) {
                    const auto& v = values[std::size_t(t + i) % std::size(values)];
                    const char* text = GetFileInfos(v.info, self.constData());
                    if (!text || std::strcmp(text, v.value) != 0) ++wrong;
                }
            });
        for (std::thread& thread : threads) thread.join();
    });
    EXPECT_EQ(wrong, 0);
}

// How a caller's test drives the wizard: find it as the active modal window and click its buttons.
TEST(Exports, DownLoadNewVersionIsDrivenThroughItsButtons)
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const QByteArray script = QStringLiteral("http://127.0.0.1:%1/update.ini").arg(probe.serverPort()).toUtf8();
    probe.close();
    QWidget caller;
    caller.show();
    int clicks = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* wizard = Modal("UpdWiz");
        if (!wizard) return;
        EXPECT_EQ(wizard->parentWidget(), &caller);
        auto* next = wizard->findChild<QAbstractButton*>("NextButton");
        auto* prev = wizard->findChild<QAbstractButton*>("PrevButton");
        if (prev->isEnabled()) {
            Click(wizard, "CancelButton");  // the connection was refused: failure page
        } else if (next->isEnabled() && clicks == 0) {
            ++clicks;
            next->click();
        }
    });
    driver.start(10);
    EXPECT_FALSE(DownLoadNewVersion(static_cast<uintptr_t>(caller.winId()), script.constData(), "http://site/"));
    EXPECT_EQ(clicks, 1);
}

}  // namespace
