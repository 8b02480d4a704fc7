// Screen text: a bold monospace font rendered once per character into a
// glyph cache of coverage values, then blended onto 16-bit surfaces in the
// colour asked for. The cache is filled at the first drawText and kept for
// the rest of the run.
#include <SDL_ttf.h>
#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "platform/internal.h"
#include "platform/raster_simd.h"

namespace {

constexpr const char* FontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
constexpr int CharWidth = 8;      // every character advances this many pixels
constexpr int GlyphMaxWidth = 16; // room for a glyph's overhang past its advance
constexpr int GlyphMaxHeight = 24;
constexpr int FirstChar = 32; // space
constexpr int CharCount = 95; // printable ASCII up to '~'

struct Glyph {
    int width;                                       // columns with coverage data
    int height;                                      // rows with coverage data
    uint8_t coverage[GlyphMaxHeight][GlyphMaxWidth]; // 0 transparent .. 255 solid
    // Per row, the columns [inkStart, inkEnd) hold every coverage that is not 0:
    // text is drawn over the board every frame, and most of a cell is clear.
    uint8_t inkStart[GlyphMaxHeight];
    uint8_t inkEnd[GlyphMaxHeight];
};

struct GlyphCache {
    bool tried; // loading was attempted (it is not retried after a failure)
    bool ready; // the glyphs below are valid
    Glyph glyphs[CharCount];
};

GlyphCache cache = {}; // filled once, never wiped

// The largest point size whose characters advance exactly CharWidth pixels.
TTF_Font* openFontForWidth() {
    for (int size = 16; size >= 8; --size) {
        TTF_Font* font = TTF_OpenFont(FontPath, size);
        if (font == nullptr) return nullptr;
        int advance = 0;
        if (TTF_GlyphMetrics(font, 'M', nullptr, nullptr, nullptr, nullptr, &advance) == 0 &&
            advance == CharWidth)
            return font;
        TTF_CloseFont(font);
    }
    return nullptr;
}

void storeGlyph(TTF_Font* font, int index) {
    Glyph& glyph = cache.glyphs[index];
    const char text[2] = {static_cast<char>(FirstChar + index), 0};
    SDL_Color white{255, 255, 255, 255};
    SDL_Surface* rendered = TTF_RenderText_Blended(font, text, white);
    if (rendered == nullptr) return;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(rendered);
    if (argb == nullptr) return;
    glyph.width = argb->w < GlyphMaxWidth ? argb->w : GlyphMaxWidth;
    glyph.height = argb->h < GlyphMaxHeight ? argb->h : GlyphMaxHeight;
    SDL_LockSurface(argb);
    for (int y = 0; y < glyph.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(argb->pixels) + y * argb->pitch);
        glyph.inkStart[y] = static_cast<uint8_t>(glyph.width);
        glyph.inkEnd[y] = 0;
        for (int x = 0; x < glyph.width; ++x) {
            glyph.coverage[y][x] = static_cast<uint8_t>(row[x] >> 24);
            if (glyph.coverage[y][x] == 0) continue;
            glyph.inkStart[y] = std::min(glyph.inkStart[y], static_cast<uint8_t>(x));
            glyph.inkEnd[y] = static_cast<uint8_t>(x + 1);
        }
    }
    SDL_UnlockSurface(argb);
    SDL_FreeSurface(argb);
}

bool loadGlyphs() {
    if (cache.tried) return cache.ready;
    cache.tried = true;
    if (TTF_WasInit() == 0 && TTF_Init() != 0) return false;
    TTF_Font* font = openFontForWidth();
    if (font == nullptr) return false;
    for (int i = 0; i < CharCount; ++i) storeGlyph(font, i);
    TTF_CloseFont(font);
    cache.ready = true;
    return true;
}

uint16_t blendPixel(uint16_t under, int coverage, int red, int green, int blue, bool is555) {
    auto mix = [coverage](int base, int top) { return base + ((top - base) * coverage) / 255; };
    if (is555) {
        const int r = mix((under >> 10) & 31, red >> 3), g = mix((under >> 5) & 31, green >> 3),
                  b = mix(under & 31, blue >> 3);
        return static_cast<uint16_t>((r << 10) | (g << 5) | b);
    }
    const int r = mix(under >> 11, red >> 3), g = mix((under >> 5) & 63, green >> 2),
              b = mix(under & 31, blue >> 3);
    return static_cast<uint16_t>((r << 11) | (g << 5) | b);
}

// The colour's 5-6-5 channels, one per 16-bit lane group.
struct InkLanes {
    __m128i red, green, blue;
};

// Eight 5-6-5 pixels from dst blended towards the ink by the first `count`
// (1 to 8) coverages, with blendPixel's truncations; the others are written
// back as they were. All eight must lie inside the row.
void blendEight565(uint16_t* dst, const uint8_t* coverage, int count, const InkLanes& ink) {
    alignas(16) uint8_t covered[8] = {};
    std::memcpy(covered, coverage, static_cast<size_t>(count));
    const __m128i c = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(covered)),
                                        _mm_setzero_si128());
    // base + (top - base) * c / 255, the quotient truncated towards 0: its
    // magnitude is (m * 0x8081) >> 23, exact for every product of 63 * 255 or less.
    auto mix = [&](__m128i base, __m128i top) {
        const __m128i product = _mm_mullo_epi16(_mm_sub_epi16(top, base), c);
        const __m128i sign = _mm_srai_epi16(product, 15);
        const __m128i magnitude = _mm_sub_epi16(_mm_xor_si128(product, sign), sign);
        const __m128i quotient = _mm_srli_epi16(
            _mm_mulhi_epu16(magnitude, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
        return _mm_add_epi16(base, _mm_sub_epi16(_mm_xor_si128(quotient, sign), sign));
    };
    __m128i* out = reinterpret_cast<__m128i*>(dst);
    const __m128i under = _mm_loadu_si128(out);
    const __m128i r = mix(_mm_srli_epi16(under, 11), ink.red);
    const __m128i g = mix(_mm_and_si128(_mm_srli_epi16(under, 5), _mm_set1_epi16(63)), ink.green);
    const __m128i b = mix(_mm_and_si128(under, _mm_set1_epi16(31)), ink.blue);
    _mm_storeu_si128(out,
                     _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, 11), _mm_slli_epi16(g, 5)), b));
}

} // namespace

int drawText(Surface* target, int x, int y, const char* text, uint8_t red, uint8_t green,
             uint8_t blue) {
    if (target == nullptr || text == nullptr) return PLATFORM_FAILED;
    if (target->format != PixelFormat::Rgb565 && target->format != PixelFormat::Rgb555)
        return PLATFORM_FAILED;
    if (!loadGlyphs()) return PLATFORM_FAILED;
    const bool is555 = target->format == PixelFormat::Rgb555;
    // Full coverage gives the colour itself, whatever lies under it.
    const uint16_t solid = blendPixel(0, 255, red, green, blue, is555);
    // Text is drawn over the board every frame: eight pixels at a time where
    // the processor's wide passes may run and the eight lie inside the row.
    const bool wide = !is555 && hasWideLanes();
    const InkLanes ink{_mm_set1_epi16(static_cast<short>(red >> 3)),
                       _mm_set1_epi16(static_cast<short>(green >> 2)),
                       _mm_set1_epi16(static_cast<short>(blue >> 3))};
    // The ink's bounds: a label's cell reaches below its button, its ink does not.
    PixelArea written{target->width, target->height, 0, 0};
    for (int i = 0; text[i] != 0; ++i) {
        const int code = static_cast<unsigned char>(text[i]) - FirstChar;
        if (code < 0 || code >= CharCount) continue; // unprintable: an empty cell
        const Glyph& glyph = cache.glyphs[code];
        const int left = x + i * CharWidth;
        for (int gy = 0; gy < glyph.height; ++gy) {
            const int py = y + gy;
            if (py < 0 || py >= target->height) continue;
            uint16_t* row = target->pixels + static_cast<size_t>(py) * (target->pitch / 2);
            if (glyph.inkStart[gy] < glyph.inkEnd[gy])
                written = {std::min(written.left, left + glyph.inkStart[gy]),
                           std::min(written.top, py),
                           std::max(written.right, left + glyph.inkEnd[gy]),
                           std::max(written.bottom, py + 1)};
            int gx = glyph.inkStart[gy];
            for (;
                 wide && gx < glyph.inkEnd[gy] && left + gx >= 0 && left + gx + 8 <= target->width;
                 gx += 8)
                blendEight565(row + left + gx, glyph.coverage[gy] + gx,
                              std::min(8, glyph.inkEnd[gy] - gx), ink);
            for (; gx < glyph.inkEnd[gy]; ++gx) {
                const int px = left + gx;
                const int coverage = glyph.coverage[gy][gx];
                if (coverage == 0 || px < 0 || px >= target->width) continue;
                row[px] = coverage == 255 ? solid
                                          : blendPixel(row[px], coverage, red, green, blue, is555);
            }
        }
    }
    noteAreaWritten(target, written);
    return PLATFORM_OK;
}
