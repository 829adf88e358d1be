// The windows' side of the platform layer: file names for display, and the program's folder
// where the system does not tell it.
#include "Display.h"
#include "FileSystem.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(Paths, DisplayNamesOfUtf8Paths)
{
    const std::string p = "/m/\xC3\xA9t\xC3\xA9 \xE2\x99\xAA.mp3";
    EXPECT_EQ(platform::toDisplay(p), QString::fromUtf8("/m/été ♪.mp3"));
    EXPECT_EQ(platform::fromDisplay(platform::toDisplay(p)), p);
    // On one line of a message, every control character shows as one mark; other text is kept.
    EXPECT_EQ(platform::toDisplayLine("a\r\nb\tc\x1b\x7f\xC2\x85 \xC3\xA9"), QString::fromUtf8("a⏎⏎b⏎c⏎⏎⏎ é"));
}

// Without /proc the application object finds the program from its first argument; without one,
// the program's folder is the root.
TEST(Paths, WithoutProcTheApplicationGivesTheProgramFolder)
{
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    exe[n] = '\0';
    const std::string own = platform::folderPart(exe);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A mount namespace of its own, with an empty /proc.
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("none", "/proc", "tmpfs", 0, nullptr) != 0)
            _exit(77);
        platform::setProgramFolder("");
        const bool root = platform::programFolder() == "/";
        platform::setProgramFolder("");
        int argc = 1;
        char* argv[] = {exe, nullptr};
        QCoreApplication app(argc, argv);
        const bool fromApplication = platform::programFolder() == own;
        _exit((root ? 0 : 1) | (fromApplication ? 0 : 2));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not the root without the application, 2: not its folder with it";
}

}  // namespace
