// Fill and triangle rate of the software device at 1024 x 768: a full-screen
// textured, filtered, perspective-correct layer (the backdrop's 2048
// triangles), and a frame of the game's size (that layer plus about 5,000
// small depth-tested triangles). Targets: under 3 ms and under 8 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr int Width = 1024, Height = 768;

struct Bench {
    Surface* texture;
    Surface* shadow;
    std::vector<TLVertex> layer;
    std::vector<TLVertex> small;
};

Surface* makeTexture(PixelFormat format, int side) {
    Surface* t = createSurface(side, side, format);
    LockedSurface l;
    lockSurface(t, &l);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            l.memory[y * l.pitch / 2 + x] = static_cast<uint16_t>((x * 2654435761u) ^ (y * 40503u));
    unlockSurface(t);
    return t;
}

// A screen-covering grid whose depth and rhw fall towards the top, as a floor
// seen at an angle, with the texture repeating a few times across it.
std::vector<TLVertex> makeLayer() {
    std::vector<TLVertex> v;
    const int cols = 32, rows = 32;
    auto corner = [&](int i, int j) {
        const float sx = static_cast<float>(i) * Width / cols;
        const float sy = static_cast<float>(j) * Height / rows;
        const float t = static_cast<float>(j) / rows;
        const float rhw = 1.0f / (4000.0f - 3000.0f * t);
        return TLVertex{sx, sy, 0.5f, rhw, 0xFFC0C0C0u, 3.0f * i / cols, 3.0f * j / rows};
    };
    for (int i = 0; i < cols; ++i)
        for (int j = 0; j < rows; ++j) {
            const TLVertex a = corner(i, j), b = corner(i + 1, j), c = corner(i + 1, j + 1),
                           d = corner(i, j + 1);
            v.insert(v.end(), {a, b, c, a, c, d});
        }
    return v;
}

// 40 clusters of 125 thin triangles fanned around a centre, about the size
// and number of the pieces and their shadow patches in a full game position.
std::vector<TLVertex> makeSmallTriangles(int count) {
    std::vector<TLVertex> v;
    const int perCluster = 125;
    for (int k = 0; k < count; ++k) {
        const int cluster = k / perCluster, index = k % perCluster;
        const float cx = 200.0f + static_cast<float>(cluster % 8) * 85.0f;
        const float cy = 200.0f + static_cast<float>(cluster / 8) * 80.0f;
        const float a0 = 6.2831853f * static_cast<float>(index) / perCluster;
        const float a1 = 6.2831853f * static_cast<float>(index + 1) / perCluster;
        const float rhw = 1.0f / 3000.0f;
        const uint32_t colour = 0xFF7F7F7Fu;
        v.push_back(TLVertex{cx, cy, 0.3f, rhw, colour, 0.5f, 0.5f});
        v.push_back(TLVertex{cx + 28.0f * std::cos(a0), cy + 20.0f * std::sin(a0), 0.3f, rhw,
                             colour, 0.5f + 0.5f * std::cos(a0), 0.5f + 0.5f * std::sin(a0)});
        v.push_back(TLVertex{cx + 28.0f * std::cos(a1), cy + 20.0f * std::sin(a1), 0.3f, rhw,
                             colour, 0.5f + 0.5f * std::cos(a1), 0.5f + 0.5f * std::sin(a1)});
    }
    return v;
}

Bench& bench() {
    static Bench* b = [] {
        selectBackend(Backend::Headless);
        videoStart();
        setCooperativeLevel(true);
        setDisplayMode(Width, Height);
        Surface* depth = createSurface(Width, Height, PixelFormat::Depth16);
        attachDepthSurface(backBuffer(), depth);
        createDevice(0, backBuffer());
        fillSurface(depth, 0xFFFF);
        return new Bench{makeTexture(PixelFormat::Rgb565, 256),
                         makeTexture(PixelFormat::Argb4444, 128), makeLayer(),
                         makeSmallTriangles(5000)};
    }();
    return *b;
}

void setOpaqueFiltered(Surface* texture) {
    setTexture(0, texture);
    setTextureStageState(0, TSS_ADDRESS, TADDRESS_MIRROR);
    setTextureStageState(0, TSS_COLOROP, TOP_MODULATE);
    setTextureStageState(0, TSS_COLORARG1, TA_TEXTURE);
    setTextureStageState(0, TSS_COLORARG2, TA_DIFFUSE);
    setTextureStageState(0, TSS_ALPHAOP, TOP_DISABLE);
    setTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
    setTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
    setRenderState(RS_ALPHABLENDENABLE, 0);
    setRenderState(RS_TEXTUREPERSPECTIVE, 1);
    setRenderState(RS_ZENABLE, 1);
    setRenderState(RS_ZWRITEENABLE, 1);
}

void drawLayer(Bench& b) {
    setOpaqueFiltered(b.texture);
    drawPrimitive(b.layer.data(), static_cast<int>(b.layer.size()));
}

// Half the clusters opaque (pieces), half blended with the 4-4-4-4 texture
// (shadows), as in a redrawn game frame.
void drawSmall(Bench& b) {
    const int half = static_cast<int>(b.small.size()) / 6 * 3;
    setOpaqueFiltered(b.texture);
    drawPrimitive(b.small.data(), half);
    setTexture(0, b.shadow);
    setTextureStageState(0, TSS_ALPHAOP, TOP_SELECTARG1);
    setTextureStageState(0, TSS_ALPHAARG1, TA_TEXTURE);
    setRenderState(RS_ALPHABLENDENABLE, 1);
    setRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
    setRenderState(RS_DESTBLEND, BLEND_INVSRCALPHA);
    drawPrimitive(b.small.data() + half, static_cast<int>(b.small.size()) - half);
}

void BM_FullScreenLayer(benchmark::State& state) {
    Bench& b = bench();
    for (auto _ : state) drawLayer(b);
    state.SetItemsProcessed(state.iterations() * Width * Height);
}
BENCHMARK(BM_FullScreenLayer)->Unit(benchmark::kMillisecond);

void BM_GameSizedFrame(benchmark::State& state) {
    Bench& b = bench();
    for (auto _ : state) {
        drawLayer(b);
        drawSmall(b);
    }
    state.SetItemsProcessed(state.iterations() * (2048 + 5000));
}
BENCHMARK(BM_GameSizedFrame)->Unit(benchmark::kMillisecond);

void BM_SmallTriangles(benchmark::State& state) {
    Bench& b = bench();
    for (auto _ : state) drawSmall(b);
    state.SetItemsProcessed(state.iterations() * 5000);
}
BENCHMARK(BM_SmallTriangles)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
