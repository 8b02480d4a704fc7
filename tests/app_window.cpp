// The window procedure's table, driven through the headless message queue as
// the main loop drives it: one message taken and dispatched at a time.
#include <gtest/gtest.h>

#include "app/window_proc.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/screen.h"
#include "scene/input.h"
#include "tests/headless_screen.h"

namespace {

class WindowProcedure : public ::testing::Test {
  protected:
    void SetUp() override {
        ScreenWidth = 640;
        ScreenHeight = 480;
        AppActive = 0;
        MouseX = MouseY = 0;
        MouseButton = 0;
        CameraAzimuth = CameraElevation = CameraRoll = 0;
        ScreenshotRequest = RedrawRequest = 0;
        selectBackend(Backend::Headless);
        ASSERT_EQ(createGameWindow("Korvath", 640, 480, windowProc), PLATFORM_OK);
        ASSERT_EQ(videoStart(), PLATFORM_OK);
        ASSERT_EQ(setDisplayMode(640, 480), PLATFORM_OK);
        drain();
        AppActive = 0;
    }
    void TearDown() override {
        destroyGameWindow();
        videoStop();
    }
    // Injects one message and runs the queue dry; the quit code or -1.
    int send(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0) {
        injectMessage(Message{message, wParam, lParam});
        return drain();
    }
    int drain() { return dispatchWaitingMessages(); }
    static int64_t at(int x, int y) {
        return (x & 0xFFFF) | static_cast<int64_t>(y & 0xFFFF) << 16;
    }
};

TEST_F(WindowProcedure, ActivationFollowsOnlyTheMinimisedFlag) {
    // Focus lost without minimising keeps the game running.
    const uint64_t states[] = {WA_ACTIVE, WA_INACTIVE, WA_INACTIVE | (1u << 16), WA_ACTIVE};
    const int active[] = {1, 1, 0, 1};
    for (int i = 0; i < 4; ++i) {
        send(WM_ACTIVATE, states[i]);
        EXPECT_EQ(AppActive, active[i]) << i;
    }
}

TEST_F(WindowProcedure, ButtonsSetAndReleaseTheMouseButton) {
    send(WM_LBUTTONUP); // a release after a press outside the window
    EXPECT_EQ(MouseButton, 0);
    send(WM_LBUTTONDOWN);
    EXPECT_EQ(MouseButton, 1);
    send(WM_RBUTTONDOWN);
    EXPECT_EQ(MouseButton, 2);
    // A quick click: the release waits, past other messages' turn, until a
    // frame has seen the press.
    send(WM_LBUTTONUP);
    EXPECT_EQ(MouseButton, 2);
    presentFrame();
    drain();
    EXPECT_EQ(MouseButton, 0);
    send(WM_LBUTTONDOWN);
    send(WM_MOUSEMOVE, 0, at(5, 5));
    send(WM_LBUTTONUP);
    EXPECT_EQ(MouseX, 5);
    EXPECT_EQ(MouseButton, 1);
    waitMessage(); // minimised: no frame is coming, so the release goes
    drain();
    EXPECT_EQ(MouseButton, 0);
}

TEST_F(WindowProcedure, MouseMovesReadTheCursorAndKeepTenPixelsFromTheFarEdges) {
    send(WM_MOUSEMOVE, 0, at(639, 479));
    EXPECT_EQ(MouseX, 630);
    EXPECT_EQ(MouseY, 470);
    send(WM_MOUSEMOVE, 0, at(-20, -3)); // in a black bar left of the picture
    EXPECT_EQ(MouseX, 0);
    EXPECT_EQ(MouseY, 0);
    // The cursor is read, not the message's own coordinates.
    setHeadlessCursor(100, 200);
    Message move{WM_MOUSEMOVE, 0, at(5, 5)};
    postMessage(move);
    send(0);
    EXPECT_EQ(MouseX, 100);
    EXPECT_EQ(MouseY, 200);
}

TEST_F(WindowProcedure, KeysTurnTheCameraAndAskForScreenshots) {
    const struct {
        uint64_t key;
        int* angle;
        int step;
    } keys[] = {{VK_LEFT, &CameraAzimuth, -10}, {VK_RIGHT, &CameraAzimuth, 10},
                {VK_UP, &CameraElevation, -10}, {VK_DOWN, &CameraElevation, 10},
                {VK_F1, &CameraRoll, 32},       {VK_F2, &CameraRoll, -32}};
    for (const auto& k : keys) {
        const int before = *k.angle;
        for (int i = 0; i < 3; ++i) send(WM_KEYDOWN, k.key); // auto-repeat
        EXPECT_EQ(*k.angle - before, 3 * k.step) << k.key;
    }
    send(WM_KEYDOWN, VK_F3);
    send(WM_KEYDOWN, VK_F3);
    EXPECT_EQ(ScreenshotRequest, 1);
    EXPECT_EQ(RedrawRequest, 1);
    send(WM_KEYDOWN, VK_BACK);
    send(WM_KEYDOWN, VK_BACK); // two presses before a frame: two steps back
    send(WM_KEYDOWN, VK_H);
    send(WM_KEYDOWN, VK_F4);
    EXPECT_EQ(TakeBackRequest, 2);
    EXPECT_EQ(HintRequest, 1);
    EXPECT_EQ(RecordRequest, 1);
    send(WM_KEYDOWN, 'A'); // any other key: nothing
    EXPECT_EQ(CameraAzimuth, 0);
    EXPECT_EQ(windowProc(Message{WM_SETCURSOR, 0, 0}), 1);
}

TEST_F(WindowProcedure, EscapeAndF12CloseTheWindowAndEndTheLoop) {
    for (uint32_t key : {VK_ESCAPE, VK_F12}) {
        EXPECT_EQ(windowProc(Message{WM_KEYDOWN, key, 0}), 0);
        EXPECT_EQ(send(0), 0) << key; // WM_CLOSE, WM_DESTROY, then WM_QUIT with code 0
        EXPECT_FALSE(windowExists());
        TearDown();
        SetUp();
    }
}

} // namespace
