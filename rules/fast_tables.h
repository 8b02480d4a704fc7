// The fast board's tables for the current rule set and the bit-set steps over them, shared by
// the fast board's own files (fast_board.cpp, fast_moves.cpp, fast_count.cpp) and nothing
// else. The tables are written only by prepareBoards (fast_board.cpp) when the rule set
// changes, and live for the whole run.
#pragma once

#include "rules/fast_board.h"

inline constexpr int32_t RowCells = 12;
inline constexpr int32_t Direction[4] = {-RowCells - 1, RowCells - 1, RowCells + 1, -RowCells + 1};
inline constexpr int32_t Reverse[4] = {2, 3, 0, 1};
inline constexpr int32_t ManStepDirections[2][2] = {{3, 0}, {2, 1}};
inline constexpr int32_t ManJumpDirections[2][2] = {{0, 3}, {1, 2}};
inline constexpr int32_t SquareStep[4] = {-11, 9, 11, -9};

// Tables of the rule set in preparedVariant.
extern int32_t preparedVariant;             // rule set the tables below describe; -1 before any
extern uint8_t cellOfSquare[100];           // square (row x 10 + column) to cell
extern int8_t squareOfCell[BoardCellCount]; // cell to square, -1 off the board
extern int8_t rowOfCell[BoardCellCount];    // cell to row, -1 off the board
extern int8_t emptyCells[BoardCellCount];   // the cells of an empty board
extern int32_t pieceValue[2][100][2];       // [side][square][king]: every term but support and
                                            // the "US RULES" king distance
extern int32_t kingDistanceValue[100][100]; // 10 x (columns - truncated distance), "US RULES"
extern SquareBits onBoardBits;              // the playing squares
extern SquareBits fromColumnBits[4][3];     // [direction][k]: squares from which k steps in the
                                            // direction stay within the board's columns
extern SquareBits neighbourBits[100];       // the playing squares diagonally next to each square
extern SquareBits rayBits[100][4];          // [square][direction]: the squares from it to the
                                            // board's edge in the direction, itself excluded

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

inline int32_t lowestSquare(SquareBits bits) {
    const uint64_t low = static_cast<uint64_t>(bits);
    return low ? __builtin_ctzll(low) : 64 + __builtin_ctzll(static_cast<uint64_t>(bits >> 64));
}

inline int32_t highestSquare(SquareBits bits) {
    const uint64_t high = static_cast<uint64_t>(bits >> 64);
    return high ? 127 - __builtin_clzll(high) : 63 - __builtin_clzll(static_cast<uint64_t>(bits));
}

// The squares a long-range king on the square slides over in direction D before the first
// occupied one; blocker gets that square, or -1 when the way is free to the edge.
template <int32_t D> SquareBits openRay(int32_t square, SquareBits occupied, int32_t& blocker) {
    const SquareBits ray = rayBits[square][D], hit = ray & occupied;
    if (!hit) {
        blocker = -1;
        return ray;
    }
    if constexpr (SquareStep[D] > 0) {
        blocker = lowestSquare(hit);
        return ray & (bitOf(blocker) - 1);
    } else {
        blocker = highestSquare(hit);
        return ray & ~((bitOf(blocker) << 1) - 1);
    }
}

// Whether a long-range king on the square takes in direction D: the first piece on its way
// is one of takeable, the opposing pieces with an empty square behind them in that direction.
template <int32_t D> bool kingTakesAlong(int32_t square, SquareBits occupied, SquareBits takeable) {
    const SquareBits ray = rayBits[square][D];
    if (!(ray & takeable)) return false;
    const SquareBits hit = ray & occupied;
    return (takeable & bitOf(SquareStep[D] > 0 ? lowestSquare(hit) : highestSquare(hit))) != 0;
}

// The long-range kings among kings that can start a capture.
inline SquareBits longKingTakers(SquareBits kings, SquareBits occupied, SquareBits opposing) {
    const SquareBits empty = onBoardBits & ~occupied;
    const SquareBits takeable[4] = {opposing & fromColumnBits[0][1] & shiftedBack<0>(empty),
                                    opposing & fromColumnBits[1][1] & shiftedBack<1>(empty),
                                    opposing & fromColumnBits[2][1] & shiftedBack<2>(empty),
                                    opposing & fromColumnBits[3][1] & shiftedBack<3>(empty)};
    SquareBits takers = 0;
    for (SquareBits rest = kings; rest; rest &= rest - 1) {
        const int32_t square = lowestSquare(rest);
        if (kingTakesAlong<0>(square, occupied, takeable[0]) ||
            kingTakesAlong<1>(square, occupied, takeable[1]) ||
            kingTakesAlong<2>(square, occupied, takeable[2]) ||
            kingTakesAlong<3>(square, occupied, takeable[3]))
            takers |= bitOf(square);
    }
    return takers;
}

inline bool isOpposing(int32_t occupant, int32_t side) {
    return occupant > 0 && (occupant > MaxPiecesPerSide) != (side == 1);
}

// Side 0's evaluation but the "US RULES" king distance terms.
inline int32_t evaluateSets(const SquareBits occupied[2], const int32_t value[2]) {
    // Support: each piece with an own piece diagonally behind it, counted per direction.
    const SquareBits white = occupied[0], black = occupied[1];
    const int32_t support0 = countBits(white & fromColumnBits[0][1] & (white >> 9)) +
                             countBits(white & fromColumnBits[2][1] & (white >> 11));
    const int32_t support1 = countBits(black & fromColumnBits[0][1] & (black << 11)) +
                             countBits(black & fromColumnBits[2][1] & (black << 9));
    return value[0] - value[1] + 50 * (support0 - support1);
}

// The number of the side's legal moves, every piece walked on the board (fast_moves.cpp).
int64_t countByWalking(Board& board, int32_t side);
