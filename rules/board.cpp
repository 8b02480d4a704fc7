// The mailbox board: geometry and evaluation tables (rebuilt by prepareBoards when the rule
// set changes), the board move generator, move play and evaluation.
#include "rules/board.h"

#include <cassert>
#include <cmath>
#include <cstring>

#include "rules/evaluate.h"

namespace {

constexpr int32_t RowCells = 12;
constexpr int32_t Direction[4] = {-RowCells - 1, RowCells - 1, RowCells + 1, -RowCells + 1};
constexpr int32_t Reverse[4] = {2, 3, 0, 1};
constexpr int32_t ManStepDirections[2][2] = {{3, 0}, {2, 1}};
constexpr int32_t ManJumpDirections[2][2] = {{0, 3}, {1, 2}};

// Tables of the rule set in preparedVariant; rebuilt by prepareBoards.
int32_t preparedVariant = -1;        // rule set the tables below describe; -1 before any
uint8_t cellOfSquare[100];           // square (row x 10 + column) to cell
int8_t squareOfCell[BoardCellCount]; // cell to square, -1 off the board
int8_t rowOfCell[BoardCellCount];    // cell to row, -1 off the board
int8_t emptyCells[BoardCellCount];   // the cells of an empty board
int32_t pieceValue[2][100][2];       // [side][square][king]: every term but support and
                                     // the "US RULES" king distance
int32_t kingDistanceValue[100][100]; // 10 x (columns - truncated distance), "US RULES"

int32_t cellOf(int32_t column, int32_t row) {
    return (row + 2) * RowCells + column + 2;
}

void buildTables() {
    const int32_t size = ruleVariants[ruleVariant].columns;
    const auto& table = squareValue[size == 10 ? 0 : 1];
    std::memset(squareOfCell, -1, sizeof squareOfCell);
    std::memset(rowOfCell, -1, sizeof rowOfCell);
    std::memset(emptyCells, OffBoardCell, sizeof emptyCells);
    for (int32_t row = 0; row < size; ++row) {
        for (int32_t column = 0; column < size; ++column) {
            const int32_t square = row * 10 + column, cell = cellOf(column, row);
            cellOfSquare[square] = static_cast<uint8_t>(cell);
            squareOfCell[cell] = static_cast<int8_t>(square);
            rowOfCell[cell] = static_cast<int8_t>(row);
            emptyCells[cell] = EmptyCell;
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
    preparedVariant = ruleVariant;
}

bool isOwn(int32_t occupant, int32_t side) {
    return occupant > 0 && (occupant > MaxPiecesPerSide) == (side == 1);
}
bool isOpposing(int32_t occupant, int32_t side) {
    return occupant > 0 && (occupant > MaxPiecesPerSide) != (side == 1);
}

// The capture chains of one piece, on the board it was given, which it changes and restores.
template <bool Store> struct ChainWalk {
    int8_t* cells;
    int32_t side;
    uint8_t piece;
    int8_t occupant; // 1 + the moving piece's record
    BoardMoveList* list;
    uint8_t path[MaxPathSteps];
    uint8_t captured[MaxPathSteps];

    void append(int32_t steps, int32_t captures) {
        const int64_t index = list->total++;
        if (!Store || index < list->first || list->count == MaxBoardMoves) return;
        BoardMove& move = list->moves[list->count++];
        move.piece = piece;
        move.steps = static_cast<uint8_t>(steps);
        move.captures = static_cast<uint8_t>(captures);
        std::memcpy(move.path, path, steps);
        std::memcpy(move.captured, captured, captures);
    }

    // Takes the piece on middle, lands on to, walks on, and puts everything back.
    template <typename Continue>
    void jump(int32_t depth, int32_t from, int32_t middle, int32_t to, Continue next) {
        assert(depth < MaxPathSteps);
        const int8_t taken = cells[middle];
        cells[from] = EmptyCell;
        cells[middle] = EmptyCell;
        cells[to] = occupant;
        path[depth] = static_cast<uint8_t>(to);
        captured[depth] = static_cast<uint8_t>(taken - 1);
        next();
        cells[to] = EmptyCell;
        cells[middle] = taken;
        cells[from] = occupant;
    }

    bool canJump(int32_t from, int32_t direction) const {
        const int32_t middle = from + Direction[direction];
        return isOpposing(cells[middle], side) && cells[middle + Direction[direction]] == EmptyCell;
    }

    void manJumps(int32_t depth, int32_t from) {
        bool continued = false;
        for (const int32_t direction : ManJumpDirections[side]) {
            if (!canJump(from, direction)) continue;
            const int32_t middle = from + Direction[direction], to = middle + Direction[direction];
            jump(depth, from, middle, to, [&] { manJumps(depth + 1, to); });
            continued = true;
        }
        if (!continued && depth >= 1) append(depth, depth);
    }

    void jumps4(int32_t excluded, int32_t depth, int32_t from) {
        bool continued = false;
        for (int32_t direction = 0; direction < 4; ++direction) {
            if (direction == excluded || !canJump(from, direction)) continue;
            const int32_t middle = from + Direction[direction], to = middle + Direction[direction];
            jump(depth, from, middle, to, [&] { jumps4(Reverse[direction], depth + 1, to); });
            continued = true;
        }
        if (!continued && depth >= 1) append(depth, depth);
    }

    // The opposing piece a long-range king can take from the cell in the direction, or -1.
    int32_t probe(int32_t from, int32_t direction) const {
        const int32_t step = Direction[direction];
        int32_t cell = from + step;
        while (cells[cell] == EmptyCell) cell += step;
        if (!isOpposing(cells[cell], side) || cells[cell + step] != EmptyCell) return -1;
        return cell;
    }

    bool canGoOn(int32_t from, int32_t arrivedAlong) const {
        for (int32_t direction = 0; direction < 4; ++direction) {
            if (direction != Reverse[arrivedAlong] && probe(from, direction) >= 0) return true;
        }
        return false;
    }

    void kingJumps(int32_t excluded, int32_t depth, int32_t from) {
        for (int32_t direction = 0; direction < 4; ++direction) {
            if (direction == excluded) continue;
            const int32_t taken = probe(from, direction);
            if (taken < 0) continue;
            const int32_t step = Direction[direction];
            bool continued = false;
            for (int32_t landing = taken + step; cells[landing] == EmptyCell; landing += step) {
                if (!canGoOn(landing, direction)) continue;
                jump(depth, from, taken, landing,
                     [&] { kingJumps(Reverse[direction], depth + 1, landing); });
                continued = true;
            }
            if (continued) continue;
            captured[depth] = static_cast<uint8_t>(cells[taken] - 1);
            for (int32_t landing = taken + step; cells[landing] == EmptyCell; landing += step) {
                path[depth] = static_cast<uint8_t>(landing);
                append(depth + 1, depth + 1);
            }
        }
    }

    void plainMoves(int32_t from, bool king) {
        if (!king) {
            for (const int32_t direction : ManStepDirections[side]) {
                if (cells[from + Direction[direction]] != EmptyCell) continue;
                path[0] = static_cast<uint8_t>(from + Direction[direction]);
                append(1, 0);
            }
            return;
        }
        const bool slides = ruleVariant != 0;
        for (int32_t direction = 0; direction < 4; ++direction) {
            for (int32_t cell = from + Direction[direction]; cells[cell] == EmptyCell;
                 cell += Direction[direction]) {
                path[0] = static_cast<uint8_t>(cell);
                append(1, 0);
                if (!slides) break;
            }
        }
    }

    void captures(int32_t from, bool king) {
        if (king) {
            if (ruleVariant == 0) {
                jumps4(-1, 0, from);
            } else {
                kingJumps(-1, 0, from);
            }
        } else if (ruleVariant == 2) {
            jumps4(-1, 0, from);
        } else {
            manJumps(0, from);
        }
    }
};

template <bool Store>
void generateWindow(Board& board, int32_t side, int64_t first, BoardMoveList& list) {
    assert(preparedVariant == ruleVariant);
    list.count = 0;
    list.first = first;
    list.total = 0;
    ChainWalk<Store> walk;
    walk.cells = board.cells;
    walk.side = side;
    walk.list = &list;
    const int32_t count = piecesPerSide();
    const uint8_t* pieces = board.pieces + side * MaxPiecesPerSide;
    for (int32_t pass = 0; pass < 2 && list.total == 0; ++pass) {
        for (int32_t index = 0; index < count; ++index) {
            if (pieces[index] == CapturedPiece) continue;
            walk.piece = static_cast<uint8_t>(index);
            walk.occupant = static_cast<int8_t>(side * MaxPiecesPerSide + index + 1);
            const int32_t from = cellOfSquare[pieces[index] & ~KingBit];
            const bool king = (pieces[index] & KingBit) != 0;
            if (pass == 0) {
                walk.captures(from, king);
            } else {
                walk.plainMoves(from, king);
            }
        }
    }
}

} // namespace

void prepareBoards() {
    if (preparedVariant != ruleVariant) buildTables();
}

void setBoard(const Position& position, Board& board) {
    prepareBoards();
    std::memcpy(board.cells, emptyCells, sizeof board.cells);
    std::memset(board.pieces, CapturedPiece, sizeof board.pieces);
    for (int32_t side = 0; side < SideCount; ++side) {
        for (int32_t index = 0; index < piecesPerSide(); ++index) {
            const Piece& piece = pieceOf(position, side, index);
            if (piece.column == -1) continue;
            const int32_t record = side * MaxPiecesPerSide + index;
            const int32_t square = piece.row * 10 + piece.column;
            board.pieces[record] = static_cast<uint8_t>(square | (piece.king != 0 ? KingBit : 0));
            board.cells[cellOfSquare[square]] = static_cast<int8_t>(record + 1);
        }
    }
}

void generateBoardMoves(Board& board, int32_t side, BoardMoveList& list) {
    generateWindow<true>(board, side, 0, list);
}

bool generateNextBoardMoves(Board& board, int32_t side, BoardMoveList& list) {
    const int64_t next = list.first + list.count;
    if (next >= list.total) return false;
    generateWindow<true>(board, side, next, list);
    return true;
}

int64_t countBoardMoves(Board& board, int32_t side) {
    static BoardMoveList counter; // only its counts are written
    generateWindow<false>(board, side, 0, counter);
    return counter.total;
}

void playBoardMove(const Board& before, Board& after, const BoardMove& move, int32_t side) {
    std::memcpy(&after, &before, sizeof after);
    const int32_t record = side * MaxPiecesPerSide + move.piece;
    uint8_t king = before.pieces[record] & KingBit;
    after.cells[cellOfSquare[before.pieces[record] & ~KingBit]] = EmptyCell;
    for (int32_t k = 0; k < move.captures; ++k) {
        const int32_t taken = move.captured[k];
        after.cells[cellOfSquare[before.pieces[taken] & ~KingBit]] = EmptyCell;
        after.pieces[taken] = CapturedPiece;
    }
    const int32_t farRow = side == 0 ? 0 : ruleVariants[ruleVariant].rows - 1;
    for (int32_t k = 0; k < move.steps && !king; ++k) {
        if (rowOfCell[move.path[k]] == farRow) king = KingBit;
    }
    const int32_t to = move.path[move.steps - 1];
    after.cells[to] = static_cast<int8_t>(record + 1);
    after.pieces[record] = static_cast<uint8_t>(squareOfCell[to] | king);
}

int32_t countBoardPieces(const Board& board, int32_t side) {
    int32_t count = 0;
    for (int32_t index = 0; index < piecesPerSide(); ++index) {
        count += board.pieces[side * MaxPiecesPerSide + index] != CapturedPiece;
    }
    return count;
}

int32_t evaluateBoard(const Board& board, int32_t side) {
    const int32_t count = piecesPerSide();
    // Each side's first king, for the other side's "US RULES" king distance term.
    int32_t firstKing[2] = {-1, -1};
    if (ruleVariant == 0) {
        for (int32_t s = 0; s < 2; ++s) {
            for (int32_t index = 0; index < count && firstKing[s] < 0; ++index) {
                const uint8_t piece = board.pieces[s * MaxPiecesPerSide + index];
                if (piece != CapturedPiece && (piece & KingBit)) firstKing[s] = piece & ~KingBit;
            }
        }
    }
    int32_t total = 0;
    for (int32_t s = 0; s < 2; ++s) {
        const int32_t behindLeft = s == 0 ? Direction[1] : Direction[0];
        const int32_t behindRight = s == 0 ? Direction[2] : Direction[3];
        int32_t sum = 0;
        for (int32_t index = 0; index < count; ++index) {
            const uint8_t piece = board.pieces[s * MaxPiecesPerSide + index];
            if (piece == CapturedPiece) continue;
            const int32_t square = piece & ~KingBit, king = piece >> 7;
            const int32_t cell = cellOfSquare[square];
            sum += pieceValue[s][square][king];
            sum += 50 * (isOwn(board.cells[cell + behindLeft], s) +
                         isOwn(board.cells[cell + behindRight], s));
            if (king && firstKing[1 - s] >= 0) sum += kingDistanceValue[square][firstKing[1 - s]];
        }
        total += s == 0 ? sum : -sum;
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
