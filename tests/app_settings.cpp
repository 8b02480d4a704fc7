// Reading SETTINGS.TXT: pairs counted by position, labels ignored, the
// quirks of unreadable numbers and long labels, and a missing file reported
// by name.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "app/settings.h"
#include "render/screen.h"

namespace {

namespace fs = std::filesystem;
using Values = std::array<int, SettingsPairs>;

TEST(Settings, PairsAreReadByPositionWithTheQuirksOfFormattedInput) {
    const std::string label99(99, 'L'), label100(100, 'L');
    const std::pair<std::string, Values> cases[] = {
        {"WIDTH 800 HEIGHT\n600\n\nSHADOW\t128 TEXTURE 256 x 1 MUSIC 0",
         {800, 600, 128, 256, 1, 0, 0, 0}},
        {"a 1 b 2 c 3 d 4 e 5 f 6 WINDOWED 1 ANIMATION 7", {1, 2, 3, 4, 5, 6, 1, 7}},
        {"a +7 b -3", {7, -3, 0, 0, 0, 0, 0, 0}},
        {"W 640 H 480 S 64 T 128", {640, 480, 64, 128, 0, 0, 0, 0}}, // ends early
        {"LABEL", {}},
        // A value that is no number is the next label: every later number lands one pair on.
        {"WIDTH abc HEIGHT 600 SHADOW 128 TEXTURE 256 HARDWARE 1 MUSIC 1",
         {0, 0, 600, 128, 256, 1, 0, 0}},
        // ... but never into the optional pairs: a shifted number never opens a window.
        {"W 800 H 600 S 128 T 256 HARDWARE yes MUSIC 1 WINDOWED 0 ANIMATION 0",
         {800, 600, 128, 256, 0, 0, 0, 0}},
        // A label word keeps 99 characters; the rest is the next token.
        {label99 + " 800 H 600", {800, 600, 0, 0, 0, 0, 0, 0}},
        {label100 + " 800 H 600", {0, 800, 600, 0, 0, 0, 0, 0}},
        // Beyond the int range a number saturates (26 digits would wrap to the wrong sign).
        {"W " + std::string(26, '9') + " H -" + std::string(26, '9'),
         {INT_MAX, INT_MIN, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& [text, expected] : cases) {
        Values v{};
        parseSettings(text.c_str(), v.data());
        EXPECT_EQ(v, expected) << text.substr(0, 70) << " (" << text.size() << " characters)";
    }
}

// Only the window pair's number changes, every other byte kept; a file without
// the pair gets it as a line of its own; a file whose first six numbers are not
// all there is left alone.
TEST(Settings, TheWindowPairIsRewrittenInPlace) {
    const std::string six = "WIDTH 800\r\nHEIGHT   600\n\nS 128 T 256 H 1 MUSIC 1";
    const struct {
        std::string text;
        int windowed;
        std::string expected; // "" when the text is refused
    } cases[] = {
        {six + "\nWINDOWED 0\nANIMATION 1\n", 1, six + "\nWINDOWED 1\nANIMATION 1\n"},
        {six + "\tW\t+0001   ", 0, six + "\tW\t0   "},
        {six + " W yes A 1", 1, six + " W 1 A 1"},
        {six + " WINDOWED", 1, six + " WINDOWED 1"},
        {six, 1, six + "\nWINDOWED 1\n"},
        {six + "\n", 0, six + "\nWINDOWED 0\n"},
        {"WIDTH 800 HEIGHT 600 S 128 T 256 H yes MUSIC 1 WINDOWED 0", 1, ""},
        {"WIDTH 800 HEIGHT 600", 1, ""},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(withWindowPair(text, c.windowed), !c.expected.empty()) << c.text;
        EXPECT_EQ(text, c.expected.empty() ? c.text : c.expected);
    }
}

// Runs in a fresh temporary folder, as the game runs in its own.
// The shipped file gives the game's defaults; another file lands every number
// in its own global. A missing or unreadable file is reported by name.
TEST(Settings, FileIsReadIntoTheGlobals) {
    std::string folder = ::testing::TempDir() + "korvath_settings_XXXXXX";
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    fs::copy_file(std::string(KORVATH_SOURCE_DIR) + "/SETTINGS.TXT", "SHIPPED");
    // Without its pair the glides stay on.
    const std::pair<const char*, Values> cases[] = {{"SHIPPED", {800, 600, 128, 256, 1, 1, 0, 1}},
                                                    {"OTHER", {1024, 768, 64, 128, 0, 1, 2, 0}},
                                                    {"SIX", {640, 480, 64, 128, 1, 0, 0, 1}}};
    std::ofstream("OTHER")
        << "WIDTH 1024\nHEIGHT 768\nSHADOW 64\nTEXTURES 128\nHARDWARE 0\nMUSIC 1\nW 2\nA 0\n";
    std::ofstream("SIX") << "W 640 H 480 S 64 T 128 H 1 M 0";
    for (const auto& [copyFrom, expected] : cases) {
        fs::copy_file(copyFrom, "SETTINGS.TXT", fs::copy_options::overwrite_existing);
        WindowedMode = 0, AnimationEnabled = 1;
        ASSERT_EQ(loadSettings(), nullptr);
        const Values globals{ScreenWidth, ScreenHeight, ShadowTextureSize, TextureSize,
                             UseHardware, MusicEnabled, WindowedMode,      AnimationEnabled};
        EXPECT_EQ(globals, expected) << copyFrom;
    }
    fs::remove("SETTINGS.TXT");
    EXPECT_STREQ(loadSettings(), "SETTINGS.TXT is missing");
    fs::create_directory("SETTINGS.TXT"); // pipes and player's folders: tests/app_headless.cpp
    EXPECT_STREQ(loadSettings(), "SETTINGS.TXT cannot be read: Is a directory");
    fs::current_path(previous);
    fs::remove_all(folder);
}

} // namespace
