// gameFrame and the menu: every decision of the game is taken here, once a
// frame, from the input globals the window procedure left. Owns the controller
// state declared in controller.h and ExitStage; writes MouseButton (255 marks a
// handled press), the camera angles, RedrawRequest and the key requests back.
#include "game/controller.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "game/new_file.h"
#include "game/outline.h"
#include "game/screenshot.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/mesh_renderer.h"
#include "render/screen.h"
#include "rules/fast_search.h"
#include "rules/random.h"
#include "scene/backdrop.h"
#include "scene/buttons.h"
#include "scene/cursor.h"
#include "scene/input.h"
#include "scene/picking.h"
#include "scene/scene.h"

int ExitStage = 0;

int gameStarted = 0;
int humanSide = 0;
int computerSide = 1;
int level = 0;
int sideToMove = 0;
int plyCount = 0;
int selectedPiece = -1;
int movePlaying = 0;
int moveStep = 0;
MoveList humanMoves;
TargetSquare targetSquares[MaxTargetSquares];
int targetSquareCount = 0;
uint8_t previousButton = 0;
int screenshotCounter = 0;
int previousAzimuth = 0;
int previousElevation = 0;
int previousRoll = 0;
std::vector<PlayedMove> playedMoves;
Move hintMove = {-1, {}, 0};
Square hintFrom = {0, 0};
int recordCounter = 0;

namespace {

constexpr uint8_t NoButtonEvent = 255;
constexpr uint8_t LeftPress = 1;
constexpr int AzimuthPerSide = 204; // about half a turn: the board seen from the human's side
constexpr int EndOfGameTurn = 5;    // azimuth units a frame while a side has lost

constexpr uint16_t HoverColour = 0xFFFF;
constexpr uint16_t FinalSquareColour = 0xF800;
constexpr uint16_t PathSquareColour = 0x03FF;
constexpr uint16_t HintColour = 0xFFE0; // yellow: no other outline uses it

MoveList replyMoves; // scratch for the computer's legal moves when a take back asks for them

// The outlines belong to the selection: a new game, a move or the computer's
// turn never leaves the targets of a piece that is no longer selected.
void dropSelection() {
    selectedPiece = -1;
    targetSquareCount = 0;
}

void clearHint() {
    hintMove.piece = -1;
}

void startNewGame() {
    gameStarted = 1;
    playedMoves.clear();
    clearHint();
    CameraElevation = -50;
    CameraAzimuth = AzimuthPerSide * humanSide;
    setUpPosition(gamePosition);
    sideToMove = 0;
    dropSelection();
    movePlaying = 0;
    plyCount = 0;
    RedrawRequest = 1;
}

// A press or a release is seen in exactly one frame; 255 means nothing new.
uint8_t takeButtonEvent() {
    uint8_t b = MouseButton;
    if (b == previousButton) {
        b = NoButtonEvent;
        MouseButton = NoButtonEvent;
    }
    previousButton = b;
    return b;
}

void noteCameraChange() {
    if (CameraAzimuth != previousAzimuth || CameraElevation != previousElevation ||
        CameraRoll != previousRoll)
        RedrawRequest = 1;
    if (CameraElevation < CameraElevationLowest) CameraElevation = CameraElevationLowest;
    if (CameraElevation > CameraElevationHighest) CameraElevation = CameraElevationHighest;
    previousAzimuth = CameraAzimuth;
    previousElevation = CameraElevation;
    previousRoll = CameraRoll;
}

void setUpFrame() {
    ShadowColor = DefaultShadowColor;
    fillSurface(DDrawSurfaceBack, 0);
    FarDistance = 10000.0f;
    FarReciprocal = 0.0001f;
    beginScene();
    setRenderStates();
    boardSize = ruleVariants[ruleVariant].columns;
    orbitCamera();
    computerSide = humanSide == 0 ? 1 : 0;
}

void takeScreenshot() {
    char name[32];
    if (saveScreenshot("page%d.raw", &screenshotCounter, name, sizeof name) != 0)
        std::fprintf(stderr, "korvath: screenshot %s not saved: %s\n", name, std::strerror(errno));
}

// The 3D picture is drawn only when something changed; every other frame
// starts from the cached copy in Backtemp.
void drawBoardPicture() {
    if (RedrawRequest != 1) {
        copySurface(DDrawSurfaceBack, Backtemp);
        return;
    }
    fillSurface(Zbuffer, 0xFFFF);
    const bool screenshot = ScreenshotRequest != 0;
    // A screenshot shows the board on black, without the backdrop.
    if (!screenshot)
        drawBackdrop(BackdropTexture, static_cast<float>(ScreenWidth),
                     static_cast<float>(ScreenHeight));
    drawScene(gamePosition, ruleVariant);
    copySurface(Backtemp, DDrawSurfaceBack);
    RedrawRequest = 0;
    if (screenshot) {
        takeScreenshot();
        ScreenshotRequest = 0;
    }
}

// Every move enters the game's record as it starts, with the turn it was played
// from, so that a take back can return to that turn exactly.
void recordMove(const Move& move) {
    playedMoves.push_back({gamePosition, sideToMove, plyCount, move});
}

void startMove(const Move& move) {
    recordMove(move);
    bestMove[0] = move;
    movePlaying = 1;
    moveStep = 0;
    clearHint();
}

void playNextStep() {
    const Move& move = bestMove[0];
    if (moveStep < move.steps) {
        applyStep(gamePosition, move.piece, move.path[moveStep], sideToMove);
        ++moveStep;
        RedrawRequest = 1;
        dropSelection();
        return;
    }
    sideToMove = 1 - sideToMove;
    ++plyCount;
    dropSelection();
    movePlaying = 0;
}

// The last move of the selected piece that ends on the hovered square, copied into
// chosen; false when there is none. Walks every window of the list, since a 10x10
// position can have more legal captures than one window holds.
bool findChosenMove(Move& chosen) {
    bool found = false;
    generateMoves(gamePosition, humanSide, humanMoves);
    do {
        for (int i = 0; i < humanMoves.count; ++i) {
            const Move& move = humanMoves.moves[i];
            const Square last = move.path[move.steps - 1];
            if (move.piece == selectedPiece && last.column == hoverColumn && last.row == hoverRow) {
                chosen = move;
                found = true;
            }
        }
    } while (generateNextMoves(gamePosition, humanSide, humanMoves));
    return found;
}

void handleHumanPress(uint8_t& b) {
    if (b != LeftPress) return;
    if (selectedPiece == -1) {
        selectedPiece = pickPiece(gamePosition, humanSide);
        // The press was for the piece: the menu must not see it as well.
        MouseButton = NoButtonEvent;
        b = NoButtonEvent;
        collectTargetSquares();
        return;
    }
    pickSquare();
    Move chosen;
    if (!findChosenMove(chosen)) {
        selectedPiece = pickPiece(gamePosition, humanSide);
        collectTargetSquares();
        return;
    }
    startMove(chosen);
    dropSelection();
}

// The computer's choice for the side at the current level, left in bestMove[0]
// (piece -1: none); the hint asks it for the human's side.
void searchBestMove(int side) {
    fastSearchRoot(gamePosition, side, levelSearchDepth(level));
}

void searchComputerMove() {
    searchBestMove(computerSide);
    if (bestMove[0].piece != -1) startMove(bestMove[0]);
    dropSelection();
}

void playComputerTurn() {
    if (plyCount > 1) {
        searchComputerMove();
        return;
    }
    const OpeningStep step = chooseOpeningMove(gamePosition, sideToMove);
    // Only a position no game reaches leaves no front-row step; search then.
    if (step.piece == -1) {
        searchComputerMove();
        return;
    }
    Move opening{};
    opening.piece = step.piece;
    opening.path[0] = step.target;
    opening.steps = 1;
    recordMove(opening);
    applyStep(gamePosition, step.piece, step.target, computerSide);
    sideToMove = 1 - sideToMove;
    ++plyCount;
    dropSelection();
    RedrawRequest = 1;
}

void playOneStep(uint8_t& b) {
    if (movePlaying != 0)
        playNextStep();
    else if (sideToMove == humanSide)
        handleHumanPress(b);
    else
        playComputerTurn();
}

void drawOutlines() {
    pickSquare();
    outlineSquare(hoverColumn, hoverRow, HoverColour);
    for (int i = 0; i < targetSquareCount; ++i) {
        const TargetSquare& target = targetSquares[i];
        outlineSquare(target.column, target.row,
                      target.final ? FinalSquareColour : PathSquareColour);
    }
    if (hintMove.piece == -1) return;
    outlineSquare(hintFrom.column, hintFrom.row, HintColour);
    for (int k = 0; k < hintMove.steps; ++k)
        outlineSquare(hintMove.path[k].column, hintMove.path[k].row, HintColour);
}

// ---- The menu --------------------------------------------------------------

constexpr int MenuX = 10;
constexpr int MenuButtonWidth = 100;
constexpr int MenuHitHeight = 25;

enum MenuButton { BeginButton, SideButton, LevelButton, RulesButton, ExitButton, MenuButtons };
constexpr int MenuButtonY[MenuButtons] = {30, 60, 90, 120, 150};

const char* menuLabel(int button) {
    switch (button) {
    case BeginButton:
        return "BEGIN";
    case SideButton:
        return humanSide == 0 ? "WHITES" : "BLACKS";
    case LevelButton:
        return level == 0 ? "BEGINNERS" : "EXPERT";
    case RulesButton:
        return ruleVariants[ruleVariant].label;
    default:
        return "EXIT";
    }
}

void drawMenu() {
    for (int button = 0; button < MenuButtons; ++button)
        drawButton(MenuX, MenuButtonY[button], MenuButtonWidth, menuLabel(button));
}

void operateButton(int button) {
    switch (button) {
    case BeginButton:
        gameStarted = 0;
        break;
    case SideButton:
        humanSide = humanSide == 0 ? 1 : 0;
        CameraAzimuth = AzimuthPerSide * humanSide;
        break;
    case LevelButton:
        level = level == 0 ? 1 : 0;
        MouseButton = NoButtonEvent;
        previousButton = NoButtonEvent;
        break;
    case RulesButton:
        ruleVariant = (ruleVariant + 1) % RuleVariantCount;
        RedrawRequest = 1;
        gameStarted = 0;
        MouseButton = NoButtonEvent;
        previousButton = NoButtonEvent;
        break;
    default:
        ExitStage = 1;
        MouseButton = NoButtonEvent;
        break;
    }
}

// Every rectangle is tested on its own; they do not overlap, so one press
// operates at most one button.
void handleMenuClicks() {
    for (int button = 0; button < MenuButtons; ++button) {
        const int top = MenuButtonY[button];
        if (isCursorInRect(MenuX, top, MenuX + MenuButtonWidth, top + MenuHitHeight))
            operateButton(button);
    }
}

// ---- Keys beyond the menu: take back, hint, the game's record ------------

bool aSideHasLost() {
    return countPieces(gamePosition, 0) == 0 || countPieces(gamePosition, 1) == 0;
}

// The turn stays with a computer that cannot move; the player may still step
// back from there.
bool cannotMove(int side) {
    generateMoves(gamePosition, side, replyMoves);
    return replyMoves.total == 0;
}

// Back to the human's turn before the latest move of the human's side: that move
// and everything after it are undone. False when there is nothing to take back.
bool takeBack() {
    if (movePlaying != 0) return false;
    if (sideToMove != humanSide && !cannotMove(sideToMove)) return false;
    size_t from = playedMoves.size();
    while (from > 0 && playedMoves[from - 1].side != humanSide) --from;
    if (from == 0) return false;
    const bool ended = aSideHasLost();
    const PlayedMove& back = playedMoves[from - 1];
    gamePosition = back.before;
    sideToMove = back.side;
    plyCount = back.plyCount;
    playedMoves.resize(from - 1);
    dropSelection();
    clearHint();
    RedrawRequest = 1;
    // The camera stops circling the finished game and faces the human's side again.
    if (ended) CameraAzimuth = AzimuthPerSide * humanSide;
    return true;
}

// The move the computer would play in the human's place; the search draws no
// random number, and bestMove and searchDepth are left as they were.
void showHint() {
    clearHint();
    if (movePlaying != 0 || sideToMove != humanSide) return;
    const Move saved = bestMove[0];
    const int32_t savedDepth = searchDepth;
    searchBestMove(humanSide);
    hintMove = bestMove[0];
    if (hintMove.piece != -1) {
        const Piece& piece = pieceOf(gamePosition, humanSide, hintMove.piece);
        hintFrom = {piece.column, piece.row};
    }
    bestMove[0] = saved;
    searchDepth = savedDepth;
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[16] = "????.??.??";
    if (localtime_r(&now, &local) != nullptr) std::strftime(text, sizeof text, "%Y.%m.%d", &local);
    return text;
}

void writeGameRecord() {
    RecordTags tags;
    tags.players[humanSide] = "Human";
    tags.players[1 - humanSide] = std::string("Korvath (") + menuLabel(LevelButton) + ")";
    tags.date = today();
    const std::string text = formatPdn(playedMoves, tags);
    char name[32] = "game?.pdn";
    if (writeNewNumberedFile("game%d.pdn", &recordCounter, text.data(), text.size(), name,
                             sizeof name) != 0) {
        std::fprintf(stderr, "korvath: game record %s not saved: %s\n", name, std::strerror(errno));
        return;
    }
    std::printf("korvath: game record saved as %s\n", name);
    std::fflush(stdout);
}

// Keys are handled before the frame's set-up: a take back is drawn in the same
// frame, and every request is answered once.
void handleKeyRequests() {
    if (TakeBackRequest == 0 && HintRequest == 0 && RecordRequest == 0) return;
    boardSize = ruleVariants[ruleVariant].columns;
    while (TakeBackRequest > 0) {
        --TakeBackRequest;
        if (!takeBack()) TakeBackRequest = 0;
    }
    if (HintRequest != 0) {
        HintRequest = 0;
        showHint();
    }
    if (RecordRequest != 0) {
        RecordRequest = 0;
        writeGameRecord();
    }
}

void turnCameraAfterLoss() {
    if (countPieces(gamePosition, humanSide) == 0)
        CameraAzimuth += EndOfGameTurn;
    else if (countPieces(gamePosition, computerSide) == 0)
        CameraAzimuth -= EndOfGameTurn;
}

} // namespace

void collectTargetSquares() {
    generateMoves(gamePosition, humanSide, humanMoves);
    targetSquareCount = 0;
    do {
        for (int i = 0; i < humanMoves.count; ++i) {
            const Move& move = humanMoves.moves[i];
            if (move.piece != selectedPiece) continue;
            // Only the outlines stop at the capacity; every move stays playable,
            // since findChosenMove walks the whole list.
            for (int k = 0; k < move.steps && targetSquareCount < MaxTargetSquares; ++k) {
                targetSquares[targetSquareCount++] = {move.path[k].column, move.path[k].row,
                                                      k == move.steps - 1 ? 1 : 0};
            }
        }
    } while (generateNextMoves(gamePosition, humanSide, humanMoves));
}

void gameFrame() {
    if (gameStarted == 0) startNewGame();
    uint8_t b = takeButtonEvent();
    if (b == LeftPress) clearHint();
    handleKeyRequests();
    noteCameraChange();
    setUpFrame();
    drawBoardPicture();
    playOneStep(b);
    drawOutlines();
    nextRandom();
    drawMenu();
    if (sideToMove == humanSide)
        drawArrowCursor();
    else
        drawWaitCursor();
    turnCameraAfterLoss();
    if (b == LeftPress) handleMenuClicks();
    endScene();
}
