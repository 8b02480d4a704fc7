// Filter-ready copies of textures for the rasteriser's fast paths: the texels
// as they are, with a one-texel border holding what the addressing mode puts
// past each edge, so that a bilinear footprint never needs addressing of its
// own. Kept at 16 bits a texel, half what spread texels would take, so that
// more of a texture stays in the processor's nearest cache; the fetch spreads
// the texels it reads. The copy lives with the surface and is remade when the
// surface changed since.
#pragma once

#include <cstdint>

#include "platform/internal.h"

// Texels per row of a cache: the texture's width plus the left and right border.
inline int texelCacheStride(const Surface* texture) {
    return texture->width + 2;
}

// Texel (0, 0) of the cache for this addressing mode (wrap or mirror); row -1
// and column -1 are the border. nullptr when the memory cannot be had.
const uint16_t* texelCacheFor(Surface* texture, uint32_t address);

// A texture whose texels are all 0 or one colour (a shadow's silhouette) is
// also kept as bits, a sixteenth of the texel cache, so that it stays in the
// nearest cache: two bits per entry, the texel and the one below it, entry x
// of row y at bit 2 * (x + 1) of byte row y + 1 (rows -1 to height - 1). A
// footprint's four bits are then (x, y), (x, y + 1), (x + 1, y), (x + 1, y + 1).
struct ToneCache {
    const uint8_t* bits; // byte row 0 (texel row -1), or nullptr: not two-tone
    int stride;          // bytes per row; a 16-bit read at any entry stays inside
    uint16_t colour;     // the texel that is not 0
};

// The tone bits of a 4-4-4-4 texture for this addressing mode (made with its
// texel cache); bits is nullptr when it has more than two tones or no memory.
ToneCache toneCacheFor(Surface* texture, uint32_t address);

// Texels are filtered spread into 32 bits, with room between the channels for
// weighted sums. 5-6-5 spread: green in bits 21-26, red 11-15, blue 0-4; the
// gaps take a sum of 32-weighted texels. 4-4-4-4 spread: alpha 24-27, green
// 16-19, red 8-11, blue 0-3; the gaps take a sum of 16-weighted texels.
inline uint32_t spread565(uint32_t t) {
    return (t | (t << 16)) & 0x07E0F81Fu;
}
inline uint32_t spread4444(uint32_t t) {
    return (t & 0x0F0Fu) | ((t & 0xF0F0u) << 12);
}
