// The plain reference search. Its per-ply storage is this file's, overwritten by every search.
#include "rules/search.h"

#include <cassert>

#include "rules/evaluate.h"

uint64_t searchNodes = 0;

namespace {

// Scratch of one searchMove call, rewritten by the next.
MoveList plyMoves[MaxSearchDepth]; // the moves of the node at each ply
Position plyChild[MaxSearchDepth]; // the child being searched at each ply

} // namespace

int32_t searchMove(int32_t ply, const Position& position, int32_t side, int32_t alpha,
                   int32_t beta) {
    ++searchNodes;
    if (ply == searchDepth) return evaluate(position, side);
    assert(ply >= 0 && ply < MaxSearchDepth && searchDepth <= MaxSearchDepth);
    MoveList& moves = plyMoves[ply];
    generateMoves(position, side, moves);
    if (moves.total == 0) {
        const int32_t loss = (ply - searchDepth - 1) * LossStep;
        // A human left blocked with pieces is a line the computer must not choose.
        if (ply % 2 == 1 && countPieces(position, side) != 0) return BlockedValue;
        return loss;
    }
    int32_t best = alpha;
    Position& child = plyChild[ply];
    do {
        for (int32_t i = 0; i < moves.count; ++i) {
            if (best >= beta) return best;
            const Move& move = moves.moves[i];
            playMove(position, child, move, side);
            const int32_t v = -searchMove(ply + 1, child, 1 - side, -best - 1, -best);
            if (v <= best) continue;
            if (v < beta) {
                const int32_t exact = -searchMove(ply + 1, child, 1 - side, -beta, -best);
                if (exact > best) {
                    best = exact;
                    bestMove[ply] = move;
                }
            } else {
                best = v;
                bestMove[ply] = move;
            }
        }
    } while (generateNextMoves(position, side, moves));
    return best;
}

int32_t plainSearchRoot(const Position& position, int32_t side, int32_t depth) {
    assert(depth >= 1 && depth <= MaxSearchDepth);
    searchDepth = depth;
    bestMove[0].piece = -1;
    return searchMove(0, position, side, -SearchInfinity, SearchInfinity);
}
