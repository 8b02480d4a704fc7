// The overlays drawn over every game frame, checked pixel by pixel on the
// headless back buffer: the two cursors, the menu button's stretch and label,
// and the square outlines, at the screen's edges too.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "game/outline.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/screen.h"
#include "render/textures.h"
#include "rules/position.h"
#include "scene/buttons.h"
#include "scene/cursor.h"
#include "scene/input.h"
#include "tests/headless_screen.h"

namespace {

constexpr uint16_t Background = 0x1234; // a colour no overlay uses

void openScreen(int width, int height, bool format555 = false) {
    ASSERT_TRUE(openHeadlessScreen(width, height, format555));
    ASSERT_EQ(createDevice(0, DDrawSurfaceBack), PLATFORM_OK);
    ASSERT_EQ(setRenderTarget(DDrawSurfaceBack), PLATFORM_OK);
    fillSurface(DDrawSurfaceBack, Background);
}

void closeScreen() {
    releaseDevice();
    videoStop();
    DDrawSurfaceBack = nullptr;
    DDrawSurfacePrimary = nullptr;
}

// A copy of the back buffer, row-major without padding.
std::vector<uint16_t> readScreen() {
    std::vector<uint16_t> pixels(static_cast<size_t>(ScreenWidth) * ScreenHeight);
    LockedSurface back;
    EXPECT_EQ(lockBackBuffer(&back), PLATFORM_OK);
    for (int y = 0; y < ScreenHeight; ++y)
        for (int x = 0; x < ScreenWidth; ++x)
            pixels[static_cast<size_t>(y) * ScreenWidth + x] =
                back.memory[y * (back.pitch / 2) + x];
    unlockSurface(DDrawSurfaceBack);
    return pixels;
}

uint16_t pixelAt(const std::vector<uint16_t>& screen, int x, int y) {
    return screen[static_cast<size_t>(y) * ScreenWidth + x];
}

int countChanged(const std::vector<uint16_t>& screen) {
    int changed = 0;
    for (uint16_t p : screen) changed += p != Background;
    return changed;
}

class Overlays : public ::testing::Test {
  protected:
    void TearDown() override { closeScreen(); }
};

// ---- Cursors ------------------------------------------------------------------

TEST_F(Overlays, CursorsAreCutAtTheScreenEdgesNotWrapped) {
    openScreen(800, 600);
    MouseX = 0;
    MouseY = 0;
    drawArrowCursor();
    MouseX = 790;
    MouseY = 590;
    drawWaitCursor();
    const auto screen = readScreen();
    EXPECT_EQ(pixelAt(screen, 0, 0), 0x0000);     // the arrow's tip on the mouse point
    EXPECT_EQ(pixelAt(screen, 797, 590), 0x0000); // the hourglass's top edge, column 7
    EXPECT_EQ(pixelAt(screen, 799, 591), 0xA514);
    // Only the arrow's 32 x 32 block and the hourglass's on-screen 10 x 10 corner change.
    int outside = 0, corner = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            const bool changed = pixelAt(screen, x, y) != Background;
            corner += changed && x >= 790 && y >= 590;
            outside += changed && (x >= 32 || y >= 32) && (x < 790 || y < 590);
        }
    }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(corner, 10);
}

TEST_F(Overlays, ArrowOnA555ScreenUsesItsOwnShades) {
    openScreen(640, 480, true);
    MouseX = 100;
    MouseY = 50;
    drawArrowCursor();
    const auto screen = readScreen();
    EXPECT_EQ(pixelAt(screen, 100, 50), 0x0000);
    EXPECT_EQ(pixelAt(screen, 101, 51), 0x5294);
    EXPECT_EQ(pixelAt(screen, 102, 52), 0x7FFF);
    EXPECT_EQ(pixelAt(screen, 103, 52), 0x318C);
}

// ---- Buttons -----------------------------------------------------------------

// Every picture pixel distinct, so the test can tell where each came from.
void fillButtonImageWithCoordinates() {
    for (int row = 0; row < PictureSide; ++row)
        for (int column = 0; column < PictureSide; ++column)
            ButtonImage[row * PictureSide + column] = static_cast<uint16_t>(row * 256 + column);
}

TEST_F(Overlays, ButtonStretchesThePictureIntoItsBlockCutAtTheScreenEdges) {
    openScreen(640, 480);
    fillButtonImageWithCoordinates();
    drawButton(10, 30, 100, "");
    const auto screen = readScreen();
    for (int m = 0; m < 20; ++m) {
        for (int k = 0; k < 100; ++k) {
            const int sourceRow = 256 * m / 20;
            const int sourceColumn = 255 * k / 100;
            ASSERT_EQ(pixelAt(screen, 10 + k, 30 + m), sourceRow * 256 + sourceColumn)
                << k << "," << m;
        }
    }
    EXPECT_EQ(countChanged(screen), 100 * 20); // 0x1234 is a row the stretch skips

    // Over the screen's edges the part on screen is there; nothing spills into the next row.
    fillSurface(DDrawSurfaceBack, Background);
    drawButton(600, 470, 100, "");
    drawButton(-50, -10, 100, "");
    const auto cut = readScreen();
    EXPECT_EQ(pixelAt(cut, 639, 479), 256 * 9 / 20 * 256 + 255 * 39 / 100);
    EXPECT_EQ(pixelAt(cut, 0, 0), 256 * 10 / 20 * 256 + 255 * 50 / 100);
    for (int y = 11; y < 470; ++y) EXPECT_EQ(pixelAt(cut, 0, y), Background) << y;
}

// The label's bright pixels, within the box they may occupy.
struct LabelExtent {
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
};

LabelExtent whitePixels(const std::vector<uint16_t>& screen, uint16_t white) {
    LabelExtent extent;
    for (int y = 0; y < ScreenHeight; ++y) {
        for (int x = 0; x < ScreenWidth; ++x) {
            if (pixelAt(screen, x, y) != white) continue;
            extent.left = std::min(extent.left, x);
            extent.right = std::max(extent.right, x);
            extent.top = std::min(extent.top, y);
            extent.bottom = std::max(extent.bottom, y);
        }
    }
    return extent;
}

TEST_F(Overlays, LabelIsCentredAndDropShadowedAndALongOneStartsLeftOfItsButton) {
    openScreen(640, 480);
    std::fill(std::begin(ButtonImage), std::end(ButtonImage), static_cast<uint16_t>(0x4208));
    drawButton(10, 30, 100, "BEGIN");
    const auto screen = readScreen();
    // Text x = 10 + (100 - 40) / 2 = 40, y = 32; five characters of 8 pixels.
    const LabelExtent white = whitePixels(screen, 0xFFFF);
    ASSERT_GE(white.right, 0) << "no white label pixel";
    EXPECT_GE(white.left, 40);
    EXPECT_LT(white.right, 80);
    EXPECT_GE(white.top, 32);
    EXPECT_LT(white.bottom, 50);
    // The shadow is black, one pixel lower right: some of it shows below the text.
    bool shadow = false;
    for (int x = white.left; x <= white.right + 1; ++x)
        shadow |= pixelAt(screen, x, white.bottom + 1) == 0;
    EXPECT_TRUE(shadow);

    fillSurface(DDrawSurfaceBack, Background);
    drawButton(100, 100, 40, "ABCDEFGHIJ"); // 80 pixels of text on 40: text x = 80
    const LabelExtent long_ = whitePixels(readScreen(), 0xFFFF);
    EXPECT_LT(long_.left, 100);
    EXPECT_GE(long_.left, 80);
}

// ---- Outlines ----------------------------------------------------------------

void startCamera(int azimuth, int elevation) {
    buildSineTable();
    setCameraConstants();
    CameraAzimuth = azimuth;
    CameraElevation = elevation;
    CameraRoll = 0;
    orbitCamera();
    updateCamera();
}

// A point in view space that projects onto screen pixel (x, y) at depth z.
Projection viewPointAt(float x, float y, float z) {
    Projection p{};
    p.viewZ = z;
    p.viewX = (x - ScreenCentreX) * z / FocalLength;
    p.viewY = (y - ScreenCentreY) * z / FocalLength;
    return p;
}

TEST_F(Overlays, ProjectedLineIsTwoPixelsWideLeavesItsEndOutAndStaysInItsRow) {
    openScreen(800, 600);
    startCamera(0, -50);
    // At the focal length one view unit is one pixel: 200 samples, x 100.0 .. 199.5.
    drawProjectedLine(viewPointAt(100, 300, FocalLength), viewPointAt(200, 300, FocalLength),
                      0xF800);
    const auto screen = readScreen();
    for (int x = 100; x <= 200; ++x) EXPECT_EQ(pixelAt(screen, x, 300), 0xF800) << x;
    EXPECT_EQ(pixelAt(screen, 99, 300), Background);
    EXPECT_EQ(pixelAt(screen, 201, 300), Background);
    EXPECT_EQ(countChanged(screen), 101);

    // At the right edge it stays in its row.
    fillSurface(DDrawSurfaceBack, Background);
    drawProjectedLine(viewPointAt(780, 300, FocalLength), viewPointAt(900, 300, FocalLength),
                      0x03FF);
    drawProjectedLine(viewPointAt(-50, -20, FocalLength), viewPointAt(20, 700, FocalLength),
                      0x03FF);
    const auto edge = readScreen();
    EXPECT_EQ(pixelAt(edge, 0, 301), Background); // not wrapped into the next row
    for (int x = 780; x < 800; ++x) EXPECT_EQ(pixelAt(edge, x, 300), 0x03FF);
    EXPECT_GT(countChanged(edge), 20 + 100);
}

TEST_F(Overlays, ProjectedLineThroughTheEyeDrawsOnlyWhatIsInFront) {
    openScreen(640, 480);
    startCamera(0, -50);
    // From behind the eye, up and left of the axis, to the screen's centre in front: the
    // samples behind would land mirrored, down and right of the centre.
    Projection behind{};
    behind.viewX = behind.viewY = -100.0f;
    behind.viewZ = -500.0f;
    drawProjectedLine(behind, viewPointAt(320, 240, 500.0f), 0xFFFF);
    const auto screen = readScreen();
    EXPECT_GT(countChanged(screen), 20);
    int mirrored = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            mirrored += pixelAt(screen, x, y) != Background && (x > 321 || y > 240);
    EXPECT_EQ(mirrored, 0);
}

// The square's corners as the scene places them, projected with the view.
Projection cornerOf(int column, int row, int columns, float dx, float dz) {
    const int half = columns / 2;
    const float x = static_cast<float>((column - half) * 512 + 256) + dx;
    const float z = static_cast<float>((row - half) * 512 + 256) + dz;
    return projectPosition(x, 0.0f, z, ViewMatrix);
}

TEST_F(Overlays, SquareOutlinePassesThroughItsProjectedCorners) {
    openScreen(800, 600);
    startCamera(0, -50);
    ruleVariant = 0;
    outlineSquare(3, 3, 0xF800);
    outlineSquare(9, 9, 0xFFFF); // FRENCH-size square on an 8x8 board: off the board, still drawn
    const auto screen = readScreen();
    const float offsets[4][2] = {{-256, -256}, {256, -256}, {256, 256}, {-256, 256}};
    for (const auto& offset : offsets) {
        const Projection corner = cornerOf(3, 3, 8, offset[0], offset[1]);
        bool near = false;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                near |= pixelAt(screen, static_cast<int>(corner.screenX) + dx,
                                static_cast<int>(corner.screenY) + dy) == 0xF800;
        EXPECT_TRUE(near) << corner.screenX << "," << corner.screenY;
    }
    // The square's centre lies inside the outline, not on it.
    const Projection centre = cornerOf(3, 3, 8, 0, 0);
    EXPECT_NE(pixelAt(screen, static_cast<int>(centre.screenX), static_cast<int>(centre.screenY)),
              0xF800);
}

} // namespace
