// The folder walker on real folder trees: depth limits, roots, masks, hidden entries, stops,
// the values it reports, what it cannot read, links that lead back or nowhere, raw byte names,
// big folders.
#include "DeepFolders.h"
#include "Scrute.h"
#include "TempTree.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <set>
#include <sys/time.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

// Records every event of a walk as "F:path", "D:path", "E" (OnExecute), "X" (OnFinExecute).
struct Recorder {
    std::vector<std::string> events;

    void attach(TScruteDossier& w)
    {
        w.OnFichier = [this](TScruteDossier*, const std::string& n) { events.push_back("F:" + n); };
        w.OnDossier = [this](TScruteDossier*, const std::string& n) { events.push_back("D:" + n); };
        w.OnExecute = [this](TScruteDossier*) { events.push_back("E"); };
        w.OnFinExecute = [this](TScruteDossier*) { events.push_back("X"); };
    }
    std::vector<std::string> with(char kind) const
    {
        std::vector<std::string> out;
        for (const auto& e : events)
            if (e.size() > 2 && e[0] == kind) out.push_back(e.substr(2));
        return out;
    }
    std::vector<std::string> files() const { return with('F'); }
    std::vector<std::string> folders() const { return with('D'); }
    size_t count(const std::string& event) const { return size_t(std::count(events.begin(), events.end(), event)); }
    size_t indexOf(const std::string& event) const
    {
        return size_t(std::find(events.begin(), events.end(), event) - events.begin());
    }
};

class Walker : public ::testing::Test {
protected:
    void SetUp() override
    {
        walker.Filtre = "*.mp3";
        rec.attach(walker);
    }
    void walk(const std::string& root)
    {
        walker.Dossier = root;
        walker.Execute();
    }
    // root/a.mp3, root/s1/b.mp3, root/s1/deep/c.mp3, root/s2/d.mp3, root/x.txt
    void smallTree()
    {
        t.file("a.mp3");
        t.file("x.txt");
        t.file("s1/b.mp3");
        t.file("s1/deep/c.mp3");
        t.file("s2/d.mp3");
    }

    TempTree t;
    TScruteDossier walker;
    Recorder rec;
};

TEST_F(Walker, DefaultsOfANewWalker)
{
    TScruteDossier w;
    EXPECT_EQ(w.Dossier, "/");
    EXPECT_EQ(w.Filtre, "*.*");
    EXPECT_TRUE(w.SousDossier);
    EXPECT_EQ(w.MaxPenetration, 10000);
    EXPECT_FALSE(w.Stop);
}

TEST_F(Walker, DepthLimits)
{
    smallTree();
    const std::string r = t.root();

    // 0: the root's files and an announcement of each of its sub-folders, nothing inside them.
    walker.MaxPenetration = 0;
    walk(r);
    EXPECT_THAT(rec.files(), ElementsAre(r + "/a.mp3"));
    EXPECT_THAT(rec.folders(), UnorderedElementsAre(r + "/s1", r + "/s2"));
    EXPECT_EQ(walker.Profondeur, 0);

    // 1: one level down, "deep" announced but not entered.
    rec.events.clear();
    walker.MaxPenetration = 1;
    walk(r);
    EXPECT_THAT(rec.files(), UnorderedElementsAre(r + "/a.mp3", r + "/s1/b.mp3", r + "/s2/d.mp3"));
    EXPECT_THAT(rec.folders(), UnorderedElementsAre(r + "/s1", r + "/s2", r + "/s1/deep"));

    // Negative: no limit at all, also far below the default limit's reach.
    std::string chain = "s1";
    for (int i = 0; i < 30; ++i) chain += "/n";
    t.file(chain + "/bottom.mp3");
    for (int negative : {-1, -1000}) {
        rec.events.clear();
        walker.MaxPenetration = negative;
        walk(r);
        EXPECT_THAT(rec.files(), UnorderedElementsAre(r + "/a.mp3", r + "/s1/b.mp3", r + "/s1/deep/c.mp3",
                                                      r + "/s2/d.mp3", r + "/" + chain + "/bottom.mp3"));
    }
}

TEST_F(Walker, WithoutSubFoldersStillAnnouncesThem)
{
    smallTree();
    const std::string r = t.root();
    walker.SousDossier = false;
    walk(r);
    EXPECT_THAT(rec.files(), ElementsAre(r + "/a.mp3"));
    EXPECT_THAT(rec.folders(), UnorderedElementsAre(r + "/s1", r + "/s2"));
    EXPECT_EQ(walker.DossierCourant, rec.folders().back());
    EXPECT_EQ(rec.events.front(), "E");
    EXPECT_EQ(rec.events.back(), "X");
}

TEST_F(Walker, FinalSeparatorOfTheRoot)
{
    smallTree();
    const std::string r = t.root();
    walk(r);
    const auto plain = rec.events;
    ASSERT_EQ(rec.files().size(), 4u);

    rec.events.clear();
    walk(r + "/");
    EXPECT_EQ(rec.events, plain);

    // Two separators lose only one: every path keeps the other.
    rec.events.clear();
    walk(r + "//");
    std::vector<std::string> doubled;
    for (const std::string& e : plain) {
        std::string d = e;
        if (d.rfind(r + "/", 2) == 2) d.insert(2 + r.size(), "/");
        doubled.push_back(d);
    }
    EXPECT_EQ(rec.events, doubled);
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), "F:" + r + "//a.mp3"), 1);
}

TEST_F(Walker, TheFileSystemRootGivesSingleSeparators)
{
    // "/" and an empty root both walk the root folder; its entries are "/name", never "//name".
    for (const std::string& root : {std::string("/"), std::string()}) {
        rec.events.clear();
        walker.SousDossier = false;
        walker.Filtre = "*.no-such-extension-here";
        walk(root);
        const auto folders = rec.folders();
        ASSERT_FALSE(folders.empty()) << "root '" << root << "'";
        for (const std::string& d : folders) {
            EXPECT_EQ(d[0], '/');
            EXPECT_NE(d[1], '/') << d;
        }
        EXPECT_NE(std::find(folders.begin(), folders.end(), "/tmp"), folders.end());
    }
}

TEST_F(Walker, MasksInTurnThenSubFolders)
{
    const std::string r = t.root();
    for (const char* n : {"1.mp3", "2.wav", "3.mp3", "4.wav", "5.MP3", "6.txt"}) t.file(n);
    t.file("sub/7.mp3");
    t.file("sub/8.wav");
    walker.Filtre = "*.mp3;*.wav";
    walk(r);

    // All MP3 files of the root (any case), then all its WAV files, then the sub-folder.
    ASSERT_EQ(rec.events.size(), 2u + 5u + 1u + 2u);
    std::set<std::string> first(rec.events.begin() + 1, rec.events.begin() + 4);
    std::set<std::string> second(rec.events.begin() + 4, rec.events.begin() + 6);
    EXPECT_EQ(first, (std::set<std::string>{"F:" + r + "/1.mp3", "F:" + r + "/3.mp3", "F:" + r + "/5.MP3"}));
    EXPECT_EQ(second, (std::set<std::string>{"F:" + r + "/2.wav", "F:" + r + "/4.wav"}));
    EXPECT_THAT(std::vector<std::string>(rec.events.begin() + 6, rec.events.end()),
                ElementsAre("D:" + r + "/sub", "F:" + r + "/sub/7.mp3", "F:" + r + "/sub/8.wav", "X"));

    // A file that matches two masks is reported twice; an empty mask matches nothing.
    rec.events.clear();
    walker.Filtre = "*.mp3;;1.*;";
    walker.SousDossier = false;
    walk(r);
    EXPECT_EQ(rec.count("F:" + r + "/1.mp3"), 2u);
    EXPECT_EQ(rec.files().size(), 4u);
}

TEST_F(Walker, HiddenEntriesAreWalked)
{
    const std::string r = t.root();
    t.file(".hidden.mp3");
    t.file(".cache/inside.mp3");
    walk(r);
    EXPECT_THAT(rec.files(), UnorderedElementsAre(r + "/.hidden.mp3", r + "/.cache/inside.mp3"));
    EXPECT_THAT(rec.folders(), ElementsAre(r + "/.cache"));
}

TEST_F(Walker, AFolderNamedLikeAFileIsWalkedNotReported)
{
    const std::string r = t.root();
    t.file("Album.mp3/01.mp3");
    walk(r);
    EXPECT_THAT(rec.files(), ElementsAre(r + "/Album.mp3/01.mp3"));
    EXPECT_THAT(rec.folders(), ElementsAre(r + "/Album.mp3"));
    EXPECT_LT(rec.indexOf("D:" + r + "/Album.mp3"), rec.indexOf("F:" + r + "/Album.mp3/01.mp3"));
}

TEST_F(Walker, StopInsideOnFichierEndsEverything)
{
    const std::string r = t.root();
    for (int i = 0; i < 5; ++i) t.file(std::to_string(i) + ".mp3");
    t.file("s1/x.mp3");
    t.file("s2/x.mp3");

    walker.OnFichier = [&](TScruteDossier* s, const std::string& n) {
        rec.events.push_back("F:" + n);
        s->Stop = true;
    };
    walk(r);
    EXPECT_EQ(rec.files().size(), 1u);
    EXPECT_TRUE(rec.folders().empty());
    EXPECT_EQ(rec.count("X"), 1u);
    EXPECT_EQ(rec.events.back(), "X");

    // Stopped deep down: nothing of the siblings or of the rest of the parent follows.
    rec.events.clear();
    walker.Filtre = "x.mp3";
    walk(r);
    ASSERT_EQ(rec.folders().size(), 1u);
    EXPECT_THAT(rec.files(), ElementsAre(rec.folders()[0] + "/x.mp3"));
    EXPECT_EQ(rec.count("X"), 1u);
}

TEST_F(Walker, StopBeforeTheWalkIsCleared)
{
    smallTree();
    walker.Stop = true;  // left over from an earlier walk
    walker.OnExecute = [&](TScruteDossier* s) {
        rec.events.push_back("E");
        s->Stop = true;
    };
    int created = 0;
    walker.OnCreate = [&](TScruteDossier*) { ++created; };
    walk(t.root());
    EXPECT_EQ(rec.files().size(), 4u);
    EXPECT_EQ(rec.folders().size(), 3u);
    EXPECT_EQ(rec.events.front(), "E");
    EXPECT_EQ(created, 0);
}

TEST_F(Walker, SizeAndDosTimeOfEachFile)
{
    const std::string p = t.file("song.mp3", std::string(1234, 'x'));
    struct tm when {};
    when.tm_year = 2021 - 1900;
    when.tm_mon = 5;
    when.tm_mday = 15;
    when.tm_hour = 13;
    when.tm_min = 45;
    when.tm_sec = 30;
    when.tm_isdst = -1;
    const time_t stamp = mktime(&when);
    struct timeval times[2] = {{stamp, 0}, {stamp, 0}};
    ASSERT_EQ(utimes(p.c_str(), times), 0);

    int32_t size = -1, date = -1;
    std::string current;
    walker.OnFichier = [&](TScruteDossier* s, const std::string& n) {
        size = s->TailleFichier();
        date = s->DateFichier();
        current = s->FichierCourant;
        EXPECT_EQ(n, s->FichierCourant);
    };
    walk(t.root());
    EXPECT_EQ(size, 1234);
    const int32_t dos = (41 << 25) | (6 << 21) | (15 << 16) | (13 << 11) | (45 << 5) | 15;
    EXPECT_EQ(date, dos);
    EXPECT_EQ(current, p);
    // The last values stay after the walk.
    EXPECT_EQ(walker.TailleFichier(), 1234);
    EXPECT_EQ(walker.FichierCourant, p);

    // A new walk starts from empty values; without OnFichier they stay empty.
    walker.OnFichier = nullptr;
    t.dir("only-a-folder");
    walk(t.root());
    EXPECT_EQ(walker.FichierCourant, "");
    EXPECT_EQ(walker.TailleFichier(), 0);
    EXPECT_EQ(walker.DateFichier(), 0);
    EXPECT_EQ(walker.DossierCourant, t.path("only-a-folder"));
}

TEST_F(Walker, SizesAskedForSomeFilesOnlyAreThoseFiles)
{
    // Distinct sizes in several folders; only every other report asks for its size.
    std::map<std::string, int32_t> sizeOf;
    for (int i = 0; i < 12; ++i) {
        const std::string name =
            "f" + std::to_string(i % 3) + "/g" + std::to_string(i % 2) + "/s" + std::to_string(i) + ".mp3";
        sizeOf[t.file(name, std::string(size_t(100 + 37 * i), 'x'))] = 100 + 37 * i;
    }
    t.dir("f0/zz-no-files/deeper");
    int reports = 0, wrong = 0;
    walker.OnFichier = [&](TScruteDossier* s, const std::string& n) {
        if (reports++ % 2 == 0) return;
        if (s->TailleFichier() != sizeOf.at(n)) ++wrong;
        if (s->TailleFichier() != sizeOf.at(n)) ++wrong;  // asked twice: still the same
    };
    walk(t.root());
    EXPECT_EQ(reports, 12);
    EXPECT_EQ(wrong, 0);
    // After the walk, whose last folders held no file, the values are the last file's.
    ASSERT_EQ(sizeOf.count(walker.FichierCourant), 1u);
    EXPECT_EQ(walker.TailleFichier(), sizeOf.at(walker.FichierCourant));
    EXPECT_NE(walker.DateFichier(), 0);
}

TEST_F(Walker, ALinkToAFileGivesTheSizeOfWhatItLeadsTo)
{
    const std::string target = t.file("real/song.mp3", std::string(777, 'x'));
    ASSERT_EQ(symlink(target.c_str(), t.path("link.mp3").c_str()), 0);
    std::map<std::string, int32_t> sizes;
    walker.OnFichier = [&](TScruteDossier* s, const std::string& n) { sizes[n] = s->TailleFichier(); };
    walk(t.root());
    EXPECT_EQ(sizes, (std::map<std::string, int32_t>{{t.path("link.mp3"), 777}, {target, 777}}));
}

// What could not be read, as "F:" or "D:" (file or folder), the path and its error number.
std::vector<std::string> unreadable(const TScruteDossier& w)
{
    std::vector<std::string> out;
    for (const TScruteFailure& f : w.Unreadable())
        out.push_back((f.folder ? "D:" : "F:") + f.path + " " + std::to_string(f.error));
    return out;
}

TEST_F(Walker, MissingFoldersYieldNothingUnreadableOnesAreKept)
{
    const std::string r = t.root();
    walk(r + "/missing");
    EXPECT_THAT(rec.events, ElementsAre("E", "X"));
    EXPECT_THAT(unreadable(walker), IsEmpty());  // nothing there to miss

    t.file("a.mp3");
    t.file("locked/hidden-inside.mp3");
    t.file("open/b.mp3");
    // A link to a file behind the locked folder: the file it names cannot be reached.
    ASSERT_EQ(symlink("locked/hidden-inside.mp3", t.path("behind.mp3").c_str()), 0);
    ASSERT_EQ(chmod(t.path("locked").c_str(), 0), 0);
    // As an ordinary user: root reads a locked folder anyway.
    const int code = asOrdinaryUser([&] {
        Recorder child;
        TScruteDossier w;
        w.Filtre = "*.mp3";
        child.attach(w);
        w.Dossier = r;
        w.Execute();
        const auto fileList = child.files();
        const auto folderList = child.folders();
        const std::set<std::string> files(fileList.begin(), fileList.end());
        const std::set<std::string> folders(folderList.begin(), folderList.end());
        if (files != std::set<std::string>{r + "/a.mp3", r + "/open/b.mp3"}) return 1;
        if (folders != std::set<std::string>{r + "/locked", r + "/open"}) return 2;
        if (unreadable(w) != std::vector<std::string>{"F:" + r + "/behind.mp3 " + std::to_string(EACCES),
                                                      "D:" + r + "/locked " + std::to_string(EACCES)})
            return 3;
        return child.count("X") == 1 && child.events.back() == "X" ? 0 : 4;
    });
    chmod(t.path("locked").c_str(), 0755);
    EXPECT_EQ(code, 0);
    // Root reads it all, and the next walk forgets what the last one missed.
    walk(r);
    EXPECT_THAT(unreadable(walker), IsEmpty());
}

// Paths longer than the system takes are missed and kept; links that lead nowhere are no files.
TEST_F(Walker, PathsTooLongAreKeptLinksToNothingAreNoFiles)
{
    namespace st = sonoverne::test;
    const std::string r = t.root();
    // A folder whose own path fits, with a file that fits, one that does not, and a sub-folder
    // that does not.
    const st::DeepTree cleanup(r + "/" + std::string(200, 'a'));
    const std::string deep = st::deepPath(r, PATH_MAX - 300);
    ASSERT_LT(deep.size(), size_t(PATH_MAX) - 100);
    const std::string fits = deep + "/f.mp3", tooLong = deep + "/" + std::string(250, 'n') + ".mp3";
    const std::string beyond = deep + "/" + std::string(250, 'd');
    ASSERT_TRUE(st::writeDeep(fits, "x"));
    ASSERT_TRUE(st::writeDeep(tooLong, "x"));
    ASSERT_TRUE(st::writeDeep(beyond + "/never.mp3", "x"));
    t.file("real.mp3");
    ASSERT_EQ(symlink("nowhere.mp3", t.path("gone.mp3").c_str()), 0);
    ASSERT_EQ(symlink("loop.mp3", t.path("loop.mp3").c_str()), 0);
    // Two masks that both match: each file missed is kept once.
    walker.Filtre = "*.mp3;*.MP3";
    walk(r);
    EXPECT_THAT(rec.files(), UnorderedElementsAre(r + "/real.mp3", r + "/real.mp3", fits, fits));
    EXPECT_THAT(unreadable(walker), ElementsAre("F:" + tooLong + " " + std::to_string(ENAMETOOLONG),
                                                "D:" + beyond + " " + std::to_string(ENAMETOOLONG)));
}

TEST_F(Walker, LinksBackIntoTheTreeDoNotLoop)
{
    const std::string r = t.root();
    t.file("a.mp3");
    t.file("one/b.mp3");
    t.file("two/c.mp3");
    ASSERT_EQ(symlink("..", t.path("one/up").c_str()), 0);
    ASSERT_EQ(symlink("../two", t.path("one/to-two").c_str()), 0);
    ASSERT_EQ(symlink("../one", t.path("two/to-one").c_str()), 0);
    walker.MaxPenetration = -1;
    walk(r);
    // Every file once, whichever way each folder was first reached.
    std::vector<std::string> names;
    for (const std::string& f : rec.files()) names.push_back(f.substr(f.rfind('/') + 1));
    EXPECT_THAT(names, UnorderedElementsAre("a.mp3", "b.mp3", "c.mp3"));
    EXPECT_EQ(rec.count("X"), 1u);
    EXPECT_LT(rec.events.size(), 20u);
}

TEST_F(Walker, RawByteNamesArriveUnchanged)
{
    const std::string r = t.root();
    const std::string latin1 = "\xE9t\xE9 \xE0 Z\xFCrich.mp3";  // not UTF-8
    const std::string folder = "dossier \xFF\xFE";
    t.file(latin1);
    t.file(folder + "/" + "caf\xE9.MP3");
    walk(r);
    EXPECT_THAT(rec.files(), UnorderedElementsAre(r + "/" + latin1, r + "/" + folder + "/caf\xE9.MP3"));
    EXPECT_THAT(rec.folders(), ElementsAre(r + "/" + folder));
}

TEST_F(Walker, EveryFileOfAVeryLargeFolderIsReported)
{
    const int count = 10500;
    std::vector<std::string> expected;
    for (int i = 0; i < count; ++i) expected.push_back(t.file("big/" + std::to_string(i) + ".mp3"));
    t.file("big/zz/last.mp3");
    expected.push_back(t.path("big/zz/last.mp3"));
    walk(t.root());
    // Compared sorted: matching ten thousand names unordered costs gmock minutes.
    std::vector<std::string> files = rec.files();
    std::sort(files.begin(), files.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files.size(), expected.size());
    const auto [got, wanted] = std::mismatch(files.begin(), files.end(), expected.begin(), expected.end());
    EXPECT_TRUE(got == files.end() && wanted == expected.end())
        << "first difference: " << (got == files.end() ? "(none)" : *got) << " against "
        << (wanted == expected.end() ? "(none)" : *wanted);
}

}  // namespace
