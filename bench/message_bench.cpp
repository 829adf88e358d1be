// The message dialog with large descriptions: how long VyxMessageDlg takes until its dialog is
// shown (its modal loop running); and the wait window with a long text: how long
// ShowWaitMessage holds the caller. Only the library's exports are used, so the same source
// measures any build of it. Each line ends with the process's peak resident memory so far.
// Usage: QT_QPA_PLATFORM=offscreen bench_message [rounds] [case...]
// A case is <kind>-<size>: kinds text (lines), words (no line break), bold (bold markup and
// <br>), links (links between words), linkrun (links with nothing between them), blob (one
// word), wait (the wait window with words); sizes 100k, 300k, 1m. Default: text-100k text-1m
// links-100k links-1m bold-1m linkrun-1m blob-1m. A case that passes 120 s is not run again.
#include "VyxPravomel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Make(const std::string& kind, std::size_t size)
{
    std::string text;
    text.reserve(size + 64);
    for (int n = 0; text.size() < size; ++n) {
        if (kind == "text") text += "Le fichier numéro " + std::to_string(n) + " n'a pas pu être lu.\r\n";
        else if (kind == "words" || kind == "wait") text += "fichier" + std::to_string(n) + " illisible ";
        else if (kind == "links") text += "Voir <link>http://127.0.0.1/page" + std::to_string(n) + "</link> ";
        else if (kind == "blob") text += "0123456789abcdef";
        else if (kind == "linkrun") text += "<link>page" + std::to_string(n) + "</link>";
        else text += "<b>Erreur</b> " + std::to_string(n) + " <b>grave</b><br>";
    }
    return text;
}

// Milliseconds from the call until the dialog's modal loop runs; the dialog is then closed.
double ShowOnce(const std::string& description)
{
    TVyxMsgInfoIn in;
    VyxInitVyxMsgInfoIn(&in);
    in.Title = "Rapport";
    in.Description = description.c_str();
    QElapsedTimer clock;
    double shown = -1;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) return;
        QCoreApplication::processEvents();  // the first paint
        shown = double(clock.nsecsElapsed()) / 1e6;
        if (auto* b = dialog->findChild<QAbstractButton*>(QStringLiteral("Continue"))) b->click();
    });
    TVyxMsgInfoOut out{};
    clock.start();
    VyxMessageDlg(&out, 0, in);
    return shown;
}

// Milliseconds that ShowWaitMessage takes (it paints the window before it returns).
double WaitOnce(const std::string& text)
{
    QElapsedTimer clock;
    clock.start();
    ShowWaitMessage(0, text.c_str());
    const double shown = double(clock.nsecsElapsed()) / 1e6;
    CloseWaitMessage();
    return shown;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<std::string> cases;
    for (int i = 2; i < argc; ++i) cases.emplace_back(argv[i]);
    if (cases.empty()) cases = {"text-100k", "text-1m", "links-100k", "links-1m", "bold-1m", "linkrun-1m", "blob-1m"};
    for (const std::string& c : cases) {
        const std::size_t dash = c.find('-');
        const std::string kind = c.substr(0, dash);
        const std::string scale = c.substr(dash + 1);
        const std::size_t size = scale == "1m" ? 1000000 : scale == "300k" ? 300000 : 100000;
        const std::string description = Make(kind, size);
        std::vector<double> times;
        for (int r = 0; r < rounds; ++r) {
            times.push_back(kind == "wait" ? WaitOnce(description) : ShowOnce(description));
            if (times.back() > 120000) break;
        }
        std::sort(times.begin(), times.end());
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%-11s %8zu bytes  median %9.1f ms  min %9.1f  max %9.1f  (%zu rounds)  peak %ld MB\n", c.c_str(),
                    description.size(), times[times.size() / 2], times.front(), times.back(), times.size(),
                    usage.ru_maxrss / 1024);
        std::fflush(stdout);
    }
    return 0;
}
