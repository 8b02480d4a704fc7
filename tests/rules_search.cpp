// The computer player: the search's terminal values and its blocked-opponent rule, the
// search checked against a plain minimax on positions from random games, the depths of the
// levels, the random generator and the opening steps.
#include <gtest/gtest.h>

#include <random>

#include "rules/evaluate.h"
#include "rules/random.h"
#include "rules/search.h"
#include "tests/rules_test_util.h"

namespace {

std::string searchText(const Position& position, int32_t side, int32_t depth) {
    const int32_t value = plainSearchRoot(position, side, depth);
    return std::to_string(value) + " " +
           (bestMove[0].piece == -1 ? std::string("none") : formatMove(bestMove[0]));
}

TEST(SearchTerminals, AComputerWithoutMovesLosesAtTheRoot) {
    EXPECT_EQ(searchText(positionOf(0, "", "0.0"), 0, 5), "-333330 none");
    // Blocked with pieces is still a loss for the computer: the rule spares only the human.
    EXPECT_EQ(searchText(positionOf(0, "0.0", "2.2"), 0, 3), "-222220 none");
}

TEST(SearchTerminals, TakingTheLastPieceWinsAndSoonerIsBetter) {
    EXPECT_EQ(searchText(positionOf(0, "3.3", "2.2"), 0, 3), "166665 0:1.1");
    EXPECT_EQ(searchText(positionOf(0, "3.3", "2.2"), 0, 7), "388885 0:1.1");
}

TEST(SearchTerminals, TheComputerNeverLeavesTheHumanBlockedWithPieces) {
    // Both moves of side 0 leave side 1's man on 0.6 without a move.
    const Position position = positionOf(0, "1.7,2.6", "0.6");
    EXPECT_EQ(searchText(position, 0, 2), "-1000000 none");
    EXPECT_EQ(searchText(position, 0, 5), "-1000000 none");
    // At depth 1 the reply is never generated, so the evaluation decides.
    EXPECT_EQ(searchText(position, 0, 1), "456 1:3.5");
}

// Plain minimax over the same tree: no pruning, so it is right by construction.
int32_t minimax(int32_t ply, int32_t depth, const Position& position, int32_t side) {
    if (ply == depth) return evaluate(position, side);
    const std::vector<Move> moves = allMoves(position, side);
    if (moves.empty()) {
        if (ply % 2 == 1 && countPieces(position, side) > 0) return BlockedValue;
        return (ply - depth - 1) * LossStep;
    }
    int32_t best = INT32_MIN;
    for (const Move& move : moves) {
        Position child;
        playMove(position, child, move, side);
        best = std::max(best, -minimax(ply + 1, depth, child, 1 - side));
    }
    return best;
}

// The root's answer from plain minimax: the first move of greatest value, if it beats the
// window's floor.
std::string minimaxRoot(const Position& position, int32_t side, int32_t depth) {
    const std::vector<Move> moves = allMoves(position, side);
    if (moves.empty()) return searchText(position, side, depth); // terminal: checked above
    int32_t best = -SearchInfinity;
    std::string text = "none";
    for (const Move& move : moves) {
        Position child;
        playMove(position, child, move, side);
        const int32_t value = -minimax(1, depth, child, 1 - side);
        if (value > best) best = value, text = formatMove(move);
    }
    return std::to_string(best) + " " + text;
}

TEST(Search, AgreesWithPlainMinimaxOnPositionsFromRandomGames) {
    std::mt19937 random(7);
    int32_t compared = 0;
    for (const int32_t variant : {0, 1, 2}) {
        for (int32_t game = 0; game < 6; ++game) {
            selectRuleVariant(variant);
            Position position;
            setUpPosition(position);
            for (int32_t ply = 0; ply < 60; ++ply) {
                const int32_t side = ply % 2;
                const std::vector<Move> moves = allMoves(position, side);
                if (moves.empty()) break;
                if (ply % 7 == 3) {
                    const int32_t depth = 1 + (ply / 7) % 4;
                    ASSERT_EQ(searchText(position, side, depth), minimaxRoot(position, side, depth))
                        << formatPosition(position, variant) << " side " << side << " depth "
                        << depth;
                    ++compared;
                }
                const Position before = position;
                playMove(before, position, moves[random() % moves.size()], side);
            }
        }
    }
    EXPECT_GT(compared, 100);
}

TEST(Search, ANodeWithMoreMovesThanAListHoldsIsSearchedWhole) {
    const Position position = positionOf(1, ManyCapturesSide0, ManyCapturesSide1);
    EXPECT_EQ(searchText(position, 0, 1), minimaxRoot(position, 0, 1));
}

TEST(Search, LevelsSearchToTheirDepths) {
    selectRuleVariant(0);
    EXPECT_EQ(levelSearchDepth(0), 7);
    EXPECT_EQ(levelSearchDepth(1), 9);
    for (const int32_t variant : {1, 2}) {
        selectRuleVariant(variant);
        EXPECT_EQ(levelSearchDepth(0), 5);
        EXPECT_EQ(levelSearchDepth(1), 9);
    }
}

TEST(Random, TheGeneratorStartsAtOneAndOpeningsDrawFromIt) {
    ASSERT_EQ(randomState, 1u) << "no test before this one draws";
    EXPECT_EQ(nextRandom(), 41);
    EXPECT_EQ(nextRandom(), 18467);
    EXPECT_EQ(nextRandom(), 6334);
    EXPECT_EQ(nextRandom(), 26500);
    EXPECT_EQ(nextRandom(), 19169);

    selectRuleVariant(0);
    Position position;
    setUpPosition(position);
    // 41 picks piece 0 on 1.5, 18467 (> 16000) sends it to column 0.
    randomState = 1;
    OpeningStep step = chooseOpeningMove(position, 0);
    EXPECT_EQ(step.piece, 0);
    EXPECT_EQ(formatSquare(step.target), "0.4");
    EXPECT_EQ(nextRandom(), 6334) << "two draws for a man off the edge";
    // For side 1, 41 picks piece 8 on column 0: one draw, the step goes to column 1.
    randomState = 1;
    step = chooseOpeningMove(position, 1);
    EXPECT_EQ(step.piece, 8);
    EXPECT_EQ(formatSquare(step.target), "1.3");
    EXPECT_EQ(nextRandom(), 18467);
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
