// windowProc: one row per message, one per key; everything it does not handle
// goes to the window system's default processing. Owns AppActive.
#include "app/window_proc.h"
#include "app/music.h"

#include "app/window_mode.h"
#include "render/camera.h"
#include "render/screen.h"
#include "scene/input.h"

int AppActive = 0;

namespace {

constexpr int CursorMargin = 10; // keeps the drawn cursor's corner inside the screen

// Reads the cursor itself: the message's own coordinates are not used.
void updateMousePosition() {
    int x = 0, y = 0;
    getCursorPos(&x, &y);
    if (x > ScreenWidth - CursorMargin) x = ScreenWidth - CursorMargin;
    if (x < 0) x = 0;
    if (y > ScreenHeight - CursorMargin) y = ScreenHeight - CursorMargin;
    if (y < 0) y = 0;
    MouseX = x;
    MouseY = y;
}

// True when the key closed the window (no default processing then).
bool handleKey(uint64_t key) {
    switch (key) {
    case VK_ESCAPE:
    case VK_F12:
        postMessage(Message{WM_CLOSE, 0, 0});
        return true;
    case VK_LEFT:
        CameraAzimuth -= 10;
        break;
    case VK_RIGHT:
        CameraAzimuth += 10;
        break;
    case VK_UP:
        CameraElevation -= 10;
        break;
    case VK_DOWN:
        CameraElevation += 10;
        break;
    case VK_F1:
        CameraRoll += 32;
        break;
    case VK_F2:
        CameraRoll -= 32;
        break;
    case VK_F3:
        ScreenshotRequest = 1;
        RedrawRequest = 1;
        break;
    case VK_BACK:
        ++TakeBackRequest; // each press steps back once, even two before one frame
        break;
    case VK_H:
        HintRequest = 1;
        break;
    case VK_F4:
        RecordRequest = 1;
        break;
    case VK_F11:
        switchWindowMode();
        break;
    default:
        break;
    }
    return false;
}

} // namespace

int64_t windowProc(const Message& message) {
    switch (message.message) {
    case WM_DESTROY:
        postQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        // Only the minimised flag counts: losing the focus keeps the game running.
        AppActive = ((message.wParam >> 16) & 0xFFFF) == 0 ? 1 : 0;
        holdMusic(AppActive == 0);
        return 0;
    case WM_SETCURSOR:
        hideSystemCursor();
        return 1;
    case WM_KEYDOWN:
        if (handleKey(message.wParam)) return 0;
        break;
    case WM_SYSKEYDOWN:
        if (message.wParam == VK_RETURN) switchWindowMode();
        break;
    case WM_MOUSEMOVE:
        MouseInWindow = 1;
        updateMousePosition();
        break;
    case WM_MOUSELEAVE:
        MouseInWindow = 0;
        break;
    case WM_LBUTTONDOWN:
        MouseButton = 1;
        break;
    case WM_RBUTTONDOWN:
        MouseButton = 2;
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        MouseButton = 0;
        break;
    default:
        break;
    }
    return defWindowProc(message);
}
