// Helpers shared by the tests that set up positions or search: positions written the way
// korvath-engine writes them, positions met in random games, a search's answer as text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "rules/moves.h"
#include "rules/notation.h"
#include "rules/search.h"

// "FRENCH 1", side 0 to move: five kings facing a crowd, with 6395 capture chains of up to 15
// jumps (found by a search for positions with many moves).
inline const char* ManyCapturesSide0 = "x,0.0K,x,x,x,x,x,x,x,x,x,9.9K,x,x,x,x,x,0.8K,1.9K,9.1K";
inline const char* ManyCapturesSide1 =
    "x,7.7,x,x,6.2K,1.3K,7.1K,4.4K,7.5,6.4,4.8,4.6,1.1K,4.2,x,2.6,2.4,3.1K,2.8,x";

// No piece on the board: every record captured.
inline Position emptyPosition() {
    Position position{};
    for (Piece& piece : position.pieces) piece = {-1, 0, 0};
    return position;
}

// An empty board with these pieces, each {side, index, column, row, king}.
inline Position positionWith(std::initializer_list<std::array<int32_t, 5>> pieces) {
    Position position = emptyPosition();
    for (const auto& p : pieces) pieceOf(position, p[0], p[1]) = {p[2], p[3], p[4]};
    return position;
}

// The position of the variant with these pieces, in index order ("1.5,3.5K"), each side
// padded with captured pieces up to piecesPerSide. Selects the variant.
inline Position positionOf(int32_t variant, const std::string& side0, const std::string& side1) {
    auto pad = [&](std::string list) {
        int32_t tokens = list.empty() ? 0 : 1 + std::count(list.begin(), list.end(), ',');
        for (; tokens < ruleVariants[variant].piecesPerSide; ++tokens)
            list += list.empty() ? "x" : ",x";
        return list;
    };
    Position position;
    int32_t parsed = 0;
    const std::string text = std::to_string(variant) + " " + pad(side0) + " " + pad(side1);
    EXPECT_EQ(parsePosition(text, position, parsed), "") << text;
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

// A root search's value and chosen move as korvath-engine prints them ("166665 0:1.1").
inline std::string searchAnswer(int32_t value) {
    return std::to_string(value) + " " +
           (bestMove[0].piece == -1 ? std::string("none") : formatMove(bestMove[0]));
}

struct SampledPosition {
    int32_t variant;
    Position position;
    int32_t side; // to move
};

// Positions met in random games (uniform legal moves, so kings come early and often), every
// stride plies of each game.
inline std::vector<SampledPosition> sampleRandomGames(uint32_t seed, int32_t gamesPerVariant,
                                                      int32_t stride, int32_t maxPlies) {
    std::mt19937 random(seed);
    std::vector<SampledPosition> samples;
    for (int32_t variant = 0; variant < RuleVariantCount; ++variant) {
        for (int32_t game = 0; game < gamesPerVariant; ++game) {
            selectRuleVariant(variant);
            Position position;
            setUpPosition(position);
            for (int32_t ply = 0; ply < maxPlies; ++ply) {
                const int32_t side = ply % 2;
                const std::vector<Move> moves = allMoves(position, side);
                if (ply % stride == stride - 1 || moves.empty())
                    samples.push_back({variant, position, side});
                if (moves.empty()) break;
                playMove(Position(position), position, moves[random() % moves.size()], side);
            }
        }
    }
    return samples;
}
