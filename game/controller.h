// The game as the player sees it: gameFrame draws one frame and advances the
// game by at most one step. The controller state below is written only here
// (the menu is part of the frame); ExitStage is also read and advanced by the
// shell's main loop, which plays the closing fade once the menu sets it.
#pragma once

#include <cstdint>
#include <vector>

#include "game/outcome.h"
#include "game/record.h"
#include "rules/moves.h"

extern int ExitStage; // 0 running, 1 EXIT picked, 2 closing fade, 3+ close; never decreases

extern int gameStarted;     // 0: the next frame sets up a new game; cleared by BEGIN
extern int humanSide;       // 0 "WHITES" or 1 "BLACKS"; changed by the menu only, never reset
extern int computerSide;    // 1 - humanSide, recomputed every frame
extern int level;           // 0 "BEGINNERS", 1 "EXPERT"; changed by the menu only, never reset
extern int sideToMove;      // whose turn it is; 0 when a game starts
extern int plyCount;        // moves completed in this game; 0 when a game starts
extern int selectedPiece;   // the human's selected piece, or -1; cleared when a game starts
extern int movePlaying;     // 1 while bestMove[0] is being played step by step
extern int moveStep;        // next path step of that move
extern int glideFrame;      // frames of the next step's glide shown so far; 0 between steps
extern int moveGlides;      // 1: moves glide from square to square, 0: a step a frame; set by
                            // the shell from the settings at start-up
extern MoveList humanMoves; // the human side's legal moves, as last listed

// One outlined square of the selected piece's moves: every path square of every
// legal move, in list and path order; final marks the last square of a move.
struct TargetSquare {
    int column, row, final;
};
constexpr int MaxTargetSquares = MaxMoves * MaxPathSteps;
extern TargetSquare
    targetSquares[MaxTargetSquares]; // the selected piece's squares; emptied with the selection
extern int targetSquareCount;        // used entries of targetSquares

extern uint8_t previousButton; // MouseButton as the previous frame saw it (after its own marking)
extern int screenshotCounter;  // first "page%d.raw" number to try next; 0 at start, only grows
extern int previousAzimuth;    // camera angles as the previous frame saw them (elevation clamped)
extern int previousElevation;
extern int previousRoll;

extern std::vector<PlayedMove> playedMoves; // this game's moves in order, each from its start;
                                            // emptied by a new game, cut back by a take back
extern Move hintMove;       // the hinted move, piece -1 when none is shown; dropped by a press,
                            // a move, a take back and a new game
extern Square hintFrom;     // the hinted piece's square
extern int recordCounter;   // first number tried for the next "game%d.pdn"; 0 at start, never reset
extern Outcome gameOutcome; // how the game stands; judged whenever a turn passes, a game starts
                            // or a move is taken back

// One frame: new game, button event, camera, board picture (cached in
// Backtemp), one step of play, outlines, buttons, cursor, end-of-game turn,
// menu clicks. Call only while the display is usable.
void gameFrame();
constexpr int GlideFramesPerStep = 9; // about 0.15 s a path step at 60 frames a second

// Fills targetSquares from the legal moves of selectedPiece.
void collectTargetSquares();
// The next frame starts a game from the position under rule set `variant`, the
// human to move and the move count at 2, so that the computer searches from its
// first reply (the random opening steps belong to the starting position).
void startGameFrom(const Position& position, int variant);
// The game's end as print and scripts name it: "ongoing", "whites", "blacks", "draw".
const char* resultName(GameResult result);
// The players and the day, as the game's records name them.
RecordTags currentRecordTags();
// True when the frames to come repeat this one until the player acts or the
// search answers: nothing under way is counted in frames.
bool framesWaitForInput();
// The menu button drawn under the cursor, 0 (BEGIN) to 4 (EXIT) from the top; -1 for none.
int menuButtonUnderCursor();
