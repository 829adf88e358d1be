#include "CommandsTest.h"

#include "AppTestMain.h"
#include "Dialogs.h"
#include "FileSystem.h"
#include "MprisTestBus.h"
#include "Program.h"
#include "Shell.h"
#include "Unit1.h"
#include "variable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace cmdtest {

std::string tempRoot;
std::string programFolder;

gen::TagTexts texts(const std::string& artist, const std::string& title, const std::string& album)
{
    gen::TagTexts t;
    t.artist = artist;
    t.title = title;
    t.album = album;
    return t;
}

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool waitForFile(const std::string& path)
{
    QElapsedTimer clock;
    clock.start();
    while (!exists(path) && clock.elapsed() < 60000) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return exists(path);
}

void writeRecordingScript(const std::string& script, const std::string& log)
{
    std::ofstream out(script, std::ios::binary | std::ios::trunc);
    // Written aside, then renamed: the log appears whole.
    out << "#!/bin/sh\n{ cat '" << log << "' 2>/dev/null; printf '%s\\n' \"$#\" \"$@\"; } > '" << log << ".tmp' && mv '"
        << log << ".tmp' '" << log << "'\n";
    out.close();
    ::chmod(script.c_str(), 0755);
}

QString probeName(const std::string& path)
{
    return QLatin1Char('x') + QString::fromLatin1(QByteArray::fromStdString(path).toHex());
}

namespace {

// The probe serving one test: started by its first call, stopped when the test ends, so that a
// test pays for one start of Python and mutagen however many files it writes and reads.
QProcess* probeServer = nullptr;

void stopProbe()
{
    if (!probeServer) return;
    probeServer->closeWriteChannel();  // the end of its input ends it
    if (!probeServer->waitForFinished(10000)) probeServer->kill();
    delete probeServer;
    probeServer = nullptr;
}

// What the probe printed for the arguments, or nothing (and the test failed) when it failed.
std::optional<QByteArray> askProbe(const QStringList& arguments)
{
    if (!probeServer) {
        probeServer = new QProcess;
        probeServer->start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TAG_PROBE), QStringLiteral("serve")});
    }
    probeServer->write(QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact) + '\n');
    while (!probeServer->canReadLine())
        if (!probeServer->waitForReadyRead(60000)) break;
    const QJsonObject answer = QJsonDocument::fromJson(probeServer->readLine()).object();
    if (!answer.value("ok").toBool()) {
        ADD_FAILURE() << "mutagen: " << probeServer->readAllStandardError().toStdString();
        stopProbe();
        return std::nullopt;
    }
    return answer.value("out").toString().toUtf8();
}

}  // namespace

bool runProbe(const QStringList& arguments) { return askProbe(arguments).has_value(); }

QJsonObject probe(const std::string& path)
{
    const std::optional<QByteArray> out = askProbe({QStringLiteral("dump"), probeName(path)});
    return out ? QJsonDocument::fromJson(*out).object() : QJsonObject();
}

std::vector<ModalSeen> whileModal(const std::function<void()>& action, const std::function<void(ui::Form*)>& inModal)
{
    std::vector<ModalSeen> seen;
    std::vector<ui::Form*> handled;
    bool busy = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (busy) return;
        for (ui::Form* form : CreateForms()) {
            if (!form->Modal() || !form->isVisible()) continue;
            if (std::find(handled.begin(), handled.end(), form) != handled.end()) continue;
            busy = true;
            handled.push_back(form);
            seen.push_back({form, form->windowModality() == Qt::ApplicationModal});
            if (inModal) inModal(form);
            if (form->Modal()) form->Close();
            busy = false;
            return;
        }
    });
    watch.start(0);
    action();
    watch.stop();
    return seen;
}

void Collection::SetUp()
{
    static int serial = 0;
    folder_ = tempRoot + "/music" + std::to_string(++serial);
    fs::create_directories(folder_);
    ui::Dialogs::clearScript();
    if (!Form1->isVisible()) Form1->Show();
}

void Collection::TearDown()
{
    stopProbe();
    ui::Dialogs::clearScript();
    platform::setOpenDocumentHandler({});
}

std::string Collection::put(const std::string& name, const std::string& bytes) const
{
    const std::string path = folder_ + "/" + name;
    gen::WriteFile(path, bytes);
    return path;
}

std::string Collection::putTagged(const std::string& name, const gen::TagTexts& tags) const
{
    gen::Mp3Spec spec;
    spec.id3v2 = gen::Id3v2Spec{tags, {}, 0};
    spec.audio = gen::SilentFrames(4);
    return put(name, gen::Mp3Bytes(spec));
}

std::string Collection::putUntagged(const std::string& name) const
{
    gen::Mp3Spec spec;
    spec.audio = gen::SilentFrames(4);
    return put(name, gen::Mp3Bytes(spec));
}

std::string Collection::putTerminated(const std::string& name, const QString& artist, const QString& title,
                                      const QString& comment) const
{
    const std::string path = putUntagged(name);
    EXPECT_TRUE(runProbe({QStringLiteral("v24"), probeName(path), title, artist, comment}));
    return path;
}

std::string Collection::putByMutagen(const std::string& name, int version, const QJsonArray& frames,
                                     const QString& v1) const
{
    const std::string path = putUntagged(name);
    QStringList arguments{"write", probeName(path), QString::number(version),
                          QString::fromUtf8(QJsonDocument(frames).toJson(QJsonDocument::Compact))};
    if (!v1.isEmpty()) arguments << v1;
    EXPECT_TRUE(runProbe(arguments));
    return path;
}

std::string Collection::putWide(const std::string& name, int version, const QString& title, const QString& artist) const
{
    const int encoding = version == 3 ? 1 : 3;
    return putByMutagen(name, version,
                        QJsonArray{
                            QJsonArray{"TIT2", encoding, QJsonArray{title}},
                            QJsonArray{"TPE1", encoding, QJsonArray{artist}},
                            QJsonArray{"TALB", encoding, QJsonArray{QStringLiteral("l’été – live 𝄞")}},
                            QJsonArray{"TCON", encoding, QJsonArray{QStringLiteral("Cœur")}},
                            QJsonArray{"COMM", encoding, "fra", "", QStringLiteral("C’est la vie")},
                        });
}

void Collection::walk(const std::string& extraSettings) const
{
    {
        std::ofstream out(SettingsFilePath(), std::ios::binary | std::ios::trunc);
        out << "[Liste]\r\nDossier=" << folder_ << "\r\n" << extraSettings;
    }
    Form1->Rafraichir1Click();
}

Strings Collection::listPaths()
{
    Strings out;
    for (int r = 0; r < Form1->ListModel->rowCount(); ++r) out.push_back(Form1->ListModel->cell(r, 4));
    return out;
}

int Collection::listRowOf(const std::string& path)
{
    const Strings paths = listPaths();
    auto it = std::find(paths.begin(), paths.end(), path);
    return it == paths.end() ? -1 : int(it - paths.begin());
}

void Collection::select(const Strings& paths)
{
    QItemSelectionModel* selection = Form1->ListView1->selectionModel();
    selection->clearSelection();
    for (const std::string& path : paths) {
        const int row = listRowOf(path);
        ASSERT_GE(row, 0) << "no list row for " << path;
        selection->select(Form1->ListModel->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

}  // namespace cmdtest

int main(int argc, char** argv)
{
    using namespace cmdtest;
    // The player tests start their own players on a private bus.
    sonoverne::test::SessionBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "cannot start a private session bus (dbus-daemon)\n");
        return 1;
    }
    std::string pattern = (fs::temp_directory_path() / "sonoverne-commands-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 2;
    tempRoot = pattern;
    programFolder = tempRoot + "/prog";
    fs::create_directories(tempRoot + "/config");
    fs::create_directories(programFolder);
    setenv("XDG_CONFIG_HOME", (tempRoot + "/config").c_str(), 1);
    unsetenv("SONOVERNE_MPRIS_PLAYER");
    platform::setProgramFolder(programFolder);

    const int result = sonoverne::test::RunWithWindows(argc, argv, [](QApplication& app) {
        app.setQuitOnLastWindowClosed(false);
        Form1->Show();
        Form1->move(120, 90);
        QCoreApplication::processEvents();
    });
    std::error_code ec;
    fs::remove_all(tempRoot, ec);
    return result;
}
