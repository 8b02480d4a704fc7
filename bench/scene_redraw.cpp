// The full board redraw of a frame: backdrop, then drawScene of the 40
// pieces of a 10 x 10 game, with the game's pictures, at the two large
// screen sizes. Run from the build tree's top folder (DATAS/ must be there).
#include "scene/backdrop.h"
#include "scene/scene.h"
#include "tests/scene_fixture.h"

#include <benchmark/benchmark.h>

namespace {

bool prepare(int width, int height) {
    if (!scene_fixture::openDisplay(width, height)) return false;
    const char* files[] = {"DATAS/DBLANC.RAW", "DATAS/DNOIR.RAW", "DATAS/PION1.RAW",
                           "DATAS/PION0.RAW",  nullptr,           "DATAS/FOND.RAW"};
    for (int slot = 0; slot < 6; ++slot) {
        if (files[slot] != nullptr && !scene_fixture::loadPicture(slot, files[slot])) return false;
    }
    scene_fixture::buildScene();
    selectRuleVariant(1);
    setUpPosition(gamePosition);
    return true;
}

void redraw(benchmark::State& state, bool backdrop, bool scene) {
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    if (!prepare(width, height)) {
        state.SkipWithError("no display or no DATAS/ pictures (run from the build folder)");
        return;
    }
    for (auto _ : state) {
        scene_fixture::beginFrame(0, -50, 0);
        if (backdrop && scene)
            drawSceneWithBackdrop(gamePosition, 1, static_cast<float>(width),
                                  static_cast<float>(height));
        else if (backdrop)
            drawBackdrop(BackdropTexture, static_cast<float>(width), static_cast<float>(height));
        else
            drawScene(gamePosition, 1);
        endScene();
        benchmark::ClobberMemory();
    }
    scene_fixture::closeDisplay();
}

void BM_FullRedraw(benchmark::State& state) {
    redraw(state, true, true);
}
void BM_BackdropOnly(benchmark::State& state) {
    redraw(state, true, false);
}
void BM_SceneOnly(benchmark::State& state) {
    redraw(state, false, true);
}

BENCHMARK(BM_FullRedraw)->Arg(1024)->Arg(800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackdropOnly)->Arg(1024)->Arg(800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneOnly)->Arg(1024)->Arg(800)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
