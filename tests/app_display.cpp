// Display set-up on the headless backend: the surfaces, focal length and
// viewport per mode, each failing step's text, and the fixed render states.
#include <gtest/gtest.h>

#include <string>

#include "app/display.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "render/mesh_renderer.h"
#include "render/screen.h"
#include "tests/headless_screen.h"

namespace {

class Display : public ::testing::Test {
  protected:
    void start(int width, int height, int hardware = 1, const HeadlessOptions& options = {}) {
        selectBackend(Backend::Headless, options);
        ScreenWidth = width;
        ScreenHeight = height;
        UseHardware = hardware;
        WindowedMode = 0;
        FocalLength = 0.0f;
        ScreenGreenMask = 0;
        DDrawSurfacePrimary = DDrawSurfaceBack = Zbuffer = Backtemp = nullptr;
    }
    void TearDown() override {
        releaseDevice();
        releaseSurface(Zbuffer);
        releaseSurface(Backtemp);
        videoStop();
        DDrawSurfacePrimary = DDrawSurfaceBack = Zbuffer = Backtemp = nullptr;
    }
    std::string failure() {
        const char* text = initDisplay();
        return text != nullptr ? text : "";
    }
    // Draws a white triangle reaching far below the screen; rows it covered.
    int rowsDrawn() {
        fillSurface(DDrawSurfaceBack, 0);
        fillSurface(Zbuffer, 0xFFFF);
        setRenderStates();
        const TLVertex v[3] = {{0, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0},
                               {4, 0, 0.5f, 1, 0xFFFFFFFFu, 0, 0},
                               {0, 5000, 0.5f, 1, 0xFFFFFFFFu, 0, 0}};
        drawPrimitive(v, 3);
        LockedSurface l;
        lockSurface(DDrawSurfaceBack, &l);
        int rows = 0;
        for (int y = 0; y < surfaceHeight(DDrawSurfaceBack); ++y)
            rows += l.memory[y * l.pitch / 2] == 0xFFFF ? 1 : 0;
        unlockSurface(DDrawSurfaceBack);
        return rows;
    }
};

// A viewport taller than the mode is cut at the surface (1024 x 600).
TEST_F(Display, EachSupportedModeGetsItsFocalLengthAndSurfaces) {
    const int modes[4][3] = {{640, 480, 250}, {800, 600, 350}, {1024, 768, 500}, {1024, 600, 500}};
    for (const auto& m : modes) {
        start(m[0], m[1]);
        ASSERT_EQ(failure(), "") << m[0];
        EXPECT_EQ(FocalLength, static_cast<float>(m[2]));
        EXPECT_EQ(ScreenGreenMask, 0x07E0u);
        ASSERT_NE(DDrawSurfacePrimary, nullptr);
        EXPECT_EQ(surfaceWidth(Backtemp), m[0]);
        EXPECT_EQ(surfaceFormat(Backtemp), surfaceFormat(DDrawSurfaceBack));
        EXPECT_EQ(surfaceFormat(Zbuffer), PixelFormat::Depth16);
        EXPECT_EQ(getRenderTarget(), DDrawSurfaceBack);
        EXPECT_EQ(rowsDrawn(), m[1]);
        TearDown();
    }
}

TEST_F(Display, FailingStepsNameTheCallTheyStandFor) {
    HeadlessOptions broken, format555;
    broken.failVideoStart = true;
    format555.format555 = true;
    const struct {
        int width, height, hardware;
        HeadlessOptions options;
        const char* failure;
    } cases[] = {
        {800, 600, 1, broken, "DirectDrawCreateEx"},
        {0, 0, 1, {}, "DDrawInterface->SetDisplayMode"},
        // A width the game has no focal length for is refused instead of drawing
        // every point at the screen's centre.
        {700, 500, 1, {}, "DDrawInterface->SetDisplayMode"},
        {800, 600, 2, {}, "D3DInterface->CreateDevice"},
        {800, 600, 0, format555, ""}, // the software device, on a 5-5-5 display
    };
    for (const auto& c : cases) {
        start(c.width, c.height, c.hardware, c.options);
        EXPECT_EQ(failure(), c.failure) << c.width << " " << c.hardware;
        TearDown();
    }
    EXPECT_EQ(ScreenGreenMask, 0x03E0u);
    EXPECT_FALSE(screenIs565());
}

// A farther triangle drawn later neither hides nor tints a nearer one.
TEST_F(Display, RenderStatesTurnDepthOnAndLeaveBlendingOff) {
    start(640, 480);
    ASSERT_EQ(failure(), "");
    setRenderState(RS_ZENABLE, 0);
    setRenderState(RS_ZWRITEENABLE, 0);
    setRenderStates();
    fillSurface(DDrawSurfaceBack, 0);
    fillSurface(Zbuffer, 0xFFFF);
    for (const auto& [z, colour] : {std::pair{0.2f, 0xFFFF0000u}, std::pair{0.8f, 0x000000FFu}}) {
        const TLVertex v[3] = {
            {0, 0, z, 1, colour, 0, 0}, {8, 0, z, 1, colour, 0, 0}, {0, 8, z, 1, colour, 0, 0}};
        drawPrimitive(v, 3);
    }
    EXPECT_EQ(backPixel(1, 1), 0xF800);
}

} // namespace
