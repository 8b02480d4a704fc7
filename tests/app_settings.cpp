// Reading SETTINGS.TXT: pairs counted by position, labels ignored, the
// quirks of unreadable numbers, and a missing file reported by name.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "app/settings.h"
#include "render/screen.h"

namespace {

struct Parsed {
    int v[SettingsPairs] = {0, 0, 0, 0, 0, 0, 0};
};

Parsed parse(const char* text) {
    Parsed p;
    parseSettings(text, p.v);
    return p;
}

TEST(Settings, PairsAreReadByPositionOverAnyLines) {
    const Parsed p = parse("WIDTH 800 HEIGHT\n600\n\nSHADOW\t128 TEXTURE 256 x 1 MUSIC 0");
    EXPECT_EQ(p.v[0], 800);
    EXPECT_EQ(p.v[1], 600);
    EXPECT_EQ(p.v[2], 128);
    EXPECT_EQ(p.v[3], 256);
    EXPECT_EQ(p.v[4], 1);
    EXPECT_EQ(p.v[5], 0);
    EXPECT_EQ(p.v[6], 0); // no seventh pair: full screen
    EXPECT_EQ(parse("a 1 b 2 c 3 d 4 e 5 f 6 WINDOWED 1").v[6], 1);
    EXPECT_EQ(parse("a +7 b -3").v[1], -3);
}

TEST(Settings, AFileEndingEarlyLeavesTheRestAtZero) {
    const Parsed p = parse("W 640 H 480 S 64 T 128");
    EXPECT_EQ(p.v[3], 128);
    EXPECT_EQ(p.v[4], 0);
    EXPECT_EQ(p.v[5], 0);
    EXPECT_EQ(parse("").v[0], 0);
    EXPECT_EQ(parse("LABEL").v[0], 0);
}

TEST(Settings, AValueThatIsNoNumberShiftsEveryLaterNumberOnePairOn) {
    const Parsed p = parse("WIDTH abc HEIGHT 600 SHADOW 128 TEXTURE 256 HARDWARE 1 MUSIC 1");
    EXPECT_EQ(p.v[0], 0); // not read
    EXPECT_EQ(p.v[1], 0); // its label was "abc", its number "HEIGHT"
    EXPECT_EQ(p.v[2], 600);
    EXPECT_EQ(p.v[3], 128);
    EXPECT_EQ(p.v[4], 256);
    EXPECT_EQ(p.v[5], 1);
    EXPECT_EQ(p.v[6], 0); // a shifted number never opens a window
    const Parsed music = parse("W 800 H 600 S 128 T 256 HARDWARE yes MUSIC 1 WINDOWED 0");
    EXPECT_EQ(music.v[5], 0);
    EXPECT_EQ(music.v[6], 0);
}

TEST(Settings, LongLabelsAndHugeNumbersAreHandledSafely) {
    // A label longer than 99 characters: the rest is the next token, as a
    // bounded read leaves it, and nothing overflows.
    const std::string longLabel(150, 'L');
    const Parsed p = parse((longLabel + " 800 H 600").c_str());
    EXPECT_EQ(p.v[0], 0);
    const Parsed huge = parse("W 99999999999999999999 H -99999999999999999999");
    EXPECT_EQ(huge.v[0], INT_MAX);
    EXPECT_EQ(huge.v[1], INT_MIN);
}

// Runs in a fresh temporary folder, as the game runs in its own.
class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        std::string pattern = ::testing::TempDir() + "korvath_settings_XXXXXX";
        folder = pattern;
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        ASSERT_EQ(chdir(folder.c_str()), 0);
    }
    void TearDown() override {
        std::remove("SETTINGS.TXT");
        ASSERT_EQ(chdir(previous), 0);
        rmdir(folder.c_str());
    }
    char previous[4096] = {};
    std::string folder;
};

TEST_F(SettingsFile, IsReadIntoTheGlobals) {
    FILE* f = std::fopen("SETTINGS.TXT", "w");
    std::fputs("WIDTH 1024\nHEIGHT 768\nSHADOW 64\nTEXTURES 128\nHARDWARE 0\nMUSIC 1\n", f);
    std::fclose(f);
    ASSERT_EQ(loadSettings(), nullptr);
    EXPECT_EQ(ScreenWidth, 1024);
    EXPECT_EQ(ScreenHeight, 768);
    EXPECT_EQ(ShadowTextureSize, 64);
    EXPECT_EQ(TextureSize, 128);
    EXPECT_EQ(UseHardware, 0);
    EXPECT_EQ(MusicEnabled, 1);
    EXPECT_EQ(WindowedMode, 0);
}

TEST_F(SettingsFile, MissingOrUnreadableIsReportedByName) {
    const char* failure = loadSettings();
    ASSERT_NE(failure, nullptr);
    EXPECT_NE(std::string(failure).find("SETTINGS.TXT"), std::string::npos);
    ASSERT_EQ(mkdir("SETTINGS.TXT", 0700), 0); // opens, but cannot be read
    failure = loadSettings();
    rmdir("SETTINGS.TXT");
    ASSERT_NE(failure, nullptr);
    EXPECT_NE(std::string(failure).find("SETTINGS.TXT"), std::string::npos);
}

TEST(ShippedSettings, AreTheGamesDefaults) {
    const std::string path = std::string(KORVATH_SOURCE_DIR) + "/SETTINGS.TXT";
    FILE* f = std::fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char text[1024] = {};
    const size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    text[n] = 0;
    const Parsed p = parse(text);
    const int expected[SettingsPairs] = {800, 600, 128, 256, 1, 1, 0};
    for (int i = 0; i < SettingsPairs; ++i) EXPECT_EQ(p.v[i], expected[i]) << "pair " << i + 1;
}

} // namespace
