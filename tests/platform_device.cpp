// The platform layer: surfaces, the headless video system and its flipping
// chain, the message queue, screen text and PNG files, the SDL backend failing
// cleanly where there is no display; and the software device's pictures:
// coverage and the fill rule, culling, depth, depth bias and depth clipping,
// perspective, texture stages, addressing and filtering, blending, clipping and
// the triangles it must refuse. Every device test runs twice: with the
// eight-pixel passes where the processor has them, and with the plain loops
// that processors without them draw with.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/raster_simd.h"
#include "tests/headless_screen.h"

// SDL's attempt at a desktop session keeps a D-Bus buffer that the library
// never hands back; it is not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace {

constexpr uint32_t White = 0xFFFFFFFFu;

TLVertex at(float x, float y, float z = 0.5f, uint32_t colour = White, float u = 0.0f,
            float v = 0.0f, float rhw = 1.0f) {
    return TLVertex{x, y, z, rhw, colour, u, v};
}

// Two triangles, both kept by the default culling (clockwise on screen).
std::vector<TLVertex> quad(const TLVertex& topLeft, const TLVertex& topRight,
                           const TLVertex& bottomRight, const TLVertex& bottomLeft) {
    return {topLeft, topRight, bottomRight, topLeft, bottomRight, bottomLeft};
}

// The rectangle x0..x1, y0..y1 of one depth and colour.
std::vector<TLVertex> rect(float x0, float y0, float x1, float y1, float z = 0.5f,
                           uint32_t colour = White) {
    return quad(at(x0, y0, z, colour), at(x1, y0, z, colour), at(x1, y1, z, colour),
                at(x0, y1, z, colour));
}

void draw(const std::vector<TLVertex>& v) {
    ASSERT_EQ(drawPrimitive(v.data(), static_cast<int>(v.size())), PLATFORM_OK);
}

class Screen : public ::testing::Test {
  protected:
    void open(int width, int height, const HeadlessOptions& options = {}) {
        selectBackend(Backend::Headless, options);
        ASSERT_TRUE(videoStart() == PLATFORM_OK && setCooperativeLevel(true) == PLATFORM_OK &&
                    setDisplayMode(width, height) == PLATFORM_OK);
    }
    void TearDown() override { videoStop(); }
    static uint16_t read(Surface* s, int x, int y) {
        LockedSurface l;
        lockSurface(s, &l);
        const uint16_t value = l.memory[y * l.pitch / 2 + x];
        unlockSurface(s);
        return value;
    }
};

TEST_F(Screen, SurfacesAreMadeLockedFilledAndCopied) {
    for (const auto& [width, height] :
         {std::pair(0, 10), std::pair(10, -1), std::pair(1 << 20, 1 << 20)})
        EXPECT_EQ(createSurface(width, height, PixelFormat::Rgb565), nullptr) << width;

    Surface* a = createSurface(13, 7, PixelFormat::Rgb565);
    Surface* b = createSurface(13, 7, PixelFormat::Rgb565);
    LockedSurface l;
    ASSERT_EQ(lockSurface(a, &l), PLATFORM_OK);
    l.memory[6 * l.pitch / 2 + 12] = 0x1234; // the last pixel, through the pitch
    EXPECT_EQ(unlockSurface(a), PLATFORM_OK);
    EXPECT_EQ(unlockSurface(a), PLATFORM_FAILED); // not locked any more

    ASSERT_EQ(fillSurface(b, 0xABCD), PLATFORM_OK);
    EXPECT_EQ(read(b, 12, 6), 0xABCD);
    EXPECT_EQ(loadTexture(b, a), PLATFORM_OK); // a copy, as the screen's flip makes one too
    EXPECT_EQ(read(b, 12, 6), 0x1234);

    Surface* other = createSurface(12, 7, PixelFormat::Rgb565);
    Surface* depth = createSurface(13, 7, PixelFormat::Depth16);
    EXPECT_EQ(copySurface(other, a), PLATFORM_FAILED);
    EXPECT_EQ(copySurface(depth, a), PLATFORM_FAILED);
    for (Surface* s : {a, b, other, depth}) releaseSurface(s);
    releaseSurface(nullptr);
}

// A copy from the surface dst was last copied from takes only the areas
// written since, on either side: each write path must record where it
// wrote. Every pixel of `a` differs from b's, so a missed one shows.
TEST_F(Screen, CopiesTakeEveryAreaWrittenSinceTheLastCopyOnEitherSide) {
    Surface* cache = createSurface(150, 70, PixelFormat::Rgb565);
    Surface* back = createSurface(150, 70, PixelFormat::Rgb565);
    LockedSurface l;
    lockSurface(cache, &l);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 150; ++x)
            l.memory[y * l.pitch / 2 + x] = static_cast<uint16_t>(x * 70 + y);
    unlockSurface(cache);
    auto same = [&] {
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 150; ++x)
                if (read(back, x, y) != read(cache, x, y))
                    return ::testing::AssertionFailure() << x << "," << y;
        return ::testing::AssertionSuccess();
    };
    auto writeIn = [&](Surface* s, const PixelArea& area) {
        lockSurface(s, &l);
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) l.memory[y * l.pitch / 2 + x] = 0xFFFF;
        unlockSurfaceArea(s, area);
    };
    ASSERT_EQ(copySurface(back, cache), PLATFORM_OK);
    EXPECT_TRUE(same());

    // Areas, some overlapping or holding others, text (whose cell reaches
    // past its ink), and an area cut by the edges.
    writeIn(back, {0, 0, 1, 1});
    writeIn(back, {10, 10, 30, 20});
    writeIn(back, {12, 12, 14, 14});
    writeIn(back, {25, 15, 60, 40});
    writeIn(back, {140, 60, 150, 70});
    drawText(back, 70, 40, "Wg_", 255, 255, 255);
    drawText(back, 140, -5, "Q", 255, 255, 255);
    unlockSurfaceArea(back, {0, 0, 0, 0}); // not locked: refused, nothing recorded
    lockSurface(back, &l);
    unlockSurfaceArea(back, {200, 200, 300, 300}); // wholly outside: nothing written
    ASSERT_EQ(copySurface(back, cache), PLATFORM_OK);
    EXPECT_TRUE(same());

    // More areas than are kept: the oldest stand for the whole surface.
    for (int i = 0; i < 50; ++i) writeIn(back, {i * 3, i, i * 3 + 2, i + 2});
    copySurface(back, cache);
    EXPECT_TRUE(same());

    // The source written since the last copy, in an area and then whole.
    writeIn(cache, {100, 5, 120, 9});
    copySurface(back, cache);
    EXPECT_TRUE(same());
    fillSurface(cache, 0x1234);
    copySurface(back, cache);
    EXPECT_TRUE(same());

    // Copied the other way in between: the cache becomes the copy.
    writeIn(back, {40, 40, 50, 50});
    copySurface(cache, back);
    writeIn(back, {60, 5, 70, 9});
    copySurface(back, cache);
    EXPECT_TRUE(same());

    // A source released and another made in its place is copied whole.
    releaseSurface(cache);
    cache = createSurface(150, 70, PixelFormat::Rgb565);
    writeIn(cache, {0, 0, 150, 70});
    copySurface(back, cache);
    EXPECT_TRUE(same());
    releaseSurface(cache);
    releaseSurface(back);
}

// The flip shows what was drawn over an unchanged frame and what a copy
// took back from under it, and the device's drawing, wherever it lands.
TEST_F(Screen, PresentsShowEveryChangeOverAStillFrame) {
    open(64, 48);
    Surface* cache = createSurface(64, 48, PixelFormat::Rgb565);
    fillSurface(cache, 0x0010);
    auto shown = [](int x, int y) { return lastPresentedFrame(nullptr, nullptr)[y * 64 + x]; };
    // The pixels of the cell of a character drawn at (20, 20) that are not the cache's.
    auto inked = [&] {
        int count = 0;
        for (int y = 20; y < 44; ++y)
            for (int x = 20; x < 36; ++x) count += shown(x, y) != 0x0010 ? 1 : 0;
        return count;
    };
    copySurface(backBuffer(), cache);
    ASSERT_EQ(presentFrame(), PLATFORM_OK);
    drawText(backBuffer(), 20, 20, "M", 255, 255, 255);
    presentFrame();
    EXPECT_GT(inked(), 20);
    copySurface(backBuffer(), cache);
    presentFrame();
    EXPECT_EQ(inked(), 0);

    ASSERT_EQ(createDevice(0, backBuffer()), PLATFORM_OK);
    setRenderState(RS_ZENABLE, 0);
    draw(rect(40, 30, 50, 40, 0.5f, 0xFFFF0000));
    presentFrame();
    EXPECT_EQ(shown(45, 35), 0xF800);
    releaseDevice();
    releaseSurface(cache);
}

TEST_F(Screen, PresentedFramesCanBeReadBackAndLossIsReportedOnce) {
    open(64, 48);
    fillSurface(backBuffer(), 0xF800);
    ASSERT_EQ(presentFrame(), PLATFORM_OK);
    int w = 0, h = 0;
    const uint16_t* frame = lastPresentedFrame(&w, &h);
    EXPECT_EQ(std::pair(w, h), std::pair(64, 48));
    EXPECT_EQ(frame[47 * 64 + 63], 0xF800);
    EXPECT_EQ(read(primarySurface(), 10, 10), 0xF800);

    fillSurface(backBuffer(), 0x001F);
    injectSurfaceLoss();
    EXPECT_EQ(presentFrame(), PLATFORM_SURFACE_LOST);
    EXPECT_EQ(lastPresentedFrame(nullptr, nullptr)[0], 0xF800); // nothing shown
    EXPECT_EQ(presentFrame(), PLATFORM_OK);
    EXPECT_EQ(lastPresentedFrame(nullptr, nullptr)[0], 0x001F);
}

// Every message the procedure sees, in order.
std::vector<std::tuple<uint32_t, uint64_t, int64_t>> Seen;
int64_t recordingProc(const Message& m) {
    Seen.emplace_back(m.message, m.wParam, m.lParam);
    return 0;
}

// Quit comes last; of a run of mouse moves only the latest is kept, and the
// cursor is where it left.
TEST_F(Screen, MessagesArriveInOrderWithQuitLastAndMouseMovesCoalesced) {
    Seen.clear();
    ASSERT_EQ(createGameWindow("Korvath", 64, 48, recordingProc), PLATFORM_OK);
    open(64, 48); // shows the window, which activates it
    injectMessage(Message{WM_KEYDOWN, VK_LEFT, 0});
    injectMessage(Message{WM_MOUSEMOVE, 0, 1 | (1 << 16)});
    injectMessage(Message{WM_MOUSEMOVE, 0, 2 | (2 << 16)});
    injectMessage(Message{WM_LBUTTONDOWN, 0, 5 | (6 << 16)});
    injectMessage(Message{WM_MOUSEMOVE, 0, 3 | (4 << 16)});
    postQuitMessage(3);
    injectMessage(Message{WM_KEYDOWN, VK_F3, 0});
    EXPECT_EQ(dispatchWaitingMessages(), 3);
    const decltype(Seen) expected = {
        {WM_ACTIVATE, WA_ACTIVE, 0},      {WM_KEYDOWN, VK_LEFT, 0},
        {WM_MOUSEMOVE, 0, 2 | (2 << 16)}, {WM_LBUTTONDOWN, 0, 5 | (6 << 16)},
        {WM_MOUSEMOVE, 0, 3 | (4 << 16)}, {WM_KEYDOWN, VK_F3, 0}};
    EXPECT_EQ(Seen, expected);
    int x = 0, y = 0;
    getCursorPos(&x, &y);
    EXPECT_EQ(std::pair(x, y), std::pair(3, 4));
    EXPECT_FALSE(peekMessage());
    destroyGameWindow();
}

// In a window of any size the picture keeps its shape, centred between bars,
// and every window pixel of it maps to the game pixel under its centre, from
// the first game pixel to the last; the bars map off the game's edges.
TEST(WindowScaling, PickingMapsEveryWindowPixelToTheGamePixelShownThere) {
    const struct {
        int window[2], game[2];
        PictureRect rect;
    } cases[] = {{{640, 480}, {640, 480}, {0, 0, 640, 480}},
                 {{1920, 1080}, {800, 600}, {240, 0, 1440, 1080}},
                 {{1000, 1000}, {1024, 768}, {0, 125, 1000, 750}},
                 {{641, 700}, {640, 480}, {0, 109, 641, 481}}};
    for (const auto& c : cases) {
        const PictureRect r = pictureRect(c.window[0], c.window[1], c.game[0], c.game[1]);
        EXPECT_EQ(std::vector({r.x, r.y, r.width, r.height}),
                  std::vector({c.rect.x, c.rect.y, c.rect.width, c.rect.height}));
        for (int axis = 0; axis < 2; ++axis) {
            const int start = axis == 0 ? r.x : r.y, extent = axis == 0 ? r.width : r.height;
            const double scale = static_cast<double>(extent) / c.game[axis];
            std::vector<int> mapped, shown;
            for (int at = start - 1; at <= start + extent; ++at) {
                int g[2];
                windowToGame(axis == 0 ? at : r.x, axis == 0 ? r.y : at, c.window[0], c.window[1],
                             c.game[0], c.game[1], &g[0], &g[1]);
                mapped.push_back(g[axis]);
                // A centre exactly on a pixel edge belongs to the pixel that starts there.
                shown.push_back(static_cast<int>(std::floor((at - start + 0.5) / scale + 1e-9)));
            }
            EXPECT_EQ(mapped, shown) << c.window[0] << "x" << c.window[1] << " axis " << axis;
            EXPECT_EQ(std::vector({mapped[0], mapped[1], mapped[extent], mapped[extent + 1]}),
                      std::vector({-1, 0, c.game[axis] - 1, c.game[axis]}));
        }
    }
}

// Text off the edges is cut, not written outside (the sanitizer run sees it);
// where it lands is checked through the menu's labels.
TEST_F(Screen, TextOffTheEdgesIsCutAndAPngThatCannotBeWrittenIsReported) {
    open(64, 32);
    EXPECT_EQ(drawText(backBuffer(), -5, -5, "XYZ", 255, 0, 0), PLATFORM_OK);
    EXPECT_EQ(drawText(backBuffer(), 60, 28, "XYZ", 255, 0, 0), PLATFORM_OK);
    EXPECT_EQ(drawText(nullptr, 0, 0, "X", 0, 0, 0), PLATFORM_FAILED);

    // Written PNG files are read back by the reference frames.
    std::vector<uint16_t> pixels(16 * 8, 0xF800);
    EXPECT_EQ(savePng("/nonexistent-dir/x.png", pixels.data(), 16, 8, 32, PixelFormat::Rgb565),
              PLATFORM_FAILED);
}

// Text drawn eight pixels at a time is the one-by-one blend's, pixel for
// pixel: every character, in colours from black to white and in between,
// over every 5-6-5 value, at the left and right edges too.
TEST_F(Screen, TextDrawsTheSamePixelsOnBothPaths) {
    open(800, 120);
    std::string all;
    for (char c = ' '; c <= '~'; ++c) all += c;
    auto drawOnce = [&](bool wide) {
        allowWideLanes(wide);
        LockedSurface l;
        lockSurface(backBuffer(), &l);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 800; ++x)
                l.memory[y * l.pitch / 2 + x] = static_cast<uint16_t>((y * 800 + x) * 11);
        unlockSurface(backBuffer());
        const uint8_t colours[][3] = {{255, 255, 255}, {0, 0, 0}, {200, 30, 97}, {7, 250, 128}};
        for (int k = 0; k < 4; ++k)
            drawText(backBuffer(), -3 + k, 2 + 28 * k, all.c_str(), colours[k][0], colours[k][1],
                     colours[k][2]);
        drawText(backBuffer(), 790, 60, "MW", 255, 255, 255);
        std::vector<uint16_t> pixels;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 800; ++x) pixels.push_back(read(backBuffer(), x, y));
        allowWideLanes(true);
        return pixels;
    };
    EXPECT_EQ(drawOnce(true), drawOnce(false));
}

TEST(SdlBackend, WithoutADisplayFailsAndMessagesGoToStandardError) {
    // No X server and no Wayland: the start must fail, not crash, and not
    // settle for a driver that shows nothing.
    for (const char* name : {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"}) unsetenv(name);
    selectBackend(Backend::Sdl);
    EXPECT_EQ(videoStart(), PLATFORM_FAILED);
    EXPECT_EQ(setDisplayMode(640, 480), PLATFORM_FAILED);
    ::testing::internal::CaptureStderr();
    showMessageBox("FAILED", "ERROR:DirectDrawCreateEx");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, ::testing::AllOf(::testing::HasSubstr("FAILED"),
                                      ::testing::HasSubstr("ERROR:DirectDrawCreateEx")));
    selectBackend(Backend::Headless); // stops the failed start
}

// The parameter: whether the eight-pixel passes may draw.
class Raster : public Screen, public ::testing::WithParamInterface<bool> {
  protected:
    void openDevice(int width, int height, const HeadlessOptions& options = {}) {
        open(width, height, options);
        target = backBuffer();
        depth = createSurface(width, height, PixelFormat::Depth16);
        ASSERT_EQ(attachDepthSurface(target, depth), PLATFORM_OK);
        ASSERT_EQ(createDevice(0, target), PLATFORM_OK);
        clear();
    }
    void SetUp() override {
        allowWideLanes(GetParam());
        openDevice(96, 72);
    }
    void TearDown() override {
        for (Surface* t : textures) releaseSurface(t);
        releaseDevice();
        releaseSurface(depth);
        videoStop();
        allowWideLanes(true);
    }
    void clear(uint16_t colour = 0) {
        fillSurface(target, colour);
        fillSurface(depth, 0xFFFF);
    }
    uint16_t pixel(int x, int y) const { return read(target, x, y); }
    // Width x height texels from a function of (x, y).
    template <class F> Surface* texture(int width, int height, PixelFormat format, F texel) {
        Surface* t = createSurface(width, height, format);
        LockedSurface l;
        lockSurface(t, &l);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) l.memory[y * l.pitch / 2 + x] = texel(x, y);
        unlockSurface(t);
        textures.push_back(t);
        return t;
    }
    void additiveBlending() {
        setRenderState(RS_ALPHABLENDENABLE, 1);
        setRenderState(RS_SRCBLEND, BLEND_ONE);
        setRenderState(RS_DESTBLEND, BLEND_ONE);
        setRenderState(RS_ZENABLE, 0);
    }
    // The whole target, row-major, for tests that look at every pixel.
    std::vector<uint16_t> snapshot() const {
        std::vector<uint16_t> out;
        for (int y = 0; y < surfaceHeight(target); ++y)
            for (int x = 0; x < surfaceWidth(target); ++x) out.push_back(pixel(x, y));
        return out;
    }

    Surface *target = nullptr, *depth = nullptr;
    std::vector<Surface*> textures;
};

INSTANTIATE_TEST_SUITE_P(Paths, Raster, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WideLanes" : "PlainLoops"; });

// One additive layer of 0xFF080808 on black.
constexpr uint16_t OneLayer = 0x0841;
constexpr uint32_t Layer = 0xFF080808u;

TEST_P(Raster, SharedEdgesCoverEveryPixelExactlyOnce) {
    additiveBlending();
    // A lattice with every inner corner jittered off the pixel grid, alike for
    // every triangle that shares it: edges of all slopes, each shared by two.
    auto corner = [](int i, int j) {
        const uint32_t h = (i * 2654435761u) ^ (j * 40503u * 40503u);
        const float amount = i % 8 == 0 || j % 8 == 0 ? 0.0f : 7.4f;
        auto jitter = [&](uint32_t k) {
            return (static_cast<float>(k % 1000) / 1000.0f - 0.5f) * amount;
        };
        return at(6.0f + 10.0f * i + jitter(h >> 8), 4.0f + 8.0f * j + jitter(h >> 18), 0.5f,
                  Layer);
    };
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
            draw(quad(corner(i, j), corner(i + 1, j), corner(i + 1, j + 1), corner(i, j + 1)));
    // The lattice is the rectangle [6, 86) x [4, 68): covered once, nothing twice.
    const std::vector<uint16_t> frame = snapshot();
    for (int i = 0, x = 0, y = 0; i < 96 * 72; ++i, x = i % 96, y = i / 96)
        ASSERT_EQ(frame[i], x >= 6 && x < 86 && y >= 4 && y < 68 ? OneLayer : 0) << x << "," << y;
}

// A clockwise triangle at x 10..30 and a counter-clockwise one at x 40..60.
TEST_P(Raster, CullingDropsTheWindingItIsAskedTo) {
    // -1: the default (counter-clockwise culled), before any mode is set.
    const std::tuple<int, uint16_t, uint16_t> cases[] = {
        {-1, 0xFFFF, 0}, {CULL_CW, 0, 0xFFFF}, {CULL_NONE, 0xFFFF, 0xFFFF}, {CULL_CCW, 0xFFFF, 0}};
    for (const auto& [mode, clockwise, counterClockwise] : cases) {
        if (mode >= 0) setRenderState(RS_CULLMODE, mode);
        clear();
        draw({at(10, 10), at(30, 10), at(10, 30)});
        draw({at(40, 10), at(40, 30), at(60, 10)});
        EXPECT_EQ(pixel(15, 15), clockwise) << mode;
        EXPECT_EQ(pixel(45, 15), counterClockwise) << mode;
    }
}

// Depth writes and the test can be switched off. Then a square `behind` depth
// units beyond one drawn at bias 0: each step of bias pulls it two units nearer,
// so that it wins up to twice its bias and not one unit more; ties pass the
// less-or-equal test.
TEST_P(Raster, DepthWritesAndTestSwitchOffAndBiasWinsByTwoUnitsAStep) {
    draw(rect(0, 0, 16, 16, 0.5f, 0xFFFF0000u));
    EXPECT_EQ(read(depth, 5, 5), 32768); // 0.5 of 65535, rounded
    setRenderState(RS_ZWRITEENABLE, 0);
    draw(rect(0, 0, 16, 16, 0.4f, 0xFF0000FFu));
    EXPECT_EQ(pixel(5, 5), 0x001F);
    setRenderState(RS_ZENABLE, 0);
    setRenderState(RS_ZWRITEENABLE, 1);
    draw(rect(0, 0, 16, 16, 0.9f, 0xFF00FF00u)); // no test, and no writes either
    EXPECT_EQ(pixel(5, 5), 0x07E0);
    EXPECT_EQ(read(depth, 5, 5), 32768);
    setRenderState(RS_ZENABLE, 1);
    const std::tuple<uint32_t, int, bool> cases[] = {
        {0, 0, true}, {0, 1, false}, {1, 2, true}, {1, 3, false}, {16, 32, true}, {16, 33, false}};
    for (const auto& [bias, behind, wins] : cases) {
        clear();
        ASSERT_EQ(setRenderState(RS_ZBIAS, 0), PLATFORM_OK);
        draw(rect(0, 0, 16, 16, 20000.0f / 65535.0f, 0xFFFF0000u));
        ASSERT_EQ(setRenderState(RS_ZBIAS, bias), PLATFORM_OK);
        draw(rect(0, 0, 16, 16, (20000.0f + static_cast<float>(behind)) / 65535.0f, 0xFF00FF00u));
        EXPECT_EQ(pixel(8, 8), wins ? 0x07E0 : 0xF800) << "bias " << bias << ", behind " << behind;
    }
}

// Depth runs linearly along the rows and reaches 0 and 1 half a pixel from
// pixel centres: exactly the pixels whose depth lies within 0..1 are drawn,
// the first and the last included, whichever way the depth runs. The colour
// runs from black to red meanwhile.
TEST_P(Raster, DepthOutsideZeroToOneIsClippedPerPixelAndColoursAreInterpolated) {
    setRenderState(RS_ZENABLE, 0);
    // Depth at x = 0 and x = 80, and the first and last pixels drawn.
    const std::tuple<float, float, int, int> cases[] = {{-0.4875f, 1.5125f, 20, 59},
                                                        {1.5125f, -0.4875f, 21, 60}};
    for (const auto& [left, right, first, last] : cases) {
        clear();
        const uint32_t black = 0xFF000000u, red = 0xFFFF0000u;
        draw(quad(at(0, 0, left, black), at(80, 0, right, red), at(80, 2, right, red),
                  at(0, 2, left, black)));
        for (int x = 0; x < 96; ++x) {
            const int p = pixel(x, 1), shade = x >= first && x <= last ? 31 * x / 80 : 0;
            EXPECT_TRUE(std::abs((p >> 11) - shade) <= 1 && (p & 0x07FF) == 0 &&
                        (p != 0) == (shade != 0))
                << left << ": " << x << " " << p;
        }
    }
}

// Texel 0x8410 is 132, 130, 132 in 8 bits; the vertex colour is 128 grey.
TEST_P(Raster, ColourOperationsGiveTheDevicesResults) {
    const std::tuple<const char*, uint32_t, uint32_t, uint32_t, bool, uint16_t> cases[] = {
        {"modulate", TOP_MODULATE, TA_TEXTURE, TA_DIFFUSE, true, 0x4208},
        {"add saturates", TOP_ADD, TA_TEXTURE, TA_DIFFUSE, true, 0xFFFF},
        {"texture", TOP_SELECTARG1, TA_TEXTURE, TA_DIFFUSE, true, 0x8410},
        {"diffuse", TOP_SELECTARG1, TA_DIFFUSE, TA_TEXTURE, true, 0x8410},
        {"disable", TOP_DISABLE, TA_TEXTURE, TA_DIFFUSE, true, 0x8410},
        {"no texture is white", TOP_SELECTARG1, TA_TEXTURE, TA_DIFFUSE, false, 0xFFFF},
        {"no texture modulates to the colour", TOP_MODULATE, TA_TEXTURE, TA_CURRENT, false, 0x8410},
    };
    Surface* grey = texture(8, 8, PixelFormat::Rgb565, [](int, int) { return uint16_t{0x8410}; });
    for (const auto& [name, colorOp, arg1, arg2, bindTexture, expected] : cases) {
        clear();
        setTexture(0, bindTexture ? grey : nullptr);
        setTextureStageState(0, TSS_COLOROP, colorOp);
        setTextureStageState(0, TSS_COLORARG1, arg1);
        setTextureStageState(0, TSS_COLORARG2, arg2);
        draw(rect(0, 0, 16, 16, 0.5f, 0xFF808080u));
        EXPECT_EQ(pixel(8, 8), expected) << name;
    }
}

// Source x alpha + frame x (255 - alpha) / 255, cut to 5-6-5. Alpha 8/15
// (136) leaves 119 of white: red and blue 14, green 29 (0x73AE), where one
// more would show a step more in every channel.
TEST_P(Raster, BlendingWeighsTheFrameByTheComplementOfAlpha) {
    // Texel: 4-4-4-4 alpha from the texture, or -1: from the vertex.
    const std::tuple<const char*, int, uint32_t, uint16_t, uint16_t, uint32_t> cases[] = {
        {"shadow texel", 0x8000, White, 0xFFFF, 0x73AE, BLEND_SRCALPHA},
        {"clear shadow texel", 0x0000, White, 0xFFFF, 0xFFFF, BLEND_SRCALPHA},
        {"opaque shadow texel", 0xF000, White, 0xFFFF, 0x0000, BLEND_SRCALPHA},
        {"vertex alpha", -1, 0x88000000u, 0xFFFF, 0x73AE, BLEND_SRCALPHA},
        {"vertex alpha on black", -1, 0x88FFFFFFu, 0x0000, 0x8C51, BLEND_SRCALPHA}, // 17, 34, 17
        {"other factors", -1, 0x88FFFFFFu, 0xFFFF, 0x73AE, BLEND_ZERO},
    };
    setRenderState(RS_ALPHABLENDENABLE, 1);
    setRenderState(RS_DESTBLEND, BLEND_INVSRCALPHA);
    for (const auto& [name, texel, colour, frame, expected, srcBlend] : cases) {
        clear(frame);
        auto shadow = [t = texel](int, int) { return static_cast<uint16_t>(t); };
        setTexture(0, texel >= 0 ? texture(8, 8, PixelFormat::Argb4444, shadow) : nullptr);
        setTextureStageState(0, TSS_ALPHAOP, texel >= 0 ? TOP_SELECTARG1 : TOP_DISABLE);
        setRenderState(RS_SRCBLEND, srcBlend);
        draw(rect(0, 0, 16, 16, 0.5f, colour));
        EXPECT_EQ(pixel(8, 8), expected) << name;
    }
}

// Every texture format, uploaded from a staging surface whose rows are padded
// (widths 6 and 3) or not, sampled by every filter and addressing mode over the
// whole target with coordinates reaching past both edges, against a slow
// per-texel reference that decodes each format's own bit layout: a point sample
// shows the texel it picks (either one where a pixel centre meets a texel
// edge); a bilinear one lies between the blends at the nearest sixteenths of a
// texel, within two steps of the format's channels (the device blends at their
// precision, its weights too).
TEST_P(Raster, EveryFormatFilterAndAddressingModeSamplesAsTheSlowReference) {
    using Rgb = std::array<float, 3>;
    setRenderState(RS_TEXTUREPERSPECTIVE, 0);
    auto address = [](int i, int n, uint32_t mode) {
        const int m = ((i % (2 * n)) + 2 * n) % (2 * n);
        return mode == TADDRESS_CLAMP
                   ? std::clamp(i, 0, n - 1)
                   : (mode == TADDRESS_WRAP ? m % n : std::min(m, 2 * n - 1 - m));
    };
    auto decode = [](uint16_t t, int f) {
        auto four = [](int v) { return v * 17.0f; };
        auto five = [](int v) { return static_cast<float>(v << 3 | v >> 2); };
        auto six = [](int v) { return static_cast<float>(v << 2 | v >> 4); };
        const Rgb rgb[] = {{five(t >> 11), six(t >> 5 & 63), five(t & 31)},
                           {five(t >> 10 & 31), five(t >> 5 & 31), five(t & 31)},
                           {five(t & 31), six(t >> 5 & 63), five(t >> 11)},
                           {four(t >> 8 & 15), four(t >> 4 & 15), four(t & 15)},
                           {five(t >> 10 & 31), five(t >> 5 & 31), five(t & 31)}};
        return rgb[f];
    };
    const float u0 = -1.3f, u1 = 2.2f, v0 = -0.7f, v1 = 1.9f;
    for (int f = 0; f < 5; ++f)
        for (const auto& size : {std::pair(4, 4), {6, 3}, {8, 2}}) {
            const int tw = size.first, th = size.second; // Clang 14 lambdas cannot capture bindings
            auto texel = [&](int x, int y) {
                return static_cast<uint16_t>((x * 40503u + y * 2654435761u) >> 7 | 0x8000);
            };
            auto sample = [&](int i, int j, uint32_t mode) {
                return decode(texel(address(i, tw, mode), address(j, th, mode)), f);
            };
            const PixelFormat format = static_cast<PixelFormat>(f);
            Surface* staging = texture(tw, th, format, texel);
            Surface* picture = texture(tw, th, format, [](int, int) -> uint16_t { return 0; });
            ASSERT_EQ(loadTexture(picture, staging), PLATFORM_OK);
            for (int i = 0; i < tw * th; ++i)
                ASSERT_EQ(read(picture, i % tw, i / tw), texel(i % tw, i / tw)) << i;
            setTexture(0, picture);
            for (uint32_t mode : {TADDRESS_WRAP, TADDRESS_MIRROR, TADDRESS_CLAMP})
                for (uint32_t filter : {TFILTER_POINT, TFILTER_LINEAR}) {
                    setTextureStageState(0, TSS_ADDRESS, mode);
                    setTextureStageState(0, TSS_MAGFILTER, filter);
                    setTextureStageState(0, TSS_MINFILTER, filter);
                    clear();
                    draw(quad(at(0, 0, 0.5f, White, u0, v0), at(96, 0, 0.5f, White, u1, v0),
                              at(96, 72, 0.5f, White, u1, v1), at(0, 72, 0.5f, White, u0, v1)));
                    for (int y = 0; y < 72; ++y)
                        for (int x = 0; x < 96; ++x) {
                            const float s = (u0 + (u1 - u0) * x / 96) * tw,
                                        t = (v0 + (v1 - v0) * y / 72) * th;
                            // The range the reference allows, channel by channel.
                            Rgb low{255, 255, 255}, high{};
                            auto allow = [&](const Rgb& c) {
                                for (int k = 0; k < 3; ++k)
                                    low[k] = std::min(low[k], c[k]),
                                    high[k] = std::max(high[k], c[k]);
                            };
                            const bool point = filter == TFILTER_POINT;
                            const int i = static_cast<int>(std::floor(s - 0.5f)),
                                      j = static_cast<int>(std::floor(t - 0.5f));
                            const float fu = s - 0.5f - i, fv = t - 0.5f - j;
                            for (float a : {std::floor(fu * 16) / 16, std::ceil(fu * 16) / 16})
                                for (float b :
                                     {std::floor(fv * 16) / 16, std::ceil(fv * 16) / 16}) {
                                    if (point)
                                        allow(sample(static_cast<int>(std::floor(s + a - fu)),
                                                     static_cast<int>(std::floor(t + b - fv)),
                                                     mode));
                                    Rgb blend{};
                                    for (int c = 0; c < 4 && !point; ++c)
                                        for (int k = 0; k < 3; ++k)
                                            blend[k] += (c % 2 ? a : 1 - a) * (c / 2 ? b : 1 - b) *
                                                        sample(i + c % 2, j + c / 2, mode)[k];
                                    if (!point) allow(blend);
                                }
                            // The 8-bit values the pixel's 5 or 6 bits stand for must meet it.
                            const int p = pixel(x, y),
                                      got[] = {p >> 8 & 0xF8, p >> 3 & 0xFC, p << 3 & 0xF8};
                            const float slack = point ? 0 : (f == 3 ? 34 : 16);
                            bool ok = true;
                            for (int k = 0; k < 3; ++k)
                                ok &= high[k] >= got[k] - slack &&
                                      low[k] <= got[k] + (k == 1 ? 3 : 7) + slack;
                            ASSERT_TRUE(ok)
                                << f << " " << tw << "x" << th << " mode " << mode << " filter "
                                << filter << " at " << x << "," << y << ": " << p;
                        }
                }
        }
}

// Thousands of texels a pixel and coordinates in the millions: every pixel
// still shows one of the two colours (or a blend of them).
TEST_P(Raster, ExtremeTextureCoordinatesOnlyEverShowTheTexturesOwnTexels) {
    setTexture(0, texture(16, 16, PixelFormat::Rgb565, [](int x, int) {
                   return static_cast<uint16_t>(x % 2 == 0 ? 0xF800 : 0x001F);
               }));
    for (uint32_t filter : {TFILTER_POINT, TFILTER_LINEAR})
        for (uint32_t address : {TADDRESS_MIRROR, TADDRESS_WRAP, TADDRESS_CLAMP}) {
            clear();
            setTextureStageState(0, TSS_ADDRESS, address);
            setTextureStageState(0, TSS_MAGFILTER, filter);
            setTextureStageState(0, TSS_MINFILTER, filter);
            draw(quad(at(0, 0, 0.5f, White, -3e6f, 0, 0.5f), at(96, 0, 0.5f, White, 3e6f, 0, 0.5f),
                      at(96, 72, 0.5f, White, 3e6f, 1e5f, 1.0f),
                      at(0, 72, 0.5f, White, -3e6f, 1e5f, 1.0f)));
            for (uint16_t p : snapshot()) ASSERT_TRUE(p != 0 && (p & 0x07E0) == 0) << p;
        }
}

// The viewport cuts the drawing (of a fan: corner 0 with each following pair), and so does the
// surface's edge when the viewport is taller (a 1024 x 600 mode keeps a 768-row viewport); corners
// millions of pixels away lose no pixel of a shared diagonal either.
TEST_P(Raster, DrawingIsClippedToTheViewportAndTheSurface) {
    ASSERT_EQ(setViewport(10, 10, 20, 20, 0.0f, 1.0f), PLATFORM_OK);
    const TLVertex fan[] = {at(-50, -50), at(150, -50), at(150, 150), at(-50, 150)};
    ASSERT_EQ(drawTriangleFan(fan, 4), PLATFORM_OK);
    EXPECT_EQ(std::ranges::count(snapshot(), 0xFFFF), 20 * 20);
    EXPECT_EQ(pixel(10, 10) & pixel(29, 29), 0xFFFF); // its corners drawn
    EXPECT_EQ(pixel(9, 10) | pixel(30, 29), 0);       // and nothing beside them
    clear();
    additiveBlending();
    ASSERT_EQ(setViewport(0, 0, 96, 200, 0.0f, 1.0f), PLATFORM_OK);
    draw(rect(-3e6f, -2e6f, 4e6f, 5e6f, 0.5f, Layer));
    EXPECT_EQ(std::ranges::count(snapshot(), OneLayer), 96 * 72);
}

TEST_P(Raster, WhatCannotBeDrawnOrIsNotOfferedIsRefused) {
    const float nan = std::nanf(""), inf = INFINITY;
    const std::vector<std::vector<TLVertex>> refused = {
        {at(10, 10), at(20, 20), at(30, 30)},                           // in a line
        {at(10, 10), at(10, 10), at(10, 10)},                           // a point
        {at(10, 10), at(30, 10), at(10, nan)},                          // not a number
        {at(10, 10), at(inf, 10), at(10, 30)},                          // infinite
        {at(10, 10, 0.5f, White, 0, 0, 0.0f), at(30, 10), at(10, 30)},  // at the eye
        {at(10, 10), at(30, 10, 0.5f, White, 0, 0, -1.0f), at(10, 30)}, // behind it
    };
    for (const auto& t : refused) draw(t);
    EXPECT_EQ(std::ranges::count(snapshot(), 0), 96 * 72);
    const TLVertex two[2] = {at(0, 0), at(1, 1)};
    const int failures[] = {
        drawPrimitive(nullptr, 3),      drawPrimitive(two, 2),
        drawTriangleFan(two, 2),        setRenderState(RS_ZBIAS, 17),
        setRenderState(RS_CULLMODE, 9), setViewport(0, 0, 0, 10, 0.0f, 1.0f),
        setTexture(0, depth),           setTextureStageState(8, TSS_COLOROP, TOP_ADD),
        createDevice(2, target),        createDevice(-1, target)};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(failures[i], PLATFORM_FAILED) << i;
    EXPECT_EQ(createDevice(1, target), PLATFORM_OK);
}

TEST_P(Raster, FiveFiveFiveTargetsGetFiveBitGreen) {
    releaseSurface(depth);
    openDevice(32, 32, {.format555 = true});
    draw(rect(0, 0, 8, 8, 0.5f, 0xFF00FF00u));
    EXPECT_EQ(pixel(4, 4), 0x03E0);
    setTexture(0, texture(8, 8, PixelFormat::Rgb565, [](int, int) { return uint16_t{0xFFFF}; }));
    setTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
    draw(rect(10, 0, 18, 8));
    EXPECT_EQ(pixel(14, 4), 0x7FFF);
}

// A busy scene: perspective floors in both texture formats and addressing
// modes, filtered and not, added and modulated, Gouraud, blending, depth with
// bias, a sky behind it at one depth, spans of every length. The eight-pixel
// passes must draw exactly what the plain loops draw; without them both runs
// would take the plain loops.
TEST_P(Raster, EightPixelPassesDrawWhatThePlainLoopsDraw) {
    if (!GetParam()) GTEST_SKIP() << "compares both paths in its wide-lanes run";
    if (!hasWideLanes()) GTEST_SKIP() << "no AVX2: both runs would take the plain loops";
    Surface* bricks = texture(32, 16, PixelFormat::Rgb565, [](int x, int y) {
        return static_cast<uint16_t>((x * 2654435761u) ^ (y * 40503u) ^ (x << 11));
    });
    Surface* shadow = texture(16, 16, PixelFormat::Argb4444, [](int x, int y) {
        return static_cast<uint16_t>(((x + y) % 16) << 12 | (x * 37 + y * 11) % 4096);
    });
    // Silhouettes on clear, black and tinted, touching the edges: read from
    // their bits; the black one drawn wrapped and mirrored.
    Surface* silhouettes[2];
    for (const uint16_t tone : {0xB000, 0xB123})
        silhouettes[tone & 1] = texture(16, 32, PixelFormat::Argb4444, [&](int x, int y) {
            return static_cast<uint16_t>((x - 3) * (x - 3) + (y - 9) * (y - 9) < 60 ? tone : 0);
        });
    auto busyScene = [&](bool wide) {
        allowWideLanes(wide);
        clear();
        setRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
        setRenderState(RS_DESTBLEND, BLEND_INVSRCALPHA);
        for (int pass = 0; pass < 9; ++pass) {
            const bool blended = pass == 4 || pass >= 6;
            setTexture(0, pass == 4 ? shadow : (pass >= 6 ? silhouettes[pass % 2] : bricks));
            setTextureStageState(0, TSS_ADDRESS,
                                 pass % 2 == 0 && pass != 6 ? TADDRESS_MIRROR : TADDRESS_WRAP);
            for (const auto state : {TSS_MAGFILTER, TSS_MINFILTER})
                setTextureStageState(0, state, pass == 3 ? TFILTER_POINT : TFILTER_LINEAR);
            setTextureStageState(0, TSS_COLOROP, pass == 2 ? TOP_ADD : TOP_MODULATE);
            setTextureStageState(0, TSS_ALPHAOP, blended ? TOP_SELECTARG1 : TOP_DISABLE);
            setRenderState(RS_ALPHABLENDENABLE, blended ? 1 : 0);
            setRenderState(RS_ZBIAS, blended ? 2 : 0);
            setRenderState(RS_TEXTUREPERSPECTIVE, pass == 5 ? 0 : 1);
            const float x0 = pass == 8 ? 40.1f : 3.3f + pass * 9.1f,
                        z = pass >= 6 ? 0.1f : 0.2f + pass * 0.1f;
            const uint32_t left = 0xFF20A0F0u - pass * 0x00101000u,
                           right = pass == 1 ? left : 0xFFF0F0F0u;
            draw(quad(at(x0, 1.7f, z, left, -0.7f, -1.2f, 0.1f),
                      at(x0 + 60.4f, 4.2f, z, right, 2.3f, -1.2f, 0.1f),
                      at(x0 + 70.9f, 70.3f, z + 0.05f, right, 2.3f, 2.6f, 0.9f),
                      at(x0 - 2.5f, 66.8f, z + 0.05f, left, -0.7f, 2.6f, 0.9f)));
        }
        // A sky behind it all: one depth, not written, shaded from corner to
        // corner, mirrored and affine as the backdrop is.
        setTexture(0, bricks);
        setTextureStageState(0, TSS_ADDRESS, TADDRESS_MIRROR);
        setRenderState(RS_TEXTUREPERSPECTIVE, 0);
        setTextureStageState(0, TSS_COLOROP, TOP_ADD);
        setRenderState(RS_ALPHABLENDENABLE, 0);
        setRenderState(RS_ZBIAS, 0);
        setRenderState(RS_ZWRITEENABLE, 0);
        draw(quad(at(0, 0, 0.45f, 0xFF000000u, 0, 0), at(96, 0, 0.45f, 0xFF404040u, 3.1f, 0),
                  at(96, 72, 0.45f, 0xFFF0F0F0u, 3.1f, 2.2f),
                  at(0, 72, 0.45f, 0xFF808080u, 0, 2.2f)));
        setRenderState(RS_ZWRITEENABLE, 1);
        return snapshot();
    };
    const std::vector<uint16_t> plain = busyScene(false);
    EXPECT_EQ(busyScene(true), plain);
    allowAvx512Lanes(false); // the AVX2 copy, where the processor also has AVX-512
    EXPECT_EQ(busyScene(true), plain);
    allowAvx512Lanes(true);
    EXPECT_LT(std::ranges::count(snapshot(), 0), 96 * 72 / 2);
}

} // namespace
