// gameFrame in the same process, on a headless display with the real pictures
// and meshes: set-up positions that a scripted game would take long to reach
// (capture chains, a last piece taken), and the controller state around them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>

#include "app/display.h"
#include "app/resources.h"
#include "app/settings.h"
#include "game/controller.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/screen.h"
#include "rules/notation.h"
#include "rules/random.h"
#include "rules/search.h"
#include "scene/input.h"
#include "scene/scene.h"

namespace {

namespace fs = std::filesystem;

// Twelve tokens a side on the 8 x 8 board, side 0's pieces first.
std::string board(const std::string& ours, int ourCount, const std::string& theirs,
                  int theirCount) {
    std::string text = "0 " + ours;
    for (int i = ourCount; i < 12; ++i) text += ",x";
    text += " " + theirs;
    for (int i = theirCount; i < 12; ++i) text += ",x";
    return text;
}

// A man of side 0 on 6.6 with a three-jump capture to 0.0.
const std::string ThreeJumps = board("6.6", 1, "5.5,3.3,1.1,7.1", 4);

class Controller : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        selectBackend(Backend::Headless);
        ScreenWidth = 640;
        ScreenHeight = 480;
        TextureSize = ShadowTextureSize = 64;
        UseHardware = 1;
        ASSERT_STREQ(initDisplay(), nullptr);
        clearTextureTable();
        ASSERT_STREQ(loadResources(), nullptr);
    }
    void SetUp() override {
        ruleVariant = humanSide = level = gameStarted = 0;
        ExitStage = ScreenshotRequest = CameraRoll = MouseButton = previousButton = 0;
        RedrawRequest = 1;
        mouseAt(600, 20);
        gameFrame(); // a new game, drawn once
    }
    // Puts a position on the board as if the game had come to it.
    void setPosition(const std::string& text, int toMove) {
        int32_t variant = 0;
        ASSERT_EQ(parsePosition(text.c_str(), gamePosition, variant), "") << text;
        sideToMove = toMove;
        plyCount = 4;
        selectedPiece = -1;
        targetSquareCount = movePlaying = 0;
        RedrawRequest = 1;
        gameFrame();
    }
    void moveMouseToSquare(int column, int row) {
        const Vec3 centre = squareCentre(column, row, ruleVariants[ruleVariant].columns);
        const Projection p = projectPosition(centre.x, centre.y, centre.z, ViewMatrix);
        mouseAt(static_cast<int>(p.screenX + 0.5f), static_cast<int>(p.screenY + 0.5f));
    }
    static void mouseAt(int x, int y) { MouseX = x, MouseY = y; }
    // A left press seen by one frame, its release by the next.
    void clickSquare(int column, int row) {
        moveMouseToSquare(column, row);
        clickHere();
    }
    void clickHere() {
        MouseButton = 1;
        gameFrame();
        MouseButton = 0;
        gameFrame();
    }
    std::string position() const { return formatPosition(gamePosition, ruleVariant); }
};

// Every menu button through one sequence of what the window reports before
// each frame (-1: nothing new, the button is still held). A press works once;
// the level and rule-set buttons re-arm the bookkeeping, so that a release
// and a new press right after their frame count again, where the others
// still see the first press held. A piece stays selected, so presses reach
// the menu.
TEST_F(Controller, EveryMenuButtonSeesEachPressOnce) {
    const char* labels[] = {"BEGIN", "WHITES", "BEGINNERS", "US RULES", "EXIT"}; // 30 apart
    moveMouseToSquare(1, 5);
    MouseButton = 2; // the right button selects nothing
    gameFrame();
    ASSERT_EQ(selectedPiece, -1);
    clickSquare(1, 5);
    const int selected = selectedPiece;
    ASSERT_NE(selected, -1);
    for (int i = 0; i < 5; ++i) {
        const char* label = labels[i];
        const bool reArms = i == 2 || i == 3; // the level and rule-set buttons
        mouseAt(50, 42 + 30 * i);
        const std::pair<int, bool> steps[] = {{2, false},  {0, false}, {1, true}, {1, reArms},
                                              {-1, false}, {0, false}, {1, true}};
        for (const auto& [report, works] : steps) {
            humanSide = level = ruleVariant = ExitStage = 0;
            gameStarted = 1; // no new game: it would drop the selection
            selectedPiece = selected;
            if (report >= 0) MouseButton = static_cast<uint8_t>(report);
            gameFrame();
            const bool worked = gameStarted == 0 || humanSide != 0 || level != 0 ||
                                ruleVariant != 0 || ExitStage != 0;
            EXPECT_EQ(worked, works) << label << " after " << report;
        }
        EXPECT_EQ(movePlaying, 0) << label;
    }
}

// The chain is outlined to its end; a click on an intermediate landing square
// only selects again. BEGIN, with the piece selected or the chain under way,
// shows the starting position next frame with nothing selected or outlined.
TEST_F(Controller, ACaptureChainIsPlayedFromItsLastSquareAndBeginDropsIt) {
    for (const bool midMove : {false, true}) {
        setPosition(ThreeJumps, 0);
        clickSquare(6, 6);
        ASSERT_EQ(targetSquareCount, 3);
        EXPECT_EQ(targetSquares[0].final + targetSquares[1].final, 0);
        EXPECT_EQ(targetSquares[2].final, 1);
        clickSquare(4, 4);
        EXPECT_EQ(position(), ThreeJumps);
        EXPECT_EQ(selectedPiece, 0);
        if (midMove) clickSquare(0, 0);
        ASSERT_EQ(movePlaying, midMove ? 1 : 0);
        mouseAt(50, 42);
        clickHere(); // mid-move, the press frame also plays a step
        EXPECT_EQ(movePlaying + targetSquareCount + plyCount, 0);
        EXPECT_EQ(selectedPiece, -1);
        Position start{};
        setUpPosition(start);
        EXPECT_EQ(position(), formatPosition(start, 0));
    }
}

TEST_F(Controller, OfTwoMovesEndingOnOneSquareTheLaterIsPlayed) {
    setPosition(board("4.4", 1, "3.3,3.1,5.3,5.1,7.7", 5), 0);
    static MoveList moves;
    generateMoves(gamePosition, 0, moves);
    int last = -1, matching = 0;
    for (int i = 0; i < moves.count; ++i) {
        const Move& m = moves.moves[i];
        if (m.path[m.steps - 1].column == 4 && m.path[m.steps - 1].row == 0) last = i, ++matching;
    }
    ASSERT_EQ(matching, 2);
    Position expected{};
    playMove(gamePosition, expected, moves.moves[last], 0);
    clickSquare(4, 4);
    clickSquare(4, 0);
    gameFrame();
    EXPECT_EQ(position(), formatPosition(expected, 0));
}

// Once a side has lost the camera turns every frame, away from the loser. On
// the lost computer's turn a take back still works, and the camera faces the
// human again.
TEST_F(Controller, TheCameraTurnsOnceASideHasLost) {
    setPosition(board("2.2", 1, "1.1", 1), 0);
    clickSquare(2, 2);
    clickSquare(0, 0); // the press frame, then the frame of the only step
    ASSERT_EQ(countPieces(gamePosition, 1), 0);
    const int turned = CameraAzimuth;
    for (int i = 1; i <= 2; ++i) {
        gameFrame();
        EXPECT_EQ(CameraAzimuth, turned - 5 * i);
        EXPECT_EQ(RedrawRequest, 0); // each turned frame was drawn anew
    }
    TakeBackRequest = 1;
    gameFrame();
    EXPECT_EQ(position(), board("2.2", 1, "1.1", 1));
    EXPECT_EQ(sideToMove + TakeBackRequest, 0);
    for (int i = 0; i < 2; ++i, gameFrame()) EXPECT_EQ(CameraAzimuth, 0);
    // The computer's first frame finds the capture; its step takes the last man.
    setPosition(board("3.3", 1, "2.2,7.1", 2), 1);
    ASSERT_EQ(movePlaying, 1);
    for (int i = 0; i < 3; ++i, gameFrame()) EXPECT_EQ(CameraAzimuth, 5 * i);
}

// The hint frame draws only the frame's own random number.
TEST_F(Controller, AHintIsTheReferenceSearchsMoveAndChangesNothingElse) {
    setPosition(board("1.5,5.5,0.6,2.6,4.6,1.7,3.7,6.4", 8, "0.0,2.0,4.0,3.1,5.1,2.2,6.2,3.3", 8),
                0);
    plainSearchRoot(gamePosition, humanSide, levelSearchDepth(level));
    const Move expected = bestMove[0];
    ASSERT_NE(expected.piece, -1);
    const std::string before = position();
    const uint32_t random = randomState;
    HintRequest = 1;
    gameFrame();
    EXPECT_TRUE(sameMove(hintMove, expected));
    EXPECT_EQ(position(), before);
    EXPECT_EQ(randomState, random * 214013u + 2531011u);
    EXPECT_EQ(sideToMove + movePlaying + HintRequest, 0);
    clickHere(); // the next press drops it
    EXPECT_EQ(hintMove.piece, -1);
}

TEST_F(Controller, TheElevationIsKeptInItsRange) {
    for (const auto& [set, kept] : {std::pair{-300, -185}, std::pair{40, -20}}) {
        CameraElevation = set;
        gameFrame();
        EXPECT_EQ(CameraElevation, kept);
    }
}

// The screenshot's frame leaves the board on black in the cache, so that the
// frames after it show no backdrop either.
TEST_F(Controller, AScreenshotFrameIsDrawnOnBlackAndCached) {
    const fs::path folder = fs::temp_directory_path() / ("korvath-f3-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    auto cornerOf = [](Surface* surface) {
        LockedSurface locked;
        lockSurface(surface, &locked);
        const uint16_t corner = locked.memory[0];
        unlockSurface(surface);
        return corner;
    };
    EXPECT_NE(cornerOf(Backtemp), 0); // the backdrop
    ScreenshotRequest = RedrawRequest = 1;
    gameFrame();
    EXPECT_EQ(cornerOf(Backtemp), 0);
    gameFrame();
    EXPECT_EQ(cornerOf(DDrawSurfaceBack), 0);
    fs::current_path(previous);
    fs::remove_all(folder);
}

} // namespace
