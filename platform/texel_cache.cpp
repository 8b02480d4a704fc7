// Building the texel caches of platform/texel_cache.h. Writes only the cache
// fields of the surfaces it is given.
#include "platform/texel_cache.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

// Where texel index i (which may be -1 or size) comes from under the mode.
int borderSource(int i, int size, uint32_t address) {
    if (i >= 0 && i < size) return i;
    if (address == TADDRESS_WRAP) return i < 0 ? size - 1 : 0;
    return i < 0 ? 0 : size - 1; // mirror: the edge texel repeats
}

int toneCacheStride(const Surface* texture) {
    // Two bits an entry, plus a byte so that a 16-bit read never leaves the row.
    return ((texture->width + 2) * 2 + 7) / 8 + 1;
}

// Whether every texel of the cache is 0 or one other value, and which.
bool findTwoTones(const uint16_t* origin, const Surface* texture, uint16_t& colour) {
    const int stride = texelCacheStride(texture);
    colour = 0;
    for (int y = -1; y <= texture->height; ++y)
        for (int x = -1; x <= texture->width; ++x) {
            const uint16_t t = origin[y * stride + x];
            if (t == 0 || t == colour) continue;
            if (colour != 0) return false;
            colour = t;
        }
    return true;
}

void fillToneBits(const uint16_t* origin, Surface* texture) {
    const int stride = texelCacheStride(texture), toneStride = toneCacheStride(texture);
    std::memset(texture->toneCache, 0, static_cast<size_t>(toneStride) * (texture->height + 1));
    for (int y = -1; y < texture->height; ++y) {
        uint8_t* row = texture->toneCache + (y + 1) * toneStride;
        for (int x = -1; x <= texture->width; ++x) {
            const uint16_t* at = origin + y * stride + x;
            const int pair = (at[0] != 0 ? 1 : 0) | (at[stride] != 0 ? 2 : 0);
            const int bit = 2 * (x + 1);
            row[bit >> 3] = static_cast<uint8_t>(row[bit >> 3] | pair << (bit & 7));
        }
    }
}

// The tone bits follow every remaking of a 4-4-4-4 texture's texel cache.
void remakeToneBits(const uint16_t* origin, Surface* texture) {
    texture->twoTone = findTwoTones(origin, texture, texture->toneColour);
    if (!texture->twoTone) return;
    if (texture->toneCache == nullptr)
        texture->toneCache = static_cast<uint8_t*>(
            std::malloc(static_cast<size_t>(toneCacheStride(texture)) * (texture->height + 1)));
    if (texture->toneCache == nullptr)
        texture->twoTone = false;
    else
        fillToneBits(origin, texture);
}

} // namespace

const uint16_t* texelCacheFor(Surface* texture, uint32_t address) {
    const int stride = texelCacheStride(texture);
    if (texture->texelCache == nullptr) {
        texture->texelCache = static_cast<uint16_t*>(
            std::malloc(sizeof(uint16_t) * static_cast<size_t>(stride) * (texture->height + 2)));
        if (texture->texelCache == nullptr) return nullptr;
        texture->texelCacheAddress = 0;
    }
    uint16_t* origin = texture->texelCache + stride + 1;
    if (texture->texelCacheAddress != address || texture->texelCacheVersion != texture->version) {
        const int rowTexels = texture->pitch / 2;
        for (int y = -1; y <= texture->height; ++y) {
            const uint16_t* source =
                texture->pixels + borderSource(y, texture->height, address) * rowTexels;
            uint16_t* row = origin + y * stride;
            std::memcpy(row, source, sizeof(uint16_t) * static_cast<size_t>(texture->width));
            row[-1] = source[borderSource(-1, texture->width, address)];
            row[texture->width] = source[borderSource(texture->width, texture->width, address)];
        }
        if (texture->format == PixelFormat::Argb4444) remakeToneBits(origin, texture);
        texture->texelCacheAddress = address;
        texture->texelCacheVersion = texture->version;
    }
    return origin;
}

ToneCache toneCacheFor(Surface* texture, uint32_t address) {
    assert(texture->format == PixelFormat::Argb4444);
    if (texelCacheFor(texture, address) == nullptr || !texture->twoTone)
        return ToneCache{nullptr, 0, 0};
    return ToneCache{texture->toneCache, toneCacheStride(texture), texture->toneColour};
}
