// The program itself: start-up, the main loop with its stage machine (intros,
// game, closing fade), the start-up failure path, and the end. AppStage, the
// three Sequence records and LoopPasses are written only by runKorvath.
#pragma once

#include "app/fade.h"

extern int
    AppStage; // 0 nothing started, 1 first intro, 2 second intro, 3 main phase; never decreases
extern long long LoopPasses;    // main-loop passes completed since start-up
extern Sequence SequenceIntro1; // studio card, read at the first active pass; lives for the run
extern Sequence SequenceIntro2; // title picture, read at the first active pass; lives for the run
extern Sequence SequenceExit;   // the last game frame, captured when EXIT is picked

// Called at the start of every main-loop pass, before the queue is looked at
// (the scripted runner feeds its messages through it); nullptr for none.
using PassHook = void (*)();

// Runs the program on the selected backend: enters the player's folder when
// installed and started elsewhere (app/player_folder.h), reads the settings,
// makes the window and the display, loads everything, then loops until the
// window is closed. Returns the process exit code: the quit code (0) on a normal end,
// 1 after a failure that was shown in the error box.
int runKorvath(PassHook beforeEachPass);

// The error box: message under the caption "FAILED", then the window goes.
void showFailure(const char* message);
