// Version blocks read back from files (the test program's own, written by the build, and ELF
// files made here, whole, truncated and damaged), and the version splitter and comparison.
#include "VersionInfo.h"
#include "UpdateScript.h"
#include "VyxPravomel.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

namespace {

std::string SelfPath()
{
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string Get(TInfo info, const std::string& path)
{
    const char* value = GetFileInfos(info, path.c_str());
    return value ? std::string(value) : std::string("<nil>");
}

// A folder of this process alone: test programs of several builds may run at once.
const std::string& PrivateDir()
{
    static const std::string dir = [] {
        std::string pattern = ::testing::TempDir() + "vyx_version_XXXXXX";
        return std::string(mkdtemp(pattern.data()) ? pattern : ::testing::TempDir()) + "/";
    }();
    return dir;
}

class TempFiles : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::string path = PrivateDir() + name;
        std::ofstream(path, std::ios::binary) << bytes;
        made_.push_back(path);
        return path;
    }
    void TearDown() override
    {
        for (const std::string& p : made_) std::remove(p.c_str());
    }
    static void TearDownTestSuite() { rmdir(PrivateDir().c_str()); }
    std::vector<std::string> made_;
};

// A version block in the layout the build writes.
std::string Block(const std::vector<std::pair<std::string, std::string>>& records)
{
    std::string b = "VYXVINFO";
    auto le = [&b](std::size_t v, int width) {
        for (int i = 0; i < width; ++i) b += char((v >> (8 * i)) & 0xff);
    };
    le(records.size(), 4);
    for (const auto& [key, value] : records) {
        le(key.size(), 2);
        le(value.size(), 2);
        b += key + value;
    }
    return b;
}

std::string FrenchBlock(const std::string& productName)
{
    return Block({{"\\VarFileInfo\\Translation", std::string("\x0c\x04\xe4\x04", 4)},
                  {"\\StringFileInfo\\040C04E4\\ProductName", productName},
                  {"\\StringFileInfo\\040C04E4\\FileVersion", "2.3.4.5"}});
}

// A minimal ELF file: null section, section-name table, one section of the given name.
std::string Elf(const std::string& sectionName, const std::string& contents, bool is64 = true, bool bigEndian = false)
{
    std::string names = std::string(1, '\0') + ".shstrtab" + '\0' + sectionName + '\0';
    const std::size_t ehSize = is64 ? 64 : 52, shSize = is64 ? 64 : 40;
    const std::size_t namesAt = ehSize, dataAt = namesAt + names.size();
    const std::size_t shAt = dataAt + contents.size();
    std::string out(ehSize, '\0');
    auto put = [&](std::string& s, std::size_t at, std::uint64_t v, int width) {
        for (int i = 0; i < width; ++i) s[at + (bigEndian ? width - 1 - i : i)] = char((v >> (8 * i)) & 0xff);
    };
    out[0] = 0x7f;
    out[1] = 'E';
    out[2] = 'L';
    out[3] = 'F';
    out[4] = is64 ? 2 : 1;
    out[5] = bigEndian ? 2 : 1;
    out[6] = 1;
    if (is64) {
        put(out, 40, shAt, 8);
        put(out, 58, shSize, 2);
        put(out, 60, 3, 2);
        put(out, 62, 1, 2);
    } else {
        put(out, 32, shAt, 4);
        put(out, 46, shSize, 2);
        put(out, 48, 3, 2);
        put(out, 50, 1, 2);
    }
    out += names + contents;
    auto header = [&](std::uint64_t name, std::uint64_t type, std::uint64_t offset, std::uint64_t size) {
        std::string h(shSize, '\0');
        put(h, 0, name, 4);
        put(h, 4, type, 4);
        if (is64) {
            put(h, 24, offset, 8);
            put(h, 32, size, 8);
        } else {
            put(h, 16, offset, 4);
            put(h, 20, size, 4);
        }
        return h;
    };
    out += header(0, 0, 0, 0);
    out += header(1, 3, namesAt, names.size());
    out += header(11, 1, dataAt, contents.size());
    return out;
}

}  // namespace

TEST(OwnVersionBlock, TheBuildWritesTheValuesGetFileInfosReadsBack)
{
    const std::string self = SelfPath();
    EXPECT_EQ(Get(TInfo::ProductName, self), "Sonoverne");
    EXPECT_EQ(Get(TInfo::FileVersion, self), "0.9.9.8");
    EXPECT_EQ(Get(TInfo::ProductVersion, self), "0.9.9.8");
    EXPECT_EQ(Get(TInfo::OriginalFilename, self), "Sonoverne");
    EXPECT_EQ(Get(TInfo::FileDescription, self), "Gestion de collections MP3 — test");
    // Not given to the build: no such value.
    EXPECT_EQ(Get(TInfo::CompanyName, self), "<nil>");
    EXPECT_EQ(Get(TInfo::LegalCopyright, self), "<nil>");
}

TEST(OwnVersionBlock, ASecondCallReplacesTheKeptText)
{
    const std::string self = SelfPath();
    const char* first = GetFileInfos(TInfo::ProductName, self.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "Sonoverne");
    const char* second = GetFileInfos(TInfo::FileVersion, self.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second, "0.9.9.8");
    EXPECT_EQ(GetFileInfos(TInfo::ProductName, "/nonexistent/file"), nullptr);
}

TEST_F(TempFiles, FilesWithoutABlockGiveNil)
{
    EXPECT_EQ(Get(TInfo::ProductName, Write("text", "[General]\nProductName=Sonoverne\n")), "<nil>");
    EXPECT_EQ(Get(TInfo::ProductName, Write("empty", "")), "<nil>");
    EXPECT_EQ(Get(TInfo::ProductName, Write("other-section", Elf(".data", FrenchBlock("X")))), "<nil>");
    EXPECT_EQ(Get(TInfo::ProductName, "/bin/sh"), "<nil>");
    EXPECT_EQ(Get(TInfo::ProductName, "/nonexistent/file"), "<nil>");
    EXPECT_EQ(Get(TInfo::ProductName, PrivateDir()), "<nil>");
    EXPECT_EQ(GetFileInfos(TInfo::ProductName, nullptr), nullptr);
}

TEST_F(TempFiles, AFifoIsRefusedWithoutWaitingForAWriter)
{
    const std::string path = PrivateDir() + "fifo";
    std::remove(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    made_.push_back(path);
    EXPECT_EQ(Get(TInfo::ProductName, path), "<nil>");
}

// The update script read from a local path: a FIFO or a folder in its place is refused at once
// (a reader that waited would be ended by the alarm).
TEST_F(TempFiles, AScriptThatIsNoRegularFileIsRefusedWithoutWaiting)
{
    const std::string fifo = PrivateDir() + "script-fifo";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    made_.push_back(fifo);
    alarm(30);
    vyx::TUpdateScript script;
    EXPECT_FALSE(script.LoadFromFile(QString::fromStdString(fifo)));
    EXPECT_FALSE(script.LoadFromFile(QString::fromStdString(PrivateDir())));
    alarm(0);
    EXPECT_TRUE(script.LoadFromFile(QString::fromStdString(Write("script", "[General]\nEMail=a@b\n"))));
    EXPECT_EQ(script.ReadString("general", "email", "?"), "a@b");
}

TEST_F(TempFiles, ValuesAreLookedUpUnderTheBlocksOwnTranslation)
{
    EXPECT_EQ(Get(TInfo::ProductName, Write("fr", Elf(".vyx_version", FrenchBlock("Produit")))), "Produit");
    EXPECT_EQ(Get(TInfo::FileVersion, Write("fr32be", Elf(".vyx_version", FrenchBlock("P"), false, true))), "2.3.4.5");
    // English block: the text is found under 04090000 only.
    const std::string english = Block({{"\\VarFileInfo\\Translation", std::string("\x09\x04\x00\x00", 4)},
                                       {"\\StringFileInfo\\04090000\\ProductName", "Product"},
                                       {"\\StringFileInfo\\040C04E4\\FileVersion", "9.9.9.9"}});
    const std::string path = Write("en", Elf(".vyx_version", english));
    EXPECT_EQ(Get(TInfo::ProductName, path), "Product");
    EXPECT_EQ(Get(TInfo::FileVersion, path), "<nil>");
    // No translation: the empty language text matches nothing.
    const std::string none = Block({{"\\StringFileInfo\\040C04E4\\ProductName", "P"}});
    EXPECT_EQ(Get(TInfo::ProductName, Write("none", Elf(".vyx_version", none))), "<nil>");
    // An empty value counts as none.
    EXPECT_EQ(Get(TInfo::ProductName, Write("emptyvalue", Elf(".vyx_version", FrenchBlock("")))), "<nil>");
}

TEST_F(TempFiles, TruncatedAndDamagedFilesNeverCrashTheReader)
{
    const std::string good = Elf(".vyx_version", FrenchBlock("Sonoverne"));
    const std::string path = PrivateDir() + "damaged";
    made_.push_back(path);
    int found = 0;
    for (std::size_t length = 0; length <= good.size(); ++length) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << good.substr(0, length);
        const std::string value = Get(TInfo::ProductName, path);
        found += value == "Sonoverne";
        EXPECT_TRUE(value == "<nil>" || length == good.size()) << "length " << length;
    }
    EXPECT_EQ(found, 1);

    std::mt19937 random(20261209);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = good;
        const int flips = 1 + int(random() % 8);
        for (int i = 0; i < flips; ++i) bytes[random() % bytes.size()] = char(random() & 0xff);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        const char* value = GetFileInfos(TInfo::ProductName, path.c_str());
        if (value) { EXPECT_LT(std::strlen(value), 65536u); }
    }
}

TEST_F(TempFiles, HostileHeadersAreRejected)
{
    const std::string good = Elf(".vyx_version", FrenchBlock("Sonoverne"));
    auto patched = [&](std::size_t at, const std::string& bytes) {
        std::string s = good;
        s.replace(at, bytes.size(), bytes);
        return Get(TInfo::ProductName, Write("patched", s));
    };
    const std::size_t shAt = good.size() - 3 * 64;
    EXPECT_EQ(patched(40, std::string("\xff\xff\xff\xff\xff\xff\xff\x7f", 8)), "<nil>");  // table far away
    EXPECT_EQ(patched(40, std::string("\xf0\xff\xff\xff\xff\xff\xff\xff", 8)), "<nil>");  // offset wraps
    EXPECT_EQ(patched(58, std::string("\x10\x00", 2)), "<nil>");                          // entries too small
    // A count beyond the file: the headers that are there are read, the rest never.
    EXPECT_EQ(patched(60, std::string("\xff\xfe", 2)), "Sonoverne");
    EXPECT_EQ(patched(62, std::string("\x09\x00", 2)), "<nil>");  // name table index out of range
    EXPECT_EQ(patched(60, std::string("\x00\x00", 2)), "<nil>");  // extended count of 0
    // The block section claims more bytes than the file holds.
    EXPECT_EQ(patched(shAt + 2 * 64 + 32, std::string("\x00\x00\x00\x40\x00\x00\x00\x00", 8)), "<nil>");
    // Its name offset points past the name table.
    EXPECT_EQ(patched(shAt + 2 * 64, std::string("\xff\xff\x00\x00", 4)), "<nil>");
    // A block that announces more records than it holds.
    std::string block = FrenchBlock("Sonoverne");
    block[8] = '\x7f';
    EXPECT_EQ(Get(TInfo::ProductName, Write("records", Elf(".vyx_version", block))), "<nil>");
    // A section name that only starts like ours.
    EXPECT_EQ(Get(TInfo::ProductName, Write("prefix", Elf(".vyx_versions", FrenchBlock("S")))), "<nil>");
}

TEST(DispatchVersionInfos, SplitsDigitsAndDotsOnly)
{
    TVersion v{9, 9, 9, 9};
    EXPECT_TRUE(DispatchVersionInfos("V1.2.3.4 beta", &v));
    EXPECT_EQ((std::vector<int>{v.Major, v.Minor, v.Release, v.Build}), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(DispatchVersionInfos("10.200.3000.40000", &v));
    EXPECT_EQ((std::vector<int>{v.Major, v.Minor, v.Release, v.Build}), (std::vector<int>{10, 200, 3000, 40000}));
    // Leading zeros no longer leave digits in front of the next piece.
    EXPECT_TRUE(DispatchVersionInfos("1.02.3.4", &v));
    EXPECT_EQ((std::vector<int>{v.Major, v.Minor, v.Release, v.Build}), (std::vector<int>{1, 2, 3, 4}));
}

TEST(DispatchVersionInfos, APieceThatIsNotAnIntegerRaisesTheConversionError)
{
    struct Case {
        const char* text;
        const char* message;
        std::vector<int> kept;
    };
    const Case cases[] = {
        {"1.2", "'' n'est pas une valeur entière correcte", {1, 0, 0, 0}},
        {"", "'' n'est pas une valeur entière correcte", {0, 0, 0, 0}},
        {"1..2.3", "'' n'est pas une valeur entière correcte", {1, 0, 0, 0}},
        {"1.2.3.4.5", "'4.5' n'est pas une valeur entière correcte", {1, 2, 3, 0}},
        {"1.2.3.", "'' n'est pas une valeur entière correcte", {1, 2, 3, 0}},
        {"99999999999.1.2.3", "'99999999999' n'est pas une valeur entière correcte", {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        TVersion v{7, 7, 7, 7};
        try {
            vyx::DispatchVersion(c.text, v);
            ADD_FAILURE() << c.text << " split";
        } catch (const vyx::EConvertError& e) {
            EXPECT_STREQ(e.what(), c.message) << c.text;
        }
        EXPECT_EQ((std::vector<int>{v.Major, v.Minor, v.Release, v.Build}), c.kept) << c.text;
        EXPECT_FALSE(DispatchVersionInfos(c.text, &v)) << c.text;
    }
    EXPECT_FALSE(DispatchVersionInfos(nullptr, nullptr));
}

TEST(NewerAvailable, ComparesMajorThenMinorReleaseAndBuild)
{
    auto newer = [](TVersion online, TVersion installed) { return vyx::NewerAvailable(online, installed); };
    EXPECT_FALSE(newer({1, 4, 9, 0}, {1, 5, 0, 0}));
    EXPECT_TRUE(newer({1, 5, 0, 1}, {1, 5, 0, 0}));
    EXPECT_TRUE(newer({1, 5, 0, 0}, {1, 4, 9, 9}));
    EXPECT_TRUE(newer({2, 0, 0, 0}, {1, 9, 9, 9}));
    EXPECT_FALSE(newer({1, 5, 0, 0}, {1, 5, 0, 0}));
    EXPECT_FALSE(newer({0, 9, 9, 9}, {1, 0, 0, 0}));
}
