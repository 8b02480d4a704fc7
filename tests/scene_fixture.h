// A headless display for the scene's drawing tests and benchmarks: the
// platform's device on a back buffer with a depth buffer, and the texture
// table filled with plain colours.
// The app's display set-up and resource loading sit above the scene, so
// this makes the same objects from the platform calls directly.
#pragma once

#include "platform/platform.h"
#include "render/camera.h"
#include "render/mesh.h"
#include "render/screen.h"
#include "render/textures.h"
#include "rules/position.h"
#include "scene/scene.h"
#include "tests/headless_screen.h"

#include <algorithm>
#include <vector>

namespace scene_fixture {

// False when the headless display could not be made.
inline bool openDisplay(int width, int height, bool format555 = false) {
    if (!openHeadlessScreen(width, height, format555)) return false;
    Zbuffer = createSurface(width, height, PixelFormat::Depth16);
    return Zbuffer != nullptr && attachDepthSurface(DDrawSurfaceBack, Zbuffer) == PLATFORM_OK &&
           createDevice(0, DDrawSurfaceBack) == PLATFORM_OK &&
           setViewport(0, 0, width, height, 0.0f, 1.0f) == PLATFORM_OK;
}

inline void closeDisplay() {
    for (Surface*& slot : TextureTable) releaseSurface(slot), slot = nullptr;
    releaseShadowTextures();
    releaseSurface(Zbuffer);
    Zbuffer = nullptr;
    releaseDevice();
    videoStop();
    DDrawSurfacePrimary = DDrawSurfaceBack = nullptr;
}

// A 256 x 256 5-6-5 texture; texel(i) gives texel i (row-major).
template <class Texel> void makeTexture(int slot, Texel texel) {
    releaseSurface(TextureTable[slot]);
    Surface* texture = createSurface(PictureSide, PictureSide, PixelFormat::Rgb565);
    LockedSurface locked{};
    lockSurface(texture, &locked);
    for (int i = 0; i < PictureSide * PictureSide; ++i)
        locked.memory[i / PictureSide * (locked.pitch / 2) + i % PictureSide] = texel(i);
    unlockSurface(texture);
    TextureTable[slot] = texture;
}

inline void makeSolidTexture(int slot, uint16_t colour) {
    makeTexture(slot, [colour](int) { return colour; });
}

// The back buffer, row-major without padding.
inline std::vector<uint16_t> readBack() {
    std::vector<uint16_t> frame(ScreenWidth * ScreenHeight);
    LockedSurface locked{};
    lockSurface(DDrawSurfaceBack, &locked);
    for (int y = 0; y < ScreenHeight; ++y)
        std::copy_n(locked.memory + y * (locked.pitch / 2), ScreenWidth,
                    frame.begin() + y * ScreenWidth);
    unlockSurface(DDrawSurfaceBack);
    return frame;
}

} // namespace scene_fixture
