// A headless screen for tests and benchmarks that draw into the back buffer
// without the app's display set-up: the screen globals, focal length included,
// are set as that set-up sets them.
#pragma once

#include "platform/platform.h"
#include "render/screen.h"

// The focal length the display set-up gives each supported width.
inline float focalLengthFor(int width) {
    return width == 1024 ? 500.0f : width == 800 ? 350.0f : 250.0f;
}

// False when the platform refused the backend or the mode.
inline bool openHeadlessScreen(int width, int height, bool format555 = false) {
    HeadlessOptions options;
    options.format555 = format555;
    selectBackend(Backend::Headless, options);
    if (videoStart() != PLATFORM_OK || setCooperativeLevel(true) != PLATFORM_OK ||
        setDisplayMode(width, height) != PLATFORM_OK)
        return false;
    ScreenWidth = width;
    ScreenHeight = height;
    FocalLength = focalLengthFor(width);
    ScreenGreenMask = displayGreenMask();
    DDrawSurfacePrimary = primarySurface();
    DDrawSurfaceBack = backBuffer();
    return true;
}

// The back buffer's pixel at (x, y).
inline uint16_t backPixel(int x, int y) {
    LockedSurface locked{};
    lockSurface(DDrawSurfaceBack, &locked);
    const uint16_t value = locked.memory[y * (locked.pitch / 2) + x];
    unlockSurface(DDrawSurfaceBack);
    return value;
}

// Takes and dispatches every waiting message, as the main loop does before a
// frame; the quit code, or -1.
inline int dispatchWaitingMessages() {
    while (peekMessage()) {
        Message m;
        int code = -1;
        if (!getMessage(&m, &code)) return code;
        dispatchMessage(m);
    }
    return -1;
}
