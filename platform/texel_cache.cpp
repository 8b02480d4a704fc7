// Building the texel caches of platform/texel_cache.h. Writes only the cache
// fields of the surfaces it is given.
#include "platform/texel_cache.h"

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
        texture->texelCacheAddress = address;
        texture->texelCacheVersion = texture->version;
    }
    return origin;
}
