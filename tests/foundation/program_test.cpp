// The program itself, started without a display: it walks its own folder (where the build lays
// the sample collection), takes a picture of its main window and ends on its own.
#include "TempTree.h"

#include <cstdint>
#include <cstring>

namespace {

uint32_t bigEndian(const std::string& s, size_t at)
{
    return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
           (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
}

TEST(Program, StartsOffscreenWalksAndTakesItsPicture)
{
    TempTree t;
    const std::string program = std::string(SONOVERNE_PROGRAM_DIR) + "/Sonoverne";
    const std::string picture = t.path("main.png");
    const std::string config = t.path("config");
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;

    const int code = inChild([&] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("SONOVERNE_SCREENSHOT", picture.c_str(), 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        return 120;
    });
    EXPECT_EQ(code, 0);

    const std::string png = TempTree::read(picture);
    ASSERT_GT(png.size(), 100u) << "no picture at " << picture;
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_GE(bigEndian(png, 16), 200u);  // width
    EXPECT_GE(bigEndian(png, 20), 150u);  // height
    // Without a settings file the program reads its defaults and writes nothing.
    EXPECT_FALSE(std::filesystem::exists(config + "/Sonoverne.ini"));
}

}  // namespace
