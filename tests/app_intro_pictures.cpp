// The generated intro pictures as a player sees them: each file played through
// the fade player onto an 800 x 600 headless screen, at full brightness,
// must show a real picture (not black, not flat) and is saved as a PNG.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/fade.h"
#include "platform/platform.h"
#include "render/screen.h"

namespace {

struct Look {
    double meanLuminance; // 0..1
    size_t colours;       // distinct 16-bit values
    double brightShare;   // share of pixels brighter than 0.75
};

Look lookAtBackBuffer(const std::string& png) {
    LockedSurface locked{};
    EXPECT_EQ(lockSurface(DDrawSurfaceBack, &locked), PLATFORM_OK);
    std::set<uint16_t> colours;
    double sum = 0;
    size_t bright = 0;
    for (int y = 0; y < ScreenHeight; y++)
        for (int x = 0; x < ScreenWidth; x++) {
            uint16_t p = locked.memory[y * (locked.pitch / 2) + x];
            colours.insert(p);
            double l =
                (0.3 * (p >> 11) / 31.0 + 0.59 * ((p >> 5) & 63) / 63.0 + 0.11 * (p & 31) / 31.0);
            sum += l;
            if (l > 0.75) bright++;
        }
    savePng(png.c_str(), locked.memory, ScreenWidth, ScreenHeight, locked.pitch,
            PixelFormat::Rgb565);
    unlockSurface(DDrawSurfaceBack);
    double n = double(ScreenWidth) * ScreenHeight;
    return {sum / n, colours.size(), bright / n};
}

Look showAtFullBrightness(const char* file) {
    selectBackend(Backend::Headless);
    EXPECT_EQ(videoStart(), PLATFORM_OK);
    EXPECT_EQ(setDisplayMode(800, 600), PLATFORM_OK);
    ScreenWidth = 800;
    ScreenHeight = 600;
    ScreenGreenMask = displayGreenMask();
    DDrawSurfaceBack = backBuffer();
    Sequence s;
    const char* failure = startSequence(&s, 3, 0.1f, file, 0);
    EXPECT_EQ(failure, nullptr) << failure;
    for (int frame = 0; frame < 15; frame++) playSequenceFrame(&s);                // into the hold
    std::string name = std::string(file).substr(6, std::string(file).size() - 10); // "QVR"
    return lookAtBackBuffer(testing::TempDir() + name + ".png");
}

} // namespace

TEST(IntroPictures, StudioCardIsAPicture) {
    Look look = showAtFullBrightness("DATAS/QVR.RAW");
    EXPECT_GT(look.meanLuminance, 0.06);
    EXPECT_LT(look.meanLuminance, 0.5);
    EXPECT_GT(look.colours, 600u);
    EXPECT_GT(look.brightShare, 0.005); // the lettering and the emblem catch the light
}

TEST(IntroPictures, TitleShowsTheBoard) {
    Look look = showAtFullBrightness("DATAS/CHECKERS.RAW");
    EXPECT_GT(look.meanLuminance, 0.12);
    EXPECT_LT(look.meanLuminance, 0.6);
    EXPECT_GT(look.colours, 1200u);
    EXPECT_GT(look.brightShare, 0.02);
}
