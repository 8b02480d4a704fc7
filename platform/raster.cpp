// The triangle set-up of the software rasteriser: rejection, culling,
// guard-band clipping, exact fixed-point coverage (pixel centres on integers,
// top-left rule) and the plane equations of the unsnapped corners that the
// span pipeline (platform/raster_span.cpp) interpolates. Keeps no state.
#include <algorithm>
#include <cmath>

#include <emmintrin.h>

#include "platform/raster_internal.h"
#include "platform/texel_cache.h"

namespace {

constexpr int SubBits = 8; // sub-pixel bits of snapped corner positions
constexpr int64_t SubOne = int64_t{1} << SubBits;
constexpr double GuardBand = 2048.0; // pixels past the clip rectangle drawn without clipping
constexpr int RowsAhead = 12;        // depth rows read early by the hidden-backdrop test

// ---- Coverage ----------------------------------------------------------------------------

struct Point {
    int64_t x, y; // 1/256 pixel
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

// What the planes of one triangle share: the corners' offsets from the
// first and their determinant, worked out once.
struct PlaneBasis {
    double x0, y0;
    __m128d p, q; // (y2 - y0, x1 - x0) and (y1 - y0, x2 - x0)
    __m128d det;  // in both lanes
};

// False when the corners are in a line.
bool makeBasis(const double x[3], const double y[3], PlaneBasis& b) {
    const double det = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (det == 0.0 || !std::isfinite(det)) return false;
    b.x0 = x[0];
    b.y0 = y[0];
    b.p = _mm_setr_pd(y[2] - y[0], x[1] - x[0]);
    b.q = _mm_setr_pd(y[1] - y[0], x[2] - x[0]);
    b.det = _mm_set1_pd(det);
    return true;
}

// The plane through the corners' values a0, a1, a2; both slopes in one division,
// each rounded as its own scalar expression would be.
Plane makePlane(const PlaneBasis& b, double a0, double a1, double a2) {
    // From registers: a pair loaded from two scalar stores would wait for both.
    const __m128d d = _mm_sub_pd(_mm_unpacklo_pd(_mm_set_sd(a1), _mm_set_sd(a2)), _mm_set1_pd(a0));
    const __m128d crossed = _mm_shuffle_pd(d, d, 1);
    const __m128d slopes =
        _mm_div_pd(_mm_sub_pd(_mm_mul_pd(d, b.p), _mm_mul_pd(crossed, b.q)), b.det);
    Plane out;
    out.dx = _mm_cvtsd_f64(slopes);
    out.dy = _mm_cvtsd_f64(_mm_unpackhi_pd(slopes, slopes));
    out.a = a0 - out.dx * b.x0 - out.dy * b.y0;
    return out;
}

bool isPowerOfTwo(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// The fetch kind for the bound texture, and its access fields in the set-up.
TexKind describeTexture(const StageState& stage, TriangleSetup& s) {
    Surface* t = stage.texture;
    if (t == nullptr) return TexKind::None;
    s.texels = t->pixels;
    s.texelStride = t->pitch / 2;
    s.texWidth = t->width;
    s.texHeight = t->height;
    s.texFormat = t->format;
    s.address = stage.address;
    const bool cached = isPowerOfTwo(t->width) && isPowerOfTwo(t->height) &&
                        (stage.address == TADDRESS_MIRROR || stage.address == TADDRESS_WRAP) &&
                        (t->format == PixelFormat::Rgb565 || t->format == PixelFormat::Argb4444);
    if (!cached) return TexKind::Generic;
    s.cache = texelCacheFor(t, stage.address);
    if (s.cache == nullptr) return TexKind::Generic;
    s.cacheStride = texelCacheStride(t);
    const bool mirror = stage.address == TADDRESS_MIRROR;
    s.maskU = (t->width << (mirror ? 17 : 16)) - 1;
    s.maskV = (t->height << (mirror ? 17 : 16)) - 1;
    s.halfU = t->width << 16;
    s.halfV = t->height << 16;
    return t->format == PixelFormat::Rgb565 ? TexKind::Rgb565 : TexKind::Argb4444;
}

bool usesTexture(uint32_t op, uint32_t arg1, uint32_t arg2) {
    if (op == TOP_DISABLE) return false;
    if (op == TOP_SELECTARG1) return (arg1 & TA_SELECTMASK) == TA_TEXTURE;
    if (op == TOP_SELECTARG2) return (arg2 & TA_SELECTMASK) == TA_TEXTURE;
    return (arg1 & TA_SELECTMASK) == TA_TEXTURE || (arg2 & TA_SELECTMASK) == TA_TEXTURE;
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
bool isMinified(const TriangleSetup& s, double cx, double cy) {
    double scale = 1.0;
    if (s.perspective) scale = 1.0 / std::max(s.w.at(cx, cy), 1e-30);
    const double du = std::hypot(s.u.dx, s.u.dy) * scale, dv = std::hypot(s.v.dx, s.v.dy) * scale;
    return du * dv > 1.0;
}

struct Corner {
    double x, y;
    const TLVertex* v;
};

void prepareTarget(const DeviceState& device, TriangleSetup& s) {
    Surface* target = device.target;
    s.target = target->pixels;
    s.targetStride = target->pitch / 2;
    s.target555 = target->format == PixelFormat::Rgb555;
    Surface* depth = target->depth;
    s.depthTest = device.depthEnable && depth != nullptr;
    s.depthWrite = s.depthTest && device.depthWrite;
    s.depth = s.depthTest ? depth->pixels : nullptr;
    s.depthStride = s.depthTest ? depth->pitch / 2 : 0;
    s.perspective = device.perspective;
    s.stage = device.stage0;
    s.blend = device.blendEnable;
    s.srcBlend = device.srcBlend;
    s.destBlend = device.destBlend;
}

double depthBias(const DeviceState& device) {
    return static_cast<double>(device.depthBias) * DepthBiasUnit;
}

// A corner's depth in depth-buffer units, rounded to nearest by the 0.5.
double depthUnits(double depthValue, double bias) {
    return depthValue * 65535.0 + 0.5 - bias;
}

// Depth and rhw planes.
void prepareDepth(const DeviceState& device, const Corner c[3], const PlaneBasis& basis,
                  TriangleSetup& s) {
    const double bias = depthBias(device);
    s.zClip = false;
    for (int i = 0; i < 3; ++i) {
        const double depthValue = c[i].v->sz;
        s.zClip = s.zClip || depthValue < 0.0 || depthValue > 1.0;
    }
    s.zLow = 0.5 - bias;
    s.zHigh = 65535.5 - bias;
    s.z = makePlane(basis, depthUnits(c[0].v->sz, bias), depthUnits(c[1].v->sz, bias),
                    depthUnits(c[2].v->sz, bias));
    s.w = s.perspective ? makePlane(basis, c[0].v->rhw, c[1].v->rhw, c[2].v->rhw)
                        : Plane{1.0, 0.0, 0.0};
}

// Texture coordinate and colour planes, in texels (times rhw with perspective).
void prepareVaryings(const Corner c[3], const PlaneBasis& basis, TriangleSetup& s) {
    const bool textured = s.kind != TexKind::None;
    const double texW = textured ? s.texWidth : 1.0, texH = textured ? s.texHeight : 1.0;
    double u[3], v[3];
    for (int i = 0; i < 3; ++i) {
        u[i] = std::isfinite(c[i].v->tu) ? c[i].v->tu * texW : 0.0;
        v[i] = std::isfinite(c[i].v->tv) ? c[i].v->tv * texH : 0.0;
    }
    // Addressing repeats, so whole periods can come off the coordinates: far-out
    // values then still fit the fixed-point range.
    if (textured && s.address != TADDRESS_CLAMP) {
        const double periods = s.address == TADDRESS_MIRROR ? 2.0 : 1.0;
        const double offU =
            std::floor(std::min({u[0], u[1], u[2]}) / (periods * texW)) * periods * texW;
        const double offV =
            std::floor(std::min({v[0], v[1], v[2]}) / (periods * texH)) * periods * texH;
        for (int i = 0; i < 3; ++i) {
            u[i] -= offU;
            v[i] -= offV;
        }
    }
    const uint32_t d0 = c[0].v->diffuse;
    s.gouraud = c[1].v->diffuse != d0 || c[2].v->diffuse != d0;
    s.flat = unpackArgb(d0);
    double w[3];
    for (int i = 0; i < 3; ++i) w[i] = s.perspective ? c[i].v->rhw : 1.0;
    s.u = makePlane(basis, u[0] * w[0], u[1] * w[1], u[2] * w[2]);
    s.v = makePlane(basis, v[0] * w[0], v[1] * w[1], v[2] * w[2]);
    // A flat triangle's spans read s.flat; the planes would go unused.
    if (!s.gouraud) return;
    const Rgba d[3] = {unpackArgb(d0), unpackArgb(c[1].v->diffuse), unpackArgb(c[2].v->diffuse)};
    s.colour[0] = makePlane(basis, d[0].r * w[0], d[1].r * w[1], d[2].r * w[2]);
    s.colour[1] = makePlane(basis, d[0].g * w[0], d[1].g * w[1], d[2].g * w[2]);
    s.colour[2] = makePlane(basis, d[0].b * w[0], d[1].b * w[1], d[2].b * w[2]);
    s.colour[3] = makePlane(basis, d[0].a * w[0], d[1].a * w[1], d[2].a * w[2]);
}

// The filter the device picks: magnification or minification by the texel
// density at the triangle's centre.
void chooseFilter(const double x[3], const double y[3], TriangleSetup& s) {
    const bool magLinear = s.stage.magFilter == TFILTER_LINEAR;
    const bool minLinear = s.stage.minFilter == TFILTER_LINEAR;
    s.linear = magLinear;
    if (magLinear != minLinear)
        s.linear = isMinified(s, (x[0] + x[1] + x[2]) / 3.0, (y[0] + y[1] + y[2]) / 3.0)
                       ? minLinear
                       : magLinear;
    s.linear = s.linear && s.kind != TexKind::None;
    if (!s.linear) return;
    // Bilinear sample points sit half a texel before the coordinate.
    s.u.a -= 0.5 * s.w.a;
    s.u.dx -= 0.5 * s.w.dx;
    s.u.dy -= 0.5 * s.w.dy;
    s.v.a -= 0.5 * s.w.a;
    s.v.dx -= 0.5 * s.w.dx;
    s.v.dy -= 0.5 * s.w.dy;
}

// Mirroring turns a coordinate q of the second half back to reflect - q; a
// bilinear footprint reflects about the texel edge, a point sample about its
// own texel.
void prepareMirror(TriangleSetup& s) {
    const int fullU = s.halfU * 2, fullV = s.halfV * 2;
    s.reflectU = s.linear ? fullU - 65536 : fullU - 1;
    s.reflectV = s.linear ? fullV - 65536 : fullV - 1;
}

// An opaque triangle whose texels are added to one white colour.
bool addsToWhite(const TriangleSetup& s) {
    return s.colourKind == ColourKind::Add && !s.blend && !s.gouraud && s.flat.r == 255 &&
           s.flat.g == 255 && s.flat.b == 255;
}

// Everything but coverage; false when nothing can be drawn.
bool prepareSetup(const DeviceState& device, const Corner c[3], TriangleSetup& s) {
    prepareTarget(device, s);
    const double x[3] = {c[0].x, c[1].x, c[2].x}, y[3] = {c[0].y, c[1].y, c[2].y};
    PlaneBasis basis;
    if (!makeBasis(x, y, basis)) return false;
    prepareDepth(device, c, basis, s);
    const bool texture =
        usesTexture(s.stage.colorOp, s.stage.colorArg1, s.stage.colorArg2) ||
        (s.blend && usesTexture(s.stage.alphaOp, s.stage.alphaArg1, s.stage.alphaArg2));
    s.kind = texture ? describeTexture(s.stage, s) : TexKind::None;
    prepareVaryings(c, basis, s);
    chooseFilter(x, y, s);
    if (s.kind == TexKind::Rgb565 || s.kind == TexKind::Argb4444) prepareMirror(s);
    s.colourKind = classifyColour(s.stage);
    if (addsToWhite(s)) {
        // Any texel added to full white saturates to white: the texture is
        // never read (the backdrop's fully fogged sky).
        s.kind = TexKind::None;
        s.linear = false;
        s.colourKind = ColourKind::Diffuse;
    }
    chooseSpanFunctions(s);
    return true;
}

// Whether any of the depths [left, right) of a row is at least `nearer`:
// eight at a time, the last eight overlapping the ones before.
bool reachesDepth(const uint16_t* row, int64_t left, int64_t right, uint16_t nearer) {
    if (right - left < 8) {
        uint16_t farthest = 0;
        for (int64_t x = left; x < right; ++x) farthest = std::max(farthest, row[x]);
        return farthest >= nearer;
    }
    // nearer - depth, saturated, is zero exactly where depth >= nearer.
    const __m128i limit = _mm_set1_epi16(static_cast<short>(nearer)), zero = _mm_setzero_si128();
    auto reachedAt = [&](int64_t x) {
        const __m128i depths = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        return _mm_cmpeq_epi16(_mm_subs_epu16(limit, depths), zero);
    };
    __m128i reached = reachedAt(right - 8);
    for (int64_t x = left; x < right - 8; x += 8) reached = _mm_or_si128(reached, reachedAt(x));
    return _mm_movemask_epi8(reached) != 0;
}

// Whether a triangle that tests depth but never writes it, its corners all at
// one depth within 0..1 (the backdrop on the far plane), would draw nothing:
// every pixel of its bounding box already holds a nearer depth. Such a
// triangle's plane is that depth exactly, so the spans would test the very
// value compared here; rejecting it first spares the set-up and every span.
bool hiddenAtOneDepth(const DeviceState& device, const Corner c[3], int64_t left, int64_t right,
                      int rowTop, int rowEnd) {
    const Surface* depth = device.target->depth;
    const float sz = c[0].v->sz;
    if (!device.depthEnable || device.depthWrite || depth == nullptr || c[1].v->sz != sz ||
        c[2].v->sz != sz || !(sz >= 0.0f && sz <= 1.0f))
        return false;
    const int64_t tested = std::llrint(depthUnits(sz, depthBias(device)) * DepthFixed) >> 32;
    if (tested <= 0) return false;
    // Above 65535 the spans test 65535, which no stored depth lies below.
    const auto nearer = static_cast<uint16_t>(std::min<int64_t>(tested, 65535));
    const int stride = depth->pitch / 2;
    // Rows lie a pitch apart, past what the processor fetches ahead by itself;
    // those past the box are the next backdrop triangles' rows.
    const uint16_t* row = depth->pixels + static_cast<std::ptrdiff_t>(rowTop) * stride;
    for (int y = rowTop; y < rowEnd; ++y, row += stride) {
        __builtin_prefetch(row + RowsAhead * stride + left);
        __builtin_prefetch(row + RowsAhead * stride + right - 1);
        if (reachesDepth(row, left, right, nearer)) return false;
    }
    return true;
}

// Walks the rows of a triangle whose corners lie in the guard band and draws
// every covered pixel inside the clip rectangle.
void fillTriangle(const DeviceState& device, const Corner corners[3], const ClipRect& clip) {
    Point p[3];
    for (int i = 0; i < 3; ++i)
        p[i] = Point{std::llrint(corners[i].x * SubOne), std::llrint(corners[i].y * SubOne)};
    // Three compare-and-swaps; corners at one height may end in either order,
    // which walks the same two edges over the same rows.
    auto order = [&](int i, int j) {
        if (p[j].y < p[i].y) std::swap(p[i], p[j]);
    };
    order(0, 1);
    order(1, 2);
    order(0, 1);
    const Point top = p[0], mid = p[1], bottom = p[2];
    // Which side the middle corner lies on decides which edge bounds spans on the left.
    const int64_t side =
        (mid.y - top.y) * (bottom.x - top.x) - (mid.x - top.x) * (bottom.y - top.y);
    if (side == 0) return;
    const bool midOnLeft = side > 0;
    const int rowTop = static_cast<int>(std::max<int64_t>(ceilDiv(top.y, SubOne), clip.top));
    const int rowMid =
        static_cast<int>(std::clamp<int64_t>(ceilDiv(mid.y, SubOne), clip.top, clip.bottom));
    const int rowEnd = static_cast<int>(std::min<int64_t>(ceilDiv(bottom.y, SubOne), clip.bottom));
    if (rowTop >= rowEnd) return;
    // Spans start at or right of the leftmost corner and end before the
    // pixel past the rightmost.
    const int64_t left =
        std::max<int64_t>(floorDiv(std::min({top.x, mid.x, bottom.x}), SubOne), clip.left);
    const int64_t right =
        std::min<int64_t>(ceilDiv(std::max({top.x, mid.x, bottom.x}), SubOne) + 1, clip.right);
    if (left < right && hiddenAtOneDepth(device, corners, left, right, rowTop, rowEnd)) return;

    TriangleSetup s;
    if (!prepareSetup(device, corners, s)) return;
    Edge longEdge = startEdge(top, bottom, rowTop);
    auto drawBetween = [&](Edge& shortEdge, int from, int to) {
        drawRows(s, midOnLeft ? shortEdge : longEdge, midOnLeft ? longEdge : shortEdge, from, to,
                 clip.left, clip.right);
    };
    if (rowTop < rowMid) {
        Edge upper = startEdge(top, mid, rowTop);
        drawBetween(upper, rowTop, rowMid);
    }
    const int lowerStart = std::max(rowTop, rowMid);
    if (lowerStart < rowEnd && bottom.y > mid.y) {
        Edge lower = startEdge(mid, bottom, lowerStart);
        drawBetween(lower, lowerStart, rowEnd);
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
    const Rgba d = unpackArgb(v.diffuse);
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
        // Cut from the same end whichever way the edge runs, so that two
        // triangles sharing it get the very same new corner.
        if ((da < 0 && db > 0) || (da > 0 && db < 0))
            out[n++] = (a.x < b.x || (a.x == b.x && a.y < b.y)) ? lerp(a, b, da / (da - db))
                                                                : lerp(b, a, db / (db - da));
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
