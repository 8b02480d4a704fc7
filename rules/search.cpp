// The plain principal-variation search, which defines what the computer chooses: no move
// ordering beyond generation order, no memory between nodes. Its per-ply storage is module
// state, overwritten by every search. The game's root calls go to the fast search.
#include "rules/search.h"

#include <cassert>

#include "rules/evaluate.h"
#include "rules/fast_search.h"

int32_t searchDepth = 0;
Move bestMove[MaxSearchDepth] = {};
uint64_t searchNodes = 0;

namespace {
MoveList plyMoves[MaxSearchDepth]; // the moves of the node at each ply
Position plyChild[MaxSearchDepth]; // the child being searched at each ply
} // namespace

int32_t levelSearchDepth(int32_t level) {
    return ruleVariant == 0 ? 2 * level + 7 : 4 * level + 5;
}

int32_t plainSearchMove(int32_t ply, const Position& position, int32_t side, int32_t alpha,
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
            const int32_t v = -plainSearchMove(ply + 1, child, 1 - side, -best - 1, -best);
            if (v <= best) continue;
            if (v < beta) {
                const int32_t exact = -plainSearchMove(ply + 1, child, 1 - side, -beta, -best);
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

int32_t searchMove(int32_t ply, const Position& position, int32_t side, int32_t alpha,
                   int32_t beta) {
    if (ply == 0 && alpha == -SearchInfinity && beta == SearchInfinity) {
        return fastSearchRoot(position, side, searchDepth);
    }
    return plainSearchMove(ply, position, side, alpha, beta);
}

int32_t searchRoot(const Position& position, int32_t side, int32_t depth) {
    return fastSearchRoot(position, side, depth);
}

int32_t plainSearchRoot(const Position& position, int32_t side, int32_t depth) {
    assert(depth >= 1 && depth <= MaxSearchDepth);
    searchDepth = depth;
    bestMove[0].piece = -1;
    return plainSearchMove(0, position, side, -SearchInfinity, SearchInfinity);
}
