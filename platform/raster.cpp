// The software rasteriser: turns one pre-transformed triangle into pixels of
// the render target under the device's current state. Coverage is exact
// fixed-point edge walking (pixel centres on integers, top-left rule);
// attributes come from plane equations of the unsnapped corners; texture
// coordinates and colours are perspective-corrected at the ends of short
// segments and stepped in fixed point between them. Keeps no state of its own.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "platform/device_state.h"

namespace {

constexpr int SubBits = 8; // sub-pixel bits of snapped corner positions
constexpr int64_t SubOne = int64_t{1} << SubBits;
constexpr int SegmentLength = 16;           // pixels between two perspective divisions
constexpr double FixedOne = 65536.0;        // 16.16 texture coordinates and colours
constexpr double DepthFixed = 4294967296.0; // depth in 32.32 depth-buffer units
constexpr double GuardBand = 2048.0;   // pixels beyond the clip rectangle drawn without clipping
constexpr float TexelLimit = 16000.0f; // keeps 16.16 coordinates and their differences in int32

// value(x, y) = a + dx * x + dy * y, in screen pixels.
struct Plane {
    double a, dx, dy;
    double at(double x, double y) const { return a + dx * x + dy * y; }
};

enum class TexKind { None, Rgb565, Argb4444, Generic };

enum class ColourKind { Modulate, Add, Texture, Diffuse, Generic };

struct TextureInfo {
    const uint16_t* texels; // row 0
    int stride;             // texels per row
    int width, height;
    int maskU, maskV;     // width - 1, height - 1 (power-of-two sizes)
    int shiftU, shiftV;   // log2 of the sizes
    int mirrorU, mirrorV; // -1 with mirror addressing, 0 with wrap
    PixelFormat format;
    uint32_t address;
};

struct Rgba {
    int r, g, b, a; // 0..255
};

// Everything a span needs, fixed for one triangle.
struct Setup {
    uint16_t* target;
    int targetStride; // pixels per row
    bool target555;
    uint16_t* depth; // nullptr without a depth buffer
    int depthStride;
    bool depthTest, depthWrite;
    Plane z;            // depth-buffer units + 0.5 - bias
    bool zClip;         // a corner lies outside depth 0..1: spans are cut to it
    double zLow, zHigh; // the plane's values at depth 0 and 1
    bool perspective;
    Plane w;         // rhw
    Plane u, v;      // texel units (times rhw with perspective)
    Plane colour[4]; // r, g, b, a in 0..255 (times rhw with perspective)
    bool gouraud;
    Rgba flat;    // the colour of all corners when not gouraud
    TexKind kind; // how texels are fetched; None gives opaque white
    TextureInfo tex;
    bool linear;
    ColourKind colourKind;
    StageState stage;
    uint32_t srcBlend, destBlend;
};

// ---- Small helpers ------------------------------------------------------------

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

int64_t ceilDiv(int64_t a, int64_t b) {
    return -floorDiv(-a, b);
}

int mul255(int a, int b) {
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

int clamp255(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

Rgba unpackDiffuse(uint32_t c) {
    return Rgba{static_cast<int>((c >> 16) & 255), static_cast<int>((c >> 8) & 255),
                static_cast<int>(c & 255), static_cast<int>(c >> 24)};
}

int expand5(int v) {
    return (v << 3) | (v >> 2);
}
int expand6(int v) {
    return (v << 2) | (v >> 4);
}

Rgba decodeTexel(uint16_t t, PixelFormat format) {
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
        return Rgba{((t >> 8) & 15) * 17, ((t >> 4) & 15) * 17, (t & 15) * 17, (t >> 12) * 17};
    case PixelFormat::Depth16:
        break;
    }
    return Rgba{255, 255, 255, 255};
}

// ---- Texture addressing ---------------------------------------------------------

// Power-of-two wrap or mirror: every whole coordinate reflects when mirroring.
int addressFast(int i, int mask, int shift, int mirror) {
    return (i ^ (mirror & -((i >> shift) & 1))) & mask;
}

int addressGeneric(int i, int size, uint32_t mode) {
    if (mode == TADDRESS_CLAMP) return i < 0 ? 0 : (i >= size ? size - 1 : i);
    if (mode == TADDRESS_MIRROR) {
        int m = i % (2 * size);
        if (m < 0) m += 2 * size;
        return m < size ? m : 2 * size - 1 - m;
    }
    int m = i % size;
    return m < 0 ? m + size : m;
}

uint32_t spread565(uint32_t t) {
    return (t | (t << 16)) & 0x07E0F81Fu;
}
uint32_t spread4444(uint32_t t) {
    return (t & 0x0F0Fu) | ((t & 0xF0F0u) << 12);
}

// Bilinear weights from two fractions of `bits` bits; they sum to 1 << bits.
struct Weights {
    uint32_t w00, w10, w01, w11;
};
Weights bilinearWeights(int fu, int fv, int bits) {
    const int w11 = (fu * fv) >> bits;
    return Weights{static_cast<uint32_t>((1 << bits) - fu - fv + w11),
                   static_cast<uint32_t>(fu - w11), static_cast<uint32_t>(fv - w11),
                   static_cast<uint32_t>(w11)};
}

template <TexKind K, bool Linear> Rgba sampleTexel(const TextureInfo& t, int uf, int vf) {
    if constexpr (K == TexKind::None) {
        return Rgba{255, 255, 255, 255};
    } else if constexpr (K == TexKind::Generic) {
        if (!Linear) {
            const int x = addressGeneric(uf >> 16, t.width, t.address);
            const int y = addressGeneric(vf >> 16, t.height, t.address);
            return decodeTexel(t.texels[y * t.stride + x], t.format);
        }
        const int iu = uf >> 16, iv = vf >> 16;
        const int fu = (uf >> 8) & 255, fv = (vf >> 8) & 255;
        const int x0 = addressGeneric(iu, t.width, t.address);
        const int x1 = addressGeneric(iu + 1, t.width, t.address);
        const uint16_t* row0 = t.texels + addressGeneric(iv, t.height, t.address) * t.stride;
        const uint16_t* row1 = t.texels + addressGeneric(iv + 1, t.height, t.address) * t.stride;
        const Rgba a = decodeTexel(row0[x0], t.format), b = decodeTexel(row0[x1], t.format);
        const Rgba c = decodeTexel(row1[x0], t.format), d = decodeTexel(row1[x1], t.format);
        const Weights w = bilinearWeights(fu, fv, 8);
        auto mix = [&](int p, int q, int r, int s) {
            return static_cast<int>((p * w.w00 + q * w.w10 + r * w.w01 + s * w.w11) >> 8);
        };
        return Rgba{mix(a.r, b.r, c.r, d.r), mix(a.g, b.g, c.g, d.g), mix(a.b, b.b, c.b, d.b),
                    mix(a.a, b.a, c.a, d.a)};
    } else {
        if (!Linear) {
            const int x = addressFast(uf >> 16, t.maskU, t.shiftU, t.mirrorU);
            const int y = addressFast(vf >> 16, t.maskV, t.shiftV, t.mirrorV);
            return decodeTexel(t.texels[y * t.stride + x],
                               K == TexKind::Rgb565 ? PixelFormat::Rgb565 : PixelFormat::Argb4444);
        }
        const int iu = uf >> 16, iv = vf >> 16;
        const int x0 = addressFast(iu, t.maskU, t.shiftU, t.mirrorU);
        const int x1 = addressFast(iu + 1, t.maskU, t.shiftU, t.mirrorU);
        const uint16_t* row0 = t.texels + addressFast(iv, t.maskV, t.shiftV, t.mirrorV) * t.stride;
        const uint16_t* row1 =
            t.texels + addressFast(iv + 1, t.maskV, t.shiftV, t.mirrorV) * t.stride;
        if constexpr (K == TexKind::Rgb565) {
            const Weights w = bilinearWeights((uf >> 11) & 31, (vf >> 11) & 31, 5);
            const uint32_t sum = ((spread565(row0[x0]) * w.w00 + spread565(row0[x1]) * w.w10 +
                                   spread565(row1[x0]) * w.w01 + spread565(row1[x1]) * w.w11) >>
                                  5) &
                                 0x07E0F81Fu;
            return Rgba{expand5(static_cast<int>((sum >> 11) & 31)),
                        expand6(static_cast<int>(sum >> 21)), expand5(static_cast<int>(sum & 31)),
                        255};
        } else {
            const Weights w = bilinearWeights((uf >> 12) & 15, (vf >> 12) & 15, 4);
            const uint32_t sum = ((spread4444(row0[x0]) * w.w00 + spread4444(row0[x1]) * w.w10 +
                                   spread4444(row1[x0]) * w.w01 + spread4444(row1[x1]) * w.w11) >>
                                  4) &
                                 0x0F0F0F0Fu;
            return Rgba{static_cast<int>((sum >> 8) & 15) * 17,
                        static_cast<int>((sum >> 16) & 15) * 17, static_cast<int>(sum & 15) * 17,
                        static_cast<int>(sum >> 24) * 17};
        }
    }
}

// ---- Texture stage -----------------------------------------------------------------

int argument(uint32_t which, int texel, int diffuse, int texelAlpha, int diffuseAlpha) {
    int value;
    if ((which & 0x20u) != 0) // alpha replicated into the colour
        value = (which & 0x0Fu) == TA_TEXTURE ? texelAlpha : diffuseAlpha;
    else
        value = (which & 0x0Fu) == TA_TEXTURE ? texel : diffuse;
    return (which & 0x10u) != 0 ? 255 - value : value; // complement
}

int operation(uint32_t op, int a1, int a2, int diffuse) {
    switch (op) {
    case TOP_SELECTARG1:
        return a1;
    case 3:
        return a2; // select argument 2
    case TOP_MODULATE:
        return mul255(a1, a2);
    case 5:
        return std::min(255, 2 * mul255(a1, a2));
    case 6:
        return std::min(255, 4 * mul255(a1, a2));
    case TOP_ADD:
        return std::min(255, a1 + a2);
    case 8:
        return clamp255(a1 + a2 - 128); // add signed
    case 10:
        return std::max(0, a1 - a2); // subtract
    default:
        return diffuse; // disabled: the diffuse value passes through
    }
}

int stageChannel(uint32_t op, uint32_t arg1, uint32_t arg2, int texel, int diffuse, int texelAlpha,
                 int diffuseAlpha) {
    return operation(op, argument(arg1, texel, diffuse, texelAlpha, diffuseAlpha),
                     argument(arg2, texel, diffuse, texelAlpha, diffuseAlpha), diffuse);
}

Rgba combineColour(const Setup& s, const Rgba& t, const Rgba& d) {
    switch (s.colourKind) {
    case ColourKind::Modulate:
        return Rgba{mul255(t.r, d.r), mul255(t.g, d.g), mul255(t.b, d.b), 0};
    case ColourKind::Add:
        return Rgba{std::min(255, t.r + d.r), std::min(255, t.g + d.g), std::min(255, t.b + d.b),
                    0};
    case ColourKind::Texture:
        return Rgba{t.r, t.g, t.b, 0};
    case ColourKind::Diffuse:
        return Rgba{d.r, d.g, d.b, 0};
    case ColourKind::Generic:
        break;
    }
    const StageState& st = s.stage;
    return Rgba{stageChannel(st.colorOp, st.colorArg1, st.colorArg2, t.r, d.r, t.a, d.a),
                stageChannel(st.colorOp, st.colorArg1, st.colorArg2, t.g, d.g, t.a, d.a),
                stageChannel(st.colorOp, st.colorArg1, st.colorArg2, t.b, d.b, t.a, d.a), 0};
}

int combineAlpha(const StageState& st, const Rgba& t, const Rgba& d) {
    return stageChannel(st.alphaOp, st.alphaArg1 & ~0x20u, st.alphaArg2 & ~0x20u, t.a, d.a, t.a,
                        d.a);
}

int blendFactor(uint32_t factor, int alpha) {
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

Rgba decodeTarget(uint16_t p, bool target555) {
    return decodeTexel(p, target555 ? PixelFormat::Rgb555 : PixelFormat::Rgb565);
}

uint16_t packTarget(int r, int g, int b, bool target555) {
    if (target555) return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// ---- Spans -------------------------------------------------------------------------------

// Texture coordinates and colour at one pixel, in 16.16.
struct Varyings {
    int u, v;
    int c[4];
};

int toFixed(float value, float low, float high) {
    const float clamped = value < low ? low : (value > high ? high : value);
    return static_cast<int>(std::lrint(clamped * static_cast<float>(FixedOne)));
}

struct RowPlanes {
    float w, u, v, c[4]; // each plane's value at x = 0 of this row
};

Varyings varyingsAt(const Setup& s, const RowPlanes& row, int x) {
    const float fx = static_cast<float>(x);
    float inv = 1.0f;
    if (s.perspective) {
        const float w = row.w + static_cast<float>(s.w.dx) * fx;
        inv = 1.0f / std::max(w, 1e-30f);
    }
    Varyings out;
    out.u = toFixed((row.u + static_cast<float>(s.u.dx) * fx) * inv, -TexelLimit, TexelLimit);
    out.v = toFixed((row.v + static_cast<float>(s.v.dx) * fx) * inv, -TexelLimit, TexelLimit);
    if (s.gouraud)
        for (int i = 0; i < 4; ++i)
            out.c[i] =
                toFixed((row.c[i] + static_cast<float>(s.colour[i].dx) * fx) * inv, 0.0f, 255.0f);
    else
        for (int i = 0; i < 4; ++i) out.c[i] = 0;
    return out;
}

// Cuts [x0, x1) to the pixels whose depth lies within 0..1.
bool clipSpanToDepth(const Setup& s, int64_t z0, int64_t dz, int& x0, int& x1) {
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

template <TexKind K, bool Linear, bool DepthTest, bool Blend>
void drawSpan(const Setup& s, int y, int x0, int x1) {
    const double fy = y;
    int64_t dz = std::llrint(s.z.dx * DepthFixed);
    int64_t zf = std::llrint(s.z.at(x0, fy) * DepthFixed);
    if (s.zClip) {
        const int first = x0;
        if (!clipSpanToDepth(s, zf, dz, x0, x1)) return;
        zf += dz * (x0 - first);
    }
    RowPlanes row{static_cast<float>(s.w.at(0, fy)),
                  static_cast<float>(s.u.at(0, fy)),
                  static_cast<float>(s.v.at(0, fy)),
                  {}};
    for (int i = 0; i < 4; ++i) row.c[i] = static_cast<float>(s.colour[i].at(0, fy));

    uint16_t* dst = s.target + static_cast<std::ptrdiff_t>(y) * s.targetStride;
    uint16_t* zrow =
        s.depth != nullptr ? s.depth + static_cast<std::ptrdiff_t>(y) * s.depthStride : nullptr;
    const bool depthWrite = s.depthWrite && zrow != nullptr;
    Varyings at = varyingsAt(s, row, x0);
    int x = x0;
    while (x < x1) {
        const int end = s.perspective ? std::min(x + SegmentLength, x1) : x1;
        const int n = end - x;
        const Varyings next = varyingsAt(s, row, end);
        const int du = (next.u - at.u) / n, dv = (next.v - at.v) / n;
        int dc[4];
        for (int i = 0; i < 4; ++i) dc[i] = (next.c[i] - at.c[i]) / n;
        int uf = at.u, vf = at.v;
        int c[4] = {at.c[0], at.c[1], at.c[2], at.c[3]};
        for (; x < end; ++x) {
            int depth = static_cast<int>(zf >> 32);
            depth = depth < 0 ? 0 : (depth > 65535 ? 65535 : depth);
            if (!DepthTest || depth <= zrow[x]) {
                const Rgba texel = sampleTexel<K, Linear>(s.tex, uf, vf);
                const Rgba diffuse =
                    s.gouraud ? Rgba{c[0] >> 16, c[1] >> 16, c[2] >> 16, c[3] >> 16} : s.flat;
                Rgba out = combineColour(s, texel, diffuse);
                if constexpr (Blend) {
                    const int alpha = combineAlpha(s.stage, texel, diffuse);
                    const Rgba under = decodeTarget(dst[x], s.target555);
                    const int fs = blendFactor(s.srcBlend, alpha);
                    const int fd = blendFactor(s.destBlend, alpha);
                    out.r = std::min(255, mul255(out.r, fs) + mul255(under.r, fd));
                    out.g = std::min(255, mul255(out.g, fs) + mul255(under.g, fd));
                    out.b = std::min(255, mul255(out.b, fs) + mul255(under.b, fd));
                }
                dst[x] = packTarget(out.r, out.g, out.b, s.target555);
                if (depthWrite) zrow[x] = static_cast<uint16_t>(depth);
            }
            zf += dz;
            uf += du;
            vf += dv;
            if (s.gouraud)
                for (int i = 0; i < 4; ++i) c[i] += dc[i];
        }
        at = next;
    }
}

using SpanFunction = void (*)(const Setup&, int, int, int);

template <TexKind K, bool Linear> SpanFunction pickSpanForDepth(bool depthTest, bool blend) {
    if (depthTest)
        return blend ? drawSpan<K, Linear, true, true> : drawSpan<K, Linear, true, false>;
    return blend ? drawSpan<K, Linear, false, true> : drawSpan<K, Linear, false, false>;
}

template <TexKind K> SpanFunction pickSpanForFilter(bool linear, bool depthTest, bool blend) {
    return linear ? pickSpanForDepth<K, true>(depthTest, blend)
                  : pickSpanForDepth<K, false>(depthTest, blend);
}

SpanFunction pickSpan(TexKind kind, bool linear, bool depthTest, bool blend) {
    switch (kind) {
    case TexKind::None:
        return pickSpanForDepth<TexKind::None, false>(depthTest, blend);
    case TexKind::Rgb565:
        return pickSpanForFilter<TexKind::Rgb565>(linear, depthTest, blend);
    case TexKind::Argb4444:
        return pickSpanForFilter<TexKind::Argb4444>(linear, depthTest, blend);
    case TexKind::Generic:
        break;
    }
    return pickSpanForFilter<TexKind::Generic>(linear, depthTest, blend);
}

// ---- Coverage ----------------------------------------------------------------------------

struct Point {
    int64_t x, y; // 1/256 pixel
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

Edge startEdge(Point p, Point q, int row) {
    const int64_t dy = q.y - p.y, dx = q.x - p.x;
    Edge e;
    e.d = SubOne * dy;
    const int64_t n = p.x * dy + (row * SubOne - p.y) * dx;
    e.q = ceilDiv(n, e.d);
    e.r = e.q * e.d - n;
    const int64_t step = SubOne * dx;
    e.stepQ = floorDiv(step, e.d);
    e.stepR = step - e.stepQ * e.d;
    return e;
}

void advanceEdge(Edge& e) {
    e.q += e.stepQ;
    e.r -= e.stepR;
    if (e.r < 0) {
        e.r += e.d;
        ++e.q;
    }
}

struct ClipRect {
    int left, top, right, bottom; // right and bottom exclusive
};

ClipRect clipRectangle(const DeviceState& device) {
    const Surface* target = device.target;
    ClipRect r{std::max(device.viewportX, 0), std::max(device.viewportY, 0),
               std::min(device.viewportX + device.viewportWidth, target->width),
               std::min(device.viewportY + device.viewportHeight, target->height)};
    return r;
}

// Plane through the three corners' values; false when the corners are in a line.
bool makePlane(const double x[3], const double y[3], const double a[3], Plane& out) {
    const double det = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (det == 0.0 || !std::isfinite(det)) return false;
    out.dx = ((a[1] - a[0]) * (y[2] - y[0]) - (a[2] - a[0]) * (y[1] - y[0])) / det;
    out.dy = ((a[2] - a[0]) * (x[1] - x[0]) - (a[1] - a[0]) * (x[2] - x[0])) / det;
    out.a = a[0] - out.dx * x[0] - out.dy * y[0];
    return true;
}

bool isPowerOfTwo(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

int log2Of(int v) {
    int s = 0;
    while ((1 << s) < v) ++s;
    return s;
}

TexKind describeTexture(const StageState& stage, TextureInfo& info) {
    const Surface* t = stage.texture;
    if (t == nullptr) return TexKind::None;
    info.texels = t->pixels;
    info.stride = t->pitch / 2;
    info.width = t->width;
    info.height = t->height;
    info.maskU = t->width - 1;
    info.maskV = t->height - 1;
    info.shiftU = log2Of(t->width);
    info.shiftV = log2Of(t->height);
    info.mirrorU = info.mirrorV = stage.address == TADDRESS_MIRROR ? -1 : 0;
    info.format = t->format;
    info.address = stage.address;
    const bool fast = isPowerOfTwo(t->width) && isPowerOfTwo(t->height) &&
                      (stage.address == TADDRESS_MIRROR || stage.address == TADDRESS_WRAP);
    if (fast && t->format == PixelFormat::Rgb565) return TexKind::Rgb565;
    if (fast && t->format == PixelFormat::Argb4444) return TexKind::Argb4444;
    return TexKind::Generic;
}

bool usesTexture(uint32_t op, uint32_t arg1, uint32_t arg2) {
    if (op == TOP_DISABLE) return false;
    if (op == TOP_SELECTARG1) return (arg1 & 0x0Fu) == TA_TEXTURE;
    if (op == 3) return (arg2 & 0x0Fu) == TA_TEXTURE;
    return (arg1 & 0x0Fu) == TA_TEXTURE || (arg2 & 0x0Fu) == TA_TEXTURE;
}

ColourKind classifyColour(const StageState& st) {
    const uint32_t a1 = st.colorArg1, a2 = st.colorArg2;
    const bool texDiff = (a1 == TA_TEXTURE && (a2 == TA_DIFFUSE || a2 == TA_CURRENT)) ||
                         (a2 == TA_TEXTURE && (a1 == TA_DIFFUSE || a1 == TA_CURRENT));
    if (st.colorOp == TOP_MODULATE && texDiff) return ColourKind::Modulate;
    if (st.colorOp == TOP_ADD && texDiff) return ColourKind::Add;
    if (st.colorOp == TOP_SELECTARG1 && a1 == TA_TEXTURE) return ColourKind::Texture;
    if (st.colorOp == TOP_DISABLE) return ColourKind::Diffuse;
    if (st.colorOp == TOP_SELECTARG1 && (a1 == TA_DIFFUSE || a1 == TA_CURRENT))
        return ColourKind::Diffuse;
    return ColourKind::Generic;
}

// Whether the triangle's texels shrink on screen (minification) at its centre.
bool isMinified(const Setup& s, double cx, double cy) {
    double scale = 1.0;
    if (s.perspective) scale = 1.0 / std::max(s.w.at(cx, cy), 1e-30);
    const double du = std::hypot(s.u.dx, s.u.dy) * scale, dv = std::hypot(s.v.dx, s.v.dy) * scale;
    return du * dv > 1.0;
}

struct Corner {
    double x, y;
    const TLVertex* v;
};

// Fills in everything but coverage; false when nothing can be drawn.
bool prepareSetup(const DeviceState& device, const Corner c[3], Setup& s) {
    Surface* target = device.target;
    s.target = target->pixels;
    s.targetStride = target->pitch / 2;
    s.target555 = target->format == PixelFormat::Rgb555;
    Surface* depth = target->depth;
    s.depthTest = device.depthEnable && depth != nullptr;
    s.depthWrite = device.depthEnable && device.depthWrite && depth != nullptr;
    s.depth = s.depthTest ? depth->pixels : nullptr;
    s.depthStride = depth != nullptr ? depth->pitch / 2 : 0;
    s.perspective = device.perspective;
    s.stage = device.stage0;
    s.srcBlend = device.srcBlend;
    s.destBlend = device.destBlend;

    const double x[3] = {c[0].x, c[1].x, c[2].x}, y[3] = {c[0].y, c[1].y, c[2].y};
    const double bias = static_cast<double>(device.depthBias) * DepthBiasUnit;
    double z[3], w[3] = {1.0, 1.0, 1.0};
    bool zOutside = false;
    for (int i = 0; i < 3; ++i) {
        const double depthValue = c[i].v->sz;
        zOutside = zOutside || depthValue < 0.0 || depthValue > 1.0;
        z[i] = depthValue * 65535.0 + 0.5 - bias;
        if (s.perspective) w[i] = c[i].v->rhw;
    }
    s.zClip = zOutside;
    s.zLow = 0.5 - bias;
    s.zHigh = 65535.5 - bias;
    if (!makePlane(x, y, z, s.z)) return false;
    Plane flatW{1.0, 0.0, 0.0};
    s.w = flatW;
    if (s.perspective && !makePlane(x, y, w, s.w)) return false;

    const bool texture =
        usesTexture(s.stage.colorOp, s.stage.colorArg1, s.stage.colorArg2) ||
        (device.blendEnable && usesTexture(s.stage.alphaOp, s.stage.alphaArg1, s.stage.alphaArg2));
    TexKind kind = TexKind::None;
    if (texture) kind = describeTexture(s.stage, s.tex);
    const double texW = kind == TexKind::None ? 1.0 : s.tex.width;
    const double texH = kind == TexKind::None ? 1.0 : s.tex.height;

    double u[3], v[3];
    for (int i = 0; i < 3; ++i) {
        u[i] = std::isfinite(c[i].v->tu) ? c[i].v->tu * texW : 0.0;
        v[i] = std::isfinite(c[i].v->tv) ? c[i].v->tv * texH : 0.0;
    }
    // Addressing repeats, so a whole number of periods can come off the
    // coordinates: far-out values then still fit the fixed-point range.
    if (kind != TexKind::None && s.tex.address != TADDRESS_CLAMP) {
        const double periodU = s.tex.address == TADDRESS_MIRROR ? 2.0 * texW : texW;
        const double periodV = s.tex.address == TADDRESS_MIRROR ? 2.0 * texH : texH;
        const double offU = std::floor(std::min({u[0], u[1], u[2]}) / periodU) * periodU;
        const double offV = std::floor(std::min({v[0], v[1], v[2]}) / periodV) * periodV;
        for (int i = 0; i < 3; ++i) {
            u[i] -= offU;
            v[i] -= offV;
        }
    }
    double uw[3], vw[3], colour[4][3];
    const uint32_t d0 = c[0].v->diffuse;
    s.gouraud = c[1].v->diffuse != d0 || c[2].v->diffuse != d0;
    s.flat = unpackDiffuse(d0);
    for (int i = 0; i < 3; ++i) {
        const Rgba d = unpackDiffuse(c[i].v->diffuse);
        const double ch[4] = {static_cast<double>(d.r), static_cast<double>(d.g),
                              static_cast<double>(d.b), static_cast<double>(d.a)};
        uw[i] = u[i] * w[i];
        vw[i] = v[i] * w[i];
        for (int k = 0; k < 4; ++k) colour[k][i] = ch[k] * w[i];
    }
    makePlane(x, y, uw, s.u);
    makePlane(x, y, vw, s.v);
    for (int k = 0; k < 4; ++k) makePlane(x, y, colour[k], s.colour[k]);

    const bool magLinear = s.stage.magFilter == TFILTER_LINEAR;
    const bool minLinear = s.stage.minFilter == TFILTER_LINEAR;
    s.linear = magLinear;
    if (magLinear != minLinear && kind != TexKind::None)
        s.linear = isMinified(s, (x[0] + x[1] + x[2]) / 3.0, (y[0] + y[1] + y[2]) / 3.0)
                       ? minLinear
                       : magLinear;
    // Bilinear sample points sit half a texel before the coordinate.
    if (s.linear && kind != TexKind::None) {
        s.u.a -= 0.5 * s.w.a;
        s.u.dx -= 0.5 * s.w.dx;
        s.u.dy -= 0.5 * s.w.dy;
        s.v.a -= 0.5 * s.w.a;
        s.v.dx -= 0.5 * s.w.dx;
        s.v.dy -= 0.5 * s.w.dy;
    }
    s.colourKind = classifyColour(s.stage);
    s.kind = kind;
    s.linear = s.linear && kind != TexKind::None;
    return true;
}

// Walks the rows of a triangle whose corners are in the guard band and
// draws every covered pixel inside the clip rectangle.
void fillTriangle(const DeviceState& device, const Corner corners[3], const ClipRect& clip) {
    Setup s;
    if (!prepareSetup(device, corners, s)) return;
    Point p[3];
    for (int i = 0; i < 3; ++i)
        p[i] = Point{std::llrint(corners[i].x * SubOne), std::llrint(corners[i].y * SubOne)};
    const int64_t area =
        (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[1].y - p[0].y) * (p[2].x - p[0].x);
    if (area == 0) return;
    std::sort(p, p + 3, [](const Point& a, const Point& b) { return a.y < b.y; });
    const Point top = p[0], mid = p[1], bottom = p[2];
    // Which side the middle corner lies on decides which edges bound spans on the left.
    const int64_t side =
        (mid.y - top.y) * (bottom.x - top.x) - (mid.x - top.x) * (bottom.y - top.y);
    if (side == 0) return;
    const bool midOnLeft = side > 0;

    const int rowTop = static_cast<int>(std::max<int64_t>(ceilDiv(top.y, SubOne), clip.top));
    const int rowMid =
        static_cast<int>(std::clamp<int64_t>(ceilDiv(mid.y, SubOne), clip.top, clip.bottom));
    const int rowEnd = static_cast<int>(std::min<int64_t>(ceilDiv(bottom.y, SubOne), clip.bottom));
    if (rowTop >= rowEnd) return;

    const SpanFunction span = pickSpan(s.kind, s.linear, s.depthTest, device.blendEnable);
    Edge longEdge = startEdge(top, bottom, rowTop);
    auto drawRows = [&](Edge& shortEdge, int from, int to) {
        for (int y = from; y < to; ++y) {
            const Edge& left = midOnLeft ? shortEdge : longEdge;
            const Edge& right = midOnLeft ? longEdge : shortEdge;
            const int x0 = static_cast<int>(std::max<int64_t>(left.q, clip.left));
            const int x1 = static_cast<int>(std::min<int64_t>(right.q, clip.right));
            if (x0 < x1) span(s, y, x0, x1);
            advanceEdge(longEdge);
            advanceEdge(shortEdge);
        }
    };
    if (rowTop < rowMid && mid.y > top.y) {
        Edge upper = startEdge(top, mid, rowTop);
        drawRows(upper, rowTop, rowMid);
    }
    const int lowerStart = std::max(rowTop, rowMid);
    if (lowerStart < rowEnd && bottom.y > mid.y) {
        if (lowerStart != rowTop) longEdge = startEdge(top, bottom, lowerStart);
        Edge lower = startEdge(mid, bottom, lowerStart);
        drawRows(lower, lowerStart, rowEnd);
    }
}

// ---- Guard-band clipping ------------------------------------------------------------------

// A corner made by clipping: screen-linear quantities only, so that cutting
// an edge is a plain linear interpolation.
struct ClipCorner {
    double x, y, z, w, uw, vw, c[4];
};

ClipCorner toClipCorner(const TLVertex& v, bool perspective) {
    const double w = perspective ? v.rhw : 1.0;
    const Rgba d = unpackDiffuse(v.diffuse);
    return ClipCorner{
        v.sx, v.sy, v.sz, w, v.tu * w, v.tv * w, {d.r * w, d.g * w, d.b * w, d.a * w}};
}

ClipCorner lerp(const ClipCorner& a, const ClipCorner& b, double t) {
    auto mix = [t](double p, double q) { return p + (q - p) * t; };
    return ClipCorner{
        mix(a.x, b.x),
        mix(a.y, b.y),
        mix(a.z, b.z),
        mix(a.w, b.w),
        mix(a.uw, b.uw),
        mix(a.vw, b.vw),
        {mix(a.c[0], b.c[0]), mix(a.c[1], b.c[1]), mix(a.c[2], b.c[2]), mix(a.c[3], b.c[3])}};
}

TLVertex toVertex(const ClipCorner& c, bool perspective) {
    const double inv = perspective ? 1.0 / c.w : 1.0;
    auto channel = [&](double v) {
        return static_cast<uint32_t>(std::clamp(std::lround(v * inv), 0L, 255L));
    };
    const uint32_t diffuse =
        channel(c.c[3]) << 24 | channel(c.c[0]) << 16 | channel(c.c[1]) << 8 | channel(c.c[2]);
    return TLVertex{static_cast<float>(c.x),
                    static_cast<float>(c.y),
                    static_cast<float>(c.z),
                    static_cast<float>(perspective ? c.w : 1.0),
                    diffuse,
                    static_cast<float>(c.uw * inv),
                    static_cast<float>(c.vw * inv)};
}

// Keeps the part of the polygon where sign * (coordinate - limit) <= 0.
int clipPolygon(const ClipCorner* in, int count, ClipCorner* out, bool alongX, double limit,
                double sign) {
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const ClipCorner& a = in[i];
        const ClipCorner& b = in[(i + 1) % count];
        const double da = sign * ((alongX ? a.x : a.y) - limit);
        const double db = sign * ((alongX ? b.x : b.y) - limit);
        if (da <= 0) out[n++] = a;
        if ((da < 0 && db > 0) || (da > 0 && db < 0)) out[n++] = lerp(a, b, da / (da - db));
    }
    return n;
}

void fillClippedTriangle(const DeviceState& device, const TLVertex* v[3], const ClipRect& clip) {
    const bool perspective = device.perspective;
    ClipCorner bufferA[9], bufferB[9];
    for (int i = 0; i < 3; ++i) bufferA[i] = toClipCorner(*v[i], perspective);
    int n = 3;
    const double limits[4] = {clip.left - GuardBand, clip.right + GuardBand, clip.top - GuardBand,
                              clip.bottom + GuardBand};
    n = clipPolygon(bufferA, n, bufferB, true, limits[0], -1.0);
    n = clipPolygon(bufferB, n, bufferA, true, limits[1], 1.0);
    n = clipPolygon(bufferA, n, bufferB, false, limits[2], -1.0);
    n = clipPolygon(bufferB, n, bufferA, false, limits[3], 1.0);
    if (n < 3) return;
    TLVertex fan[9];
    for (int i = 0; i < n; ++i) fan[i] = toVertex(bufferA[i], perspective);
    for (int i = 1; i + 1 < n; ++i) {
        const Corner corners[3] = {{fan[0].sx, fan[0].sy, &fan[0]},
                                   {fan[i].sx, fan[i].sy, &fan[i]},
                                   {fan[i + 1].sx, fan[i + 1].sy, &fan[i + 1]}};
        fillTriangle(device, corners, clip);
    }
}

bool isFiniteVertex(const TLVertex& v) {
    return std::isfinite(v.sx) && std::isfinite(v.sy) && std::isfinite(v.sz) &&
           std::isfinite(v.rhw);
}

bool isCulled(uint32_t cullMode, double w) {
    if (w == 0.0) return true;
    if (cullMode == CULL_CCW) return w < 0.0;
    if (cullMode == CULL_CW) return w > 0.0;
    return false;
}

} // namespace

void rasterizeTriangle(const TLVertex& a, const TLVertex& b, const TLVertex& c) {
    const DeviceState& device = deviceState();
    if (device.target == nullptr) return;
    if (!isFiniteVertex(a) || !isFiniteVertex(b) || !isFiniteVertex(c)) return;
    // A corner at or behind the eye has no meaningful screen position.
    if (!(a.rhw > 0.0f && b.rhw > 0.0f && c.rhw > 0.0f)) return;
    const double w = (static_cast<double>(b.sx) - a.sx) * (static_cast<double>(c.sy) - a.sy) -
                     (static_cast<double>(b.sy) - a.sy) * (static_cast<double>(c.sx) - a.sx);
    if (isCulled(device.cullMode, w)) return;
    const ClipRect clip = clipRectangle(device);
    if (clip.left >= clip.right || clip.top >= clip.bottom) return;
    const TLVertex* v[3] = {&a, &b, &c};
    bool inGuard = true;
    for (const TLVertex* p : v)
        inGuard = inGuard && p->sx >= clip.left - GuardBand && p->sx <= clip.right + GuardBand &&
                  p->sy >= clip.top - GuardBand && p->sy <= clip.bottom + GuardBand;
    if (!inGuard) {
        fillClippedTriangle(device, v, clip);
        return;
    }
    const Corner corners[3] = {{a.sx, a.sy, &a}, {b.sx, b.sy, &b}, {c.sx, c.sy, &c}};
    fillTriangle(device, corners, clip);
}
