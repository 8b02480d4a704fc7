// The search's worker thread: how soon an abandoned search lets go (the wait a BEGIN, a take back
// or Escape adds to its frame), and what a search costs through the worker beside the same
// search called directly.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "game/search_worker.h"
#include "rules/fast_search.h"
#include "rules/notation.h"

namespace {

// A "FRENCH 1" middle game from self-play; at depth 20 its search runs for far longer than
// any measurement.
constexpr const char* MiddleGame =
    "1 x,2.6,x,x,7.5,0.6,3.7,5.7,8.6,9.7,1.7,2.8,4.8,6.8,8.8,1.9,3.9,5.9,7.9,9.9 "
    "0.0,2.0,4.0,6.0,8.0,1.1,4.2,5.1,7.1,9.1,0.2,4.4,3.3,6.2,8.2,x,5.5,x,x,9.3";

Position middleGame() {
    Position position;
    int32_t variant = 0;
    parsePosition(MiddleGame, position, variant);
    selectRuleVariant(variant);
    return position;
}

// Only the abandonment is timed; the search has had a few milliseconds to get deep.
void BM_AbandonRunningSearch(benchmark::State& state) {
    const Position position = middleGame();
    SearchBesideFrames = true;
    for (auto _ : state) {
        state.PauseTiming();
        startSearch(SearchPurpose::ComputerMove, position, 0, MaxSearchDepth);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        state.ResumeTiming();
        abandonSearch();
    }
    SearchBesideFrames = false;
}
BENCHMARK(BM_AbandonRunningSearch)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The "EXPERT" search of the middle game, warm table, through the worker (1) or called (0).
void BM_SearchThroughWorker(benchmark::State& state) {
    const Position position = middleGame();
    SearchBesideFrames = state.range(0) == 1;
    for (auto _ : state) {
        startSearch(SearchPurpose::ComputerMove, position, 0, 9);
        while (!searchAnswerReady()) std::this_thread::yield();
        benchmark::DoNotOptimize(takeSearchAnswer());
    }
    SearchBesideFrames = false;
}
BENCHMARK(BM_SearchThroughWorker)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
