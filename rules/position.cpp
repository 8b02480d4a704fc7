// The rule-set table, the game's shared rule state and the square queries.
// ruleVariant and boardSize are written by the game controller (and the engine);
// lastFoundSide only by findPieceAt.
#include "rules/position.h"

#include <cassert>

const RuleVariant ruleVariants[RuleVariantCount] = {
    {"US RULES", 8, 8, 12},
    {"FRENCH 1", 10, 10, 20},
    {"FRENCH 2", 10, 10, 20},
};
int32_t ruleVariant = 0;
int32_t boardSize = 8;
int32_t lastFoundSide = 0;
Position gamePosition = {};

void selectRuleVariant(int32_t variant) {
    assert(variant >= 0 && variant < RuleVariantCount);
    ruleVariant = variant;
    boardSize = ruleVariants[variant].columns;
}

void setUpPosition(Position& position) {
    if (ruleVariant == 0) {
        for (int32_t r = 0; r < 3; ++r) {
            for (int32_t k = 0; k < 4; ++k) {
                pieceOf(position, 0, 4 * r + k) = {(5 + r) % 2 + 2 * k, 5 + r, 0};
                pieceOf(position, 1, 4 * r + k) = {r % 2 + 2 * k, r, 0};
            }
        }
        return;
    }
    for (int32_t r = 0; r < 4; ++r) {
        for (int32_t k = 0; k < 5; ++k) {
            pieceOf(position, 0, 5 * r + k) = {r % 2 + 2 * k, 6 + r, 0};
            pieceOf(position, 1, 5 * r + k) = {r % 2 + 2 * k, r, 0};
        }
    }
}

int32_t findPieceAt(int32_t column, int32_t row, const Position& position) {
    const int32_t count = piecesPerSide();
    int32_t found = -1;
    int32_t foundSide = 0;
    for (int32_t side = 0; side < SideCount; ++side) {
        for (int32_t index = 0; index < count; ++index) {
            const Piece& piece = pieceOf(position, side, index);
            if (piece.column == column && piece.row == row) {
                found = index;
                foundSide = side;
            }
        }
    }
    if (found >= 0) lastFoundSide = foundSide;
    return found;
}

int32_t countPieces(const Position& position, int32_t side) {
    const int32_t count = piecesPerSide();
    int32_t onBoard = 0;
    for (int32_t index = 0; index < count; ++index) {
        if (pieceOf(position, side, index).column != -1) ++onBoard;
    }
    return onBoard;
}
