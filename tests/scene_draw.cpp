// Whole frames drawn on the headless device with plain-coloured textures, so
// that board, pieces and shadows can be told apart pixel by pixel: the board
// has no holes from any camera, shadows lie on the board and never on a
// piece, kings stand taller than men, and the backdrop fills the sky.
#include "scene/backdrop.h"
#include "scene/scene.h"
#include "tests/rules_test_util.h"
#include "tests/scene_fixture.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

constexpr uint16_t Light = 0xFFFF, Dark = 0x8410, Ivory = 0xFFE0, Ebony = 0xF800, Sky = 0x001F;
constexpr int Width = 640, Height = 480;

using Frame = std::vector<uint16_t>;

class SceneDrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scene_fixture::openDisplay(Width, Height));
        const std::pair<int, uint16_t> solids[] = {
            {0, Light}, {1, Dark}, {2, Ivory}, {3, Ebony}, {5, Sky}};
        for (const auto& [slot, colour] : solids) scene_fixture::makeSolidTexture(slot, colour);
        scene_fixture::buildScene(64);
        selectRuleVariant(0);
    }
    void TearDown() override { scene_fixture::closeDisplay(); }

    static Frame draw(const Position& position, int azimuth, int elevation, int roll,
                      uint16_t shadowColour = DefaultShadowColor, bool backdrop = false) {
        scene_fixture::beginFrame(azimuth, elevation, roll);
        ShadowColor = shadowColour;
        if (backdrop) drawBackdrop(BackdropTexture, Width, Height);
        drawScene(position, ruleVariant);
        endScene();
        Frame frame(Width * Height);
        for (int i = 0; i < Width * Height; ++i) frame[i] = backPixel(i % Width, i / Width);
        return frame;
    }
    static Vec3 screenOf(float x, float y, float z) {
        const Projection p = projectPosition(x, y, z, ViewMatrix);
        return {p.screenX, p.screenY, p.viewZ};
    }
};

const auto green = [](uint16_t p) { return (p >> 5) & 63; };

TEST_F(SceneDrawTest, TheBoardHasNoHolesFromAnyCamera) {
    const int views[][3] = {{0, -50, 0},      {204, -50, 0}, {37, -20, 0},    {-91, -185, 0},
                            {150, -100, 700}, {0, -102, 0},  {60, -60, -1500}};
    for (const auto& v : views) {
        const Frame frame = draw(emptyPosition(), v[0], v[1], v[2]);
        // Sample the board's surface inside its frame on a fine grid; each
        // sample must have been drawn (the back buffer starts black).
        int samples = 0;
        // Half a square in from the frame's outer edge, which at grazing
        // angles is less than a pixel away from the samples nearest it.
        for (int i = -37; i <= 37; ++i)
            for (int j = -37; j <= 37; ++j) {
                const Vec3 s = screenOf(i * 62.0f, 0, j * 62.0f);
                const int x = static_cast<int>(s.x), y = static_cast<int>(s.y);
                if (x < 1 || y < 1 || x >= Width - 1 || y >= Height - 1 || s.z <= 0) continue;
                ++samples;
                ASSERT_NE(frame[y * Width + x], 0) << "hole at " << x << "," << y << " view "
                                                   << v[0] << " " << v[1] << " " << v[2];
            }
        EXPECT_GT(samples, 1000) << v[0] << " " << v[1];
        // Nowhere a crack: the board's outline is convex, so a black pixel
        // with drawn pixels on both sides lies inside it.
        int cracks = 0;
        for (int y = 1; y < Height - 1; ++y)
            for (int x = 1; x < Width - 1; ++x) {
                const int i = y * Width + x;
                const bool across = frame[i - 1] != 0 && frame[i + 1] != 0;
                const bool down = frame[i - Width] != 0 && frame[i + Width] != 0;
                cracks += frame[i] == 0 && (across || down) ? 1 : 0;
            }
        EXPECT_EQ(cracks, 0) << "view " << v[0] << " " << v[1] << " " << v[2];
    }
}

TEST_F(SceneDrawTest, ShadowsDarkenTheBoardButNeverAPiece) {
    const Position position =
        positionWith({{0, 0, 1, 5, 0}, {0, 1, 4, 4, 1}, {1, 0, 5, 3, 0}, {1, 1, 2, 2, 1}});
    const int views[][3] = {{0, -50, 0}, {204, -50, 0}, {90, -20, 0}, {-40, -185, 300}};
    for (const auto& v : views) {
        const Frame withShadows = draw(position, v[0], v[1], v[2]);
        const Frame noShadows = draw(position, v[0], v[1], v[2], 0x0000);
        const Frame boardOnly = draw(emptyPosition(), v[0], v[1], v[2], 0x0000);
        int shadowed = 0, speckles = 0;
        for (int y = 1; y < Height - 1; ++y)
            for (int x = 1; x < Width - 1; ++x) {
                const int i = y * Width + x;
                const bool piece = noShadows[i] != boardOnly[i];
                const bool shade = withShadows[i] != noShadows[i];
                ASSERT_TRUE(!piece || withShadows[i] == noShadows[i])
                    << "shadow over a piece at " << x << "," << y << " view " << v[0];
                shadowed += shade ? 1 : 0;
                EXPECT_TRUE(!shade || green(withShadows[i]) < green(noShadows[i])) << x << "," << y;
                // Depth fighting with the board would leave single untouched board pixels
                // inside the shadows.
                if (shade || piece) continue;
                int shadedAround = 0;
                for (int n : {i - 1, i + 1, i - Width, i + Width})
                    shadedAround += withShadows[n] != noShadows[n] ? 1 : 0;
                speckles += shadedAround == 4 ? 1 : 0;
            }
        EXPECT_GT(shadowed, 100) << "view " << v[0] << " " << v[1];
        EXPECT_EQ(speckles, 0) << "view " << v[0] << " " << v[1];
    }
}

TEST_F(SceneDrawTest, KingsStandTallerThanMenAndSidesWearTheirColours) {
    // Side 0 a man, side 1 a king on the same row.
    const Position position = positionWith({{0, 0, 2, 6, 0}, {1, 0, 4, 6, 1}});
    const Frame frame = draw(position, 0, -20, 0, 0x0000);
    // Ivory is yellow (no blue), ebony red (no green, no blue); the board is
    // grey. The frame is ivory too, so look only right around each piece.
    auto heightOf = [&](int column, int row, bool ivory) {
        const Vec3 centre = squareCentre(column, row, 8), base = screenOf(centre.x, 0, centre.z);
        int top = Height, bottom = 0;
        for (int y = static_cast<int>(base.y) - 50; y < static_cast<int>(base.y) + 20; ++y)
            for (int x = static_cast<int>(base.x) - 30; x < static_cast<int>(base.x) + 30; ++x) {
                const uint16_t p = frame[y * Width + x];
                const int r = p >> 11, g = (p >> 5) & 63, b = p & 31;
                const bool match = ivory ? (r > 4 && g > 8 && b == 0) : (r > 4 && g == 0 && b == 0);
                if (match) top = std::min(top, y), bottom = std::max(bottom, y);
            }
        return bottom - top;
    };
    const int manHeight = heightOf(2, 6, true), kingHeight = heightOf(4, 6, false);
    EXPECT_GT(manHeight, 5);
    EXPECT_GT(kingHeight, manHeight + 5); // 136 units more, about 8 pixels from here
}

// Depth testing and perspective must be on again after the backdrop: a king drawn later but
// farther away must not cover a nearer one, and no pixel is left black.
TEST_F(SceneDrawTest, TheBackdropFillsTheSkyAndTheSceneLooksTheSameInFrontOfIt) {
    const Position row = positionWith({{0, 0, 3, 7, 1}, {0, 1, 3, 5, 1}, {1, 0, 4, 6, 0}});
    for (int elevation : {-20, -50}) {
        const Frame withBackdrop = draw(row, 0, elevation, 0, DefaultShadowColor, true);
        const Frame onBlack = draw(row, 0, elevation, 0, DefaultShadowColor, false);
        int differing = 0, scene = 0, black = 0;
        for (size_t i = 0; i < onBlack.size(); ++i) {
            black += withBackdrop[i] == 0;
            if (onBlack[i] == 0) continue;
            ++scene;
            differing += withBackdrop[i] != onBlack[i] ? 1 : 0;
        }
        EXPECT_GT(scene, Width * Height / 8);
        EXPECT_EQ(differing, 0) << "elevation " << elevation;
        EXPECT_EQ(black, 0) << "elevation " << elevation;
        // The top row is sky: the blue texture brightened by the haze.
        EXPECT_GT(withBackdrop[5 * Width + Width / 2] & 0x1F, 8);
    }
}

} // namespace
