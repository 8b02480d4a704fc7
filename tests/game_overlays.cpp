// The overlays drawn over every game frame, checked pixel by pixel on the
// headless back buffer: the two cursors, the menu button's stretch and label,
// and the square outlines, at the screen's edges too.
#include "game/outline.h"
#include "game/status.h"
#include "scene/buttons.h"
#include "scene/cursor.h"
#include "scene/input.h"
#include "tests/scene_fixture.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>

namespace {

constexpr uint16_t Background = 0x1234; // a colour no overlay uses
using scene_fixture::readBack;

// The screen filled with Background, seen from the game's first camera.
void openScreen(int width, int height, bool format555 = false) {
    ASSERT_TRUE(scene_fixture::openDisplay(width, height, format555));
    fillSurface(DDrawSurfaceBack, Background);
    buildSineTable();
    setCameraConstants();
    CameraAzimuth = 0, CameraElevation = -50, CameraRoll = 0;
    orbitCamera();
    updateCamera();
}

uint16_t pixelAt(const std::vector<uint16_t>& screen, int x, int y) {
    return screen[static_cast<size_t>(y) * ScreenWidth + x];
}

int countChanged(const std::vector<uint16_t>& screen) {
    return static_cast<int>(screen.size() - std::count(screen.begin(), screen.end(), Background));
}

class Overlays : public ::testing::Test {
  protected:
    void TearDown() override { scene_fixture::closeDisplay(); }
};

// ---- Cursors and the menu button -----------------------------------------------

// The cursor's cut at the screen's edges is seen in the reference frames.
TEST_F(Overlays, CursorsWearTheScreensWhiteAndLeaveNothingOutsideTheWindow) {
    openScreen(640, 480, true); // a 5-5-5 screen gets its own white
    MouseX = MouseY = 0;
    drawArrowCursor();
    EXPECT_EQ(pixelAt(readBack(), 2, 2), 0x7FFF);
    // With the pointer outside the window neither shape is left behind.
    fillSurface(DDrawSurfaceBack, Background);
    MouseInWindow = 0;
    drawArrowCursor();
    drawWaitCursor();
    MouseInWindow = 1;
    EXPECT_EQ(countChanged(readBack()), 0);
}

// The bounding box of the white pixels (the label's): left, right, top, bottom.
std::array<int, 4> whiteBox(const std::vector<uint16_t>& screen) {
    std::array<int, 4> box = {ScreenWidth, -1, ScreenHeight, -1};
    for (int i = 0; i < ScreenWidth * ScreenHeight; ++i) {
        const int x = i % ScreenWidth, y = i / ScreenWidth;
        if (screen[i] == 0xFFFF)
            box = {std::min(box[0], x), std::max(box[1], x), std::min(box[2], y),
                   std::max(box[3], y)};
    }
    return box;
}

// The picture is stretched into the block, cut at the screen's edges without
// spilling into the next row; a long label starts left of its button (the
// game's own labels are checked in the reference frames).
TEST_F(Overlays, ButtonStretchesItsPictureAndCentresItsLabel) {
    openScreen(640, 480);
    for (int i = 0; i < PicturePixels; ++i) ButtonImage[i] = static_cast<uint16_t>(i);
    drawButton(600, 470, 100, "");
    drawButton(-50, -10, 100, "");
    const auto screen = readBack();
    EXPECT_EQ(pixelAt(screen, 639, 479), 256 * 9 / 20 * 256 + 255 * 39 / 100);
    EXPECT_EQ(pixelAt(screen, 0, 0), 256 * 10 / 20 * 256 + 255 * 50 / 100);
    for (int y = 11; y < 470; ++y) EXPECT_EQ(pixelAt(screen, 0, y), Background) << y;

    std::fill(std::begin(ButtonImage), std::end(ButtonImage), static_cast<uint16_t>(0x4208));
    fillSurface(DDrawSurfaceBack, Background);
    drawButton(100, 100, 40, "ABCDEFGHIJ"); // 80 pixels of text on 40: text x = 80
    const int longLeft = whiteBox(readBack())[0];
    EXPECT_TRUE(longLeft >= 80 && longLeft < 100) << longLeft;
}

// ---- The status line -------------------------------------------------------------

// One frame of the line on Background: {left, right, top, bottom, brightest green 0..63}.
std::array<int, 5> drawLineOnce() {
    fillSurface(DDrawSurfaceBack, Background);
    drawStatusLine();
    const auto screen = readBack();
    const auto [left, right, top, bottom] = whiteBox(screen);
    int brightest = 0;
    for (uint16_t p : screen)
        if (p != Background) brightest = std::max(brightest, (p >> 5) & 63);
    return {left, right, top, bottom, brightest};
}

// A message is centred above the menu's first button (y 30) at every screen size, stays
// at full brightness, fades over its last frames and gives the line back to the standing
// text; a '%' in a detail is shown as it is.
TEST_F(Overlays, StatusMessagesShowCentredAboveTheMenuThenFade) {
    for (const int width : {640, 800, 1024}) {
        openScreen(width, width * 3 / 4);
        setStandingStatus(StatusText::YourMove);
        showStatus(StatusText::RecordSaved, "game%d.pdn");
        EXPECT_STREQ(currentStatusText(), "GAME SAVED AS game%d.pdn");
        std::vector<std::array<int, 5>> looks = {drawLineOnce()};
        for (int frame = 1; frame < StatusMessageFrames; ++frame) {
            const auto look = drawLineOnce();
            if (frame == StatusMessageFrames - StatusFadeFrames / 2) looks.push_back(look);
        }
        looks.push_back(drawLineOnce());
        const int messageLeft = (width - 8 * 24) / 2, standingLeft = (width - 8 * 9) / 2;
        EXPECT_TRUE(looks[0][0] >= messageLeft && looks[0][1] < width - messageLeft + 2 &&
                    looks[0][2] >= StatusLineY && looks[0][3] < 30 && looks[0][4] == 63);
        EXPECT_TRUE(looks[1][4] > 20 && looks[1][4] < 40) << looks[1][4];
        EXPECT_TRUE(looks[2][0] >= standingLeft && looks[2][1] < width - standingLeft + 2 &&
                    looks[2][3] < 30 && looks[2][4] == 63);
        scene_fixture::closeDisplay();
    }
}

// ---- Outlines ----------------------------------------------------------------

// A point in view space that projects onto screen pixel (x, y) at depth z.
Projection viewPointAt(float x, float y, float z) {
    Projection p{};
    p.viewZ = z;
    p.viewX = (x - ScreenCentreX) * z / FocalLength;
    p.viewY = (y - ScreenCentreY) * z / FocalLength;
    return p;
}

// At the focal length one view unit is one pixel: a line keeps to its row,
// leaves its end out, at the screen's edge is cut, not wrapped, and behind
// the eye is not drawn at all.
TEST_F(Overlays, ProjectedLinesDrawOnlyWhatIsOnScreenInFrontOfTheEye) {
    openScreen(800, 600);
    drawProjectedLine(viewPointAt(100, 300, FocalLength), viewPointAt(200, 300, FocalLength),
                      0xF800);
    drawProjectedLine(viewPointAt(780, 200, FocalLength), viewPointAt(900, 200, FocalLength),
                      0x03FF);
    auto screen = readBack();
    for (int x = 100; x <= 200; ++x) EXPECT_EQ(pixelAt(screen, x, 300), 0xF800) << x;
    for (int x = 780; x < 800; ++x) EXPECT_EQ(pixelAt(screen, x, 200), 0x03FF) << x;
    EXPECT_EQ(countChanged(screen), 101 + 20); // so nothing past the end, nothing wrapped
    drawProjectedLine(viewPointAt(-50, -20, FocalLength), viewPointAt(20, 700, FocalLength),
                      0x03FF); // both ends off screen
    EXPECT_GT(countChanged(readBack()), 121 + 100);

    // From behind the eye, up and left of the axis, to the screen's centre in front: the
    // samples behind would land mirrored, down and right of the centre.
    fillSurface(DDrawSurfaceBack, Background);
    Projection behind{};
    behind.viewX = behind.viewY = -100.0f, behind.viewZ = -500.0f;
    drawProjectedLine(behind, viewPointAt(400, 300, 500.0f), 0xFFFF);
    screen = readBack();
    EXPECT_GT(countChanged(screen), 20);
    int mirrored = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            mirrored += pixelAt(screen, x, y) != Background && (x > 401 || y > 300);
    EXPECT_EQ(mirrored, 0);
}

// The square's corners as the scene places them, projected with the view.
Projection cornerOf(int column, int row, float dx, float dz) {
    const Vec3 centre = squareCentre(column, row, 8);
    return projectPosition(centre.x + dx, 0.0f, centre.z + dz, ViewMatrix);
}

TEST_F(Overlays, SquareOutlinePassesThroughItsProjectedCorners) {
    openScreen(800, 600);
    ruleVariant = 0;
    outlineSquare(3, 3, 0xF800);
    outlineSquare(9, 9, 0xFFFF); // FRENCH-size square on an 8x8 board: off the board, still drawn
    const auto screen = readBack();
    const float offsets[4][2] = {{-256, -256}, {256, -256}, {256, 256}, {-256, 256}};
    for (const auto& offset : offsets) {
        const Projection corner = cornerOf(3, 3, offset[0], offset[1]);
        bool near = false;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                near |= pixelAt(screen, static_cast<int>(corner.screenX) + dx,
                                static_cast<int>(corner.screenY) + dy) == 0xF800;
        EXPECT_TRUE(near) << corner.screenX << "," << corner.screenY;
    }
    // The square's centre lies inside the outline, not on it.
    const Projection centre = cornerOf(3, 3, 0, 0);
    EXPECT_NE(pixelAt(screen, static_cast<int>(centre.screenX), static_cast<int>(centre.screenY)),
              0xF800);
}

} // namespace
