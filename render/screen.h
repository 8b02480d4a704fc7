// The screen the game draws on: its size, pixel format and projection focal
// length, and the display's surfaces. Written by the settings reader and the
// display set-up (app/) at start-up; everything that draws reads them.
#pragma once

#include <cstdint>

struct Surface;

extern int ScreenWidth;          // game pixels; from the settings file, never changed after
extern int ScreenHeight;         // game pixels; from the settings file, never changed after
extern uint32_t ScreenGreenMask; // 0x07E0 for 5-6-5, 0x03E0 for 5-5-5; set by the display set-up
extern float FocalLength; // 500, 350 or 250 pixels by screen width; set by the display set-up

extern Surface* DDrawSurfacePrimary; // the shown surface; owned by the platform
extern Surface* DDrawSurfaceBack;    // the back buffer: the device's render target
extern Surface* Zbuffer;             // 16-bit depth surface attached to the back buffer
extern Surface* Backtemp;            // screen-size copy of the last drawn 3D picture

// Green masks above this have six bits: 5-6-5's is 0x07E0 (2016), 5-5-5's 0x03E0 (992).
constexpr uint32_t FiveBitGreenMaskLimit = 2000;

// True when pixels the program writes itself are 5-6-5 (else 5-5-5).
inline bool screenIs565() {
    return ScreenGreenMask > FiveBitGreenMaskLimit;
}
