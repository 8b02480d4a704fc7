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

// Upper bound on the legal moves of one side in any position; see moves.cpp for the argument.
constexpr int32_t MaxMoves = 1024;

struct MoveList {
    Move moves[MaxMoves];
    int32_t count;
};

// Lists every legal move of the side: only captures when any capture exists.
void generateMoves(const Position& position, int32_t side, MoveList& list);
// Appends the moves of one piece: mode 1 captures only, mode 0 plain moves only.
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
