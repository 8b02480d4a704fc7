// Text forms of squares, moves and positions as korvath-engine reads and writes them:
// square "c.r", piece "c.r", "c.rK" or "x", position "<variant> <side 0 list> <side 1 list>",
// move "<piece>:<square>-<square>-...". Parsing validates and says what was wrong; its
// number parsing and quoting serve the engine's other arguments too. No state.
#pragma once

#include <string>
#include <string_view>

#include "rules/moves.h"

// An unsigned decimal of one to maxDigits digits (no sign, no spaces; maxDigits at most 9, so
// that it fits) whose value lies within low..high.
bool parseInteger(std::string_view text, int32_t low, int32_t high, int32_t& value,
                  size_t maxDigits = 9);
// The text in single quotes, as error messages show what they were given.
std::string quoted(std::string_view text);

std::string formatSquare(Square square);
std::string formatMove(const Move& move);
std::string formatPosition(const Position& position, int32_t variant);

// Each returns an empty string on success, otherwise what is wrong (outputs then unspecified).
// A position needs exactly piecesPerSide tokens per side, every square on that board with
// column + row even, and no two pieces on one square; records past piecesPerSide are set to
// captured men.
std::string parsePosition(std::string_view text, Position& position, int32_t& variant);
// A move of the rule set's board: piece index and landing squares on the board.
std::string parseMove(std::string_view text, int32_t variant, Move& move);
