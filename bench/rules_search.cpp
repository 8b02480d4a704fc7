// The computer player's root search, the fast one beside the plain one that defines it: time
// per search and nodes per second at the game's depths on fixed middle games of each rule set,
// the two side by side on hard "EXPERT" middle games of the 10x10 boards, with the ratio, and
// the fast one on 10x10 king endings at "EXPERT". Fast searches start from an empty
// transposition table unless said otherwise.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "rules/fast_search.h"
#include "rules/notation.h"
#include "rules/search.h"
#include "tests/king_endings.h"

namespace {

struct Game {
    int32_t side; // to move
    const char* position;
};

// Middle games from self-play at "BEGINNERS".
const Game MiddleGames[] = {
    {0, "0 0.4,3.5,x,7.5,0.6,1.5,x,x,1.7,3.7,6.6,7.7 0.0,2.0,4.0,5.3,1.1,3.1,4.2,x,0.2,3.3,x,x"},
    {0, "0 0.4,x,x,7.5,0.6,1.5,x,x,1.7,x,4.4,7.7 0.0,2.0,4.0,x,2.2,3.1,3.3,x,0.2,x,x,x"},
    {0, "1 x,2.6,x,x,7.5,0.6,3.7,5.7,8.6,9.7,1.7,2.8,4.8,6.8,8.8,1.9,3.9,5.9,7.9,9.9 "
        "0.0,2.0,4.0,6.0,8.0,1.1,4.2,5.1,7.1,9.1,0.2,4.4,3.3,6.2,8.2,x,5.5,x,x,9.3"},
    {0, "1 x,2.6,x,x,7.5,0.4,3.7,4.6,8.6,9.7,1.7,2.8,4.8,6.8,x,0.8,3.9,5.9,7.9,8.8 "
        "1.1,2.0,3.1,6.0,8.0,3.3,4.2,5.1,7.1,9.1,0.2,6.6,4.4,6.2,8.2,x,x,x,x,9.3"},
    {0, "2 x,2.6,x,x,7.5,0.6,3.7,5.7,8.6,9.7,1.7,2.8,4.8,6.8,8.8,1.9,3.9,5.9,7.9,9.9 "
        "0.0,2.0,4.0,6.0,8.0,1.1,3.1,5.1,7.1,9.1,0.2,4.4,3.3,7.3,8.2,x,5.5,x,x,9.3"},
    {0, "2 x,2.6,x,x,x,0.6,3.7,x,x,9.7,1.7,2.8,4.8,6.8,7.7,1.9,3.9,5.9,7.9,9.9 "
        "1.1,2.0,4.0,6.0,8.0,2.2,3.1,4.4,7.1,9.1,0.2,x,3.3,x,8.2,x,x,x,x,x"},
};

// The 10x10 middle games from self-play on which the plain "EXPERT" search took longest.
const Game HardGames[] = {
    {0, "2 x,4.4,x,x,x,0.6,x,4.6,7.7,9.7,1.7,3.7,4.8,5.7,8.8,1.9,2.8,5.9,7.9,9.9 "
        "0.0,2.0,4.0,6.2,7.1,1.1,3.1,5.1,8.2,9.1,0.2,2.2,4.2,x,8.4,x,x,x,x,x"},
    {0, "2 x,x,x,x,x,0.6,x,5.7,x,8.6,2.6,3.7,4.8,6.8,9.7,0.8,3.9,5.9,7.9,7.7 "
        "1.1,2.0,4.0,6.0,7.3,2.2,3.1,6.2,7.1,x,0.2,x,4.2,5.3,9.3,x,x,x,x,x"},
    {0, "1 x,2.6,x,x,x,1.7,3.7,x,x,9.7,0.8,2.8,4.8,6.4,7.7,1.9,3.9,5.9,7.9,9.9 "
        "1.1,2.0,4.0,8.2,8.0,0.2,3.1,5.1,x,9.1,1.3,2.2,4.2,x,x,0.6,4.4,x,x,x"},
    {0, "2 x,x,x,x,x,1.5,x,2.4,7.7,9.7,2.6,4.6,5.7,6.6,8.8,1.9,2.8,5.9,7.9,9.9 "
        "0.0,2.0,4.0,7.3,6.2,1.1,3.1,5.1,9.3,9.1,0.2,1.3,x,x,8.4,x,x,x,x,x"},
    {0, "2 x,x,x,x,x,0.6,x,2.4,7.7,9.7,1.7,3.7,5.7,6.6,8.8,1.9,2.8,5.9,7.9,9.9 "
        "0.0,2.0,4.0,7.3,7.1,1.1,3.1,5.1,8.2,9.1,0.2,2.2,x,x,8.4,x,x,x,x,x"},
    {0, "1 x,2.6,x,x,x,1.7,3.7,6.4,x,9.7,0.8,2.8,4.8,6.8,7.7,1.9,3.9,5.9,7.9,9.9 "
        "0.0,2.0,4.0,8.2,8.0,0.2,3.1,5.1,6.2,9.1,1.3,2.2,4.2,x,x,0.6,4.4,x,x,x"},
    {0, "1 x,x,x,6.6,x,x,x,5.7,7.7,8.6,0.8,4.6,2.6,6.8,8.8,2.8,1.7,5.9,7.9,9.9 "
        "1.1,2.0,5.1,6.0,8.0,x,3.1,6.2,7.1,9.1,0.2,x,4.2,x,8.2,x,x,x,7.3,9.3"},
    {0, "1 x,2.6,x,x,7.5,0.6,3.7,5.7,8.6,9.7,1.7,2.8,4.8,6.8,x,0.8,3.9,5.9,7.9,8.8 "
        "0.0,2.0,3.1,6.0,8.0,2.2,4.2,5.1,7.1,9.1,0.2,6.6,3.3,6.2,8.2,x,x,x,x,9.3"},
};

Position loadKingEnding(const KingEnding& ending) {
    std::string text = std::to_string(ending.variant);
    for (const char* kings : ending.kings) {
        text += std::string(" ") + kings;
        const int32_t count =
            static_cast<int32_t>(std::count(kings, kings + std::strlen(kings), ','));
        for (int32_t i = count + 1; i < 20; ++i) text += ",x";
    }
    Position position;
    int32_t variant = 0;
    parsePosition(text, position, variant);
    selectRuleVariant(variant);
    return position;
}

Position load(const Game& game) {
    Position position;
    int32_t variant = 0;
    parsePosition(game.position, position, variant);
    selectRuleVariant(variant);
    return position;
}

// Arguments: middle game, level.
void plainSearch(benchmark::State& state) {
    const Game& game = MiddleGames[state.range(0)];
    const Position position = load(game);
    const int32_t depth = levelSearchDepth(static_cast<int32_t>(state.range(1)));
    const uint64_t nodesBefore = searchNodes;
    for (auto _ : state) benchmark::DoNotOptimize(plainSearchRoot(position, game.side, depth));
    const double nodes = static_cast<double>(searchNodes - nodesBefore);
    state.counters["nodes"] = benchmark::Counter(nodes, benchmark::Counter::kAvgIterations);
    state.counters["nodes/s"] = benchmark::Counter(nodes, benchmark::Counter::kIsRate);
    state.SetLabel(std::string(ruleVariants[ruleVariant].label) + " depth " +
                   std::to_string(depth));
}

void fastSearch(benchmark::State& state) {
    const Game& game = MiddleGames[state.range(0)];
    const Position position = load(game);
    const int32_t depth = levelSearchDepth(static_cast<int32_t>(state.range(1)));
    uint64_t nodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        clearTranspositions();
        const uint64_t before = fastSearchNodes;
        state.ResumeTiming();
        benchmark::DoNotOptimize(fastSearchRoot(position, game.side, depth));
        nodes += fastSearchNodes - before;
    }
    const double total = static_cast<double>(nodes);
    state.counters["nodes"] = benchmark::Counter(total, benchmark::Counter::kAvgIterations);
    state.counters["nodes/s"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
    state.SetLabel(std::string(ruleVariants[ruleVariant].label) + " depth " +
                   std::to_string(depth));
}

BENCHMARK(plainSearch)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}})
    ->ArgNames({"game", "level"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(fastSearch)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}})
    ->ArgNames({"game", "level"})
    ->Unit(benchmark::kMillisecond);

double cpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// The calling thread's own processor time: with the helper beside it, what the player would
// wait on a machine with a core free for each.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// Both searches at "EXPERT" on positions 0..count-1 of loadAt (which selects their rule set
// and gives the side to move), in processor seconds (the machine is shared): totals, the
// ratio, and the slowest fast search. A differing answer fails the benchmark.
void sideBySide(benchmark::State& state, int64_t count, Position (*loadAt)(int64_t, int32_t&)) {
    double plain = 0, fast = 0, slowestFast = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < count; ++i) {
            int32_t side = 0;
            const Position position = loadAt(i, side);
            double start = cpuSeconds();
            const int32_t plainValue = plainSearchRoot(position, side, 9);
            const Move plainMove = bestMove[0];
            plain += cpuSeconds() - start;
            clearTranspositions();
            start = cpuSeconds();
            const int32_t fastValue = fastSearchRoot(position, side, 9);
            const double took = cpuSeconds() - start;
            fast += took;
            slowestFast = std::max(slowestFast, took);
            if (fastValue != plainValue || !sameMove(plainMove, bestMove[0])) {
                state.SkipWithError("the fast search answered differently");
            }
        }
    }
    state.counters["plain_s"] = plain;
    state.counters["fast_s"] = fast;
    state.counters["ratio"] = plain / fast;
    state.counters["slowest_fast_ms"] = slowestFast * 1000;
}

void hardGamesSideBySide(benchmark::State& state) {
    sideBySide(state, std::size(HardGames), [](int64_t i, int32_t& side) {
        side = HardGames[i].side;
        return load(HardGames[i]);
    });
}

BENCHMARK(hardGamesSideBySide)->Iterations(1)->Unit(benchmark::kSecond);

// The fast search on every king ending at "EXPERT" (depth 9), each from an empty table, on
// one thread or with the helper thread beside it (argument 1 or 2): the median and the
// slowest in wall time (what the player waits), in processor time summed over the threads and
// in the searching thread's own (the machine is shared, so the wall time is only as good as
// the load allows).
void kingEndings(benchmark::State& state) {
    if (state.range(0) == 2 && !startSearchHelper()) state.SkipWithError("no helper thread");
    std::vector<double> wall, cpu, own;
    uint64_t nodes = 0;
    for (auto _ : state) {
        wall.clear();
        cpu.clear();
        own.clear();
        for (const KingEnding& ending : KingEndings) {
            const Position position = loadKingEnding(ending);
            clearTranspositions();
            const uint64_t before = fastSearchNodes;
            const auto startWall = std::chrono::steady_clock::now();
            const double start = cpuSeconds(), startOwn = threadSeconds();
            benchmark::DoNotOptimize(fastSearchRoot(position, ending.side, 9));
            own.push_back(threadSeconds() - startOwn);
            cpu.push_back(cpuSeconds() - start);
            wall.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - startWall)
                    .count());
            nodes += fastSearchNodes - before;
        }
    }
    stopSearchHelper();
    state.counters["slowest_at"] =
        static_cast<double>(std::max_element(wall.begin(), wall.end()) - wall.begin());
    for (auto [name, took] :
         {std::pair{"", &wall}, std::pair{"cpu_", &cpu}, std::pair{"own_", &own}}) {
        std::sort(took->begin(), took->end());
        state.counters[std::string(name) + "median_ms"] = (*took)[took->size() / 2] * 1000;
        state.counters[std::string(name) + "slowest_ms"] = took->back() * 1000;
    }
    state.counters["nodes"] = benchmark::Counter(
        static_cast<double>(nodes) / std::size(KingEndings), benchmark::Counter::kAvgIterations);
}

BENCHMARK(kingEndings)->Arg(1)->Arg(2)->ArgName("threads")->Iterations(1)->Unit(benchmark::kSecond);

// The first king endings side by side: the plain search takes minutes on the larger ones.
void kingEndingsSideBySide(benchmark::State& state) {
    sideBySide(state, state.range(0), [](int64_t i, int32_t& side) {
        side = KingEndings[i].side;
        return loadKingEnding(KingEndings[i]);
    });
}

BENCHMARK(kingEndingsSideBySide)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
