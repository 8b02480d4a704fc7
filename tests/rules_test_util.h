// Helpers shared by the rules tests: positions written the way korvath-engine writes them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/moves.h"
#include "rules/notation.h"

// "FRENCH 1", side 0 to move: five kings facing a crowd, with 6395 capture chains of up to 15
// jumps (found by a search for positions with many moves).
inline const char* ManyCapturesSide0 = "x,0.0K,x,x,x,x,x,x,x,x,x,9.9K,x,x,x,x,x,0.8K,1.9K,9.1K";
inline const char* ManyCapturesSide1 =
    "x,7.7,x,x,6.2K,1.3K,7.1K,4.4K,7.5,6.4,4.8,4.6,1.1K,4.2,x,2.6,2.4,3.1K,2.8,x";

// The position of the variant with these pieces, in index order ("1.5,3.5K"), each side
// padded with captured pieces up to piecesPerSide. Selects the variant.
inline Position positionOf(int32_t variant, const std::string& side0, const std::string& side1) {
    auto pad = [&](std::string list) {
        int32_t tokens = list.empty() ? 0 : 1;
        for (const char ch : list) tokens += ch == ',';
        for (; tokens < ruleVariants[variant].piecesPerSide; ++tokens) {
            list += list.empty() ? "x" : ",x";
        }
        return list;
    };
    Position position;
    int32_t parsed = 0;
    const std::string text = std::to_string(variant) + " " + pad(side0) + " " + pad(side1);
    const std::string error = parsePosition(text, position, parsed);
    EXPECT_EQ(error, "") << text;
    selectRuleVariant(variant);
    return position;
}

// Every legal move of the side, in generation order, across all windows of the list.
inline std::vector<Move> allMoves(const Position& position, int32_t side) {
    static MoveList list;
    std::vector<Move> moves;
    generateMoves(position, side, list);
    do {
        moves.insert(moves.end(), list.moves, list.moves + list.count);
    } while (generateNextMoves(position, side, list));
    EXPECT_EQ(static_cast<int64_t>(moves.size()), list.total);
    return moves;
}

// The side's legal moves as korvath-engine lists them.
inline std::string listMoves(const Position& position, int32_t side) {
    const std::vector<Move> moves = allMoves(position, side);
    std::string text = std::to_string(moves.size());
    for (const Move& move : moves) text += " " + formatMove(move);
    return text;
}
