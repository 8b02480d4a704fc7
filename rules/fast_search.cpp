// The fast search. Only the root's answer is the contract: the first move in generation order
// among those of greatest minimax value (the tree, leaves and terminal values being those of
// the plain search), and that value, or the window's floor and no move when nothing beats
// it. Inside the tree any order and any exact pruning may be used.
//
// A node's value depends on its pieces, the side to move, the remaining depth (loss values are
// -(remaining + 1) x 55555) and the parity of its ply (the blocked-human rule), and on nothing
// else, so those five (with the rule set) are the transposition key; entries are verified on
// the whole position, never on a hash alone.
#include "rules/fast_search.h"

#include <algorithm>
#include <cassert>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "rules/fast_board.h"
#include "rules/fast_tables.h"

uint64_t fastSearchNodes = 0;
std::atomic<bool> fastSearchStop{false};

namespace {

constexpr int32_t Infinite = 1 << 30;
constexpr uint8_t BoundExact = 1, BoundLower = 2, BoundUpper = 3;
constexpr uint16_t NoMove = 0xFFFF;
constexpr int32_t MinStoredRemaining = 2;
// Looking up every child in the table pays only this far from the leaves.
constexpr int32_t MinTransposedRemaining = 4;

struct Entry {
    uint8_t key[PieceRecords]; // the pieces of the position
    int32_t value;
    uint16_t move;     // generation index of the best move, or NoMove
    uint8_t remaining; // plies left to the evaluation
    uint8_t flags;     // bound | side << 2 | parity << 3 | rule set << 4; 0 for an empty slot
};
static_assert(sizeof(Entry) == 48);

Entry table[TranspositionEntries]; // kept from search to search; emptied by clearTranspositions
// Guards of the table's buckets, each shared by many: the helper thread and the searching
// thread read and write the table at once. Held only while an entry is copied.
std::atomic_flag bucketLocks[1 << 12];

// The working storage of one thread's part of a search, overwritten by the next.
struct Scratch {
    Board plyBoard[MaxSearchDepth + 1];                // the position at each ply
    BoardMoveList plyMoves[MaxSearchDepth];            // its moves
    int32_t plyOrder[MaxSearchDepth][MaxBoardMoves];   // the order they are searched in
    int32_t plyScore[MaxSearchDepth][MaxBoardMoves];   // the ordering scores
    uint32_t history[2][PieceRecords][BoardCellCount]; // cut-off counts by mover and landing;
                                                       // halved at each new search
    uint32_t killer[MaxSearchDepth][2]; // the last two moves that cut off at each ply, as
                                        // moveSignature; cleared at each new search
    uint64_t nodes; // visited since the search began; added to fastSearchNodes at its end
};
Scratch scratches[2]; // [0] the searching thread's, [1] the helper thread's
// The scratch of this thread: the helper sets its own once, every other thread searches in
// the first.
thread_local Scratch* own = &scratches[0];

std::atomic_flag& guardOf(const Entry* bucket) {
    return bucketLocks[((bucket - table) >> 1) & (std::size(bucketLocks) - 1)];
}

// A guard is held for the copy of one entry, far shorter than a wait on the system would be.
void lockBucket(const Entry* bucket) {
    std::atomic_flag& guard = guardOf(bucket);
    while (guard.test_and_set(std::memory_order_acquire)) {
        while (guard.test(std::memory_order_relaxed)) __builtin_ia32_pause();
    }
}

void unlockBucket(const Entry* bucket) {
    guardOf(bucket).clear(std::memory_order_release);
}

uint8_t entryFlags(uint8_t bound, int32_t side, int32_t ply) {
    return static_cast<uint8_t>(bound | side << 2 | (ply & 1) << 3 | ruleVariant << 4);
}

// The two entries a node may occupy: the first keeps the deeper result, the second the latest.
Entry* bucketOf(const Board& board, int32_t side, int32_t ply, int32_t remaining) {
    uint64_t words[5];
    std::memcpy(words, board.pieces, sizeof words);
    uint64_t hash =
        static_cast<uint64_t>(remaining << 4 | side << 2 | (ply & 1) << 3 | ruleVariant);
    for (const uint64_t word : words) hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
    hash ^= hash >> 29;
    return &table[hash & (TranspositionEntries - 2)];
}

bool matches(const Entry& entry, const Board& board, uint8_t flags, int32_t remaining) {
    return entry.flags != 0 && (entry.flags & ~3) == flags && entry.remaining == remaining &&
           std::memcmp(entry.key, board.pieces, PieceRecords) == 0;
}

// Copies the node's entry into found; false when the bucket holds none.
bool findEntry(const Entry* bucket, const Board& board, uint8_t flags, int32_t remaining,
               Entry& found) {
    lockBucket(bucket);
    const Entry* entry = matches(bucket[0], board, flags, remaining)   ? &bucket[0]
                         : matches(bucket[1], board, flags, remaining) ? &bucket[1]
                                                                       : nullptr;
    if (entry) found = *entry;
    unlockBucket(bucket);
    return entry != nullptr;
}

void store(Entry* bucket, const Board& board, uint8_t flags, int32_t remaining, int32_t value,
           uint8_t bound, uint16_t move) {
    lockBucket(bucket);
    Entry* entry = &bucket[1];
    if (matches(bucket[0], board, flags, remaining) || bucket[0].remaining <= remaining) {
        entry = &bucket[0];
    }
    std::memcpy(entry->key, board.pieces, PieceRecords);
    entry->value = value;
    entry->move = move;
    entry->remaining = static_cast<uint8_t>(remaining);
    entry->flags = static_cast<uint8_t>(flags | bound);
    unlockBucket(bucket);
}

int32_t terminalValue(const Board& board, int32_t side, int32_t ply, int32_t remaining) {
    if (ply % 2 == 1 && countBoardPieces(board, side) != 0) return BlockedValue;
    return -(remaining + 1) * LossStep;
}

// Tells moves of one position apart (a move is its piece and its path; two paths of one
// piece that share their first and last landing and length are rare enough to share).
uint32_t moveSignature(const BoardMove& move) {
    return 1u + move.piece + (move.steps << 5) + (move.path[0] << 10) +
           (static_cast<uint32_t>(move.path[move.steps - 1]) << 18);
}

// Orders the list of the ply: the remembered best move, the killers, then by cut-off history.
void orderMoves(int32_t ply, int32_t side, uint16_t first) {
    Scratch& s = *own;
    const BoardMoveList& moves = s.plyMoves[ply];
    for (int32_t i = 0; i < moves.count; ++i) {
        const BoardMove& move = moves.moves[i];
        const int32_t record = side * MaxPiecesPerSide + move.piece;
        const uint32_t signature = moveSignature(move);
        int32_t score = static_cast<int32_t>(
            std::min<uint32_t>(s.history[side][record][move.path[move.steps - 1]], Infinite - 4));
        if (signature == s.killer[ply][1]) score = Infinite - 2;
        if (signature == s.killer[ply][0]) score = Infinite - 1;
        if (i == first) score = Infinite;
        s.plyOrder[ply][i] = i;
        s.plyScore[ply][i] = score;
    }
}

void noteCutOff(int32_t ply, int32_t side, int32_t remaining, const BoardMove& move) {
    Scratch& s = *own;
    s.history[side][side * MaxPiecesPerSide + move.piece][move.path[move.steps - 1]] +=
        static_cast<uint32_t>(remaining * remaining);
    const uint32_t signature = moveSignature(move);
    if (s.killer[ply][0] == signature) return;
    s.killer[ply][1] = s.killer[ply][0];
    s.killer[ply][0] = signature;
}

// Moves picked one by one before the rest are sorted: most nodes cut off on the remembered
// move or a killer, and those that do not search every move, which one sort serves best.
constexpr int32_t PickedFirst = 3;

// The next move to search: the best-scored of those not yet searched.
int32_t pickMove(int32_t ply, int32_t searched, int32_t count) {
    int32_t* order = own->plyOrder[ply];
    const int32_t* score = own->plyScore[ply];
    if (searched == PickedFirst) {
        std::sort(order + searched, order + count,
                  [score](int32_t a, int32_t b) { return score[a] > score[b]; });
    }
    if (searched >= PickedFirst) return order[searched];
    int32_t best = searched;
    for (int32_t i = searched + 1; i < count; ++i) {
        if (score[order[i]] > score[order[best]]) best = i;
    }
    std::swap(order[searched], order[best]);
    return order[searched];
}

int32_t search(int32_t ply, int32_t remaining, int32_t side, int32_t alpha, int32_t beta);

// The most a move that captures nothing raises the 10x10 evaluation of its side: a king runs
// nine rows (90), reaches the main diagonal (100) and a better table square (5); a man
// advances one row (10), may crown (a king term of up to 400) and reaches a better square (5).
// Either piece may also gain supporters and give support, 50 for each other piece of its side
// diagonally next to it, four at the most.
// (On 8x8 a king's move also changes the king distance terms of every opposing king.)
constexpr int32_t MaxKingGain = 90 + 100 + 5;
constexpr int32_t MaxCrowningGain = 10 + 400 + 5;
// The most it lowers it: a king leaves the diagonal (100) and the best table square (5) for
// the back row (90), and the same support as above is lost; a man always advances.
constexpr int32_t MaxKingLoss = 100 + 5 + 90;

// The support that one piece's move can make or break: 50 for each other piece of its side,
// four at the most.
int32_t maxSupportChange(const Board& board, int32_t side) {
    return 50 * std::min(4, countBits(board.occupied[side]) - 1);
}

// The most a quiet move of the side gains: crowning counts only with a man one step from it.
int32_t maxQuietGain(const Board& board, int32_t side) {
    const int32_t row = side == 0 ? 1 : ruleVariants[ruleVariant].rows - 2;
    const SquareBits rowBits = ((SquareBits(1) << 10) - 1) << (10 * row);
    const bool mayCrown = (board.occupied[side] & ~board.kings & rowBits) != 0;
    return (mayCrown ? MaxCrowningGain : MaxKingGain) + maxSupportChange(board, side);
}

// The empty squares one step away that the side's pieces may step to: kings' every way, men's
// forward.
SquareBits stepTargets(const Board& board, int32_t side) {
    const SquareBits own = board.occupied[side];
    const SquareBits empty = onBoardBits & ~(own | board.occupied[1 - side]);
    const SquareBits kings = own & board.kings, men = own & ~board.kings;
    // Side 0's men step in directions 0 and 3, side 1's in 1 and 2; kings in all four.
    const SquareBits forward0 = side == 0 ? men | kings : kings;
    const SquareBits forward1 = side == 1 ? men | kings : kings;
    return (stepped<0>(forward0) | stepped<3>(forward0) | stepped<1>(forward1) |
            stepped<2>(forward1)) &
           empty;
}

// True when the side has no capture and at least one move on the 10x10 board, told from the
// bit sets without listing the moves.
bool onlyQuietMoves(const Board& board, int32_t side) {
    const SquareBits own = board.occupied[side], opposing = board.occupied[1 - side];
    const SquareBits kings = own & board.kings;
    using Find = SquareBits (*)(SquareBits, SquareBits, SquareBits);
    constexpr Find ShortJumpers[2][2] = {{shortJumpers<1, 0>, shortJumpers<1, 1>},
                                         {shortJumpers<2, 0>, shortJumpers<2, 1>}};
    // On the 10x10 boards only men make short jumps.
    if ((own & ~board.kings) && ShortJumpers[ruleVariant - 1][side](own, opposing, board.kings))
        return false;
    if (kings && longKingTakers(kings, own | opposing, opposing)) return false;
    return stepTargets(board, side) != 0;
}

// The squares diagonally next to any of the pieces.
SquareBits nextTo(SquareBits pieces) {
    return stepped<0>(pieces) | stepped<1>(pieces) | stepped<2>(pieces) | stepped<3>(pieces);
}

// The squares on the main diagonal, where a king is worth 100 more on the 10x10 board.
constexpr SquareBits MainDiagonal = [] {
    SquareBits bits = 0;
    for (int32_t row = 0; row < 10; ++row) bits |= bitOf(row * 11);
    return bits;
}();

// The extreme square of a king's ray, or none: the one nearest the side's far row.
SquareBits nearestFarRow(SquareBits ray, int32_t side) {
    if (!ray) return 0;
    return bitOf(side == 0 ? lowestSquare(ray) : highestSquare(ray));
}

// The squares of a long-range king's quiet moves that may be worth the most to its side: on
// each ray the one nearest the side's far row (a row is worth 10 on the 10x10 board, more than
// any difference of table values), and those of the paying squares it reaches.
SquareBits kingBestLandings(int32_t square, SquareBits occupied, SquareBits paying, int32_t side) {
    int32_t blocker = -1;
    const SquareBits rays[4] = {
        openRay<0>(square, occupied, blocker), openRay<1>(square, occupied, blocker),
        openRay<2>(square, occupied, blocker), openRay<3>(square, occupied, blocker)};
    return nearestFarRow(rays[0], side) | nearestFarRow(rays[1], side) |
           nearestFarRow(rays[2], side) | nearestFarRow(rays[3], side) |
           ((rays[0] | rays[1] | rays[2] | rays[3]) & paying);
}

// The best evaluation the side reaches with one move on the 10x10 board when all its moves
// are quiet (onlyQuietMoves), found from the bit sets without listing the moves: a move from
// a to b changes the side's table values by those of the two squares and its support by the
// own pieces diagonally next to b (but the mover) less those next to a, and nothing else.
// Once a move reaches enough, that move's evaluation, a lower bound, is all that is asked.
int32_t bestQuietValue(const Board& board, int32_t side, int32_t enough = Infinite) {
    const int32_t now = evaluateBoard(board, side);
    const SquareBits own = board.occupied[side];
    const SquareBits empty = onBoardBits & ~(own | board.occupied[1 - side]);
    const int32_t farRow = side == 0 ? 0 : ruleVariants[ruleVariant].rows - 1;
    const SquareBits farBits = ((SquareBits(1) << 10) - 1) << (10 * farRow);
    int32_t bestGain = -Infinite;
    for (SquareBits rest = own; rest; rest &= rest - 1) {
        const int32_t from = lowestSquare(rest);
        const SquareBits piece = bitOf(from);
        const bool king = (board.kings & piece) != 0;
        const SquareBits others = own & ~piece;
        // A king's other landings are worth less than one of these: only its row, its table
        // value and support or the main diagonal tell squares apart.
        SquareBits targets =
            king ? kingBestLandings(from, ~empty, MainDiagonal | nextTo(others), side)
                 : (side == 0 ? stepped<0>(piece) | stepped<3>(piece)
                              : stepped<1>(piece) | stepped<2>(piece)) &
                       empty;
        const int32_t leaving =
            pieceValue[side][from][king] + 50 * countBits(others & neighbourBits[from]);
        for (; targets; targets &= targets - 1) {
            const int32_t to = lowestSquare(targets);
            const int32_t arriving = pieceValue[side][to][king || (farBits & bitOf(to)) != 0] +
                                     50 * countBits(others & neighbourBits[to]);
            bestGain = std::max(bestGain, arriving - leaving);
        }
        if (now + bestGain >= enough) break;
    }
    assert(bestGain > -Infinite);
    return now + bestGain;
}

// Checks the best quiet value against the moves themselves.
[[maybe_unused]] bool bestQuietValueHolds(int32_t ply, int32_t side, int32_t value) {
    BoardMoveList& moves = own->plyMoves[ply];
    generateBoardMoves(own->plyBoard[ply], side, moves);
    int32_t best = -Infinite;
    for (int32_t i = 0; i < moves.count; ++i) {
        best = std::max(best, evaluateAfter(own->plyBoard[ply], moves.moves[i], side));
    }
    return best == value;
}

// Checks a quiet-move bound against the moves themselves: every one quiet, the best
// evaluation after them within low..high.
[[maybe_unused]] bool quietBoundHolds(int32_t ply, int32_t side, int32_t low, int32_t high) {
    BoardMoveList& moves = own->plyMoves[ply];
    generateBoardMoves(own->plyBoard[ply], side, moves);
    int32_t best = -Infinite;
    for (int32_t i = 0; i < moves.count; ++i) {
        if (moves.moves[i].captures != 0) return false;
        best = std::max(best, evaluateAfter(own->plyBoard[ply], moves.moves[i], side));
    }
    return moves.total > 0 && best >= low && best <= high;
}

// At most what a node two plies from the leaves is worth to the side, when all its moves are
// quiet, or Infinite when that is not known to be alpha or less: the opponent's reply lowers
// the opponent's evaluation by at most MaxKingLoss and the support (a capture only takes more
// from the side), provided a reply exists, which two free step squares guarantee (the side's
// move fills only one).
int32_t twoPlyCeiling(const Board& board, int32_t side, int32_t alpha) {
    const int32_t now = evaluateBoard(board, side);
    const int32_t replyLoss = MaxKingLoss + maxSupportChange(board, 1 - side);
    // The side's best move lands within these; only between them is it worth finding.
    const int32_t highest = now + maxQuietGain(board, side) + replyLoss;
    const int32_t lowest = now - MaxKingLoss - maxSupportChange(board, side) + replyLoss;
    if (lowest > alpha || countBits(stepTargets(board, 1 - side)) < 2) return Infinite;
    return highest <= alpha ? highest : bestQuietValue(board, side) + replyLoss;
}

// Checks a two-ply bound against the tree: each move's reply worth no less than the bound
// allows to the opponent.
[[maybe_unused]] bool twoPlyBoundHolds(int32_t ply, int32_t side, int32_t highest) {
    BoardMoveList& moves = own->plyMoves[ply];
    generateBoardMoves(own->plyBoard[ply], side, moves);
    BoardMoveList& replies = own->plyMoves[ply + 1];
    Board& child = own->plyBoard[ply + 1];
    for (int32_t i = 0; i < moves.count; ++i) {
        if (moves.moves[i].captures != 0) return false;
        playBoardMove(own->plyBoard[ply], child, moves.moves[i], side);
        generateBoardMoves(child, 1 - side, replies);
        int32_t reply = -Infinite;
        for (int32_t j = 0; j < replies.count; ++j) {
            reply = std::max(reply, evaluateAfter(child, replies.moves[j], 1 - side));
        }
        if (replies.total == 0 || -reply > highest) return false;
    }
    return true;
}

// The best move the previous iteration (two plies shallower, so the same node two plies
// nearer its leaves) found here: its value says nothing of this depth, its move is the best
// guess there is.
uint16_t shallowerBestMove(const Board& board, uint8_t flags, int32_t ply, int32_t side,
                           int32_t remaining) {
    if (remaining - 2 < MinStoredRemaining) return NoMove;
    Entry entry;
    return findEntry(bucketOf(board, side, ply, remaining - 2), board, flags, remaining - 2, entry)
               ? entry.move
               : NoMove;
}

// The killer as a move of this node, built without listing the moves: only a quiet one-step
// move of a piece of the side that is still free to play here on the 10x10 board counts, its
// landing reached over empty squares. False when it is not such a move here.
bool killerHere(const Board& board, int32_t side, uint32_t signature, BoardMove& move) {
    if (signature == 0) return false;
    const uint32_t fields = signature - 1;
    const int32_t piece = fields & 31, steps = (fields >> 5) & 31;
    const int32_t landing = (fields >> 10) & 255;
    if (steps != 1 || static_cast<int32_t>(fields >> 18) != landing) return false;
    const uint8_t record = board.pieces[side * MaxPiecesPerSide + piece];
    if (record == CapturedPiece) return false;
    const int32_t from = cellOfSquare[record & ~KingBit];
    const bool king = (record & KingBit) != 0;
    for (int32_t direction = 0; direction < 4; ++direction) {
        if (!king && direction != ManStepDirections[side][0] &&
            direction != ManStepDirections[side][1])
            continue;
        for (int32_t cell = from + Direction[direction]; board.cells[cell] == EmptyCell;
             cell += Direction[direction]) {
            if (cell == landing) {
                move.piece = static_cast<uint8_t>(piece);
                move.steps = 1;
                move.captures = 0;
                move.path[0] = static_cast<uint8_t>(landing);
                return true;
            }
            if (!king) break;
        }
    }
    return false;
}

bool sameQuietMove(const BoardMove& a, const BoardMove& b) {
    return a.piece == b.piece && a.steps == b.steps && a.captures == b.captures &&
           a.path[0] == b.path[0];
}

// A child the table already knows to refute the node: its value from the node's side, or
// -Infinite.
int32_t transposedCutOff(int32_t ply, int32_t remaining, int32_t side, int32_t beta) {
    Scratch& s = *own;
    const BoardMoveList& moves = s.plyMoves[ply];
    const uint8_t childFlags = entryFlags(0, 1 - side, ply + 1);
    Board& child = s.plyBoard[ply + 1];
    for (int32_t i = 0; i < moves.count; ++i) {
        playBoardMove(s.plyBoard[ply], child, moves.moves[i], side);
        const Entry* bucket = bucketOf(child, 1 - side, ply + 1, remaining - 1);
        Entry entry;
        if (!findEntry(bucket, child, childFlags, remaining - 1, entry)) continue;
        if ((entry.flags & 3) == BoundLower) continue;
        if (-entry.value >= beta) return -entry.value;
    }
    return -Infinite;
}

// Searches one child of the ply: null window first, the full one only when it beats alpha.
int32_t searchChild(int32_t ply, int32_t remaining, int32_t side, const BoardMove& move, bool first,
                    int32_t alpha, int32_t beta) {
    Scratch& s = *own;
    if (remaining == 1) {
        ++s.nodes;
        return evaluateAfter(s.plyBoard[ply], move, side);
    }
    playBoardMove(s.plyBoard[ply], s.plyBoard[ply + 1], move, side);
    if (first) return -search(ply + 1, remaining - 1, 1 - side, -beta, -alpha);
    int32_t value = -search(ply + 1, remaining - 1, 1 - side, -alpha - 1, -alpha);
    if (value > alpha && value < beta) {
        value = -search(ply + 1, remaining - 1, 1 - side, -beta, -alpha);
    }
    return value;
}

// A node whose moves overflow one list, or one next to the leaves: searched in generation
// order, window by window.
int32_t searchWideNode(int32_t ply, int32_t remaining, int32_t side, int32_t alpha, int32_t beta) {
    BoardMoveList& moves = own->plyMoves[ply];
    int32_t best = -Infinite;
    do {
        for (int32_t i = 0; i < moves.count; ++i) {
            const int32_t value =
                searchChild(ply, remaining, side, moves.moves[i], best == -Infinite, alpha, beta);
            best = std::max(best, value);
            alpha = std::max(alpha, value);
            if (alpha >= beta) return best;
        }
    } while (generateNextBoardMoves(own->plyBoard[ply], side, moves));
    return best;
}

// Fail-soft negamax: the exact value when it lies inside (alpha, beta), else a bound.
int32_t search(int32_t ply, int32_t remaining, int32_t side, int32_t alpha, int32_t beta) {
    Scratch& s = *own;
    ++s.nodes;
    if (fastSearchStop.load(std::memory_order_relaxed)) return 0;
    Board& board = s.plyBoard[ply];
    if (remaining == 0) return evaluateBoard(board, side);
    // Next to the leaves a table look-up, a cache miss, costs more than the search it saves.
    Entry* bucket =
        remaining >= MinStoredRemaining ? bucketOf(board, side, ply, remaining) : nullptr;
    // The look-up, most often a cache miss, starts before the bounds that need no table.
    if (bucket) {
        __builtin_prefetch(bucket);
        __builtin_prefetch(reinterpret_cast<const char*>(bucket + 2) - 1);
    }
    if (remaining == 1 && ruleVariant != 0 && onlyQuietMoves(board, side)) {
        // Captures are compulsory, so none of these moves takes anything: each changes the
        // evaluation by at most maxQuietGain up or MaxKingLoss and the support down, bounds that
        // serve the parent as well as the value itself when they fall outside the window.
        const int32_t now = evaluateBoard(board, side);
        const int32_t highest = now + maxQuietGain(board, side);
        const int32_t lowest = now - MaxKingLoss - maxSupportChange(board, side);
        if (highest <= alpha || lowest >= beta) {
            assert(quietBoundHolds(ply, side, lowest, highest));
            return highest <= alpha ? highest : lowest;
        }
        const int32_t value = bestQuietValue(board, side, beta);
        assert(value >= beta || bestQuietValueHolds(ply, side, value));
        return value;
    }
    const bool quiet = remaining >= 2 && remaining < MinTransposedRemaining && ruleVariant != 0 &&
                       onlyQuietMoves(board, side);
    if (quiet && remaining == 2) {
        const int32_t highest = twoPlyCeiling(board, side, alpha);
        if (highest <= alpha) {
            assert(twoPlyBoundHolds(ply, side, highest));
            return highest;
        }
    }
    const uint8_t flags = entryFlags(0, side, ply);
    uint16_t remembered = NoMove;
    if (Entry entry; bucket && findEntry(bucket, board, flags, remaining, entry)) {
        const uint8_t bound = entry.flags & 3;
        if (bound == BoundExact) return entry.value;
        if (bound == BoundLower && entry.value >= beta) return entry.value;
        if (bound == BoundUpper && entry.value <= alpha) return entry.value;
        remembered = entry.move;
    }
    if (remembered == NoMove) remembered = shallowerBestMove(board, flags, ply, side, remaining);
    const int32_t floor = alpha;
    int32_t best = -Infinite, bestIndex = -1;
    // Near the leaves most nodes without a remembered move cut off on a killer, the move the
    // ordering would try first: tried before the moves are listed, when it is legal here.
    BoardMove killers[2];
    int32_t killersTried = 0;
    if (remembered == NoMove && quiet) {
        for (const uint32_t signature : s.killer[ply]) {
            BoardMove& move = killers[killersTried];
            if (!killerHere(board, side, signature, move)) continue;
            ++killersTried;
            const int32_t value =
                searchChild(ply, remaining, side, move, best == -Infinite, alpha, beta);
            if (value <= best) continue;
            best = value;
            alpha = std::max(alpha, value);
            if (alpha >= beta) {
                noteCutOff(ply, side, remaining, move);
                if (bucket && !fastSearchStop.load(std::memory_order_relaxed))
                    store(bucket, board, flags, remaining, best, BoundLower, NoMove);
                return best;
            }
        }
    }
    BoardMoveList& moves = s.plyMoves[ply];
    generateBoardMoves(board, side, moves);
    if (moves.total == 0) return terminalValue(board, side, ply, remaining);
    // Each move of a node next to the leaves is one evaluation, cheaper than ordering it.
    if (moves.total > moves.count || remaining == 1)
        return std::max(best, searchWideNode(ply, remaining, side, alpha, beta));
    if (remaining - 1 >= MinTransposedRemaining) {
        const int32_t cut = transposedCutOff(ply, remaining, side, beta);
        if (cut >= beta) {
            if (bucket) store(bucket, board, flags, remaining, cut, BoundLower, NoMove);
            return cut;
        }
    }
    orderMoves(ply, side, remembered);
    for (int32_t searched = 0; searched < moves.count; ++searched) {
        const int32_t index = pickMove(ply, searched, moves.count);
        const BoardMove& move = moves.moves[index];
        if (searched < killersTried && sameQuietMove(move, killers[searched])) continue;
        const int32_t value =
            searchChild(ply, remaining, side, move, best == -Infinite, alpha, beta);
        if (value <= best) continue;
        best = value;
        bestIndex = index;
        alpha = std::max(alpha, value);
        if (alpha >= beta) {
            noteCutOff(ply, side, remaining, move);
            break;
        }
    }
    const uint8_t bound = best <= floor ? BoundUpper : best >= beta ? BoundLower : BoundExact;
    // A stopped child's value is made up; once this thread has seen the flag it stays seen.
    if (bucket && !fastSearchStop.load(std::memory_order_relaxed))
        store(bucket, board, flags, remaining, best, bound, static_cast<uint16_t>(bestIndex));
    return best;
}

// Both threads' share of a split node, the root or a node down its first moves: the searching
// thread takes the node's first move alone (itself a split node, while far enough from the
// leaves), then the helper thread (when one runs) and it take the others one by one, each
// searched against the best either has found so far.
struct SplitShare {
    std::mutex mutex;
    std::condition_variable wake; // the helper waits here for a round or its end
    std::condition_variable done; // the searching thread waits here for the helper's round
    std::thread helper;           // joinable from startSearchHelper to stopSearchHelper
    uint32_t round = 0;           // rounds handed out; under mutex
    uint32_t finished = 0;        // the last round the helper has ended; under mutex
    bool quit = false;            // the helper must end; under mutex
    // The round, written by the searching thread before it raises round.
    int32_t ply = 0, remaining = 0, side = 0, first = 0;
    bool freshSearch = false; // the round is the first of its search
    // By the split node's ply: the next of its moves to take, in search order, and the
    // splitKey of its best move so far, or NoBest.
    std::atomic<int32_t> next[MaxSearchDepth];
    std::atomic<int64_t> best[MaxSearchDepth];
};
SplitShare share;

constexpr int64_t NoBest = INT64_MIN;
// Below this many plies a node's moves are not worth a round.
constexpr int32_t MinSplitRemaining = 4;

// Greater is better: by value, then earlier in generation order, as the plain search picks at
// the root (elsewhere any best move will do).
int64_t splitKey(int32_t value, int32_t index) {
    return static_cast<int64_t>(value) * 65536 + (65535 - index);
}

int32_t keyValue(int64_t key) {
    return static_cast<int32_t>(key >> 16);
}

int32_t keyIndex(int64_t key) {
    return 65535 - static_cast<int32_t>(key & 65535);
}

void raiseBest(std::atomic<int64_t>& best, int64_t key) {
    int64_t current = best.load(std::memory_order_relaxed);
    while (key > current && !best.compare_exchange_weak(current, key, std::memory_order_relaxed)) {
    }
}

int32_t searchFirstMoves(int32_t ply, int32_t remaining, int32_t side);

// Whether every value of a search of that depth lies inside the root window, so that an exact
// value serves the root as well as any bound its window would have let the search return.
constexpr bool lossesInsideRootWindow(int32_t depth) {
    return (depth + 1) * LossStep < SearchInfinity;
}

// The k-th move of the split node at the ply in search order: at the root the previous
// depth's choice first, then generation order; below it the order search would take.
int32_t splitMoveIndex(int32_t ply, int32_t k, int32_t first) {
    if (ply > 0) return scratches[0].plyOrder[ply][k];
    return k == 0 ? first : (k <= first ? k - 1 : k);
}

// The k-th move of the split node, with the plain search's tie-break: a move earlier in
// generation order than the best so far needs only to equal it, a later one must beat it,
// which makes any order of search harmless. The node's value is found exactly, whatever the
// window of its parent: no move cuts it off.
void searchSplitMove(int32_t ply, int32_t k, int32_t remaining, int32_t side, int32_t first) {
    const BoardMoveList& moves = scratches[0].plyMoves[ply];
    const int32_t index = splitMoveIndex(ply, k, first);
    std::atomic<int64_t>& shared = share.best[ply];
    const int64_t key = shared.load(std::memory_order_relaxed);
    const int32_t best = key == NoBest ? -SearchInfinity : keyValue(key);
    // The move must score above threshold to replace the best.
    const int32_t threshold = key != NoBest && index < keyIndex(key) ? best - 1 : best;
    Board& child = own->plyBoard[ply + 1];
    playBoardMove(scratches[0].plyBoard[ply], child, moves.moves[index], side);
    int32_t v = threshold + 1;
    if (key != NoBest) v = -search(ply + 1, remaining - 1, 1 - side, -threshold - 1, -threshold);
    if (v <= threshold) return;
    // The first move's node is itself split, when the helper is there to take a share: the
    // searching thread's alone, before the helper has a round.
    const bool splitChild = k == 0 && key == NoBest && share.helper.joinable() &&
                            remaining - 1 >= MinSplitRemaining &&
                            lossesInsideRootWindow(ply + remaining);
    v = splitChild ? -searchFirstMoves(ply + 1, remaining - 1, 1 - side)
                   : -search(ply + 1, remaining - 1, 1 - side, -Infinite, -threshold);
    if (v > threshold) raiseBest(shared, splitKey(v, index));
}

// The split node's moves not yet taken, until none is left; both threads run it at once.
void searchSplitMoves(int32_t ply, int32_t remaining, int32_t side, int32_t first) {
    const int32_t count = scratches[0].plyMoves[ply].count;
    for (int32_t k; (k = share.next[ply].fetch_add(1, std::memory_order_relaxed)) < count;) {
        searchSplitMove(ply, k, remaining, side, first);
    }
}

// A new search's ordering starts from half the old counts and no killers.
void refreshOrdering(Scratch& scratch) {
    for (auto& bySide : scratch.history) {
        for (auto& byPiece : bySide) {
            for (uint32_t& count : byPiece) count >>= 1;
        }
    }
    std::memset(scratch.killer, 0, sizeof scratch.killer);
}

// The helper thread: each round it is handed, searches moves of the split node beside the
// searching thread. A round may be handed out before the thread first runs: finished says
// which it has not seen.
void helpWithRounds() {
    own = &scratches[1];
    std::unique_lock lock(share.mutex);
    for (uint32_t seen = share.finished;;) {
        share.wake.wait(lock, [&] { return share.quit || share.round != seen; });
        if (share.quit) return;
        seen = share.round;
        const int32_t ply = share.ply, remaining = share.remaining, side = share.side;
        const int32_t first = share.first;
        const bool fresh = share.freshSearch;
        lock.unlock();
        if (fresh) refreshOrdering(*own);
        searchSplitMoves(ply, remaining, side, first);
        lock.lock();
        share.finished = seen;
        share.done.notify_one();
    }
}

// Ends the helper with the program, so that no thread outlives it.
struct HelperEnd {
    ~HelperEnd() { stopSearchHelper(); }
} helperEnd;

// Searches the node at the ply of the searching thread's scratch, its moves listed
// there, and returns the splitKey of its best move, or NoBest when none beat the root's floor.
int64_t searchSplitNode(int32_t ply, int32_t remaining, int32_t side, int32_t first,
                        bool freshSearch) {
    share.best[ply].store(NoBest, std::memory_order_relaxed);
    share.next[ply].store(1, std::memory_order_relaxed);
    searchSplitMove(ply, 0, remaining, side, first);
    const bool helped = share.helper.joinable() && scratches[0].plyMoves[ply].count > 1;
    if (helped) {
        const std::lock_guard lock(share.mutex);
        share.ply = ply;
        share.remaining = remaining;
        share.side = side;
        share.first = first;
        share.freshSearch = freshSearch;
        ++share.round;
        share.wake.notify_one();
    }
    searchSplitMoves(ply, remaining, side, first);
    if (helped) {
        std::unique_lock lock(share.mutex);
        share.done.wait(lock, [] { return share.finished == share.round; });
    }
    return share.best[ply].load(std::memory_order_relaxed);
}

// The node down the first moves at the ply, searched by both threads: its exact value for the
// side to move there. Only a node the table does not know exactly, with a list of its own, is
// split; the others are searched as any.
int32_t searchFirstMoves(int32_t ply, int32_t remaining, int32_t side) {
    Scratch& s = scratches[0];
    assert(own == &s && ply > 0);
    const Board& board = s.plyBoard[ply];
    Entry* bucket = bucketOf(board, side, ply, remaining);
    const uint8_t flags = entryFlags(0, side, ply);
    uint16_t remembered = NoMove;
    if (Entry entry; findEntry(bucket, board, flags, remaining, entry)) {
        if ((entry.flags & 3) == BoundExact) return entry.value;
        remembered = entry.move;
    }
    if (remembered == NoMove) remembered = shallowerBestMove(board, flags, ply, side, remaining);
    BoardMoveList& moves = s.plyMoves[ply];
    generateBoardMoves(s.plyBoard[ply], side, moves);
    if (moves.total == 0 || moves.total > moves.count)
        return search(ply, remaining, side, -Infinite, SearchInfinity);
    ++s.nodes;
    orderMoves(ply, side, remembered);
    for (int32_t k = 0; k < moves.count; ++k) pickMove(ply, k, moves.count);
    const int64_t key = searchSplitNode(ply, remaining, side, 0, false);
    assert(key != NoBest && "a value beyond the root window at this depth");
    if (!fastSearchStop.load(std::memory_order_relaxed)) {
        store(bucket, board, flags, remaining, keyValue(key), BoundExact,
              static_cast<uint16_t>(keyIndex(key)));
    }
    return keyValue(key);
}

// The root at one depth. Returns the best move's generation index, or -1 when none beats the
// floor.
int32_t searchRootDepth(int32_t depth, int32_t side, int32_t first, bool freshSearch,
                        int32_t& value) {
    const int64_t key = searchSplitNode(0, depth, side, first, freshSearch);
    value = key == NoBest ? -SearchInfinity : keyValue(key);
    return key == NoBest ? -1 : keyIndex(key);
}

// The root of a node too wide for one list: generation order, window by window.
int32_t searchWideRoot(int32_t depth, int32_t side, Move& chosen) {
    Scratch& s = *own;
    BoardMoveList& moves = s.plyMoves[0];
    int32_t best = -SearchInfinity;
    chosen.piece = -1;
    do {
        for (int32_t i = 0; i < moves.count; ++i) {
            playBoardMove(s.plyBoard[0], s.plyBoard[1], moves.moves[i], side);
            const int32_t v = -search(1, depth - 1, 1 - side, -Infinite, -best);
            if (v <= best) continue;
            best = v;
            chosen = toMove(moves.moves[i]);
        }
    } while (generateNextBoardMoves(s.plyBoard[0], side, moves));
    return best;
}

// The root search, its nodes counted in the scratches.
int32_t searchRoot(const Position& position, int32_t side, int32_t depth) {
    Scratch& s = scratches[0];
    setBoard(position, s.plyBoard[0]);
    ++s.nodes;
    BoardMoveList& moves = s.plyMoves[0];
    generateBoardMoves(s.plyBoard[0], side, moves);
    if (moves.total == 0) return terminalValue(s.plyBoard[0], side, 0, depth);
    if (moves.total > moves.count) return searchWideRoot(depth, side, bestMove[0]);
    refreshOrdering(s);
    int32_t value = -SearchInfinity, chosen = 0;
    // Deepening by two plies keeps the parity of the leaves, whose values differ most.
    const int32_t start = depth > 6 ? depth - 6 : 2 - depth % 2;
    for (int32_t d = start; d <= depth; d += 2) {
        const int32_t found = searchRootDepth(d, side, chosen, d == start, value);
        if (found >= 0) chosen = found;
        if (d == depth && found >= 0) bestMove[0] = toMove(moves.moves[found]);
    }
    return value;
}

} // namespace

void clearTranspositions() {
    std::memset(table, 0, sizeof table);
}

int32_t fastSearchRoot(const Position& position, int32_t side, int32_t depth) {
    assert(depth >= 1 && depth <= MaxSearchDepth);
    assert(own == &scratches[0] && "the helper thread never starts a search");
    searchDepth = depth;
    bestMove[0].piece = -1;
    const int32_t value = searchRoot(position, side, depth);
    fastSearchNodes += scratches[0].nodes + scratches[1].nodes;
    scratches[0].nodes = scratches[1].nodes = 0;
    return value;
}

bool startSearchHelper() {
    if (share.helper.joinable()) return true;
    share.quit = false;
    share.finished = share.round;
    try {
        share.helper = std::thread(helpWithRounds);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void stopSearchHelper() {
    if (!share.helper.joinable()) return;
    {
        const std::lock_guard lock(share.mutex);
        share.quit = true;
    }
    share.wake.notify_one();
    share.helper.join();
}
