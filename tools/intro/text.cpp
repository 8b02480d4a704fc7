// FreeType rasterising and the metal lettering effect of the intro cards.

#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

namespace {

// The letters' ink box inside the mask, so that centring ignores the padding
// and the font's empty ascender space.
void inkBox(const Mask& m, int* x0, int* y0, int* x1, int* y1) {
    *x0 = m.width, *y0 = m.height, *x1 = 0, *y1 = 0;
    for (int y = 0; y < m.height; y++)
        for (int x = 0; x < m.width; x++)
            if (m.values[y * m.width + x] > 0.02f) {
                *x0 = std::min(*x0, x), *x1 = std::max(*x1, x);
                *y0 = std::min(*y0, y), *y1 = std::max(*y1, y);
            }
}

} // namespace

Lettering rasterise(const std::string& fontPath, int pixelHeight, const std::string& text,
                    int tracking) {
    Lettering out{makeMask(0, 0), pixelHeight / 2 + 24};
    FT_Library library;
    if (FT_Init_FreeType(&library)) return out;
    FT_Face face;
    if (FT_New_Face(library, fontPath.c_str(), 0, &face)) {
        FT_Done_FreeType(library);
        return out;
    }
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight));

    // First pass measures, the second draws; both walk the same pen.
    int ascender = static_cast<int>(face->size->metrics.ascender >> 6);
    int descender = static_cast<int>(-face->size->metrics.descender >> 6);
    for (int pass = 0; pass < 2; pass++) {
        int pen = 0;
        FT_UInt previous = 0;
        for (size_t i = 0; i < text.size(); i++) {
            FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(text[i]));
            if (previous && FT_HAS_KERNING(face)) {
                FT_Vector kerning;
                FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kerning);
                pen += static_cast<int>(kerning.x >> 6);
            }
            if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER)) continue;
            FT_GlyphSlot slot = face->glyph;
            if (pass == 1) {
                const FT_Bitmap& bitmap = slot->bitmap;
                int left = out.padding + pen + slot->bitmap_left;
                int top = out.padding + ascender - slot->bitmap_top;
                for (unsigned row = 0; row < bitmap.rows; row++)
                    for (unsigned col = 0; col < bitmap.width; col++) {
                        int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
                        if (x < 0 || y < 0 || x >= out.coverage.width || y >= out.coverage.height)
                            continue;
                        float v = bitmap.buffer[row * bitmap.pitch + col] / 255.0f;
                        float& cell = at(out.coverage, x, y);
                        cell = std::max(cell, v);
                    }
            }
            pen += static_cast<int>(slot->advance.x >> 6) + (i + 1 < text.size() ? tracking : 0);
            previous = glyph;
        }
        if (pass == 0)
            out.coverage = makeMask(pen + 2 * out.padding, ascender + descender + 2 * out.padding);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return out;
}

void paintMetal(Image* image, const Lettering& text, int centreX, int centreY,
                const MetalStyle& style) {
    const Mask& m = text.coverage;
    if (m.width == 0) return;
    int x0, y0, x1, y1;
    inkBox(m, &x0, &y0, &x1, &y1);
    int originX = centreX - (x0 + x1) / 2, originY = centreY - (y0 + y1) / 2;
    Mask height = blurred(m, static_cast<int>(style.bevelRadius));
    Mask shadow = blurred(m, 10);
    Mask glow = blurred(m, 28);
    // Light from the upper left and in front; the half vector toward a viewer straight ahead.
    float lx = -0.45f, ly = -0.6f, lz = 0.66f;
    float hx = lx, hy = ly, hz = lz + 1.0f;
    float hl = std::sqrt(hx * hx + hy * hy + hz * hz);
    hx /= hl, hy /= hl, hz /= hl;
    for (int y = 0; y < m.height; y++) {
        for (int x = 0; x < m.width; x++) {
            int ix = originX + x, iy = originY + y;
            if (ix < 0 || iy < 0 || ix >= image->width || iy >= image->height) continue;
            Rgb& out = at(*image, ix, iy);
            float g = sample(glow, x, y);
            out = out + style.glow * g;
            float s = sample(shadow, x - style.shadowOffset, y - style.shadowOffset);
            out = out * (1.0f - style.shadowAlpha * std::min(1.0f, s * 1.6f));
            float a = m.values[y * m.width + x];
            if (a <= 0.0f) continue;
            float dx =
                (sample(height, x + 1, y) - sample(height, x - 1, y)) * style.bevelRadius * 1.6f;
            float dy =
                (sample(height, x, y + 1) - sample(height, x, y - 1)) * style.bevelRadius * 1.6f;
            float nl = std::sqrt(dx * dx + dy * dy + 1.0f);
            float nx = -dx / nl, ny = -dy / nl, nz = 1.0f / nl;
            float diffuse = std::max(0.0f, nx * lx + ny * ly + nz * lz);
            float highlight = std::pow(std::max(0.0f, nx * hx + ny * hy + nz * hz), 60.0f);
            // The metal ramp runs over the letters' own height, with a bright band low down
            // as if the floor were reflected.
            float t = std::clamp(static_cast<float>(y - y0) / std::max(1, y1 - y0), 0.0f, 1.0f);
            Rgb base = t < 0.5f ? mix(style.top, style.middle, t * 2.0f)
                                : mix(style.middle, style.bottom, (t - 0.5f) * 2.0f);
            base = base * (1.0f + 0.35f * smoothstep(0.62f, 0.72f, t) *
                                      (1.0f - smoothstep(0.78f, 0.9f, t)));
            Rgb lit = base * (0.25f + 0.95f * diffuse) +
                      Rgb{1.0f, 0.95f, 0.85f} * (style.shine * highlight);
            out = mix(out, lit, a);
        }
    }
}

void paintFlat(Image* image, const Lettering& text, int centreX, int centreY, Rgb colour,
               float alpha) {
    const Mask& m = text.coverage;
    if (m.width == 0) return;
    int x0, y0, x1, y1;
    inkBox(m, &x0, &y0, &x1, &y1);
    int originX = centreX - (x0 + x1) / 2, originY = centreY - (y0 + y1) / 2;
    for (int y = 0; y < m.height; y++)
        for (int x = 0; x < m.width; x++) {
            int ix = originX + x, iy = originY + y;
            if (ix < 0 || iy < 0 || ix >= image->width || iy >= image->height) continue;
            Rgb& out = at(*image, ix, iy);
            out = mix(out, colour, alpha * m.values[y * m.width + x]);
        }
}
