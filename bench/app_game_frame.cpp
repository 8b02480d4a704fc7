// What a frame costs when nothing changed on the board: the cached picture is
// copied back from Backtemp and only the outlines, the menu and the cursor are
// drawn fresh. Run from the build root (it loads DATAS/).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "app/display.h"
#include "app/resources.h"
#include "app/settings.h"
#include "game/controller.h"
#include "game/outline.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/screen.h"
#include "scene/buttons.h"
#include "scene/cursor.h"
#include "scene/input.h"

namespace {

void openGame(int width, int height) {
    selectBackend(Backend::Headless);
    ScreenWidth = width;
    ScreenHeight = height;
    ShadowTextureSize = 128;
    TextureSize = 256;
    UseHardware = 1;
    const char* failure = initDisplay();
    if (failure == nullptr) {
        clearTextureTable();
        failure = loadResources();
    }
    if (failure != nullptr) {
        std::fprintf(stderr, "bench_game_frame: %s (run it from the build root)\n", failure);
        std::exit(1);
    }
    // The first frame sets up the game and draws the board once.
    gameStarted = 0;
    MouseX = width / 2;
    MouseY = height / 2;
    MouseButton = 0;
    gameFrame();
}

void BM_CachedFrame(benchmark::State& state) {
    openGame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        gameFrame();
        benchmark::DoNotOptimize(RedrawRequest);
    }
    if (RedrawRequest != 0 || movePlaying != 0) state.SkipWithError("the board was redrawn");
}
BENCHMARK(BM_CachedFrame)->Args({1024, 768})->Args({800, 600})->Unit(benchmark::kMicrosecond);

// The same with a piece selected: its target squares are outlined too.
void BM_CachedFrameWithSelection(benchmark::State& state) {
    openGame(1024, 768);
    MouseButton = 1; // a press near the centre selects the nearest piece
    gameFrame();
    MouseButton = 0;
    gameFrame();
    if (selectedPiece == -1 || targetSquareCount == 0) state.SkipWithError("no piece selected");
    for (auto _ : state) {
        gameFrame();
        benchmark::DoNotOptimize(RedrawRequest);
    }
}
BENCHMARK(BM_CachedFrameWithSelection)->Unit(benchmark::kMicrosecond);

// The parts of a cached frame, to see where its time goes.
void BM_PartBoardCopy(benchmark::State& state) {
    openGame(1024, 768);
    for (auto _ : state) {
        fillSurface(DDrawSurfaceBack, 0);
        copySurface(DDrawSurfaceBack, Backtemp);
    }
}
BENCHMARK(BM_PartBoardCopy)->Unit(benchmark::kMicrosecond);

void BM_PartMenu(benchmark::State& state) {
    openGame(1024, 768);
    for (auto _ : state) {
        for (int i = 0; i < 5; ++i) drawButton(10, 30 + 30 * i, 100, "BEGINNERS");
    }
}
BENCHMARK(BM_PartMenu)->Unit(benchmark::kMicrosecond);

void BM_PartHoverOutline(benchmark::State& state) {
    openGame(1024, 768);
    for (auto _ : state) outlineSquare(3, 3, 0xFFFF);
}
BENCHMARK(BM_PartHoverOutline)->Unit(benchmark::kMicrosecond);

void BM_PartCursor(benchmark::State& state) {
    openGame(1024, 768);
    for (auto _ : state) drawArrowCursor();
}
BENCHMARK(BM_PartCursor)->Unit(benchmark::kMicrosecond);

// For comparison: a frame that draws the whole 3D picture again.
void BM_RedrawnFrame(benchmark::State& state) {
    openGame(1024, 768);
    for (auto _ : state) {
        RedrawRequest = 1;
        gameFrame();
    }
}
BENCHMARK(BM_RedrawnFrame)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
