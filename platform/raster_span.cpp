// The span pipeline: a row of a triangle is processed in chunks, each in
// short passes over fixed buffers (depth test, texel fetch, vertex colour,
// then combine, blend and write) so that every loop stays small enough for
// the optimiser. Texture coordinates and colours are exact at the ends of
// short segments and stepped in fixed point between them. Stateless.
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>

#include <immintrin.h>

#include "platform/raster_internal.h"
#include "platform/raster_simd.h"
#include "platform/texel_cache.h"

namespace {

#define KORVATH_HOT [[gnu::always_inline]] inline

constexpr int SegmentShift = 4; // 16 pixels between two perspective divisions
constexpr int SegmentLength = 1 << SegmentShift;
constexpr float FixedOne = 65536.0f;   // 16.16 texture coordinates and colours
constexpr float TexelLimit = 16000.0f; // keeps 16.16 coordinates and their differences in int32

// ---- Arithmetic ----------------------------------------------------------------------

// a * b / 255, rounded: exact at 0 and 255.
KORVATH_HOT int mul255(int a, int b) {
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

// a * b / 255 for colour operations: exact whenever either side is 0 or 255,
// otherwise at most one above the truncated product. Cheaper than mul255.
KORVATH_HOT int mulColour(int a, int b) {
    return (a * b + 255) >> 8;
}

KORVATH_HOT int expand5(int v) {
    return (v << 3) | (v >> 2);
}
KORVATH_HOT int expand6(int v) {
    return (v << 2) | (v >> 4);
}

KORVATH_HOT uint32_t packArgb(int r, int g, int b, int a) {
    return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(r) << 16 |
           static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}

KORVATH_HOT Rgba decodeTexel(uint32_t t, PixelFormat format) {
    switch (format) {
    case PixelFormat::Rgb565:
        return Rgba{expand5(t >> 11), expand6((t >> 5) & 63), expand5(t & 31), 255};
    case PixelFormat::Bgr565:
        return Rgba{expand5(t & 31), expand6((t >> 5) & 63), expand5(t >> 11), 255};
    case PixelFormat::Rgb555:
        return Rgba{expand5((t >> 10) & 31), expand5((t >> 5) & 31), expand5(t & 31), 255};
    case PixelFormat::Argb1555:
        return Rgba{expand5((t >> 10) & 31), expand5((t >> 5) & 31), expand5(t & 31),
                    (t & 0x8000) != 0 ? 255 : 0};
    case PixelFormat::Argb4444:
        return Rgba{static_cast<int>((t >> 8) & 15) * 17, static_cast<int>((t >> 4) & 15) * 17,
                    static_cast<int>(t & 15) * 17, static_cast<int>((t >> 12) & 15) * 17};
    case PixelFormat::Depth16:
        break;
    }
    return Rgba{255, 255, 255, 255};
}

// ---- Depth -----------------------------------------------------------------------------------

// Cuts [x0, x1) to the pixels whose depth lies within 0..1.
bool clipSpanToDepth(const TriangleSetup& s, int64_t z0, int64_t dz, int& x0, int& x1) {
    const auto low = static_cast<int64_t>(s.zLow * DepthFixed);
    const auto high = static_cast<int64_t>(s.zHigh * DepthFixed);
    int64_t kMin = 0, kMax = x1 - x0 - 1;
    if (dz == 0) {
        if (z0 < low || z0 > high) return false;
    } else if (dz > 0) {
        kMin = std::max(kMin, ceilDiv(low - z0, dz));
        kMax = std::min(kMax, floorDiv(high - z0, dz));
    } else {
        kMin = std::max(kMin, ceilDiv(z0 - high, -dz));
        kMax = std::min(kMax, floorDiv(z0 - low, -dz));
    }
    if (kMin > kMax) return false;
    x1 = x0 + static_cast<int>(kMax) + 1;
    x0 = x0 + static_cast<int>(kMin);
    return true;
}

// Less-or-equal test of n pixels from the exact depth zf (32.32) of the
// first; within a chunk the depth steps in 17.15, which the eight-pixel pass
// repeats exactly. The number that passed.
// Whether the n depths of a chunk from z, stepping by step (17.15), all lie
// within the buffer's 0..65535, as the eight-pixel passes need.
KORVATH_HOT bool depthsFitBuffer(int64_t z, int64_t step, int n) {
    const int64_t first = z >> 15, last = (z + step * (n - 1)) >> 15;
    return first >= 0 && last >= 0 && first <= 65535 && last <= 65535;
}

KORVATH_HOT int testDepth(const TriangleSetup& s, int64_t zf, int64_t dz, const uint16_t* zrow,
                          int n, SpanBuffers& b) {
    const int64_t z = zf >> 17, step = dz >> 17;
    if (s.wideLanes && depthsFitBuffer(z, step, n)) {
        if (step == 0 && !s.depthWrite)
            return s.testFlatDepthWide(static_cast<int>(z >> 15), zrow, n, b);
        return s.testDepthWide(static_cast<int>(z), static_cast<int>(step), zrow, n, b);
    }
    int passed = 0;
    for (int i = 0; i < n; ++i) {
        int64_t d = (z + step * i) >> 15;
        d = d < 0 ? 0 : (d > 65535 ? 65535 : d);
        b.depth[i] = static_cast<uint16_t>(d);
        const int pass = d <= zrow[i] ? 1 : 0;
        b.pass[i] = static_cast<uint8_t>(pass);
        passed += pass;
    }
    return passed;
}

// ---- Texel fetch -------------------------------------------------------------------------------

struct Weights {
    uint32_t w00, w10, w01, w11;
};

// Bilinear weights for every pair of fractions of `bits` bits, u major; each
// set sums to 1 << bits.
template <int Bits> constexpr std::array<Weights, (1 << (2 * Bits))> makeWeights() {
    std::array<Weights, (1 << (2 * Bits))> table{};
    for (int fu = 0; fu < (1 << Bits); ++fu)
        for (int fv = 0; fv < (1 << Bits); ++fv) {
            const int w11 = (fu * fv) >> Bits;
            table[(fu << Bits) | fv] = Weights{
                static_cast<uint32_t>((1 << Bits) - fu - fv + w11), static_cast<uint32_t>(fu - w11),
                static_cast<uint32_t>(fv - w11), static_cast<uint32_t>(w11)};
        }
    return table;
}

constexpr auto Weights5 = makeWeights<5>(); // 5-6-5 texels: sums fit the spread gaps
constexpr auto Weights4 = makeWeights<4>(); // 4-4-4-4 texels

// A 16.16 coordinate brought into one period of the texture; with mirroring
// the reflected half is turned back, which also mirrors the filter footprint.
template <bool Mirror> KORVATH_HOT int addressCoordinate(int q, int mask, int half, int reflect) {
    q &= mask;
    if constexpr (Mirror) q = q >= half ? reflect - q : q;
    return q;
}

// Texels leave spread (platform/texel_cache.h): the output pass reads
// channels from that layout as cheaply as from the packed one.
template <bool Is4444> KORVATH_HOT uint32_t spreadTexel(uint16_t t) {
    if constexpr (Is4444)
        return spread4444(t);
    else
        return spread565(t);
}

template <bool Is4444, bool Mirror, bool Linear>
KORVATH_HOT void fetchCached(const TriangleSetup& s, int u, int v, int du, int dv, int n,
                             uint32_t* out) {
    // Locals, not fields: stores to out could otherwise alias the set-up.
    const uint16_t* const cache = s.cache;
    const int stride = s.cacheStride;
    const int maskU = s.maskU, maskV = s.maskV, halfU = s.halfU, halfV = s.halfV;
    const int reflectU = s.reflectU, reflectV = s.reflectV;
    for (int i = 0; i < n; ++i) {
        const int qu = addressCoordinate<Mirror>(u, maskU, halfU, reflectU);
        const int qv = addressCoordinate<Mirror>(v, maskV, halfV, reflectV);
        const uint16_t* p = cache + (qv >> 16) * stride + (qu >> 16);
        const uint32_t t00 = spreadTexel<Is4444>(p[0]);
        if constexpr (!Linear) {
            out[i] = t00;
        } else {
            const uint32_t t10 = spreadTexel<Is4444>(p[1]), t01 = spreadTexel<Is4444>(p[stride]),
                           t11 = spreadTexel<Is4444>(p[stride + 1]);
            if constexpr (Is4444) {
                const Weights& w = Weights4[((qu >> 8) & 0xF0) | ((qv >> 12) & 15)];
                out[i] =
                    ((t00 * w.w00 + t10 * w.w10 + t01 * w.w01 + t11 * w.w11) >> 4) & 0x0F0F0F0Fu;
            } else {
                const Weights& w = Weights5[((qu >> 6) & 0x3E0) | ((qv >> 11) & 31)];
                out[i] =
                    ((t00 * w.w00 + t10 * w.w10 + t01 * w.w01 + t11 * w.w11) >> 5) & 0x07E0F81Fu;
            }
        }
        u += du;
        v += dv;
    }
}

KORVATH_HOT int addressGeneric(int i, int size, uint32_t mode) {
    if (mode == TADDRESS_CLAMP) return i < 0 ? 0 : (i >= size ? size - 1 : i);
    if (mode == TADDRESS_MIRROR) {
        int m = i % (2 * size);
        if (m < 0) m += 2 * size;
        return m < size ? m : 2 * size - 1 - m;
    }
    int m = i % size;
    return m < 0 ? m + size : m;
}

// Any format, size and addressing; ARGB 8888 out.
template <bool Linear>
KORVATH_HOT void fetchGeneric(const TriangleSetup& s, int u, int v, int du, int dv, int n,
                              uint32_t* out) {
    for (int i = 0; i < n; ++i, u += du, v += dv) {
        const int iu = u >> 16, iv = v >> 16;
        const int x0 = addressGeneric(iu, s.texWidth, s.address);
        const uint16_t* row0 =
            s.texels + addressGeneric(iv, s.texHeight, s.address) * s.texelStride;
        if constexpr (!Linear) {
            const Rgba t = decodeTexel(row0[x0], s.texFormat);
            out[i] = packArgb(t.r, t.g, t.b, t.a);
            continue;
        }
        const int x1 = addressGeneric(iu + 1, s.texWidth, s.address);
        const uint16_t* row1 =
            s.texels + addressGeneric(iv + 1, s.texHeight, s.address) * s.texelStride;
        const Rgba a = decodeTexel(row0[x0], s.texFormat), b = decodeTexel(row0[x1], s.texFormat);
        const Rgba c = decodeTexel(row1[x0], s.texFormat), d = decodeTexel(row1[x1], s.texFormat);
        const int fu = (u >> 8) & 255, fv = (v >> 8) & 255;
        const int w11 = (fu * fv) >> 8, w10 = fu - w11, w01 = fv - w11, w00 = 256 - fu - fv + w11;
        auto mix = [&](int p, int q, int r, int t) {
            return (p * w00 + q * w10 + r * w01 + t * w11) >> 8;
        };
        out[i] = packArgb(mix(a.r, b.r, c.r, d.r), mix(a.g, b.g, c.g, d.g), mix(a.b, b.b, c.b, d.b),
                          mix(a.a, b.a, c.a, d.a));
    }
}

// A one-segment fetch run over a chunk's segments, as FetchFunction asks.
template <auto Fetch>
void fetchSegments(const TriangleSetup& s, const int* u, const int* v, int segment, int n,
                   uint32_t* out) {
    for (int j = 0, done = 0; done < n; ++j, done += segment) {
        const int len = std::min(segment, n - done);
        Fetch(s, u[j], v[j], stepOf(u[j], u[j + 1], len), stepOf(v[j], v[j + 1], len), len,
              out + done);
    }
}

// ---- Interpolation along a row -------------------------------------------------------------

// Each plane's value at x = 0 of a row, rounded to float, in registers;
// the steps along the row are the triangle's (TriangleSetup::rowSteps).
struct RowPlanes {
    __m128 uv;        // u and v in lanes 0 and 1
    __m128 colour[2]; // r, g and b, a in lanes 0 and 1
    float w;
};

// Only the planes the triangle's state reads, two at once, each rounded to
// float as on its own.
KORVATH_HOT RowPlanes rowPlanes(const TriangleSetup& s, int y) {
    const RowStarts& p = s.rowStarts;
    const __m128d fy = _mm_set1_pd(y);
    auto pairAt = [&](int k) {
        return _mm_cvtpd_ps(
            _mm_add_pd(_mm_load_pd(p.start + k), _mm_mul_pd(_mm_load_pd(p.down + k), fy)));
    };
    RowPlanes r{_mm_setzero_ps(), {_mm_setzero_ps(), _mm_setzero_ps()}, 0.0f};
    if (s.perspective) r.w = _mm_cvtss_f32(pairAt(2));
    if (s.fetch != nullptr) r.uv = pairAt(0);
    if (s.gouraud) {
        r.colour[0] = pairAt(4);
        r.colour[1] = pairAt(6);
    }
    return r;
}

// Lane k of a pair, in all four lanes.
template <int K> KORVATH_HOT __m128 laneOf(__m128 pair) {
    return _mm_shuffle_ps(pair, pair, K * 0x55);
}

constexpr int MaxEnds = ChunkLength / SegmentLength + 1; // a full perspective chunk's

// The exact 16.16 texel coordinates and vertex colour at the ends of a
// chunk's segments: its start, every segment's end, its end.
struct SegmentEnds {
    alignas(16) int u[MaxEnds + 3], v[MaxEnds + 3]; // room for whole groups of four
    alignas(16) int c[4][MaxEnds + 3];
};

// value * scale, clamped to low..high and rounded to 16.16 as lrint rounds;
// a NaN passes the clamp as the scalar comparisons let it.
KORVATH_HOT __m128i fixedLanes(__m128 value, __m128 scale, float low, float high) {
    const __m128 clamped =
        _mm_min_ps(_mm_set1_ps(high), _mm_max_ps(_mm_set1_ps(low), _mm_mul_ps(value, scale)));
    return _mm_cvtps_epi32(_mm_mul_ps(clamped, _mm_set1_ps(FixedOne)));
}

// plane + step * x, four x at once, with the scalar float's roundings.
KORVATH_HOT __m128 planeLanes(__m128 plane, float step, __m128 x) {
    return _mm_add_ps(plane, _mm_mul_ps(_mm_set1_ps(step), x));
}

// The x of four ends from end `first` on: x plus whole segments, the last
// cut to the chunk's end x + n.
KORVATH_HOT __m128 endLanes(int x, int n, int first) {
    const __m128i index = _mm_add_epi32(_mm_set1_epi32(first), _mm_setr_epi32(0, 1, 2, 3));
    const __m128i offset = _mm_slli_epi32(index, SegmentShift);
    const __m128i last = _mm_set1_epi32(n), past = _mm_cmpgt_epi32(offset, last);
    const __m128i cut = _mm_or_si128(_mm_and_si128(past, last), _mm_andnot_si128(past, offset));
    return _mm_cvtepi32_ps(_mm_add_epi32(cut, _mm_set1_epi32(x)));
}

// The two planes of a pair at the two ends of a one-segment chunk: lanes
// (p at x, p at x + n, q at x, q at x + n), as planeLanes rounds each.
KORVATH_HOT __m128 pairLanes(__m128 pair, float stepP, float stepQ, __m128 fx) {
    return _mm_add_ps(_mm_unpacklo_ps(pair, pair),
                      _mm_mul_ps(_mm_setr_ps(stepP, stepP, stepQ, stepQ), fx));
}

// Lanes 0 and 1 to a[0..1], lanes 2 and 3 to b[0..1].
KORVATH_HOT void storePairs(__m128i lanes, int* a, int* b) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(a), lanes);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(b), _mm_unpackhi_epi64(lanes, lanes));
}

// The division's scale at the lanes' x: 1 / rhw with perspective.
KORVATH_HOT __m128 scaleLanes(bool perspective, float w, float dw, __m128 fx) {
    if (!perspective) return _mm_set1_ps(1.0f);
    return _mm_div_ps(_mm_set1_ps(1.0f),
                      _mm_max_ps(_mm_set1_ps(1e-30f), planeLanes(_mm_set1_ps(w), dw, fx)));
}

// The ends of the chunk [x, x + n) of a row, four at a time: one division
// serves the texture and the colour of four ends. A chunk of one segment
// (every affine one, and most short perspective ones) has two ends: two
// planes then share each group.
KORVATH_HOT void segmentEnds(const TriangleSetup& s, bool perspective, const RowPlanes& r, int x,
                             int n, SegmentEnds& e) {
    assert(n <= ChunkLength && perspective == s.perspective);
    const RowSteps& d = s.rowSteps;
    if (!perspective || n <= SegmentLength) {
        const __m128 fx =
            _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(x), _mm_setr_epi32(0, n, 0, n)));
        const __m128 scale = scaleLanes(perspective, r.w, d.w, fx);
        if (s.fetch != nullptr)
            storePairs(fixedLanes(pairLanes(r.uv, d.u, d.v, fx), scale, -TexelLimit, TexelLimit),
                       e.u, e.v);
        if (s.gouraud)
            for (int k = 0; k < 4; k += 2)
                storePairs(fixedLanes(pairLanes(r.colour[k / 2], d.c[k], d.c[k + 1], fx), scale,
                                      0.0f, 255.0f),
                           e.c[k], e.c[k + 1]);
        return;
    }
    const int count = ((n + SegmentLength - 1) >> SegmentShift) + 1;
    for (int g = 0; g < count; g += 4) {
        const __m128 fx = endLanes(x, n, g);
        const __m128 scale = scaleLanes(true, r.w, d.w, fx);
        if (s.fetch != nullptr) {
            _mm_store_si128(
                reinterpret_cast<__m128i*>(e.u + g),
                fixedLanes(planeLanes(laneOf<0>(r.uv), d.u, fx), scale, -TexelLimit, TexelLimit));
            _mm_store_si128(
                reinterpret_cast<__m128i*>(e.v + g),
                fixedLanes(planeLanes(laneOf<1>(r.uv), d.v, fx), scale, -TexelLimit, TexelLimit));
        }
        if (s.gouraud) {
            const __m128 channels[4] = {laneOf<0>(r.colour[0]), laneOf<1>(r.colour[0]),
                                        laneOf<0>(r.colour[1]), laneOf<1>(r.colour[1])};
            for (int k = 0; k < 4; ++k)
                _mm_store_si128(
                    reinterpret_cast<__m128i*>(e.c[k] + g),
                    fixedLanes(planeLanes(channels[k], d.c[k], fx), scale, 0.0f, 255.0f));
        }
    }
}

KORVATH_HOT void fetchChunk(const TriangleSetup& s, const SegmentEnds& e, int n, uint32_t* out) {
    s.fetch(s, e.u, e.v, s.perspective ? SegmentLength : ChunkLength, n, out);
}

KORVATH_HOT void fillDiffuse(const TriangleSetup& s, const SegmentEnds& e, int n, uint32_t* out) {
    if (!s.gouraud) {
        out[0] = packArgb(s.flat.r, s.flat.g, s.flat.b, s.flat.a); // read by every pixel
        return;
    }
    const int segment = s.perspective ? SegmentLength : ChunkLength;
    for (int j = 0, done = 0; done < n; ++j, done += segment) {
        const int len = std::min(segment, n - done);
        int c[4], step[4];
        for (int k = 0; k < 4; ++k) {
            c[k] = e.c[k][j];
            step[k] = stepOf(c[k], e.c[k][j + 1], len);
        }
        if (s.wideLanes)
            fillColourWide(c, step, len, out + done);
        else
            for (int i = 0; i < len; ++i) {
                out[done + i] = packArgb(c[0] >> 16, c[1] >> 16, c[2] >> 16, c[3] >> 16);
                for (int k = 0; k < 4; ++k) c[k] += step[k];
            }
    }
}

// A chunk whole in one pass (a shadow's or an opaque face's), when its depths lie within the
// buffer's range as the eight-pixel depth test needs; false when they do not.
KORVATH_HOT bool drawWholeChunk(const TriangleSetup& s, const SegmentEnds& e, int64_t zf,
                                int64_t dz, int room, uint16_t* dst, uint16_t* zrow, int n) {
    const int64_t z = zf >> 17, step = dz >> 17;
    if (!depthsFitBuffer(z, step, n)) return false;
    s.wholeChunk(s, e.u, e.v, SegmentLength, static_cast<int>(z), static_cast<int>(step), room, dst,
                 zrow, n);
    return true;
}

// An affine chunk's one segment, as fetchChunk and fillDiffuse step it.
KORVATH_HOT AffineChunk affineChunk(const TriangleSetup& s, const SegmentEnds& e, int n) {
    assert(!s.perspective && n <= ChunkLength);
    AffineChunk a{};
    a.u = e.u[0];
    a.v = e.v[0];
    a.du = stepOf(e.u[0], e.u[1], n);
    a.dv = stepOf(e.v[0], e.v[1], n);
    if (!s.gouraud) {
        // Unstepped whole channels pack to the flat colour itself.
        const int flat[4] = {s.flat.r, s.flat.g, s.flat.b, s.flat.a};
        for (int k = 0; k < 4; ++k) a.colour[k] = flat[k] << 16;
        return a;
    }
    for (int k = 0; k < 4; ++k) {
        a.colour[k] = e.c[k][0];
        a.colourStep[k] = stepOf(e.c[k][0], e.c[k][1], n);
    }
    return a;
}

// ---- Texture stage, blending and writing -------------------------------------------------

enum class TexelFormat { White, R565, A4444, Argb8 };

// Channels of a fetched texel: the two cached kinds arrive spread (see
// platform/texel_cache.h), the generic one as ARGB 8888.
template <TexelFormat F> KORVATH_HOT Rgba texelOf(uint32_t t) {
    if constexpr (F == TexelFormat::R565)
        return Rgba{expand5(static_cast<int>((t >> 11) & 31)), expand6(static_cast<int>(t >> 21)),
                    expand5(static_cast<int>(t & 31)), 255};
    else if constexpr (F == TexelFormat::A4444)
        return Rgba{static_cast<int>((t >> 8) & 15) * 17, static_cast<int>((t >> 16) & 15) * 17,
                    static_cast<int>(t & 15) * 17, static_cast<int>(t >> 24) * 17};
    else if constexpr (F == TexelFormat::Argb8)
        return unpackArgb(t);
    else
        return Rgba{255, 255, 255, 255};
}

KORVATH_HOT int argument(uint32_t which, int texel, int diffuse, int texelAlpha, int diffuseAlpha) {
    int value;
    if ((which & TA_ALPHAREPLICATE) != 0)
        value = (which & TA_SELECTMASK) == TA_TEXTURE ? texelAlpha : diffuseAlpha;
    else
        value = (which & TA_SELECTMASK) == TA_TEXTURE ? texel : diffuse;
    return (which & TA_COMPLEMENT) != 0 ? 255 - value : value;
}

KORVATH_HOT int operation(uint32_t op, int a1, int a2, int diffuse) {
    switch (op) {
    case TOP_SELECTARG1:
        return a1;
    case TOP_SELECTARG2:
        return a2;
    case TOP_MODULATE:
        return mul255(a1, a2);
    case TOP_MODULATE2X:
        return std::min(255, 2 * mul255(a1, a2));
    case TOP_MODULATE4X:
        return std::min(255, 4 * mul255(a1, a2));
    case TOP_ADD:
        return std::min(255, a1 + a2);
    case TOP_ADDSIGNED:
        return std::clamp(a1 + a2 - 128, 0, 255);
    case TOP_SUBTRACT:
        return std::max(0, a1 - a2);
    default:
        return diffuse; // TOP_DISABLE, and what this device does not offer
    }
}

KORVATH_HOT int stageChannel(uint32_t op, uint32_t arg1, uint32_t arg2, int texel, int diffuse,
                             int texelAlpha, int diffuseAlpha) {
    return operation(op, argument(arg1, texel, diffuse, texelAlpha, diffuseAlpha),
                     argument(arg2, texel, diffuse, texelAlpha, diffuseAlpha), diffuse);
}

template <ColourKind CK>
KORVATH_HOT Rgba combine(const StageState& st, const Rgba& t, const Rgba& d) {
    if constexpr (CK == ColourKind::Modulate)
        return Rgba{mulColour(t.r, d.r), mulColour(t.g, d.g), mulColour(t.b, d.b), 0};
    else if constexpr (CK == ColourKind::Add)
        return Rgba{std::min(255, t.r + d.r), std::min(255, t.g + d.g), std::min(255, t.b + d.b),
                    0};
    else if constexpr (CK == ColourKind::Texture)
        return Rgba{t.r, t.g, t.b, 0};
    else if constexpr (CK == ColourKind::Diffuse)
        return Rgba{d.r, d.g, d.b, 0};
    else
        return Rgba{stageChannel(st.colorOp, st.colorArg1, st.colorArg2, t.r, d.r, t.a, d.a),
                    stageChannel(st.colorOp, st.colorArg1, st.colorArg2, t.g, d.g, t.a, d.a),
                    stageChannel(st.colorOp, st.colorArg1, st.colorArg2, t.b, d.b, t.a, d.a), 0};
}

KORVATH_HOT int blendFactor(uint32_t factor, int alpha) {
    switch (factor) {
    case BLEND_ZERO:
        return 0;
    case BLEND_SRCALPHA:
        return alpha;
    case BLEND_INVSRCALPHA:
        return 255 - alpha;
    default:
        return 255; // ONE, and what this device does not offer
    }
}

// Blending as the game uses it (source alpha over the frame) has a loop of
// its own; any other pair of factors takes the general one.
enum class BlendMode { Off, Over, General };

// The stage's alpha: the texel's for the shadows, the vertex colour's when the
// stage passes it through, anything else by the general operation.
KORVATH_HOT int stageAlpha(const StageState& st, const Rgba& t, const Rgba& d) {
    if (st.alphaOp == TOP_SELECTARG1 && st.alphaArg1 == TA_TEXTURE) return t.a;
    if (st.alphaOp == TOP_DISABLE) return d.a;
    return stageChannel(st.alphaOp, st.alphaArg1 & ~TA_ALPHAREPLICATE,
                        st.alphaArg2 & ~TA_ALPHAREPLICATE, t.a, d.a, t.a, d.a);
}

KORVATH_HOT uint16_t pack565(int r, int g, int b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// A 5-6-5 value as the 5-5-5 target stores it.
KORVATH_HOT uint16_t to555(uint16_t p) {
    return static_cast<uint16_t>(((p >> 1) & 0x7FE0) | (p & 31));
}

// The colour of one pixel, 5-6-5, before it meets the frame.
template <TexelFormat F, ColourKind CK>
KORVATH_HOT Rgba shadePixel(const StageState& st, uint32_t texel, const Rgba& d) {
    const Rgba t = F == TexelFormat::White ? Rgba{255, 255, 255, 255} : texelOf<F>(texel);
    return combine<CK>(st, t, d);
}

template <TexelFormat F, ColourKind CK, BlendMode B>
KORVATH_HOT uint16_t finalPixel(const TriangleSetup& s, uint32_t texel, const Rgba& d,
                                uint16_t under, PixelFormat targetFormat) {
    if constexpr (F == TexelFormat::R565 && CK == ColourKind::Modulate && B == BlendMode::Off) {
        // Straight from the spread texel: its channels widened to 8 bits by
        // multiplication, then modulated and cut back to 5, 6 and 5 bits.
        const int r = (((static_cast<int>((texel >> 11) & 31) * 33) >> 2) * d.r + 255) >> 11;
        const int g = (((static_cast<int>(texel >> 21) * 65) >> 4) * d.g + 255) >> 10;
        const int b = (((static_cast<int>(texel & 31) * 33) >> 2) * d.b + 255) >> 11;
        return static_cast<uint16_t>((r << 11) | (g << 5) | b);
    }
    Rgba out = shadePixel<F, CK>(s.stage, texel, d);
    if constexpr (B != BlendMode::Off) {
        const Rgba t = F == TexelFormat::White ? Rgba{255, 255, 255, 255} : texelOf<F>(texel);
        const int alpha = stageAlpha(s.stage, t, d);
        const Rgba frame = decodeTexel(under, targetFormat);
        int fs = alpha, fd = 255 - alpha;
        if constexpr (B == BlendMode::General) {
            fs = blendFactor(s.srcBlend, alpha);
            fd = blendFactor(s.destBlend, alpha);
        }
        out.r = std::min(255, mul255(out.r, fs) + mul255(frame.r, fd));
        out.g = std::min(255, mul255(out.g, fs) + mul255(frame.g, fd));
        out.b = std::min(255, mul255(out.b, fs) + mul255(frame.b, fd));
        const uint16_t p = pack565(out.r, out.g, out.b);
        return targetFormat == PixelFormat::Rgb555 ? to555(p) : p;
    }
    return pack565(out.r, out.g, out.b);
}

template <TexelFormat F, ColourKind CK, BlendMode B>
void writeChunk(const TriangleSetup& s, const SpanBuffers& b, uint16_t* dst, uint16_t* zrow,
                int n) {
    const PixelFormat targetFormat = s.target555 ? PixelFormat::Rgb555 : PixelFormat::Rgb565;
    const bool depthTest = s.depthTest, depthWrite = s.depthWrite;
    // No texture: the buffer was never filled and is not read.
    auto texelAt = [&](int i) { return F == TexelFormat::White ? 0u : b.texel[i]; };
    // Every pixel that is drawn, in order; the colour comes from `colour`.
    auto each = [&](auto colour) {
        if (!depthTest) {
            for (int i = 0; i < n; ++i) dst[i] = colour(i);
        } else if (depthWrite) {
            for (int i = 0; i < n; ++i)
                if (b.pass[i] != 0) {
                    dst[i] = colour(i);
                    zrow[i] = b.depth[i];
                }
        } else {
            for (int i = 0; i < n; ++i)
                if (b.pass[i] != 0) dst[i] = colour(i);
        }
    };
    if (F == TexelFormat::White && B == BlendMode::Off && !s.gouraud && depthTest && !depthWrite) {
        // One colour for the whole chunk (the white sky): a select per pixel
        // instead of a branch, which the optimiser turns into wide stores.
        const uint16_t c = finalPixel<F, CK, B>(s, 0u, s.flat, 0, targetFormat);
        for (int i = 0; i < n; ++i) dst[i] = b.pass[i] != 0 ? c : dst[i];
    } else if (s.gouraud) {
        each([&](int i) {
            return finalPixel<F, CK, B>(s, texelAt(i), unpackArgb(b.diffuse[i]), dst[i],
                                        targetFormat);
        });
    } else {
        const Rgba flat = s.flat;
        each(
            [&](int i) { return finalPixel<F, CK, B>(s, texelAt(i), flat, dst[i], targetFormat); });
    }
    // The 5-5-5 target only appears in tests: converted afterwards instead of
    // slowing down every pixel of the 5-6-5 display.
    if (s.target555 && B == BlendMode::Off)
        for (int i = 0; i < n; ++i)
            if (!depthTest || b.pass[i] != 0) dst[i] = to555(dst[i]);
}

template <TexelFormat F, ColourKind CK> OutputFunction outputFor(BlendMode blend) {
    switch (blend) {
    case BlendMode::Off:
        return writeChunk<F, CK, BlendMode::Off>;
    case BlendMode::Over:
        return writeChunk<F, CK, BlendMode::Over>;
    case BlendMode::General:
        break;
    }
    return writeChunk<F, CK, BlendMode::General>;
}

template <TexelFormat F> OutputFunction outputFor(ColourKind kind, BlendMode blend) {
    switch (kind) {
    case ColourKind::Modulate:
        return outputFor<F, ColourKind::Modulate>(blend);
    case ColourKind::Add:
        return outputFor<F, ColourKind::Add>(blend);
    case ColourKind::Texture:
        return outputFor<F, ColourKind::Texture>(blend);
    case ColourKind::Diffuse:
        return outputFor<F, ColourKind::Diffuse>(blend);
    case ColourKind::Generic:
        break;
    }
    return outputFor<F, ColourKind::Generic>(blend);
}

BlendMode blendModeOf(const TriangleSetup& s) {
    if (!s.blend) return BlendMode::Off;
    if (s.srcBlend == BLEND_SRCALPHA && s.destBlend == BLEND_INVSRCALPHA) return BlendMode::Over;
    return BlendMode::General;
}

template <bool Is4444> FetchFunction cachedFetchFor(bool mirror, bool linear) {
    if (linear && hasWideLanes()) return wideFetchFor(Is4444, mirror);
    if (mirror)
        return linear ? fetchSegments<fetchCached<Is4444, true, true>>
                      : fetchSegments<fetchCached<Is4444, true, false>>;
    return linear ? fetchSegments<fetchCached<Is4444, false, true>>
                  : fetchSegments<fetchCached<Is4444, false, false>>;
}

} // namespace

void chooseSpanFunctions(TriangleSetup& s) {
    RowSteps& d = s.rowSteps;
    d = RowSteps{static_cast<float>(s.w.dx),       static_cast<float>(s.u.dx),
                 static_cast<float>(s.v.dx),       {},
                 std::llrint(s.z.dx * DepthFixed), s.z.dx == 0.0 && s.z.dy == 0.0,
                 std::llrint(s.z.a * DepthFixed)};
    if (s.gouraud)
        for (int k = 0; k < 4; ++k) d.c[k] = static_cast<float>(s.colour[k].dx);
    const Plane* starts[8] = {&s.u,         &s.v,         &s.w,         &s.w,
                              &s.colour[0], &s.colour[1], &s.colour[2], &s.colour[3]};
    for (int k = 0; k < (s.gouraud ? 8 : 4); ++k) {
        s.rowStarts.start[k] = starts[k]->a + starts[k]->dx * 0.0;
        s.rowStarts.down[k] = starts[k]->dy;
    }
    const bool mirror = s.kind != TexKind::None && s.address == TADDRESS_MIRROR;
    s.wideLanes = hasWideLanes();
    s.testDepthWide = s.wideLanes ? wideDepthTest() : nullptr;
    s.testFlatDepthWide = s.wideLanes ? wideFlatDepthTest() : nullptr;
    switch (s.kind) {
    case TexKind::None:
        s.fetch = nullptr;
        s.output = outputFor<TexelFormat::White>(s.colourKind, blendModeOf(s));
        return;
    case TexKind::Rgb565:
        s.fetch = cachedFetchFor<false>(mirror, s.linear);
        s.output = outputFor<TexelFormat::R565>(s.colourKind, blendModeOf(s));
        if (s.wideLanes && !s.blend && !s.target555)
            if (OutputFunction wide = wideOutputFor(s.colourKind)) s.output = wide;
        if (s.wideLanes && !s.blend && !s.target555 && s.linear && !s.gouraud &&
            s.colourKind == ColourKind::Modulate && s.perspective && s.depthTest && s.depthWrite)
            s.wholeChunk = wideOpaqueChunk(mirror);
        // The backdrop's triangles: affine, depth tested but not written.
        s.addedChunks = s.wideLanes && !s.blend && !s.target555 && mirror && s.linear &&
                        s.colourKind == ColourKind::Add && !s.perspective && s.depthTest &&
                        !s.depthWrite;
        return;
    case TexKind::Argb4444:
        s.fetch = cachedFetchFor<true>(mirror, s.linear);
        // A silhouette of one tone is read from its bits, which stay in the nearest cache.
        s.tones = s.linear && s.wideLanes ? toneCacheFor(s.stage.texture, s.address)
                                          : ToneCache{nullptr, 0, 0};
        if (s.tones.bits != nullptr) s.fetch = wideToneFetchFor(mirror);
        s.output = outputFor<TexelFormat::A4444>(s.colourKind, blendModeOf(s));
        if (s.wideLanes && !s.target555 && s.colourKind == ColourKind::Modulate &&
            blendModeOf(s) == BlendMode::Over && s.stage.alphaOp == TOP_SELECTARG1 &&
            s.stage.alphaArg1 == TA_TEXTURE) {
            const bool black = s.tones.bits != nullptr && (s.tones.colour & 0x0FFF) == 0;
            s.output = wideShadowOutput(black);
            // The game's shadows: perspective chunks know their texel coordinates before the test.
            if (black && s.perspective && s.depthTest && s.depthWrite)
                s.wholeChunk = wideBlackShadowChunk(mirror);
        }
        return;
    case TexKind::Generic:
        break;
    }
    s.fetch = s.linear ? fetchSegments<fetchGeneric<true>> : fetchSegments<fetchGeneric<false>>;
    s.output = outputFor<TexelFormat::Argb8>(s.colourKind, blendModeOf(s));
}

namespace {

// Which span loop a triangle takes: chunks drawn whole (the game's shadows
// and opaque faces) and the backdrop have loops of their own, with what they
// always are fixed.
enum class SpanKind {
    General,
    Whole,   // wholeChunk is set
    Backdrop // addedChunks is set
};

// The span loop of each kind of triangle, with what the kind always is
// fixed: the general one reads everything from the set-up.
template <SpanKind K> struct SpanTraits {
    static constexpr bool Whole = K == SpanKind::Whole;       // wholeChunk set
    static constexpr bool Backdrop = K == SpanKind::Backdrop; // addedChunks set
    static bool perspective(const TriangleSetup& s) {
        return Whole || (!Backdrop && s.perspective);
    }
    static bool depthTest(const TriangleSetup& s) { return Whole || Backdrop || s.depthTest; }
};

// Pixels [x0, x1) of row y (already inside the clip rectangle); b and e are
// the scratch of the triangle's row loop.
template <SpanKind K>
KORVATH_HOT void drawSpanOf(const TriangleSetup& s, int y, int x0, int x1, SpanBuffers& b,
                            SegmentEnds& e) {
    using T = SpanTraits<K>;
    const bool perspective = T::perspective(s), depthTest = T::depthTest(s);
    assert(T::Whole == (s.wholeChunk != nullptr) && T::Backdrop == s.addedChunks);
    assert(perspective == s.perspective && depthTest == s.depthTest);
    // Depth is only stepped when it is tested or cuts the span (the backdrop
    // needs neither).
    const bool needsDepth = depthTest || s.zClip;
    const int64_t dz = needsDepth ? s.rowSteps.z : 0;
    // A flat plane (the backdrop's) gives its one value anywhere: a + 0 + 0.
    int64_t zf = 0;
    if (needsDepth)
        zf = s.rowSteps.oneDepth ? s.rowSteps.oneDepthAt : std::llrint(s.z.at(x0, y) * DepthFixed);
    if (s.zClip) {
        const int first = x0;
        if (!clipSpanToDepth(s, zf, dz, x0, x1)) return;
        zf += dz * (x0 - first);
    }
    uint16_t* dst = s.target + static_cast<std::ptrdiff_t>(y) * s.targetStride;
    uint16_t* zrow =
        s.depth != nullptr ? s.depth + static_cast<std::ptrdiff_t>(y) * s.depthStride : nullptr;
    // Rows lie a whole pitch apart: ask for the lines of the row after next
    // early (the next one was asked for by the row before), so that the walk
    // down a narrow triangle does not wait for memory at every row.
    __builtin_prefetch(dst + 2 * s.targetStride + x0, 1);
    __builtin_prefetch(dst + 2 * s.targetStride + x1 - 1, 1);
    if (zrow != nullptr) {
        __builtin_prefetch(zrow + 2 * s.depthStride + x0, 1);
        __builtin_prefetch(zrow + 2 * s.depthStride + x1 - 1, 1);
    }
    const int rowEnd = zrow != nullptr ? std::min(s.targetStride, s.depthStride) : s.targetStride;
    RowPlanes r{};
    bool planesReady = false;
    auto workOutEnds = [&](int x, int n) {
        if (!planesReady) r = rowPlanes(s, y);
        planesReady = true;
        segmentEnds(s, perspective, r, x, n, e);
    };
    for (int x = x0; x < x1; x += ChunkLength) {
        const int n = std::min(ChunkLength, x1 - x);
        const int64_t zChunk = zf;
        zf += dz * n;
        b.room = rowEnd - (x + n);
        // A perspective chunk's division runs while its depths are read, and
        // so do the backdrop's ends (its triangles hidden whole never get
        // here); any other affine chunk waits for the test.
        const bool endsFirst = perspective || T::Backdrop;
        if (endsFirst) workOutEnds(x, n);
        if (T::Whole && drawWholeChunk(s, e, zChunk, dz, b.room, dst + x, zrow + x, n)) continue;
        if (depthTest && testDepth(s, zChunk, dz, zrow + x, n, b) == 0) continue;
        if (!endsFirst) workOutEnds(x, n);
        if (T::Backdrop) {
            drawAddedChunkWide(s, affineChunk(s, e, n), b.pass, b.room, dst + x, n);
            continue;
        }
        if (s.fetch != nullptr) fetchChunk(s, e, n, b.texel);
        fillDiffuse(s, e, n, b.diffuse);
        s.output(s, b, dst + x, zrow != nullptr ? zrow + x : nullptr, n);
    }
}

template <SpanKind K>
void drawRowsOf(const TriangleSetup& s, Edge& left, Edge& right, int from, int to, int clipLeft,
                int clipRight) {
    SpanBuffers b;
    SegmentEnds e;
    for (int y = from; y < to; ++y) {
        const int x0 = static_cast<int>(std::max<int64_t>(left.q, clipLeft));
        const int x1 = static_cast<int>(std::min<int64_t>(right.q, clipRight));
        if (x0 < x1) drawSpanOf<K>(s, y, x0, x1, b, e);
        advanceEdge(left);
        advanceEdge(right);
    }
}

} // namespace

void drawRows(const TriangleSetup& s, Edge& left, Edge& right, int from, int to, int clipLeft,
              int clipRight) {
    if (s.wholeChunk != nullptr)
        return drawRowsOf<SpanKind::Whole>(s, left, right, from, to, clipLeft, clipRight);
    if (s.addedChunks)
        return drawRowsOf<SpanKind::Backdrop>(s, left, right, from, to, clipLeft, clipRight);
    drawRowsOf<SpanKind::General>(s, left, right, from, to, clipLeft, clipRight);
}
