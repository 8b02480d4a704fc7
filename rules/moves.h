// Moves: the legal-move generator with compulsory captures and full capture chains, and
// move application with crowning. Owns the generators' scratch storage (rewritten by every
// generateMoves call). The order in which moves are listed is a contract: the human's input
// and the computer's tie-breaks depend on it.
#pragma once

#include "rules/position.h"

// Every jump of a chain captures one opposing piece and removes it at once, so a chain is no
// longer than the other side's piece count: 20 on the 10x10 boards.
constexpr int32_t MaxPathSteps = MaxPiecesPerSide;

struct Move {
    int32_t piece;             // index of the moving piece within its side
    Square path[MaxPathSteps]; // the landing squares, in order; one per jump
    int32_t steps;             // used entries of path, 1..MaxPathSteps
};

// A list holds a window of at most MaxMoves moves. Plain moves always fit (a piece reaches at
// most the 17 other squares of its diagonals, and 20 x 17 = 340), and so do the captures of
// any position a game is likely to meet; but capture chains branch at every landing square
// and every turn: five long-range kings facing a crowd have over 6,000 captures, more kings
// over 30,000, and no fixed size worth its memory is safe. So a list that overflows is not
// cut: it keeps the first MaxMoves, counts them all in total, and generateNextMoves lists the
// following ones.
constexpr int32_t MaxMoves = 512;

struct MoveList {
    Move moves[MaxMoves];
    int32_t count; // moves held in moves[]
    int64_t first; // generation-order index of moves[0]
    int64_t total; // every legal move of the side; count < total when they did not all fit
};

// Lists the legal moves of the side, from the first: only captures when any capture exists.
void generateMoves(const Position& position, int32_t side, MoveList& list);
// Lists the window after the one the list holds (same position and side); false when the
// list already ended with the last move. Loop: generateMoves, then while generateNextMoves.
bool generateNextMoves(const Position& position, int32_t side, MoveList& list);
// Appends the moves of one piece to the list's window: mode 1 captures only, mode 0 plain
// moves only.
void generatePieceMoves(const Position& position, int32_t piece, int32_t side, MoveList& list,
                        int32_t mode);

// Moves the piece one path step in place: removes what the step jumped, crowns a man that
// lands on its far row. Does not check legality.
void applyStep(Position& position, int32_t piece, int32_t column, int32_t row, int32_t side);
inline void applyStep(Position& position, int32_t piece, Square to, int32_t side) {
    applyStep(position, piece, to.column, to.row, side);
}
// Copies the game's records of both sides from source to destination, then applies the step.
void copyAndApplyStep(const Position& source, Position& destination, int32_t piece, int32_t column,
                      int32_t row, int32_t side);
// Plays every step of the move: after is before with the move made.
void playMove(const Position& before, Position& after, const Move& move, int32_t side);
bool sameMove(const Move& a, const Move& b);
