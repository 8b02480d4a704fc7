// The fast board's move generator: every legal move of a side, in the order generateMoves
// lists the position's, found by walking each piece's capture chains on the board's cells (the
// bit sets only say which pieces can start a capture). No state of its own.
#include "rules/fast_board.h"

#include <cassert>
#include <cstring>

#include "rules/fast_tables.h"

namespace {

// shortJumpers of the current rule set and the side.
SquareBits shortJumpersOf(int32_t side, SquareBits own, SquareBits opposing, SquareBits kings) {
    using Find = SquareBits (*)(SquareBits, SquareBits, SquareBits);
    static constexpr Find ByRulesAndSide[6] = {shortJumpers<0, 0>, shortJumpers<0, 1>,
                                               shortJumpers<1, 0>, shortJumpers<1, 1>,
                                               shortJumpers<2, 0>, shortJumpers<2, 1>};
    return ByRulesAndSide[ruleVariant * 2 + side](own, opposing, kings);
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
    const SquareBits opposing = board.occupied[1 - side];
    const SquareBits capturers =
        shortJumpersOf(side, own, opposing, board.kings) |
        (ruleVariant == 0 ? 0 : longKingTakers(own & board.kings, own | opposing, opposing));
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

} // namespace

void generateBoardMoves(Board& board, int32_t side, BoardMoveList& list) {
    generateWindow<true>(board, side, 0, list);
}

bool generateNextBoardMoves(Board& board, int32_t side, BoardMoveList& list) {
    const int64_t next = list.first + list.count;
    if (next >= list.total) return false;
    generateWindow<true>(board, side, next, list);
    return true;
}

int64_t countByWalking(Board& board, int32_t side) {
    static BoardMoveList counter; // only its counts are written
    generateWindow<false>(board, side, 0, counter);
    return counter.total;
}
