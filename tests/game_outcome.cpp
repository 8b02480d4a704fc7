// The end of a game: a side without a piece or without a move loses under every rule
// set, and the three draw rules fire exactly at their ply, counted over the game's
// record; the record's result tag follows.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "game/outcome.h"
#include "game/record.h"
#include "tests/rules_test_util.h"

namespace {

// "result/reason" as numbers: "0/0" is an ongoing game.
std::string judge(const Position& position, int toMove, const std::vector<PlayedMove>& history) {
    const Outcome o = judgeGame(position, toMove, history);
    return std::to_string(static_cast<int>(o.result)) + "/" +
           std::to_string(static_cast<int>(o.reason));
}

// A game's judgements after each of its plies, in short: "49 ongoing, then 3/4".
std::string judgeEachPly(const std::vector<PlayedMove>& history, const Position& last) {
    std::string text;
    int ongoing = 0;
    for (size_t i = 0; i < history.size(); ++i) {
        const std::vector<PlayedMove> played(history.begin(), history.begin() + i + 1);
        const Position& after = i + 1 < history.size() ? history[i + 1].before : last;
        const std::string judged = judge(after, 1 - history[i].side, played);
        if (judged == "0/0" && text.empty()) ++ongoing;
        if (judged != "0/0" || !text.empty()) text += ", then " + judged;
    }
    return std::to_string(ongoing) + " ongoing" + text;
}

std::string placementKey(const Position& position, int toMove) {
    return std::to_string(toMove) + formatPosition(position, ruleVariant);
}

// Whether the move takes nothing and leaves the other side no capture.
bool isQuiet(const Position& position, const Position& after, int side) {
    if (countPieces(after, 1 - side) != countPieces(position, 1 - side)) return false;
    for (const Move& reply : allMoves(after, 1 - side)) {
        Position next{};
        playMove(after, next, reply, 1 - side);
        if (countPieces(next, side) != countPieces(after, side)) return false;
    }
    return true;
}

// Extends the game depth first to `plies` quiet moves (of kings, after the first ply), each
// to a placement not met before with the same side to move: only the quiet-move rules can
// end it. `position` ends as the last one.
bool playQuietly(Position& position, int side, int plies, std::vector<PlayedMove>& history,
                 std::set<std::string>& seen) {
    if (static_cast<int>(history.size()) == plies) return true;
    for (const Move& move : allMoves(position, side)) {
        if (!history.empty() && pieceOf(position, side, move.piece).king == 0) continue;
        Position after{};
        playMove(position, after, move, side);
        if (!isQuiet(position, after, side) || !seen.insert(placementKey(after, 1 - side)).second)
            continue;
        history.push_back({position, side, static_cast<int>(history.size()), move});
        const Position before = position;
        position = after;
        if (playQuietly(position, 1 - side, plies, history, seen)) return true;
        position = before;
        history.pop_back();
    }
    return false;
}

std::string quietGame(Position position, int plies) {
    std::vector<PlayedMove> history;
    std::set<std::string> seen = {placementKey(position, 0)};
    EXPECT_TRUE(playQuietly(position, 0, plies, history, seen));
    return judgeEachPly(history, position);
}

// Side 1's man in the corner is stuck behind two of side 0's, and side 0's man in the
// far corner behind two of side 1's: blocked only on its own turn.
TEST(GameEnd, NoPieceLeftOrNoLegalMoveOnItsTurnLosesUnderEveryRuleSet) {
    for (int variant = 0; variant < RuleVariantCount; ++variant) {
        const bool small = variant == 0;
        const Position blackStuck =
            positionOf(variant, small ? "1.1,2.2,7.7" : "1.1,2.2,9.9", "0.0");
        const Position whiteStuck =
            positionOf(variant, small ? "7.7" : "9.9", small ? "6.6,5.5,0.0" : "8.8,7.7,0.0");
        const Position noBlack = positionOf(variant, "1.1", "");
        std::vector<std::string> judged;
        for (const Position* p : {&blackStuck, &whiteStuck, &noBlack})
            for (int toMove : {0, 1}) judged.push_back(judge(*p, toMove, {}));
        EXPECT_EQ(judged, std::vector<std::string>({"0/0", "1/2", "2/2", "0/0", "1/1", "1/1"}))
            << ruleVariants[variant].label;
    }
}

// Two kings shuffling: the starting placement with side 0 to move comes back after
// four plies and a third time after eight. The same placement with the other side to
// move is another position.
TEST(GameEnd, TheThirdRepetitionWithTheSameSideToMoveDraws) {
    Position position = positionOf(0, "1.7K", "6.0K");
    const Square shuffle[4][2] = {
        {{1, 7}, {0, 6}}, {{6, 0}, {7, 1}}, {{0, 6}, {1, 7}}, {{7, 1}, {6, 0}}};
    std::vector<PlayedMove> history;
    for (int ply = 0; ply < 8; ++ply) {
        const Square from = shuffle[ply % 4][0];
        const Move move{findPieceAt(from.column, from.row, position), {shuffle[ply % 4][1]}, 1};
        history.push_back({position, ply % 2, ply, move});
        applyStep(position, move.piece, move.path[0], ply % 2);
    }
    EXPECT_EQ(judgeEachPly(history, position), "7 ongoing, then 3/3");
    history[0].side = history[4].side = 1;
    EXPECT_EQ(judge(position, 0, history), "0/0");
}

// 25 moves of each side with only kings (10x10) or 40 without a capture or a man's move
// (8x8) draw at that ply, not one earlier; a man's move first starts the count after it.
TEST(GameEnd, QuietMovesDrawExactlyAtTheirLimit) {
    EXPECT_EQ(quietGame(positionOf(1, "9.9K,7.9K", "0.0K,2.0K"), KingMovesDrawPlies),
              "49 ongoing, then 3/4");
    EXPECT_EQ(quietGame(positionOf(2, "4.6,9.9K,7.9K", "0.0K,2.0K"), KingMovesDrawPlies + 1),
              "50 ongoing, then 3/4");
    EXPECT_EQ(quietGame(positionOf(0, "7.7K,5.7K", "0.0K,2.0K"), NoProgressDrawPlies),
              "79 ongoing, then 3/5");
}

// The record's result tag and last word: White's score first (side 0 is Black on 8x8).
TEST(GameEnd, TheRecordCarriesTheResult) {
    std::vector<std::string> results;
    for (int variant : {0, 1}) {
        selectRuleVariant(variant);
        for (GameResult result : {GameResult::Ongoing, GameResult::WhitesWin, GameResult::BlacksWin,
                                  GameResult::Draw}) {
            const std::string pdn = formatPdn({}, {{}, "", result});
            const size_t at = pdn.find("[Result \"") + 9;
            results.push_back(pdn.substr(at, pdn.find('"', at) - at));
            EXPECT_TRUE(pdn.ends_with("\n" + results.back() + "\n")) << pdn;
        }
    }
    EXPECT_EQ(results,
              std::vector<std::string>({"*", "0-1", "1-0", "1/2-1/2", "*", "2-0", "0-2", "1-1"}));
}

} // namespace
