// The linear stretch of platform/stretch.h. Its tables and its row of blended
// pairs are the module's own (stretch below), remade when a size changes; every
// other value lives for one call.
#include "platform/stretch.h"

#include <immintrin.h>

#include <cassert>
#include <cstddef>
#include <new>
#include <vector>

#include "platform/raster_simd.h"

namespace {

constexpr int WeightBits = 7;
constexpr int WeightOne = 1 << WeightBits;
constexpr int PairLanes = 8; // a blended pair: two pixels' four channels, interleaved

// Where a target pixel of one axis samples the source: two neighbouring
// source pixels and the second one's weight out of WeightOne.
struct AxisSample {
    int first;
    int second;
    int weight;
};

// The tables and the row of the last sizes stretched; remade from scratch when
// a size changes, and tried again at the next call when memory ran out.
struct StretchState {
    int fromWidth; // the sizes the tables are for; toWidth 0 while they are not whole
    int fromHeight;
    int toWidth;
    int toHeight;
    std::vector<AxisSample> rows;        // per target row
    std::vector<int32_t> columnPair;     // per target column: its pair's first lane in rowPairs
    std::vector<uint32_t> columnWeights; // per target column: the first pixel's weight in the
                                         // low half, the second's in the high half
    std::vector<int16_t> rowPairs;       // per source column but the last: its pixel and the next,
                                         // blended between the target row's two source rows
};
StretchState stretch;

// Source steps of 16.16 fixed point; the first target centre is mapped onto
// the source rounded, then moved back half a pixel to the left edge. Targets
// before the first source centre or past the last take the edge pixel.
void mapAxis(int source, int target, std::vector<AxisSample>* samples) {
    const int step =
        static_cast<int>((static_cast<uint32_t>(source) << 16) / static_cast<uint32_t>(target));
    int64_t position = ((int64_t{step} * 0x8000 + 0x8000) >> 16) - 0x8000;
    samples->resize(static_cast<size_t>(target));
    for (AxisSample& sample : *samples) {
        if (position < 0) {
            sample = {0, 0, 0};
        } else if ((position >> 16) > source - 2) {
            sample = {source - 1, source - 1, 0};
        } else {
            const int first = static_cast<int>(position >> 16);
            sample = {first, first + 1,
                      static_cast<int>(position >> (16 - WeightBits)) & (WeightOne - 1)};
        }
        position += step;
    }
}

bool makeTables(const PixelRect& from, const PixelRect& to) {
    if (stretch.fromWidth == from.width && stretch.fromHeight == from.height &&
        stretch.toWidth == to.width && stretch.toHeight == to.height)
        return true;
    stretch.toWidth = 0; // until the tables are whole
    try {
        std::vector<AxisSample> columns;
        mapAxis(from.height, to.height, &stretch.rows);
        mapAxis(from.width, to.width, &columns);
        stretch.columnPair.resize(static_cast<size_t>(to.width));
        stretch.columnWeights.resize(static_cast<size_t>(to.width));
        // A column past the last centre reads the last pair at its full second weight.
        for (int x = 0; x < to.width; ++x) {
            const AxisSample& c = columns[static_cast<size_t>(x)];
            const bool last = c.first == from.width - 1;
            const int pair = last ? from.width - 2 : c.first;
            const int weight = last ? WeightOne : c.weight;
            stretch.columnPair[static_cast<size_t>(x)] = pair * PairLanes;
            stretch.columnWeights[static_cast<size_t>(x)] =
                static_cast<uint32_t>(WeightOne - weight) | static_cast<uint32_t>(weight) << 16;
        }
        stretch.rowPairs.resize(static_cast<size_t>(from.width - 1) * PairLanes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    stretch.fromWidth = from.width;
    stretch.fromHeight = from.height;
    stretch.toWidth = to.width;
    stretch.toHeight = to.height;
    return true;
}

const uint32_t* rowOf(const PixelRect& rect, int y) {
    return reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(rect.pixels) +
                                             static_cast<ptrdiff_t>(y) * rect.pitch);
}

// Pairs from `start` on, one at a time: the plain path, and the wide one's tail.
void blendPairsPlain(const uint32_t* upper, const uint32_t* lower, int weight, int start, int pairs,
                     int16_t* out) {
    for (int i = start; i < pairs; ++i) {
        for (int channel = 0; channel < 4; ++channel) {
            for (int k = 0; k < 2; ++k) {
                const int shift = 8 * channel;
                const int a = static_cast<int>(upper[i + k] >> shift & 0xFF);
                const int b = static_cast<int>(lower[i + k] >> shift & 0xFF);
                out[i * PairLanes + 2 * channel + k] =
                    static_cast<int16_t>(a * (WeightOne - weight) + b * weight);
            }
        }
    }
}

// Target pixels from `start` on, one at a time: the plain path, and the wide one's tail.
void stretchRowPlain(const int16_t* pairs, int start, int width, uint32_t* out) {
    for (int x = start; x < width; ++x) {
        const int16_t* pair = pairs + stretch.columnPair[static_cast<size_t>(x)];
        const uint32_t weights = stretch.columnWeights[static_cast<size_t>(x)];
        const int first = static_cast<int>(weights & 0xFFFF),
                  second = static_cast<int>(weights >> 16);
        uint32_t pixel = 0;
        for (int channel = 0; channel < 4; ++channel) {
            const int sum = pair[2 * channel] * first + pair[2 * channel + 1] * second;
            pixel |= static_cast<uint32_t>(sum >> (2 * WeightBits)) << (8 * channel);
        }
        out[x] = pixel;
    }
}

// Four pixels from `from` of both rows widened to 16 bits and blended.
__attribute__((target("avx2"), always_inline)) inline __m256i
blendFour(const uint32_t* upper, const uint32_t* lower, __m256i upperWeight, __m256i lowerWeight) {
    const __m256i a =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(upper)));
    const __m256i b =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lower)));
    return _mm256_add_epi16(_mm256_mullo_epi16(a, upperWeight), _mm256_mullo_epi16(b, lowerWeight));
}

// Four pairs at a time: both rows blended once from pixel i and once from
// i + 1, then interleaved into pairs.
__attribute__((target("avx2"))) void blendPairsWide(const uint32_t* upper, const uint32_t* lower,
                                                    int weight, int pairs, int16_t* out) {
    const __m256i upperWeight = _mm256_set1_epi16(static_cast<int16_t>(WeightOne - weight));
    const __m256i lowerWeight = _mm256_set1_epi16(static_cast<int16_t>(weight));
    // Each load reads pixels i to i + 4: pair i + 3 is the last whole one.
    int i = 0;
    for (; i + 4 <= pairs; i += 4) {
        const __m256i here = blendFour(upper + i, lower + i, upperWeight, lowerWeight);
        const __m256i next = blendFour(upper + i + 1, lower + i + 1, upperWeight, lowerWeight);
        const __m256i even = _mm256_unpacklo_epi16(here, next); // pairs i, i + 2
        const __m256i odd = _mm256_unpackhi_epi16(here, next);  // pairs i + 1, i + 3
        auto* to = reinterpret_cast<__m256i*>(out + i * PairLanes);
        _mm256_storeu_si256(to, _mm256_permute2x128_si256(even, odd, 0x20));
        _mm256_storeu_si256(to + 1, _mm256_permute2x128_si256(even, odd, 0x31));
    }
    blendPairsPlain(upper, lower, weight, i, pairs, out);
}

// Target pixels `first` and `first` + 1 of an eight (their pairs at `at`):
// each pair weighed by its column's weights, as four 32-bit channel sums.
__attribute__((target("avx2"), always_inline)) inline __m256i
weighTwo(const int16_t* pairs, const int32_t* at, __m256i weights, int first) {
    const __m256i pair =
        _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(pairs + at[first + 1]),
                            reinterpret_cast<const __m128i*>(pairs + at[first]));
    const __m256i spread =
        _mm256_setr_epi32(first, first, first, first, first + 1, first + 1, first + 1, first + 1);
    const __m256i weight = _mm256_permutevar8x32_epi32(weights, spread);
    return _mm256_srli_epi32(_mm256_madd_epi16(pair, weight), 2 * WeightBits);
}

// Eight target pixels at a time, two to a register, packed back to bytes
// (pixels 0, 2, 4, 6 in the low half, 1, 3, 5, 7 in the high) and put in order.
__attribute__((target("avx2"))) void stretchRowWide(const int16_t* pairs, int width,
                                                    uint32_t* out) {
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const int32_t* at = stretch.columnPair.data() + x;
        const __m256i weights =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(stretch.columnWeights.data() + x));
        const __m256i low =
            _mm256_packs_epi32(weighTwo(pairs, at, weights, 0), weighTwo(pairs, at, weights, 2));
        const __m256i high =
            _mm256_packs_epi32(weighTwo(pairs, at, weights, 4), weighTwo(pairs, at, weights, 6));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            _mm256_permutevar8x32_epi32(_mm256_packus_epi16(low, high), order));
    }
    stretchRowPlain(pairs, x, width, out);
}

} // namespace

bool stretchLinear(const PixelRect& from, const PixelRect& to) {
    int first = 0, end = 0;
    return stretchLinearRows(from, to, 0, from.height, &first, &end);
}

bool stretchLinearRows(const PixelRect& from, const PixelRect& to, int top, int bottom, int* first,
                       int* end) {
    assert(from.width >= 2 && from.height >= 1 && to.width >= 1 && to.height >= 1);
    *first = *end = 0;
    if (!makeTables(from, to)) return false;
    const bool wide = hasWideLanes();
    const int pairs = from.width - 1;
    int16_t* rowPairs = stretch.rowPairs.data();
    // Target rows sample source rows in order: those reaching the band are one run.
    auto reaches = [&](const AxisSample& row) {
        return (row.first >= top && row.first < bottom) ||
               (row.second >= top && row.second < bottom);
    };
    int y = 0;
    while (y < to.height && !reaches(stretch.rows[static_cast<size_t>(y)])) ++y;
    *first = *end = y;
    for (; y < to.height && reaches(stretch.rows[static_cast<size_t>(y)]); ++y) {
        const AxisSample& row = stretch.rows[static_cast<size_t>(y)];
        const uint32_t* upper = rowOf(from, row.first);
        const uint32_t* lower = rowOf(from, row.second);
        auto* out = const_cast<uint32_t*>(rowOf(to, y));
        if (wide) {
            blendPairsWide(upper, lower, row.weight, pairs, rowPairs);
            stretchRowWide(rowPairs, to.width, out);
        } else {
            blendPairsPlain(upper, lower, row.weight, 0, pairs, rowPairs);
            stretchRowPlain(rowPairs, 0, to.width, out);
        }
        *end = y + 1;
    }
    return true;
}
