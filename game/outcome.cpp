// judgeGame: the end of a game and the three draw rules, counted over the game's
// record. Keeps only a scratch move list.
#include "game/outcome.h"

#include <cstring>

#include "game/record.h"

namespace {

MoveList legalMoves; // scratch: only whether the side to move has any move

// Which piece stands on every square; indices do not matter, so two kings that
// have swapped squares make the same placement.
struct Placement {
    signed char squares[MaxBoardSize][MaxBoardSize]; // 0 empty, 1..4 side and king
};

Placement placementOf(const Position& position) {
    Placement placement{};
    for (int side = 0; side < SideCount; ++side) {
        for (int i = 0; i < piecesPerSide(); ++i) {
            const Piece& piece = pieceOf(position, side, i);
            if (piece.column < 0) continue;
            placement.squares[piece.row][piece.column] =
                static_cast<signed char>(1 + side * 2 + (piece.king != 0 ? 1 : 0));
        }
    }
    return placement;
}

bool samePlacement(const Placement& a, const Placement& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The position a recorded move led to: the next move's start, or the current one.
const Position& positionAfter(const std::vector<PlayedMove>& history, size_t i,
                              const Position& current) {
    return i + 1 < history.size() ? history[i + 1].before : current;
}

bool wasCapture(const PlayedMove& played, const Position& after) {
    const int other = 1 - played.side;
    return countPieces(after, other) < countPieces(played.before, other);
}

bool movedAKing(const PlayedMove& played) {
    return pieceOf(played.before, played.side, played.move.piece).king != 0;
}

// The latest plies, counted back, that moved a king and took nothing.
int quietKingPlies(const std::vector<PlayedMove>& history, const Position& current) {
    int plies = 0;
    for (size_t i = history.size(); i-- > 0; ++plies) {
        const PlayedMove& played = history[i];
        if (!movedAKing(played) || wasCapture(played, positionAfter(history, i, current))) break;
    }
    return plies;
}

// Occurrences of the placement with this side to move, the current one included.
int occurrences(const std::vector<PlayedMove>& history, const Position& current, int side) {
    const Placement now = placementOf(current);
    int count = 1;
    for (const PlayedMove& played : history)
        if (played.side == side && samePlacement(placementOf(played.before), now)) ++count;
    return count;
}

GameResult winFor(int side) {
    return side == 0 ? GameResult::WhitesWin : GameResult::BlacksWin;
}

} // namespace

Outcome judgeGame(const Position& position, int sideToMove,
                  const std::vector<PlayedMove>& history) {
    for (int side = 0; side < SideCount; ++side)
        if (countPieces(position, side) == 0) return {winFor(1 - side), EndReason::NoPieceLeft};
    generateMoves(position, sideToMove, legalMoves);
    if (legalMoves.total == 0) return {winFor(1 - sideToMove), EndReason::CannotMove};
    if (occurrences(history, position, sideToMove) >= 3)
        return {GameResult::Draw, EndReason::Repetition};
    // On 8x8 a king's move without a capture is the only move that is no
    // progress, so both rules count the same plies, to different limits.
    const bool tenByTen = ruleVariants[ruleVariant].columns == 10;
    const int quiet = quietKingPlies(history, position);
    if (tenByTen && quiet >= KingMovesDrawPlies)
        return {GameResult::Draw, EndReason::KingMovesOnly};
    if (!tenByTen && quiet >= NoProgressDrawPlies) return {GameResult::Draw, EndReason::NoProgress};
    return {GameResult::Ongoing, EndReason::None};
}

int winnerOf(GameResult result) {
    if (result == GameResult::WhitesWin) return 0;
    if (result == GameResult::BlacksWin) return 1;
    return -1;
}
