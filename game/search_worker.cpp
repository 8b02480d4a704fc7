// The search under way and its worker thread. SearchBesideFrames is written by the windowed
// game's entry only, workerSearchRoot by tests only; the job below is written by the frame loop's
// thread while no worker runs, and its answer by the worker before it raises done.
#include "game/search_worker.h"

#include <atomic>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/platform.h"
#include "rules/fast_board.h"
#include "rules/fast_search.h"

bool SearchBesideFrames = false;
int32_t (*workerSearchRoot)(const Position&, int32_t, int32_t) = fastSearchRoot;

namespace {

struct SearchJob {
    SearchPurpose purpose = SearchPurpose::None; // None when no search is under way
    Position position{};                         // the worker's own copy, fixed at the start
    int32_t side = 0;
    int32_t depth = 0;
    SearchAnswer answer{}; // written by the search before done is raised
    std::atomic<bool> done{false};
    std::thread worker; // joinable from the start of a search beside the frames to its end
};
SearchJob job;

// The fast search's globals are put back, so that a search seen from the frame loop changes
// nothing but the answer it gives.
void runJob() {
    const Move savedMove = bestMove[0];
    const int32_t savedDepth = searchDepth;
    const int32_t value = workerSearchRoot(job.position, job.side, job.depth);
    job.answer = {bestMove[0], value};
    bestMove[0] = savedMove;
    searchDepth = savedDepth;
    job.done.store(true, std::memory_order_release);
    // A still board may be waiting for input: the answer is news too.
    wakeFrameLoop();
}

void joinWorker() {
    if (job.worker.joinable()) job.worker.join();
}

} // namespace

void startSearch(SearchPurpose purpose, const Position& position, int32_t side, int32_t depth) {
    assert(purpose != SearchPurpose::None);
    abandonSearch();
    // The tables of the rule set are built here, so the worker only ever reads them.
    prepareBoards();
    job.purpose = purpose;
    job.position = position;
    job.side = side;
    job.depth = depth;
    job.done.store(false, std::memory_order_relaxed);
    if (!SearchBesideFrames) {
        runJob();
        return;
    }
    try {
        job.worker = std::thread(runJob);
    } catch (const std::system_error& error) {
        // Without a thread to spare the game still plays, only frozen while it thinks.
        std::fprintf(stderr, "korvath: searching in the frame (no thread: %s)\n", error.what());
        runJob();
    }
}

SearchPurpose searchUnderWay() {
    return job.purpose;
}

bool searchUnderWayFor(SearchPurpose purpose, const Position& position, int32_t side,
                       int32_t depth) {
    return job.purpose == purpose && job.side == side && job.depth == depth &&
           std::memcmp(&job.position, &position, sizeof position) == 0;
}

bool searchAnswerReady() {
    return job.purpose != SearchPurpose::None && job.done.load(std::memory_order_acquire);
}

SearchAnswer takeSearchAnswer() {
    assert(searchAnswerReady());
    joinWorker();
    job.purpose = SearchPurpose::None;
    return job.answer;
}

void abandonSearch() {
    fastSearchStop.store(true, std::memory_order_relaxed);
    joinWorker();
    fastSearchStop.store(false, std::memory_order_relaxed);
    job.purpose = SearchPurpose::None;
}

bool searchThreadRunning() {
    return job.worker.joinable();
}
