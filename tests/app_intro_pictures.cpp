// The generated intro pictures as a player sees them: each file played through
// the fade player onto an 800 x 600 headless screen, at full brightness,
// must show a real picture (not black, not flat).

#include <gtest/gtest.h>

#include <set>

#include "app/fade.h"
#include "platform/platform.h"
#include "render/screen.h"
#include "tests/headless_screen.h"

TEST(IntroPictures, TheStudioCardAndTheTitleArePictures) {
    const struct {
        const char* file;
        double minMean, maxMean; // luminance, 0..1
        size_t minColours;       // distinct 16-bit values
        double minBright; // share brighter than 0.75: the lettering, the emblem and the board
    } cards[] = {{"DATAS/QVR.RAW", 0.06, 0.5, 600, 0.005},
                 {"DATAS/CHECKERS.RAW", 0.12, 0.6, 1200, 0.02}};
    for (const auto& card : cards) {
        ASSERT_TRUE(openHeadlessScreen(800, 600));
        Sequence s;
        const char* failure = startSequence(&s, 3, 0.1f, card.file, 0);
        ASSERT_EQ(failure, nullptr) << failure;
        for (int frame = 0; frame < 15; frame++) playSequenceFrame(&s); // into the hold
        std::set<uint16_t> colours;
        double sum = 0, bright = 0;
        for (int y = 0; y < 600; y++)
            for (int x = 0; x < 800; x++) {
                const uint16_t p = backPixel(x, y);
                colours.insert(p);
                const double l =
                    0.3 * (p >> 11) / 31.0 + 0.59 * ((p >> 5) & 63) / 63.0 + 0.11 * (p & 31) / 31.0;
                sum += l;
                bright += l > 0.75;
            }
        EXPECT_GT(sum / 480000, card.minMean) << card.file;
        EXPECT_LT(sum / 480000, card.maxMean) << card.file;
        EXPECT_GT(colours.size(), card.minColours) << card.file;
        EXPECT_GT(bright / 480000, card.minBright) << card.file;
        videoStop();
    }
}
