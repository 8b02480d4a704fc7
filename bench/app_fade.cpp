// The fade player's cost per frame (the whole screen converted on the CPU
// through the brightness tables) and the cost of starting an intro from its
// file. Run from the build tree's top folder, where DATAS/ is.

#include <benchmark/benchmark.h>

#include "app/fade.h"
#include "platform/platform.h"
#include "render/screen.h"
#include "tests/headless_screen.h"

namespace {

void playFrame(benchmark::State& state) {
    int width = static_cast<int>(state.range(0));
    openHeadlessScreen(width, width * 3 / 4, state.range(1) != 0);
    Sequence s;
    startSequence(&s, 3, 0.1f, nullptr, 1);
    for (auto _ : state) {
        s.fadeLevel = 0.55f; // mid fade-in: the tables change every frame
        benchmark::DoNotOptimize(playSequenceFrame(&s));
    }
    state.SetItemsProcessed(state.iterations() * width * (width * 3 / 4));
}

void startIntroFromFile(benchmark::State& state) {
    openHeadlessScreen(800, 600, false);
    Sequence s;
    for (auto _ : state) {
        const char* failure = startSequence(&s, 3, 0.1f, "DATAS/CHECKERS.RAW", 0);
        if (failure) state.SkipWithError(failure);
    }
}

} // namespace

BENCHMARK(playFrame)->Args({640, 0})->Args({800, 0})->Args({1024, 0})->Args({1024, 1})->Unit(
    benchmark::kMicrosecond);

BENCHMARK(startIntroFromFile)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
