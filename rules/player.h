// The computer player's terms that both searches share: the depth of the search, the best
// move found at each ply, the root window and the values of lost and blocked positions. Owns
// searchDepth and bestMove, written by whichever search runs (the plain reference of
// search.h or the fast search of fast_search.h) and by the game controller; record 0 of
// bestMove is the move to play.
#pragma once

#include "rules/moves.h"

constexpr int32_t MaxSearchDepth = 20;      // deepest search korvath-engine accepts
constexpr int32_t SearchInfinity = 1000000; // the root window is (-SearchInfinity, SearchInfinity)
constexpr int32_t LossStep = 55555;         // a loss at ply p is worth (p - depth - 1) * 55555
constexpr int32_t BlockedValue = 10000000;  // the human blocked with pieces left

extern int32_t searchDepth;           // ply at which the search evaluates
extern Move bestMove[MaxSearchDepth]; // best move so far per ply; piece -1 means none

// Search depth of a level (0 "BEGINNERS", 1 "EXPERT") under the current rule set.
int32_t levelSearchDepth(int32_t level);
