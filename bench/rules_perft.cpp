// Move-path counts of "US RULES" from the start against the published table: the plain
// generator and the board's, which counts the last ply's moves without making them.
#include <benchmark/benchmark.h>

#include "rules/fast_board.h"
#include "rules/perft.h"

namespace {

const uint64_t Published[] = {1,     7,      49,     302,     1469,     7361,
                              36768, 179740, 845931, 3963680, 18391564, 85242128};

// Argument: depth. The count is checked, so a fast wrong generator cannot pass for fast.
template <uint64_t (*Count)(const Position&, int32_t, int32_t)>
void countPaths(benchmark::State& state) {
    const int32_t depth = static_cast<int32_t>(state.range(0));
    selectRuleVariant(0);
    Position position;
    setUpPosition(position);
    for (auto _ : state) {
        if (Count(position, 0, depth) != Published[depth]) state.SkipWithError("wrong count");
    }
    state.counters["paths/s"] = benchmark::Counter(static_cast<double>(Published[depth]),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(countPaths<perft>)->Name("plainPerft")->Arg(9)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(countPaths<fastPerft>)
    ->Name("fastPerft")
    ->Arg(9)
    ->Arg(10)
    ->Arg(11)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
