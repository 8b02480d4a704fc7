// Surfaces, the headless video system and its flipping chain, the message
// queue, screen text and PNG files; and the SDL backend failing cleanly
// where there is no display.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "tests/headless_screen.h"

// SDL's attempt at a desktop session keeps a D-Bus buffer that the library
// never hands back; it is not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace {

class Headless : public ::testing::Test {
  protected:
    void open(int width, int height, const HeadlessOptions& options = {}) {
        selectBackend(Backend::Headless, options);
        ASSERT_EQ(videoStart(), PLATFORM_OK);
        ASSERT_EQ(setCooperativeLevel(false), PLATFORM_OK);
        ASSERT_EQ(setDisplayMode(width, height), PLATFORM_OK);
    }
    void TearDown() override { videoStop(); }
};

uint16_t pixelOf(Surface* s, int x, int y) {
    LockedSurface l;
    lockSurface(s, &l);
    const uint16_t v = l.memory[y * l.pitch / 2 + x];
    unlockSurface(s);
    return v;
}

TEST(Surfaces, AreMadeLockedFilledAndCopied) {
    EXPECT_EQ(createSurface(0, 10, PixelFormat::Rgb565), nullptr);
    EXPECT_EQ(createSurface(10, -1, PixelFormat::Rgb565), nullptr);
    EXPECT_EQ(createSurface(1 << 20, 1 << 20, PixelFormat::Rgb565), nullptr);

    Surface* a = createSurface(13, 7, PixelFormat::Rgb565);
    Surface* b = createSurface(13, 7, PixelFormat::Rgb565);
    ASSERT_NE(a, nullptr);
    LockedSurface l;
    ASSERT_EQ(lockSurface(a, &l), PLATFORM_OK);
    EXPECT_GE(l.pitch, 13 * 2);
    l.memory[6 * l.pitch / 2 + 12] = 0x1234; // the last pixel, through the pitch
    EXPECT_EQ(unlockSurface(a), PLATFORM_OK);
    EXPECT_EQ(unlockSurface(a), PLATFORM_FAILED); // not locked any more

    ASSERT_EQ(copySurface(b, a), PLATFORM_OK);
    EXPECT_EQ(pixelOf(b, 12, 6), 0x1234);
    ASSERT_EQ(fillSurface(b, 0xABCD), PLATFORM_OK);
    EXPECT_EQ(pixelOf(b, 12, 6), 0xABCD);

    Surface* other = createSurface(12, 7, PixelFormat::Rgb565);
    Surface* depth = createSurface(13, 7, PixelFormat::Depth16);
    EXPECT_EQ(copySurface(other, a), PLATFORM_FAILED);
    EXPECT_EQ(copySurface(depth, a), PLATFORM_FAILED);
    EXPECT_EQ(loadTexture(b, a), PLATFORM_OK);
    EXPECT_EQ(pixelOf(b, 12, 6), 0x1234);
    for (Surface* s : {a, b, other, depth}) releaseSurface(s);
    releaseSurface(nullptr);
}

TEST_F(Headless, PresentedFramesCanBeReadBackAndLossIsReportedOnce) {
    open(64, 48);
    fillSurface(backBuffer(), 0xF800);
    ASSERT_EQ(presentFrame(), PLATFORM_OK);
    int w = 0, h = 0;
    const uint16_t* frame = lastPresentedFrame(&w, &h);
    EXPECT_EQ(std::pair(w, h), std::pair(64, 48));
    EXPECT_EQ(frame[47 * 64 + 63], 0xF800);
    EXPECT_EQ(pixelOf(primarySurface(), 10, 10), 0xF800);

    fillSurface(backBuffer(), 0x001F);
    injectSurfaceLoss();
    EXPECT_EQ(presentFrame(), PLATFORM_SURFACE_LOST);
    EXPECT_EQ(lastPresentedFrame(nullptr, nullptr)[0], 0xF800); // nothing shown
    EXPECT_EQ(restoreAllSurfaces(), PLATFORM_OK);
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
TEST_F(Headless, MessagesArriveInOrderWithQuitLastAndMouseMovesCoalesced) {
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

// Text off the edges is cut, not written outside (the sanitizer run sees it);
// where it lands is checked through the menu's labels.
TEST_F(Headless, TextOffTheEdgesIsCutAndPngFilesAreWritten) {
    open(64, 32);
    EXPECT_EQ(drawText(backBuffer(), -5, -5, "XYZ", 255, 0, 0), PLATFORM_OK);
    EXPECT_EQ(drawText(backBuffer(), 60, 28, "XYZ", 255, 0, 0), PLATFORM_OK);
    EXPECT_EQ(drawText(nullptr, 0, 0, "X", 0, 0, 0), PLATFORM_FAILED);

    std::vector<uint16_t> pixels(16 * 8, 0xF800);
    const std::string name = ::testing::TempDir() + "korvath_platform_test.png";
    ASSERT_EQ(savePng(name.c_str(), pixels.data(), 16, 8, 32, PixelFormat::Rgb565), PLATFORM_OK);
    std::string signature(4, ' ');
    std::ifstream(name, std::ios::binary).read(signature.data(), 4);
    std::remove(name.c_str());
    EXPECT_EQ(signature, "\x89PNG");
    EXPECT_EQ(savePng("/nonexistent-dir/x.png", pixels.data(), 16, 8, 32, PixelFormat::Rgb565),
              PLATFORM_FAILED);
}

TEST(SdlBackend, WithoutADisplayFailsAndMessagesGoToStandardError) {
    // No X server and no Wayland: the start must fail, not crash, and not
    // settle for a driver that shows nothing.
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    selectBackend(Backend::Sdl);
    EXPECT_EQ(videoStart(), PLATFORM_FAILED);
    EXPECT_EQ(setDisplayMode(640, 480), PLATFORM_FAILED);
    ::testing::internal::CaptureStderr();
    showMessageBox("FAILED", "ERROR:DirectDrawCreateEx");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("FAILED"), std::string::npos);
    EXPECT_NE(err.find("ERROR:DirectDrawCreateEx"), std::string::npos);
    videoStop();
    selectBackend(Backend::Headless);
}

} // namespace
