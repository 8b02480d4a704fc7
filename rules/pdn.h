// Portable Draughts Notation read back: the standard square numbers of the current rule set's
// board and the first game of a PDN text replayed under the rules. Stateless apart from the
// rule set a successful read selects (ruleVariant and boardSize).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rules/moves.h"

// The standard number (1..32 or 1..50) of a square of the current rule set's board.
int32_t pdnSquare(Square square);
// The square of a standard number on the current board; false when there is none.
bool squareOfPdn(int32_t number, Square& square);

struct PdnTag {
    std::string name;
    std::string value;
};

// Where a game from a set-up position (tag SetUp "1") starts; others start from the
// opening with side 0 to move.
struct PdnStart {
    Position position;
    int32_t variant;
    int32_t side; // to move first
};

// One game as read: the moves alternate from the side that starts.
struct PdnGame {
    std::vector<PdnTag> tags;
    int32_t variant;         // the rule set its GameType and Variant tags name
    int32_t firstSide;       // the side of the first move
    std::vector<Move> moves; // move i was played by side (firstSide + i) % 2
    Position final;          // the position after the last move
    std::string result;      // the closing result ("1-0", "*", ...), "" when the text just ends
};

// The value of the first tag of that name, or nullptr.
const std::string* findTag(const PdnGame& game, std::string_view name);

// A file is read up to this size: far beyond the longest game, and a database's first game
// lies near its start.
constexpr size_t MaxPdnFileBytes = 4 << 20;

// The text of a plain file (not a FIFO or a device), cut at MaxPdnFileBytes; "" or what is
// wrong.
std::string readPdnFile(const char* path, std::string& text);
// Reads the first game of text and replays it from the starting position, or from start for
// a set-up game (which must name start's rule set). On success selects its rule set and
// returns ""; otherwise returns what is wrong (the first bad move by its number and text)
// and leaves the rule set as it was.
std::string readPdnGame(std::string_view text, PdnGame& game, const PdnStart* start = nullptr);
