// The computer player: the search checked against a plain minimax on positions from random
// games, the depths of the levels, and the opening steps drawn from the random generator.
#include <gtest/gtest.h>

#include <tuple>

#include "rules/evaluate.h"
#include "rules/random.h"
#include "rules/search.h"
#include "tests/rules_test_util.h"

namespace {

std::string searchText(const Position& position, int32_t side, int32_t depth) {
    return searchAnswer(plainSearchRoot(position, side, depth));
}

// The terminal values and the blocked-human rule are checked against the fast search (on the
// same positions, in rules_fast.cpp) and against the minimax below.
TEST(Search, LevelDepths) {
    const int32_t depths[3][2] = {{7, 9}, {5, 9}, {5, 9}};
    for (const int32_t variant : {0, 1, 2}) {
        selectRuleVariant(variant);
        EXPECT_EQ(levelSearchDepth(0), depths[variant][0]) << variant;
        EXPECT_EQ(levelSearchDepth(1), depths[variant][1]) << variant;
    }
}

// Plain minimax over the same tree: no pruning, so it is right by construction. At the root it
// names the first move of greatest value, if that beats the window's floor.
int32_t minimax(int32_t ply, int32_t depth, const Position& position, int32_t side,
                std::string* first = nullptr) {
    if (ply == depth) return evaluate(position, side);
    const std::vector<Move> moves = allMoves(position, side);
    if (moves.empty()) {
        if (ply % 2 == 1 && countPieces(position, side) > 0) return BlockedValue;
        return (ply - depth - 1) * LossStep;
    }
    int32_t best = ply == 0 ? -SearchInfinity : INT32_MIN;
    for (const Move& move : moves) {
        Position child;
        playMove(position, child, move, side);
        const int32_t value = -minimax(ply + 1, depth, child, 1 - side);
        if (value > best && first != nullptr) *first = formatMove(move);
        best = std::max(best, value);
    }
    return best;
}

std::string minimaxRoot(const Position& position, int32_t side, int32_t depth) {
    // Terminal roots are checked against the fast search.
    if (allMoves(position, side).empty()) return searchText(position, side, depth);
    std::string first = "none";
    const int32_t value = minimax(0, depth, position, side, &first);
    return std::to_string(value) + " " + first;
}

TEST(Search, AgreesWithPlainMinimaxOnRandomGamesAndAWideNode) {
    int32_t compared = 0;
    for (const SampledPosition& sample : sampleRandomGames(7, 6, 7, 60)) {
        selectRuleVariant(sample.variant);
        const int32_t depth = 1 + compared++ % 4;
        ASSERT_EQ(searchText(sample.position, sample.side, depth),
                  minimaxRoot(sample.position, sample.side, depth))
            << formatPosition(sample.position, sample.variant) << " side " << sample.side
            << " depth " << depth;
    }
    EXPECT_GT(compared, 100);
    // A node with more moves than a list holds is searched whole.
    const Position wide = positionOf(1, ManyCapturesSide0, ManyCapturesSide1);
    EXPECT_EQ(searchText(wide, 0, 1), minimaxRoot(wide, 0, 1));
}

TEST(Random, TheGeneratorAndTheOpeningStepsDrawnFromIt) {
    // The generator's sequence from its start (41, 18467, 6334, ...) is checked through
    // korvath-engine's "rand" and "selfplay".
    selectRuleVariant(0);
    Position position;
    setUpPosition(position);
    // Side 0: 41 picks piece 0 on 1.5, 18467 (> 16000) sends it to column 0, two draws for a
    // man off the edge. Side 1: 41 picks piece 8 on column 0, one draw, the step goes to 1.3.
    const std::tuple<int32_t, int32_t, const char*, int32_t> steps[] = {{0, 0, "0.4", 6334},
                                                                        {1, 8, "1.3", 18467}};
    for (const auto& [side, piece, target, next] : steps) {
        randomState = 1;
        const OpeningStep step = chooseOpeningMove(position, side);
        EXPECT_EQ(step.piece, piece);
        EXPECT_EQ(formatSquare(step.target), target);
        EXPECT_EQ(nextRandom(), next) << side;
    }
}

TEST(Random, OpeningStepsAvoidSquaresWithAPieceDiagonallyAhead) {
    // Only piece 0's step to 0.4 has nothing diagonally ahead of its target.
    const Position position = positionOf(0, "1.5,3.5,5.5,7.5", "3.3,5.3,7.3");
    for (uint32_t seed = 1; seed < 40; ++seed) {
        randomState = seed;
        const OpeningStep step = chooseOpeningMove(position, 0);
        EXPECT_EQ(step.piece, 0);
        EXPECT_EQ(formatSquare(step.target), "0.4");
    }
    // No man can step quietly: no step, instead of drawing for ever.
    const Position blocked = positionOf(0, "1.5,3.5,5.5,7.5", "1.3,3.3,5.3,7.3");
    EXPECT_EQ(chooseOpeningMove(blocked, 0).piece, -1);
}

} // namespace
