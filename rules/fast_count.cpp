// Judging moves from the fast board's bit sets without playing them: the number of legal
// moves and replies, the evaluation after a move, and fastPerft, which counts the last ply
// that way. Owns fastPerft's board and per-depth lists, overwritten by every count.
#include "rules/fast_board.h"

#include <cassert>

#include "rules/fast_tables.h"
#include "rules/perft.h"

namespace {

// Scratch of one fastPerft call, rewritten by the next.
Board perftBoard;                             // fastPerft's board, played in place
BoardMoveList perftBoardMoves[MaxPerftDepth]; // the moves at each remaining depth

// The plain moves, counted set by set; -1 when some piece has a capture (then the chains must
// be counted). The board is read only for long-range kings of the side, so it may be stale
// when there are none.
template <int32_t Variant, int32_t Side>
int64_t countPlainMoves(const Board& board, SquareBits own, SquareBits opposing,
                        SquareBits allKings, SquareBits& capturers) {
    capturers = shortJumpers<Variant, Side>(own, opposing, allKings);
    if (capturers) return -1;
    const SquareBits empty = onBoardBits & ~(own | opposing);
    const SquareBits men = own & ~allKings, kings = own & allKings;
    // Side 0's men step in directions 3 and 0, side 1's in 2 and 1.
    const SquareBits forward = Variant == 0 ? men | kings : men;
    const SquareBits back = Variant == 0 ? kings : 0;
    int64_t total = countBits(stepped<0>(Side == 0 ? forward : back) & empty) +
                    countBits(stepped<1>(Side == 1 ? forward : back) & empty) +
                    countBits(stepped<2>(Side == 1 ? forward : back) & empty) +
                    countBits(stepped<3>(Side == 0 ? forward : back) & empty);
    if (Variant == 0) return total;
    for (SquareBits rest = kings; rest; rest &= rest - 1) {
        const int32_t from = cellOfSquare[lowestSquare(rest)];
        for (const int32_t step : Direction) {
            int32_t cell = from + step;
            for (; board.cells[cell] == EmptyCell; cell += step) ++total;
            if (isOpposing(board.cells[cell], Side) && board.cells[cell + step] == EmptyCell) {
                return -1;
            }
        }
    }
    return total;
}

// The capture chains of short jumps from the square, counted on the sets alone: a jumped
// piece leaves at once and so does the jumper from each square it leaves.
int64_t countShortChains(int32_t from, const int32_t* directions, int32_t directionCount,
                         SquareBits opposing, SquareBits empty, int32_t depth) {
    int64_t total = 0;
    for (int32_t k = 0; k < directionCount; ++k) {
        const int32_t direction = directions[k];
        if (!(fromColumnBits[direction][2] & bitOf(from))) continue;
        const int32_t over = from + SquareStep[direction], to = over + SquareStep[direction];
        if (to < 0 || to >= 100 || !(opposing & bitOf(over)) || !(empty & bitOf(to))) continue;
        total += countShortChains(to, directions, directionCount, opposing & ~bitOf(over),
                                  (empty | bitOf(from) | bitOf(over)) & ~bitOf(to), depth + 1);
    }
    return total == 0 && depth >= 1 ? 1 : total;
}

// Every capture chain of the side, from the pieces that can jump, when none of its pieces is
// a long-range king.
int64_t countShortCaptures(int32_t side, SquareBits capturers, SquareBits own, SquareBits opposing,
                           SquareBits kings) {
    static constexpr int32_t All[4] = {0, 1, 2, 3};
    const SquareBits empty = onBoardBits & ~(own | opposing);
    int64_t total = 0;
    for (SquareBits rest = capturers; rest; rest &= rest - 1) {
        const int32_t square = lowestSquare(rest);
        const bool allWays = (kings & bitOf(square)) || ruleVariant == 2;
        total += countShortChains(square, allWays ? All : ManJumpDirections[side], allWays ? 4 : 2,
                                  opposing, empty, 0);
    }
    return total;
}

// The side's moves counted on the sets: plain moves, or the chains of short jumps; -1 when a
// long-range king is involved and the board must be walked.
int64_t countOnSets(const Board& board, int32_t side, SquareBits own, SquareBits opposing,
                    SquareBits kings) {
    using Count = int64_t (*)(const Board&, SquareBits, SquareBits, SquareBits, SquareBits&);
    static constexpr Count ByRulesAndSide[6] = {countPlainMoves<0, 0>, countPlainMoves<0, 1>,
                                                countPlainMoves<1, 0>, countPlainMoves<1, 1>,
                                                countPlainMoves<2, 0>, countPlainMoves<2, 1>};
    SquareBits capturers = 0;
    const int64_t plain =
        ByRulesAndSide[ruleVariant * 2 + side](board, own, opposing, kings, capturers);
    if (plain >= 0) return plain;
    if (!capturers || (ruleVariant != 0 && (own & kings))) return -1;
    return countShortCaptures(side, capturers, own, opposing, kings);
}

// The sets and values of the board after the move, worked out without playing it.
struct SetsAfter {
    SquareBits occupied[2];
    SquareBits kings;
    int32_t value[2];
};

SetsAfter setsAfter(const Board& board, const BoardMove& move, int32_t side) {
    const int32_t other = 1 - side;
    const uint8_t mover = board.pieces[side * MaxPiecesPerSide + move.piece];
    const int32_t from = mover & ~KingBit, to = squareOfCell[move.path[move.steps - 1]];
    SetsAfter after = {{board.occupied[0], board.occupied[1]},
                       board.kings & ~bitOf(from),
                       {board.value[0], board.value[1]}};
    after.occupied[side] = (after.occupied[side] & ~bitOf(from)) | bitOf(to);
    for (int32_t k = 0; k < move.captures; ++k) {
        const uint8_t taken = board.pieces[move.captured[k]];
        const SquareBits square = bitOf(taken & ~KingBit);
        after.occupied[other] &= ~square;
        after.kings &= ~square;
        after.value[other] -= pieceValue[other][taken & ~KingBit][taken >> 7];
    }
    bool king = (mover & KingBit) != 0;
    const int32_t farRow = side == 0 ? 0 : ruleVariants[ruleVariant].rows - 1;
    for (int32_t k = 0; k < move.steps && !king; ++k) king = rowOfCell[move.path[k]] == farRow;
    if (king) after.kings |= bitOf(to);
    after.value[side] += pieceValue[side][to][king] - pieceValue[side][from][mover >> 7];
    return after;
}

uint64_t countFrom(int32_t side, int32_t depth) {
    if (depth == 1) return static_cast<uint64_t>(countBoardMoves(perftBoard, side));
    BoardMoveList& moves = perftBoardMoves[depth - 1];
    generateBoardMoves(perftBoard, side, moves);
    uint64_t total = 0;
    do {
        for (int32_t i = 0; i < moves.count && depth == 2; ++i) {
            total += static_cast<uint64_t>(countRepliesAfter(perftBoard, moves.moves[i], side));
        }
        for (int32_t i = 0; i < moves.count && depth > 2; ++i) {
            BoardUndo undo;
            makeBoardMove(perftBoard, moves.moves[i], side, undo);
            total += countFrom(1 - side, depth - 1);
            undoBoardMove(perftBoard, moves.moves[i], side, undo);
        }
    } while (generateNextBoardMoves(perftBoard, side, moves));
    return total;
}

} // namespace

int64_t countBoardMoves(Board& board, int32_t side) {
    const int64_t total =
        countOnSets(board, side, board.occupied[side], board.occupied[1 - side], board.kings);
    return total >= 0 ? total : countByWalking(board, side);
}

int64_t countRepliesAfter(Board& board, const BoardMove& move, int32_t side) {
    const SetsAfter after = setsAfter(board, move, side);
    const SquareBits replying = after.occupied[1 - side];
    // Long-range kings and captures need the board itself: the move is played and every
    // piece walked.
    if (ruleVariant == 0 || !(replying & after.kings)) {
        const int64_t total =
            countOnSets(board, 1 - side, replying, after.occupied[side], after.kings);
        if (total >= 0) return total;
    }
    BoardUndo undo;
    makeBoardMove(board, move, side, undo);
    const int64_t total = countByWalking(board, 1 - side);
    undoBoardMove(board, move, side, undo);
    return total;
}

int32_t evaluateAfter(const Board& board, const BoardMove& move, int32_t side) {
    const SetsAfter after = setsAfter(board, move, side);
    // The king distance terms look for each side's first king: that takes the board itself.
    if (ruleVariant == 0 && (after.kings & after.occupied[0]) &&
        (after.kings & after.occupied[1])) {
        Board played;
        playBoardMove(board, played, move, side);
        return evaluateBoard(played, side);
    }
    const int32_t total = evaluateSets(after.occupied, after.value);
    return side == 0 ? total : -total;
}

uint64_t fastPerft(const Position& position, int32_t side, int32_t depth) {
    if (depth == 0) return 1;
    assert(depth > 0 && depth <= MaxPerftDepth);
    setBoard(position, perftBoard);
    return countFrom(side, depth);
}
