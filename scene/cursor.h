// The software cursor (arrow or hourglass) and the one screen-text routine,
// both drawn straight into the back buffer over the finished frame. No state of
// their own: they read the mouse globals (scene/input.h) and the screen
// (render/screen.h).
#pragma once

#include <cstdint>

struct LockedSurface;

// Locks DDrawSurfaceBack, asking again for as long as the device is still
// drawing. Returns the lock's result; on failure nothing may be written.
int lockBackBuffer(LockedSurface* out);

// The arrow (the player may act) with its tip at (MouseX, MouseY); nothing while
// the pointer is outside the window (MouseInWindow 0), so no arrow stays behind.
void drawArrowCursor();
// The hourglass (the computer is thinking), same top-left placement and rule.
void drawWaitCursor();
// Text with its top-left at (x, y) on the render target, transparent background.
void drawScreenText(int x, int y, const char* text, uint8_t red, uint8_t green, uint8_t blue);
