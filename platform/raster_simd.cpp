// Eight-pixel versions of the span pipeline's busiest passes, for processors
// with AVX2, each compiled twice: as AVX2, and for AVX-512 processors, where
// the same eight lanes have twice the registers and stop spilling. Chosen at
// run time, with the plain loops as the fallback; all give the plain loops'
// results bit for bit. Owns two flags, wideLanesAllowed and avx512Allowed,
// written only through allowWideLanes and allowAvx512Lanes (by the tests and
// the scripted runner).
#include <immintrin.h>

#include "platform/raster_simd.h"
#include "platform/texel_cache.h"

namespace {

// The passes and their parts are inlined whole into the two compiled copies.
#define KORVATH_AVX2 __attribute__((target("avx2"), always_inline))
#define KORVATH_AVX2_COPY __attribute__((target("avx2")))
#define KORVATH_AVX512_COPY __attribute__((target("avx2,avx512f,avx512vl,avx512bw,avx512dq")))

// Eight steps at once, wrapping as the lanes do: a lane only ever holds a
// value its pixel really reaches, but the step of eight may not fit.
inline int eightSteps(int step) {
    return static_cast<int>(static_cast<uint32_t>(step) * 8u);
}

// a * b for lanes whose values and product all lie in 0..65535 (channels,
// weights): one multiply of 16-bit halves, half the work of the 32-bit one.
KORVATH_AVX2 inline __m256i mulNarrow(__m256i a, __m256i b) {
    return _mm256_mullo_epi16(a, b);
}

// The bilinear weights of eight lanes from their fractions of `Bits` bits.
struct LaneWeights {
    __m256i w00, w10, w01, w11;
};

template <int Bits> KORVATH_AVX2 inline LaneWeights laneWeights(__m256i fu, __m256i fv) {
    const __m256i w11 = _mm256_srli_epi32(mulNarrow(fu, fv), Bits);
    const __m256i w10 = _mm256_sub_epi32(fu, w11);
    const __m256i w01 = _mm256_sub_epi32(fv, w11);
    const __m256i one = _mm256_set1_epi32(1 << Bits);
    const __m256i w00 = _mm256_add_epi32(_mm256_sub_epi32(_mm256_sub_epi32(one, fu), fv), w11);
    return LaneWeights{w00, w10, w01, w11};
}

template <bool Mirror>
KORVATH_AVX2 inline __m256i addressLanes(__m256i q, __m256i mask, __m256i halfMinusOne,
                                         __m256i reflect) {
    q = _mm256_and_si256(q, mask);
    if constexpr (Mirror) {
        const __m256i upper = _mm256_cmpgt_epi32(q, halfMinusOne);
        q = _mm256_blendv_epi8(q, _mm256_sub_epi32(reflect, q), upper);
    }
    return q;
}

// Eight 16-bit texels (the low halves of the lanes) spread as
// platform/texel_cache.h lays them out.
template <bool Is4444> KORVATH_AVX2 inline __m256i spreadLanes(__m256i t) {
    if constexpr (Is4444)
        return _mm256_or_si256(
            _mm256_and_si256(t, _mm256_set1_epi32(0x0F0F)),
            _mm256_slli_epi32(_mm256_and_si256(t, _mm256_set1_epi32(0xF0F0)), 12));
    else
        return _mm256_and_si256(_mm256_or_si256(t, _mm256_slli_epi32(t, 16)),
                                _mm256_set1_epi32(0x07E0F81F));
}

// Eight lanes of texel coordinates (16.16) stepping from u, v by du, dv per
// lane, brought into one addressing period.
template <bool Mirror> struct CoordinateLanes {
    __m256i lu, lv, du8, dv8, maskU, maskV, halfU, halfV, reflectU, reflectV;

    KORVATH_AVX2 CoordinateLanes(const TriangleSetup& s, int u, int v, int du, int dv) {
        maskU = _mm256_set1_epi32(s.maskU), maskV = _mm256_set1_epi32(s.maskV);
        halfU = _mm256_set1_epi32(s.halfU - 1), halfV = _mm256_set1_epi32(s.halfV - 1);
        reflectU = _mm256_set1_epi32(s.reflectU), reflectV = _mm256_set1_epi32(s.reflectV);
        restart(u, v, du, dv);
    }

    // A new segment: the addressing constants stay.
    KORVATH_AVX2 void restart(int u, int v, int du, int dv) {
        const __m256i steps = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        lu = _mm256_add_epi32(_mm256_set1_epi32(u),
                              _mm256_mullo_epi32(steps, _mm256_set1_epi32(du)));
        lv = _mm256_add_epi32(_mm256_set1_epi32(v),
                              _mm256_mullo_epi32(steps, _mm256_set1_epi32(dv)));
        du8 = _mm256_set1_epi32(eightSteps(du)), dv8 = _mm256_set1_epi32(eightSteps(dv));
    }

    // Segment j of a chunk (see FetchFunction) and its length.
    KORVATH_AVX2 int restartAt(const int* u, const int* v, int j, int segment, int n) {
        const int len = n - j * segment < segment ? n - j * segment : segment;
        restart(u[j], v[j], stepOf(u[j], u[j + 1], len), stepOf(v[j], v[j + 1], len));
        return len;
    }

    KORVATH_AVX2 __m256i qu() const { return addressLanes<Mirror>(lu, maskU, halfU, reflectU); }
    KORVATH_AVX2 __m256i qv() const { return addressLanes<Mirror>(lv, maskV, halfV, reflectV); }

    KORVATH_AVX2 void skip() {
        lu = _mm256_add_epi32(lu, du8);
        lv = _mm256_add_epi32(lv, dv8);
    }
};

// A chunk's footprints in a texel cache, worked out for all its lanes before
// any texel is read, so that the reads start from addresses in memory
// instead of each waiting on its own group's arithmetic.
struct Footprints {
    alignas(32) int at[ChunkLength + 8]; // each lane's top-left texel, from the cache's origin
    alignas(32) int fu[ChunkLength + 8]; // its bilinear fractions
    alignas(32) int fv[ChunkLength + 8];
    alignas(32) int shift[ChunkLength + 8]; // tone bits: where its entry starts in the word read
};

// The lanes' bilinear fractions of `Bits` bits, into f from lane `at`.
template <int Bits>
KORVATH_AVX2 inline void placeFractions(__m256i qu, __m256i qv, Footprints& f, int at) {
    const __m256i fraction = _mm256_set1_epi32((1 << Bits) - 1);
    _mm256_store_si256(reinterpret_cast<__m256i*>(f.fu + at),
                       _mm256_and_si256(_mm256_srli_epi32(qu, 16 - Bits), fraction));
    _mm256_store_si256(reinterpret_cast<__m256i*>(f.fv + at),
                       _mm256_and_si256(_mm256_srli_epi32(qv, 16 - Bits), fraction));
}

// Their weights, from lane `at`.
template <int Bits> KORVATH_AVX2 inline LaneWeights placedWeights(const Footprints& f, int at) {
    return laneWeights<Bits>(_mm256_load_si256(reinterpret_cast<const __m256i*>(f.fu + at)),
                             _mm256_load_si256(reinterpret_cast<const __m256i*>(f.fv + at)));
}

// The bilinear fetch of eight texels at a time from a texel cache: the
// lanes' footprints first (place), then the texels (filtered).
template <bool Is4444, bool Mirror> struct CachedLanes : CoordinateLanes<Mirror> {
    static constexpr int Bits = Is4444 ? 4 : 5;
    const uint16_t* cache;
    int stride;
    __m256i strideLanes;

    KORVATH_AVX2 CachedLanes(const TriangleSetup& s, int u, int v, int du, int dv)
        : CoordinateLanes<Mirror>(s, u, v, du, dv), cache(s.cache), stride(s.cacheStride),
          strideLanes(_mm256_set1_epi32(stride)) {}
    // Placed from the segment ends of a chunk (placeChunk).
    KORVATH_AVX2 explicit CachedLanes(const TriangleSetup& s) : CachedLanes(s, 0, 0, 0, 0) {}

    // The next eight lanes' footprints, into f from lane `at`.
    KORVATH_AVX2 void place(Footprints& f, int at) {
        const __m256i qu = this->qu(), qv = this->qv();
        _mm256_store_si256(
            reinterpret_cast<__m256i*>(f.at + at),
            _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(qv, 16), strideLanes),
                             _mm256_srai_epi32(qu, 16)));
        placeFractions<Bits>(qu, qv, f, at);
        this->skip();
    }

    // The eight texels of the footprints from lane `at`, spread.
    KORVATH_AVX2 __m256i filtered(const Footprints& f, int at) const {
        const __m256i low = _mm256_set1_epi32(0xFFFF);
        const __m256i keep = _mm256_set1_epi32(Is4444 ? 0x0F0F0F0F : 0x07E0F81F);
        // A texel and its right neighbour come as one 32-bit pair, the left
        // one in the low half; each row is read from a base of its own, so
        // that a lane's two reads share its index.
        const int* index = f.at + at;
        const uint16_t* const below = cache + stride;
        auto pair = [&](const uint16_t* row, int k) {
            int value;
            __builtin_memcpy(&value, row + index[k], sizeof value);
            return value;
        };
        const __m256i top =
            _mm256_setr_epi32(pair(cache, 0), pair(cache, 1), pair(cache, 2), pair(cache, 3),
                              pair(cache, 4), pair(cache, 5), pair(cache, 6), pair(cache, 7));
        const __m256i bottom =
            _mm256_setr_epi32(pair(below, 0), pair(below, 1), pair(below, 2), pair(below, 3),
                              pair(below, 4), pair(below, 5), pair(below, 6), pair(below, 7));
        const __m256i t00 = spreadLanes<Is4444>(_mm256_and_si256(top, low));
        const __m256i t10 = spreadLanes<Is4444>(_mm256_srli_epi32(top, 16));
        const __m256i t01 = spreadLanes<Is4444>(_mm256_and_si256(bottom, low));
        const __m256i t11 = spreadLanes<Is4444>(_mm256_srli_epi32(bottom, 16));
        const LaneWeights w = placedWeights<Bits>(f, at);
        __m256i sum =
            _mm256_add_epi32(_mm256_mullo_epi32(t00, w.w00), _mm256_mullo_epi32(t10, w.w10));
        sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(t01, w.w01));
        sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(t11, w.w11));
        return _mm256_and_si256(_mm256_srli_epi32(sum, Bits), keep);
    }
};

// Every lane's footprint of a chunk, segment by segment (whole groups of
// eight but the last, whose lanes past the chunk are placed too).
template <class Lanes>
KORVATH_AVX2 inline void placeChunk(Lanes& texels, const int* u, const int* v, int segment, int n,
                                    Footprints& f) {
    for (int i = 0, end = 0, j = 0; i < n; i += 8) {
        if (i == end) end += texels.restartAt(u, v, j++, segment, n);
        texels.place(f, i);
    }
}

// A chunk's texels from its footprints (cached or tone lanes); the buffer
// has room for the lanes past the chunk.
template <class Lanes>
KORVATH_AVX2 inline void fetchLanes(const TriangleSetup& s, const int* u, const int* v, int segment,
                                    int n, uint32_t* out) {
    Lanes texels(s);
    Footprints f;
    placeChunk(texels, u, v, segment, n, f);
    for (int i = 0; i < n; i += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), texels.filtered(f, i));
}

// The weight where the footprint's bit is set, else 0.
KORVATH_AVX2 inline __m256i weightIf(__m256i bits, __m256i bit, __m256i weight) {
    return _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_and_si256(bits, bit), bit), weight);
}

// The same fetch from a two-tone 4-4-4-4 texture's bits: the texels that are
// not 0 all equal the tone, so the weighted sum is the tone times the sum of
// their weights, the very sum the texel cache gives.
template <bool Mirror> struct ToneLanes : CoordinateLanes<Mirror> {
    const uint8_t* bits;
    __m256i strideLanes, tone;

    KORVATH_AVX2 explicit ToneLanes(const TriangleSetup& s)
        : CoordinateLanes<Mirror>(s, 0, 0, 0, 0), bits(s.tones.bits),
          strideLanes(_mm256_set1_epi32(s.tones.stride)),
          tone(_mm256_set1_epi32(static_cast<int>(spread4444(s.tones.colour)))) {}

    // The next eight lanes' footprints, into f from lane `at`.
    KORVATH_AVX2 void place(Footprints& f, int at) {
        const __m256i one = _mm256_set1_epi32(1);
        const __m256i qu = this->qu(), qv = this->qv();
        // Entry x of row y sits at bit 2 * (x + 1) of byte row y + 1.
        const __m256i column = _mm256_add_epi32(_mm256_srai_epi32(qu, 16), one);
        _mm256_store_si256(
            reinterpret_cast<__m256i*>(f.at + at),
            _mm256_add_epi32(
                _mm256_mullo_epi32(_mm256_add_epi32(_mm256_srai_epi32(qv, 16), one), strideLanes),
                _mm256_srli_epi32(column, 2)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(f.shift + at),
                           _mm256_slli_epi32(_mm256_and_si256(column, _mm256_set1_epi32(3)), 1));
        placeFractions<4>(qu, qv, f, at);
        this->skip();
    }

    // The eight texels of the footprints from lane `at`, spread.
    KORVATH_AVX2 __m256i filtered(const Footprints& f, int at) const {
        const __m256i one = _mm256_set1_epi32(1), b1 = _mm256_set1_epi32(2);
        const __m256i b2 = _mm256_set1_epi32(4), b3 = _mm256_set1_epi32(8);
        const int* index = f.at + at;
        auto word = [&](int k) {
            uint16_t value;
            __builtin_memcpy(&value, bits + index[k], sizeof value);
            return static_cast<int>(value);
        };
        const __m256i words = _mm256_setr_epi32(word(0), word(1), word(2), word(3), word(4),
                                                word(5), word(6), word(7));
        const __m256i m = _mm256_srlv_epi32(
            words, _mm256_load_si256(reinterpret_cast<const __m256i*>(f.shift + at)));
        // Eight clear footprints, as a soft shadow's square mostly has.
        if (_mm256_testz_si256(m, _mm256_set1_epi32(15))) return _mm256_setzero_si256();
        // Eight whole footprints, as the silhouette's inside: the weights sum to 16.
        if (_mm256_testc_si256(m, _mm256_set1_epi32(15))) return tone;
        const LaneWeights w = placedWeights<4>(f, at);
        const __m256i sum =
            _mm256_add_epi32(_mm256_add_epi32(weightIf(m, one, w.w00), weightIf(m, b1, w.w01)),
                             _mm256_add_epi32(weightIf(m, b2, w.w10), weightIf(m, b3, w.w11)));
        // The tone's nibbles times a sum of at most 16 stay within their
        // 16-bit halves, so each half is multiplied by the sum on its own.
        const __m256i sums = _mm256_or_si256(sum, _mm256_slli_epi32(sum, 16));
        return _mm256_and_si256(_mm256_srli_epi32(mulNarrow(tone, sums), 4),
                                _mm256_set1_epi32(0x0F0F0F0F));
    }
};

// All ones in the first `count` (0 to 8) 16-bit lanes.
KORVATH_AVX2 inline __m128i firstWords(int count) {
    return _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<short>(count)),
                           _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7));
}

// All ones in the first `count` (0 to 8) 32-bit lanes.
KORVATH_AVX2 inline __m256i firstLanes(int count) {
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(count), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

// Eight pixels at a time; the tail one by one, with the same arithmetic.
KORVATH_AVX2 inline int testLanes(int z, int dz, const uint16_t* zrow, int n, SpanBuffers& b) {
    const __m256i steps =
        _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(dz));
    const __m256i one = _mm256_set1_epi32(1);
    // Pixels [at, at + 8) from lz: their depths and flags stored, the mask of
    // those that passed returned.
    auto testEight = [&](__m256i lz, int at, __m256i valid) KORVATH_AVX2 {
        const __m256i depth = _mm256_srai_epi32(lz, 15);
        const __m256i stored =
            _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(zrow + at)));
        const __m256i pass =
            _mm256_and_si256(_mm256_andnot_si256(_mm256_cmpgt_epi32(depth, stored), one), valid);
        // Eight 16-bit depths and eight bytes of pass flags.
        const __m128i depth16 =
            _mm_packus_epi32(_mm256_castsi256_si128(depth), _mm256_extracti128_si256(depth, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b.depth + at), depth16);
        const __m128i pass16 =
            _mm_packus_epi32(_mm256_castsi256_si128(pass), _mm256_extracti128_si256(pass, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(b.pass + at), _mm_packus_epi16(pass16, pass16));
        return static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(pass, one))));
    };
    __m256i lz = _mm256_add_epi32(_mm256_set1_epi32(z), steps);
    const __m256i dz8 = _mm256_set1_epi32(eightSteps(dz));
    int passed = 0, i = 0;
    const __m256i all = _mm256_set1_epi32(-1);
    for (; i + 8 <= n; i += 8) {
        passed += __builtin_popcount(testEight(lz, i, all));
        lz = _mm256_add_epi32(lz, dz8);
    }
    if (i == n) return passed;
    // The last few as eight more, those past the chunk failed: the depths
    // past it are read but never written, and the flags of every group land
    // where writeLanes reads them whole.
    if (b.room >= i + 8 - n)
        return passed + __builtin_popcount(testEight(lz, i, firstLanes(n - i)));
    if (n >= 8) {
        // The last few: the chunk's last eight tested again, which writes the
        // same depths and flags over those done, counted only once.
        const int last = n - 8;
        const __m256i tail = _mm256_add_epi32(_mm256_set1_epi32(z + last * dz), steps);
        return passed + __builtin_popcount(testEight(tail, last, all) >> (i - last));
    }
    for (; i < n; ++i) {
        const int depth = (z + i * dz) >> 15;
        b.depth[i] = static_cast<uint16_t>(depth);
        b.pass[i] = depth <= zrow[i] ? 1 : 0;
        passed += b.pass[i];
    }
    return passed;
}

// One depth for every pixel, not written (the backdrop's on the far plane):
// sixteen 16-bit compares at a time, and only the flags.
KORVATH_AVX2 inline int testFlatLanes(int depth, const uint16_t* zrow, int n, SpanBuffers& b) {
    const __m256i d = _mm256_set1_epi16(static_cast<short>(depth));
    const __m128i one = _mm_set1_epi8(1);
    int passed = 0, i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i stored = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(zrow + i));
        // stored >= depth, unsigned: the larger of the two is the stored value.
        const __m256i pass = _mm256_cmpeq_epi16(_mm256_max_epu16(stored, d), stored);
        const __m128i bytes =
            _mm_packs_epi16(_mm256_castsi256_si128(pass), _mm256_extracti128_si256(pass, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b.pass + i), _mm_and_si128(bytes, one));
        passed += __builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(bytes)));
    }
    // Pixels [at, at + 8): their flags stored, the mask of those that passed returned.
    auto testEight = [&](int at, __m128i valid) KORVATH_AVX2 {
        const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(zrow + at));
        const __m128i pass = _mm_and_si128(
            _mm_cmpeq_epi16(_mm_max_epu16(stored, _mm256_castsi256_si128(d)), stored), valid);
        const __m128i bytes = _mm_packs_epi16(pass, pass);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(b.pass + at), _mm_and_si128(bytes, one));
        return static_cast<unsigned>(_mm_movemask_epi8(bytes)) & 0xFFu;
    };
    // Spans are short: eight more at a time, then the last eight again for
    // the last few, counting only those not done.
    const __m128i all = _mm_set1_epi16(-1);
    if (i + 8 <= n) {
        passed += __builtin_popcount(testEight(i, all));
        i += 8;
    }
    if (i == n) return passed;
    // As testLanes: eight more, those past the chunk failed, when the row has them.
    if (b.room >= i + 8 - n) return passed + __builtin_popcount(testEight(i, firstWords(n - i)));
    if (n >= 8) return passed + __builtin_popcount(testEight(n - 8, all) >> (i - (n - 8)));
    for (; i < n; ++i) {
        b.pass[i] = depth <= zrow[i] ? 1 : 0;
        passed += b.pass[i];
    }
    return passed;
}

// Vertex colours stepped from c by step, eight at a time, packed as the
// plain loop packs them (channels r, g, b, a in 16.16).
struct ColourLanes {
    __m256i lanes[4], eight[4];

    KORVATH_AVX2 ColourLanes(const int c[4], const int step[4]) {
        const __m256i steps = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        for (int k = 0; k < 4; ++k) {
            lanes[k] = _mm256_add_epi32(_mm256_set1_epi32(c[k]),
                                        _mm256_mullo_epi32(steps, _mm256_set1_epi32(step[k])));
            eight[k] = _mm256_set1_epi32(eightSteps(step[k]));
        }
    }

    KORVATH_AVX2 __m256i next() {
        const __m256i r = _mm256_slli_epi32(_mm256_srai_epi32(lanes[0], 16), 16);
        const __m256i g = _mm256_slli_epi32(_mm256_srai_epi32(lanes[1], 16), 8);
        const __m256i b = _mm256_srai_epi32(lanes[2], 16);
        const __m256i a = _mm256_slli_epi32(_mm256_srai_epi32(lanes[3], 16), 24);
        skip();
        return _mm256_or_si256(_mm256_or_si256(a, r), _mm256_or_si256(g, b));
    }

    KORVATH_AVX2 void skip() {
        for (int k = 0; k < 4; ++k) lanes[k] = _mm256_add_epi32(lanes[k], eight[k]);
    }
};

KORVATH_AVX2 inline void fillColourLanes(const int c[4], const int step[4], int n, uint32_t* out) {
    ColourLanes colour(c, step);
    // Whole lanes, past n too: the buffer has room for them.
    for (int i = 0; i < n; i += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), colour.next());
}

// Eight spread 5-6-5 texels combined with eight vertex colours and packed
// to 5-6-5: the same products as the plain loop's.
template <ColourKind CK>
KORVATH_AVX2 inline __m128i shadeChannels(__m256i t, __m256i dr, __m256i dg, __m256i db) {
    const __m256i five = _mm256_set1_epi32(31), byte = _mm256_set1_epi32(255);
    const __m256i r8 = _mm256_srli_epi32(
        _mm256_mullo_epi32(_mm256_and_si256(_mm256_srli_epi32(t, 11), five), _mm256_set1_epi32(33)),
        2);
    const __m256i g8 =
        _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(t, 21), _mm256_set1_epi32(65)), 4);
    const __m256i b8 =
        _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_and_si256(t, five), _mm256_set1_epi32(33)), 2);
    __m256i r, g, b;
    if constexpr (CK == ColourKind::Modulate) {
        r = _mm256_srli_epi32(_mm256_add_epi32(mulNarrow(r8, dr), byte), 11);
        g = _mm256_srli_epi32(_mm256_add_epi32(mulNarrow(g8, dg), byte), 10);
        b = _mm256_srli_epi32(_mm256_add_epi32(mulNarrow(b8, db), byte), 11);
    } else {
        r = _mm256_srli_epi32(_mm256_min_epi32(_mm256_add_epi32(r8, dr), byte), 3);
        g = _mm256_srli_epi32(_mm256_min_epi32(_mm256_add_epi32(g8, dg), byte), 2);
        b = _mm256_srli_epi32(_mm256_min_epi32(_mm256_add_epi32(b8, db), byte), 3);
    }
    const __m256i p =
        _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(r, 11), _mm256_slli_epi32(g, 5)), b);
    return _mm_packus_epi32(_mm256_castsi256_si128(p), _mm256_extracti128_si256(p, 1));
}

// The same with the colours packed as ARGB 8888.
template <ColourKind CK> KORVATH_AVX2 inline __m128i shadeLanes(__m256i t, __m256i d) {
    const __m256i byte = _mm256_set1_epi32(255);
    return shadeChannels<CK>(t, _mm256_and_si256(_mm256_srli_epi32(d, 16), byte),
                             _mm256_and_si256(_mm256_srli_epi32(d, 8), byte),
                             _mm256_and_si256(d, byte));
}

// 5-6-5 frame pixels (the low halves of eight 32-bit lanes) widened to 8 bits
// a channel, as the plain loop decodes them.
KORVATH_AVX2 inline void frameChannels(__m128i under, __m256i& r, __m256i& g, __m256i& b) {
    const __m256i p = _mm256_cvtepu16_epi32(under);
    const __m256i five = _mm256_set1_epi32(31);
    r = _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(p, 11), _mm256_set1_epi32(33)), 2);
    g = _mm256_srli_epi32(
        _mm256_mullo_epi32(_mm256_and_si256(_mm256_srli_epi32(p, 5), _mm256_set1_epi32(63)),
                           _mm256_set1_epi32(65)),
        4);
    b = _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_and_si256(p, five), _mm256_set1_epi32(33)), 2);
}

// a * b / 255 rounded, as mul255.
KORVATH_AVX2 inline __m256i mul255Lanes(__m256i a, __m256i b) {
    const __m256i t = _mm256_add_epi32(mulNarrow(a, b), _mm256_set1_epi32(128));
    return _mm256_srli_epi32(_mm256_add_epi32(t, _mm256_srli_epi32(t, 8)), 8);
}

// The opaque kinds: spread 5-6-5 texels modulated by or added to the colour.
template <ColourKind CK> struct OpaqueTexels {
    static constexpr bool ReadsFrame = false;
    KORVATH_AVX2 static bool leavesFrame(__m256i) { return false; }
    KORVATH_AVX2 static __m128i shade(__m256i t, __m256i d, __m128i) {
        return shadeLanes<CK>(t, d);
    }
};

// A 4-bit channel of spread 4-4-4-4 texels, widened to 8 bits.
KORVATH_AVX2 inline __m256i nibbleChannel(__m256i t, int shift) {
    return _mm256_mullo_epi32(_mm256_and_si256(_mm256_srli_epi32(t, shift), _mm256_set1_epi32(15)),
                              _mm256_set1_epi32(17));
}

// Texel channel times the colour's channel at `shift`, as mulColour.
KORVATH_AVX2 inline __m256i modulateChannel(__m256i texel, __m256i d, int shift) {
    const __m256i byte = _mm256_set1_epi32(255);
    const __m256i colour = _mm256_and_si256(_mm256_srli_epi32(d, shift), byte);
    return _mm256_srli_epi32(_mm256_add_epi32(mulNarrow(texel, colour), byte), 8);
}

// Source over frame by alpha, saturated, as the plain blend.
KORVATH_AVX2 inline __m256i overChannel(__m256i source, __m256i frame, __m256i alpha) {
    const __m256i byte = _mm256_set1_epi32(255);
    return _mm256_min_epi32(_mm256_add_epi32(mul255Lanes(source, alpha),
                                             mul255Lanes(frame, _mm256_sub_epi32(byte, alpha))),
                            byte);
}

// The shadows: spread 4-4-4-4 texels modulated by the colour and laid over
// the frame by the texel's alpha.
struct ShadowTexels {
    static constexpr bool ReadsFrame = true;
    // Eight fully transparent texels give back the frame exactly (the blend
    // is exact at alpha 0), and most of a soft shadow's square is clear.
    KORVATH_AVX2 static bool leavesFrame(__m256i t) {
        return _mm256_testz_si256(t, _mm256_set1_epi32(0x0F000000)) != 0;
    }
    KORVATH_AVX2 static __m128i shade(__m256i t, __m256i d, __m128i under) {
        const __m256i alpha = nibbleChannel(t, 24);
        __m256i fr, fg, fb;
        frameChannels(under, fr, fg, fb);
        const __m256i r = _mm256_srli_epi32(
            overChannel(modulateChannel(nibbleChannel(t, 8), d, 16), fr, alpha), 3);
        const __m256i g = _mm256_srli_epi32(
            overChannel(modulateChannel(nibbleChannel(t, 16), d, 8), fg, alpha), 2);
        const __m256i b = _mm256_srli_epi32(
            overChannel(modulateChannel(nibbleChannel(t, 0), d, 0), fb, alpha), 3);
        const __m256i p =
            _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(r, 11), _mm256_slli_epi32(g, 5)), b);
        return _mm_packus_epi32(_mm256_castsi256_si128(p), _mm256_extracti128_si256(p, 1));
    }
};

// The shadows of black silhouettes: texels with no colour, so that the
// modulated source is 0 and only the frame's share of the blend is left.
struct BlackShadowTexels {
    static constexpr bool ReadsFrame = true;
    KORVATH_AVX2 static bool leavesFrame(__m256i t) { return ShadowTexels::leavesFrame(t); }
    KORVATH_AVX2 static __m128i shade(__m256i t, __m256i, __m128i under) {
        const __m256i keep = _mm256_sub_epi32(_mm256_set1_epi32(255), nibbleChannel(t, 24));
        __m256i fr, fg, fb;
        frameChannels(under, fr, fg, fb);
        const __m256i r = _mm256_srli_epi32(mul255Lanes(fr, keep), 3);
        const __m256i g = _mm256_srli_epi32(mul255Lanes(fg, keep), 2);
        const __m256i b = _mm256_srli_epi32(mul255Lanes(fb, keep), 3);
        const __m256i p =
            _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(r, 11), _mm256_slli_epi32(g, 5)), b);
        return _mm_packus_epi32(_mm256_castsi256_si128(p), _mm256_extracti128_si256(p, 1));
    }
};

// Eight depth flags as 16-bit lane masks.
KORVATH_AVX2 inline __m128i passLanes(const uint8_t* pass) {
    return _mm_cmpgt_epi16(
        _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pass))),
        _mm_setzero_si128());
}

// The first `count` (1 to 7) depth flags as 16-bit lane masks, the rest
// clear. Read one by one: they were stored so, and a wider read of what
// narrower stores just wrote waits for them to reach the cache.
KORVATH_AVX2 inline __m128i firstPassLanes(const uint8_t* pass, int count) {
    int bits = 0;
    for (int k = 0; k < count; ++k) bits |= (pass[k] != 0 ? 1 : 0) << k;
    const __m128i lane = _mm_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128);
    return _mm_cmpeq_epi16(_mm_and_si128(_mm_set1_epi16(static_cast<short>(bits)), lane), lane);
}

// The first `count` (1 to 7) pixels of a row in the low lanes, the rest 0:
// read one by one, as no wider read may leave the span.
KORVATH_AVX2 inline __m128i firstPixels(const uint16_t* p, int count) {
    __m128i v = _mm_setzero_si128();
    for (int k = count - 1; k >= 0; --k) v = _mm_insert_epi16(_mm_slli_si128(v, 2), p[k], 0);
    return v;
}

// Eight depths of a chunk written where `drawn` is set, the rest kept.
KORVATH_AVX2 inline void storeDepthLanes(uint16_t* zrow, const uint16_t* depths, __m128i drawn) {
    __m128i* z = reinterpret_cast<__m128i*>(zrow);
    _mm_storeu_si128(z, _mm_blendv_epi8(_mm_loadu_si128(z),
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(depths)),
                                        drawn));
}

// The triangle's one colour in every lane, packed as ARGB 8888.
KORVATH_AVX2 inline __m256i flatLanes(const TriangleSetup& s) {
    const Rgba f = s.flat;
    return _mm256_set1_epi32(
        static_cast<int>(static_cast<uint32_t>(f.a) << 24 | static_cast<uint32_t>(f.r) << 16 |
                         static_cast<uint32_t>(f.g) << 8 | static_cast<uint32_t>(f.b)));
}

template <class Shader>
KORVATH_AVX2 inline void writeLanes(const TriangleSetup& s, const SpanBuffers& b, uint16_t* dst,
                                    uint16_t* zrow, int n) {
    const __m256i flat = flatLanes(s);
    const bool gouraud = s.gouraud, depthTest = s.depthTest, depthWrite = s.depthWrite;
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b.texel + i));
        const __m128i pass = depthTest ? passLanes(b.pass + i) : __m128i{};
        if (depthWrite) storeDepthLanes(zrow + i, b.depth + i, pass);
        if (Shader::leavesFrame(t)) continue;
        const __m256i d =
            gouraud ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b.diffuse + i)) : flat;
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        const __m128i under = Shader::ReadsFrame || depthTest ? _mm_loadu_si128(out) : __m128i{};
        __m128i colour = Shader::shade(t, d, under);
        if (depthTest) colour = _mm_blendv_epi8(under, colour, pass);
        _mm_storeu_si128(out, colour);
    }
    if (i == n) return;
    if (b.room >= i + 8 - n) {
        // The last few as eight more, those past the chunk written back as they were.
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        const __m128i under = _mm_loadu_si128(out);
        const __m256i d =
            gouraud ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b.diffuse + i)) : flat;
        const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b.texel + i));
        const __m128i valid = firstWords(n - i);
        const __m128i drawn = depthTest ? _mm_and_si128(passLanes(b.pass + i), valid) : valid;
        _mm_storeu_si128(out, _mm_blendv_epi8(under, Shader::shade(t, d, under), drawn));
        if (depthWrite) storeDepthLanes(zrow + i, b.depth + i, drawn);
        return;
    }
    // The last few pixels: eight lanes shaded, only those that exist written.
    // The texel and colour buffers reach past the chunk's last eight lanes;
    // the frame does not, so only its existing pixels are read.
    const __m128i under = Shader::ReadsFrame ? firstPixels(dst + i, n - i) : __m128i{};
    const __m256i d =
        gouraud ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b.diffuse + i)) : flat;
    alignas(16) uint16_t colour[8];
    _mm_store_si128(
        reinterpret_cast<__m128i*>(colour),
        Shader::shade(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b.texel + i)), d, under));
    // Selects, not branches: the flags are the depth buffer's, which no
    // predictor guesses; a pixel that failed keeps what it held.
    for (int k = 0; i + k < n; ++k) {
        const bool drawn = !depthTest || b.pass[i + k] != 0;
        dst[i + k] = drawn ? colour[k] : dst[i + k];
        if (depthWrite) zrow[i + k] = drawn ? b.depth[i + k] : zrow[i + k];
    }
}

// Eight pixels of a chunk drawn whole from `at`: depths from the lanes of
// `depth` and texels from the footprints, both moved along by `lanes` when
// Moved, tested, shaded with the colour d and written, with their depths,
// where `valid` (and the test) allows.
template <class Shader, bool Moved = false, class Lanes>
KORVATH_AVX2 inline void wholeEight(const Lanes& texels, const Footprints& f, int at, __m256i d,
                                    __m256i depth, __m256i lanes, __m128i valid, uint16_t* dst,
                                    uint16_t* zrow) {
    const __m256i moved = Moved ? _mm256_permutevar8x32_epi32(depth, lanes) : depth;
    const __m128i depth16 =
        _mm_packus_epi32(_mm256_castsi256_si128(moved), _mm256_extracti128_si256(moved, 1));
    __m128i* z = reinterpret_cast<__m128i*>(zrow);
    const __m128i stored = _mm_loadu_si128(z);
    // depth <= stored, unsigned: the larger of the two is the stored value.
    const __m128i pass =
        _mm_and_si128(_mm_cmpeq_epi16(_mm_max_epu16(stored, depth16), stored), valid);
    if (_mm_testz_si128(pass, pass)) return;
    const __m256i fetched = texels.filtered(f, at);
    const __m256i t = Moved ? _mm256_permutevar8x32_epi32(fetched, lanes) : fetched;
    _mm_storeu_si128(z, _mm_blendv_epi8(stored, depth16, pass));
    if (Shader::leavesFrame(t)) return;
    __m128i* out = reinterpret_cast<__m128i*>(dst);
    const __m128i under = _mm_loadu_si128(out);
    _mm_storeu_si128(out, _mm_blendv_epi8(under, Shader::shade(t, d, under), pass));
}

// A chunk of fewer than eight pixels at the row's end: only those that
// exist are read and written.
template <class Shader, class Lanes>
KORVATH_AVX2 inline void wholeFewLanes(const Lanes& texels, const Footprints& f, __m256i d,
                                       __m256i depth, uint16_t* dst, uint16_t* zrow, int n) {
    const __m128i depth16 =
        _mm_packus_epi32(_mm256_castsi256_si128(depth), _mm256_extracti128_si256(depth, 1));
    const __m128i stored = firstPixels(zrow, n);
    const __m128i pass =
        _mm_and_si128(_mm_cmpeq_epi16(_mm_max_epu16(stored, depth16), stored), firstWords(n));
    const __m256i t = texels.filtered(f, 0);
    const __m128i under = firstPixels(dst, n);
    alignas(16) uint16_t depths[8], pixels[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(depths), _mm_blendv_epi8(stored, depth16, pass));
    _mm_store_si128(reinterpret_cast<__m128i*>(pixels),
                    _mm_blendv_epi8(under, Shader::shade(t, d, under), pass));
    for (int k = 0; k < n; ++k) {
        zrow[k] = depths[k];
        dst[k] = pixels[k];
    }
}

// A depth-written chunk in one pass, with no buffers between the steps:
// depth test, texels, shading and writes, eight pixels at a time, as
// testLanes, the fetch and writeLanes<Shader> do them. Eight pixels that all
// failed the test need no texels, and eight the shader leaves the frame no
// shading. The black silhouettes' shadows (tone lanes) and the opaque
// textured faces of a flat colour (cached lanes).
template <class Lanes, class Shader>
KORVATH_AVX2 inline void wholeChunkLanes(const TriangleSetup& s, const int* u, const int* v,
                                         int segment, int z, int dz, int room, uint16_t* dst,
                                         uint16_t* zrow, int n) {
    Lanes texels(s);
    Footprints f;
    placeChunk(texels, u, v, segment, n, f);
    const __m256i d = flatLanes(s);
    const __m256i order = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i lz =
        _mm256_add_epi32(_mm256_set1_epi32(z), _mm256_mullo_epi32(order, _mm256_set1_epi32(dz)));
    const __m256i dz8 = _mm256_set1_epi32(eightSteps(dz));
    const __m128i all = _mm_set1_epi16(-1);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        wholeEight<Shader>(texels, f, i, d, _mm256_srai_epi32(lz, 15), order, all, dst + i,
                           zrow + i);
        lz = _mm256_add_epi32(lz, dz8);
    }
    if (i == n) return;
    const __m256i depth = _mm256_srai_epi32(lz, 15);
    // Where the row goes on, the last few pixels are eight more, those past
    // the chunk written back as they were; else the chunk's last eight, those
    // done before left as they are, with depths and texels moved along.
    if (room >= i + 8 - n)
        return wholeEight<Shader>(texels, f, i, d, depth, order, firstWords(n - i), dst + i,
                                  zrow + i);
    if (n < 8) return wholeFewLanes<Shader>(texels, f, d, depth, dst, zrow, n);
    const int done = i - (n - 8);
    const __m128i fresh = _mm_andnot_si128(firstWords(done), all);
    wholeEight<Shader, true>(texels, f, i, d, depth,
                             _mm256_sub_epi32(order, _mm256_set1_epi32(done)), fresh, dst + n - 8,
                             zrow + n - 8);
}

// A grey vertex colour (r, g and b stepped alike) as one channel, 16.16:
// the channel's byte of the packed colour, which a step just below 0 turns
// to 255 in every channel at once.
struct GreyLanes {
    __m256i lanes, eight;

    KORVATH_AVX2 GreyLanes(const int c[4], const int step[4]) {
        const __m256i steps = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        lanes = _mm256_add_epi32(_mm256_set1_epi32(c[0]),
                                 _mm256_mullo_epi32(steps, _mm256_set1_epi32(step[0])));
        eight = _mm256_set1_epi32(eightSteps(step[0]));
    }

    KORVATH_AVX2 __m256i next() {
        const __m256i grey = _mm256_and_si256(_mm256_srli_epi32(lanes, 16), _mm256_set1_epi32(255));
        skip();
        return grey;
    }

    KORVATH_AVX2 void skip() { lanes = _mm256_add_epi32(lanes, eight); }
};

// Chunks whose colour is grey are shaded from one channel.
template <bool Grey> struct AddedColour;
template <> struct AddedColour<false> {
    ColourLanes colour;
    KORVATH_AVX2 AddedColour(const AffineChunk& a) : colour(a.colour, a.colourStep) {}
    KORVATH_AVX2 __m128i shade(__m256i t) { return shadeLanes<ColourKind::Add>(t, colour.next()); }
    KORVATH_AVX2 void skip() { colour.skip(); }
};
template <> struct AddedColour<true> {
    GreyLanes colour;
    KORVATH_AVX2 AddedColour(const AffineChunk& a) : colour(a.colour, a.colourStep) {}
    KORVATH_AVX2 __m128i shade(__m256i t) {
        const __m256i grey = colour.next();
        return shadeChannels<ColourKind::Add>(t, grey, grey, grey);
    }
    KORVATH_AVX2 void skip() { colour.skip(); }
};

// The backdrop's chunk in one pass, with no buffers between the steps:
// mirrored bilinear 5-6-5 texels added to the vertex colour, written
// without blending where the depth test passed.
template <bool Grey>
KORVATH_AVX2 inline void addedChunkLanes(const TriangleSetup& s, const AffineChunk& a,
                                         const uint8_t* passed, int room, uint16_t* dst, int n) {
    CachedLanes<false, true> texels(s, a.u, a.v, a.du, a.dv);
    Footprints f;
    for (int i = 0; i < n; i += 8) texels.place(f, i);
    AddedColour<Grey> colour(a);
    for (int i = 0; i < n; i += 8) {
        // Past the last few flags the buffer holds stale ones. Where the row
        // goes on, the last few are drawn as eight more, those past the chunk
        // written back as they were.
        const bool whole = n - i >= 8 || room >= i + 8 - n;
        const int count = whole ? 8 : n - i;
        const __m128i pass = !whole       ? firstPassLanes(passed + i, count)
                             : n - i >= 8 ? passLanes(passed + i)
                                          : _mm_and_si128(passLanes(passed + i), firstWords(n - i));
        if (_mm_testz_si128(pass, pass)) {
            colour.skip();
            continue;
        }
        const __m128i shaded = colour.shade(texels.filtered(f, i));
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        if (count == 8) {
            _mm_storeu_si128(out, _mm_blendv_epi8(_mm_loadu_si128(out), shaded, pass));
            continue;
        }
        alignas(16) uint16_t pixels[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(pixels), shaded);
        for (int k = 0; k < count; ++k)
            if (passed[i + k] != 0) dst[i + k] = pixels[k];
    }
}

// A pass compiled for each of the two instruction sets.
template <auto Pass> struct Compiled;
template <class R, class... A, R (*Pass)(A...)> struct Compiled<Pass> {
    KORVATH_AVX2_COPY static R avx2(A... a) { return Pass(a...); }
    KORVATH_AVX512_COPY static R avx512(A... a) { return Pass(a...); }
};

bool wideLanesAllowed = true; // switched off only to compare with the plain loops; whole run
bool avx512Allowed = true;    // switched off only to compare the two copies; whole run

bool hasAvx512Lanes() {
    static const bool avx512 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq");
    }();
    return avx512 && avx512Allowed;
}

// The copy of the pass for this processor, for the set-up to keep.
template <auto Pass> auto compiledFor() {
    return hasAvx512Lanes() ? Compiled<Pass>::avx512 : Compiled<Pass>::avx2;
}

// The same, called at once.
template <auto Pass, class... A> auto runCompiled(A&&... a) {
    return hasAvx512Lanes() ? Compiled<Pass>::avx512(a...) : Compiled<Pass>::avx2(a...);
}

} // namespace

bool hasWideLanes() {
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return avx2 && wideLanesAllowed;
}

void allowWideLanes(bool allowed) {
    wideLanesAllowed = allowed;
}

void allowAvx512Lanes(bool allowed) {
    avx512Allowed = allowed;
}

FetchFunction wideToneFetchFor(bool mirror) {
    return mirror ? compiledFor<fetchLanes<ToneLanes<true>>>()
                  : compiledFor<fetchLanes<ToneLanes<false>>>();
}

FetchFunction wideFetchFor(bool is4444, bool mirror) {
    if (is4444)
        return mirror ? compiledFor<fetchLanes<CachedLanes<true, true>>>()
                      : compiledFor<fetchLanes<CachedLanes<true, false>>>();
    return mirror ? compiledFor<fetchLanes<CachedLanes<false, true>>>()
                  : compiledFor<fetchLanes<CachedLanes<false, false>>>();
}

DepthTestFunction wideDepthTest() {
    return compiledFor<testLanes>();
}

FlatDepthTestFunction wideFlatDepthTest() {
    return compiledFor<testFlatLanes>();
}

void fillColourWide(const int c[4], const int step[4], int n, uint32_t* out) {
    runCompiled<fillColourLanes>(c, step, n, out);
}

OutputFunction wideOutputFor(ColourKind kind) {
    if (kind == ColourKind::Modulate)
        return compiledFor<writeLanes<OpaqueTexels<ColourKind::Modulate>>>();
    if (kind == ColourKind::Add) return compiledFor<writeLanes<OpaqueTexels<ColourKind::Add>>>();
    return nullptr;
}

WholeChunkFunction wideBlackShadowChunk(bool mirror) {
    return mirror ? compiledFor<wholeChunkLanes<ToneLanes<true>, BlackShadowTexels>>()
                  : compiledFor<wholeChunkLanes<ToneLanes<false>, BlackShadowTexels>>();
}

WholeChunkFunction wideOpaqueChunk(bool mirror) {
    using Modulated = OpaqueTexels<ColourKind::Modulate>;
    return mirror ? compiledFor<wholeChunkLanes<CachedLanes<false, true>, Modulated>>()
                  : compiledFor<wholeChunkLanes<CachedLanes<false, false>, Modulated>>();
}

OutputFunction wideShadowOutput(bool black) {
    if (black) return compiledFor<writeLanes<BlackShadowTexels>>();
    return compiledFor<writeLanes<ShadowTexels>>();
}

void drawAddedChunkWide(const TriangleSetup& s, const AffineChunk& a, const uint8_t* passed,
                        int room, uint16_t* dst, int n) {
    const bool grey = a.colour[0] == a.colour[1] && a.colour[1] == a.colour[2] &&
                      a.colourStep[0] == a.colourStep[1] && a.colourStep[1] == a.colourStep[2];
    if (grey)
        runCompiled<addedChunkLanes<true>>(s, a, passed, room, dst, n);
    else
        runCompiled<addedChunkLanes<false>>(s, a, passed, room, dst, n);
}
