// Sonoverne: the program's entry. It takes no arguments of its own.
#include "Program.h"
#include "Unit1.h"
#include "wnaspi32.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    wnaspi32::Load();  // when present; nothing calls it
    CreateForms();

    // Without a display, the run script asks for a picture of the main window once the music
    // folder has been walked, then for the program to end.
    if (const char* shot = std::getenv("SONOVERNE_SCREENSHOT"); shot && *shot) {
        const QString path = QString::fromLocal8Bit(shot);
        Form1->AfterWalk = [path] {
            QTimer::singleShot(300, [path] {
                if (!Form1->grab().save(path)) std::fprintf(stderr, "Sonoverne: cannot save %s\n", qPrintable(path));
                QApplication::quit();
            });
        };
        QTimer::singleShot(300000, [] { QApplication::exit(1); });
    }

    Form1->Show();
    int result = app.exec();
    DestroyForms();
    wnaspi32::Unload();
    return result;
}
