// The game's one random generator and the computer's random opening steps. randomState is
// written only by nextRandom.
#include "rules/random.h"

uint32_t randomState = 1;

int32_t nextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int32_t>((randomState >> 16) & 0x7FFF);
}

namespace {

bool holdsPiece(int32_t column, int32_t row, const Position& position) {
    return isOnBoard(column, row) && findPieceAt(column, row, position) >= 0;
}

// The step of this piece to target column is playable and leaves no piece diagonally ahead of
// the target. In the first moves of a game only the last test can fail; the others keep an
// arbitrary position from yielding a captured piece or a square off the board.
bool isQuietStep(const Piece& piece, int32_t targetColumn, int32_t side, const Position& position) {
    const int32_t forward = side == 0 ? -1 : 1;
    const int32_t targetRow = piece.row + forward, beyond = targetRow + forward;
    if (piece.column == -1 || !isOnBoard(targetColumn, targetRow)) return false;
    if (findPieceAt(targetColumn, targetRow, position) >= 0) return false;
    return !holdsPiece(targetColumn + 1, beyond, position) &&
           !holdsPiece(targetColumn - 1, beyond, position);
}

int32_t frontRowFirstIndex(int32_t side) {
    if (side == 0) return 0;
    return ruleVariants[ruleVariant].columns == 8 ? 8 : 15;
}

int32_t frontRowCount() {
    return ruleVariants[ruleVariant].columns == 8 ? 4 : 5;
}

// Some front-row man has a quiet step, so the random draws below end. Without one they would
// draw for ever.
bool hasQuietStep(const Position& position, int32_t side) {
    const int32_t last = ruleVariants[ruleVariant].columns - 1;
    for (int32_t k = 0; k < frontRowCount(); ++k) {
        const Piece& piece = pieceOf(position, side, frontRowFirstIndex(side) + k);
        if ((piece.column != last && isQuietStep(piece, piece.column + 1, side, position)) ||
            (piece.column != 0 && isQuietStep(piece, piece.column - 1, side, position))) {
            return true;
        }
    }
    return false;
}

} // namespace

OpeningStep chooseOpeningMove(const Position& position, int32_t side) {
    if (!hasQuietStep(position, side)) return {-1, {0, 0}};
    const int32_t n = frontRowCount(), last = ruleVariants[ruleVariant].columns - 1;
    for (;;) {
        const int32_t piece = frontRowFirstIndex(side) + (nextRandom() * n) / 32768;
        const Piece& man = pieceOf(position, side, piece);
        int32_t column = man.column + 1;
        if (man.column == 0) {
            column = 1;
        } else if (man.column == last) {
            column = last - 1;
        } else if (nextRandom() > 16000) {
            column = man.column - 1;
        }
        if (isQuietStep(man, column, side, position)) {
            return {piece, {column, man.row + (side == 0 ? -1 : 1)}};
        }
    }
}
