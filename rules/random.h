// The game's random generator and the computer's random opening steps. Owns randomState:
// seeded 1 at program start and never reseeded.
#pragma once

#include "rules/position.h"

extern uint32_t randomState; // the generator's state; 1 at program start

// Next value, 0..32767: state := state x 214013 + 2531011, bits 16..30 of the new state.
int32_t nextRandom();

struct OpeningStep {
    int32_t piece; // index within the side, or -1 when no front-row man can step
    Square target;
};

// A random forward step of a front-row man whose target has no piece diagonally ahead.
OpeningStep chooseOpeningMove(const Position& position, int32_t side);
