// Move-path counting on the game's own generator, one list and child per depth.
#include "rules/perft.h"

#include <cassert>

#include "rules/board.h"
#include "rules/moves.h"

namespace {
MoveList perftMoves[MaxPerftDepth];           // the moves at each remaining depth
Position perftChild[MaxPerftDepth];           // the child being counted at each remaining depth
Board perftBoard;                             // the fast count's board, played in place
BoardMoveList perftBoardMoves[MaxPerftDepth]; // the moves at each remaining depth

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

uint64_t perft(const Position& position, int32_t side, int32_t depth) {
    if (depth == 0) return 1;
    assert(depth > 0 && depth <= MaxPerftDepth);
    MoveList& moves = perftMoves[depth - 1];
    generateMoves(position, side, moves);
    if (depth == 1) return static_cast<uint64_t>(moves.total);
    uint64_t total = 0;
    do {
        for (int32_t i = 0; i < moves.count; ++i) {
            playMove(position, perftChild[depth - 1], moves.moves[i], side);
            total += perft(perftChild[depth - 1], 1 - side, depth - 1);
        }
    } while (generateNextMoves(position, side, moves));
    return total;
}

uint64_t fastPerft(const Position& position, int32_t side, int32_t depth) {
    if (depth == 0) return 1;
    assert(depth > 0 && depth <= MaxPerftDepth);
    setBoard(position, perftBoard);
    return countFrom(side, depth);
}
