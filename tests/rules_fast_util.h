// Positions for the fast-versus-plain comparisons: random games of every rule set.
#pragma once

#include <random>
#include <vector>

#include "tests/rules_test_util.h"

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
                if (ply % stride == stride - 1 || moves.empty()) {
                    samples.push_back({variant, position, side});
                }
                if (moves.empty()) break;
                const Position before = position;
                playMove(before, position, moves[random() % moves.size()], side);
            }
        }
    }
    return samples;
}
