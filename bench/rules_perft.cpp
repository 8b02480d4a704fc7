// Move-path counts of "US RULES" from the start, against the published table.
#include <benchmark/benchmark.h>

#include "rules/perft.h"

namespace {

// Argument: depth. The count is checked, so a fast wrong generator cannot pass for fast.
void plainPerft(benchmark::State& state) {
    static const uint64_t expected[] = {1,     7,      49,     302,     1469,     7361,
                                        36768, 179740, 845931, 3963680, 18391564, 85242128};
    const int32_t depth = static_cast<int32_t>(state.range(0));
    selectRuleVariant(0);
    Position position;
    setUpPosition(position);
    for (auto _ : state) {
        const uint64_t count = perft(position, 0, depth);
        if (count != expected[depth]) state.SkipWithError("wrong count");
    }
    state.counters["paths/s"] = benchmark::Counter(static_cast<double>(expected[depth]),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(plainPerft)->Arg(9)->Arg(10)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
