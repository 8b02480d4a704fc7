// The computer player's search: the plain principal-variation search, which defines the
// computer's choice, and the entries that reach the same choice fast (fast_search.h). Owns
// searchDepth (set by the caller before each search), bestMove (overwritten by every search;
// record 0 is the move to play) and the plain search's per-ply storage.
#pragma once

#include "rules/moves.h"

constexpr int32_t MaxSearchDepth = 20;      // deepest search korvath-engine accepts
constexpr int32_t SearchInfinity = 1000000; // the root window is (-SearchInfinity, SearchInfinity)
constexpr int32_t LossStep = 55555;         // a loss at ply p is worth (p - depth - 1) * 55555
constexpr int32_t BlockedValue = 10000000;  // the human blocked with pieces left

extern int32_t searchDepth;           // ply at which the search evaluates
extern Move bestMove[MaxSearchDepth]; // best move so far per ply; piece -1 means none
extern uint64_t searchNodes;          // positions the plain search has visited; never wiped

// Search depth of a level (0 "BEGINNERS", 1 "EXPERT") under the current rule set.
int32_t levelSearchDepth(int32_t level);
// The plain search: negamax value of the position for the side to move at this ply, filling
// bestMove on the way; slow (no ordering, no memory), kept as the reference.
int32_t plainSearchMove(int32_t ply, const Position& position, int32_t side, int32_t alpha,
                        int32_t beta);
// The game's call: searchMove(0, gamePosition, computerSide, -1000000, 1000000) after setting
// bestMove[0].piece to -1 and searchDepth. The root with that window runs the fast search,
// which leaves the same value and bestMove[0]; any other call is the plain search.
int32_t searchMove(int32_t ply, const Position& position, int32_t side, int32_t alpha,
                   int32_t beta);
// The root search as the game runs it, to the given depth (1..MaxSearchDepth): sets
// searchDepth, clears bestMove[0] and searches the full window. Returns the root's value;
// bestMove[0].piece is -1 when the root found no move. searchRoot is the fast search,
// plainSearchRoot the reference.
int32_t searchRoot(const Position& position, int32_t side, int32_t depth);
int32_t plainSearchRoot(const Position& position, int32_t side, int32_t depth);
