// The static evaluation: one pass over both sides' pieces. squareValue is a constant table.
#include "rules/evaluate.h"

#include <cmath>
#include <initializer_list>

const int32_t squareValue[2][MaxBoardSize][MaxBoardSize] = {
    {
        {25, 0, 10, 0, 0, 0, 0, 10, 0, 25},
        {25, 10, 0, 0, 0, 0, 0, 0, 10, 25},
        {25, 0, 0, 0, 5, 5, 0, 0, 0, 25},
        {25, 0, 0, 5, 15, 15, 5, 0, 0, 25},
        {25, 0, 5, 15, 20, 20, 15, 5, 0, 25},
        {25, 0, 5, 15, 20, 20, 15, 5, 0, 25},
        {25, 0, 0, 5, 15, 15, 5, 0, 0, 25},
        {25, 0, 0, 0, 5, 5, 0, 0, 0, 25},
        {25, 10, 0, 0, 0, 0, 0, 0, 10, 25},
        {25, 0, 10, 0, 0, 0, 0, 10, 0, 25},
    },
    {
        // Column 5 of rows 3 and 4 holds 50: that square is worth more than its mirror.
        {25, 0, 10, 0, 0, 10, 0, 25, -1, -1},
        {25, 0, 0, 0, 0, 0, 0, 25, -1, -1},
        {25, 0, 0, 5, 5, 0, 0, 25, -1, -1},
        {25, 0, 5, 10, 10, 50, 0, 25, -1, -1},
        {25, 0, 5, 10, 10, 50, 0, 25, -1, -1},
        {25, 0, 0, 5, 5, 0, 0, 25, -1, -1},
        {25, 0, 0, 0, 0, 0, 0, 25, -1, -1},
        {25, 0, 10, 0, 0, 10, 0, 25, -1, -1},
        {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
        {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    },
};

int32_t supportBonus(int32_t piece, int32_t side, const Position& position) {
    const Piece& p = pieceOf(position, side, piece);
    const int32_t behind = side == 0 ? p.row + 1 : p.row - 1;
    int32_t bonus = 0;
    for (const int32_t column : {p.column - 1, p.column + 1}) {
        if (isOnBoard(column, behind) && findPieceAt(column, behind, position) >= 0 &&
            lastFoundSide == side) {
            bonus += 50;
        }
    }
    return bonus;
}

int32_t kingDistanceTerm(const Position& position, int32_t side, int32_t piece) {
    const Piece& p = pieceOf(position, side, piece);
    const int32_t other = 1 - side;
    for (int32_t index = 0; index < piecesPerSide(); ++index) {
        const Piece& king = pieceOf(position, other, index);
        if (king.column == -1 || king.king != 1) continue;
        const int32_t dc = king.column - p.column, dr = king.row - p.row;
        const int32_t distance =
            static_cast<int32_t>(std::sqrt(static_cast<double>(dc * dc + dr * dr)));
        return 10 * (ruleVariants[ruleVariant].columns - distance);
    }
    return 0;
}

int32_t evaluate(const Position& position, int32_t side) {
    const int32_t w = ruleVariants[ruleVariant].columns;
    const auto& table = squareValue[w == 10 ? 0 : 1];
    int32_t total = 0;
    for (int32_t s = 0; s < SideCount; ++s) {
        for (int32_t index = 0; index < piecesPerSide(); ++index) {
            const Piece& p = pieceOf(position, s, index);
            if (p.column == -1) continue;
            int32_t value = 10 * (50 + (s == 0 ? w - 1 - p.row : p.row));
            value += table[p.row][p.column] / 5;
            value += supportBonus(index, s, position);
            if (p.king == 1) {
                value += ruleVariant == 0 ? kingDistanceTerm(position, s, index) + 300
                                          : (p.column == p.row ? 400 : 300);
            }
            total += s == 0 ? value : -value;
        }
    }
    return side == 0 ? total : -total;
}
