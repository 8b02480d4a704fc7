// The static evaluation's terms, each checked on a position where it alone decides.
#include <gtest/gtest.h>

#include "rules/evaluate.h"
#include "tests/rules_test_util.h"

namespace {

TEST(Evaluate, TheOpeningPositionsAreEven) {
    for (const int32_t variant : {0, 1, 2}) {
        selectRuleVariant(variant);
        Position position;
        setUpPosition(position);
        EXPECT_EQ(evaluate(position, 0), 0) << variant;
        EXPECT_EQ(evaluate(position, 1), 0) << variant;
    }
}

TEST(Evaluate, MaterialAdvancementAndTheSquareTable) {
    const Position lone = positionOf(0, "1.5", "");
    EXPECT_EQ(evaluate(lone, 0), 520);
    EXPECT_EQ(evaluate(lone, 1), -520);
    // The 8x8 table gives 50 on 5.3, read unmirrored by both sides.
    EXPECT_EQ(evaluate(positionOf(0, "5.3", ""), 0), 540 + 10);
    EXPECT_EQ(evaluate(positionOf(0, "", "5.3"), 0), -(530 + 10));
    // 10x10: a side 1 man on 4.4 is worth 10 x (50 + 4) plus 20 / 5.
    EXPECT_EQ(evaluate(positionOf(1, "", "4.4"), 1), 544);
}

TEST(Evaluate, SupportCountsOwnPiecesDiagonallyBehindOnTheBoardOnly) {
    Position position = positionOf(0, "0.4,1.5,2.6", "3.3");
    EXPECT_EQ(supportBonus(0, 0, position), 50);
    EXPECT_EQ(supportBonus(1, 0, position), 50);
    EXPECT_EQ(supportBonus(0, 1, position), 0) << "3.3 has nothing behind it on side 1's side";
    // A captured piece whose stored row is behind the edge man must not count as support.
    pieceOf(position, 0, 3) = {-1, 5, 0};
    EXPECT_EQ(supportBonus(0, 0, position), 50);
    const Position both = positionOf(0, "2.4,1.5,3.5", "");
    EXPECT_EQ(supportBonus(0, 0, both), 100);
    EXPECT_EQ(supportBonus(0, 1, positionOf(0, "", "2.4,1.3,3.3,3.5")), 100);
}

TEST(Evaluate, FrenchKingsAreWorthMoreOnTheMainDiagonal) {
    EXPECT_EQ(evaluate(positionOf(1, "", "4.4K"), 0), -(540 + 4 + 400));
    EXPECT_EQ(evaluate(positionOf(1, "", "4.6K"), 0), -(560 + 3 + 300));
}

TEST(Evaluate, UsKingsScoreTheirDistanceToTheFirstOpposingKingOnly) {
    const Position position = positionOf(0, "0.0K", "1.1,2.2,3.3K,5.5,7.7K");
    // sqrt(18) = 4.24: 10 x (8 - 4); the king on 7.7 would give 10 x (8 - 9).
    EXPECT_EQ(kingDistanceTerm(position, 0, 0), 40);
    EXPECT_EQ(kingDistanceTerm(positionOf(0, "0.0K", "1.1,3.3"), 0, 0), 0);
    EXPECT_EQ(kingDistanceTerm(positionOf(0, "0.0K", "x,x,3.3K"), 0, 0), 40)
        << "captured pieces are skipped";
    // A lone king each: 10 x (50 + 7) + 25 / 5 + 300 + 10 x (8 - sqrt(98) = 9.9).
    const Position kings = positionOf(0, "0.0K", "7.7K");
    EXPECT_EQ(evaluate(kings, 0), (570 + 5 + 300 - 10) - (570 + 5 + 300 - 10));
}

} // namespace
