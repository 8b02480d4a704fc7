// Move generation (plain moves, man and king capture chains) and move application.
// The chain generators share module scratch storage that only they write; it is rewritten by
// every generateMoves call, so the generator is not reentrant.

#include <cassert>
#include <cstring>

#include "rules/moves.h"

namespace {

constexpr int32_t ManStep[2][2][2] = {{{+1, -1}, {-1, -1}}, {{+1, +1}, {-1, +1}}};
constexpr int32_t ManJump[2][2][2] = {{{-2, -2}, {+2, -2}}, {{-2, +2}, {+2, +2}}};
constexpr int32_t Jump4[4][2] = {{-2, -2}, {-2, +2}, {+2, +2}, {+2, -2}};
constexpr int32_t KingDirection[4][2] = {{-1, -1}, {-1, +1}, {+1, +1}, {+1, -1}};
constexpr int32_t Reverse[4] = {2, 3, 0, 1};
// Far enough beyond a captured piece to list every landing square of a 10x10 diagonal.
constexpr int32_t MaxLandings = MaxBoardSize;

// Scratch of the chain generators, rewritten by every chain.
Square chainPath[MaxPathSteps];         // landing square of jump d + 1 at index d
Position scratchPosition[MaxPathSteps]; // the position after the jumps up to depth d
Square capturedSquare;                  // the piece the last successful probeKingCapture found

bool isEmpty(int32_t column, int32_t row, const Position& position) {
    return findPieceAt(column, row, position) == -1;
}

// Every move is counted; only those of the list's window are written.
void appendMove(MoveList& list, int32_t piece, int32_t depth, const Square* last) {
    const int64_t index = list.total++;
    if (index < list.first || list.count == MaxMoves) return;
    Move& move = list.moves[list.count];
    move.piece = piece;
    for (int32_t d = 0; d < depth; ++d) move.path[d] = chainPath[d];
    int32_t steps = depth;
    if (last) move.path[steps++] = *last;
    assert(steps >= 1 && steps <= MaxPathSteps);
    move.steps = steps;
    ++list.count;
}

void appendStep(MoveList& list, int32_t piece, int32_t column, int32_t row) {
    const Square to = {column, row};
    appendMove(list, piece, 0, &to);
}

// Jumps to (column + dc, row + dr) over the middle square when it holds an opposing piece and
// the target is free; the order of the tests is the order of findPieceAt calls the game makes.
bool canJump(int32_t column, int32_t row, int32_t dc, int32_t dr, const Position& position,
             int32_t side) {
    const int32_t tc = column + dc, tr = row + dr;
    if (!isOnBoard(tc, tr)) return false;
    if (findPieceAt(column + dc / 2, row + dr / 2, position) < 0) return false;
    if (lastFoundSide == side) return false;
    return isEmpty(tc, tr, position);
}

// Makes the jump on scratch position depth and returns it.
const Position& jumpInScratch(int32_t depth, int32_t piece, Square to, const Position& position,
                              int32_t side) {
    assert(depth < MaxPathSteps);
    scratchPosition[depth] = position;
    applyStep(scratchPosition[depth], piece, to, side);
    chainPath[depth] = to;
    return scratchPosition[depth];
}

void collectManJumps(int32_t depth, int32_t piece, MoveList& list, int32_t column, int32_t row,
                     const Position& position, int32_t side) {
    bool continued = false;
    for (const auto& jump : ManJump[side]) {
        if (!canJump(column, row, jump[0], jump[1], position, side)) continue;
        const Square to = {column + jump[0], row + jump[1]};
        const Position& after = jumpInScratch(depth, piece, to, position, side);
        collectManJumps(depth + 1, piece, list, to.column, to.row, after, side);
        continued = true;
    }
    if (!continued && depth >= 1) appendMove(list, piece, depth, nullptr);
}

void collectJumps4(int32_t excluded, int32_t depth, int32_t piece, MoveList& list, int32_t column,
                   int32_t row, const Position& position, int32_t side) {
    bool continued = false;
    for (int32_t i = 0; i < 4; ++i) {
        if (i == excluded || !canJump(column, row, Jump4[i][0], Jump4[i][1], position, side)) {
            continue;
        }
        const Square to = {column + Jump4[i][0], row + Jump4[i][1]};
        const Position& after = jumpInScratch(depth, piece, to, position, side);
        collectJumps4(Reverse[i], depth + 1, piece, list, to.column, to.row, after, side);
        continued = true;
    }
    if (!continued && depth >= 1) appendMove(list, piece, depth, nullptr);
}

int32_t probeKingCapture(int32_t column, int32_t row, int32_t direction, const Position& position,
                         int32_t side) {
    const int32_t dc = KingDirection[direction][0], dr = KingDirection[direction][1];
    int32_t c = column + dc, r = row + dr;
    while (isOnBoard(c, r) && isEmpty(c, r, position)) c += dc, r += dr;
    if (!isOnBoard(c, r)) return 0;
    if (lastFoundSide == side) return 0;
    capturedSquare = {c, r};
    c += dc, r += dr;
    if (!isOnBoard(c, r)) return 0;
    return isEmpty(c, r, position) ? 1 : 0;
}

bool canCaptureOnFrom(Square from, int32_t arrivedAlong, const Position& position, int32_t side) {
    for (int32_t j = 0; j < 4; ++j) {
        if (j != Reverse[arrivedAlong] &&
            probeKingCapture(from.column, from.row, j, position, side)) {
            return true;
        }
    }
    return false;
}

void collectKingJumps(int32_t excluded, int32_t depth, int32_t piece, MoveList& list,
                      int32_t column, int32_t row, const Position& position, int32_t side) {
    for (int32_t i = 0; i < 4; ++i) {
        if (i == excluded || !probeKingCapture(column, row, i, position, side)) continue;
        const Square captured = capturedSquare;
        const int32_t dc = KingDirection[i][0], dr = KingDirection[i][1];
        Square landings[MaxLandings];
        int32_t landingCount = 0;
        for (int32_t c = captured.column + dc, r = captured.row + dr;
             isOnBoard(c, r) && isEmpty(c, r, position); c += dc, r += dr) {
            assert(landingCount < MaxLandings);
            landings[landingCount++] = {c, r};
        }
        bool continued = false;
        for (int32_t k = 0; k < landingCount; ++k) {
            if (!canCaptureOnFrom(landings[k], i, position, side)) continue;
            const Position& after = jumpInScratch(depth, piece, landings[k], position, side);
            collectKingJumps(Reverse[i], depth + 1, piece, list, landings[k].column,
                             landings[k].row, after, side);
            continued = true;
        }
        if (continued) continue;
        for (int32_t k = 0; k < landingCount; ++k) appendMove(list, piece, depth, &landings[k]);
    }
}

void appendSlides(int32_t piece, int32_t column, int32_t row, const Position& position,
                  MoveList& list, int32_t reach) {
    for (const auto& direction : KingDirection) {
        int32_t c = column + direction[0], r = row + direction[1];
        for (int32_t k = 0; k < reach && isOnBoard(c, r) && isEmpty(c, r, position); ++k) {
            appendStep(list, piece, c, r);
            c += direction[0], r += direction[1];
        }
    }
}

void appendManSteps(int32_t piece, int32_t column, int32_t row, const Position& position,
                    int32_t side, MoveList& list) {
    for (const auto& step : ManStep[side]) {
        const int32_t c = column + step[0], r = row + step[1];
        if (isOnBoard(c, r) && isEmpty(c, r, position)) appendStep(list, piece, c, r);
    }
}

void generateWindow(const Position& position, int32_t side, int64_t first, MoveList& list) {
    list.count = 0;
    list.first = first;
    list.total = 0;
    const int32_t count = piecesPerSide();
    for (int32_t mode = 1; mode >= 0 && list.total == 0; --mode) {
        for (int32_t piece = 0; piece < count; ++piece) {
            if (pieceOf(position, side, piece).column != -1) {
                generatePieceMoves(position, piece, side, list, mode);
            }
        }
    }
}

} // namespace

void generatePieceMoves(const Position& position, int32_t piece, int32_t side, MoveList& list,
                        int32_t mode) {
    const Piece& p = pieceOf(position, side, piece);
    const int32_t c = p.column, r = p.row;
    if (p.king == 0) {
        if (mode == 0) {
            appendManSteps(piece, c, r, position, side, list);
        } else if (ruleVariant == 2) {
            collectJumps4(-1, 0, piece, list, c, r, position, side);
        } else {
            collectManJumps(0, piece, list, c, r, position, side);
        }
    } else if (mode == 0) {
        appendSlides(piece, c, r, position, list, ruleVariant == 0 ? 1 : MaxBoardSize);
    } else if (ruleVariant == 0) {
        collectJumps4(-1, 0, piece, list, c, r, position, side);
    } else {
        collectKingJumps(-1, 0, piece, list, c, r, position, side);
    }
}

void generateMoves(const Position& position, int32_t side, MoveList& list) {
    generateWindow(position, side, 0, list);
}

bool generateNextMoves(const Position& position, int32_t side, MoveList& list) {
    const int64_t next = list.first + list.count;
    if (next >= list.total) return false;
    generateWindow(position, side, next, list);
    return true;
}

void applyStep(Position& position, int32_t piece, int32_t column, int32_t row, int32_t side) {
    Piece& moving = pieceOf(position, side, piece);
    const int32_t c0 = moving.column, r0 = moving.row;
    const bool wasMan = moving.king == 0;
    moving.column = column;
    moving.row = row;
    if (wasMan) {
        if ((side == 1 && row == ruleVariants[ruleVariant].rows - 1) || (side == 0 && row == 0)) {
            moving.king = 1;
        }
        const int32_t found = findPieceAt((c0 + column) / 2, (r0 + row) / 2, position);
        if (found >= 0 && lastFoundSide != side)
            pieceOf(position, lastFoundSide, found).column = -1;
        return;
    }
    const int32_t dc = column > c0 ? 1 : -1, dr = row > r0 ? 1 : -1;
    const int32_t between = (column > c0 ? column - c0 : c0 - column) - 1;
    assert(between + 1 == (row > r0 ? row - r0 : r0 - row));
    for (int32_t k = 1; k <= between; ++k) {
        const int32_t found = findPieceAt(c0 + k * dc, r0 + k * dr, position);
        if (found >= 0 && lastFoundSide != side)
            pieceOf(position, lastFoundSide, found).column = -1;
    }
}

void copyAndApplyStep(const Position& source, Position& destination, int32_t piece, int32_t column,
                      int32_t row, int32_t side) {
    const int32_t count = piecesPerSide();
    for (int32_t s = 0; s < SideCount; ++s) {
        std::memcpy(&pieceOf(destination, s, 0), &pieceOf(source, s, 0), count * sizeof(Piece));
    }
    applyStep(destination, piece, column, row, side);
}

void playMove(const Position& before, Position& after, const Move& move, int32_t side) {
    assert(move.steps >= 1 && move.steps <= MaxPathSteps);
    copyAndApplyStep(before, after, move.piece, move.path[0].column, move.path[0].row, side);
    for (int32_t k = 1; k < move.steps; ++k) applyStep(after, move.piece, move.path[k], side);
}

bool sameMove(const Move& a, const Move& b) {
    if (a.piece != b.piece || a.steps != b.steps) return false;
    for (int32_t k = 0; k < a.steps; ++k) {
        if (a.path[k].column != b.path[k].column || a.path[k].row != b.path[k].row) return false;
    }
    return true;
}
