// The computer's search on its worker thread: the worker answers as the plain search does, a
// search stopped part-way leaves the fast search's table sound, and every way out of the
// computer's turn while it thinks plays no move and leaves no thread running. scripts/test.sh
// runs this program once more under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "app/display.h"
#include "app/resources.h"
#include "app/settings.h"
#include "game/controller.h"
#include "game/search_worker.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/screen.h"
#include "rules/fast_search.h"
#include "scene/input.h"
#include "tests/rules_test_util.h"

namespace {

SearchAnswer awaitAnswer() {
    while (!searchAnswerReady()) std::this_thread::yield();
    return takeSearchAnswer();
}

std::string answerText(const SearchAnswer& answer) {
    bestMove[0] = answer.move;
    return searchAnswer(answer.value);
}

// The fast search's own corpus, through the worker; the globals it borrows are given back.
TEST(SearchWorker, AnswersAsThePlainSearchAndGivesTheGlobalsBack) {
    SearchBesideFrames = true;
    int32_t count = 0;
    for (const SampledPosition& sample : sampleRandomGames(23, 3, 9, 120)) {
        selectRuleVariant(sample.variant);
        const int32_t depth = 1 + count++ % 4;
        const Move marker = {3, {{1, 1}}, 1};
        bestMove[0] = marker;
        searchDepth = 99;
        startSearch(SearchPurpose::ComputerMove, sample.position, sample.side, depth);
        const SearchAnswer answer = awaitAnswer();
        ASSERT_FALSE(searchThreadRunning());
        ASSERT_TRUE(sameMove(bestMove[0], marker) && searchDepth == 99);
        ASSERT_EQ(answerText(answer),
                  searchAnswer(plainSearchRoot(sample.position, sample.side, depth)))
            << formatPosition(sample.position, sample.variant) << " depth " << depth;
    }
    SearchBesideFrames = false;
}

// Whatever node a stop finds the search in, nothing made up stays in the table: searched
// again after stops at many points, a position gets the answer an empty table gives. The pauses
// only spread the stops; no outcome depends on them.
TEST(SearchWorker, AStoppedSearchLeavesTheTableSound) {
    SearchBesideFrames = true;
    const std::vector<SampledPosition> samples = sampleRandomGames(31, 1, 30, 60);
    for (const SampledPosition& sample : samples) {
        if (sample.variant == 0) continue; // the 10 x 10 board searches longest
        selectRuleVariant(sample.variant);
        clearTranspositions();
        const int32_t value = fastSearchRoot(sample.position, sample.side, 9);
        const std::string expected = searchAnswer(value);
        for (const int pause : {0, 1, 3, 10, 30}) {
            clearTranspositions();
            startSearch(SearchPurpose::Hint, sample.position, sample.side, 9);
            std::this_thread::sleep_for(std::chrono::milliseconds(pause));
            abandonSearch();
            ASSERT_FALSE(searchThreadRunning());
            startSearch(SearchPurpose::ComputerMove, sample.position, sample.side, 9);
            EXPECT_EQ(answerText(awaitAnswer()), expected)
                << formatPosition(sample.position, sample.variant) << " after " << pause;
        }
    }
    SearchBesideFrames = false;
}

// ---- The game while the computer thinks -------------------------------------------

std::atomic<bool> searchReleased{false};

// Stands in for the search: thinks until released or stopped, then searches as the game does.
int32_t heldSearch(const Position& position, int32_t side, int32_t depth) {
    while (!searchReleased.load() && !fastSearchStop.load()) std::this_thread::yield();
    return fastSearchRoot(position, side, depth);
}

class Thinking : public ::testing::Test {
  protected:
    void SetUp() override {
        selectBackend(Backend::Headless);
        ScreenWidth = 640;
        ScreenHeight = 480;
        TextureSize = ShadowTextureSize = 64;
        UseHardware = 1;
        ASSERT_STREQ(initDisplay(), nullptr);
        clearTextureTable();
        ASSERT_STREQ(loadResources(), nullptr);
        SearchBesideFrames = true;
        workerSearchRoot = heldSearch;
    }
    void TearDown() override {
        abandonSearch();
        workerSearchRoot = fastSearchRoot;
        SearchBesideFrames = false;
    }
    // A new "US RULES" game in which the human (side 0) has just played its first move: the
    // computer starts thinking about its reply.
    static void thinkAboutTheReply() {
        ruleVariant = humanSide = level = gameStarted = 0;
        ExitStage = MouseButton = previousButton = 0;
        searchReleased = false;
        mouseAt(600, 20);
        gameFrame();
        before = gamePosition;
        const Move move = allMoves(gamePosition, 0)[0];
        playedMoves.push_back({before, 0, 2, move});
        playMove(before, gamePosition, move, 0);
        thinking = gamePosition;
        sideToMove = 1;
        plyCount = 3;
        gameFrame();
        ASSERT_TRUE(searchThreadRunning());
    }
    static void mouseAt(int x, int y) { MouseX = x, MouseY = y; }
    static void press(int x, int y) {
        mouseAt(x, y);
        MouseButton = 1;
        gameFrame();
        MouseButton = 0;
    }
    static std::string text(const Position& position) {
        return formatPosition(position, ruleVariant);
    }
    static inline Position before{}, thinking{};
};

// After each way out (and the frame that sets up a new game): no thread, no move under way or
// recorded beyond the human's, and the position and turn the way leads to.
TEST_F(Thinking, EveryWayOutOfTheComputersTurnAbandonsItsSearch) {
    Position start{}, frenchStart{};
    setUpPosition(start);
    selectRuleVariant(1);
    setUpPosition(frenchStart);
    const std::string french = formatPosition(frenchStart, 1);
    selectRuleVariant(0);
    const struct {
        const char* way;
        std::function<void()> act;
        std::function<std::string()> position;
        int toMove;
        size_t recorded;
    } ways[] = {
        {"BEGIN", [] { press(50, 42), gameFrame(); }, [&] { return text(start); }, 0, 0},
        {"take back", [] { TakeBackRequest = 1, gameFrame(); }, [] { return text(before); }, 0, 0},
        {"rule set", [] { press(50, 132), gameFrame(); }, [&] { return french; }, 0, 0},
        {"level", [] { press(50, 102); }, [] { return text(thinking); }, 1, 1},
        {"colour", [] { press(50, 72); }, [] { return text(thinking); }, 1, 1},
        {"EXIT", [] { press(50, 162); }, [] { return text(thinking); }, 1, 1},
    };
    for (const auto& way : ways) {
        thinkAboutTheReply();
        way.act();
        EXPECT_FALSE(searchThreadRunning()) << way.way;
        EXPECT_EQ(
            std::vector<size_t>({size_t(movePlaying), size_t(sideToMove), playedMoves.size()}),
            std::vector<size_t>({0, size_t(way.toMove), way.recorded}))
            << way.way;
        EXPECT_EQ(formatPosition(gamePosition, ruleVariant), way.position()) << way.way;
    }
    // A new level asks for a new search, at the new depth.
    thinkAboutTheReply();
    press(50, 102);
    gameFrame();
    EXPECT_TRUE(searchUnderWayFor(SearchPurpose::ComputerMove, thinking, 1, levelSearchDepth(1)));
}

// Frames go on while the computer thinks; the frame that finds the answer plays it, and it is
// the plain search's move.
TEST_F(Thinking, FramesGoOnAndTheAnswerIsThePlainSearchs) {
    thinkAboutTheReply();
    for (int i = 0; i < 3; ++i) {
        CameraAzimuth += 10;
        gameFrame();
        EXPECT_EQ(RedrawRequest, 0); // each turned frame was drawn
        ASSERT_TRUE(searchThreadRunning());
        ASSERT_EQ(movePlaying, 0);
    }
    plainSearchRoot(thinking, 1, levelSearchDepth(0));
    const Move expected = bestMove[0];
    searchReleased = true;
    while (movePlaying == 0) gameFrame();
    EXPECT_TRUE(sameMove(playedMoves.back().move, expected));
    EXPECT_FALSE(searchThreadRunning());
}

// A hint is searched beside the frames too; a press drops it before it shows.
TEST_F(Thinking, AHintShowsWhenFoundAndAPressDropsItsSearch) {
    thinkAboutTheReply();
    TakeBackRequest = 1;
    gameFrame();
    HintRequest = 1;
    gameFrame();
    ASSERT_EQ(searchUnderWay(), SearchPurpose::Hint);
    press(600, 20);
    EXPECT_FALSE(searchThreadRunning());
    EXPECT_EQ(hintMove.piece, -1);
    gameFrame(); // the release
    HintRequest = 1;
    gameFrame();
    plainSearchRoot(before, 0, levelSearchDepth(0));
    const Move expected = bestMove[0];
    searchReleased = true;
    while (hintMove.piece == -1) gameFrame();
    EXPECT_TRUE(sameMove(hintMove, expected));
    EXPECT_EQ(sideToMove + movePlaying, 0);
}

} // namespace
