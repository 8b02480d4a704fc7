// gameFrame in the same process, on a headless display with the real pictures
// and meshes: set-up positions that a scripted game would take long to reach
// (capture chains, a last piece taken), and the controller state around them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

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

class Controller : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        selectBackend(Backend::Headless);
        ScreenWidth = 640;
        ScreenHeight = 480;
        TextureSize = 64;
        ShadowTextureSize = 64;
        UseHardware = 1;
        const char* failure = initDisplay();
        ASSERT_EQ(failure, nullptr) << failure;
        clearTextureTable();
        failure = loadResources();
        ASSERT_EQ(failure, nullptr) << failure;
    }

    void SetUp() override {
        ruleVariant = 0;
        humanSide = 0;
        level = 0;
        gameStarted = 0;
        MouseButton = 0;
        previousButton = 0;
        ExitStage = 0;
        ScreenshotRequest = 0;
        RedrawRequest = 1;
        CameraRoll = 0;
        MouseX = 600;
        MouseY = 20;
        gameFrame(); // a new game, drawn once
    }

    // Puts a position on the board as if the game had come to it.
    void setPosition(const char* text, int toMove, int plies = 4) {
        int32_t variant = 0;
        ASSERT_EQ(parsePosition(text, gamePosition, variant), "") << text;
        ASSERT_EQ(variant, ruleVariant);
        sideToMove = toMove;
        plyCount = plies;
        selectedPiece = -1;
        targetSquareCount = 0;
        movePlaying = 0;
        RedrawRequest = 1;
        frame();
    }

    void frame() { gameFrame(); }

    void moveMouseToSquare(int column, int row) {
        const Vec3 centre = squareCentre(column, row, ruleVariants[ruleVariant].columns);
        const Projection p = projectPosition(centre.x, centre.y, centre.z, ViewMatrix);
        MouseX = static_cast<int>(p.screenX + 0.5f);
        MouseY = static_cast<int>(p.screenY + 0.5f);
    }

    // A left press seen by one frame, its release by the next.
    void clickSquare(int column, int row) {
        moveMouseToSquare(column, row);
        clickHere();
    }
    void clickHere() {
        MouseButton = 1;
        frame();
        MouseButton = 0;
        frame();
    }

    std::string position() const { return formatPosition(gamePosition, ruleVariant); }
};

// Twelve tokens a side on the 8 x 8 board.
std::string usSide(const std::string& pieces, int count) {
    std::string text = pieces;
    for (int i = count; i < 12; ++i) text += ",x";
    return text;
}

// Every menu button through one sequence of what the window reports before
// each frame (-1: nothing new, the button is still held). A press works once;
// the level and rule-set buttons re-arm the bookkeeping, so that a release
// and a new press right after their frame count again, where the others
// still see the first press held. A piece stays selected, so presses reach
// the menu.
TEST_F(Controller, EveryMenuButtonSeesEachPressOnce) {
    struct Case {
        const char* label;
        int y;
        bool reArms;
    };
    const Case cases[] = {{"BEGIN", 42, false},
                          {"WHITES", 72, false},
                          {"BEGINNERS", 102, true},
                          {"US RULES", 132, true},
                          {"EXIT", 162, false}};
    moveMouseToSquare(1, 5);
    MouseButton = 2; // the right button selects nothing
    frame();
    ASSERT_EQ(selectedPiece, -1);
    clickSquare(1, 5);
    const int selected = selectedPiece;
    ASSERT_NE(selected, -1);
    for (const Case& c : cases) {
        MouseX = 50;
        MouseY = c.y;
        const struct {
            int report;
            bool works;
        } steps[] = {{2, false},  {0, false}, {1, true}, {1, c.reArms},
                     {-1, false}, {0, false}, {1, true}};
        for (const auto& step : steps) {
            humanSide = level = ruleVariant = ExitStage = 0;
            gameStarted = 1; // no new game: it would drop the selection
            selectedPiece = selected;
            if (step.report >= 0) MouseButton = static_cast<uint8_t>(step.report);
            frame();
            const bool worked = gameStarted == 0 || humanSide != 0 || level != 0 ||
                                ruleVariant != 0 || ExitStage != 0;
            EXPECT_EQ(worked, step.works) << c.label << " after " << step.report;
        }
        EXPECT_EQ(movePlaying, 0) << c.label;
    }
}

TEST_F(Controller, EveryFrameDrawsOneRandomNumber) {
    const uint32_t before = randomState;
    nextRandom();
    const uint32_t afterOne = randomState;
    randomState = before;
    frame();
    EXPECT_EQ(randomState, afterOne);
}

TEST_F(Controller, AThreeJumpCaptureUnfoldsOverThreeFramesAndPassesTheTurnInTheFourth) {
    setPosition(("0 " + usSide("6.6", 1) + " " + usSide("5.5,3.3,1.1,7.1", 4)).c_str(), 0);
    clickSquare(6, 6);
    EXPECT_EQ(selectedPiece, 0);
    ASSERT_EQ(targetSquareCount, 3);
    EXPECT_EQ(targetSquares[0].column, 4);
    EXPECT_EQ(targetSquares[0].final, 0);
    EXPECT_EQ(targetSquares[2].column, 0);
    EXPECT_EQ(targetSquares[2].row, 0);
    EXPECT_EQ(targetSquares[2].final, 1);

    // An intermediate landing square is no move: it only selects again.
    const std::string before = position();
    clickSquare(4, 4);
    EXPECT_EQ(position(), before);
    EXPECT_EQ(movePlaying, 0);
    EXPECT_EQ(selectedPiece, 0);

    moveMouseToSquare(0, 0);
    MouseButton = 1;
    frame();
    MouseButton = 0;
    EXPECT_EQ(movePlaying, 1);
    EXPECT_EQ(targetSquareCount, 0);
    const char* steps[] = {"4.4", "2.2", "0.0K"};
    for (const char* expected : steps) {
        frame();
        EXPECT_EQ(position().substr(2, position().find(',') - 2), expected);
        EXPECT_EQ(RedrawRequest, 1);
        EXPECT_EQ(sideToMove, 0);
    }
    EXPECT_EQ(countPieces(gamePosition, 1), 1);
    frame();
    EXPECT_EQ(sideToMove, 1);
    EXPECT_EQ(plyCount, 5);
    EXPECT_EQ(movePlaying, 0);
}

TEST_F(Controller, OfTwoMovesEndingOnOneSquareTheLaterIsPlayed) {
    setPosition(("0 " + usSide("4.4", 1) + " " + usSide("3.3,3.1,5.3,5.1,7.7", 5)).c_str(), 0);
    static MoveList moves;
    generateMoves(gamePosition, 0, moves);
    int last = -1;
    int matching = 0;
    for (int i = 0; i < moves.count; ++i) {
        const Move& m = moves.moves[i];
        if (m.path[m.steps - 1].column == 4 && m.path[m.steps - 1].row == 0) {
            last = i;
            ++matching;
        }
    }
    ASSERT_EQ(matching, 2);
    Position expected{};
    playMove(gamePosition, expected, moves.moves[last], 0);

    clickSquare(4, 4);
    clickSquare(4, 0);
    frame();
    EXPECT_EQ(position(), formatPosition(expected, 0));
}

// BEGIN pressed with a piece selected or with a move being played: the next
// frame shows the starting position, side 0 to move, nothing selected or outlined.
TEST_F(Controller, BeginStartsAfreshNextFrame) {
    for (const bool midMove : {false, true}) {
        setPosition(("0 " + usSide("6.6", 1) + " " + usSide("5.5,3.3,1.1,7.1", 4)).c_str(), 0);
        clickSquare(6, 6);
        ASSERT_GT(targetSquareCount, 0);
        if (midMove) clickSquare(0, 0);
        ASSERT_EQ(movePlaying, midMove ? 1 : 0);
        MouseX = 50;
        MouseY = 42;
        clickHere(); // mid-move, the press frame also plays a step
        EXPECT_EQ(movePlaying, 0);
        EXPECT_EQ(selectedPiece, -1);
        EXPECT_EQ(targetSquareCount, 0);
        EXPECT_EQ(plyCount, 0);
        Position start{};
        setUpPosition(start);
        EXPECT_EQ(position(), formatPosition(start, 0));
    }
}

TEST_F(Controller, TheCameraTurnsOnceTheComputerHasLost) {
    setPosition(("0 " + usSide("2.2", 1) + " " + usSide("1.1", 1)).c_str(), 0);
    clickSquare(2, 2);
    clickSquare(0, 0); // the press frame, then the frame of the only step
    EXPECT_EQ(countPieces(gamePosition, 1), 0);
    int azimuth = CameraAzimuth;
    for (int i = 0; i < 3; ++i) {
        frame();
        EXPECT_EQ(CameraAzimuth, azimuth - 5);
        EXPECT_EQ(RedrawRequest, 0); // each turned frame was drawn anew
        azimuth = CameraAzimuth;
    }

    // On the lost computer's turn a take back still works, and the camera stops
    // circling and faces the human again.
    TakeBackRequest = 1;
    frame();
    EXPECT_EQ(TakeBackRequest, 0);
    EXPECT_EQ(position(), "0 " + usSide("2.2", 1) + " " + usSide("1.1", 1));
    EXPECT_EQ(sideToMove, 0);
    EXPECT_EQ(plyCount, 4);
    EXPECT_EQ(CameraAzimuth, 0);
    frame();
    EXPECT_EQ(CameraAzimuth, 0);
}

TEST_F(Controller, TheCameraTurnsTheOtherWayOnceTheHumanHasLost) {
    const int azimuth = CameraAzimuth;
    // Its first frame is already the computer's: the search finds the capture.
    setPosition(("0 " + usSide("3.3", 1) + " " + usSide("2.2,7.1", 2)).c_str(), 1);
    ASSERT_EQ(movePlaying, 1);
    EXPECT_EQ(CameraAzimuth, azimuth);
    frame(); // its step takes the human's last piece
    EXPECT_EQ(countPieces(gamePosition, 0), 0);
    EXPECT_EQ(CameraAzimuth, azimuth + 5);
    frame();
    EXPECT_EQ(CameraAzimuth, azimuth + 10);
}

TEST_F(Controller, AHintIsTheReferenceSearchsMoveAndChangesNothingElse) {
    setPosition(("0 " + usSide("1.5,5.5,0.6,2.6,4.6,1.7,3.7,6.4", 8) + " " +
                 usSide("0.0,2.0,4.0,3.1,5.1,2.2,6.2,3.3", 8))
                    .c_str(),
                0);
    plainSearchRoot(gamePosition, humanSide, levelSearchDepth(level));
    const Move expected = bestMove[0];
    ASSERT_NE(expected.piece, -1);
    const std::string board = position();
    const uint32_t random = randomState;
    HintRequest = 1;
    frame();
    EXPECT_EQ(HintRequest, 0);
    EXPECT_TRUE(sameMove(hintMove, expected));
    EXPECT_EQ(position(), board);
    EXPECT_EQ(randomState, random * 214013u + 2531011u); // the frame's own number only
    EXPECT_EQ(sideToMove, 0);
    EXPECT_EQ(movePlaying, 0);
    clickHere(); // the next press drops it
    EXPECT_EQ(hintMove.piece, -1);
}

TEST_F(Controller, TheElevationIsKeptInItsRange) {
    CameraElevation = -300;
    frame();
    EXPECT_EQ(CameraElevation, -185);
    CameraElevation = 40;
    frame();
    EXPECT_EQ(CameraElevation, -20);
}

TEST_F(Controller, AScreenshotFrameIsDrawnOnBlackAndCached) {
    const fs::path folder =
        fs::temp_directory_path() / ("korvath-f3-" + std::to_string(::getpid()));
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
    const int counter = screenshotCounter;
    ScreenshotRequest = 1;
    RedrawRequest = 1;
    frame();
    EXPECT_EQ(ScreenshotRequest, 0);
    EXPECT_EQ(screenshotCounter, counter + 1);
    EXPECT_TRUE(fs::exists("page" + std::to_string(counter) + ".raw"));
    EXPECT_EQ(cornerOf(Backtemp), 0);
    frame();
    EXPECT_EQ(cornerOf(DDrawSurfaceBack), 0); // the cached picture has no backdrop either
    fs::current_path(previous);
    fs::remove_all(folder);
}

} // namespace
