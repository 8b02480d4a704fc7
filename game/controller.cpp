// gameFrame and the menu: every decision of the game is taken here, once a
// frame, from the input globals the window procedure left. Owns the controller
// state declared in controller.h and ExitStage; writes MouseButton (255 marks a
// handled press), the camera angles, RedrawRequest and the key requests back.
#include "game/controller.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "game/autosave.h"
#include "game/new_file.h"
#include "game/outline.h"
#include "game/screenshot.h"
#include "game/search_worker.h"
#include "game/status.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/mesh_renderer.h"
#include "render/screen.h"
#include "rules/random.h"
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
int glideFrame = 0;
int moveGlides = 1;
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
Outcome gameOutcome = {GameResult::Ongoing, EndReason::None};

namespace {

constexpr uint8_t NoButtonEvent = 255;
constexpr uint8_t LeftPress = 1;
constexpr int AzimuthPerSide = 204; // about half a turn: the board seen from the human's side
constexpr int EndOfGameTurn = 5;    // azimuth units a frame while a side has lost

constexpr uint16_t HoverColour = 0xFFFF;
constexpr uint16_t FinalSquareColour = 0xF800;
constexpr uint16_t PathSquareColour = 0x03FF;
constexpr uint16_t HintColour = 0xFFE0;     // yellow: no other outline uses it
constexpr uint16_t LastMoveColour = 0x07E0; // green, for both sides' moves
constexpr float StepLift = 60.0f;           // the top of a plain step's arc, in world units
constexpr float JumpLift = 320.0f;          // over a jumped piece: higher than a king
constexpr float Pi = 3.14159265f;

// A game to start from a given position instead of the rule set's start;
// written by startGameFrom, used up by the next new game.
struct GameSetUp {
    bool pending;      // the next new game starts from position
    Position position; // the pieces, under rule set variant
    int variant;
};
GameSetUp gameSetUp = {};
bool savedGameLooked = false; // the first frame has looked for a saved game; set once a run

MoveList replyMoves; // scratch for the legal moves when the search leaves no move

// The outlines belong to the selection: a new game, a move or the computer's
// turn never leaves the targets of a piece that is no longer selected.
void dropSelection() {
    selectedPiece = -1;
    targetSquareCount = 0;
}

void clearHint() {
    hintMove.piece = -1;
}

bool gameIsOver() {
    return gameOutcome.result != GameResult::Ongoing;
}

void judgeCurrentGame() {
    boardSize = ruleVariants[ruleVariant].columns;
    gameOutcome = judgeGame(gamePosition, sideToMove, playedMoves);
}

void startNewGame() {
    abandonSearch();
    gameStarted = 1;
    playedMoves.clear();
    clearHint();
    CameraElevation = -50;
    CameraAzimuth = AzimuthPerSide * humanSide;
    sideToMove = 0;
    plyCount = 0;
    if (gameSetUp.pending) {
        gameSetUp.pending = false;
        ruleVariant = gameSetUp.variant;
        gamePosition = gameSetUp.position;
        sideToMove = humanSide;
        plyCount = 2;
    } else {
        setUpPosition(gamePosition);
    }
    dropSelection();
    movePlaying = 0;
    glideFrame = 0;
    RedrawRequest = 1;
    judgeCurrentGame();
    saveCurrentGame();
}

// The first frame, after the intro, goes on with the game the last run left, unless a
// position was set up to start from.
void startOrResumeGame() {
    const bool first = !savedGameLooked;
    savedGameLooked = true;
    if (!first || gameSetUp.pending || !resumeSavedGame()) startNewGame();
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
    if (saveScreenshot("page%d.raw", &screenshotCounter, name, sizeof name) != 0) {
        std::fprintf(stderr, "korvath: screenshot %s not saved: %s\n", name, std::strerror(errno));
        showStatus(StatusText::PictureNotSaved, std::strerror(errno));
        return;
    }
    showStatus(StatusText::PictureSaved, screenshotPngName(name).c_str());
}

// Whether a step from `from` to `to` passes over a piece: a capture.
bool stepJumps(Square from, Square to) {
    const int dc = to.column > from.column ? 1 : -1, dr = to.row > from.row ? 1 : -1;
    for (int c = from.column + dc, r = from.row + dr; c != to.column; c += dc, r += dr)
        if (findPieceAt(c, r, gamePosition) != -1) return true;
    return false;
}

// Where the moving piece is seen between the squares of its next step: a
// straight path under an arc, high enough over a jumped piece.
PieceGlide currentGlide() {
    const Move& move = bestMove[0];
    const Piece& piece = pieceOf(gamePosition, sideToMove, move.piece);
    const Square from = {piece.column, piece.row}, to = move.path[moveStep];
    const int columns = ruleVariants[ruleVariant].columns;
    const Vec3 a = squareCentre(from.column, from.row, columns);
    const Vec3 b = squareCentre(to.column, to.row, columns);
    const float t = static_cast<float>(glideFrame) / GlideFramesPerStep;
    const float lift = (stepJumps(from, to) ? JumpLift : StepLift) * std::sin(Pi * t);
    return {sideToMove, move.piece, {a.x + (b.x - a.x) * t, -lift, a.z + (b.z - a.z) * t}};
}

// The 3D picture is drawn only when something changed; every other frame
// starts from the cached copy in Backtemp, which covers the whole back buffer,
// so a still board is not cleared to black first (a fifth of an idle frame).
void drawBoardPicture() {
    if (RedrawRequest != 1) {
        if (copySurface(DDrawSurfaceBack, Backtemp) != PLATFORM_OK)
            fillSurface(DDrawSurfaceBack, 0);
        return;
    }
    fillSurface(DDrawSurfaceBack, 0);
    fillSurface(Zbuffer, 0xFFFF);
    const bool screenshot = ScreenshotRequest != 0;
    // A screenshot shows the board on black, without the backdrop.
    const bool gliding = movePlaying != 0 && glideFrame > 0;
    const PieceGlide glide = gliding ? currentGlide() : PieceGlide{};
    if (screenshot)
        drawScene(gamePosition, ruleVariant, gliding ? &glide : nullptr);
    else
        drawSceneWithBackdrop(gamePosition, ruleVariant, static_cast<float>(ScreenWidth),
                              static_cast<float>(ScreenHeight), gliding ? &glide : nullptr);
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
    glideFrame = 0;
    clearHint();
}

// The turn passes once a move is complete, and only then can the game end.
void passTurn() {
    sideToMove = 1 - sideToMove;
    ++plyCount;
    dropSelection();
    judgeCurrentGame();
    saveCurrentGame();
}

// With glides, a step's frames show the piece on its way; it lands, and takes
// what it jumped, in the last one.
void playNextStep() {
    const Move& move = bestMove[0];
    if (moveStep < move.steps) {
        RedrawRequest = 1;
        if (moveGlides != 0 && ++glideFrame < GlideFramesPerStep) return;
        glideFrame = 0;
        applyStep(gamePosition, move.piece, move.path[moveStep], sideToMove);
        ++moveStep;
        RedrawRequest = 1;
        dropSelection();
        return;
    }
    movePlaying = 0;
    passTurn();
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

bool cursorOnMenu();

// A press on a menu button is the button's alone, never a piece's or a square's.
void handleHumanPress(uint8_t& b) {
    if (b != LeftPress || cursorOnMenu()) return;
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

// The search takes a move only when it beats its starting bound, so when every
// move scores that badly it leaves none although one is legal: the first legal
// move stands in then, or the computer would hold the turn for ever.
Move moveOrFirstLegal(const Move& found, int side) {
    if (found.piece != -1) return found;
    generateMoves(gamePosition, side, replyMoves);
    return replyMoves.count > 0 ? replyMoves.moves[0] : found;
}

// The computer's move is searched once: the frame that finds the answer ready plays it. A search
// for anything else (a hint, another side or level, a position taken back) is not this one.
void searchComputerMove() {
    dropSelection();
    const int32_t depth = levelSearchDepth(level);
    if (!searchUnderWayFor(SearchPurpose::ComputerMove, gamePosition, computerSide, depth))
        startSearch(SearchPurpose::ComputerMove, gamePosition, computerSide, depth);
    if (!searchAnswerReady()) return;
    const Move move = moveOrFirstLegal(takeSearchAnswer().move, computerSide);
    if (move.piece != -1) startMove(move);
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
    if (moveGlides != 0) {
        startMove(opening);
        return;
    }
    recordMove(opening);
    applyStep(gamePosition, step.piece, step.target, computerSide);
    RedrawRequest = 1;
    passTurn();
}

// Once the game has ended nothing is played until a new game or a take back.
void playOneStep(uint8_t& b) {
    if (movePlaying != 0)
        playNextStep();
    else if (gameIsOver())
        return;
    else if (sideToMove == humanSide)
        handleHumanPress(b);
    else
        playComputerTurn();
}

// The last move stays marked, its start, landings and jumped squares, until
// the next move starts.
void drawLastMove() {
    if (movePlaying != 0 || playedMoves.empty()) return;
    const PlayedMove& last = playedMoves.back();
    Position position = last.before;
    const Piece& mover = pieceOf(position, last.side, last.move.piece);
    outlineSquare(mover.column, mover.row, LastMoveColour);
    for (int k = 0; k < last.move.steps; ++k) {
        const Position before = position;
        applyStep(position, last.move.piece, last.move.path[k], last.side);
        outlineSquare(last.move.path[k].column, last.move.path[k].row, LastMoveColour);
        for (int i = 0; i < piecesPerSide(); ++i) {
            const Piece& taken = pieceOf(before, 1 - last.side, i);
            if (taken.column != -1 && pieceOf(position, 1 - last.side, i).column == -1)
                outlineSquare(taken.column, taken.row, LastMoveColour);
        }
    }
}

void drawOutlines() {
    drawLastMove();
    pickSquare();
    // The hovered square follows the pointer: it goes when the pointer leaves.
    if (MouseInWindow == 1) outlineSquare(hoverColumn, hoverRow, HoverColour);
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

// Whatever the button does, a search started before it is no longer wanted.
void operateButton(int button) {
    abandonSearch();
    switch (button) {
    case BeginButton:
        gameStarted = 0;
        break;
    case SideButton:
        humanSide = humanSide == 0 ? 1 : 0;
        CameraAzimuth = AzimuthPerSide * humanSide;
        saveCurrentGame();
        break;
    case LevelButton:
        level = level == 0 ? 1 : 0;
        MouseButton = NoButtonEvent;
        previousButton = NoButtonEvent;
        saveCurrentGame();
        break;
    case RulesButton:
        // The new rule set and its new game in one step: no state between
        // shows the old board under the new rules.
        selectRuleVariant((ruleVariant + 1) % RuleVariantCount);
        startNewGame();
        MouseButton = NoButtonEvent;
        previousButton = NoButtonEvent;
        break;
    default:
        ExitStage = 1;
        MouseButton = NoButtonEvent;
        break;
    }
}

// A press counts exactly where the button is drawn: its first column and row
// too, and not in the gap below it.
bool cursorOnButton(int button) {
    const int top = MenuButtonY[button];
    return isCursorInRect(MenuX - 1, top - 1, MenuX + MenuButtonWidth, top + ButtonHeight) != 0;
}

bool cursorOnMenu() {
    for (int button = 0; button < MenuButtons; ++button)
        if (cursorOnButton(button)) return true;
    return false;
}

// Every rectangle is tested on its own; they do not overlap, so one press
// operates at most one button.
void handleMenuClicks() {
    for (int button = 0; button < MenuButtons; ++button)
        if (cursorOnButton(button)) operateButton(button);
}

// ---- Keys beyond the menu: take back, hint, the game's record ------------

// Back to the human's turn before the latest move of the human's side: that move
// and everything after it, a move still being played included, are undone.
// Whoever holds the turn, so that no turn of the computer can lock the player
// in. False when there is nothing to take back.
bool takeBack() {
    size_t from = playedMoves.size();
    while (from > 0 && playedMoves[from - 1].side != humanSide) --from;
    if (from == 0) return false;
    abandonSearch();
    const bool ended = gameIsOver();
    const PlayedMove& back = playedMoves[from - 1];
    gamePosition = back.before;
    sideToMove = back.side;
    plyCount = back.plyCount;
    playedMoves.resize(from - 1);
    movePlaying = 0;
    dropSelection();
    clearHint();
    RedrawRequest = 1;
    judgeCurrentGame();
    // The camera stops circling the finished game and faces the human's side again.
    if (ended) CameraAzimuth = AzimuthPerSide * humanSide;
    return true;
}

// The move the computer would play in the human's place, searched as its own move is; the
// search draws no random number.
void showHint() {
    clearHint();
    if (movePlaying != 0 || sideToMove != humanSide || gameIsOver()) {
        showStatus(StatusText::NoHint);
        return;
    }
    startSearch(SearchPurpose::Hint, gamePosition, humanSide, levelSearchDepth(level));
}

// The hint shows from the frame its search has ended in.
void collectHint() {
    if (searchUnderWay() != SearchPurpose::Hint || !searchAnswerReady()) return;
    hintMove = moveOrFirstLegal(takeSearchAnswer().move, humanSide);
    if (hintMove.piece == -1) return;
    const Piece& piece = pieceOf(gamePosition, humanSide, hintMove.piece);
    hintFrom = {piece.column, piece.row};
    showStatus(StatusText::Hint, formatPdnMove(gamePosition, humanSide, hintMove).c_str());
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[16] = "????.??.??";
    if (localtime_r(&now, &local) != nullptr) std::strftime(text, sizeof text, "%Y.%m.%d", &local);
    return text;
}

void writeGameRecord() {
    RecordTags tags = currentRecordTags();
    tags.extra = currentStartTags();
    const std::string text = formatPdn(playedMoves, tags);
    char name[32] = "game?.pdn";
    if (writeNewNumberedFile("game%d.pdn", &recordCounter, text.data(), text.size(), name,
                             sizeof name) != 0) {
        std::fprintf(stderr, "korvath: game record %s not saved: %s\n", name, std::strerror(errno));
        showStatus(StatusText::RecordNotSaved, std::strerror(errno));
        return;
    }
    showStatus(StatusText::RecordSaved, name);
    std::printf("korvath: game record saved as %s\n", name);
    std::fflush(stdout);
}

// Keys are handled before the frame's set-up: a take back is drawn in the same
// frame, and every request is answered once.
void handleKeyRequests() {
    if (TakeBackRequest == 0 && HintRequest == 0 && RecordRequest == 0) return;
    boardSize = ruleVariants[ruleVariant].columns;
    if (TakeBackRequest > 0) {
        const bool tookBack = takeBack();
        while (--TakeBackRequest > 0 && takeBack()) {
        }
        TakeBackRequest = 0;
        showStatus(tookBack ? StatusText::MoveTakenBack : StatusText::NothingToTakeBack);
        if (tookBack) saveCurrentGame();
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

// A side's last piece goes in the frame of the step that takes it, before the
// turn passes; other ends are known once it has passed. The camera turns away
// from the loser, and after a draw as if the computer had won.
void turnCameraAfterEnd() {
    int winner = winnerOf(gameOutcome.result);
    if (countPieces(gamePosition, humanSide) == 0)
        winner = computerSide;
    else if (countPieces(gamePosition, computerSide) == 0)
        winner = humanSide;
    else if (!gameIsOver())
        return;
    CameraAzimuth += winner == humanSide ? -EndOfGameTurn : EndOfGameTurn;
}

const char* sideName(int side) {
    return side == 0 ? "WHITES" : "BLACKS";
}

StatusText endText() {
    switch (gameOutcome.reason) {
    case EndReason::Repetition:
        return StatusText::DrawRepetition;
    case EndReason::KingMovesOnly:
        return StatusText::DrawKingMoves;
    case EndReason::NoProgress:
        return StatusText::DrawNoProgress;
    case EndReason::CannotMove:
        return winnerOf(gameOutcome.result) == humanSide ? StatusText::YouWinComputerStuck
                                                         : StatusText::ComputerWinsYouStuck;
    default:
        return winnerOf(gameOutcome.result) == humanSide ? StatusText::YouWin
                                                         : StatusText::ComputerWins;
    }
}

// Whose turn it is, or how the game ended; the menu may have changed sides
// since the end, so "you" is decided every frame. A hint is thought about too.
void updateStandingStatus() {
    if (gameIsOver())
        setStandingStatus(endText(), sideName(winnerOf(gameOutcome.result)));
    else if (sideToMove == humanSide && searchUnderWay() != SearchPurpose::Hint)
        setStandingStatus(StatusText::YourMove);
    else
        setStandingStatus(StatusText::Thinking);
}

} // namespace

void startGameFrom(const Position& position, int variant) {
    gameSetUp = {true, position, variant};
    gameStarted = 0;
}

const char* resultName(GameResult result) {
    switch (result) {
    case GameResult::WhitesWin:
        return "whites";
    case GameResult::BlacksWin:
        return "blacks";
    case GameResult::Draw:
        return "draw";
    default:
        return "ongoing";
    }
}

RecordTags currentRecordTags() {
    RecordTags tags;
    tags.players[humanSide] = "Human";
    tags.players[1 - humanSide] = std::string("Korvath (") + menuLabel(LevelButton) + ")";
    tags.date = today();
    tags.result = gameOutcome.result;
    return tags;
}

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
    if (gameStarted == 0) startOrResumeGame();
    uint8_t b = takeButtonEvent();
    // A press drops the hint, and the search for one: the human may be about to move.
    if (b == LeftPress) {
        clearHint();
        if (searchUnderWay() == SearchPurpose::Hint) abandonSearch();
    }
    handleKeyRequests();
    collectHint();
    noteCameraChange();
    setUpFrame();
    drawBoardPicture();
    playOneStep(b);
    drawOutlines();
    nextRandom();
    drawMenu();
    updateStandingStatus();
    drawStatusLine();
    if (sideToMove == humanSide || gameIsOver())
        drawArrowCursor();
    else
        drawWaitCursor();
    turnCameraAfterEnd();
    if (b == LeftPress) handleMenuClicks();
    endScene();
}

bool framesWaitForInput() {
    // Frames count time only in a move under way (its steps and glides) and in a
    // message's life; the camera's turn after the end changes every frame anyway.
    return gameStarted != 0 && movePlaying == 0 && statusLine.messageFramesLeft == 0;
}

int menuButtonUnderCursor() {
    for (int button = 0; button < MenuButtons; ++button)
        if (cursorOnButton(button)) return button;
    return -1;
}
