// The fast board, on which the fast search (fast_search.h) and fastPerft play: the same
// position as a Position, with every square's occupant at hand and each side's squares as bit
// sets; its move generator (same moves, same order as generateMoves) and its evaluation (same
// numbers as evaluate). Owns nothing itself: its tables are fast_tables.h's.
#pragma once

#include "rules/moves.h"

// Cells: rows -2..11 of 12 cells (columns -2..9; columns 10 and 11 fall on the next row's
// -2 and -1), so a two-square jump from any square lands on a cell of the array.
constexpr int32_t BoardCellCount = 14 * 12 + 2;
constexpr int8_t OffBoardCell = -1;
constexpr int8_t EmptyCell = 0;
constexpr uint8_t CapturedPiece = 0x7F; // in Board::pieces
constexpr uint8_t KingBit = 0x80;
constexpr int32_t PieceRecords = SideCount * MaxPiecesPerSide;

// One bit per square, bit row x 10 + column.
using SquareBits = unsigned __int128;

struct Board {
    uint8_t pieces[PieceRecords]; // square (row x 10 + column) | KingBit, or CapturedPiece;
                                  // records past piecesPerSide are CapturedPiece
    int8_t cells[BoardCellCount]; // OffBoardCell, EmptyCell, or 1 + the record on it
    SquareBits occupied[2];       // each side's squares
    SquareBits kings;             // the kings' squares, both sides
    int32_t value[2];             // each side's material, advancement, table and king
                                  // terms: the evaluation but support and king distance
};

struct BoardMove {
    uint8_t piece;                  // index within the side
    uint8_t steps;                  // landing cells in path
    uint8_t captures;               // records in captured: steps for a capture, else 0
    uint8_t path[MaxPathSteps];     // landing cells, in order
    uint8_t captured[MaxPathSteps]; // record taken by each jump
};

// Boards' lists hold windows exactly as MoveList does.
constexpr int32_t MaxBoardMoves = 512;

struct BoardMoveList {
    BoardMove moves[MaxBoardMoves];
    int32_t count;
    int64_t first;
    int64_t total;
};

// Builds the tables of the current rule set; idempotent, cheap when nothing changed.
void prepareBoards();
void setBoard(const Position& position, Board& board);
// The board's moves, as generateMoves lists the position's. The board is used as scratch
// during capture chains and left as it was.
void generateBoardMoves(Board& board, int32_t side, BoardMoveList& list);
bool generateNextBoardMoves(Board& board, int32_t side, BoardMoveList& list);
// The number of legal moves, without listing them.
int64_t countBoardMoves(Board& board, int32_t side);
// The number of legal replies of the other side once the side has played the move, mostly
// without playing it; the board is left as it was.
int64_t countRepliesAfter(Board& board, const BoardMove& move, int32_t side);
void playBoardMove(const Board& before, Board& after, const BoardMove& move, int32_t side);

// What makeBoardMove changed, for undoBoardMove.
struct BoardUndo {
    SquareBits occupied[2]; // the board's sets and values before the move
    SquareBits kings;
    int32_t value[2];
    uint8_t mover;                  // the mover's record before the move
    uint8_t captured[MaxPathSteps]; // the captured pieces' records before the move
};
// Plays the move in place; undoBoardMove (same move, side and undo record) takes it back.
void makeBoardMove(Board& board, const BoardMove& move, int32_t side, BoardUndo& undo);
void undoBoardMove(Board& board, const BoardMove& move, int32_t side, const BoardUndo& undo);
int32_t evaluateBoard(const Board& board, int32_t side);
// The evaluation for the side of the board after the side has played the move, mostly without
// playing it.
int32_t evaluateAfter(const Board& board, const BoardMove& move, int32_t side);
int32_t countBoardPieces(const Board& board, int32_t side);
Move toMove(const BoardMove& move);

// perft (perft.h) on the fast board, counting the last ply's moves without making them.
uint64_t fastPerft(const Position& position, int32_t side, int32_t depth);
