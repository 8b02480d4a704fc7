// 16-bit surfaces: creation, locks, fills and copies, and the list of live
// surfaces that restoreAllSurfaces walks. The list is written only here.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/internal.h"

namespace {

// Largest side a surface may have: far beyond any screen or texture the game
// makes, small enough that width * height * 2 never overflows.
constexpr int MaxSurfaceSide = 16384;

Surface* liveSurfaces = nullptr; // every surface not yet released; never wiped

} // namespace

Surface* createSurface(int width, int height, PixelFormat format) {
    if (width <= 0 || height <= 0 || width > MaxSurfaceSide || height > MaxSurfaceSide)
        return nullptr;
    // Rows padded to 8 bytes, so that pitch and width differ as on a real display
    // whenever the width is not a multiple of 4: callers that ignore the pitch show.
    const int pitch = (width * 2 + 7) & ~7;
    auto* pixels = static_cast<uint16_t*>(std::calloc(static_cast<size_t>(pitch) * height, 1));
    if (pixels == nullptr) return nullptr;
    auto* surface = new Surface{};
    surface->width = width;
    surface->height = height;
    surface->format = format;
    surface->pitch = pitch;
    surface->pixels = pixels;
    surface->next = liveSurfaces;
    if (liveSurfaces != nullptr) liveSurfaces->previous = surface;
    liveSurfaces = surface;
    return surface;
}

void releaseSurface(Surface* surface) {
    if (surface == nullptr) return;
    forgetSurfaceInDevice(surface);
    for (Surface* s = liveSurfaces; s != nullptr; s = s->next)
        if (s->depth == surface) s->depth = nullptr;
    if (surface->previous != nullptr) surface->previous->next = surface->next;
    if (surface->next != nullptr) surface->next->previous = surface->previous;
    if (liveSurfaces == surface) liveSurfaces = surface->next;
    std::free(surface->pixels);
    std::free(surface->texelCache);
    std::free(surface->toneCache);
    delete surface;
}

int surfaceWidth(const Surface* surface) {
    return surface != nullptr ? surface->width : 0;
}
int surfaceHeight(const Surface* surface) {
    return surface != nullptr ? surface->height : 0;
}
PixelFormat surfaceFormat(const Surface* surface) {
    return surface->format;
}

int lockSurface(Surface* surface, LockedSurface* out) {
    if (surface == nullptr || out == nullptr) return PLATFORM_FAILED;
    ++surface->lockCount;
    out->memory = surface->pixels;
    out->pitch = surface->pitch;
    return PLATFORM_OK;
}

int unlockSurface(Surface* surface) {
    if (surface == nullptr || surface->lockCount == 0) return PLATFORM_FAILED;
    --surface->lockCount;
    ++surface->version;
    return PLATFORM_OK;
}

int fillSurface(Surface* surface, uint16_t value) {
    if (surface == nullptr) return PLATFORM_FAILED;
    // Clearing to black or to the farthest depth is most of a frame's fills:
    // both bytes alike, so memory-wide clearing does it.
    const bool bytesAlike = (value & 0xFF) == (value >> 8);
    for (int y = 0; y < surface->height; ++y) {
        uint16_t* row = surface->pixels + static_cast<size_t>(y) * (surface->pitch / 2);
        if (bytesAlike)
            std::memset(row, value & 0xFF, static_cast<size_t>(surface->width) * 2);
        else
            std::fill_n(row, surface->width, value);
    }
    ++surface->version;
    return PLATFORM_OK;
}

int copySurface(Surface* dst, const Surface* src) {
    if (dst == nullptr || src == nullptr || dst == src) return PLATFORM_FAILED;
    if (dst->width != src->width || dst->height != src->height || dst->format != src->format)
        return PLATFORM_FAILED;
    if (dst->pitch == src->pitch) {
        std::memcpy(dst->pixels, src->pixels, static_cast<size_t>(src->pitch) * src->height);
    } else {
        for (int y = 0; y < src->height; ++y)
            std::memcpy(reinterpret_cast<char*>(dst->pixels) + static_cast<size_t>(y) * dst->pitch,
                        reinterpret_cast<const char*>(src->pixels) +
                            static_cast<size_t>(y) * src->pitch,
                        static_cast<size_t>(src->width) * 2);
    }
    ++dst->version;
    return PLATFORM_OK;
}

int loadTexture(Surface* texture, const Surface* staging) {
    return copySurface(texture, staging);
}

int restoreAllSurfaces() {
    // Surfaces live in our own memory, so nothing is ever taken away: a renderer
    // reset only costs the picture on screen, which the next present repaints.
    return PLATFORM_OK;
}
