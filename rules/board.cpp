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
constexpr int32_t SquareStep[4] = {-11, 9, 11, -9};

// Tables of the rule set in preparedVariant; rebuilt by prepareBoards.
int32_t preparedVariant = -1;        // rule set the tables below describe; -1 before any
uint8_t cellOfSquare[100];           // square (row x 10 + column) to cell
int8_t squareOfCell[BoardCellCount]; // cell to square, -1 off the board
int8_t rowOfCell[BoardCellCount];    // cell to row, -1 off the board
int8_t emptyCells[BoardCellCount];   // the cells of an empty board
int32_t pieceValue[2][100][2];       // [side][square][king]: every term but support and
                                     // the "US RULES" king distance
int32_t kingDistanceValue[100][100]; // 10 x (columns - truncated distance), "US RULES"
SquareBits onBoardBits;              // the playing squares
SquareBits fromColumnBits[4][3];     // [direction][k]: squares from which k steps in the
                                     // direction stay within the board's columns

constexpr SquareBits bitOf(int32_t square) {
    return SquareBits(1) << square;
}

inline int32_t countBits(SquareBits bits) {
    return __builtin_popcountll(static_cast<uint64_t>(bits)) +
           __builtin_popcountll(static_cast<uint64_t>(bits >> 64));
}

template <int32_t D> SquareBits shiftedTowards(SquareBits bits) {
    constexpr int32_t shift = SquareStep[D];
    if constexpr (shift > 0) {
        return bits << shift;
    } else {
        return bits >> -shift;
    }
}

template <int32_t D> SquareBits shiftedBack(SquareBits bits) {
    constexpr int32_t shift = SquareStep[D];
    if constexpr (shift > 0) {
        return bits >> shift;
    } else {
        return bits << -shift;
    }
}

// The squares one step in the direction from those of bits that have such a square.
template <int32_t D> SquareBits stepped(SquareBits bits) {
    return shiftedTowards<D>(bits & fromColumnBits[D][1]) & onBoardBits;
}

// The squares of bits with an opposing piece one step in the direction and an empty one beyond.
template <int32_t D>
SquareBits jumpSources(SquareBits bits, SquareBits opposing, SquareBits empty) {
    return bits & fromColumnBits[D][2] & shiftedBack<D>(opposing) &
           shiftedBack<D>(shiftedBack<D>(empty));
}

// The pieces of the side that have a first short jump; long-range kings are not looked at.
template <int32_t Variant, int32_t Side>
SquareBits shortJumpers(SquareBits own, SquareBits opposing, SquareBits kings) {
    const SquareBits empty = onBoardBits & ~(own | opposing);
    const SquareBits men = own & ~kings;
    const SquareBits allWays = Variant == 0 ? own & kings : Variant == 2 ? men : 0;
    const SquareBits forward = Variant == 2 ? allWays : men | allWays;
    // Side 0's men jump in directions 0 and 3, side 1's in 1 and 2.
    return jumpSources<0>(Side == 0 ? forward : allWays, opposing, empty) |
           jumpSources<1>(Side == 1 ? forward : allWays, opposing, empty) |
           jumpSources<2>(Side == 1 ? forward : allWays, opposing, empty) |
           jumpSources<3>(Side == 0 ? forward : allWays, opposing, empty);
}

SquareBits shortJumpers(int32_t side, SquareBits own, SquareBits opposing, SquareBits kings) {
    using Find = SquareBits (*)(SquareBits, SquareBits, SquareBits);
    static constexpr Find ByRulesAndSide[6] = {shortJumpers<0, 0>, shortJumpers<0, 1>,
                                               shortJumpers<1, 0>, shortJumpers<1, 1>,
                                               shortJumpers<2, 0>, shortJumpers<2, 1>};
    return ByRulesAndSide[ruleVariant * 2 + side](own, opposing, kings);
}

int32_t lowestSquare(SquareBits bits) {
    const uint64_t low = static_cast<uint64_t>(bits);
    return low ? __builtin_ctzll(low) : 64 + __builtin_ctzll(static_cast<uint64_t>(bits >> 64));
}

int32_t cellOf(int32_t column, int32_t row) {
    return (row + 2) * RowCells + column + 2;
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
    preparedVariant = ruleVariant;
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
        move.path[0] = path[0];
        if (steps == 1) {
            if (captures == 1) move.captured[0] = captured[0];
            return;
        }
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
    const SquareBits own = board.occupied[side];
    // Only these pieces can start a capture: the others need no walk.
    const SquareBits capturers = shortJumpers(side, own, board.occupied[1 - side], board.kings) |
                                 (ruleVariant == 0 ? 0 : own & board.kings);
    for (int32_t pass = capturers ? 0 : 1; pass < 2 && list.total == 0; ++pass) {
        for (int32_t index = 0; index < count; ++index) {
            if (pieces[index] == CapturedPiece) continue;
            if (pass == 0 && !(capturers & bitOf(pieces[index] & ~KingBit))) continue;
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

// The "US RULES" distance terms of the side's kings, to the other side's first king.
int32_t kingDistanceTotal(const Board& board, int32_t side) {
    const uint8_t* others = board.pieces + (1 - side) * MaxPiecesPerSide;
    int32_t target = -1;
    for (int32_t index = 0; index < 12 && target < 0; ++index) {
        if (others[index] != CapturedPiece && (others[index] & KingBit))
            target = others[index] & ~KingBit;
    }
    const uint8_t* pieces = board.pieces + side * MaxPiecesPerSide;
    int32_t total = 0;
    for (int32_t index = 0; index < 12; ++index) {
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

void generateBoardMoves(Board& board, int32_t side, BoardMoveList& list) {
    generateWindow<true>(board, side, 0, list);
}

bool generateNextBoardMoves(Board& board, int32_t side, BoardMoveList& list) {
    const int64_t next = list.first + list.count;
    if (next >= list.total) return false;
    generateWindow<true>(board, side, next, list);
    return true;
}

namespace {

// The plain moves, counted set by set; -1 when some piece has a capture (then the chains must
// be counted). The board is read only for long-range kings of the side, so it may be stale
// when there are none.
template <int32_t Variant, int32_t Side>
int64_t countPlainMoves(const Board& board, SquareBits own, SquareBits opposing,
                        SquareBits allKings, SquareBits& capturers) {
    capturers = shortJumpers<Variant, Side>(own, opposing, allKings);
    if (capturers) return -1;
    const SquareBits empty = onBoardBits & ~(own | opposing);
    const SquareBits men = own & ~allKings, kings = own & allKings;
    // Side 0's men step in directions 3 and 0, side 1's in 2 and 1.
    const SquareBits forward = Variant == 0 ? men | kings : men;
    const SquareBits back = Variant == 0 ? kings : 0;
    int64_t total = countBits(stepped<0>(Side == 0 ? forward : back) & empty) +
                    countBits(stepped<1>(Side == 1 ? forward : back) & empty) +
                    countBits(stepped<2>(Side == 1 ? forward : back) & empty) +
                    countBits(stepped<3>(Side == 0 ? forward : back) & empty);
    if (Variant == 0) return total;
    for (SquareBits rest = kings; rest; rest &= rest - 1) {
        const int32_t from = cellOfSquare[lowestSquare(rest)];
        for (const int32_t step : Direction) {
            int32_t cell = from + step;
            for (; board.cells[cell] == EmptyCell; cell += step) ++total;
            if (isOpposing(board.cells[cell], Side) && board.cells[cell + step] == EmptyCell) {
                return -1;
            }
        }
    }
    return total;
}

int64_t countByWalking(Board& board, int32_t side) {
    static BoardMoveList counter; // only its counts are written
    generateWindow<false>(board, side, 0, counter);
    return counter.total;
}

// The capture chains of short jumps from the square, counted on the sets alone: a jumped
// piece leaves at once and so does the jumper from each square it leaves.
int64_t countShortChains(int32_t from, const int32_t* directions, int32_t directionCount,
                         SquareBits opposing, SquareBits empty, int32_t depth) {
    int64_t total = 0;
    for (int32_t k = 0; k < directionCount; ++k) {
        const int32_t direction = directions[k];
        if (!(fromColumnBits[direction][2] & bitOf(from))) continue;
        const int32_t over = from + SquareStep[direction], to = over + SquareStep[direction];
        if (to < 0 || to >= 100 || !(opposing & bitOf(over)) || !(empty & bitOf(to))) continue;
        total += countShortChains(to, directions, directionCount, opposing & ~bitOf(over),
                                  (empty | bitOf(from) | bitOf(over)) & ~bitOf(to), depth + 1);
    }
    return total == 0 && depth >= 1 ? 1 : total;
}

// Every capture chain of the side, from the pieces that can jump, when none of its pieces is
// a long-range king.
int64_t countShortCaptures(int32_t side, SquareBits capturers, SquareBits own, SquareBits opposing,
                           SquareBits kings) {
    static constexpr int32_t All[4] = {0, 1, 2, 3};
    const SquareBits empty = onBoardBits & ~(own | opposing);
    int64_t total = 0;
    for (SquareBits rest = capturers; rest; rest &= rest - 1) {
        const int32_t square = lowestSquare(rest);
        const bool allWays = (kings & bitOf(square)) || ruleVariant == 2;
        total += countShortChains(square, allWays ? All : ManJumpDirections[side], allWays ? 4 : 2,
                                  opposing, empty, 0);
    }
    return total;
}

// The side's moves counted on the sets: plain moves, or the chains of short jumps; -1 when a
// long-range king is involved and the board must be walked.
int64_t countOnSets(const Board& board, int32_t side, SquareBits own, SquareBits opposing,
                    SquareBits kings) {
    using Count = int64_t (*)(const Board&, SquareBits, SquareBits, SquareBits, SquareBits&);
    static constexpr Count ByRulesAndSide[6] = {countPlainMoves<0, 0>, countPlainMoves<0, 1>,
                                                countPlainMoves<1, 0>, countPlainMoves<1, 1>,
                                                countPlainMoves<2, 0>, countPlainMoves<2, 1>};
    SquareBits capturers = 0;
    const int64_t plain =
        ByRulesAndSide[ruleVariant * 2 + side](board, own, opposing, kings, capturers);
    if (plain >= 0) return plain;
    if (!capturers || (ruleVariant != 0 && (own & kings))) return -1;
    return countShortCaptures(side, capturers, own, opposing, kings);
}

// The sets and values of the board after the move, worked out without playing it.
struct SetsAfter {
    SquareBits occupied[2];
    SquareBits kings;
    int32_t value[2];
};

SetsAfter setsAfter(const Board& board, const BoardMove& move, int32_t side) {
    const int32_t other = 1 - side;
    const uint8_t mover = board.pieces[side * MaxPiecesPerSide + move.piece];
    const int32_t from = mover & ~KingBit, to = squareOfCell[move.path[move.steps - 1]];
    SetsAfter after = {{board.occupied[0], board.occupied[1]},
                       board.kings & ~bitOf(from),
                       {board.value[0], board.value[1]}};
    after.occupied[side] = (after.occupied[side] & ~bitOf(from)) | bitOf(to);
    for (int32_t k = 0; k < move.captures; ++k) {
        const uint8_t taken = board.pieces[move.captured[k]];
        const SquareBits square = bitOf(taken & ~KingBit);
        after.occupied[other] &= ~square;
        after.kings &= ~square;
        after.value[other] -= pieceValue[other][taken & ~KingBit][taken >> 7];
    }
    bool king = (mover & KingBit) != 0;
    const int32_t farRow = side == 0 ? 0 : ruleVariants[ruleVariant].rows - 1;
    for (int32_t k = 0; k < move.steps && !king; ++k) king = rowOfCell[move.path[k]] == farRow;
    if (king) after.kings |= bitOf(to);
    after.value[side] += pieceValue[side][to][king] - pieceValue[side][from][mover >> 7];
    return after;
}

// Side 0's evaluation but the "US RULES" king distance terms.
int32_t evaluateSets(const SquareBits occupied[2], const int32_t value[2]) {
    // Support: each piece with an own piece diagonally behind it, counted per direction.
    const SquareBits white = occupied[0], black = occupied[1];
    const int32_t support0 = countBits(white & fromColumnBits[0][1] & (white >> 9)) +
                             countBits(white & fromColumnBits[2][1] & (white >> 11));
    const int32_t support1 = countBits(black & fromColumnBits[0][1] & (black << 11)) +
                             countBits(black & fromColumnBits[2][1] & (black << 9));
    return value[0] - value[1] + 50 * (support0 - support1);
}

} // namespace

int64_t countBoardMoves(Board& board, int32_t side) {
    const int64_t total =
        countOnSets(board, side, board.occupied[side], board.occupied[1 - side], board.kings);
    return total >= 0 ? total : countByWalking(board, side);
}

int64_t countRepliesAfter(Board& board, const BoardMove& move, int32_t side) {
    const SetsAfter after = setsAfter(board, move, side);
    const SquareBits replying = after.occupied[1 - side];
    // Long-range kings and captures need the board itself: the move is played and every
    // piece walked.
    if (ruleVariant == 0 || !(replying & after.kings)) {
        const int64_t total =
            countOnSets(board, 1 - side, replying, after.occupied[side], after.kings);
        if (total >= 0) return total;
    }
    BoardUndo undo;
    makeBoardMove(board, move, side, undo);
    const int64_t total = countByWalking(board, 1 - side);
    undoBoardMove(board, move, side, undo);
    return total;
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

int32_t evaluateAfter(const Board& board, const BoardMove& move, int32_t side) {
    const SetsAfter after = setsAfter(board, move, side);
    // The king distance terms look for each side's first king: that takes the board itself.
    if (ruleVariant == 0 && (after.kings & after.occupied[0]) &&
        (after.kings & after.occupied[1])) {
        Board played;
        playBoardMove(board, played, move, side);
        return evaluateBoard(played, side);
    }
    const int32_t total = evaluateSets(after.occupied, after.value);
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
