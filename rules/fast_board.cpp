// The fast board itself: its tables (built by prepareBoards for the current rule set, declared
// in fast_tables.h), setting it up from a Position, making and taking back moves with the
// evaluation kept up to date, and the evaluation. The move generator is fast_moves.cpp, the
// counting and judging from bit sets fast_count.cpp.
#include "rules/fast_board.h"

#include <cmath>
#include <cstring>

#include "rules/evaluate.h"
#include "rules/fast_tables.h"

// The tables fast_tables.h declares; written only by buildTables.
int32_t preparedVariant = -1;
uint8_t cellOfSquare[100];
int8_t squareOfCell[BoardCellCount];
int8_t rowOfCell[BoardCellCount];
int8_t emptyCells[BoardCellCount];
int32_t pieceValue[2][100][2];
int32_t kingDistanceValue[100][100];
SquareBits onBoardBits;
SquareBits fromColumnBits[4][3];
SquareBits neighbourBits[100];
SquareBits rayBits[100][4];

namespace {

int32_t cellOf(int32_t column, int32_t row) {
    return (row + 2) * RowCells + column + 2;
}

template <int32_t D> SquareBits rayFrom(SquareBits bit) {
    SquareBits ray = 0;
    for (SquareBits at = stepped<D>(bit); at; at = stepped<D>(at)) ray |= at;
    return ray;
}

void buildTables() {
    const int32_t size = ruleVariants[ruleVariant].columns;
    const auto& table = squareValue[size == 10 ? 0 : 1];
    std::memset(squareOfCell, -1, sizeof squareOfCell);
    std::memset(rowOfCell, -1, sizeof rowOfCell);
    std::memset(emptyCells, OffBoardCell, sizeof emptyCells);
    onBoardBits = 0;
    std::memset(fromColumnBits, 0, sizeof fromColumnBits);
    for (int32_t row = 0; row < size; ++row) {
        for (int32_t column = 0; column < size; ++column) {
            const int32_t square = row * 10 + column, cell = cellOf(column, row);
            cellOfSquare[square] = static_cast<uint8_t>(cell);
            squareOfCell[cell] = static_cast<int8_t>(square);
            rowOfCell[cell] = static_cast<int8_t>(row);
            emptyCells[cell] = EmptyCell;
            if ((row + column) % 2 == 0) onBoardBits |= bitOf(square);
            for (int32_t direction = 0; direction < 4; ++direction) {
                const int32_t dc = direction < 2 ? -1 : 1;
                for (int32_t k = 1; k <= 2; ++k) {
                    if (column + k * dc >= 0 && column + k * dc < size) {
                        fromColumnBits[direction][k] |= bitOf(square);
                    }
                }
            }
            for (int32_t side = 0; side < 2; ++side) {
                const int32_t base =
                    10 * (50 + (side == 0 ? size - 1 - row : row)) + table[row][column] / 5;
                const int32_t kingTerm = ruleVariant == 0 ? 300 : (column == row ? 400 : 300);
                pieceValue[side][square][0] = base;
                pieceValue[side][square][1] = base + kingTerm;
            }
            for (int32_t other = 0; other < 100; ++other) {
                const int32_t dc = other % 10 - column, dr = other / 10 - row;
                const int32_t distance =
                    static_cast<int32_t>(std::sqrt(static_cast<double>(dc * dc + dr * dr)));
                kingDistanceValue[square][other] = 10 * (size - distance);
            }
        }
    }
    for (int32_t square = 0; square < 100; ++square) {
        const SquareBits bit = onBoardBits & bitOf(square);
        neighbourBits[square] =
            stepped<0>(bit) | stepped<1>(bit) | stepped<2>(bit) | stepped<3>(bit);
        rayBits[square][0] = rayFrom<0>(bit);
        rayBits[square][1] = rayFrom<1>(bit);
        rayBits[square][2] = rayFrom<2>(bit);
        rayBits[square][3] = rayFrom<3>(bit);
    }
    preparedVariant = ruleVariant;
}

// The "US RULES" distance terms of the side's kings, to the other side's first king.
int32_t kingDistanceTotal(const Board& board, int32_t side) {
    const uint8_t* others = board.pieces + (1 - side) * MaxPiecesPerSide;
    int32_t target = -1;
    for (int32_t index = 0; index < piecesPerSide() && target < 0; ++index) {
        if (others[index] != CapturedPiece && (others[index] & KingBit))
            target = others[index] & ~KingBit;
    }
    const uint8_t* pieces = board.pieces + side * MaxPiecesPerSide;
    int32_t total = 0;
    for (int32_t index = 0; index < piecesPerSide(); ++index) {
        if (pieces[index] != CapturedPiece && (pieces[index] & KingBit)) {
            total += kingDistanceValue[pieces[index] & ~KingBit][target];
        }
    }
    return total;
}

} // namespace

void prepareBoards() {
    if (preparedVariant != ruleVariant) buildTables();
}

void setBoard(const Position& position, Board& board) {
    prepareBoards();
    std::memcpy(board.cells, emptyCells, sizeof board.cells);
    std::memset(board.pieces, CapturedPiece, sizeof board.pieces);
    board.occupied[0] = board.occupied[1] = board.kings = 0;
    board.value[0] = board.value[1] = 0;
    for (int32_t side = 0; side < SideCount; ++side) {
        for (int32_t index = 0; index < piecesPerSide(); ++index) {
            const Piece& piece = pieceOf(position, side, index);
            if (piece.column == -1) continue;
            const int32_t record = side * MaxPiecesPerSide + index;
            const int32_t square = piece.row * 10 + piece.column;
            board.pieces[record] = static_cast<uint8_t>(square | (piece.king != 0 ? KingBit : 0));
            board.cells[cellOfSquare[square]] = static_cast<int8_t>(record + 1);
            board.occupied[side] |= bitOf(square);
            if (piece.king != 0) board.kings |= bitOf(square);
            board.value[side] += pieceValue[side][square][piece.king != 0];
        }
    }
}

void makeBoardMove(Board& board, const BoardMove& move, int32_t side, BoardUndo& undo) {
    const int32_t record = side * MaxPiecesPerSide + move.piece, other = 1 - side;
    const uint8_t mover = board.pieces[record];
    undo.occupied[0] = board.occupied[0];
    undo.occupied[1] = board.occupied[1];
    undo.kings = board.kings;
    undo.value[0] = board.value[0];
    undo.value[1] = board.value[1];
    undo.mover = mover;
    const int32_t from = mover & ~KingBit;
    board.cells[cellOfSquare[from]] = EmptyCell;
    board.occupied[side] &= ~bitOf(from);
    board.kings &= ~bitOf(from);
    board.value[side] -= pieceValue[side][from][mover >> 7];
    for (int32_t k = 0; k < move.captures; ++k) {
        const int32_t taken = move.captured[k];
        const uint8_t piece = board.pieces[taken];
        const int32_t square = piece & ~KingBit;
        undo.captured[k] = piece;
        board.cells[cellOfSquare[square]] = EmptyCell;
        board.pieces[taken] = CapturedPiece;
        board.occupied[other] &= ~bitOf(square);
        board.kings &= ~bitOf(square);
        board.value[other] -= pieceValue[other][square][piece >> 7];
    }
    uint8_t king = mover & KingBit;
    const int32_t farRow = side == 0 ? 0 : ruleVariants[ruleVariant].rows - 1;
    for (int32_t k = 0; k < move.steps && !king; ++k) {
        if (rowOfCell[move.path[k]] == farRow) king = KingBit;
    }
    // Last, as a chain may end on its own start or on a square it has just cleared.
    const int32_t to = move.path[move.steps - 1], square = squareOfCell[to];
    board.cells[to] = static_cast<int8_t>(record + 1);
    board.pieces[record] = static_cast<uint8_t>(square | king);
    board.occupied[side] |= bitOf(square);
    if (king) board.kings |= bitOf(square);
    board.value[side] += pieceValue[side][square][king >> 7];
}

void undoBoardMove(Board& board, const BoardMove& move, int32_t side, const BoardUndo& undo) {
    const int32_t record = side * MaxPiecesPerSide + move.piece;
    board.cells[move.path[move.steps - 1]] = EmptyCell;
    for (int32_t k = 0; k < move.captures; ++k) {
        const int32_t taken = move.captured[k];
        board.pieces[taken] = undo.captured[k];
        board.cells[cellOfSquare[undo.captured[k] & ~KingBit]] = static_cast<int8_t>(taken + 1);
    }
    board.pieces[record] = undo.mover;
    board.cells[cellOfSquare[undo.mover & ~KingBit]] = static_cast<int8_t>(record + 1);
    board.occupied[0] = undo.occupied[0];
    board.occupied[1] = undo.occupied[1];
    board.kings = undo.kings;
    board.value[0] = undo.value[0];
    board.value[1] = undo.value[1];
}

void playBoardMove(const Board& before, Board& after, const BoardMove& move, int32_t side) {
    std::memcpy(&after, &before, sizeof after);
    BoardUndo undo;
    makeBoardMove(after, move, side, undo);
}

int32_t countBoardPieces(const Board& board, int32_t side) {
    int32_t count = 0;
    for (int32_t index = 0; index < piecesPerSide(); ++index) {
        count += board.pieces[side * MaxPiecesPerSide + index] != CapturedPiece;
    }
    return count;
}

int32_t evaluateBoard(const Board& board, int32_t side) {
    int32_t total = evaluateSets(board.occupied, board.value);
    if (ruleVariant == 0 && (board.kings & board.occupied[0]) &&
        (board.kings & board.occupied[1])) {
        total += kingDistanceTotal(board, 0) - kingDistanceTotal(board, 1);
    }
    return side == 0 ? total : -total;
}

Move toMove(const BoardMove& move) {
    Move result;
    result.piece = move.piece;
    result.steps = move.steps;
    for (int32_t k = 0; k < move.steps; ++k) {
        const int32_t square = squareOfCell[move.path[k]];
        result.path[k] = {square % 10, square / 10};
    }
    return result;
}
