// The computer's search beside the frame loop: at most one search at a time runs the fast
// search on its own copy of the position, on a worker thread, while frames go on being drawn;
// the game collects its answer once it is ready, or abandons it. Owns SearchBesideFrames (set
// by the windowed game's entry) and the search under way. While a worker runs, the fast
// search's globals (its table and scratch, bestMove, searchDepth) are the worker's alone.
#pragma once

#include "rules/player.h"

extern bool SearchBesideFrames; // searches run on a worker thread; set once by the windowed
                                // game before start-up, false everywhere else

// The root search the worker runs: fastSearchRoot, which must give up soon after
// fastSearchStop is set; tests put a stand-in of their own.
extern int32_t (*workerSearchRoot)(const Position& position, int32_t side, int32_t depth);

enum class SearchPurpose { None, ComputerMove, Hint };

struct SearchAnswer {
    Move move;     // piece -1 when no move beat the root's floor
    int32_t value; // the root's value, as fastSearchRoot returns it
};

// Abandons any search under way, then searches for the side at the depth under the current rule
// set. Beside the frames it returns at once; otherwise the answer is ready when it returns.
void startSearch(SearchPurpose purpose, const Position& position, int32_t side, int32_t depth);
// What the search under way (started, neither collected nor abandoned) is for.
SearchPurpose searchUnderWay();
// True when the search under way was started with exactly these.
bool searchUnderWayFor(SearchPurpose purpose, const Position& position, int32_t side,
                       int32_t depth);
bool searchAnswerReady();
// Ends the search under way, which must be ready, and gives its answer.
SearchAnswer takeSearchAnswer();
// Stops the search under way, if any, and waits for its thread: nothing of its answer is kept,
// and bestMove and searchDepth are as they were before it.
void abandonSearch();
// True while a worker thread exists, from its start to its collection or abandonment.
bool searchThreadRunning();
