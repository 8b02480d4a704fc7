// The span pipeline's eight-pixel passes (platform/raster_simd.cpp), for
// processors that have them; the plain loops stay the reference.
#pragma once

#include <cstdint>

#include "platform/raster_internal.h"

// True when this processor runs the eight-pixel passes and they are allowed.
bool hasWideLanes();
// Whether the passes' AVX-512 copy may run where the processor has it (the
// default); off, the AVX2 copy runs. Both give the same pictures.
void allowAvx512Lanes(bool allowed);
// The bilinear fetch from a texel cache, eight texels at a time; it may write
// up to seven texels past n (SpanBuffers leaves room for them).
FetchFunction wideFetchFor(bool is4444, bool mirror);
// The same for a two-tone 4-4-4-4 texture, from its tone bits (setup.tones).
FetchFunction wideToneFetchFor(bool mirror);
// The two depth tests, eight pixels at a time, for the set-up to keep.
DepthTestFunction wideDepthTest();
FlatDepthTestFunction wideFlatDepthTest();
// n vertex colours from c stepping by step (r, g, b, a in 16.16), packed to
// ARGB 8888 from their whole parts; it may write up to seven past n.
void fillColourWide(const int c[4], const int step[4], int n, uint32_t* out);
// Combining, depth masking and writing of spread 5-6-5 texels into a 5-6-5
// target without blending, for modulation and addition; nullptr otherwise.
OutputFunction wideOutputFor(ColourKind kind);
// The same for spread 4-4-4-4 texels modulated by the colour and blended by
// their own alpha over the frame (source alpha, inverse source alpha);
// black when no texel has any colour.
OutputFunction wideShadowOutput(bool black);
// A black silhouette's shadow chunk whole (setup.tones, black): texel
// coordinates as FetchFunction takes them, depths as DepthTestFunction does
// (all within 0..65535), drawn and its depths written where the test passes.
WholeChunkFunction wideBlackShadowChunk(bool mirror);
// The same for opaque bilinear 5-6-5 texels modulated by one flat colour.
WholeChunkFunction wideOpaqueChunk(bool mirror);

// Where an affine chunk's texel coordinates (16.16) and vertex colour (r, g,
// b, a in 16.16) start and how they step, as the span pipeline works them out.
struct AffineChunk {
    int u, v, du, dv;
    int colour[4], colourStep[4];
};
// The backdrop's case whole: a chunk of mirrored bilinear 5-6-5 texels added
// to the vertex colour, written unblended into a 5-6-5 target where `passed`
// is set; no depth is written. `room` pixels of the row past the chunk may
// be read and written back unchanged.
void drawAddedChunkWide(const TriangleSetup& s, const AffineChunk& a, const uint8_t* passed,
                        int room, uint16_t* dst, int n);
