// The overlays drawn over every game frame, checked pixel by pixel on the
// headless back buffer: the two cursors, the menu button's stretch and label,
// the status line's fade and the projected lines, at the screen's edges too
// (where the square outlines fall is seen in the reference frames).
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

// The brightest green (0..63) of one frame of the line.
int drawLineOnce() {
    fillSurface(DDrawSurfaceBack, Background);
    drawStatusLine();
    int brightest = 0;
    for (uint16_t p : readBack())
        if (p != Background) brightest = std::max(brightest, (p >> 5) & 63);
    return brightest;
}

// A message stays at full brightness, fades over its last frames and gives the line back
// to the standing text; a '%' in a detail is shown as it is. (Where the line stands, at
// every screen size, is seen in the reference frames.)
TEST_F(Overlays, StatusMessagesFadeThenGiveTheLineBack) {
    openScreen(640, 480);
    setStandingStatus(StatusText::YourMove);
    showStatus(StatusText::RecordSaved, "game%d.pdn");
    EXPECT_STREQ(currentStatusText(), "GAME SAVED AS game%d.pdn");
    std::vector<int> green; // at the first frame, halfway through the fade, and after it
    for (int frame = 0; frame <= StatusMessageFrames; ++frame) {
        const int brightest = drawLineOnce();
        if (frame == 0 || frame == StatusMessageFrames - StatusFadeFrames / 2 ||
            frame == StatusMessageFrames)
            green.push_back(brightest);
    }
    EXPECT_TRUE(green.size() == 3 && green[0] == 63 && green[1] > 20 && green[1] < 40 &&
                green[2] == 63)
        << ::testing::PrintToString(green);
    EXPECT_STREQ(currentStatusText(), "YOUR MOVE");
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

} // namespace
