// The game's record and its saved game: whole games written as PDN read back to the same
// moves (also with captures written by their ends), and saves that come back whole or
// not at all (the file behind them is replaced safely: see the headless Resume tests).
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "game/autosave.h"
#include "rules/notation.h"

namespace {

// A game of random legal moves from the start to its end (or maxPlies): long captures,
// crowning and kings' chains come up in every rule set.
std::vector<PlayedMove> randomGame(int32_t variant, uint32_t seed, Position& final,
                                   int maxPlies = 300) {
    selectRuleVariant(variant);
    std::mt19937 random(seed);
    static MoveList list;
    std::vector<PlayedMove> moves;
    Position position{};
    setUpPosition(position);
    for (int ply = 0; ply < maxPlies; ++ply) {
        const int side = ply % 2;
        generateMoves(position, side, list);
        if (list.count == 0) break;
        const Move move = list.moves[random() % list.count];
        moves.push_back({position, side, ply, move});
        const Position before = position;
        playMove(before, position, move, side);
    }
    final = position;
    return moves;
}

// Whole games of each rule set read back to the same end, also with every capture written
// by its ends only, unless that names two captures, which the error then says.
TEST(Record, WholeGamesReadBackInEveryRuleSet) {
    int shortenedGames = 0;
    for (const int32_t variant : {0, 1, 2}) {
        for (uint32_t seed = 1; seed <= 6; ++seed) {
            Position final{};
            const std::vector<PlayedMove> moves = randomGame(variant, seed, final);
            const std::string text = formatPdn(moves, {{"A", "B"}, "", GameResult::Ongoing, ""});
            const std::string forms[] = {
                text, std::regex_replace(text, std::regex(R"((\d+)(x\d+)*(x\d+)\b)"), "$1$3")};
            for (int shortened = 0; shortened < 2; ++shortened) {
                selectRuleVariant(0);
                PdnGame game;
                const std::string what = readPdnGame(forms[shortened], game);
                if (shortened && what.find("could be") != std::string::npos) continue;
                ASSERT_EQ(what, "") << forms[shortened];
                EXPECT_EQ(formatPosition(game.final, variant) + " " +
                              std::to_string(game.moves.size()),
                          formatPosition(final, variant) + " " + std::to_string(moves.size()));
                shortenedGames += shortened;
            }
        }
    }
    EXPECT_GT(shortenedGames, 12);
}

// Every cut of a save short of its last line is refused, as are wrong tags and moves; a
// refused save leaves the rule set alone.
TEST(SavedGame, ComesBackWholeOrNotAtAll) {
    SavedGame game{2, 1, 1, {204, -77, 12}, {}, 0, {}, {}, "*"};
    game.moves = randomGame(2, 7, game.position, 41);
    game.start = {game.moves[0].before, 2, 0};
    // A game from a set position: side 1 to move first, eleven moves counted before.
    SavedGame setUp = game;
    setUp.moves.erase(setUp.moves.begin(), setUp.moves.begin() + 11);
    setUp.start = {setUp.moves[0].before, 2, 1};
    setUp.startPly = 11;
    std::string text;
    SavedGame back{};
    for (const SavedGame* saved : {&setUp, &game}) {
        const std::string plies = std::to_string(saved->moves.size());
        const RecordTags tags = {
            {"A", "B"}, "2026.12.07", GameResult::Ongoing, "[PlyCount \"" + plies + "\"]\n"};
        selectRuleVariant(2);
        text = formatSavedGame(*saved, tags);
        selectRuleVariant(0);
        ASSERT_EQ(parseSavedGame(text, back), "") << text;
        // The record's text is written from every move's position, side and number.
        EXPECT_EQ(formatSavedGame(back, tags), text);
        EXPECT_EQ(formatPosition(back.position, 2), formatPosition(game.position, 2));
        EXPECT_EQ(back.result, "*");
    }

    const size_t lastWord = text.find_last_not_of("\n *") + 1;
    for (size_t cut = 0; cut < lastWord; ++cut) {
        selectRuleVariant(0);
        ASSERT_NE(parseSavedGame(text.substr(0, cut), back), "") << cut;
        ASSERT_EQ(ruleVariant, 0);
    }
    const std::pair<std::string, std::string> edits[] = {
        {"\"BLACKS\"", "\"GREENS\""},           {"\"EXPERT\"", "\"\""},
        {"[Camera \"204 -77 12\"]", ""},        {"PlyCount \"41", "PlyCount \"40"},
        {"[Result \"*\"]", "[Result \"2-0\"]"}, {"\n1. ", "\n1. 1-6 "}};
    for (const auto& [from, to] : edits) {
        std::string edited = text;
        ASSERT_NE(edited.find(from), std::string::npos) << from;
        edited.replace(edited.find(from), from.size(), to);
        EXPECT_NE(parseSavedGame(edited, back), "") << to;
    }
}

} // namespace
