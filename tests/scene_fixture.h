// A headless display for the scene's drawing tests and benchmarks: the
// platform's device on a back buffer with a depth buffer, the texture table
// filled with plain colours or the game's pictures, and the shared meshes.
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
#include <cstdio>
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

// One of the game's picture files, as stored (5-6-5, little-endian).
inline bool loadPicture(int slot, const char* fileName) {
    FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) return false;
    std::vector<uint8_t> bytes(PictureSide * PictureSide * 2);
    const bool complete = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    if (complete)
        makeTexture(slot, [&](int i) {
            return static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        });
    return complete;
}

// Sine table, camera constants, meshes and shadow textures.
inline void buildScene(int shadowSide = 128) {
    buildSineTable();
    setCameraConstants();
    buildGameMeshes();
    for (int side : {0, 1}) createShadowTextures(shadowSide, side);
}

// The game's frame set-up, up to drawing the backdrop and the scene.
inline void beginFrame(int azimuth, int elevation, int roll) {
    ShadowColor = DefaultShadowColor;
    fillSurface(DDrawSurfaceBack, 0);
    fillSurface(Zbuffer, 0xFFFF);
    FarDistance = 10000.0f, FarReciprocal = 0.0001f;
    beginScene();
    setRenderState(RS_ZENABLE, 1);
    setRenderState(RS_ZWRITEENABLE, 1);
    CameraAzimuth = azimuth, CameraElevation = elevation, CameraRoll = roll;
    orbitCamera();
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
