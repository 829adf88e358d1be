// The conversion windows (WAV to MP3, normalisation, MP3 to WAV) and the launchers mp3norm and
// dec: the parameter strings, runs recorded by stand-in launchers, real runs over generated files
// checked byte for byte and by mp3gain's and lame's own readings, and what a run reports when it
// fails.
#include "AppTestMain.h"
#include "Dialogs.h"
#include "Display.h"
#include "FifoWatchdog.h"
#include "FileSystem.h"
#include "Input.h"
#include "Shell.h"
#include "TempTree.h"
#include "Unit1.h"
#include "Unit12.h"
#include "Unit15.h"
#include "Unit16.h"
#include "Unit21.h"
#include "mp3gen.h"
#include "variable.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QProcess>
#include <QTimer>

#include <sys/mount.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <tuple>

namespace gen = sonoverne::mp3gen;
using Strings = std::vector<std::string>;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const std::string Launchers = SONOVERNE_PROGRAM_DIR;

// Names no shell or option parser may split or take for something else.
// Names as long as a folder entry may be (255 bytes), as the CD extraction makes them.
const std::string LongName = std::string(251, 'n') + ".mp3", OtherLongName = std::string(251, 'o') + ".mp3";

const Strings HostileNames = {"q\"uote\" with  blanks.mp3", "-dash.mp3", "back\\slash\\\\.mp3", "\xe9t\xe9 latin-1.mp3",
                              "tab\there\\\"x.mp3"};

std::string bytesOf(const QString& text) { return text.toStdString(); }

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// The length of the ID3v2 tag at the front of a file.
std::size_t id3v2Length(const std::string& bytes)
{
    auto b = [&](int i) { return std::size_t(static_cast<unsigned char>(bytes[std::size_t(i)])); };
    return bytes.compare(0, 3, "ID3") ? 0 : 10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9));
}

// What the stand-in launcher recorded: one argument vector a run.
std::vector<Strings> records(const std::string& log)
{
    const std::string bytes = TempTree::read(log);
    std::vector<Strings> runs;
    std::size_t at = 0;
    auto next = [&] {
        const std::size_t end = bytes.find('\0', at);
        std::string field = bytes.substr(at, end - at);
        at = end + 1;
        return field;
    };
    while (at < bytes.size()) {
        const int count = std::atoi(next().c_str());
        Strings args;
        for (int i = 0; i < count; ++i) args.push_back(next());
        runs.push_back(args);
    }
    return runs;
}

// The files mp3norm says it did not normalise; each has its reason.
Strings namesIn(const std::string& output)
{
    Strings names;
    for (std::size_t at = 0, end, next; (end = output.find('\0', at)) != std::string::npos; at = next + 1) {
        next = output.find('\0', end + 1);
        names.push_back(output.substr(at, end - at));
        EXPECT_GT(next, end + 1) << "no reason for " << names.back();
        if (next == std::string::npos) break;
    }
    return names;
}

// A stand-in launcher that takes its time, then records its arguments, and exits.
void writeRecorder(const std::string& path, const std::string& log)
{
    platform::writeFile(path, "#!/bin/sh\nsleep 0.2\nprintf '%s\\0' \"$#\" \"$@\" >> '" + log + "'\n");
    ::chmod(path.c_str(), 0755);
}

// A 16-bit stereo WAV of `frames` frames of a tone.
std::string toneWav(int frames, double hz = 440, uint32_t rate = 44100, uint16_t channels = 2)
{
    auto le = [](uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += char(v >> (8 * i) & 0xff);
        return s;
    };
    std::string pcm;
    for (int i = 0; i < frames; ++i) {
        const auto v = uint16_t(int16_t(12000 * std::sin(2 * M_PI * hz * i / double(rate))));
        for (int c = 0; c < channels; ++c) pcm += le(v, 2);
    }
    return "RIFF" + le(uint32_t(36 + pcm.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(channels, 2) +
           le(rate, 4) + le(rate * 2 * channels, 4) + le(2 * channels, 2) + le(16, 2) + "data" +
           le(uint32_t(pcm.size()), 4) + pcm;
}

// mp3gain's own reading of an MP3 (nothing written): the gain steps it suggests, and the highest
// global gain of the frames. The album line when asked.
struct GainReading {
    int suggested = 0;
    int maxGlobalGain = 0;
};
std::vector<GainReading> readGain(const Strings& files)
{
    QProcess mp3gain;
    QStringList args{"-o", "-s", "s"};
    for (const std::string& f : files) args << platform::toDisplay(f);
    mp3gain.start(QStringLiteral("mp3gain"), args);
    mp3gain.waitForFinished(-1);
    std::vector<GainReading> out;
    const QList<QByteArray> lines = mp3gain.readAllStandardOutput().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split('\t');
        if (f.size() >= 6) out.push_back({f[1].toInt(), f[4].toInt()});
    }
    return out;
}

struct ModalState {
    bool waitBox, main, tool;
};

class Convert : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::Dialogs::clearScript();
        Form1->Show();
        music_ = tree_.dir("music");
        program_ = tree_.dir("prog");
        platform::setProgramFolder(program_);
    }
    void TearDown() override { platform::setProgramFolder(Launchers); }

    // The windows as they start, between the cases of a table.
    static void resetWindows()
    {
        ui::Dialogs::clearScript();
        Form15->TrackBar1->setValue(5);
        Form15->RadioButton2->setChecked(true);
        Form15->ListBox1->Clear();
        Form21->ListBox1->Clear();
        Form12->Hide();
        for (QComboBox* box : {Form12->ComboBox1, Form12->ComboBox3, Form12->ComboBox4, Form12->ComboBox5})
            box->setCurrentIndex(0);
        Form12->ComboBox2->setCurrentText("128");
        Form12->TrackBar1->setValue(4);
        for (QCheckBox* box : {Form12->CheckBox3, Form12->CheckBox4, Form12->CheckBox5, Form12->CheckBox6,
                               Form12->CheckBox7, Form12->CheckBox8})
            box->setChecked(false);
    }

    std::string mp3(const std::string& name, double hz, bool tagged = true) const
    {
        gen::Mp3Spec spec;
        if (tagged) {
            gen::TagTexts texts;
            texts.title = std::string("Titre\0", 6);  // as some taggers write it, with its 0
            texts.artist = "Artiste";
            spec.id3v2 = gen::Id3v2Spec{texts, {{"PRIV", std::string("\xff\xfb\x90\x64 sync-like", 15)}}, 64};
            gen::Id3v1Spec v1;
            v1.title = "Titre";
            v1.track = 3;
            spec.id3v1 = v1;
        }
        spec.audio = gen::ToneFrames({{hz, 1.0}});
        const std::string path = music_ + "/" + name;
        gen::WriteMp3(path, spec);
        return path;
    }

    // Clicks the run button; every state the windows showed while the tool ran.
    static std::vector<ModalState> click(ui::Form* tool, QPushButton* button)
    {
        std::vector<ModalState> seen;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            seen.push_back({Form16->isVisible(), Form1->isVisible(), tool->isVisible()});
        });
        watch.start(5);
        button->click();
        return seen;
    }

    TempTree tree_;
    std::string music_, program_;
};

TEST(ConvertParameters, AreThoseOfTheLaunchersCommandLines)
{
    struct Case {
        std::string made, expected;
    } cases[] = {
        {TForm15::FileParameters(5, "/a/b.mp3"), "/r /c /m5 \"/a/b.mp3\""},
        {TForm15::FileParameters(0, "/a/b.mp3"), "/r /c /m0 \"/a/b.mp3\""},
        {TForm15::FileParameters(10, "/a/b.mp3"), "/r /c /m10 \"/a/b.mp3\""},
        {TForm15::AlbumParameters(5, {"/x/1.mp3", "/x/2 b.mp3", "/x/3.mp3"}),
         "/a /c /m5 \"/x/1.mp3\" \"/x/2 b.mp3\" \"/x/3.mp3\""},
        {TForm21::DecodeParameters("/a/b.mp3"), "--decode \"/a/b.mp3\" \"/a/b.wav"},
        {TForm21::OutputName("/a/Song.MP3"), "/a/Song.wav"},
        {TForm21::OutputName("ab"), "wav"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.made, c.expected);
}

TEST(ConvertParameters, QuotedNamesComeBackWholeFromTheSplit)
{
    Strings texts = HostileNames;
    texts.insert(texts.end(), {"", "ends in one\\", "ends in two\\\\", "\"", "\\\"", " lead and trail "});
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(platform::splitParameters(platform::quotedParameter(text)), Strings{text});
        EXPECT_EQ(platform::splitParameters("a " + platform::quotedParameter(text) + " b"), (Strings{"a", text, "b"}));
        EXPECT_EQ(platform::splitParameters("a " + platform::quotedParameter(text, false)), (Strings{"a", text}));
    }
}

TEST(ConvertParameters, RunAndWaitPassesBytesAndTellsHowTheProgramEnded)
{
    std::string hostile;
    std::string parameters = platform::quotedParameter("%s\\0");
    for (const std::string& name : HostileNames) {
        parameters += " " + platform::quotedParameter(name);
        hostile += name + '\0';
    }
    // A program folder whose name is not UTF-8 either.
    TempTree tree;
    const std::string printf = tree.dir("\xe9") + "/printf";
    ASSERT_EQ(::symlink("/usr/bin/printf", printf.c_str()), 0);
    struct Case {
        std::string program, parameters;
        bool started;
        int exitCode;
        std::string output;
    } cases[] = {
        {printf, parameters, true, 0, hostile},
        {"/bin/sh", "-c \"echo out; exit 3\"", true, 3, "out\n"},
        {"/bin/sh", "-c \"kill -9 $$\"", true, -1, ""},
        {"/nowhere/mp3norm", "/r", false, -1, ""},
        {"/tmp", "", false, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.parameters);
        const platform::ProgramRun run = platform::runAndWait(c.program, c.parameters);
        EXPECT_EQ(run.started, c.started);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.output, c.output);
    }
}

TEST(ConvertLaunchers, RefuseWrongArgumentsAndTakeDashedNamesWhole)
{
    TempTree tree;
    const std::string folder = tree.dir("w");
    gen::Mp3Spec spec;
    spec.audio = gen::ToneFrames({{440, 0.5}});
    gen::WriteMp3(folder + "/-dash.mp3", spec);
    const std::string before = TempTree::read(folder + "/-dash.mp3");
    struct Case {
        std::string program, parameters;
        int exitCode;
    } cases[] = {
        {"mp3norm", "/r /c", 2},
        {"mp3norm", "/a /m11 \"-dash.mp3\"", 2},
        {"dec", "--decode \"-dash.mp3\"", 2},
        {"dec", "--encode \"-dash.mp3\" \"-dash.wav\"", 2},
        {"mp3norm", "/r /c /m10 \"-dash.mp3\"", 0},
        {"dec", "--decode \"-dash.mp3\" \"-dash.wav", 0},
        {"dec", "--decode \"-dash.mp3\" \"-dash.wav", 1},  // never replaces
    };
    char* here = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(folder.c_str()), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.parameters);
        EXPECT_EQ(platform::runAndWait(Launchers + "/" + c.program, c.parameters).exitCode, c.exitCode);
    }
    EXPECT_EQ(::chdir(here), 0);
    std::free(here);
    const std::string after = TempTree::read(folder + "/-dash.mp3");
    EXPECT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    EXPECT_EQ(TempTree::read(folder + "/-dash.wav").substr(0, 4), "RIFF");
}

TEST(ConvertLaunchers, TagsAMisbehavingGainToolWroteIntoAreWrittenBack)
{
    TempTree tree;
    gen::Mp3Spec spec;
    gen::TagTexts texts;
    texts.title = "Titre";
    spec.id3v2 = gen::Id3v2Spec{texts, {}, 16};
    spec.id3v1 = gen::Id3v1Spec{};
    spec.audio = gen::ToneFrames({{440, 0.3}});
    const std::string file = tree.path("a.mp3");
    gen::WriteMp3(file, spec);
    const std::string before = TempTree::read(file);
    // A tool that reports the file read and scribbles over its first and last bytes.
    const std::string bin = tree.dir("bin");
    platform::writeFile(bin + "/mp3gain",
                        "#!/bin/sh\nfor f; do :; done\n"
                        "printf 'XXXX' | dd of=\"$f\" conv=notrunc status=none\n"
                        "printf 'YYYY' | dd of=\"$f\" bs=1 seek=$(( $(wc -c < \"$f\") - 4 )) conv=notrunc status=none\n"
                        "printf 'File\\tMP3 gain\\n%s\\t1\\n' \"$f\"\n");
    ::chmod((bin + "/mp3gain").c_str(), 0755);
    const std::string path = std::getenv("PATH");
    setenv("PATH", (bin + ":" + path).c_str(), 1);
    const platform::ProgramRun run = platform::runAndWait(Launchers + "/mp3norm", "/r \"" + file + "\"");
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(TempTree::read(file) == before);
}

// An album whose second file changes while the gain tool works: the first, already in place,
// gets its old file back, and both are named; also where the file system cannot swap two names.
TEST(ConvertLaunchers, AnAlbumIsChangedWholeOrNotAtAll)
{
    struct Case {
        const char* what;
        bool swaps;
        bool secondChanges;
    } cases[] = {
        {"the second file changes", true, true},
        {"the second file changes, no swap", false, true},
        {"a whole album, no swap", false, false},
    };
    // A tool that reports every file read, changes a byte of each copy and may touch the second file.
    TempTree tree;
    const std::string bin = tree.dir("bin");
    platform::writeFile(bin + "/mp3gain", "#!/bin/sh\nprintf 'File\\tMP3 gain\\n'\nfor f; do case \"$f\" in *.mp3)\n"
                                          "printf Z | dd of=\"$f\" bs=1 seek=100 conv=notrunc status=none\n"
                                          "printf '%s\\t1\\n' \"$f\";; esac; done\n"
                                          "sleep 0.01; [ -z \"$TOUCH\" ] || touch \"$TOUCH\"\n");
    ::chmod((bin + "/mp3gain").c_str(), 0755);
    const std::string path = std::getenv("PATH");
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string asan = sanitizer ? sanitizer : "";
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = tree.dir(std::to_string(index++));
        gen::Mp3Spec spec;
        spec.audio = gen::ToneFrames({{440, 0.3}});
        const std::string first = dir + "/a.mp3", second = dir + "/b.mp3";
        gen::WriteMp3(first, spec);
        gen::WriteMp3(second, spec);
        const std::string before = TempTree::read(first);
        std::string changed = before;
        changed[100] = 'Z';

        setenv("PATH", (bin + ":" + path).c_str(), 1);
        setenv("TOUCH", c.secondChanges ? second.c_str() : "", 1);
        if (!c.swaps) {
            setenv("LD_PRELOAD", NO_SWAP_LIBRARY, 1);
            // The sanitizers' runtime wants to come first; here it comes second.
            setenv("ASAN_OPTIONS", (asan + ":verify_asan_link_order=0").c_str(), 1);
        }
        const platform::ProgramRun run =
            platform::runAndWait(Launchers + "/mp3norm", "/a \"" + first + "\" \"" + second + "\"");
        setenv("PATH", path.c_str(), 1);
        unsetenv("TOUCH");
        unsetenv("LD_PRELOAD");
        sanitizer ? setenv("ASAN_OPTIONS", asan.c_str(), 1) : unsetenv("ASAN_OPTIONS");

        EXPECT_EQ(run.exitCode, c.secondChanges ? 1 : 0);
        EXPECT_EQ(namesIn(run.output), c.secondChanges ? (Strings{first, second}) : Strings{});
        EXPECT_TRUE(TempTree::read(first) == (c.secondChanges ? before : changed));
        EXPECT_TRUE(TempTree::read(second) == (c.secondChanges ? before : changed));
        const platform::FolderSnapshot listing(dir);
        EXPECT_EQ(listing.entries().size(), 2u);
        for (const platform::DirEntry& e : listing.entries()) EXPECT_NE(e.name[0], '.') << e.name;
    }
}

// A launcher ended by a signal while its tool works removes its work files and its private
// folder. One killed outright cannot: the next run of a launcher removes them, and never a
// user's file or folder that only looks like one of them.
TEST(ConvertLaunchers, AStoppedLauncherLeavesNothingBehind)
{
    TempTree tree;
    const std::string music = tree.dir("music"), tmp = tree.dir("tmp"), bin = tree.dir("bin");
    gen::Mp3Spec spec;
    spec.audio = gen::ToneFrames({{440, 0.3}});
    const std::string file = music + "/" + LongName;
    gen::WriteMp3(file, spec);
    const std::string before = TempTree::read(file);
    tree.file("music/.mp3norm-abcdef", "mine");
    tree.file("tmp/dec-abcdef/made", "mine");
    struct Case {
        const char* what;
        std::string launcher, tool, signal;
    } cases[] = {
        {"normaliser stopped", "mp3norm", "mp3gain", "TERM"},
        {"decoder stopped", "dec", "lame", "INT"},
        {"normaliser killed", "mp3norm", "mp3gain", "KILL"},
        {"decoder killed", "dec", "lame", "KILL"},
    };
    const std::string path = std::getenv("PATH");
    const auto entries = [](const std::string& folder) { return platform::FolderSnapshot(folder).entries().size(); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A tool whose launcher gets the signal once its work files are there.
        platform::writeFile(bin + "/" + c.tool, "#!/bin/sh\nkill -" + c.signal + " $PPID\nexec sleep 1\n");
        ::chmod((bin + "/" + c.tool).c_str(), 0755);
        const std::string parameters =
            c.launcher == "mp3norm" ? "/r \"" + file + "\"" : "--decode \"" + file + "\" \"" + music + "/a.wav";
        setenv("PATH", (bin + ":" + path).c_str(), 1);
        setenv("TMPDIR", tmp.c_str(), 1);
        EXPECT_EQ(platform::runAndWait(Launchers + "/" + c.launcher, parameters).exitCode, -1);
        setenv("PATH", path.c_str(), 1);
        const bool killed = c.signal == "KILL";
        EXPECT_EQ(entries(music), killed ? 3u : 2u);
        EXPECT_EQ(entries(tmp), killed ? 2u : 1u);
        if (killed) { EXPECT_EQ(platform::runAndWait(Launchers + "/mp3norm", "/r \"" + file + "\"").exitCode, 0); }
        unsetenv("TMPDIR");
        EXPECT_EQ(entries(music), 2u);
        EXPECT_EQ(entries(tmp), 1u);
        EXPECT_TRUE(killed || TempTree::read(file) == before);
    }
    EXPECT_EQ(TempTree::read(music + "/.mp3norm-abcdef"), "mine");
    EXPECT_EQ(TempTree::read(tmp + "/dec-abcdef/made"), "mine");
}

TEST(ConvertLaunchers, TheNormalisedCopyTakesOnlyTheNamedFilesPlaceAndMode)
{
    TempTree tree;
    // A tool that runs $ALSO, then changes one audio byte of each MP3 it is given and reports it.
    const std::string bin = tree.dir("bin");
    platform::writeFile(bin + "/mp3gain",
                        "#!/bin/sh\nsh -c \"$ALSO\"\nprintf 'File\\tMP3 gain\\n'\nfor f; do case $f in *.mp3)\n"
                        "printf 'Z' | dd of=\"$f\" bs=1 seek=300 conv=notrunc status=none\n"
                        "printf '%s\\t1\\n' \"$f\";; esac; done\n");
    ::chmod((bin + "/mp3gain").c_str(), 0755);
    enum Name { Plain, ThroughALink, WithAHardLink, OthersOwn };
    struct Case {
        const char* what;
        mode_t mode;
        Name name;
        std::string also;  // done to the file ($F) by someone else while the tool runs
        bool normalised;
    } cases[] = {
        {"mode 0640", 0640, Plain, "", true},
        {"mode 0604, named through a link", 0604, ThroughALink, "", true},
        {"with a second name", 0644, WithAHardLink, "", false},
        {"set-id, of another owner (as root only)", 06755, OthersOwn, "", true},
        {"written to meanwhile, same size", 0644, Plain,
         "printf x | dd of=\"$F\" bs=1 seek=100 conv=notrunc status=none", false},
        {"replaced by a link meanwhile", 0644, Plain, "mv \"$F\" \"$F.old\" && ln -s \"$F.other\" \"$F\"", false},
    };
    const std::string path = std::getenv("PATH");
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.name == OthersOwn && ::geteuid() != 0) continue;
        const std::string dir = tree.dir(std::to_string(index++));
        const std::string file = dir + "/a.mp3", other = file + ".other";
        gen::Mp3Spec spec;
        spec.audio = gen::ToneFrames({{440, 0.3}});
        gen::WriteMp3(file, spec);
        platform::writeFile(other, "not to be touched");
        if (c.name == OthersOwn) { ASSERT_EQ(::chown(file.c_str(), 4321, 4322), 0); }
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        const timespec old[2] = {{946684800, 0}, {946684800, 0}};  // so that any write shows
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), old, 0), 0);
        std::string name = file;
        if (c.name == ThroughALink) { ASSERT_EQ(::symlink(file.c_str(), (name = dir + "/link.mp3").c_str()), 0); }
        if (c.name == WithAHardLink) { ASSERT_EQ(::link(file.c_str(), (dir + "/b.mp3").c_str()), 0); }
        const std::string before = TempTree::read(file);
        std::string changed = before;
        changed[300] = 'Z';
        ASSERT_NE(changed, before);

        setenv("PATH", (bin + ":" + path).c_str(), 1);
        setenv("ALSO", c.also.c_str(), 1);
        setenv("F", file.c_str(), 1);
        const platform::ProgramRun run = platform::runAndWait(Launchers + "/mp3norm", "/r \"" + name + "\"");
        setenv("PATH", path.c_str(), 1);
        unsetenv("ALSO");
        unsetenv("F");

        EXPECT_EQ(run.exitCode, c.normalised ? 0 : 1);
        EXPECT_EQ(namesIn(run.output), c.normalised ? Strings{} : Strings{name});
        EXPECT_TRUE(TempTree::read(other) == "not to be touched");
        struct stat st;
        ASSERT_EQ(::lstat(file.c_str(), &st), 0);
        if (c.also.empty()) {
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(st.st_mode & 07777, c.mode);
            EXPECT_EQ(st.st_uid, c.name == OthersOwn ? 4321u : ::geteuid());
            EXPECT_EQ(st.st_gid, c.name == OthersOwn ? 4322u : ::getegid());
            EXPECT_TRUE(TempTree::read(file) == (c.normalised ? changed : before));
        } else if (c.name == Plain && S_ISREG(st.st_mode)) {
            std::string written = before;
            written[100] = 'x';
            EXPECT_TRUE(TempTree::read(file) == written);
        } else {
            EXPECT_TRUE(S_ISLNK(st.st_mode));
            EXPECT_TRUE(TempTree::read(file + ".old") == before);
        }
        if (c.name == ThroughALink) { EXPECT_TRUE(::lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode)); }
        if (c.name == WithAHardLink) { EXPECT_TRUE(TempTree::read(dir + "/b.mp3") == before); }
        const platform::FolderSnapshot listing(dir);
        for (const platform::DirEntry& e : listing.entries()) EXPECT_NE(e.name[0], '.') << e.name;
    }
}

TEST(ConvertLaunchers, RunToolsFromTheAbsoluteFoldersOfPathOnly)
{
    // Tools planted in the current folder and below it, each of which leaves a mark when run.
    TempTree tree;
    const std::string here = tree.dir("here"), mark = tree.path("ran");
    for (const char* fake : {"lame", "mp3gain", "bin/lame", "bin/mp3gain"}) {
        const std::string file = tree.file(std::string("here/") + fake, "#!/bin/sh\n: > '" + mark + "'\n");
        ::chmod(file.c_str(), 0755);
    }
    gen::Mp3Spec spec;
    spec.audio = gen::ToneFrames({{440, 0.3}});
    gen::WriteMp3(here + "/a.mp3", spec);
    const std::string path = std::getenv("PATH");
    struct Case {
        std::string path;
        int exitCode;  // of both launchers
    } cases[] = {
        {":" + path, 0}, {path + ":", 0}, {"/nowhere::" + path, 0}, {".:" + path, 0}, {"bin:" + path, 0},
        {"bin:.:", 1},   {"", 1},
    };
    char* cwd = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(here.c_str()), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE("PATH=" + c.path.substr(0, 16) + "...");
        setenv("PATH", c.path.c_str(), 1);
        const int normalised = platform::runAndWait(Launchers + "/mp3norm", "/r \"a.mp3\"").exitCode;
        const int decoded = platform::runAndWait(Launchers + "/dec", "--decode \"a.mp3\" \"a.wav").exitCode;
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(normalised, c.exitCode);
        EXPECT_EQ(decoded, c.exitCode);
        EXPECT_EQ(exists("a.wav"), c.exitCode == 0);
        EXPECT_FALSE(exists(mark));
        ::unlink("a.wav");
        ::unlink(mark.c_str());
    }
    EXPECT_EQ(::chdir(cwd), 0);
    std::free(cwd);
}

TEST_F(Convert, RunsStartTheLaunchersWithTheListInItsSortedOrderEachWaitedFor)
{
    const std::string log = tree_.path("log");
    writeRecorder(program_ + "/mp3norm", log);
    writeRecorder(program_ + "/dec", log);
    const std::string a = music_ + "/a.mp3", b = music_ + "/B.MP3", c = music_ + "/c.mp3";
    Strings hostile;
    for (const std::string& name : HostileNames) hostile.push_back(music_ + "/" + name);
    Strings hostileSorted;

    struct Case {
        const char* what;
        ui::Form* form;
        ui::ListBox* list;
        QPushButton* button;
        std::function<void()> settings;
        Strings entries;
        std::function<std::vector<Strings>()> expected;
        QString message;
    } cases[] = {
        {"by file, level 0",
         Form15,
         Form15->ListBox1,
         Form15->Button7,
         [] { Form15->TrackBar1->setValue(0); },
         {c, a, b},
         [&] {
             return std::vector<Strings>{{"/r", "/c", "/m0", a}, {"/r", "/c", "/m0", b}, {"/r", "/c", "/m0", c}};
         },
         "Normalisation terminée"},
        {"by album, level 10",
         Form15,
         Form15->ListBox1,
         Form15->Button7,
         [] {
             Form15->TrackBar1->setValue(10);
             Form15->RadioButton1->setChecked(true);
         },
         {b, c, a},
         [&] {
             return std::vector<Strings>{{"/a", "/c", "/m10", a, b, c}};
         },
         "Normalisation terminée"},
        {"by album, names that are not plain", Form15, Form15->ListBox1, Form15->Button7,
         [] { Form15->RadioButton1->setChecked(true); }, hostile,
         [&] {
             Strings args{"/a", "/c", "/m5"};
             args.insert(args.end(), hostileSorted.begin(), hostileSorted.end());
             return std::vector<Strings>{args};
         },
         "Normalisation terminée"},
        {"decoding",
         Form21,
         Form21->ListBox1,
         Form21->Button7,
         [] {},
         {c, b},
         [&] {
             return std::vector<Strings>{{"--decode", b, music_ + "/B.wav"}, {"--decode", c, music_ + "/c.wav"}};
         },
         "Conversion terminée"},
        {"decoding names that are not plain", Form21, Form21->ListBox1, Form21->Button7, [] {}, hostile,
         [&] {
             std::vector<Strings> runs;
             for (const std::string& p : hostileSorted) runs.push_back({"--decode", p, TForm21::OutputName(p)});
             return runs;
         },
         "Conversion terminée"},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.what);
        ::unlink(log.c_str());
        ui::Dialogs::clearScript();
        t.settings();
        t.form->Show();
        Form1->Hide();
        for (const std::string& e : t.entries) t.list->Add(e);
        hostileSorted.clear();
        for (int i = 0; i < t.list->Count(); ++i) hostileSorted.push_back(t.list->Item(i));

        const std::vector<ModalState> seen = click(t.form, t.button);
        // Every run had ended when the message came.
        EXPECT_THAT(records(log), ElementsAreArray(t.expected()));
        ASSERT_FALSE(seen.empty());
        for (const ModalState& s : seen) {
            EXPECT_TRUE(s.waitBox);
            EXPECT_FALSE(s.main);
            EXPECT_FALSE(s.tool);
        }
        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        EXPECT_EQ(ui::Dialogs::shown()[0].text, t.message);
        EXPECT_EQ(ui::Dialogs::shown()[0].caption, "Sonoverne");
        EXPECT_EQ(t.list->Count(), 0);
        EXPECT_FALSE(t.form->isVisible());
        EXPECT_FALSE(Form16->isVisible());
        EXPECT_TRUE(Form1->isVisible());
        resetWindows();
    }
}

TEST_F(Convert, EmptyListsRunNothingAndLeavingBringsTheMainWindowBack)
{
    const std::string log = tree_.path("log");
    writeRecorder(program_ + "/mp3norm", log);
    writeRecorder(program_ + "/dec", log);
    struct Case {
        ui::Form* form;
        ui::ListBox* list;
        QPushButton* run;
        QPushButton* cancel;
    } cases[] = {{Form15, Form15->ListBox1, Form15->Button7, Form15->Button5},
                 {Form21, Form21->ListBox1, Form21->Button7, Form21->Button5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(bytesOf(c.form->Caption()));
        for (bool cancel : {true, false}) {
            Form1->Hide();
            c.form->Show();
            c.list->Clear();
            c.run->click();
            EXPECT_TRUE(ui::Dialogs::shown().empty());
            EXPECT_TRUE(c.form->isVisible());
            c.list->Add("/x/a.mp3");
            cancel ? c.cancel->click() : c.form->Close();
            EXPECT_FALSE(c.form->isVisible());
            EXPECT_TRUE(Form1->isVisible());
            EXPECT_EQ(c.list->Count(), cancel ? 0 : 1);
        }
        c.list->Clear();
    }
    EXPECT_FALSE(exists(log));
    // The wait box is not closed by hand; hiding it brings the main window back.
    Form1->Hide();
    Form16->Show();
    Form16->Hide();
    EXPECT_TRUE(Form1->isVisible());
    Form15->TrackBar1->setValue(7);
    EXPECT_EQ(Form15->Label1->text(), "Nouveau volume : 7/10");
}

TEST_F(Convert, PickersStartInTheMusicFolderAndAddItsMp3FilesInSortedOrder)
{
    for (const char* name : {"b.mp3", "A.MP3", "sub/c.mp3", "x.wav"}) tree_.file(std::string("music/") + name, "x");
    Mp3Folder = music_;
    for (PickerForm* form : std::initializer_list<PickerForm*>{Form15, Form21}) {
        SCOPED_TRACE(bytesOf(form->Caption()));
        form->ListBox1->Add(music_ + "/from the main window.mp3");
        form->Show();
        EXPECT_EQ(form->DirectoryListBox1->Directory(), music_);
        form->Picker->Button6->click();
        Strings listed;
        for (int i = 0; i < form->ListBox1->Count(); ++i) listed.push_back(form->ListBox1->Item(i));
        EXPECT_THAT(listed, ElementsAreArray({music_ + "/A.MP3", music_ + "/b.mp3",
                                              music_ + "/from the main window.mp3", music_ + "/sub/c.mp3"}));
        form->Close();
        resetWindows();
    }
}

TEST_F(Convert, NormalisingChangesOnlyTheGainAndKeepsEveryTagByte)
{
    platform::setProgramFolder(Launchers);
    struct Case {
        const char* what;
        int level;
        bool album;
        Strings names;
    } cases[] = {
        {"by file, level 5", 5, false, {"low.mp3", "high.mp3"}},
        {"by file, level 10", 10, false, {"low.mp3", "high.mp3"}},
        {"by album, level 0", 0, true, {"low.mp3", "high.mp3"}},
        {"by album, names that are not plain", 10, true, HostileNames},
        {"by file, names as long as can be", 5, false, {LongName, OtherLongName}},
        {"by album, names as long as can be", 5, true, {LongName, OtherLongName}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui::Dialogs::clearScript();
        Strings paths, before;
        for (std::size_t i = 0; i < c.names.size(); ++i) {
            paths.push_back(mp3(c.names[i], i % 2 ? 3000 : 100));
            before.push_back(TempTree::read(paths.back()));
        }
        // mp3gain reads names it gets from QProcess, which must be UTF-8.
        const bool plain = c.names[0] == "low.mp3";
        const std::vector<GainReading> was = plain ? readGain(paths) : std::vector<GainReading>{};
        Form15->TrackBar1->setValue(c.level);
        (c.album ? Form15->RadioButton1 : Form15->RadioButton2)->setChecked(true);
        for (const std::string& p : paths) Form15->ListBox1->Add(p);
        Form15->Button7->click();
        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        EXPECT_EQ(ui::Dialogs::shown()[0].text, "Normalisation terminée");

        for (std::size_t i = 0; i < paths.size(); ++i) {
            SCOPED_TRACE(c.names[i]);
            const std::string now = TempTree::read(paths[i]);
            const std::size_t id3v2 = id3v2Length(before[i]);
            ASSERT_GT(id3v2, 10u);
            ASSERT_EQ(now.size(), before[i].size());
            EXPECT_TRUE(now.compare(0, id3v2, before[i], 0, id3v2) == 0) << "ID3v2 tag changed";
            EXPECT_TRUE(now.compare(now.size() - 128, 128, before[i], now.size() - 128) == 0) << "ID3v1 tag changed";
            EXPECT_TRUE(now != before[i]) << "gain unchanged";
        }
        if (plain) {
            const std::vector<GainReading> is = readGain(paths);
            ASSERT_EQ(was.size(), 3u);  // two files and the album
            ASSERT_EQ(is.size(), 3u);
            EXPECT_NE(was[0].suggested, was[1].suggested);  // else track and album gain would agree
            for (std::size_t i = 0; i < 2; ++i) {
                const int applied = (c.album ? was[2].suggested : was[i].suggested) + c.level - 5;
                EXPECT_NE(applied, 0);
                EXPECT_EQ(is[i].maxGlobalGain - was[i].maxGlobalGain, applied);
            }
        }
        resetWindows();
    }
}

TEST_F(Convert, DecodingWritesA16BitWavOfTheRightLengthAndNeverReplacesOne)
{
    platform::setProgramFolder(Launchers);
    constexpr int Frames = 44100 + 1234;
    tree_.file("tone.wav", toneWav(Frames));
    QProcess lame;
    lame.start(QStringLiteral("lame"), {"--quiet", "-b", "128", platform::toDisplay(tree_.path("tone.wav")),
                                        platform::toDisplay(music_ + "/Tone.MP3")});
    ASSERT_TRUE(lame.waitForFinished(-1));
    ASSERT_EQ(lame.exitCode(), 0);
    const std::string tagged = mp3("\xe9t\xe9 \"x\".mp3", 440), longest = mp3(LongName, 440);
    const std::string taken = mp3("taken.mp3", 440);
    tree_.file("music/taken.wav", "mine");
    const std::string junk = tree_.file("music/junk.mp3", "not an MP3 at all");
    // A FIFO or a folder at the WAV's name is left as it is too, and never waited on.
    const std::string piped = mp3("piped.mp3", 440), folded = mp3("folded.mp3", 440);
    ASSERT_EQ(::mkfifo((music_ + "/piped.wav").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((music_ + "/folded.wav").c_str(), 0700), 0);

    for (const std::string& p : {music_ + "/Tone.MP3", tagged, longest, taken, junk, piped, folded})
        Form21->ListBox1->Add(p);
    {
        const testutil::FifoWatchdog watchdog({music_ + "/piped.wav"}, 20, testutil::FifoWatchdog::Writer);
        Form21->Button7->click();
        EXPECT_FALSE(watchdog.fired());
    }
    struct stat st;
    EXPECT_TRUE(::lstat((music_ + "/piped.wav").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_TRUE(platform::folderExists(music_ + "/folded.wav"));

    const std::string wav = TempTree::read(music_ + "/Tone.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(20, 2), std::string("\x01\x00", 2));  // PCM
    EXPECT_EQ(wav.substr(34, 2), std::string("\x10\x00", 2));  // 16 bits
    EXPECT_EQ(wav.size() - 44, std::size_t(Frames) * 4);
    EXPECT_EQ(TempTree::read(TForm21::OutputName(tagged)).substr(0, 4), "RIFF");
    EXPECT_EQ(TempTree::read(TForm21::OutputName(longest)).substr(0, 4), "RIFF");
    EXPECT_EQ(TempTree::read(music_ + "/taken.wav"), "mine");
    EXPECT_FALSE(exists(music_ + "/junk.wav"));

    ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
    const std::string text = bytesOf(ui::Dialogs::shown()[0].text);
    EXPECT_THAT(text, HasSubstr("Conversion terminée\r\n\r\n"));
    EXPECT_THAT(text, HasSubstr(taken));
    EXPECT_THAT(text, HasSubstr(junk));
    EXPECT_THAT(text, HasSubstr(piped));
    EXPECT_THAT(text, HasSubstr(folded));
    EXPECT_THAT(text, Not(HasSubstr("Tone")));
    EXPECT_THAT(text, Not(HasSubstr(LongName)));
    EXPECT_EQ(ui::Dialogs::shown()[0].flags, ui::MB_ICONWARNING);
    // Nothing of the failed runs is left behind.
    int leftovers = 0;
    const platform::FolderSnapshot listing(music_);
    for (const platform::DirEntry& e : listing.entries()) leftovers += e.name[0] == '.';
    EXPECT_EQ(leftovers, 0);
}

TEST_F(Convert, AWriteTheDiskRefusesLeavesTheFilesAsTheyWereAndIsNamed)
{
    platform::setProgramFolder(Launchers);
    enum Fault { SizeLimit, SizeLimitSignalIgnored, FullDisk };
    struct Case {
        const char* what;
        PickerForm* form;
        QPushButton* button;
        Fault fault;
        bool album = false;  // with a smaller file whose copy fits: one gain for both, so neither changes
    } cases[] = {
        // With SIGXFSZ ignored, lame exits 0 on the cut WAV.
        {"decoding past a file size limit", Form21, Form21->Button7, SizeLimitSignalIgnored},
        {"normalising past a file size limit", Form15, Form15->Button7, SizeLimit},
        {"normalising an album past a file size limit", Form15, Form15->Button7, SizeLimit, true},
        // Mounting a small disk needs root: these come last and are skipped otherwise.
        {"decoding onto a full disk", Form21, Form21->Button7, FullDisk},
        {"normalising on a full disk", Form15, Form15->Button7, FullDisk},
        {"normalising an album on a full disk", Form15, Form15->Button7, FullDisk, true},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.fault == FullDisk && ::geteuid() != 0) GTEST_SKIP() << "a small disk is mounted as root only";
        const std::string folder = std::to_string(index++);
        const std::string dir = tree_.dir("music/" + folder);
        struct Unmount {
            std::string dir;
            bool mounted = false;
            ~Unmount()
            {
                if (mounted) ::umount2(dir.c_str(), MNT_DETACH);
            }
        } unmount{dir};
        if (c.fault == FullDisk) {
            ASSERT_EQ(::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=1m"), 0) << std::strerror(errno);
            unmount.mounted = true;
        }
        const std::string file = mp3(folder + "/a.mp3", 440);
        const std::string before = TempTree::read(file);
        // Room for half of the file: neither its copy nor its WAV fits.
        const std::size_t room = before.size() / 2;
        const std::string small = music_ + "/" + folder + "/s.mp3";
        if (c.album) {
            gen::Mp3Spec spec;
            spec.audio = gen::ToneFrames({{3000, 0.2}});
            gen::WriteMp3(small, spec);
            ASSERT_LT(TempTree::read(small).size(), room / 2);
        }
        const std::string smallBefore = c.album ? TempTree::read(small) : std::string();
        struct statvfs disk;
        ASSERT_EQ(::statvfs(dir.c_str(), &disk), 0);
        if (c.fault == FullDisk)
            platform::writeFile(dir + "/filler", std::string(disk.f_bavail * disk.f_bsize - room, 'x'));
        ui::Dialogs::clearScript();
        c.form->ListBox1->Add(file);
        if (c.album) {
            c.form->ListBox1->Add(small);
            Form15->RadioButton1->setChecked(true);
        }
        Form15->TrackBar1->setValue(10);  // a gain to change, whatever the tone
        rlimit limit{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit lowered{c.fault == FullDisk ? limit.rlim_cur : room, limit.rlim_max};
        const auto signal = std::signal(SIGXFSZ, c.fault == SizeLimitSignalIgnored ? SIG_IGN : SIG_DFL);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
        c.button->click();
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, signal);

        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        EXPECT_THAT(bytesOf(ui::Dialogs::shown()[0].text), HasSubstr(file));
        EXPECT_EQ(ui::Dialogs::shown()[0].flags, ui::MB_ICONWARNING);
        EXPECT_TRUE(TempTree::read(file) == before);
        if (c.album) {
            EXPECT_THAT(bytesOf(ui::Dialogs::shown()[0].text), HasSubstr(small));
            EXPECT_TRUE(TempTree::read(small) == smallBefore);
        }
        EXPECT_FALSE(exists(TForm21::OutputName(file)));
        const platform::FolderSnapshot listing(dir);
        for (const platform::DirEntry& e : listing.entries()) EXPECT_NE(e.name[0], '.') << e.name;
        resetWindows();
    }
}

TEST_F(Convert, TheClosingMessageNamesTheFilesThatFailedAndWhy)
{
    // Launchers that a signal stops before they say anything.
    const std::string stopped = tree_.dir("stopped");
    for (const char* name : {"/mp3norm", "/dec"}) {
        platform::writeFile(stopped + name, "#!/bin/sh\nkill -TERM $$\n");
        ::chmod((stopped + name).c_str(), 0755);
    }
    using Failing = std::vector<std::pair<std::string, std::string>>;  // of the files a.mp3, bad.mp3: why
    struct Case {
        const char* what;
        ui::Form* form;
        ui::ListBox* list;
        QPushButton* button;
        bool album;
        std::string launchers;  // empty: none
        Failing failing;
        Strings absent;
        bool badIsFifo = false;  // bad.mp3 a FIFO rather than a file
    } cases[] = {
        {"normaliser missing",
         Form15,
         Form15->ListBox1,
         Form15->Button7,
         false,
         "",
         {{"a.mp3", ""}, {"bad.mp3", ""}},
         {"Normalisation terminée"}},
        {"decoder missing",
         Form21,
         Form21->ListBox1,
         Form21->Button7,
         false,
         "",
         {{"a.mp3", ""}, {"bad.mp3", ""}},
         {"Conversion terminée"}},
        {"normaliser stopped",
         Form15,
         Form15->ListBox1,
         Form15->Button7,
         true,
         stopped,
         {{"a.mp3", "mp3norm s'est arrêté avant la fin"}, {"bad.mp3", "mp3norm s'est arrêté avant la fin"}},
         {}},
        {"decoder stopped",
         Form21,
         Form21->ListBox1,
         Form21->Button7,
         false,
         stopped,
         {{"a.mp3", "dec s'est arrêté avant la fin"}, {"bad.mp3", "dec s'est arrêté avant la fin"}},
         {}},
        // One gain for the album: none is changed, and all are named.
        {"album with a file that is no MP3",
         Form15,
         Form15->ListBox1,
         Form15->Button7,
         true,
         Launchers,
         {{"a.mp3", "un autre fichier de l'album n'a pas pu être normalisé, laissé tel quel"},
          {"bad.mp3", "mp3gain ne le lit pas comme un MP3"}},
         {}},
        {"by file with a file that is no MP3",
         Form15,
         Form15->ListBox1,
         Form15->Button7,
         false,
         Launchers,
         {{"bad.mp3", "mp3gain ne le lit pas comme un MP3"}},
         {"/a.mp3"}},
        {"decoding a file that is no MP3",
         Form21,
         Form21->ListBox1,
         Form21->Button7,
         false,
         Launchers,
         {{"bad.mp3", "lame n'a pas pu le décoder"}},
         {"/a.mp3"}},
        {"normalising a FIFO",
         Form15,
         Form15->ListBox1,
         Form15->Button7,
         false,
         Launchers,
         {{"bad.mp3", "N'est pas un fichier ordinaire"}},
         {"/a.mp3"},
         true},
        {"decoding a FIFO",
         Form21,
         Form21->ListBox1,
         Form21->Button7,
         false,
         Launchers,
         {{"bad.mp3", "N'est pas un fichier ordinaire"}},
         {"/a.mp3"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui::Dialogs::clearScript();
        platform::setProgramFolder(c.launchers.empty() ? program_ : c.launchers);
        (c.album ? Form15->RadioButton1 : Form15->RadioButton2)->setChecked(true);
        c.list->Add(mp3("a.mp3", 440));
        const std::string bad = music_ + "/bad.mp3";
        if (c.badIsFifo) { ASSERT_EQ(::mkfifo(bad.c_str(), 0600), 0); }
        c.list->Add(c.badIsFifo ? bad : tree_.file("music/bad.mp3", "ID3 but nothing else"));
        {
            const testutil::FifoWatchdog watchdog({bad});
            c.button->click();
            EXPECT_FALSE(watchdog.fired());
        }
        ::unlink(bad.c_str());
        ::unlink((music_ + "/a.wav").c_str());
        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        const std::string text = bytesOf(ui::Dialogs::shown()[0].text);
        EXPECT_EQ(ui::Dialogs::shown()[0].flags, ui::MB_ICONWARNING);
        if (c.launchers.empty()) { EXPECT_THAT(text, HasSubstr(program_ + "/")); }
        for (const auto& [name, why] : c.failing)
            EXPECT_THAT(text, HasSubstr(music_ + "/" + name + (why.empty() ? "" : " (" + why)));
        for (const std::string& absent : c.absent) EXPECT_THAT(text, Not(HasSubstr(absent)));
        EXPECT_TRUE(Form1->isVisible());
        resetWindows();
    }
}

TEST_F(Convert, WavToMp3ControlsStartAsTheEncoderAndEachSetsItsOwnProperty)
{
    TForm12* f = Form12;
    const TLameCoder& c = f->LameCoder1;
    struct Box {
        QComboBox* box;
        QStringList items;
        QString initial;
    } boxes[] = {
        {f->ComboBox1, {"44100", "32000", "22050"}, "44100"},
        {f->ComboBox2, {"320", "256", "192", "160", "128", "96"}, "128"},
        {f->ComboBox3, {"320", "256", "192", "160"}, "320"},
        {f->ComboBox4, {"Stereo", "Joint stereo", "Dual channel", "Mono"}, "Stereo"},
        {f->ComboBox5, {"Normal", "Low", "High", "Voice"}, "Normal"},
    };
    for (const Box& b : boxes) {
        QStringList items;
        for (int i = 0; i < b.box->count(); ++i) items << b.box->itemText(i);
        EXPECT_EQ(items, b.items);
        EXPECT_EQ(b.box->currentText(), b.initial);
        EXPECT_FALSE(b.box->isEditable());
    }
    EXPECT_EQ(f->TrackBar1->minimum(), 0);
    EXPECT_EQ(f->TrackBar1->maximum(), 9);
    EXPECT_EQ(f->TrackBar1->value(), 4);
    EXPECT_EQ(f->Label7->text(), "4");
    // The encoder as the controls show it; the CRC is the one setting the window changes.
    EXPECT_EQ(std::make_tuple(c.SampleRate, c.Bitrate, c.MaxBitrate, c.Mode(), c.Quality, c.VBRQuality),
              std::make_tuple(44100u, 128u, 320u, TLameMode::STEREO, NORMAL_QUALITY, 4));
    EXPECT_EQ(std::make_tuple(c.CRC, c.EnableVBR(), c.WriteVBRHeader, c.Copyright, c.Original, c.Private),
              std::make_tuple(false, false, false, false, false, false));
    EXPECT_EQ(c.DefaultExt, ".mp3");

    // Each control in turn; the earlier ones keep what they set.
    struct Case {
        const char* what;
        std::function<void()> act;
        std::function<bool()> holds;
    } cases[] = {
        {"sample rate", [&] { f->ComboBox1->setCurrentIndex(2); }, [&] { return c.SampleRate == 22050; }},
        {"bit rate", [&] { f->ComboBox2->setCurrentIndex(5); }, [&] { return c.Bitrate == 96; }},
        {"max bit rate", [&] { f->ComboBox3->setCurrentIndex(3); }, [&] { return c.MaxBitrate == 160; }},
        {"joint stereo", [&] { f->ComboBox4->setCurrentIndex(1); }, [&] { return c.Mode() == TLameMode::JSTEREO; }},
        {"mono", [&] { f->ComboBox4->setCurrentIndex(3); }, [&] { return c.Mode() == TLameMode::MONO; }},
        {"quality", [&] { f->ComboBox5->setCurrentIndex(2); }, [&] { return c.Quality == HIGH_QUALITY; }},
        {"VBR quality", [&] { f->TrackBar1->setValue(9); },
         [&] { return c.VBRQuality == 9 && f->Label7->text() == "9"; }},
        {"VBR brings its header, its box stays unticked", [&] { f->CheckBox6->setChecked(true); },
         [&] { return c.EnableVBR() && c.WriteVBRHeader && !f->CheckBox7->isChecked(); }},
        {"header box ticked and unticked", [&] { f->CheckBox7->setChecked(true), f->CheckBox7->setChecked(false); },
         [&] { return c.EnableVBR() && !c.WriteVBRHeader; }},
        {"copyright", [&] { f->CheckBox3->setChecked(true); }, [&] { return c.Copyright && !c.Original; }},
        {"original", [&] { f->CheckBox4->setChecked(true); }, [&] { return c.Original && !c.CRC; }},
        {"CRC", [&] { f->CheckBox5->setChecked(true); }, [&] { return c.CRC && !c.Private; }},
        {"private", [&] { f->CheckBox8->setChecked(true); }, [&] { return c.Private; }},
        {"VBR off takes its header", [&] { f->CheckBox6->setChecked(false); },
         [&] { return !c.EnableVBR() && !c.WriteVBRHeader && c.SampleRate == 22050 && c.Bitrate == 96; }},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.what);
        t.act();
        EXPECT_TRUE(t.holds());
    }
    resetWindows();
    EXPECT_EQ(std::make_tuple(c.SampleRate, c.Bitrate, c.MaxBitrate, c.Mode(), c.Quality, c.VBRQuality, c.CRC),
              std::make_tuple(44100u, 128u, 320u, TLameMode::STEREO, NORMAL_QUALITY, 4, false));
}

TEST_F(Convert, WavToMp3RunsTheSortedListWithItsProgressAndReportsWhatFailed)
{
    // Two encoder chunks a file: each file reports 50 and 100.
    const std::string wav = toneWav(2 * 9216);
    std::string notPcm16 = wav;
    notPcm16[34] = 8;
    TForm12* f = Form12;
    const QString done = QStringLiteral("Conversion Terminée");
    auto status = [](int i, int n) { return QStringLiteral("Conversion en cours du fichier %1 sur %2").arg(i).arg(n); };
    const std::vector<QString> ofThree = {status(1, 3), status(2, 3), status(3, 3)};
    const Strings hostile = {"q\"uote\" with  blanks.wav", "-dash.wav", "\xe9t\xe9 latin-1.wav"};
    // Files of this content are made FIFOs, or folders.
    const std::string fifo = "<fifo>", folder = "<folder>";
    const std::string unsupported = "Format WAV non pris en charge";  // a failed file's reason
    auto atRate = [](uint32_t rate, uint16_t channels = 2) { return toneWav(100, 440, rate, channels); };
    std::vector<QString> ofFour;
    for (int i = 1; i <= 4; ++i) ofFour.push_back(status(i, 4));

    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;  // name, bytes; added in this order
        std::map<std::string, std::string> before;               // files already there
        std::function<void(int file, int percent)> during;
        Strings order;  // empty: the list's own
        std::vector<QString> statuses;
        std::vector<int> totals;
        QString message;  // empty: none
        Strings failed, made, absent;
        std::map<std::string, std::string> after;
        Strings links = {};     // dangling links already there
        std::string told = {};  // the box says this too, "%d" standing for the folder
    } cases[] = {
        {"sorted, Convertir pressed again during the run",
         {{"c.wav", wav}, {"a.wav", wav}, {"B.wav", wav}},
         {},
         [&](int file, int percent) {
             if (file == 0 && percent == 50) f->Button7Click();
         },
         {"a.wav", "B.wav", "c.wav"},
         ofThree,
         {16, 33, 50, 66, 83, 100},
         done,
         {},
         {"a.mp3", "B.mp3", "c.mp3"},
         {},
         {}},
        {"list emptied during the run",
         {{"c.wav", wav}, {"a.wav", wav}, {"B.wav", wav}},
         {},
         [&](int file, int percent) {
             if (file == 0 && percent == 50) f->Button4Click();
         },
         {"a.wav", "B.wav", "c.wav"},
         ofThree,
         {16, 33, 50, 66, 83, 100},
         done,
         {},
         {"a.mp3", "B.mp3", "c.mp3"},
         {},
         {}},
        {"a file that is no 16-bit WAV, its MP3 kept",
         {{"a.wav", wav}, {"bad.wav", notPcm16}, {"c.wav", wav}},
         {{"bad.mp3", "mine"}},
         {},
         {"a.wav", "bad.wav", "c.wav"},
         ofThree,
         {16, 33, 83, 100},
         done + "\r\n\r\n",
         {"bad.wav"},
         {"a.mp3", "c.mp3"},
         {},
         {{"bad.mp3", "mine"}}},
        {"the last file fails, nothing of it left",
         {{"a.wav", wav}, {"z.wav", notPcm16}},
         {},
         {},
         {"a.wav", "z.wav"},
         {status(1, 2), status(2, 2)},
         {25, 50},
         done + "\r\n\r\n",
         {"z.wav"},
         {"a.mp3"},
         {"z.mp3"},
         {}},
        {"an MP3 handed over is never written over",
         {{"a.wav", wav}, {"song.mp3", "ID3 tagged audio"}},
         {},
         {},
         {"a.wav", "song.mp3"},
         {status(1, 2), status(2, 2)},
         {25, 50},
         done + "\r\n\r\n",
         {"song.mp3"},
         {"a.mp3"},
         {},
         {{"song.mp3", "ID3 tagged audio"}}},
        {"names that are not plain",
         {{hostile[0], wav}, {hostile[1], wav}, {hostile[2], wav}},
         {},
         {},
         {},
         ofThree,
         {16, 33, 50, 66, 83, 100},
         done,
         {},
         {"q\"uote\" with  blanks.mp3", "-dash.mp3", "\xe9t\xe9 latin-1.mp3"},
         {},
         {}},
        {"a dangling link where the MP3 goes, replaced",
         {{"a.wav", wav}},
         {},
         {},
         {},
         {status(1, 1)},
         {50, 100},
         done,
         {},
         {"a.mp3"},
         {},
         {},
         {"a.mp3"}},
        {"a FIFO where the MP3 goes, replaced",
         {{"a.wav", wav}},
         {{"a.mp3", fifo}},
         {},
         {},
         {status(1, 1)},
         {50, 100},
         done,
         {},
         {"a.mp3"},
         {},
         {}},
        {"a folder where the MP3 goes, kept",
         {{"a.wav", wav}, {"b.wav", wav}},
         {{"a.mp3", folder}},
         {},
         {},
         {status(1, 2), status(2, 2)},
         {75, 100},
         done + "\r\n\r\n",
         {"a.wav"},
         {"b.mp3"},
         {},
         {},
         {},
         "Impossible de créer le fichier %d/a.mp3 : Est un dossier)"},
        // Which rates and channels the encoder takes in: cdaudio_rules_test.
        {"a rate the encoder does not take in, a FIFO",
         {{"r1.wav", atRate(1)}, {"r8000.wav", atRate(8000)}, {"c3.wav", atRate(44100, 3)}, {"fifo.wav", fifo}},
         {},
         {},
         {"c3.wav", "fifo.wav", "r1.wav", "r8000.wav"},
         ofFour,
         {100},
         done + "\r\n\r\n",
         {"c3.wav (" + unsupported, "fifo.wav (Impossible d'ouvrir le fichier", "r1.wav (" + unsupported},
         {"r8000.mp3"},
         {"c3.mp3", "fifo.mp3", "r1.mp3"},
         {},
         {}},
        {"Annuler",
         {{"c.wav", wav}, {"a.wav", wav}, {"B.wav", wav}},
         {},
         [&](int file, int percent) {
             if (file == 1 && percent == 50) f->Button5->click();
         },
         {"a.wav", "B.wav"},
         {status(1, 3), status(2, 3)},
         {16, 33, 50},
         "",
         {},
         {"a.mp3", "B.mp3"},
         {"c.mp3"},
         {}},
        {"close box, the MP3 in the way given back",
         {{"c.wav", wav}, {"a.wav", wav}, {"B.wav", wav}},
         {{"B.mp3", "mine"}},
         [&](int file, int percent) {
             if (file == 1 && percent == 50) f->Close();
         },
         {"a.wav", "B.wav"},
         {status(1, 3), status(2, 3)},
         {16, 33, 50},
         "",
         {},
         {"a.mp3"},
         {"c.mp3"},
         {{"B.mp3", "mine"}}},
    };
    TLameCoder& coder = f->LameCoder1;
    const auto beginFile = coder.OnBeginFile;
    const auto progress = coder.OnProgress;
    for (const Case& t : cases) {
        SCOPED_TRACE(t.what);
        TempTree tree;
        const std::string dir = tree.dir("wav");
        std::vector<std::string> outputFifos;
        for (const auto& [name, bytes] : t.before) {
            if (bytes == fifo) outputFifos.push_back(dir + "/" + name);
            if (bytes == fifo) ASSERT_EQ(mkfifo((dir + "/" + name).c_str(), 0600), 0);
            else if (bytes == folder) ASSERT_EQ(::mkdir((dir + "/" + name).c_str(), 0700), 0);
            else platform::writeFile(dir + "/" + name, bytes);
        }
        for (const std::string& name : t.links)
            ASSERT_EQ(::symlink((dir + "/gone").c_str(), (dir + "/" + name).c_str()), 0);
        f->Show();
        std::vector<std::string> fifos;
        for (const auto& [name, bytes] : t.files) {
            if (bytes == fifo) {
                fifos.push_back(dir + "/" + name);
                ASSERT_EQ(mkfifo(fifos.back().c_str(), 0600), 0);
            } else {
                platform::writeFile(dir + "/" + name, bytes);
            }
            f->ListBox1->Add(dir + "/" + name);
        }
        const testutil::FifoWatchdog watchdog(fifos);
        const testutil::FifoWatchdog outputWatchdog(outputFifos, 20, testutil::FifoWatchdog::Writer);
        Strings order = t.order;
        if (order.empty())
            for (int i = 0; i < f->ListBox1->Count(); ++i)
                order.push_back(platform::fileNamePart(f->ListBox1->Item(i)));

        Strings begun;
        std::vector<QString> statuses;
        std::vector<int> totals;
        coder.OnBeginFile = [&](TLameCoder* s, uint16_t n, const std::string& name) {
            begun.push_back(platform::fileNamePart(name));
            // The status line shows before a file is refused.
            struct Status {
                std::vector<QString>& statuses;
                ~Status() { statuses.push_back(Form12->Label5->text()); }
            } status{statuses};
            beginFile(s, n, name);
        };
        coder.OnProgress = [&](TLameCoder* s, uint16_t p) {
            progress(s, p);
            totals.push_back(f->ProgressBar2->Position());
            if (t.during) t.during(f->CurrentFileIndex, p);
        };
        f->Button7->click();
        coder.OnBeginFile = beginFile;
        coder.OnProgress = progress;
        EXPECT_FALSE(watchdog.fired());
        EXPECT_FALSE(outputWatchdog.fired());

        EXPECT_THAT(begun, ElementsAreArray(order));
        EXPECT_THAT(statuses, ElementsAreArray(t.statuses));
        EXPECT_THAT(totals, ElementsAreArray(t.totals));
        if (t.message.isEmpty()) {
            EXPECT_TRUE(ui::Dialogs::shown().empty());
        } else {
            ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
            const ui::ShownBox& box = ui::Dialogs::shown()[0];
            EXPECT_EQ(box.caption, "Sonoverne");
            if (t.failed.empty()) { EXPECT_EQ(box.text, t.message); }
            EXPECT_THAT(bytesOf(box.text), HasSubstr(bytesOf(t.message)));
            for (const std::string& name : t.failed) EXPECT_THAT(bytesOf(box.text), HasSubstr(dir + "/" + name));
            for (const std::string& name : t.made) EXPECT_THAT(bytesOf(box.text), Not(HasSubstr(name)));
            if (!t.told.empty()) {
                EXPECT_THAT(bytesOf(box.text), HasSubstr(t.told.substr(0, t.told.find("%d")) + dir +
                                                         t.told.substr(t.told.find("%d") + 2)));
            }
            EXPECT_EQ(f->ProgressBar2->Position(), 100);
        }
        EXPECT_EQ(f->ListBox1->Count(), 0);
        EXPECT_FALSE(f->isVisible());
        for (const std::string& name : t.made) {
            SCOPED_TRACE(name);
            std::string mp3;  // a FIFO left there is not waited on
            EXPECT_EQ(platform::readWholeFile(dir + "/" + name, 1 << 24, mp3), 0);
            ASSERT_GT(mp3.size(), 400u);
            EXPECT_EQ(uint8_t(mp3[0]), 0xFF);
        }
        for (const std::string& name : t.absent) EXPECT_FALSE(exists(dir + "/" + name)) << name;
        for (const auto& [name, bytes] : t.after) EXPECT_EQ(TempTree::read(dir + "/" + name), bytes) << name;
        for (const auto& [name, bytes] : t.before)
            if (bytes == folder) { EXPECT_TRUE(platform::folderExists(dir + "/" + name)) << name; }
        if (!t.links.empty()) { EXPECT_FALSE(exists(dir + "/gone")); }
        // Nothing set aside is left behind.
        const platform::FolderSnapshot listing(dir);
        for (const platform::DirEntry& e : listing.entries()) EXPECT_NE(e.name[0], '.') << e.name;
        resetWindows();
        // A run that ended or stopped leaves the button ready for the next.
        EXPECT_TRUE(f->Button7->isEnabled());
    }
    // Nothing in the list: nothing happens.
    f->Show();
    f->Button7->click();
    EXPECT_TRUE(ui::Dialogs::shown().empty());
    EXPECT_TRUE(f->isVisible());
    resetWindows();
}

// What a decoded WAV holds: its rate, its channels, its length in sample frames and the
// frequency of its first channel from its zero crossings.
struct Decoded {
    uint32_t rate = 0;
    int channels = 0;
    std::size_t frames = 0;
    double hz = 0;
};
Decoded decodedTone(const std::string& wav)
{
    Decoded d;
    const std::size_t fmt = wav.find("fmt "), data = wav.find("data");
    if (fmt == std::string::npos || data == std::string::npos || fmt + 16 > wav.size()) return d;
    auto le = [&](std::size_t at, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v |= uint32_t(uint8_t(wav[at + std::size_t(i)])) << (8 * i);
        return v;
    };
    d.channels = int(le(fmt + 10, 2));
    d.rate = le(fmt + 12, 4);
    if (d.channels < 1) return d;
    const std::size_t step = 2 * std::size_t(d.channels);
    d.frames = (wav.size() - data - 8) / step;
    auto first = [&](std::size_t i) { return int16_t(le(data + 8 + step * i, 2)); };
    // The middle, away from the encoder's lead-in and tail.
    const std::size_t from = d.frames / 4, to = 3 * d.frames / 4;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) crossings += (first(i - 1) < 0) != (first(i) < 0);
    d.hz = to > from ? crossings / 2.0 * d.rate / double(to - from) : 0;
    return d;
}

// An MP3 in the way that cannot be moved aside (no inode left for the hidden name) is kept, and
// its WAV is named as failed.
TEST_F(Convert, WavToMp3KeepsAnMp3ItCannotMoveAside)
{
    TempTree tree;
    const std::string dir = tree.dir("full");
    // The folder, the WAV and the MP3: nothing more.
    if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=1m,nr_inodes=3") != 0) GTEST_SKIP() << "needs root";
    struct Unmount {
        std::string dir;
        ~Unmount() { ::umount(dir.c_str()); }
    } unmount{dir};
    ASSERT_EQ(platform::writeFile(dir + "/a.wav", toneWav(9216)), 0);
    ASSERT_EQ(platform::writeFile(dir + "/a.mp3", "mine"), 0);
    Form12->Show();
    Form12->ListBox1->Add(dir + "/a.wav");
    Form12->Button7->click();
    ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
    EXPECT_THAT(bytesOf(ui::Dialogs::shown()[0].text), HasSubstr(dir + "/a.wav"));
    EXPECT_THAT(bytesOf(ui::Dialogs::shown()[0].text), HasSubstr("/a.mp3 : Plus de place sur le disque"));
    EXPECT_EQ(TempTree::read(dir + "/a.mp3"), "mine");
    resetWindows();
}

TEST_F(Convert, WavToMp3ToWavKeepsTheLengthAndFrequencyOfATone)
{
    constexpr int Frames = 44100 + 1234;
    struct Case {
        const char* what;
        std::function<void()> settings;
        double hz;
        int extra;              // frames of lead-in and padding a decoder may add
        uint32_t rate = 44100;  // of the WAV; the MP3 is at the window's 44100
        uint16_t channels = 2;  // of the WAV
        int outChannels = 2;
    } cases[] = {
        {"defaults", [] {}, 1000, 2 * 1152 + 576},
        // The header frame tells the decoder what to trim: the tone's own length.
        {"VBR", [] { Form12->CheckBox6->setChecked(true); }, 440, 0},
        {"192 kbit/s, joint stereo, high",
         [] {
             Form12->ComboBox2->setCurrentText("192");
             Form12->ComboBox4->setCurrentIndex(1);
             Form12->ComboBox5->setCurrentIndex(2);
         },
         3000, 2 * 1152 + 576},
        // The two channels mixed to one, not read as one channel of twice the length.
        {"stereo WAV as mono", [] { Form12->ComboBox4->setCurrentIndex(3); }, 440, 2 * 1152 + 576, 44100, 2, 1},
        {"mono WAV as stereo", [] {}, 440, 2 * 1152 + 576, 44100, 1, 0},
        // Resampled to the setting, not played at it.
        {"48 kHz WAV", [] {}, 440, 2 * 1152 + 576, 48000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree tree;
        const std::string wav = tree.file("tone.wav", toneWav(Frames, c.hz, c.rate, c.channels));
        c.settings();
        Form12->Show();
        Form12->ListBox1->Add(wav);
        Form12->Button7->click();
        ASSERT_EQ(ui::Dialogs::shown().size(), 1u);
        EXPECT_EQ(ui::Dialogs::shown()[0].text, "Conversion Terminée");
        QProcess lame;
        lame.start(QStringLiteral("lame"), {"--quiet", "--decode", platform::toDisplay(tree.path("tone.mp3")),
                                            platform::toDisplay(tree.path("back.wav"))});
        ASSERT_TRUE(lame.waitForFinished(-1));
        ASSERT_EQ(lame.exitCode(), 0);
        const Decoded d = decodedTone(TempTree::read(tree.path("back.wav")));
        const auto frames = std::size_t(int64_t(Frames) * 44100 / c.rate);
        EXPECT_EQ(d.rate, 44100u);
        if (c.outChannels) { EXPECT_EQ(d.channels, c.outChannels); }
        EXPECT_GE(d.frames, frames);
        EXPECT_LE(d.frames, frames + std::size_t(c.extra));
        EXPECT_NEAR(d.hz, c.hz, c.hz * 0.01);
        resetWindows();
    }
}

TEST_F(Convert, WindowsWithFilesInTheirLists)
{
    // The sample collection: the picker's boxes show one of its albums, the lists its files.
    const std::string album = Launchers + "/\xC3\x89l\xC3\xA9onore Vasseur/Lumi\xC3\xA8re d'Ao\xC3\xBBt";
    for (PickerForm* form : std::initializer_list<PickerForm*>{Form15, Form21}) {
        const platform::FolderSnapshot listing(album);
        for (const platform::DirEntry& e : listing.entries()) form->ListBox1->Add(album + "/" + e.name);
    }
    // A folder of recordings for the WAV window, half of them chosen.
    const std::string recordings = tree_.dir("Enregistrements du salon");
    const char* takes[] = {"01 - Ouverture.wav",       "02 - Valse lente.wav", "03 - Nocturne en ré.wav",
                           "04 - Final (prise 2).wav", "05 - Rappel.wav",      "06 - Bis.wav"};
    for (std::size_t i = 0; i < std::size(takes); ++i) {
        const std::string path = tree_.file(std::string("Enregistrements du salon/") + takes[i], toneWav(10));
        if (i % 2 == 0) Form12->ListBox1->Add(path);
    }
    struct Shot {
        ui::Form* form;
        const char* file;
    } shots[] = {
        {Form15, "normalise.png"}, {Form16, "waitbox.png"}, {Form21, "mp3towav.png"}, {Form12, "wavtomp3.png"}};
    for (const Shot& s : shots) {
        Mp3Folder = s.form == Form12 ? recordings : album;
        s.form->Show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(s.form->grab().save(QString::fromStdString(std::string(SCREENSHOT_DIR) + "/" + s.file)));
        s.form->Hide();
    }
    resetWindows();
}

}  // namespace

int main(int argc, char** argv)
{
    TempTree config;
    setenv("XDG_CONFIG_HOME", config.root().c_str(), 1);
    platform::setProgramFolder(Launchers);
    return sonoverne::test::RunWithWindows(argc, argv, [](QApplication& app) {
        app.setQuitOnLastWindowClosed(false);
        Form1->Show();
    });
}
