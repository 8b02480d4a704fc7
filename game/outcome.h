// Whether a game has ended and why: a side without a piece or without a legal
// move on its turn has lost; three draw rules end a game no one can win. Judged
// from the position and the game's record alone, so a take back or a game set up
// from a position needs no state of its own here. Stateless.
#pragma once

#include <vector>

#include "rules/position.h"

struct PlayedMove;

enum class GameResult { Ongoing, WhitesWin, BlacksWin, Draw };

enum class EndReason {
    None,
    NoPieceLeft,   // the loser has no piece on the board
    CannotMove,    // the loser has pieces but no legal move on its turn
    Repetition,    // the same placement with the same side to move a third time
    KingMovesOnly, // 10x10: 25 moves of each side moving only kings, no capture
    NoProgress,    // 8x8: 40 moves of each side without a capture or a man's move
};

struct Outcome {
    GameResult result;
    EndReason reason;
};

// Plies of only king moves without a capture that draw on 10x10, and plies
// without a capture or a man's move that draw on 8x8.
constexpr int KingMovesDrawPlies = 50;
constexpr int NoProgressDrawPlies = 80;

// The game under the current rule set with `sideToMove` to play in `position`,
// after the moves of `history` (each complete; the last one led to `position`).
Outcome judgeGame(const Position& position, int sideToMove, const std::vector<PlayedMove>& history);
// The side a result names as the winner, or -1 for a draw or an ongoing game.
int winnerOf(GameResult result);
