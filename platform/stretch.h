// The linear stretch of a widened frame onto a window larger or smaller than
// the game (platform/stretch.cpp): the same pixels as SDL's own linear stretch
// gave, at a fraction of its cost. Its buffers are written only there.
#pragma once

#include <cstdint>

// A 32-bit picture: any four 8-bit channels, each filtered on its own.
struct PixelRect {
    uint32_t* pixels; // the first pixel of the rectangle
    int width;        // pixels
    int height;       // pixels
    int pitch;        // bytes from one row to the next
};

// Fills to with from stretched by bilinear filtering on 7-bit weights, the
// source pixels' centres mapped onto the target's; from must be at least two
// pixels wide. False when its buffers cannot be had; nothing is written then.
bool stretchLinear(const PixelRect& from, const PixelRect& to);
// The same for only the target rows that source rows [top, bottom) reach,
// each filled as the whole stretch fills it; the others are left as they are.
// Those rows are [*first, *end) (empty when none is reached).
bool stretchLinearRows(const PixelRect& from, const PixelRect& to, int top, int bottom, int* first,
                       int* end);
