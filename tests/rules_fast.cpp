// The fast search's parts against the plain ones they stand for: the board generator lists the
// same moves in the same order, plays them to the same positions and evaluates them to the
// same numbers; perft counts agree; the fast root search answers as the plain one. The long
// comparisons are in rules_fast_heavy.cpp.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "rules/evaluate.h"
#include "rules/fast_board.h"
#include "rules/fast_search.h"
#include "rules/perft.h"
#include "rules/search.h"
#include "tests/rules_test_util.h"

// Every allocation of the program is counted, to show that searches make none.
static size_t allocations = 0;
void* operator new(size_t size) {
    ++allocations;
    if (void* memory = std::malloc(size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}

namespace {

// The board generator lists the plain rules' moves in their order.
bool sameMoves(const Position& position, int32_t side) {
    static BoardMoveList list;
    Board board;
    setBoard(position, board);
    std::vector<std::string> texts, plain;
    generateBoardMoves(board, side, list);
    const int64_t total = list.total;
    do {
        for (int32_t i = 0; i < list.count; ++i) texts.push_back(formatMove(toMove(list.moves[i])));
    } while (generateNextBoardMoves(board, side, list));
    EXPECT_EQ(static_cast<int64_t>(texts.size()), total);
    EXPECT_EQ(countBoardMoves(board, side), total);
    for (const Move& move : allMoves(position, side)) plain.push_back(formatMove(move));
    EXPECT_EQ(texts, plain);
    return texts == plain;
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
        for (int32_t side = 0; side < 2; ++side) {
            ASSERT_TRUE(sameMoves(sample.position, side)) << where << " side " << side;
            Board board;
            setBoard(sample.position, board);
            ASSERT_EQ(evaluateBoard(board, side), evaluate(sample.position, side)) << where;
            ASSERT_EQ(countBoardPieces(board, side), countPieces(sample.position, side));
        }
        Board board, played, expected;
        setBoard(sample.position, board);
        BoardMoveList& list = *new BoardMoveList;
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
        delete &list;
    }
    EXPECT_GT(moves, 4000);
}

TEST(Board, PerftCountsAgree) {
    for (const int32_t variant : {0, 1, 2}) {
        selectRuleVariant(variant);
        Position position;
        setUpPosition(position);
        const int32_t deepest = variant == 0 ? 6 : 4;
        for (int32_t depth = 0; depth <= deepest; ++depth)
            EXPECT_EQ(fastPerft(position, 0, depth), perft(position, 0, depth)) << depth;
    }
    for (const SampledPosition& s : sampleRandomGames(5, 2, 20, 120)) {
        selectRuleVariant(s.variant);
        EXPECT_EQ(fastPerft(s.position, s.side, 3), perft(s.position, s.side, 3))
            << formatPosition(s.position, s.variant);
    }
}

void expectSameRoot(const Position& position, int32_t variant, int32_t side, int32_t depth) {
    selectRuleVariant(variant);
    const std::string plain = searchAnswer(plainSearchRoot(position, side, depth));
    ASSERT_EQ(searchAnswer(fastSearchRoot(position, side, depth)), plain)
        << formatPosition(position, variant) << " side " << side << " depth " << depth;
}

// Terminals, the blocked-human rule, a win whose value passes the window's ceiling at depths
// 18 to 20, a node wider than a list, and positions from random games.
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
    const Position wide = positionOf(1, ManyCapturesSide0, ManyCapturesSide1);
    for (const int32_t depth : {1, 2}) expectSameRoot(wide, 1, 0, depth);
    int32_t compared = 0;
    for (const SampledPosition& sample : sampleRandomGames(23, 3, 9, 120))
        expectSameRoot(sample.position, sample.variant, sample.side, 1 + compared++ % 4);
    EXPECT_GT(compared, 80);
}

TEST(FastSearch, AllocatesNothingWhileSearching) {
    const SampledPosition samples[] = {
        {0,
         positionOf(0, "0.4,3.5,x,7.5,0.6,1.5,x,x,1.7,3.7,6.6,7.7",
                    "0.0,2.0,4.0,5.3,1.1,3.1,4.2,x,0.2,3.3,x,x"),
         0},
        {1, positionOf(1, ManyCapturesSide0, ManyCapturesSide1), 0},
    };
    const size_t counted = allocations;
    const std::string probe(100, 'x');
    ASSERT_GT(allocations, counted) << "the count must see allocations";
    for (const SampledPosition& sample : samples) {
        selectRuleVariant(sample.variant);
        const size_t before = allocations;
        fastSearchRoot(sample.position, sample.side, sample.variant == 0 ? 9 : 2);
        EXPECT_EQ(allocations, before);
    }
}

} // namespace
