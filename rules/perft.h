// Move-path counting over the plain generator, the outside check of the move rules (fastPerft,
// in fast_board.h, counts the same on the fast board). Owns its own per-depth move lists and
// children (not the search's), overwritten by every count.
#pragma once

#include "rules/position.h"

constexpr int32_t MaxPerftDepth = 20;

// Number of move sequences of exactly depth plies from the position, sides alternating
// from side; 1 at depth 0, and a side with no move ends its sequences (counts 0).
uint64_t perft(const Position& position, int32_t side, int32_t depth);
