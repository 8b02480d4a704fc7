// The computer player's fast search, the one the game and korvath-engine play: the same root
// value and move as the plain reference (plainSearchRoot, search.h), reached with a
// transposition table, move ordering and iterative deepening. Owns the table (static, never
// freed; its contents are facts about positions, so they survive from search to search) and
// the per-ply boards and move lists, overwritten by every search.
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
// Empties the transposition table (for measurements that must start cold).
void clearTranspositions();
