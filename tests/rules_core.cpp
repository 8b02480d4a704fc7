// The rules library: the text forms, move generation with each rule set's captures, perft, the
// plain search against an independent minimax, the opening steps drawn from the random
// generator, the fast search's parts against the plain ones they stand for, and korvath-engine
// run from the outside on scripts and garbage. The long comparisons are in rules_fast_heavy.cpp.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <set>

#include "rules/evaluate.h"
#include "rules/fast_board.h"
#include "rules/fast_search.h"
#include "rules/perft.h"
#include "rules/random.h"
#include "tests/rules_test_util.h"

// Every allocation of the program is counted, to show that searches make none. The deletes stay
// out of line: inlined, they show GCC a free of memory from new, which it warns about.
static size_t allocations = 0;
void* operator new(size_t size) {
    ++allocations;
    if (void* memory = std::malloc(size)) return memory;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* memory) noexcept {
    std::free(memory);
}
[[gnu::noinline]] void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}

namespace {

// Text forms ----------------------------------------------------------------------------------

TEST(Notation, TextsReadBackAsWrittenAndMalformedOnesAreRefusedWithAReason) {
    const std::string text = "1 0.6,x,4.6K,6.6,8.6,1.7,3.7,5.7,7.7,9.7,0.8,2.8,4.8,6.8,8.8,1.9,3.9,"
                             "5.9,7.9,9.9 0.0,2.0,4.0,6.0,8.0,1.1,3.1,5.1,7.1,9.1,0.2,2.2,4.2,6.2,"
                             "8.2,1.3,3.3,5.3,7.3,9.3K";
    Position position;
    int32_t variant = -1;
    ASSERT_EQ(parsePosition(text, position, variant), "");
    EXPECT_EQ(formatPosition(position, variant), text);
    // A captured record reads as the blank one, a king with its crown.
    EXPECT_EQ(
        std::tuple(position.pieces[1].column, position.pieces[1].row, position.pieces[2].king),
        std::tuple(-1, 0, 1));
    Move move;
    ASSERT_EQ(parseMove("9:4.2-2.0-4.6", 0, move), "");
    EXPECT_EQ(formatMove(move), "9:4.2-2.0-4.6");
    EXPECT_EQ(parseMove("19:9.9", 1, move), "");
    std::string longest = "0:1.1";
    for (int32_t k = 1; k < MaxPathSteps; ++k) longest += "-1.1";
    EXPECT_EQ(parseMove(longest, 1, move), "");
    EXPECT_NE(parseMove(longest + "-1.1", 1, move), "");
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
    for (const auto& [bad, reason] : cases) {
        const std::string error = parsePosition(bad, position, variant);
        EXPECT_NE(error.find(reason), std::string::npos) << bad << " -> " << error;
    }
    for (const char* bad :
         {"12:1.1", "0-1.1", "0:1.1-", "0:", "a:1.1", "0:8.8", "0:1.2", ":1.1", "0:1.1:2.2"})
        EXPECT_NE(parseMove(bad, 0, move), "") << bad;
}

// Moves and perft -----------------------------------------------------------------------------

TEST(Moves, ListedInOrderWithEachRuleSetsCaptures) {
    const struct {
        int32_t variant;
        const char *side0, *side1, *listed;
    } cases[] = {
        // Pieces in index order, steps in direction order.
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

// Every capture takes as many pieces as it has jumps, none is listed twice, and the longest
// takes them all or nearly.
TEST(Moves, LongAndManyCapturesAreListedWhole) {
    const struct {
        int32_t variant, longest;
        size_t count;
        Position position;
    } cases[] = {// Thousands of captures, listed window by window.
                 {1, 15, 6395, positionOf(1, ManyCapturesSide0, ManyCapturesSide1)},
                 // A snake of 14 men: the "FRENCH 2" man takes them all in one move.
                 {2, 14, 25,
                  positionOf(2, "0.2", "1.1,3.1,5.1,7.1,7.3,5.3,3.3,3.5,5.5,7.5,7.7,5.7,3.7,1.7")}};
    for (const auto& c : cases) {
        selectRuleVariant(c.variant);
        const std::vector<Move> moves = allMoves(c.position, 0);
        std::set<std::string> distinct;
        int32_t longest = 0;
        for (const Move& move : moves) {
            distinct.insert(formatMove(move));
            longest = std::max(longest, move.steps);
            Position after;
            playMove(c.position, after, move, 0);
            EXPECT_EQ(countPieces(c.position, 1) - countPieces(after, 1), move.steps);
        }
        EXPECT_EQ(std::tuple(moves.size(), distinct.size(), perft(c.position, 0, 1), longest),
                  std::tuple(c.count, c.count, c.count, c.longest));
    }
}

TEST(Perft, UsRulesMatchesThePublishedCountsToDepth8) {
    selectRuleVariant(0);
    Position position;
    setUpPosition(position);
    const uint64_t expected[] = {1, 7, 49, 302, 1469, 7361, 36768, 179740, 845931};
    for (int32_t depth = 0; depth <= 8; ++depth)
        EXPECT_EQ(perft(position, 0, depth), expected[depth]) << depth;
}

// The computer player -------------------------------------------------------------------------

TEST(Search, LevelDepths) {
    std::vector<int32_t> depths;
    for (const int32_t variant : {0, 1, 2}) {
        selectRuleVariant(variant);
        depths.insert(depths.end(), {levelSearchDepth(0), levelSearchDepth(1)});
    }
    EXPECT_EQ(depths, (std::vector<int32_t>{7, 9, 5, 9, 5, 9}));
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

// Random games and a node with more moves than a list holds, searched whole.
TEST(Search, AgreesWithPlainMinimaxOnRandomGamesAndAWideNode) {
    std::vector<SampledPosition> samples = sampleRandomGames(7, 6, 7, 60);
    samples.push_back({1, positionOf(1, ManyCapturesSide0, ManyCapturesSide1), 0});
    int32_t compared = 0;
    for (const SampledPosition& sample : samples) {
        selectRuleVariant(sample.variant);
        const int32_t depth = &sample == &samples.back() ? 1 : 1 + compared++ % 4;
        std::string first = "none";
        const int32_t value = minimax(0, depth, sample.position, sample.side, &first);
        ASSERT_EQ(searchAnswer(plainSearchRoot(sample.position, sample.side, depth)),
                  std::to_string(value) + " " + first)
            << formatPosition(sample.position, sample.variant) << " side " << sample.side
            << " depth " << depth;
    }
}

// Where the first steps go and what they draw is seen by korvath-engine's selfplay and the
// reference frames' opening for WHITES. A man on the edge has one way to go and draws none:
// from the start 41 picks side 1's piece 8 on column 0, to 1.3. Without a quiet step for any
// man the draws would go on for ever: no step is chosen and nothing drawn.
TEST(Random, AnEdgeManDrawsNoWayAndWithoutAQuietStepNothingIsDrawn) {
    Position start;
    selectRuleVariant(0);
    setUpPosition(start);
    randomState = 1;
    const OpeningStep edge = chooseOpeningMove(start, 1);
    EXPECT_EQ(std::tuple(edge.piece, formatSquare(edge.target), nextRandom()),
              std::tuple(8, std::string("1.3"), 18467));
    randomState = 1;
    EXPECT_EQ(chooseOpeningMove(positionOf(0, "1.5,3.5,5.5,7.5", "1.3,3.3,5.3,7.3"), 0).piece, -1);
    EXPECT_EQ(nextRandom(), 41);
}

// The fast search against the plain one ------------------------------------------------------

// The board generator's moves as listMoves writes the plain rules' ones.
std::string listBoardMoves(Board& board, int32_t side) {
    static BoardMoveList list;
    generateBoardMoves(board, side, list);
    EXPECT_EQ(countBoardMoves(board, side), list.total);
    std::string text = std::to_string(list.total);
    do {
        for (int32_t i = 0; i < list.count; ++i) text += " " + formatMove(toMove(list.moves[i]));
    } while (generateNextBoardMoves(board, side, list));
    return text;
}

bool sameBoards(const Board& a, const Board& b) {
    return std::memcmp(a.pieces, b.pieces, sizeof a.pieces) == 0 &&
           std::memcmp(a.cells, b.cells, sizeof a.cells) == 0;
}

// Every sampled position and every move from it: same list, same order, same positions after,
// same evaluations.
TEST(Board, ListsPlaysAndEvaluatesAsThePlainRules) {
    std::vector<SampledPosition> samples = sampleRandomGames(11, 6, 3, 150);
    samples.push_back({1, positionOf(1, ManyCapturesSide0, ManyCapturesSide1), 0});
    int32_t moves = 0;
    for (const SampledPosition& sample : samples) {
        selectRuleVariant(sample.variant);
        const std::string where = formatPosition(sample.position, sample.variant);
        Board board, played, expected;
        setBoard(sample.position, board);
        for (int32_t side = 0; side < 2; ++side) {
            ASSERT_EQ(listBoardMoves(board, side), listMoves(sample.position, side)) << where;
            ASSERT_EQ(evaluateBoard(board, side), evaluate(sample.position, side)) << where;
        }
        static BoardMoveList list;
        generateBoardMoves(board, sample.side, list);
        for (int32_t i = 0; i < list.count; ++i, ++moves) {
            Position after;
            playMove(sample.position, after, toMove(list.moves[i]), sample.side);
            playBoardMove(board, played, list.moves[i], sample.side);
            setBoard(after, expected);
            ASSERT_TRUE(sameBoards(played, expected))
                << where << " move " << formatMove(toMove(list.moves[i]));
            // The shortcuts that judge a move without playing it.
            ASSERT_EQ(evaluateAfter(board, list.moves[i], sample.side),
                      evaluate(after, sample.side));
            ASSERT_EQ(countRepliesAfter(board, list.moves[i], sample.side),
                      static_cast<int64_t>(perft(after, 1 - sample.side, 1)));
        }
    }
    EXPECT_GT(moves, 4000);
}

TEST(Board, PerftCountsAgree) {
    for (const int32_t variant : {0, 1, 2}) {
        selectRuleVariant(variant);
        Position position;
        setUpPosition(position);
        for (int32_t depth = 0; depth <= (variant == 0 ? 6 : 4); ++depth)
            EXPECT_EQ(fastPerft(position, 0, depth), perft(position, 0, depth)) << depth;
    }
}

void expectSameRoot(const Position& position, int32_t variant, int32_t side, int32_t depth) {
    selectRuleVariant(variant);
    ASSERT_EQ(searchAnswer(fastSearchRoot(position, side, depth)),
              searchAnswer(plainSearchRoot(position, side, depth)))
        << formatPosition(position, variant) << " side " << side << " depth " << depth;
}

// Terminals, the blocked-human rule, a win whose value passes the window's ceiling at depths
// 18 to 20, a node wider than a list, endings where one move can leave the other side without
// a reply two plies from the leaves, and positions from random games.
TEST(FastSearch, AnswersAsThePlainSearch) {
    const struct {
        const char *side0, *side1;
        std::vector<int32_t> depths;
    } cases[] = {{"", "0.0", {5}},
                 {"0.0", "2.2", {3}},
                 {"3.3", "2.2", {7, 18, 19, 20}},
                 {"1.7,2.6", "0.6", {1, 2, 3, 5}}};
    for (const auto& c : cases)
        for (const int32_t depth : c.depths)
            expectSameRoot(positionOf(0, c.side0, c.side1), 0, 0, depth);
    const struct {
        int32_t variant;
        const char *side0, *side1;
        int32_t depth;
    } cornered[] = {
        {1, "8.6,8.0K,9.9K", "8.4", 4}, {2, "7.3", "5.3K,6.6K", 5}, {1, "9.3", "4.4K", 5}};
    for (const auto& c : cornered)
        expectSameRoot(positionOf(c.variant, c.side0, c.side1), c.variant, 0, c.depth);
    const Position wide = positionOf(1, ManyCapturesSide0, ManyCapturesSide1);
    for (const int32_t depth : {1, 2}) expectSameRoot(wide, 1, 0, depth);
    int32_t depth = 0;
    for (const SampledPosition& sample : sampleRandomGames(23, 3, 9, 120))
        expectSameRoot(sample.position, sample.variant, sample.side, 1 + depth++ % 4);
}

TEST(FastSearch, AllocatesNothingWhileSearching) {
    const size_t counted = allocations;
    const std::string probe(100, 'x');
    ASSERT_GT(allocations, counted) << "the count must see allocations";
    const auto allocationsOf = [](const Position& position, int32_t depth) {
        const size_t before = allocations;
        fastSearchRoot(position, 0, depth);
        return allocations - before;
    };
    EXPECT_EQ(allocationsOf(positionOf(0, "0.4,3.5,x,7.5,0.6,1.5,x,x,1.7,3.7,6.6,7.7",
                                       "0.0,2.0,4.0,5.3,1.1,3.1,4.2,x,0.2,3.3,x,x"),
                            9),
              0u);
    EXPECT_EQ(allocationsOf(positionOf(1, ManyCapturesSide0, ManyCapturesSide1), 2), 0u);
}

// korvath-engine from the outside ------------------------------------------------------------

// Runs the engine on the script and returns its answer lines; exitCode gets its status.
std::vector<std::string> runEngine(const std::string& script, int* exitCode = nullptr) {
    // Named after the test: ctest runs the cases of this file side by side.
    const std::string stem = testing::TempDir() + "engine_" +
                             testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string input = stem + "_input.txt", output = stem + "_output.txt";
    std::ofstream(input, std::ios::binary) << script;
    const std::string command =
        std::string(KORVATH_BIN_DIR) + "/korvath-engine < " + input + " > " + output;
    const int status = std::system(command.c_str());
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(output, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const std::string UsStart = "0 1.5,3.5,5.5,7.5,0.6,2.6,4.6,6.6,1.7,3.7,5.7,7.7 "
                            "0.0,2.0,4.0,6.0,1.1,3.1,5.1,7.1,0.2,2.2,4.2,6.2";

// The self-played game draws from where "rand" left the generator: 18467 picks piece 2, 6334
// (<= 16000) sends it right; side 1's first pick (26500, 19169) would stop in front of it, the
// second (15724, 11478) is quiet. Two searched moves follow, and the game's last position stays.
TEST(Engine, AnswersEachCommandWithOneLine) {
    int exitCode = -1;
    const std::string one = "3.3,x,x,x,x,x,x,x,x,x,x,x 2.2,x,x,x,x,x,x,x,x,x,x,x\n";
    const std::vector<std::string> lines =
        runEngine("# a comment\n\nshow\nmoves 0\neval 1\nrand\nnew 0\nplay 0 0:0.4\nset 0 " + one +
                      "moves 0\nsearch 0 3\neval 0\nperft 0 0\nperft 1 3\nset 0 x" + one.substr(3) +
                      "search 0 5\nselfplay 1 0 0\nshow\nselfplay 0 0 4\nshow\nquit\nshow\n",
                  &exitCode);
    const std::string f1 =
        "1 0.6,2.6,4.6,6.6,8.6,1.7,3.7,5.7,7.7,9.7,0.8,2.8,4.8,6.8,8.8,1.9,3.9,5.9,"
        "7.9,9.9 0.0,2.0,4.0,6.0,8.0,1.1,3.1,5.1,7.1,9.1,0.2,2.2,4.2,6.2,8.2,1.3,"
        "3.3,5.3,7.3,9.3";
    std::string answers;
    for (const std::string& line : lines) answers += line + "|";
    EXPECT_EQ(answers,
              UsStart + "|7 0:2.4 0:0.4 1:4.4 1:2.4 2:6.4 2:4.4 3:6.4|0|41|" + UsStart + "|0 0.4," +
                  UsStart.substr(6) + "|ok|1 0:1.1|166665 0:1.1|22|1|0|ok|-333330 none|end|" + f1 +
                  "|2:6.4 9:3.3 2:5.3 10:6.4 end|0 1.5,3.5,x,7.5,0.6,2.6,4.6,6.6,1.7,3.7,5.7,"
                  "7.7 0.0,2.0,4.0,6.0,1.1,3.1,5.1,7.1,0.2,3.3,6.4,6.2|");
    EXPECT_EQ(exitCode, 0);
}

TEST(Engine, RefusesBadInputAndKeepsItsPosition) {
    const std::vector<std::string> lines = runEngine(
        "set 0 3.3,x,x,x,x,x,x,x,x,x,x,x 2.2,x,x,x,x,x,x,x,x,x,x,x\nbogus\nmoves\nmoves 2\n"
        "moves 0 1\neval -1\nsearch 0 0\nsearch 0 21\nperft 0 x\nplay 0 0:5.1\n"
        "play 0 0:1.1-3.3\nplay 0 zz\nnew 3\nset 0 1.1\n"
        "set 0 9.9,x,x,x,x,x,x,x,x,x,x,x 2.2,x,x,x,x,x,x,x,x,x,x,x\nselfplay 0 2 10\n"
        "opening 1\nselfplay 0 0 10001\n  # an indented comment: no answer\nquit 5\nshow\n");
    ASSERT_EQ(lines.size(), 20u);
    for (size_t i = 1; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i].rfind("error: ", 0), 0u) << i << ": " << lines[i];
    EXPECT_EQ(lines.back(), "0 3.3,x,x,x,x,x,x,x,x,x,x,x 2.2,x,x,x,x,x,x,x,x,x,x,x");
}

// A game in the forms databases write (comments, a variation, glyphs, numbers before every
// move, a shortened double jump "8x24"), the same game bare, then bad games, each refused with
// one line that leaves the last loaded position.
TEST(Engine, LoadsPdnGamesAndNamesTheFirstBadMove) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"club game.pdn",
         "[Event \"A club game\"]\n[GameType \"21\"]\n\n1. 9-13 {Black opens} 1... "
         "24-19 2. 11-15 2... 23-18 3. 15x24 3... 28x19 4. 7-11 (4. 8-11 22-17)\n"
         "4... 27-23 5. 6-9! 5... 32-28 6. 11-15 $1 6... 18x11 7. 8x24 7... 28x19 "
         "*\n\n[Event \"next\"]\n1. 11-15 *\n"},
        {"bare.pdn", "9-13 24-19 11-15 23-18 15x24 28x19 7-11 27-23 6-9 32-28 11-15 18x11 "
                     "8-15-24 28x19"},
        {"illegal.pdn", "1. 9-13 24-19 2. 11-20 *"},
        {"garbage.pdn", "1. 9-13 hello"},
        {"binary.pdn", std::string("\x01\x7f\0", 3)},
        {"open.pdn", "1. 9-13 {no end"},
        {"chess.pdn", "[GameType \"22\"]\n1. 9-13 *"}};
    std::string script;
    for (const auto& [name, text] : files) {
        std::ofstream(testing::TempDir() + name, std::ios::binary) << text;
        script += "load  " + testing::TempDir() + name + " \n";
    }
    const std::vector<std::string> lines = runEngine(script + "load /no/such.pdn\nload\nshow\n");
    const std::string final = "0 0.4,3.5,x,7.5,0.6,1.5,x,x,1.7,3.7,5.7,7.7 "
                              "0.0,2.0,4.0,5.3,1.1,3.1,4.2,x,0.2,2.2,x,x";
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  final, final, "error: move 2. '11-20' is not legal",
                  "error: move 1... 'hello' is not a move", "error: move 1. '?\?\?' is not a move",
                  "error: a comment in braces is not closed",
                  "error: GameType '22' is not played here (20 is 10x10, 21 is 8x8)",
                  "error: cannot read '/no/such.pdn': No such file or directory",
                  "error: usage: load <file>", final}));
}

TEST(Engine, SurvivesGarbage) {
    std::mt19937 random(3);
    const std::string alphabet = "0123456789.,:-xK \tnewsetplaymovesperftsearch\r";
    // Each line opens with a command word the engine knows, so every line is answered.
    const char* const words[] = {"set ", "play 0 ", "moves ", "new ", "eval "};
    std::string script;
    for (int32_t i = 0; i < 400; ++i) {
        script += words[i % 5];
        for (uint32_t k = 0, length = 1 + random() % 40; k < length; ++k)
            script += alphabet[random() % alphabet.size()];
        script += "\n";
    }
    int exitCode = -1;
    EXPECT_EQ(runEngine(script + "show\n", &exitCode).size(), 401u);
    EXPECT_EQ(exitCode, 0);
}

} // namespace
