// Layout of the intro cards: backgrounds, the studio's kite emblem, and the lettering.

#include "cards.h"

#include <algorithm>
#include <cmath>
#include <unistd.h>

#include "board_scene.h"
#include "text.h"

namespace {

const char* const TitleFonts[] = {
    "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyrepagella-bold.otf",
    "/usr/share/fonts/opentype/tex-gyre/texgyrepagella-bold.otf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"};
const char* const CaptionFonts[] = {
    "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyreheros-regular.otf",
    "/usr/share/fonts/opentype/tex-gyre/texgyreheros-regular.otf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"};
const char* const ItalicFonts[] = {
    "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyrepagella-italic.otf",
    "/usr/share/fonts/opentype/tex-gyre/texgyrepagella-italic.otf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"};

template <size_t N> std::string firstReadable(const char* const (&paths)[N]) {
    for (const char* path : paths)
        if (access(path, R_OK) == 0) return path;
    return "";
}

struct Fonts {
    std::string title, caption, italic;
};

bool findFonts(Fonts* fonts) {
    fonts->title = firstReadable(TitleFonts);
    fonts->caption = firstReadable(CaptionFonts);
    fonts->italic = firstReadable(ItalicFonts);
    return !fonts->title.empty() && !fonts->caption.empty() && !fonts->italic.empty();
}

// A dark backdrop, lighter where the eye should go, darker at the corners.
void paintBackdrop(Image* image, float cx, float cy, Rgb centre, Rgb edge) {
    for (int y = 0; y < image->height; y++)
        for (int x = 0; x < image->width; x++) {
            float dx = (x - cx) / image->width, dy = (y - cy) / image->height;
            float d = std::sqrt(dx * dx * 1.4f + dy * dy);
            at(*image, x, y) = mix(centre, edge, smoothstep(0.0f, 0.75f, d));
        }
}

void vignette(Image* image, float strength) {
    for (int y = 0; y < image->height; y++)
        for (int x = 0; x < image->width; x++) {
            float dx = 2.0f * x / image->width - 1.0f, dy = 2.0f * y / image->height - 1.0f;
            float k = 1.0f - strength * smoothstep(0.5f, 1.6f, dx * dx + dy * dy);
            at(*image, x, y) = at(*image, x, y) * k;
        }
}

// A hairline with soft ends, for the rules beside a caption.
void paintRule(Image* image, int x0, int x1, int y, Rgb colour, float alpha) {
    for (int x = x0; x <= x1; x++) {
        float t = static_cast<float>(x - x0) / (x1 - x0);
        float fade = smoothstep(0.0f, 0.25f, t) * smoothstep(0.0f, 0.25f, 1.0f - t);
        at(*image, x, y) = mix(at(*image, x, y), colour, alpha * fade);
        at(*image, x, y + 1) = mix(at(*image, x, y + 1), colour, 0.35f * alpha * fade);
    }
}

// The studio's emblem: a kite whose sail is a 4 x 4 draughtboard in copper,
// each square bevelled, with a ribbon tail of three bows.
void paintKite(Image* image, float cx, float cy, float halfWidth, float halfHeight) {
    const Rgb copperLight{0.95f, 0.52f, 0.24f}, copperDark{0.30f, 0.11f, 0.05f};
    const Rgb brass{1.0f, 0.78f, 0.42f};
    float lx = -0.5f, ly = -0.65f, lz = 0.57f;
    for (int y = static_cast<int>(cy - halfHeight - 4); y <= cy + halfHeight + 4; y++) {
        for (int x = static_cast<int>(cx - halfWidth - 4); x <= cx + halfWidth + 4; x++) {
            // Sail coordinates: u, v in 0..1 across the diamond's two diagonals' sides.
            float px = (x - cx) / halfWidth, py = (y - cy) / halfHeight;
            float u = (px + py + 1.0f) * 0.5f, v = (py - px + 1.0f) * 0.5f;
            float pixel = 1.0f / halfWidth;
            float inside = smoothstep(-pixel, pixel, std::min({u, v, 1 - u, 1 - v}));
            if (inside <= 0) continue;
            float fu = u * 4, fv = v * 4;
            int cu = std::clamp(static_cast<int>(fu), 0, 3),
                cv = std::clamp(static_cast<int>(fv), 0, 3);
            float du = fu - cu, dv = fv - cv;
            // A pyramid bevel inside each square: the nearest edge decides the slope.
            float edge = std::min({du, dv, 1 - du, 1 - dv});
            float slope = 1.0f - smoothstep(0.0f, 0.16f, edge);
            float nx = 0, ny = 0;
            if (edge == du)
                nx = -1;
            else if (edge == 1 - du)
                nx = 1;
            else if (edge == dv)
                ny = -1;
            else
                ny = 1;
            // From sail axes back to screen axes.
            float sx = (nx - ny) * 0.7f * slope, sy = (nx + ny) * 0.7f * slope;
            float nl = std::sqrt(sx * sx + sy * sy + 1.0f);
            float diffuse = std::max(0.0f, (sx * lx + sy * ly + lz) / nl);
            bool dark = (cu + cv) % 2 == 1;
            float sheen = 0.75f + 0.5f * (1.0f - (px * 0.4f + py * 0.6f + 1.0f) * 0.5f);
            Rgb base = (dark ? copperDark : copperLight) * sheen;
            Rgb lit = base * (0.3f + 0.9f * diffuse);
            float border = 1.0f - smoothstep(0.0f, 0.012f, std::min({u, v, 1 - u, 1 - v}));
            lit = mix(lit, brass, border);
            at(*image, x, y) = mix(at(*image, x, y), lit, inside);
        }
    }
    // The tail: a gentle S from the kite's foot with three bows along it.
    for (int i = 0; i <= 400; i++) {
        float t = i / 400.0f;
        float tx = cx + std::sin(t * 5.0f) * 26.0f * t, ty = cy + halfHeight + t * 110.0f;
        float width = 2.2f * (1.0f - 0.6f * t);
        for (int dy = -4; dy <= 4; dy++)
            for (int dx = -4; dx <= 4; dx++) {
                float d = std::sqrt(float(dx * dx + dy * dy));
                float a = 1.0f - smoothstep(width - 0.8f, width + 0.8f, d);
                int px = static_cast<int>(tx) + dx, py = static_cast<int>(ty) + dy;
                if (a > 0)
                    at(*image, px, py) = mix(at(*image, px, py), brass * (1.0f - 0.5f * t), a);
            }
    }
    for (int bow = 1; bow <= 3; bow++) {
        float t = bow / 4.0f;
        float bx = cx + std::sin(t * 5.0f) * 26.0f * t, by = cy + halfHeight + t * 110.0f;
        for (int dy = -10; dy <= 10; dy++)
            for (int dx = -14; dx <= 14; dx++) {
                // A bow: two small triangles meeting at the string.
                float ax = std::fabs(float(dx)), ay = std::fabs(float(dy));
                float a =
                    smoothstep(0.5f, -0.5f, ay - ax * 0.55f - 1.0f) * smoothstep(14.0f, 12.0f, ax);
                if (a <= 0) continue;
                Rgb c = (dx < 0 ? copperLight : copperDark * 1.6f) * (1.0f - 0.3f * t);
                at(*image, int(bx) + dx, int(by) + dy) =
                    mix(at(*image, int(bx) + dx, int(by) + dy), c, a);
            }
    }
}

const MetalStyle Copper{
    {1.0f, 0.72f, 0.46f},  {0.78f, 0.36f, 0.15f}, {0.40f, 0.14f, 0.06f}, 5.0f, 1.2f, 0.75f, 7,
    {0.05f, 0.02f, 0.008f}};
const MetalStyle Gold{
    {1.0f, 0.93f, 0.70f},   {0.88f, 0.64f, 0.28f}, {0.50f, 0.30f, 0.10f}, 7.0f, 1.4f, 0.85f, 9,
    {0.07f, 0.045f, 0.015f}};

} // namespace

Image makeStudioCard() {
    Fonts fonts;
    if (!findFonts(&fonts)) return makeImage(0, 0);
    Image card = makeImage(CardWidth, CardHeight);
    paintBackdrop(&card, 512, 300, {0.055f, 0.05f, 0.06f}, {0.006f, 0.007f, 0.012f});
    paintKite(&card, 512, 210, 105, 140);
    paintMetal(&card, rasterise(fonts.title, 96, "COPPERKITE", 10), 512, 520, Copper);
    paintFlat(&card, rasterise(fonts.caption, 26, "STUDIO", 18), 512, 592, {0.62f, 0.58f, 0.54f},
              1.0f);
    paintRule(&card, 262, 398, 592, {0.75f, 0.45f, 0.22f}, 0.9f);
    paintRule(&card, 626, 762, 592, {0.75f, 0.45f, 0.22f}, 0.9f);
    paintFlat(&card, rasterise(fonts.italic, 30, "presents", 1), 512, 690, {0.45f, 0.42f, 0.40f},
              1.0f);
    vignette(&card, 0.6f);
    return card;
}

Image makeTitleCard(int samplesPerSide) {
    Fonts fonts;
    if (!findFonts(&fonts)) return makeImage(0, 0);
    Image card = makeImage(CardWidth, CardHeight);
    renderBoardScene(&card, samplesPerSide);
    // Deepen the top so the title stands clear of the table.
    for (int y = 0; y < 300; y++) {
        float k = 0.35f + 0.65f * smoothstep(60.0f, 300.0f, static_cast<float>(y));
        for (int x = 0; x < CardWidth; x++) at(card, x, y) = at(card, x, y) * k;
    }
    paintMetal(&card, rasterise(fonts.title, 150, "KORVATH", 14), 512, 118, Gold);
    paintFlat(&card, rasterise(fonts.caption, 22, "THE GAME OF DRAUGHTS", 12), 512, 212,
              {0.70f, 0.66f, 0.58f}, 1.0f);
    paintRule(&card, 100, 236, 212, {0.85f, 0.64f, 0.3f}, 0.8f);
    paintRule(&card, 788, 924, 212, {0.85f, 0.64f, 0.3f}, 0.8f);
    vignette(&card, 0.55f);
    return card;
}
