// The computer player's root search at the game's depths on fixed middle games of each rule
// set: time per search and nodes per second.
#include <benchmark/benchmark.h>

#include "rules/notation.h"
#include "rules/search.h"

namespace {

// Middle games from self-play at "BEGINNERS", side 0 to move.
const char* const MiddleGames[] = {
    "0 0.4,3.5,x,7.5,0.6,1.5,x,x,1.7,3.7,6.6,7.7 0.0,2.0,4.0,5.3,1.1,3.1,4.2,x,0.2,3.3,x,x",
    "0 0.4,x,x,7.5,0.6,1.5,x,x,1.7,x,4.4,7.7 0.0,2.0,4.0,x,2.2,3.1,3.3,x,0.2,x,x,x",
    "1 x,2.6,x,x,7.5,0.6,3.7,5.7,8.6,9.7,1.7,2.8,4.8,6.8,8.8,1.9,3.9,5.9,7.9,9.9 "
    "0.0,2.0,4.0,6.0,8.0,1.1,4.2,5.1,7.1,9.1,0.2,4.4,3.3,6.2,8.2,x,5.5,x,x,9.3",
    "1 x,2.6,x,x,7.5,0.4,3.7,4.6,8.6,9.7,1.7,2.8,4.8,6.8,x,0.8,3.9,5.9,7.9,8.8 "
    "1.1,2.0,3.1,6.0,8.0,3.3,4.2,5.1,7.1,9.1,0.2,6.6,4.4,6.2,8.2,x,x,x,x,9.3",
    "2 x,2.6,x,x,7.5,0.6,3.7,5.7,8.6,9.7,1.7,2.8,4.8,6.8,8.8,1.9,3.9,5.9,7.9,9.9 "
    "0.0,2.0,4.0,6.0,8.0,1.1,3.1,5.1,7.1,9.1,0.2,4.4,3.3,7.3,8.2,x,5.5,x,x,9.3",
    "2 x,2.6,x,x,x,0.6,3.7,x,x,9.7,1.7,2.8,4.8,6.8,7.7,1.9,3.9,5.9,7.9,9.9 "
    "1.1,2.0,4.0,6.0,8.0,2.2,3.1,4.4,7.1,9.1,0.2,x,3.3,x,8.2,x,x,x,x,x",
};

// Arguments: middle game, level.
void plainSearch(benchmark::State& state) {
    Position position;
    int32_t variant = 0;
    parsePosition(MiddleGames[state.range(0)], position, variant);
    selectRuleVariant(variant);
    const int32_t depth = levelSearchDepth(static_cast<int32_t>(state.range(1)));
    const uint64_t nodesBefore = searchNodes;
    for (auto _ : state) benchmark::DoNotOptimize(searchRoot(position, 0, depth));
    const double nodes = static_cast<double>(searchNodes - nodesBefore);
    state.counters["nodes"] = benchmark::Counter(nodes, benchmark::Counter::kAvgIterations);
    state.counters["nodes/s"] = benchmark::Counter(nodes, benchmark::Counter::kIsRate);
    state.SetLabel(std::string(ruleVariants[variant].label) + " depth " + std::to_string(depth));
}

BENCHMARK(plainSearch)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}})
    ->ArgNames({"game", "level"})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
