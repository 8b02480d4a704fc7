// The fade player against a headless back buffer: frame counts, black and
// full brightness, scaling of the intro files, capture of the shown frame, bad intro files.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/fade.h"
#include "platform/platform.h"
#include "render/screen.h"
#include "tests/headless_screen.h"

namespace {

// A headless display of the given size and format, as the display set-up leaves it.
void openDisplay(int width, int height, bool format555) {
    ASSERT_TRUE(openHeadlessScreen(width, height, format555));
}

void fillBack(uint16_t (*colourAt)(int x, int y)) {
    LockedSurface locked{};
    ASSERT_EQ(lockSurface(DDrawSurfaceBack, &locked), PLATFORM_OK);
    for (int y = 0; y < ScreenHeight; y++)
        for (int x = 0; x < ScreenWidth; x++)
            locked.memory[y * (locked.pitch / 2) + x] = colourAt(x, y);
    unlockSurface(DDrawSurfaceBack);
}

// Every file pixel different: red from the column, green and blue from the row.
uint16_t filePixel(int x, int y) {
    return static_cast<uint16_t>((x & 31) << 11 | ((x >> 5) & 31) << 6 | (y & 63) << 0 | 0);
}

std::string writeIntroFile(const char* name, long bytes) {
    std::string path = testing::TempDir() + name;
    std::vector<uint8_t> data(static_cast<size_t>(bytes), 0);
    for (long i = 8; i + 1 < bytes; i += 2) {
        long pixel = (i - 8) / 2;
        uint16_t p = filePixel(static_cast<int>(pixel % 1024), static_cast<int>(pixel / 1024));
        data[i] = static_cast<uint8_t>(p);
        data[i + 1] = static_cast<uint8_t>(p >> 8);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    return path;
}

int callsUntilEnd(Sequence* s) {
    for (int calls = 1; calls < 1000; calls++)
        if (playSequenceFrame(s)) return calls;
    return -1;
}

} // namespace

TEST(Fade, FirstFrameOfAnIntroIsBlack) {
    openDisplay(320, 240, false);
    fillBack([](int, int) -> uint16_t { return 0x1234; });
    std::string path = writeIntroFile("intro_black.raw", SequenceFileBytes);
    Sequence s;
    ASSERT_EQ(startSequence(&s, 3, 0.1f, path.c_str(), 0), nullptr);
    EXPECT_EQ(playSequenceFrame(&s), 0);
    for (int y = 0; y < 240; y += 7)
        for (int x = 0; x < 320; x += 5) ASSERT_EQ(backPixel(x, y), 0) << x << "," << y;
}

// At full brightness a 5-6-5 screen shows the file's own pixels, scaled by
// nearest neighbour to a smaller screen.
TEST(Fade, IntroFileIsScaledToTheScreenByNearestNeighbour) {
    const std::string path = writeIntroFile("intro_scale.raw", SequenceFileBytes);
    const struct {
        int width, height, x, y, fileX, fileY;
    } cases[] = {{800, 600, 799, 599, 1022, 766},
                 {800, 600, 400, 300, 512, 384},
                 {1024, 768, 1023, 767, 1023, 767},
                 {1024, 768, 517, 301, 517, 301}};
    for (const auto& c : cases) {
        openDisplay(c.width, c.height, false);
        Sequence s;
        ASSERT_EQ(startSequence(&s, 3, 0.1f, path.c_str(), 0), nullptr);
        s.fadeLevel = 1.5f;
        playSequenceFrame(&s);
        EXPECT_EQ(backPixel(c.x, c.y), filePixel(c.fileX, c.fileY)) << c.x << "," << c.y;
    }
}

TEST(Fade, MissingShortOrUnreadableIntroFileIsReportedByName) {
    openDisplay(320, 240, false);
    Sequence s;
    std::string missing = testing::TempDir() + "no_such_intro.raw";
    const char* text = startSequence(&s, 3, 0.1f, missing.c_str(), 0);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::string(text).find(missing), std::string::npos) << text;

    std::string shortFile = writeIntroFile("short_intro.raw", SequenceFileBytes - 1);
    text = startSequence(&s, 3, 0.1f, shortFile.c_str(), 0);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::string(text).find(shortFile), std::string::npos) << text;
    EXPECT_NE(std::string(text).find("1572871"), std::string::npos) << text;

    // A folder, or a file whose read fails (this one answers EIO from offset 0),
    // is named for what it is, not as a picture cut short.
    const std::string folder = testing::TempDir() + "folder_intro.raw";
    std::filesystem::create_directories(folder);
    const std::pair<std::string, const char*> unreadable[] = {
        {folder, "is a folder"}, {"/proc/self/mem", "could not be read"}};
    for (const auto& [path, problem] : unreadable) {
        text = startSequence(&s, 3, 0.1f, path.c_str(), 0);
        ASSERT_NE(text, nullptr) << path;
        EXPECT_NE(std::string(text).find(path + " " + problem), std::string::npos) << text;
    }

    // The record is still playable: a black picture for the usual number of frames.
    EXPECT_EQ(s.picture.size(), 320u * 240u * 4u);
    EXPECT_EQ(callsUntilEnd(&s), 31);
    EXPECT_EQ(playSequenceFrame(&s), 1) << "an ended sequence stays ended";
    EXPECT_EQ(backPixel(100, 100), 0);
}

// The closing fade starts from the frame on show: at full brightness it gives
// back exactly that frame, on either display format.
TEST(Fade, ClosingFadeStartsFromTheShownFrame) {
    for (bool format555 : {false, true}) {
        openDisplay(640, 480, format555);
        // Pixel (0, 0) is white in 5-5-5: read as 5-6-5 it would turn green-cyan.
        static uint16_t mask; // a 5-5-5 pixel has no 16th bit
        mask = format555 ? 0x7FFF : 0xFFFF;
        fillBack([](int x, int y) -> uint16_t {
            return x + y == 0 ? 0x7FFF : static_cast<uint16_t>((x * 97 + y * 31) & mask);
        });
        std::vector<uint16_t> shown;
        for (int y = 0; y < 480; y += 3)
            for (int x = 0; x < 640; x += 3) shown.push_back(backPixel(x, y));

        Sequence closing;
        ASSERT_EQ(startSequence(&closing, 2, 0.1f, nullptr, 1), nullptr);
        EXPECT_EQ(playSequenceFrame(&closing), 0); // level 1.9: full brightness
        size_t i = 0;
        for (int y = 0; y < 480; y += 3)
            for (int x = 0; x < 640; x += 3, i++)
                ASSERT_EQ(backPixel(x, y), shown[i]) << x << "," << y << " 555 " << format555;
        EXPECT_EQ(callsUntilEnd(&closing), 11);
    }
}
