// The computer player's fast search, the one the game and korvath-engine play: the same root
// value and move as the plain reference (plainSearchRoot, search.h), reached with a
// transposition table, move ordering and iterative deepening, on one thread or, once
// startSearchHelper has run, on two. Owns the table (static, never freed; its contents are
// facts about positions, so they survive from search to search), the per-ply boards and move
// lists of each thread, overwritten by every search, and the helper thread.
#pragma once

#include <atomic>

#include "rules/player.h"

constexpr int32_t TranspositionEntries = 1 << 18; // 48 bytes each: 12 MiB

extern uint64_t fastSearchNodes; // positions the fast search has visited; never wiped
// Set (from any thread) to abandon the running search: every node then returns at once and
// nothing more enters the table; the root's answer is meaningless. Cleared by the one who set
// it, once the stopped search has returned.
extern std::atomic<bool> fastSearchStop;

// The root search to the given depth (1..MaxSearchDepth): sets searchDepth, fills bestMove[0]
// (piece -1 when no move beat the floor) and returns the root's value, both exactly as
// plainSearchRoot finds them.
int32_t fastSearchRoot(const Position& position, int32_t side, int32_t depth);
// Starts the helper thread, which from then on searches a share of every root's moves beside
// the thread that searches (the answers stay the same; only the time they take changes), or
// keeps the one already running. False when no thread could be made: searches then stay on
// one thread. Called outside any search, like stopSearchHelper.
bool startSearchHelper();
// Ends the helper thread, if any, and waits for it. The program's end calls it too.
void stopSearchHelper();
// Empties the transposition table (for measurements that must start cold).
void clearTranspositions();
