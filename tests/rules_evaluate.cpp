// The static evaluation pinned on positions where one term decides; the fast board's own
// evaluation is compared with this one on every position of rules_fast.cpp.
#include <gtest/gtest.h>

#include "rules/evaluate.h"
#include "tests/rules_test_util.h"

namespace {

TEST(Evaluate, EachTermOnAPositionWhereItDecides) {
    const struct {
        int32_t variant;
        const char *side0, *side1;
        int32_t side, value;
    } cases[] = {
        {0, "1.5", "", 0, 520},             // material and advancement
        {0, "1.5", "", 1, -520},            // seen from the other side
        {0, "5.3", "", 0, 550},             // the 8x8 table's 50, read unmirrored
        {0, "", "5.3", 0, -540},            // by both sides
        {1, "", "4.4", 1, 544},             // 10x10: 10 x (50 + 4) plus 20 / 5
        {1, "", "4.4K", 0, -(544 + 400)},   // French kings: more on the main diagonal
        {1, "", "4.6K", 0, -(563 + 300)},   //
        {0, "0.4,1.5,2.6", "3.3", 0, 1133}, // support from own pieces diagonally behind
        {0, "0.0K", "7.7K", 0, 0},          // US kings: distance to the first opposing king
        {0, "0.0K", "x,x,3.3K", 0, 43},     // captured records are skipped
    };
    for (const auto& c : cases) {
        EXPECT_EQ(evaluate(positionOf(c.variant, c.side0, c.side1), c.side), c.value)
            << c.variant << " " << c.side0 << " / " << c.side1;
    }
    for (const int32_t variant : {0, 1, 2}) {
        selectRuleVariant(variant);
        Position position;
        setUpPosition(position);
        EXPECT_EQ(evaluate(position, 0), 0) << variant;
    }
    // A captured piece whose stored row is behind the edge man is no support.
    Position position = positionOf(0, "0.4,1.5,2.6", "3.3");
    pieceOf(position, 0, 3) = {-1, 5, 0};
    EXPECT_EQ(supportBonus(0, 0, position), 50);
    EXPECT_EQ(kingDistanceTerm(positionOf(0, "0.0K", "1.1,3.3"), 0, 0), 0);
    EXPECT_EQ(kingDistanceTerm(positionOf(0, "0.0K", "1.1,2.2,3.3K,5.5,7.7K"), 0, 0), 40)
        << "the first opposing king only";
}

} // namespace
