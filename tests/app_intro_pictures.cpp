// The generated intro pictures as a player sees them: each file played through
// the fade player onto an 800 x 600 headless screen, at full brightness,
// must show a real picture (not black, not flat) and is saved as a PNG.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/fade.h"
#include "platform/platform.h"
#include "render/screen.h"
#include "tests/headless_screen.h"

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
    EXPECT_TRUE(openHeadlessScreen(800, 600));
    Sequence s;
    const char* failure = startSequence(&s, 3, 0.1f, file, 0);
    EXPECT_EQ(failure, nullptr) << failure;
    for (int frame = 0; frame < 15; frame++) playSequenceFrame(&s);                // into the hold
    std::string name = std::string(file).substr(6, std::string(file).size() - 10); // "QVR"
    return lookAtBackBuffer(testing::TempDir() + name + ".png");
}

} // namespace

TEST(IntroPictures, TheStudioCardAndTheTitleArePictures) {
    const struct {
        const char* file;
        double minMean, maxMean;
        size_t minColours;
        double minBright; // the lettering, the emblem and the board catch the light
    } cards[] = {{"DATAS/QVR.RAW", 0.06, 0.5, 600, 0.005},
                 {"DATAS/CHECKERS.RAW", 0.12, 0.6, 1200, 0.02}};
    for (const auto& card : cards) {
        const Look look = showAtFullBrightness(card.file);
        EXPECT_GT(look.meanLuminance, card.minMean) << card.file;
        EXPECT_LT(look.meanLuminance, card.maxMean) << card.file;
        EXPECT_GT(look.colours, card.minColours) << card.file;
        EXPECT_GT(look.brightShare, card.minBright) << card.file;
        videoStop();
    }
}
