// bench_walker <root>: one TScruteDossier walk of <root> (Filtre "*.mp3", counting OnFichier)
// next to `find <root> -name '*.mp3' | wc -l` on the same tree, in the same run. The walk is
// timed twice: bare, and with an application object whose pending events it processes at every
// entry, as it runs in the program. Run through bench/walker.sh, which makes the tree.
#include "Scrute.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

long Walk(const std::string& root, double& seconds)
{
    TScruteDossier walker;
    walker.Dossier = root;
    walker.Filtre = "*.mp3";
    walker.SousDossier = true;
    walker.MaxPenetration = 1000000;
    long found = 0;
    walker.OnFichier = [&found](TScruteDossier*, const std::string&) { ++found; };
    const auto start = Clock::now();
    walker.Execute();
    seconds = Seconds(start);
    return found;
}

long Find(const std::string& root, double& seconds)
{
    std::string quoted = "'";
    for (char c : root) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    const std::string command = "find " + quoted + " -name '*.mp3' | wc -l";
    const auto start = Clock::now();
    FILE* pipe = ::popen(command.c_str(), "r");
    long found = -1;
    if (pipe) {
        if (std::fscanf(pipe, "%ld", &found) != 1) found = -1;
        ::pclose(pipe);
    }
    seconds = Seconds(start);
    return found;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <root folder>\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    double warm = 0, bare = 0, withApp = 0, find = 0;
    Find(root, warm);  // fill the kernel's caches so that neither side pays for the disk
    const long bareCount = Walk(root, bare);
    long appCount = 0;
    {
        int appArgc = 1;
        QCoreApplication app(appArgc, argv);
        appCount = Walk(root, withApp);
    }
    const long findCount = Find(root, find);

    std::printf("walker (bare)            %8ld files  %8.3f s\n", bareCount, bare);
    std::printf("walker (with event loop) %8ld files  %8.3f s\n", appCount, withApp);
    std::printf("find | wc -l             %8ld files  %8.3f s\n", findCount, find);
    std::printf("ratio walker/find: %.2f (bare %.2f)\n", withApp / find, bare / find);
    if (bareCount != findCount || appCount != findCount) {
        std::fprintf(stderr, "the walker and find disagree on the number of files\n");
        return 1;
    }
    return 0;
}
