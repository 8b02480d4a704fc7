// The game's record: every move played in the current game with the turn it was
// played from, and its text in Portable Draughts Notation. Stateless: the game
// controller owns the list of moves (playedMoves in controller.h).
#pragma once

#include <string>
#include <vector>

#include "game/outcome.h"
#include "rules/moves.h"
#include "rules/pdn.h"

// One move of the game, as the controller started to play it.
struct PlayedMove {
    Position before; // the position it was played from
    int side;        // the side that played it
    int plyCount;    // moves completed in the game before it
    Move move;
};

// The names and the day a record carries.
struct RecordTags {
    std::string players[SideCount];          // who played each side
    std::string date;                        // "YYYY.MM.DD"
    GameResult result = GameResult::Ongoing; // "*" until the game has ended
    std::string extra = "";                  // more tag lines, written after the standard ones
};

// The game under the current rule set as a PDN file: tags, then the moves in numeric
// square notation, then the result.
std::string formatPdn(const std::vector<PlayedMove>& moves, const RecordTags& tags);
// One move in the record's notation ("22-18", "27x18x11") from the position before it.
std::string formatPdnMove(const Position& before, int side, const Move& move);
