// What the triangle set-up (platform/raster.cpp) hands to the span pipeline
// (platform/raster_span.cpp): the per-triangle record of plane equations,
// texture access and the span functions chosen for the current state.
// Built fresh for every triangle; nothing here outlives one drawPrimitive.
// Only the fields the triangle's state reads are filled in.
#pragma once

#include <array>
#include <cstdint>

#include "platform/device_state.h"
#include "platform/texel_cache.h"

constexpr double DepthFixed = 4294967296.0; // depth in 32.32 depth-buffer units

// value(x, y) = a + dx * x + dy * y, in screen pixels.
struct Plane {
    double a, dx, dy;
    double at(double x, double y) const { return a + dx * x + dy * y; }
};

// How texels are fetched: None gives an opaque white texel; the two fast
// kinds read a texel cache (power-of-two sizes, wrap or mirror); Generic
// reads the surface itself, any format, size and addressing.
enum class TexKind { None, Rgb565, Argb4444, Generic };

// The stage-0 colour operation, sorted into the cases with loops of their own.
enum class ColourKind { Modulate, Add, Texture, Diffuse, Generic };

struct Rgba {
    int r, g, b, a; // 0..255
};

inline int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

inline int64_t ceilDiv(int64_t a, int64_t b) {
    return -floorDiv(-a, b);
}

// The channels of a 0xAARRGGBB colour.
inline Rgba unpackArgb(uint32_t c) {
    return Rgba{static_cast<int>((c >> 16) & 255), static_cast<int>((c >> 8) & 255),
                static_cast<int>(c & 255), static_cast<int>(c >> 24)};
}

struct TriangleSetup;
struct SpanBuffers;

// Fills a chunk's n texels (a texture's own packed format, or ARGB 8888 for
// Generic) from the exact 16.16 texel coordinates u, v at the ends of its
// segments (every `segment` pixels, and at n), stepped in fixed point between.
using FetchFunction = void (*)(const TriangleSetup& s, const int* u, const int* v, int segment,
                               int n, uint32_t* out);
// The depth test of a chunk whose depths all lie within 0..65535: z and dz
// in 17.15 depth-buffer units. Fills the pass flags and depths; the number passed.
using DepthTestFunction = int (*)(int z, int dz, const uint16_t* zrow, int n, SpanBuffers& b);
// The same for one depth shared by all n pixels and not written: flags only.
using FlatDepthTestFunction = int (*)(int depth, const uint16_t* zrow, int n, SpanBuffers& b);
// Combines, blends and writes n pixels of a chunk.
using OutputFunction = void (*)(const TriangleSetup& s, const SpanBuffers& b, uint16_t* dst,
                                uint16_t* zrow, int n);

// A chunk drawn whole in one pass (a black shadow's, an opaque face's of one
// colour): the fetch's segment ends, the depth test's z and dz, the pixels of
// the row past the chunk that may be read and written back unchanged, then
// the target and depth rows from the chunk's first pixel.
using WholeChunkFunction = void (*)(const TriangleSetup& s, const int* u, const int* v, int segment,
                                    int z, int dz, int room, uint16_t* dst, uint16_t* zrow, int n);

// The planes' steps along a row as the span pipeline uses them, rounded once
// per triangle: float for the varyings, 32.32 depth-buffer units for depth.
struct RowSteps {
    float w, u, v, c[4];
    int64_t z;
    bool oneDepth;      // the depth plane is flat: every pixel's depth is oneDepthAt
    int64_t oneDepthAt; // in 32.32 units, as the plane gives it anywhere
};

// Where the planes a row reads start: each one's value at x = 0 of row y is
// start + down * y, start being a + dx * 0 as the plane itself rounds it.
// Pairs (u, v), (w, w), (r, g), (b, a); the colour ones only when gouraud.
struct RowStarts {
    alignas(16) double start[8], down[8];
};

struct TriangleSetup {
    uint16_t* target; // render target row 0
    int targetStride; // pixels per row
    bool target555;   // else 5-6-5
    uint16_t* depth;  // depth row 0, or nullptr when depth is off
    int depthStride;  // depth values per row
    bool depthTest;   // less-or-equal against the depth buffer
    bool depthWrite;  // passing pixels store their depth
    Plane z;          // depth-buffer units + 0.5 - bias
    bool zClip;       // a corner lies outside depth 0..1: spans are cut to it
    double zLow;      // the plane's value at depth 0 ...
    double zHigh;     // ... and at depth 1
    bool perspective; // texture coordinates and colour divided by rhw per segment
    Plane w;          // rhw (1 without perspective)
    Plane u, v;       // texel units, sample offset included (times rhw with perspective)
    Plane colour[4];  // r, g, b, a in 0..255 (times rhw with perspective)
    bool gouraud;     // the corners' colours differ
    Rgba flat;        // the colour of all corners when not gouraud
    TexKind kind;
    bool linear; // bilinear filtering
    // Fast kinds: the texel cache and the fixed-point addressing constants.
    const uint16_t* cache; // texel (0, 0); rows cacheStride apart, border around
    int cacheStride;
    int maskU, maskV;       // one addressing period in 16.16, minus one
    int halfU, halfV;       // mirror: where the reflected half of the period starts
    int reflectU, reflectV; // mirror: the reflected coordinate is reflect - q
    ToneCache tones;        // 4-4-4-4 kind, eight-pixel passes: its bits when two-tone
    // Generic kind: the surface itself.
    const uint16_t* texels;
    int texelStride;
    int texWidth, texHeight;
    PixelFormat texFormat;
    uint32_t address;
    ColourKind colourKind;
    StageState stage;
    bool blend; // alpha blending on
    uint32_t srcBlend, destBlend;
    FetchFunction fetch;
    OutputFunction output;
    bool wideLanes;                  // the eight-pixel passes may run (looked up once per triangle)
    DepthTestFunction testDepthWide; // their depth test, when wideLanes
    FlatDepthTestFunction testFlatDepthWide; // their one-depth test, when wideLanes
    bool addedChunks = false; // a chunk that shows is drawn whole by drawAddedChunkWide
    WholeChunkFunction wholeChunk = nullptr; // a chunk whole in one pass, or nullptr
    RowSteps rowSteps;
    RowStarts rowStarts;
};

constexpr int ChunkLength = 64; // pixels a span is processed in at a time

// 65536 / n for segment lengths, so that steps need no division.
constexpr std::array<int, ChunkLength + 1> makeReciprocals() {
    std::array<int, ChunkLength + 1> table{};
    for (int n = 1; n <= ChunkLength; ++n) table[n] = 65536 / n;
    return table;
}
inline constexpr auto Reciprocals = makeReciprocals();

// The 16.16 step from `from` to `to` over n pixels.
[[gnu::always_inline]] inline int stepOf(int from, int to, int n) {
    return static_cast<int>((static_cast<int64_t>(to - from) * Reciprocals[n]) >> 16);
}

// Per-chunk scratch of a span, on the stack of the row loop.
struct SpanBuffers {
    uint16_t depth[ChunkLength];       // each pixel's depth-buffer value, when it is written
    uint8_t pass[ChunkLength];         // 1 where the depth test passed
    uint32_t texel[ChunkLength + 8];   // fetched texels; eight-texel fetches may run over
    uint32_t diffuse[ChunkLength + 8]; // ARGB 8888 vertex colour; eight-pixel fills may run over
    int room; // pixels of the row past the chunk's end that may be read and written back unchanged
};

// The first pixel at or right of an edge on successive rows: exact ceil of the
// edge's x at each pixel-centre row, stepped without division.
struct Edge {
    int64_t q;     // ceil(x) at the current row, in pixels
    int64_t r;     // q * d - n >= 0, below d
    int64_t d;     // denominator: 256 * dy
    int64_t stepQ; // whole pixels per row
    int64_t stepR; // remainder per row
};

// Without a branch: whether the remainder wraps follows the edge's slope in
// no pattern a predictor learns.
inline void advanceEdge(Edge& e) {
    e.r -= e.stepR;
    const int64_t wrapped = e.r >> 63; // all ones when the remainder went below zero
    e.r += e.d & wrapped;
    e.q += e.stepQ - wrapped;
}

// Chooses the set-up's span functions for the triangle's state and rounds
// its planes' row steps.
void chooseSpanFunctions(TriangleSetup& setup);
// Draws rows [from, to) from the left edge to the right one, both advanced
// a row at a time, each span cut to the columns [clipLeft, clipRight).
void drawRows(const TriangleSetup& setup, Edge& left, Edge& right, int from, int to, int clipLeft,
              int clipRight);
