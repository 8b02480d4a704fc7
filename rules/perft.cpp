// Move-path counting on the plain generator, one list and child per depth.
#include "rules/perft.h"

#include <cassert>

#include "rules/moves.h"

namespace {

// Scratch of one perft call, rewritten by the next.
MoveList perftMoves[MaxPerftDepth]; // the moves at each remaining depth
Position perftChild[MaxPerftDepth]; // the child being counted at each remaining depth

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
