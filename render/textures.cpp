// Storage of the texture table and the button picture (filled by resource
// loading), and the shadow textures with their staging surface, made here
// at each resource load.
#include "render/textures.h"

#include "platform/platform.h"

#include <cstring>

Surface* TextureTable[TextureSlots] = {};
uint16_t ButtonImage[PicturePixels] = {};
Surface* ShadowTextures[2] = {};
Surface* ShadowStagingSurface = nullptr;
int ShadowTextureSide = 0;

namespace {

void releaseSurfaceSlot(Surface*& slot) {
    if (slot != nullptr) releaseSurface(slot);
    slot = nullptr;
}

} // namespace

bool lockSurfaceWhenReady(Surface* surface, LockedSurface& out) {
    int result;
    do {
        result = lockSurface(surface, &out);
    } while (result == PLATFORM_STILL_DRAWING);
    return result >= 0 && out.memory != nullptr;
}

int createShadowTextures(int size, int index) {
    releaseSurfaceSlot(ShadowTextures[index]);
    DeviceCaps caps{};
    const int capsResult = getDeviceCaps(&caps);
    if (capsResult < 0) return capsResult;

    const int requested = size & 0xFFFF; // a negative setting wraps like a 16-bit value
    const int limit = caps.maxTextureWidth != 0 ? caps.maxTextureWidth : 256;
    const int side = requested < limit ? requested : limit;
    ShadowTextures[index] = createSurface(side, side, PixelFormat::Argb4444);
    releaseSurfaceSlot(ShadowStagingSurface);
    ShadowStagingSurface = createSurface(side, side, PixelFormat::Argb4444);
    ShadowTextureSide = side;
    if (ShadowTextures[index] == nullptr || ShadowStagingSurface == nullptr) {
        return PLATFORM_FAILED; // a side of 0, or too large: nothing to clear or load
    }
    LockedSurface locked;
    if (lockSurfaceWhenReady(ShadowStagingSurface, locked)) {
        for (int y = 0; y < side; ++y) {
            std::memset(reinterpret_cast<uint8_t*>(locked.memory) + y * locked.pitch, 0,
                        static_cast<size_t>(side) * 2);
        }
        unlockSurface(ShadowStagingSurface);
    }
    return loadTexture(ShadowTextures[index], ShadowStagingSurface);
}

void releaseShadowTextures() {
    releaseSurfaceSlot(ShadowTextures[0]);
    releaseSurfaceSlot(ShadowTextures[1]);
    releaseSurfaceSlot(ShadowStagingSurface);
}
