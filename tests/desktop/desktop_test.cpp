// The program's windows on a real X server with a window manager, as a user sees them: every
// closing box of a run is on the screen as the box draws itself, and Qt's own dialogs speak
// French. The offscreen platform paints any window whenever asked, so only here would a box
// left unpainted, or a dialog in English, show.
#include "AppTestMain.h"
#include "DesktopSession.h"
#include "Dialogs.h"
#include "FileSystem.h"
#include "Guard.h"
#include "Program.h"
#include "Unit1.h"
#include "Unit10.h"
#include "Unit13.h"
#include "Unit14.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"
#include "mp3gen.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace fs = std::filesystem;
namespace gen = sonoverne::mp3gen;

namespace {

std::string tempRoot;

// A folder of tagged files, each with a title of its own.
std::vector<std::string> files(const std::string& name, int count)
{
    const std::string folder = tempRoot + "/" + name;
    fs::create_directories(folder);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        gen::Mp3Spec spec;
        gen::TagTexts texts;
        texts.artist = "Artiste";
        texts.title = "Titre " + std::to_string(i);
        spec.id3v2 = gen::Id3v2Spec{texts, {}, 0};
        spec.audio = gen::SilentFrames(4);
        paths.push_back(folder + "/" + std::to_string(i) + ".mp3");
        gen::WriteFile(paths.back(), gen::Mp3Bytes(spec));
    }
    return paths;
}

// The share of a box's pixels that the screen shows as the box draws itself.
double shownAsDrawn(QMessageBox* box)
{
    const QRect g = box->geometry();
    const QImage screen = box->screen()
                              ->grabWindow(0, g.x(), g.y(), g.width(), g.height())
                              .toImage()
                              .convertToFormat(QImage::Format_RGB32);
    const QImage own = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (screen.size() != own.size()) return 0;
    long same = 0;
    for (int y = 0; y < own.height(); ++y)
        for (int x = 0; x < own.width(); ++x) {
            const QRgb a = screen.pixel(x, y), b = own.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) < 24)
                ++same;
        }
    return double(same) / double(own.width() * own.height());
}

struct Box {
    QString text;
    double shown = 0;
};

// Runs action; each message box it shows is read off the screen and dismissed, and each file dialog is answered with
// `fileName`, `accepting` called just before.
std::vector<Box> boxesDuring(const std::function<void()>& action, const QString& fileName = QString(),
                             const std::function<void()>& accepting = {})
{
    std::vector<Box> boxes;
    QWidget* current = nullptr;
    QElapsedTimer up;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != current) {
            current = modal;
            up.start();
        }
        // Time for a file dialog to read its folder; a box is read off the screen until it shows
        // as drawn, for 10 s at most: a loaded machine may take a while to paint it.
        if (!modal || up.elapsed() < 500) return;
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            // In its folder first: a name typed while the dialog reads another folder is lost.
            const QFileInfo wanted(fileName);
            if (dialog->directory() != wanted.dir()) {
                dialog->setDirectory(wanted.dir());
            } else {
                // The name typed in, as a user does.
                if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    name->setText(wanted.fileName());
                if (accepting) accepting();
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            }
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            const double shown = shownAsDrawn(box);
            if (shown < 0.95 && up.elapsed() < 10000) return;
            boxes.push_back({box->text(), shown});
            box->done(0);
        } else {
            return;
        }
        current = nullptr;
    });
    watch.start(50);
    action();
    watch.stop();
    return boxes;
}

// Shows a tool window modally, as its menu command does, clicks `button` once it is on the
// screen, and closes the window when the run left it open.
void runModal(ui::Form* form, QAbstractButton* button)
{
    QTimer::singleShot(0, [form, button] {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form));
        QTest::mouseClick(button, Qt::LeftButton);
        if (form->isVisible()) form->Close();
    });
    form->ShowModal();
}

TEST(Desktop, EveryClosingBoxIsOnTheScreenAsItDrawsItself)
{
    const struct {
        const char* name;
        std::function<void()> run;
        const char* text;
    } cases[] = {
        {"multi-file editor",
         [] {
             for (const auto& p : files("modifier", 12)) Form6->ListBox1->Add(p);
             runModal(Form6, Form6->Button5);
         },
         "Modification terminée"},
        {"validation",
         [] {
             for (const auto& p : files("valider", 12)) Form14->ListBox1->Add(p);
             runModal(Form14, Form14->Button7);
         },
         "Validation des tags Terminée"},
        {"formatting",
         [] {
             for (const auto& p : files("formater", 12)) Form13->ListBox1->Add(p);
             runModal(Form13, Form13->Button7);
         },
         "Formatage Terminé"},
        {"renaming",
         [] {
             for (const auto& p : files("renommer", 12)) Form8->ListBox1->Add(p);
             Form8->ComboBox1->setCurrentIndex(2);  // the title, one name for each
             runModal(Form8, Form8->Button6);
         },
         "Renommage terminé"},
        {"import",
         [] {
             files("importer", 12);
             Form7->DirectoryListBox1->setDirectory(tempRoot + "/importer");
             runModal(Form7, Form7->Button2);
         },
         "Importation Terminée"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Box> boxes = boxesDuring(c.run);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].text.startsWith(QString::fromUtf8(c.text))) << boxes[0].text.toStdString();
        EXPECT_GE(boxes[0].shown, 0.95);
    }

    // The text list's failure box comes after the save dialog, from the error guard: no file may
    // grow once the name is chosen (as when a quota is reached), which stops root too.
    SCOPED_TRACE("text list");
    Form10->Show();
    Form10->setMemoText("Artiste - Titre\r\n");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form10));
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    const std::vector<Box> boxes = boxesDuring([] { QTest::mouseClick(Form10->Button1, Qt::LeftButton); },
                                               QString::fromStdString(tempRoot + "/list.txt"),
                                               [&] {
                                                   rlimit none = before;
                                                   none.rlim_cur = 0;
                                                   setrlimit(RLIMIT_FSIZE, &none);
                                               });
    setrlimit(RLIMIT_FSIZE, &before);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Impossible d'écrire"))) << boxes[0].text.toStdString();
    EXPECT_GE(boxes[0].shown, 0.95);

    // An error raised while no window is active (as right after a dialog closes) still stands
    // over the window in use, not behind it.
    SCOPED_TRACE("no window active");
    const std::vector<Box> error = boxesDuring([] {
        QApplication::setActiveWindow(nullptr);
        ui::ShowException("Erreur");
    });
    Form10->Hide();
    ASSERT_EQ(error.size(), 1u);
    EXPECT_EQ(error[0].text, QStringLiteral("Erreur."));
    EXPECT_GE(error[0].shown, 0.95);
}

TEST(Desktop, QtsOwnDialogsSpeakFrench)
{
    QStringList buttons, labels;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        for (auto* b : dialog->findChildren<QPushButton*>())
            if (b->isVisible()) buttons << b->text();
        for (auto* l : dialog->findChildren<QLabel*>())
            if (l->isVisible()) labels << l->text();
        dialog->reject();
    });
    // The playlist's save dialog, as the main window asks for it.
    EXPECT_EQ(ui::Dialogs::SaveFileName(Form1, QStringLiteral("m3u"), QStringLiteral("Playlist (*.m3u)|*.m3u")),
              QString());
    EXPECT_TRUE(buttons.contains(QStringLiteral("&Enregistrer"))) << buttons.join('|').toStdString();
    EXPECT_TRUE(buttons.contains(QStringLiteral("Annuler"))) << buttons.join('|').toStdString();
    EXPECT_TRUE(labels.contains(QStringLiteral("Voir dans :"))) << labels.join('|').toStdString();
    EXPECT_TRUE(labels.contains(QStringLiteral("&Nom de fichier :"))) << labels.join('|').toStdString();
}

}  // namespace

int main(int argc, char** argv)
{
    sonoverne::test::DesktopSession desktop;
    if (!desktop.start()) return 1;
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    std::string pattern = (fs::temp_directory_path() / "sonoverne-desktop-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 2;
    tempRoot = pattern;
    fs::create_directories(tempRoot + "/config");
    setenv("XDG_CONFIG_HOME", (tempRoot + "/config").c_str(), 1);
    platform::setProgramFolder(tempRoot);
    const int result = sonoverne::test::RunWithWindows(argc, argv, [](QApplication& app) {
        app.setQuitOnLastWindowClosed(false);
        Form1->Show();
        (void)QTest::qWaitForWindowExposed(Form1);
    });
    std::error_code ec;
    fs::remove_all(tempRoot, ec);
    return result;
}
