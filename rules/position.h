// The position, the table of the three rule sets and the two queries every other rule asks
// (which piece stands on a square, how many pieces a side has). Owns ruleVariants (constant),
// ruleVariant and boardSize (written by the game controller and korvath-engine),
// lastFoundSide (written by findPieceAt) and gamePosition (the game controller's game).
#pragma once

#include <cstdint>

constexpr int32_t MaxPiecesPerSide = 20; // records per side in every Position
constexpr int32_t SideCount = 2;
constexpr int32_t RuleVariantCount = 3;
constexpr int32_t MaxBoardSize = 10;

struct Piece {
    int32_t column; // board column, or -1 for a captured piece
    int32_t row;    // board row; keeps its last value once captured
    int32_t king;   // 0 man, 1 king
};

struct Square {
    int32_t column;
    int32_t row;
};

// Side s, index j lives at pieces[s * MaxPiecesPerSide + j]; only the first piecesPerSide
// records of each side belong to the game. Indices never change during a game.
struct Position {
    Piece pieces[SideCount * MaxPiecesPerSide];
};

struct RuleVariant {
    const char* label;     // menu text: "US RULES", "FRENCH 1", "FRENCH 2"
    int32_t columns;       // board width
    int32_t rows;          // side 1 is crowned on row rows - 1
    int32_t piecesPerSide; // bounds every loop over a side's pieces
};

// Index 0 "US RULES" 8x8, 1 "FRENCH 1" and 2 "FRENCH 2" 10x10.
extern const RuleVariant ruleVariants[RuleVariantCount];
extern int32_t ruleVariant;   // current rule set, 0..2; 0 at program start
extern int32_t boardSize;     // columns of the current rule set; every bounds test uses it
extern int32_t lastFoundSide; // side of the piece the last successful findPieceAt found
extern Position gamePosition; // the game in progress; owned by the game controller

// Sets ruleVariant and boardSize together (the engine and tests; the game writes both itself).
void selectRuleVariant(int32_t variant);
inline int32_t piecesPerSide() {
    return ruleVariants[ruleVariant].piecesPerSide;
}
inline Piece& pieceOf(Position& position, int32_t side, int32_t index) {
    return position.pieces[side * MaxPiecesPerSide + index];
}
inline const Piece& pieceOf(const Position& position, int32_t side, int32_t index) {
    return position.pieces[side * MaxPiecesPerSide + index];
}
inline bool isOnBoard(int32_t column, int32_t row) {
    return column >= 0 && column < boardSize && row >= 0 && row < boardSize;
}

// Writes the starting position of the current rule set: the first piecesPerSide records of
// each side, all men. The other records are left as they were.
void setUpPosition(Position& position);
// Index of the piece on the square, or -1; sets lastFoundSide only when it finds one.
// Column -1 matches a captured piece whose stored row is the row asked.
int32_t findPieceAt(int32_t column, int32_t row, const Position& position);
// Pieces of the side still on the board.
int32_t countPieces(const Position& position, int32_t side);
