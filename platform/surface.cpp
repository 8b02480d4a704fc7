// 16-bit surfaces: creation, locks, fills and copies, the record of where each
// was written that lets a copy skip what is equal already, and the list of
// live surfaces that restoreAllSurfaces walks. The list, the write clock and
// the switch below are written only here.
#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "platform/internal.h"

namespace {

// Largest side a surface may have: far beyond any screen or texture the game
// makes, small enough that width * height * 2 never overflows.
constexpr int MaxSurfaceSide = 16384;

Surface* liveSurfaces = nullptr; // every surface not yet released; never wiped
uint64_t writeClock = 0;         // counts the recorded writes to all surfaces; never wiped
bool writtenAreasAllowed = true; // switched off only to check them against whole copies; whole run

bool contains(const PixelArea& outer, const PixelArea& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

// A whole write makes every area written before it part of the whole.
void recordWholeWritten(Surface* s, uint64_t at) {
    s->wholeWritten = std::max(s->wholeWritten, at);
    for (WrittenArea& kept : s->written)
        if (kept.at <= s->wholeWritten) kept.at = 0;
}

// Keeps `area` (inside the surface, not empty) as written at `at`: folded into
// a kept area that holds it, taking the place of those it holds, else in a
// free slot or the oldest one's, which is forgotten as a write of the whole.
void recordArea(Surface* s, const PixelArea& area, uint64_t at) {
    WrittenArea* place = nullptr;
    for (WrittenArea& kept : s->written) {
        if (kept.at != 0 && contains(kept.area, area)) {
            kept.at = at;
            return;
        }
        if (kept.at != 0 && contains(area, kept.area)) kept.at = 0;
        if (kept.at == 0 && place == nullptr) place = &kept;
    }
    if (place == nullptr) {
        place = std::min_element(
            std::begin(s->written), std::end(s->written),
            [](const WrittenArea& a, const WrittenArea& b) { return a.at < b.at; });
        recordWholeWritten(s, place->at);
    }
    *place = WrittenArea{area, at};
}

uint16_t* rowOf(const Surface* s, int y) {
    return reinterpret_cast<uint16_t*>(reinterpret_cast<char*>(s->pixels) +
                                       static_cast<size_t>(y) * s->pitch);
}

[[maybe_unused]] bool holdSamePixels(const Surface* a, const Surface* b) {
    for (int y = 0; y < a->height; ++y)
        if (std::memcmp(rowOf(a, y), rowOf(b, y), static_cast<size_t>(a->width) * 2) != 0)
            return false;
    return true;
}

// Makes dst hold src's pixels: all of them, or, when dst was last made a copy
// of src, the areas either has had written since. With `compare`, rows are
// compared until the first that differs (rows before it are equal and stay);
// true when one did. `changed` becomes the box of the rows copied, or empty.
bool syncPixels(Surface* dst, const Surface* src, bool compare, PixelArea& changed) {
    const uint64_t since = dst->copiedAt, now = ++writeClock;
    const bool known = writtenAreasAllowed && dst->copyOf == src && dst->wholeWritten <= since &&
                       src->wholeWritten <= since;
    bool differ = false;
    changed = PixelArea{dst->width, dst->height, 0, 0};
    // True when any row of the area was copied.
    auto syncArea = [&](const PixelArea& a) {
        bool copied = false;
        const size_t bytes = static_cast<size_t>(a.right - a.left) * 2;
        for (int y = a.top; y < a.bottom; ++y) {
            const uint16_t* from = rowOf(src, y) + a.left;
            uint16_t* to = rowOf(dst, y) + a.left;
            if (compare && !differ && std::memcmp(to, from, bytes) == 0) continue;
            differ = true;
            copied = true;
            std::memcpy(to, from, bytes);
            changed = {std::min(changed.left, a.left), std::min(changed.top, y),
                       std::max(changed.right, a.right), std::max(changed.bottom, y + 1)};
        }
        return copied;
    };
    if (!known) {
        if (syncArea(PixelArea{0, 0, src->width, src->height})) recordWholeWritten(dst, now);
    } else {
        // Taken first: recording what is copied changes dst's own list.
        PixelArea areas[2 * WrittenAreaSlots];
        int count = 0;
        for (const Surface* s : {static_cast<const Surface*>(dst), src})
            for (const WrittenArea& kept : s->written)
                if (kept.at > since) areas[count++] = kept.area;
        for (int i = 0; i < count; ++i)
            if (syncArea(areas[i])) recordArea(dst, areas[i], now);
    }
    if (differ) ++dst->version;
    dst->copyOf = src;
    dst->copiedAt = now;
    // Any write that was not recorded shows here, in the builds that check.
    assert(holdSamePixels(dst, src));
    return differ;
}

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
    surface->wholeWritten = ++writeClock;
    surface->next = liveSurfaces;
    if (liveSurfaces != nullptr) liveSurfaces->previous = surface;
    liveSurfaces = surface;
    return surface;
}

void releaseSurface(Surface* surface) {
    if (surface == nullptr) return;
    forgetSurfaceInDevice(surface);
    for (Surface* s = liveSurfaces; s != nullptr; s = s->next) {
        if (s->depth == surface) s->depth = nullptr;
        if (s->copyOf == surface) s->copyOf = nullptr;
    }
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
    noteAllWritten(surface);
    return PLATFORM_OK;
}

int unlockSurfaceArea(Surface* surface, const PixelArea& written) {
    if (surface == nullptr || surface->lockCount == 0) return PLATFORM_FAILED;
    --surface->lockCount;
    noteAreaWritten(surface, written);
    return PLATFORM_OK;
}

void noteAreaWritten(Surface* surface, const PixelArea& area) {
    const PixelArea cut{std::max(area.left, 0), std::max(area.top, 0),
                        std::min(area.right, surface->width),
                        std::min(area.bottom, surface->height)};
    if (cut.left >= cut.right || cut.top >= cut.bottom) return;
    recordArea(surface, cut, ++writeClock);
    ++surface->version;
}

void noteAllWritten(Surface* surface) {
    recordWholeWritten(surface, ++writeClock);
    ++surface->version;
}

int fillSurface(Surface* surface, uint16_t value) {
    if (surface == nullptr) return PLATFORM_FAILED;
    // Clearing to black or to the farthest depth is most of a frame's fills:
    // both bytes alike, so memory-wide clearing does it.
    const bool bytesAlike = (value & 0xFF) == (value >> 8);
    for (int y = 0; y < surface->height; ++y) {
        uint16_t* row = rowOf(surface, y);
        if (bytesAlike)
            std::memset(row, value & 0xFF, static_cast<size_t>(surface->width) * 2);
        else
            std::fill_n(row, surface->width, value);
    }
    noteAllWritten(surface);
    return PLATFORM_OK;
}

int copySurface(Surface* dst, const Surface* src) {
    if (dst == nullptr || src == nullptr || dst == src) return PLATFORM_FAILED;
    if (dst->width != src->width || dst->height != src->height || dst->format != src->format)
        return PLATFORM_FAILED;
    PixelArea copied;
    syncPixels(dst, src, false, copied);
    return PLATFORM_OK;
}

bool updateSurface(Surface* dst, const Surface* src, PixelArea& changed) {
    assert(dst != src && dst->width == src->width && dst->height == src->height);
    return syncPixels(dst, src, true, changed);
}

void allowWrittenAreas(bool allowed) {
    writtenAreasAllowed = allowed;
}

int loadTexture(Surface* texture, const Surface* staging) {
    return copySurface(texture, staging);
}

int restoreAllSurfaces() {
    // Surfaces live in our own memory, so nothing is ever taken away: a renderer
    // reset only costs the picture on screen, which the next present repaints.
    return PLATFORM_OK;
}
