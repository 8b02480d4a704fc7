// The static evaluation of the computer player: material, advancement, the positional table,
// support from behind and the king terms. Owns squareValue (constant).
#pragma once

#include "rules/position.h"

// [0] for the 10x10 board, [1] for the 8x8 board (its first 8 rows and columns); indexed
// [row][column]; every use divides the entry by 5.
extern const int32_t squareValue[2][MaxBoardSize][MaxBoardSize];

// Score of the position for the side (higher is better for it).
int32_t evaluate(const Position& position, int32_t side);
// 50 for each own piece on the two squares diagonally behind the piece: 0, 50 or 100.
int32_t supportBonus(int32_t piece, int32_t side, const Position& position);
// "US RULES" king term: 10 x (columns - distance to the first opposing king), or 0.
int32_t kingDistanceTerm(const Position& position, int32_t side, int32_t piece);
