// The long comparisons of the fast search with the plain one: thousands of positions from
// random games of every rule set at depths 1 to 7 and some at 9, and whole self-played games
// that must come out move for move the same.
#include <gtest/gtest.h>

#include "rules/fast_search.h"
#include "rules/random.h"
#include "rules/search.h"
#include "tests/king_endings.h"
#include "tests/rules_test_util.h"

namespace {

// Depth 1..7 in turn over the samples; every ninth sample of "US RULES" at 9.
TEST(FastSearchHeavy, AnswersAsThePlainSearchOnThousandsOfPositions) {
    std::vector<SampledPosition> samples = sampleRandomGames(97, 40, 4, 140);
    samples.push_back({1, positionOf(1, ManyCapturesSide0, ManyCapturesSide1), 1});
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto& [variant, position, side] = samples[i];
        selectRuleVariant(variant);
        int32_t depth = variant == 0 && i % 9 == 0 ? 9 : 1 + i % 7;
        if (i + 1 == samples.size()) depth = 3; // a node wider than a list, and its replies
        ASSERT_EQ(searchAnswer(fastSearchRoot(position, side, depth)),
                  searchAnswer(plainSearchRoot(position, side, depth)))
            << formatPosition(position, variant) << " side " << side << " depth " << depth;
    }
}

// The benchmark's king endings, where the bounds on quiet moves next to the leaves prune most:
// all of them at depths 4 to 7 (both parities of the blocked-human rule), from a table that
// keeps what earlier searches found; the first two at the game's 9, which the plain search
// takes seconds to reach; each on one thread and with the helper thread beside it.
TEST(FastSearchHeavy, AnswersAsThePlainSearchOnKingEndings) {
    for (size_t i = 0; i < std::size(KingEndings); ++i) {
        const KingEnding& ending = KingEndings[i];
        const Position position = positionOf(ending.variant, ending.kings[0], ending.kings[1]);
        for (const int32_t depth : {4, 5, 6, 7, 9}) {
            if (depth == 9 && i >= 2) continue;
            const std::string plain = searchAnswer(plainSearchRoot(position, ending.side, depth));
            for (const bool helped : {false, true}) {
                if (helped)
                    ASSERT_TRUE(startSearchHelper());
                else
                    stopSearchHelper();
                ASSERT_EQ(searchAnswer(fastSearchRoot(position, ending.side, depth)), plain)
                    << formatPosition(position, ending.variant) << " side " << ending.side
                    << " depth " << depth << (helped ? " two threads" : " one thread");
            }
        }
    }
    stopSearchHelper();
}

// A self-played game as korvath-engine's selfplay plays it, with the given root search.
std::string selfPlay(int32_t variant, int32_t level, int32_t maxPlies,
                     int32_t (*root)(const Position&, int32_t, int32_t)) {
    randomState = 1;
    selectRuleVariant(variant);
    Position position;
    setUpPosition(position);
    std::string record;
    for (int32_t ply = 0, side = 0; ply < maxPlies; ++ply, side = 1 - side) {
        // The first two plies are the random opening steps, the others searched.
        const OpeningStep step = ply < 2 ? chooseOpeningMove(position, side) : OpeningStep{};
        if (ply >= 2) root(position, side, levelSearchDepth(level));
        const Move move = ply < 2 ? Move{step.piece, {step.target}, 1} : bestMove[0];
        if (move.piece == -1) break;
        playMove(Position(position), position, move, side);
        record += formatMove(move) + " ";
    }
    return record;
}

TEST(FastSearchHeavy, SelfPlayedGamesAreTheSame) {
    const struct {
        int32_t variant, level, plies;
    } games[] = {{0, 0, 200}, {0, 1, 60}, {1, 0, 160}, {2, 0, 160}, {1, 1, 12}, {2, 1, 12}};
    for (const auto& [variant, level, plies] : games)
        EXPECT_EQ(selfPlay(variant, level, plies, fastSearchRoot),
                  selfPlay(variant, level, plies, plainSearchRoot))
            << "variant " << variant << " level " << level;
}

} // namespace
