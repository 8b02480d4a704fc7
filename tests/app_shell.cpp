// The shell's parts on the headless backend, each driven as the main loop
// drives it: the window procedure's table, the display set-up, the fade player
// and the intro pictures it shows, and gameFrame with the real pictures and
// meshes on set-up positions that a scripted game would take long to reach, and
// the computer's search on its worker thread (suites ending in Threads, which
// scripts/test.sh runs once more under ThreadSanitizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/display.h"
#include "app/fade.h"
#include "app/failure_advice.h"
#include "app/resources.h"
#include "app/settings.h"
#include "app/window_proc.h"
#include "game/controller.h"
#include "game/search_worker.h"
#include "game/status.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/mesh_renderer.h"
#include "render/screen.h"
#include "render/textures.h"
#include "rules/fast_search.h"
#include "rules/notation.h"
#include "rules/random.h"
#include "rules/search.h"
#include "scene/input.h"
#include "scene/scene.h"
#include "tests/headless_screen.h"
#include "tests/rules_test_util.h"

namespace {

namespace fs = std::filesystem;

// ---- The window procedure, fed through the headless message queue ----------

class WindowProcedure : public ::testing::Test {
  protected:
    void SetUp() override {
        ScreenWidth = 640;
        ScreenHeight = 480;
        MouseX = MouseY = MouseButton = 0;
        CameraAzimuth = CameraElevation = CameraRoll = 0;
        ScreenshotRequest = RedrawRequest = 0;
        selectBackend(Backend::Headless);
        ASSERT_EQ(createGameWindow("Korvath", 640, 480, windowProc), PLATFORM_OK);
        ASSERT_EQ(videoStart(), PLATFORM_OK);
        ASSERT_EQ(setDisplayMode(640, 480), PLATFORM_OK);
        dispatchWaitingMessages();
        AppActive = 0;
    }
    void TearDown() override {
        destroyGameWindow();
        videoStop();
    }
    // Injects one message and runs the queue dry; the quit code or -1.
    static int send(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0) {
        injectMessage(Message{message, wParam, lParam});
        return dispatchWaitingMessages();
    }
    static int64_t at(int x, int y) {
        return (x & 0xFFFF) | static_cast<int64_t>(y & 0xFFFF) << 16;
    }
};

TEST_F(WindowProcedure, ActivationFollowsOnlyTheMinimisedFlag) {
    // Focus lost without minimising keeps the game running.
    const std::pair<uint64_t, int> cases[] = {
        {WA_ACTIVE, 1}, {WA_INACTIVE, 1}, {WA_INACTIVE | (1u << 16), 0}, {WA_ACTIVE, 1}};
    for (const auto& [state, active] : cases) {
        send(WM_ACTIVATE, state);
        EXPECT_EQ(AppActive, active) << state;
    }
}

TEST_F(WindowProcedure, ButtonsSetAndReleaseTheMouseButton) {
    send(WM_LBUTTONUP); // a release after a press outside the window
    EXPECT_EQ(MouseButton, 0);
    send(WM_LBUTTONDOWN);
    EXPECT_EQ(MouseButton, 1);
    send(WM_RBUTTONDOWN);
    EXPECT_EQ(MouseButton, 2);
    // A quick click: the release waits, past other messages' turn, until a
    // frame has seen the press.
    send(WM_LBUTTONUP);
    EXPECT_EQ(MouseButton, 2);
    presentFrame();
    dispatchWaitingMessages();
    EXPECT_EQ(MouseButton, 0);
    send(WM_LBUTTONDOWN);
    send(WM_MOUSEMOVE, 0, at(5, 5));
    send(WM_LBUTTONUP);
    EXPECT_EQ(MouseX, 5);
    EXPECT_EQ(MouseButton, 1);
    waitMessage(); // minimised: no frame is coming, so the release goes
    dispatchWaitingMessages();
    EXPECT_EQ(MouseButton, 0);
}

TEST_F(WindowProcedure, MouseMovesReadTheCursorAndKeepTenPixelsFromTheFarEdges) {
    send(WM_MOUSEMOVE, 0, at(639, 479));
    EXPECT_EQ(std::pair(MouseX, MouseY), std::pair(630, 470));
    send(WM_MOUSELEAVE); // the drawn cursor goes with the pointer, and comes back with it
    EXPECT_EQ(MouseInWindow, 0);
    send(WM_MOUSEMOVE, 0, at(-20, -3)); // in a black bar left of the picture
    EXPECT_EQ(std::vector({MouseX, MouseY, MouseInWindow}), std::vector({0, 0, 1}));
    // The cursor is read, not the message's own coordinates.
    setHeadlessCursor(100, 200);
    postMessage(Message{WM_MOUSEMOVE, 0, at(5, 5)});
    send(0);
    EXPECT_EQ(std::pair(MouseX, MouseY), std::pair(100, 200));
}

// What the camera keys do is seen by the reference frames: LEFT, DOWN and F1 at 640 and 800,
// RIGHT, UP and F1 at 1024, F2 after them all.
TEST_F(WindowProcedure, KeysAskForScreenshotsTakeBacksHintsAndRecords) {
    // Two presses of F3 before a frame ask for one picture, two of BACKSPACE
    // for two steps back.
    for (const uint64_t key : {VK_F3, VK_F3, VK_BACK, VK_BACK, VK_H, VK_F4}) send(WM_KEYDOWN, key);
    EXPECT_EQ(std::vector(
                  {ScreenshotRequest, RedrawRequest, TakeBackRequest, HintRequest, RecordRequest}),
              std::vector({1, 1, 2, 1, 1}));
    send(WM_KEYDOWN, 'A'); // any other key: nothing
    EXPECT_EQ(CameraAzimuth, 0);
    EXPECT_EQ(windowProc(Message{WM_SETCURSOR, 0, 0}), 1);
}

TEST_F(WindowProcedure, EscapeAndF12CloseTheWindowAndEndTheLoop) {
    for (uint32_t key : {VK_ESCAPE, VK_F12}) {
        EXPECT_EQ(windowProc(Message{WM_KEYDOWN, key, 0}), 0);
        EXPECT_EQ(send(0), 0) << key; // WM_CLOSE, WM_DESTROY, then WM_QUIT with code 0
        EXPECT_FALSE(windowExists());
        TearDown();
        SetUp();
    }
}

// ---- The display set-up ------------------------------------------------------

class Display : public ::testing::Test {
  protected:
    static void start(int width, int height, int hardware = 1,
                      const HeadlessOptions& options = {}) {
        selectBackend(Backend::Headless, options);
        ScreenWidth = width;
        ScreenHeight = height;
        UseHardware = hardware;
        WindowedMode = 0;
        FocalLength = 0.0f;
        ScreenGreenMask = 0;
    }
    void TearDown() override {
        releaseDevice();
        releaseSurface(Zbuffer);
        releaseSurface(Backtemp);
        videoStop();
        DDrawSurfacePrimary = DDrawSurfaceBack = Zbuffer = Backtemp = nullptr;
    }
    static void drawTriangle(float width, float height, float z, uint32_t colour) {
        const TLVertex v[3] = {{0, 0, z, 1, colour, 0, 0},
                               {width, 0, z, 1, colour, 0, 0},
                               {0, height, z, 1, colour, 0, 0}};
        drawPrimitive(v, 3);
    }
};

// Two triangles reach far below the screen, the farther drawn later: it neither
// hides nor tints the nearer one, and the rows the nearer covers are the
// mode's, a viewport taller than the mode (1024 x 600) being cut at the surface.
TEST_F(Display, EachSupportedModeGetsItsSurfacesAndRenderStates) {
    const int modes[4][2] = {{640, 480}, {800, 600}, {1024, 768}, {1024, 600}};
    for (const auto& m : modes) {
        start(m[0], m[1]);
        ASSERT_STREQ(initDisplay(), nullptr) << m[0];
        EXPECT_EQ(surfaceWidth(Backtemp), m[0]);
        EXPECT_EQ(surfaceFormat(Backtemp), surfaceFormat(DDrawSurfaceBack));
        setRenderState(RS_ZENABLE, 0);
        setRenderState(RS_ZWRITEENABLE, 0);
        setRenderStates();
        fillSurface(DDrawSurfaceBack, 0);
        fillSurface(Zbuffer, 0xFFFF);
        drawTriangle(4, 5000, 0.2f, 0xFFFF0000u);
        drawTriangle(8, 5000, 0.8f, 0x000000FFu);
        int rows = 0;
        for (int y = 0; y < surfaceHeight(DDrawSurfaceBack); ++y) rows += backPixel(0, y) == 0xF800;
        EXPECT_EQ(rows, m[1]);
        EXPECT_EQ(backPixel(1, 1), 0xF800);
        TearDown();
    }
}

TEST_F(Display, FailingStepsNameTheCallTheyStandFor) {
    const struct {
        int width, height, hardware;
        HeadlessOptions options;
        const char* failure;
    } cases[] = {
        {800, 600, 1, {.failVideoStart = true}, "DirectDrawCreateEx"},
        {0, 0, 1, {}, "DDrawInterface->SetDisplayMode"},
        // A width the game has no focal length for is refused instead of drawing
        // every point at the screen's centre.
        {700, 500, 1, {}, "DDrawInterface->SetDisplayMode"},
        {800, 600, 2, {}, "D3DInterface->CreateDevice"},
        {800, 600, 0, {.format555 = true}, nullptr}, // the software device, on a 5-5-5 display
    };
    for (const auto& c : cases) {
        start(c.width, c.height, c.hardware, c.options);
        EXPECT_STREQ(initDisplay(), c.failure) << c.width << " " << c.hardware;
        TearDown();
    }
    EXPECT_EQ(ScreenGreenMask, 0x03E0u);
    EXPECT_FALSE(screenIs565());
}

// ---- The failure boxes' advice ------------------------------------------------

// Every row is reached by its own failure and, filled in, reads as at most two
// lines that name the settings file read, never a placeholder; the two boxes a
// new player meets first are compared whole.
TEST(FailureAdvice, EachBoxSaysWhatWentWrongHereAndHowToCureIt) {
    SettingsPath = "/home/p/.local/share/korvath/SETTINGS.TXT";
    for (int i = 0; i < FailureAdviceCount; ++i) {
        const FailureAdvice& row = FailureAdviceTable[i];
        std::string failure = row.failure;
        if (row.match != FailureMatch::Whole) failure = "Cannot open " + failure + "X";
        if (row.match == FailureMatch::Start) failure = row.failure + std::string("X");
        ScreenWidth = row.applies != nullptr ? 700 : 800;
        ScreenHeight = 600;
        UseHardware = row.applies != nullptr ? 2 : 1;
        const std::string advice = failureAdvice(failure.c_str());
        const std::string own(row.advice);
        EXPECT_TRUE(advice.starts_with(own.substr(0, own.find('{')))) << failure;
        EXPECT_LE(std::count(advice.begin(), advice.end(), '\n'), 1) << advice;
        EXPECT_EQ(advice.find('{'), std::string::npos) << advice;
        EXPECT_EQ(advice.ends_with("without music; MUSIC 0 in " + SettingsPath + " skips it."),
                  failure.starts_with("Could not"));
    }
    ScreenWidth = 1920;
    ScreenHeight = 1080;
    EXPECT_EQ(
        failureBoxText("ERROR:DDrawInterface->SetDisplayMode", "DDrawInterface->SetDisplayMode"),
        "ERROR:DDrawInterface->SetDisplayMode\n"
        "WIDTH 1920 and HEIGHT 1080 are no size the game draws: use 640 480, 800 600 or 1024 "
        "768.\nSet them in /home/p/.local/share/korvath/SETTINGS.TXT; the window itself can "
        "still take any size (F11: full screen).");
    EXPECT_EQ(
        failureBoxText("Could not add port to performance", "Could not add port to performance"),
        "Could not add port to performance\n"
        "No sound output could be opened: no sound server or sound card answered.\n"
        "The game goes on without music; MUSIC 0 in "
        "/home/p/.local/share/korvath/SETTINGS.TXT skips it.");
    EXPECT_EQ(failureBoxText("ERROR:a step of no row", "a step of no row"),
              "ERROR:a step of no row");
}

// ---- The fade player and the intro pictures ---------------------------------

void fillBack(auto colourAt) {
    LockedSurface locked{};
    ASSERT_EQ(lockSurface(DDrawSurfaceBack, &locked), PLATFORM_OK);
    for (int y = 0; y < ScreenHeight; y++)
        for (int x = 0; x < ScreenWidth; x++)
            locked.memory[y * (locked.pitch / 2) + x] = colourAt(x, y);
    unlockSurface(DDrawSurfaceBack);
}

// Every third pixel of every third row of the back buffer.
std::vector<uint16_t> sampleBack() {
    std::vector<uint16_t> pixels;
    for (int y = 0; y < ScreenHeight; y += 3)
        for (int x = 0; x < ScreenWidth; x += 3) pixels.push_back(backPixel(x, y));
    return pixels;
}

// What the intro pictures show, scaled to the screen, is compared with the reference frames.
std::string writeIntroFile(const char* name, long bytes) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << std::string(static_cast<size_t>(bytes), '\x55');
    return path;
}

int callsUntilEnd(Sequence* s) {
    for (int calls = 1; calls < 1000; calls++)
        if (playSequenceFrame(s)) return calls;
    return -1;
}

// An intro's first frame is black over whatever was on show.
TEST(Fade, AnIntroStartsBlackOverWhatWasOnShow) {
    ASSERT_TRUE(openHeadlessScreen(800, 600));
    fillBack([](int, int) { return uint16_t{0x1234}; });
    Sequence s;
    const std::string path = writeIntroFile("intro.raw", SequenceFileBytes);
    ASSERT_EQ(startSequence(&s, 3, 0.1f, path.c_str(), 0), nullptr);
    EXPECT_EQ(playSequenceFrame(&s), 0);
    EXPECT_EQ(std::ranges::max(sampleBack()), 0);
}

// A missing or short file, a folder, or a file whose read fails (this one answers EIO
// from offset 0) is named for what it is. The record is still playable: a black
// picture for the usual number of frames.
TEST(Fade, AnIntroFileThatCannotBeShownIsNamedForWhatItIs) {
    ASSERT_TRUE(openHeadlessScreen(320, 240));
    const std::string folder = testing::TempDir() + "folder_intro.raw";
    fs::create_directories(folder);
    const std::pair<std::string, std::string> cases[] = {
        {testing::TempDir() + "no_such_intro.raw", ""},
        {writeIntroFile("short_intro.raw", SequenceFileBytes - 1), " is cut short (1572871 "},
        {folder, " is a folder"},
        {"/proc/self/mem", " could not be read"}};
    Sequence s;
    for (const auto& [path, problem] : cases) {
        const char* text = startSequence(&s, 3, 0.1f, path.c_str(), 0);
        ASSERT_NE(text, nullptr) << path;
        EXPECT_NE(std::string(text).find(path + problem), std::string::npos) << text;
    }
    EXPECT_EQ(s.picture.size(), 320u * 240u * 4u);
    EXPECT_EQ(callsUntilEnd(&s), 31);
    EXPECT_EQ(playSequenceFrame(&s), 1) << "an ended sequence stays ended";
    EXPECT_EQ(backPixel(100, 100), 0);
}

// The closing fade starts from the frame on show: at full brightness it gives
// back exactly that frame, on either display format.
TEST(Fade, ClosingFadeStartsFromTheShownFrame) {
    for (bool format555 : {false, true}) {
        ASSERT_TRUE(openHeadlessScreen(640, 480, format555));
        // Pixel (0, 0) is white in 5-5-5: read as 5-6-5 it would turn green-cyan.
        const int mask = format555 ? 0x7FFF : 0xFFFF; // a 5-5-5 pixel has no 16th bit
        fillBack([mask](int x, int y) {
            return static_cast<uint16_t>(x + y == 0 ? 0x7FFF : (x * 97 + y * 31) & mask);
        });
        const std::vector<uint16_t> shown = sampleBack();
        Sequence closing;
        ASSERT_EQ(startSequence(&closing, 2, 0.1f, nullptr, 1), nullptr);
        EXPECT_EQ(playSequenceFrame(&closing), 0); // level 1.9: full brightness
        EXPECT_EQ(sampleBack(), shown) << "555 " << format555;
        EXPECT_EQ(callsUntilEnd(&closing), 11);
    }
}

// ---- gameFrame on set-up positions --------------------------------------------

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
    void SetUp() override {
        selectBackend(Backend::Headless);
        ScreenWidth = 640;
        ScreenHeight = 480;
        TextureSize = ShadowTextureSize = 64;
        UseHardware = 1;
        ASSERT_STREQ(initDisplay(), nullptr);
        clearTextureTable();
        ASSERT_STREQ(loadResources(), nullptr);
        ruleVariant = humanSide = level = gameStarted = moveGlides = 0;
        ExitStage = ScreenshotRequest = CameraRoll = MouseButton = previousButton = 0;
        RedrawRequest = 1;
        mouseAt(600, 20);
        gameFrame(); // a new game, drawn once
    }
    // Puts a position on the board as if the game had come to it.
    static void setPosition(const std::string& text, int toMove) {
        int32_t variant = 0;
        ASSERT_EQ(parsePosition(text.c_str(), gamePosition, variant), "") << text;
        sideToMove = toMove;
        plyCount = 4;
        selectedPiece = -1;
        targetSquareCount = movePlaying = 0;
        RedrawRequest = 1;
        gameFrame();
    }
    static void mouseAt(int x, int y) { MouseX = x, MouseY = y; }
    // A press seen by one frame, its release by the next.
    static void clickHere(uint8_t button = 1) {
        MouseButton = button;
        gameFrame();
        MouseButton = 0;
        gameFrame();
    }
    static void clickSquare(int column, int row, uint8_t button = 1) {
        const Vec3 centre = squareCentre(column, row, ruleVariants[ruleVariant].columns);
        const Projection p = projectPosition(centre.x, centre.y, centre.z, ViewMatrix);
        mouseAt(static_cast<int>(p.screenX + 0.5f), static_cast<int>(p.screenY + 0.5f));
        clickHere(button);
    }
    static std::string position() { return formatPosition(gamePosition, ruleVariant); }
};

// Every menu button through one sequence of what the window reports before
// each frame (-1: nothing new, the button is still held). A press works once;
// the level and rule-set buttons re-arm the bookkeeping, so that a release
// and a new press right after their frame count again, where the others
// still see the first press held. A piece stays selected, so presses reach
// the menu.
TEST_F(Controller, EveryMenuButtonSeesEachPressOnce) {
    const char* labels[] = {"BEGIN", "WHITES", "BEGINNERS", "US RULES", "EXIT"}; // 30 apart
    clickSquare(1, 5, 2); // the right button selects nothing
    ASSERT_EQ(selectedPiece, -1);
    clickSquare(1, 5);
    const int selected = selectedPiece;
    ASSERT_NE(selected, -1);
    for (int i = 0; i < 5; ++i) {
        mouseAt(50, 42 + 30 * i);
        const std::pair<int, bool> steps[] = {
            {2, false},  {0, false}, {1, true}, {1, i == 2 || i == 3},
            {-1, false}, {0, false}, {1, true}};
        for (const auto& [report, works] : steps) {
            humanSide = level = ruleVariant = ExitStage = 0;
            gameStarted = 1; // no new game: it would drop the selection
            selectedPiece = selected;
            if (report >= 0) MouseButton = static_cast<uint8_t>(report);
            gameFrame();
            const bool worked = gameStarted == 0 || humanSide != 0 || level != 0 ||
                                ruleVariant != 0 || ExitStage != 0;
            EXPECT_EQ(worked, works) << labels[i] << " after " << report;
        }
        EXPECT_EQ(movePlaying, 0) << labels[i];
    }
}

// Every pixel of the screen operates the button whose picture covers it and no
// other. The pictures are found in the frame itself, as the blocks of pixels that
// change with the button image (the labels' own pixels are inside them).
TEST_F(Controller, EveryButtonIsOperatedExactlyWhereItIsDrawn) {
    std::vector<uint16_t> frames[2];
    for (int k = 0; k < 2; ++k) {
        std::fill(std::begin(ButtonImage), std::end(ButtonImage),
                  static_cast<uint16_t>(k * 0x1234));
        gameFrame();
        for (int i = 0; i < 640 * 480; ++i) frames[k].push_back(backPixel(i % 640, i / 640));
    }
    std::vector<std::array<int, 4>> drawn; // left, top, right, bottom of each, top to bottom
    for (int i = 0; i < 640 * 480; ++i) {
        const int x = i % 640, y = i / 640;
        if (frames[0][i] == frames[1][i]) continue;
        if (drawn.empty() || y > drawn.back()[3] + 1) drawn.push_back({x, y, x, y});
        auto& [left, top, right, bottom] = drawn.back();
        left = std::min(left, x), right = std::max(right, x), bottom = y;
    }
    ASSERT_EQ(drawn.size(), 5u);
    for (MouseY = 0; MouseY < 480; ++MouseY)
        for (MouseX = 0; MouseX < 640; ++MouseX) {
            int expected = -1;
            for (int b = 0; b < 5; ++b)
                if (MouseX >= drawn[b][0] && MouseX <= drawn[b][2] && MouseY >= drawn[b][1] &&
                    MouseY <= drawn[b][3])
                    expected = b;
            ASSERT_EQ(menuButtonUnderCursor(), expected) << MouseX << "," << MouseY;
        }
}

// One press operates each button in every state of play and never selects a piece or
// plays a move: with nothing selected, with a piece selected, during a move, and once
// the game is over (side 0 has taken the last piece).
TEST_F(Controller, OnePressOperatesEachButtonInEveryState) {
    for (int state = 0; state < 4; ++state) {
        for (int i = 0; i < 5; ++i) {
            humanSide = level = ruleVariant = ExitStage = 0;
            setPosition(state == 3 ? board("2.2", 1, "1.1", 1) : ThreeJumps, 0);
            if (state >= 1) clickSquare(state == 3 ? 2 : 6, state == 3 ? 2 : 6);
            if (state >= 2) clickSquare(0, 0);
            if (state == 3) gameFrame();
            ASSERT_EQ(gameOutcome.result, state == 3 ? GameResult::WhitesWin : GameResult::Ongoing);
            const int selected = selectedPiece;
            const std::string before = position();
            mouseAt(50, 42 + 30 * i);
            MouseButton = 1;
            gameFrame();
            EXPECT_TRUE(gameStarted == 0 || humanSide != 0 || level != 0 || ruleVariant != 0 ||
                        ExitStage != 0)
                << "state " << state << ", button " << i;
            // Only a move under way goes on; the rule set's button brings its new game in
            // the same frame, nothing selected, never the old board under the new rules.
            EXPECT_EQ(selectedPiece, i == 3 ? -1 : selected)
                << "state " << state << ", button " << i;
            Position fresh{};
            setUpPosition(fresh); // under the rule set now chosen
            EXPECT_TRUE(i == 3 ? position() == formatPosition(fresh, 1)
                               : position() == before || state == 2);
            MouseButton = 0;
            gameFrame();
        }
    }
}

// A computer without a legal move has lost: the line says so, the arrow is back, the
// camera circles away from the loser and nothing is searched any more. Every key answers
// on the line.
TEST_F(Controller, ABlockedComputerLosesAndKeysAnswerOnTheStatusLine) {
    EXPECT_STREQ(currentStatusText(), "YOUR MOVE");
    TakeBackRequest = 1;
    gameFrame();
    EXPECT_STREQ(currentStatusText(), "NOTHING TO TAKE BACK");
    setPosition(board("1.1,2.2,5.5", 3, "0.0", 1), 0);
    clickSquare(5, 5);
    clickSquare(4, 4);
    gameFrame();
    EXPECT_EQ(gameOutcome.result, GameResult::WhitesWin);
    EXPECT_STREQ(statusLine.standingText, "WHITES WIN - YOU WIN, THE COMPUTER CANNOT MOVE");
    const std::string over = position();
    const int azimuth = CameraAzimuth;
    mouseAt(600, 40);
    gameFrame();
    EXPECT_EQ(std::vector({backPixel(600, 40), backPixel(601, 40)}),
              std::vector<uint16_t>({0, 0})); // the arrow's tip, not the hourglass's corner
    EXPECT_EQ(CameraAzimuth, azimuth - 5);
    EXPECT_EQ(position(), over);
    HintRequest = 1;
    gameFrame();
    EXPECT_STREQ(currentStatusText(), "NO HINT: IT IS NOT YOUR MOVE");
    TakeBackRequest = 1;
    gameFrame();
    EXPECT_STREQ(currentStatusText(), "MOVE TAKEN BACK");
    EXPECT_EQ(gameOutcome.result, GameResult::Ongoing);
}

// A still board lets the window wait for input between frames; a message on the
// status line counts its frames, and so does a move under way (the glide below).
TEST_F(Controller, FramesWaitForInputOnlyWhenNothingCountsThem) {
    while (statusLine.messageFramesLeft > 0) gameFrame(); // an earlier test's message
    EXPECT_TRUE(framesWaitForInput());
    TakeBackRequest = 1;
    gameFrame();
    EXPECT_FALSE(framesWaitForInput());
    while (statusLine.messageFramesLeft > 0) gameFrame();
    EXPECT_TRUE(framesWaitForInput());
}

// With glides a king's long move shows it between the squares, off both, for eight
// frames a step; it lands, and the turn passes, after that.
TEST_F(Controller, AGlideShowsThePieceBetweenItsSquares) {
    std::string pad;
    for (int i = 1; i < 20; ++i) pad += ",x";
    const std::string text = "1 9.9K" + pad + " 0.2" + pad;
    Position start{};
    int32_t variant = 0;
    ASSERT_EQ(parsePosition(text, start, variant), "");
    startGameFrom(start, variant);
    gameFrame();
    moveGlides = 1;
    clickSquare(9, 9);
    auto pixelOf = [](int square) {
        const Vec3 centre = squareCentre(9 - square, 9 - square, 10);
        const Projection p = projectPosition(centre.x, centre.y, centre.z, ViewMatrix);
        return backPixel(static_cast<int>(p.screenX), static_cast<int>(p.screenY));
    };
    const std::vector<uint16_t> still = {pixelOf(0), pixelOf(2), pixelOf(4)};
    clickSquare(5, 5); // the press starts the move, the release frame is its first
    mouseAt(600, 20);
    while (glideFrame != GlideFramesPerStep / 2) gameFrame();
    gameFrame();
    const std::vector<uint16_t> between = {pixelOf(0), pixelOf(2), pixelOf(4)};
    EXPECT_TRUE(between[0] != still[0] && between[1] != still[1] && between[2] == still[2]);
    EXPECT_FALSE(framesWaitForInput()); // a glide counts its frames
    EXPECT_EQ(position(), formatPosition(start, 1));
    while (movePlaying != 0) gameFrame();
    EXPECT_TRUE(pixelOf(0) != still[0] && pixelOf(4) != still[2] && sideToMove == 1);
    moveGlides = 0;
}

// The chain is outlined to its end; a click on an intermediate landing square
// only selects again. BEGIN, with the piece selected or the chain under way,
// shows the starting position next frame with nothing selected or outlined.
TEST_F(Controller, ACaptureChainIsPlayedFromItsLastSquareAndBeginDropsIt) {
    for (const bool midMove : {false, true}) {
        setPosition(ThreeJumps, 0);
        clickSquare(6, 6);
        ASSERT_EQ(targetSquareCount, 3);
        EXPECT_EQ(
            std::vector({targetSquares[0].final, targetSquares[1].final, targetSquares[2].final}),
            std::vector({0, 0, 1}));
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
    ASSERT_EQ(moves.count, 2); // one chain by each side, both ending on 4.0
    Position expected{};
    playMove(gamePosition, expected, moves.moves[1], 0);
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

// A FRENCH 1 position where every move of side 1 scores as badly as the search's
// starting bound, so the search leaves no move although 8:6.4 is legal; side 0
// reaches it by 8.4-7.3. The hint offers the first legal move, and a take back works
// whenever the computer holds the turn (korvath-headless plays the move itself).
TEST_F(Controller, AComputerWhoseSearchFindsNothingPlaysItsFirstMoveAndCanBeTakenBack) {
    const std::string sides = " 2.2,3.1,5.3,x,8.0,3.3,4.2,x,8.2,9.1,1.3,x,x,x,9.3,x,x,x,x,x";
    const std::string before = "1 x,x,x,x,x,x,x,x,x,x,x,x,x,x,x,x,0.4,x,6.6,8.4" + sides;
    const std::string stuck = "1 x,x,x,x,x,x,x,x,x,x,x,x,x,x,x,x,0.4,x,6.6,7.3" + sides;
    selectRuleVariant(1);
    int32_t variant = 0;
    Position atStuck{};
    ASSERT_EQ(parsePosition(stuck.c_str(), atStuck, variant), "");
    fastSearchRoot(atStuck, 1, levelSearchDepth(0));
    ASSERT_EQ(bestMove[0].piece, -1); // the search itself stays as it is
    // Taken back with the turn just passed, then with the answer half played.
    for (const int framesBeforeTakeBack : {0, 1}) {
        setPosition(before, 0);
        clickSquare(8, 4);
        clickSquare(7, 3);
        gameFrame(); // the turn passes
        ASSERT_EQ(position(), stuck);
        ASSERT_EQ(sideToMove, 1);
        for (int i = 0; i < framesBeforeTakeBack; ++i) gameFrame();
        EXPECT_EQ(movePlaying, framesBeforeTakeBack);
        TakeBackRequest = 1;
        gameFrame();
        EXPECT_EQ(position(), before);
        EXPECT_EQ(sideToMove + movePlaying + TakeBackRequest, 0);
    }
    humanSide = 1;
    setPosition(stuck, 1);
    HintRequest = 1;
    gameFrame();
    EXPECT_EQ(formatMove(hintMove), "8:6.4");
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

// ---- The computer's search beside the frames --------------------------------

// The answer of the search under way, once ready, as korvath-engine prints it.
std::string awaitAnswer() {
    while (!searchAnswerReady()) std::this_thread::yield();
    const SearchAnswer answer = takeSearchAnswer();
    bestMove[0] = answer.move;
    return searchAnswer(answer.value);
}

// The fast search's corpus through the worker; then
// searches stopped at many points on the 10 x 10 board, each searched again after its stops:
// nothing made up may stay in the table. The pauses only spread the stops.
TEST(SearchWorkerThreads, AnswersAsThePlainSearchAndAStopLeavesTheTableSound) {
    SearchBesideFrames = true;
    ASSERT_TRUE(startSearchHelper()); // the game's two threads at every stop
    int32_t count = 0;
    for (const SampledPosition& sample : sampleRandomGames(23, 3, 9, 120)) {
        selectRuleVariant(sample.variant);
        const int32_t depth = 1 + count++ % 4;
        startSearch(SearchPurpose::ComputerMove, sample.position, sample.side, depth);
        const std::string answer = awaitAnswer(); // before the plain search writes bestMove
        ASSERT_EQ(answer, searchAnswer(plainSearchRoot(sample.position, sample.side, depth)));
    }
    for (const SampledPosition& sample : sampleRandomGames(31, 1, 30, 60)) {
        selectRuleVariant(sample.variant);
        clearTranspositions();
        const std::string expected = searchAnswer(fastSearchRoot(sample.position, sample.side, 9));
        for (const int pause : {0, 1, 3, 10, 30}) {
            clearTranspositions();
            startSearch(SearchPurpose::Hint, sample.position, sample.side, 9);
            std::this_thread::sleep_for(std::chrono::milliseconds(pause));
            abandonSearch();
            startSearch(SearchPurpose::ComputerMove, sample.position, sample.side, 9);
            EXPECT_EQ(awaitAnswer(), expected) << formatPosition(sample.position, 1);
        }
        startSearch(SearchPurpose::Hint, sample.position, sample.side, MaxSearchDepth);
        abandonSearch(); // a search deaf to the stop would take hours
    }
    stopSearchHelper();
    SearchBesideFrames = false;
}

std::atomic<bool> searchReleased{false};

// Stands in for the search: thinks until released or stopped, then searches as the game does.
int32_t heldSearch(const Position& position, int32_t side, int32_t depth) {
    while (!searchReleased && !fastSearchStop) std::this_thread::yield();
    return fastSearchRoot(position, side, depth);
}

class ControllerThreads : public Controller {
  protected:
    void SetUp() override {
        Controller::SetUp();
        SearchBesideFrames = true;
        workerSearchRoot = heldSearch;
        thinkAboutTheReply();
    }
    void TearDown() override {
        abandonSearch();
        workerSearchRoot = fastSearchRoot;
        SearchBesideFrames = false;
    }
    // A new "US RULES" game in which the human has played a first move: the computer thinks.
    static void thinkAboutTheReply() {
        ruleVariant = humanSide = level = gameStarted = ExitStage = 0;
        searchReleased = false;
        gameFrame();
        before = gamePosition;
        const Move move = allMoves(before, 0)[0];
        playedMoves.push_back({before, 0, 2, move});
        playMove(before, gamePosition, move, 0);
        thinking = gamePosition;
        sideToMove = 1, plyCount = 3;
        gameFrame();
        ASSERT_TRUE(searchThreadRunning());
    }
    static inline Position before{}, thinking{};
};

// After each way out (the press's frame, and the frame that sets up a new game): no thread, no
// move under way or recorded beyond the human's, and the position and turn it leads to.
TEST_F(ControllerThreads, EveryWayOutOfTheComputersTurnAbandonsItsSearch) {
    enum { NewGame, Before, Thinking };
    const struct {
        const char* way;
        int buttonY, frames, toMove, position;
        size_t recorded;
    } ways[] = {{"BEGIN", 42, 2, 0, NewGame, 0},     {"take back", 0, 1, 0, Before, 0},
                {"rule set", 132, 2, 0, NewGame, 0}, {"level", 102, 1, 1, Thinking, 1},
                {"colour", 72, 1, 1, Thinking, 1},   {"EXIT", 162, 1, 1, Thinking, 1}};
    for (const auto& way : ways) {
        thinkAboutTheReply();
        MouseX = 50, MouseY = way.buttonY, MouseButton = way.buttonY != 0;
        TakeBackRequest = way.buttonY == 0;
        for (int i = 0; i < way.frames; ++i) gameFrame();
        Position start{};
        setUpPosition(start);
        const Position* expected[] = {&start, &before, &thinking};
        EXPECT_EQ(std::vector<size_t>({searchThreadRunning(), size_t(movePlaying),
                                       size_t(sideToMove), playedMoves.size()}),
                  std::vector<size_t>({0, 0, size_t(way.toMove), way.recorded}))
            << way.way;
        EXPECT_EQ(position(), formatPosition(*expected[way.position], ruleVariant)) << way.way;
    }
}

// Frames, camera turns included, go on while the computer thinks; the frame that finds the
// answer plays it. A hint is thought about beside the frames too, and a press drops it.
TEST_F(ControllerThreads, FramesGoOnWhileTheComputerThinks) {
    for (int i = 0; i < 3; ++i, CameraAzimuth += 10) {
        gameFrame();
        ASSERT_EQ(RedrawRequest + movePlaying + !searchThreadRunning(), 0); // drawn, thinking
    }
    searchReleased = true;
    while (movePlaying == 0) gameFrame();
    while (movePlaying != 0) gameFrame();
    searchReleased = false;
    HintRequest = 1;
    gameFrame();
    ASSERT_EQ(searchUnderWay(), SearchPurpose::Hint);
    clickHere();
    EXPECT_EQ(searchThreadRunning() + hintMove.piece, -1);
}

} // namespace
