// The procedural pictures. Everything is drawn from a fixed-seed gradient
// noise, so a build always makes the same files.
#include "tools/pictures/pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr float Pi = 3.14159265f;

uint32_t hash(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^
                 seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

float fade(float t) {
    return t * t * t * (t * (t * 6 - 15) + 10);
}

// Gradient noise in about -1..1.
float noise(float x, float y, uint32_t seed) {
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const float fx = x - x0, fy = y - y0;
    auto corner = [&](int cx, int cy) {
        const float angle = (hash(x0 + cx, y0 + cy, seed) & 0xFFFF) * (2 * Pi / 65536.0f);
        return std::cos(angle) * (fx - cx) + std::sin(angle) * (fy - cy);
    };
    const float u = fade(fx), v = fade(fy);
    const float top = corner(0, 0) + u * (corner(1, 0) - corner(0, 0));
    const float bottom = corner(0, 1) + u * (corner(1, 1) - corner(0, 1));
    return (top + v * (bottom - top)) * 1.41f;
}

float fbm(float x, float y, uint32_t seed, int octaves) {
    float sum = 0, amplitude = 0.5f, scale = 1;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * noise(x * scale, y * scale, seed + o * 101);
        scale *= 2.03f;
        amplitude *= 0.5f;
    }
    return sum;
}

float smoothstep(float a, float b, float x) {
    const float t = std::clamp((x - a) / (b - a), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

Colour mix(const Colour& a, const Colour& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scale(const Colour& c, float k) {
    return {c.r * k, c.g * k, c.b * k};
}

void paint(Picture& out, int x, int y, const Colour& c) {
    out.pixels[y * PictureSide + x] = {std::clamp(c.r, 0.0f, 255.0f), std::clamp(c.g, 0.0f, 255.0f),
                                       std::clamp(c.b, 0.0f, 255.0f)};
}

struct WoodTones {
    Colour early; // the soft, pale wood of each growth ring
    Colour late;  // the dense, dark band that ends it
    Colour pore;  // fine streaks along the grain
    uint32_t seed;
    float rings; // growth rings across the picture
};

// Quarter-sawn grain running along x: many slim growth rings, gently
// warped, fine pores along them, and a slim darker edge so that neighbouring
// squares read as separate inlays.
void drawWood(Picture& out, const WoodTones& tones) {
    for (int y = 0; y < PictureSide; ++y) {
        for (int x = 0; x < PictureSide; ++x) {
            const float fx = x / 256.0f, fy = y / 256.0f;
            const float warp = 0.10f * fbm(fx * 1.2f, fy * 2.0f, tones.seed, 4) +
                               0.02f * std::sin(fx * 4.0f + fy * 3.0f);
            const float ring = (fy + warp) * tones.rings;
            const float phase = ring - std::floor(ring);
            // Each ring fades from pale early wood into a thin dense band.
            const float late =
                smoothstep(0.6f, 0.92f, phase) * (1 - smoothstep(0.92f, 1.0f, phase));
            const float ringStrength =
                0.55f + 0.35f * noise(fx * 3.0f, ring * 0.7f, tones.seed + 5);
            Colour c = mix(tones.early, tones.late, late * ringStrength);
            const float pores = noise(fx * 10.0f, fy * 150.0f, tones.seed + 7);
            c = mix(c, tones.pore, std::max(0.0f, pores - 0.3f) * 0.7f);
            const float figure = fbm(fx * 1.5f, fy * 30.0f, tones.seed + 13, 3);
            c = scale(c, 1.0f + 0.06f * figure);
            const float tint = fbm(fx * 1.2f, fy * 1.2f, tones.seed + 29, 2);
            c = scale(c, 1.0f + 0.06f * tint);
            const int edge = std::min({x, y, PictureSide - 1 - x, PictureSide - 1 - y});
            if (edge < 3) c = scale(c, 0.8f + 0.065f * edge);
            paint(out, x, y, c);
        }
    }
}

struct TurnedTones {
    Colour base;  // the material
    Colour dark;  // grooves and grain
    Colour light; // the polished crest beside each groove
    uint32_t seed;
    float grainScale; // how strong the wood figure is
};

// A turned piece seen from above: a domed centre, two grooves and a bead near
// the rim, fine figure everywhere. Outside the circle (the picture's corners,
// which the piece sides and the frame also show) the figure runs straight.
void drawTurned(Picture& out, const TurnedTones& tones) {
    const float centre = (PictureSide - 1) / 2.0f;
    for (int y = 0; y < PictureSide; ++y) {
        for (int x = 0; x < PictureSide; ++x) {
            const float dx = (x - centre) / 128.0f, dy = (y - centre) / 128.0f;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float fx = x / 256.0f, fy = y / 256.0f;
            // Growth rings of the turned blank: concentric, gently wobbling.
            const float wobble = 0.04f * fbm(fx * 3, fy * 3, tones.seed, 3);
            const float rings = std::sin((r + wobble) * 70.0f) * 0.5f + 0.5f;
            const float straight =
                std::sin((fx + 0.05f * fbm(fx, fy * 4, tones.seed + 3, 3)) * 90.0f) * 0.5f + 0.5f;
            const float figure = r < 1.0f ? rings : straight;
            Colour c = mix(tones.base, tones.dark, figure * tones.grainScale);
            const float mottle = fbm(fx * 8, fy * 8, tones.seed + 11, 4);
            c = scale(c, 1.0f + 0.06f * mottle);
            // A soft dome: brighter towards the middle of the top.
            c = scale(c, 1.08f - 0.16f * std::min(r, 1.0f) * std::min(r, 1.0f));
            // Grooves with a polished crest on their inner side.
            for (const float groove : {0.42f, 0.78f, 0.9f}) {
                const float d = r - groove;
                c = mix(c, tones.dark, 0.75f * std::exp(-d * d * 9000.0f));
                c = mix(c, tones.light, 0.35f * std::exp(-(d + 0.025f) * (d + 0.025f) * 5000.0f));
            }
            paint(out, x, y, c);
        }
    }
}

} // namespace

void drawLightWood(Picture& out) {
    drawWood(out, {{240, 212, 166}, {204, 158, 100}, {190, 146, 96}, 11, 13.0f});
}

void drawDarkWood(Picture& out) {
    drawWood(out, {{124, 78, 46}, {74, 42, 24}, {62, 34, 20}, 23, 11.0f});
}

void drawIvory(Picture& out) {
    drawTurned(out, {{240, 228, 200}, {196, 176, 138}, {255, 250, 236}, 37, 0.16f});
}

void drawEbony(Picture& out) {
    drawTurned(out, {{96, 34, 22}, {44, 14, 10}, {160, 84, 62}, 41, 0.25f});
}

void drawButton(Picture& out) {
    // Drawn at 256 x 256 but shown squeezed to about 100 x 20: every band is
    // at least 13 rows tall so that each keeps a screen row of its own.
    const Colour rimLight = {250, 226, 150}, rimDark = {96, 66, 24};
    const Colour top = {58, 92, 126}, bottom = {18, 34, 58};
    for (int y = 0; y < PictureSide; ++y) {
        for (int x = 0; x < PictureSide; ++x) {
            const float fy = y / 255.0f;
            Colour c = mix(top, bottom, fy);
            // A glassy sheen over the upper half.
            if (fy < 0.5f) c = mix(c, {150, 185, 215}, 0.35f * (1 - fy / 0.5f) * (1 - fy / 0.5f));
            const float grain = fbm(x / 40.0f, y / 200.0f, 53, 3);
            c = scale(c, 1.0f + 0.05f * grain);
            const bool topRim = y < 13, bottomRim = y >= 243;
            const bool leftRim = x < 5, rightRim = x >= 251;
            if (topRim || leftRim) c = rimLight;
            if (bottomRim || rightRim) c = rimDark;
            if ((y >= 13 && y < 26) || (x >= 5 && x < 8)) c = mix(c, rimLight, 0.35f);
            if ((y >= 230 && y < 243) || (x >= 248 && x < 251)) c = mix(c, rimDark, 0.45f);
            paint(out, x, y, c);
        }
    }
}

void drawSky(Picture& out) {
    // Seen through mirror repeats, one mirror line right behind the board: a
    // calm evening sky of long, low-contrast streaks of cloud that run across
    // the mirror lines without a feature to betray them.
    const Colour sky = {44, 68, 112}, haze = {80, 100, 142}, cloud = {170, 172, 194};
    for (int y = 0; y < PictureSide; ++y) {
        for (int x = 0; x < PictureSide; ++x) {
            const float fx = x / 256.0f, fy = y / 256.0f;
            Colour c = mix(sky, haze, 0.5f + 0.6f * fbm(fx * 1.0f, fy * 2.0f, 61, 3));
            const float drift = 0.25f * fbm(fx * 1.5f, fy * 3.0f, 67, 2);
            const float body = fbm(fx * 2.4f + drift, fy * 5.0f, 71, 6);
            const float cover = smoothstep(-0.05f, 0.4f, body);
            c = mix(c, cloud, cover * 0.5f);
            const float shade = fbm(fx * 3.0f, fy * 12.0f, 73, 3);
            c = scale(c, 1.0f - 0.08f * cover * std::max(0.0f, shade));
            paint(out, x, y, c);
        }
    }
}

uint16_t packPixel(const Colour& c, int x, int y) {
    static const float bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    const float d = (bayer[y & 3][x & 3] + 0.5f) / 16.0f;
    auto level = [&](float value, int levels) {
        const float step = 255.0f / (levels - 1);
        const int q = static_cast<int>(value / step + d);
        return std::clamp(q, 0, levels - 1);
    };
    return static_cast<uint16_t>(level(c.r, 32) << 11 | level(c.g, 64) << 5 | level(c.b, 32));
}
