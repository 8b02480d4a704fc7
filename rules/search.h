// The plain reference search: the principal-variation search that defines what the computer
// chooses, exactly as written (no ordering beyond generation order, no memory between nodes),
// slow on purpose. The game and korvath-engine play the fast search (fast_search.h); the tests
// hold it to this one. Owns searchNodes and its per-ply lists and children, overwritten by
// every search.
#pragma once

#include "rules/player.h"

extern uint64_t searchNodes; // positions the plain search has visited; never wiped

// The root call: sets searchDepth (1..MaxSearchDepth), clears bestMove[0] and searches the
// full window. Returns the root's value; bestMove[0].piece is -1 when no move beat the floor.
int32_t plainSearchRoot(const Position& position, int32_t side, int32_t depth);
// The search below the root: negamax value of the position for the side to move at this ply,
// filling bestMove on the way; evaluates at ply searchDepth.
int32_t searchMove(int32_t ply, const Position& position, int32_t side, int32_t alpha,
                   int32_t beta);
