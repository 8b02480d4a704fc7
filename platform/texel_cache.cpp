// Building the texel caches of platform/texel_cache.h. Writes only the cache
// fields of the surfaces it is given.
#include "platform/texel_cache.h"

#include <cstdlib>

#include "platform/platform.h"

namespace {

// Where texel index i (which may be -1 or size) comes from under the mode.
int borderSource(int i, int size, uint32_t address) {
    if (i >= 0 && i < size) return i;
    if (address == TADDRESS_WRAP) return i < 0 ? size - 1 : 0;
    return i < 0 ? 0 : size - 1; // mirror: the edge texel repeats
}

uint32_t spreadOf(uint16_t texel, PixelFormat format) {
    return format == PixelFormat::Argb4444 ? spread4444(texel) : spread565(texel);
}

// One row, in a loop per format: the shadow textures are respread for every
// piece, so this runs tens of times a redraw.
void spreadRow(const uint16_t* source, uint32_t* row, int width, PixelFormat format) {
    if (format == PixelFormat::Argb4444)
        for (int x = 0; x < width; ++x) row[x] = spread4444(source[x]);
    else
        for (int x = 0; x < width; ++x) row[x] = spread565(source[x]);
}

} // namespace

const uint32_t* texelCacheFor(Surface* texture, uint32_t address) {
    const int stride = texelCacheStride(texture);
    if (texture->texelCache == nullptr) {
        texture->texelCache = static_cast<uint32_t*>(
            std::malloc(sizeof(uint32_t) * static_cast<size_t>(stride) * (texture->height + 2)));
        if (texture->texelCache == nullptr) return nullptr;
        texture->texelCacheAddress = 0;
    }
    uint32_t* origin = texture->texelCache + stride + 1;
    if (texture->texelCacheAddress != address || texture->texelCacheVersion != texture->version) {
        const int rowTexels = texture->pitch / 2;
        for (int y = -1; y <= texture->height; ++y) {
            const uint16_t* source =
                texture->pixels + borderSource(y, texture->height, address) * rowTexels;
            uint32_t* row = origin + y * stride;
            spreadRow(source, row, texture->width, texture->format);
            row[-1] = spreadOf(source[borderSource(-1, texture->width, address)], texture->format);
            row[texture->width] = spreadOf(
                source[borderSource(texture->width, texture->width, address)], texture->format);
        }
        texture->texelCacheAddress = address;
        texture->texelCacheVersion = texture->version;
    }
    return origin;
}
