// The text forms of positions and moves: what is written reads back the same, and every
// malformed text is refused with a reason.
#include <gtest/gtest.h>

#include <utility>

#include "rules/notation.h"

namespace {

TEST(Notation, PositionsReadBackAsWritten) {
    const std::string text = "1 0.6,x,4.6K,6.6,8.6,1.7,3.7,5.7,7.7,9.7,0.8,2.8,4.8,6.8,8.8,1.9,3.9,"
                             "5.9,7.9,9.9 0.0,2.0,4.0,6.0,8.0,1.1,3.1,5.1,7.1,9.1,0.2,2.2,4.2,6.2,"
                             "8.2,1.3,3.3,5.3,7.3,9.3K";
    Position position;
    int32_t variant = -1;
    ASSERT_EQ(parsePosition(text, position, variant), "");
    EXPECT_EQ(variant, 1);
    EXPECT_EQ(formatPosition(position, variant), text);
    EXPECT_EQ(position.pieces[1].column, -1);
    EXPECT_EQ(position.pieces[1].row, 0);
    EXPECT_EQ(position.pieces[2].king, 1);
}

TEST(Notation, MalformedPositionsAreRefusedWithAReason) {
    const std::string us0 = "1.5,3.5,5.5,7.5,0.6,2.6,4.6,6.6,1.7,3.7,5.7,7.7";
    const std::string us1 = "0.0,2.0,4.0,6.0,1.1,3.1,5.1,7.1,0.2,2.2,4.2,6.2";
    // The start with side 0's first piece written as given.
    const auto first = [&](const std::string& piece) {
        return "0 " + piece + us0.substr(3) + " " + us1;
    };
    const std::pair<std::string, std::string> cases[] = {
        {"0 " + us0, "fields"},
        {"3 " + us0 + " " + us1, "variant"},
        {first("1.5,x"), "needs 12"},
        {"0 " + us0 + " " + us1.substr(4), "needs 12"},
        {first("8.0"), "off the 8x8 board"},
        {first("1.4"), "not a playing square"},
        {first("0.0"), "two pieces on square 0.0"},
        {first("3.5"), "two pieces on square 3.5"},
        {first("1.5k"), "bad square"},
        {first("-1.5"), "bad square"},
        {first(""), "bad square"},
        {"0 1.5," + us0.substr(7) + " " + us1, "bad square"}};
    for (const auto& c : cases) {
        Position position;
        int32_t variant = 0;
        const std::string error = parsePosition(c.first, position, variant);
        EXPECT_NE(error.find(c.second), std::string::npos) << c.first << " -> " << error;
    }
}

TEST(Notation, MovesReadBackAsWrittenAndBadOnesAreRefused) {
    Move move;
    ASSERT_EQ(parseMove("9:4.2-2.0-4.6", 0, move), "");
    EXPECT_EQ(move.piece, 9);
    EXPECT_EQ(move.steps, 3);
    EXPECT_EQ(formatMove(move), "9:4.2-2.0-4.6");
    EXPECT_EQ(parseMove("19:9.9", 1, move), "");
    for (const char* bad :
         {"12:1.1", "0-1.1", "0:1.1-", "0:", "a:1.1", "0:8.8", "0:1.2", ":1.1", "0:1.1:2.2"})
        EXPECT_NE(parseMove(bad, 0, move), "") << bad;
    std::string longest = "0:1.1";
    for (int32_t k = 1; k < MaxPathSteps; ++k) longest += "-1.1";
    EXPECT_EQ(parseMove(longest, 1, move), "");
    EXPECT_NE(parseMove(longest + "-1.1", 1, move), "");
}

} // namespace
