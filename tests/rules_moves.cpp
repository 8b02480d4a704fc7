// Move generation and application: the listing order, the capture obligation, the three
// rule sets' capture chains, crowning, and the records' capacity on extreme positions.
#include <gtest/gtest.h>

#include <set>

#include "rules/moves.h"
#include "rules/perft.h"
#include "tests/rules_test_util.h"

namespace {

TEST(Moves, ListedInOrderWithEachRuleSetsCaptures) {
    const struct {
        int32_t variant;
        const char *side0, *side1, *listed;
    } cases[] = {
        // Pieces in index order, steps in direction order.
        {0, "1.5,3.5,5.5,7.5,0.6,2.6,4.6,6.6,1.7,3.7,5.7,7.7", "",
         "7 0:2.4 0:0.4 1:4.4 1:2.4 2:6.4 2:4.4 3:6.4"},
        {1, "0.6,2.6,4.6,6.6,8.6", "", "9 0:1.5 1:3.5 1:1.5 2:5.5 2:3.5 3:7.5 3:5.5 4:9.5 4:7.5"},
        {0, "7.5,3.5", "2.4", "1 1:1.3"}, // a capture anywhere removes every plain move
        // Men capture forward only, except under "FRENCH 2".
        {0, "3.3", "4.4", "2 0:4.2 0:2.2"},
        {1, "3.3", "4.4", "2 0:4.2 0:2.2"},
        {2, "3.3", "4.4", "1 0:5.5"},
        {0, "4.6", "3.5,1.3,3.3", "2 0:2.4-0.2 0:2.4-4.2"}, // chains run on and fork
        // Kings capture short under US rules, from afar under French rules.
        {0, "1.1K", "3.3", "4 0:0.0 0:0.2 0:2.2 0:2.0"},
        {0, "2.2K", "3.3", "1 0:4.4"},
        {1, "1.1K", "3.3", "6 0:4.4 0:5.5 0:6.6 0:7.7 0:8.8 0:9.9"},
        {1, "0.0K,8.8", "3.3", "4 0:4.4 0:5.5 0:6.6 0:7.7"}, // stops anywhere beyond,
        {1, "0.0K,8.8", "3.3,7.3", "2 0:5.5-8.2 0:5.5-9.1"}, // unless it can go on
        {1, "0.0K", "2.2,4.6,6.4", "6 0:5.5-3.7 0:5.5-2.8 0:5.5-1.9 0:5.5-7.3 0:5.5-8.2 0:5.5-9.1"},
        {2, "4.2", "3.1,1.1", "1 0:2.0-0.2"}, // a "FRENCH 2" man crowned mid-chain jumps on
        {1, "4.2", "3.1,1.1", "1 0:2.0"},     // under "FRENCH 1" crowning ends the chain
    };
    for (const auto& c : cases) {
        const Position position = positionOf(c.variant, c.side0, c.side1);
        EXPECT_EQ(listMoves(position, 0), c.listed)
            << c.variant << " " << c.side0 << " / " << c.side1;
    }
    const Position start = positionOf(0, "", "0.0,2.0,4.0,6.0,1.1,3.1,5.1,7.1,0.2,2.2,4.2,6.2");
    EXPECT_EQ(listMoves(start, 1), "7 8:1.3 9:3.3 9:1.3 10:5.3 10:3.3 11:7.3 11:5.3");
}

// A snake of 14 men: the "FRENCH 2" man takes them all in one move of 14 jumps.
TEST(Capacity, AChainOfFourteenJumpsIsListedWhole) {
    const Position position =
        positionOf(2, "0.2", "1.1,3.1,5.1,7.1,7.3,5.3,3.3,3.5,5.5,7.5,7.7,5.7,3.7,1.7");
    const std::string snake = "0:2.0-4.2-6.0-8.2-6.4-4.2-2.4-4.6-6.4-8.6-6.8-4.6-2.8-0.6";
    int32_t longest = 0, found = 0;
    for (const Move& move : allMoves(position, 0)) {
        longest = std::max(longest, move.steps);
        if (formatMove(move) != snake) continue;
        ++found;
        Position after;
        playMove(position, after, move, 0);
        EXPECT_EQ(countPieces(after, 1), 0);
    }
    EXPECT_EQ(found, 1) << listMoves(position, 0);
    EXPECT_EQ(longest, 14);
}

TEST(Capacity, ThousandsOfCapturesAreListedWindowByWindow) {
    const Position position = positionOf(1, ManyCapturesSide0, ManyCapturesSide1);
    const std::vector<Move> moves = allMoves(position, 0);
    EXPECT_EQ(moves.size(), 6395u);
    EXPECT_EQ(perft(position, 0, 1), moves.size());
    std::set<std::string> distinct;
    int32_t longest = 0;
    for (const Move& move : moves) {
        distinct.insert(formatMove(move));
        longest = std::max(longest, move.steps);
        Position after;
        playMove(position, after, move, 0);
        EXPECT_EQ(countPieces(position, 1) - countPieces(after, 1), move.steps);
    }
    EXPECT_EQ(distinct.size(), moves.size());
    EXPECT_EQ(longest, 15);
}

TEST(Perft, UsRulesMatchesThePublishedCountsToDepth8) {
    selectRuleVariant(0);
    Position position;
    setUpPosition(position);
    const uint64_t expected[] = {1, 7, 49, 302, 1469, 7361, 36768, 179740, 845931};
    for (int32_t depth = 0; depth <= 8; ++depth)
        EXPECT_EQ(perft(position, 0, depth), expected[depth]) << depth;
}

} // namespace
