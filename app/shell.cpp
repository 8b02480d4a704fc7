// runKorvath: start-up in the game's fixed order, the one-message-a-pass main
// loop and its stage machine, and the failure path. Owns AppStage, LoopPasses
// and the three Sequence records; ExitStage belongs to the game controller.
#include "app/shell.h"

#include <cstdio>
#include <string>

#include "app/display.h"
#include "app/failure_advice.h"
#include "app/music.h"
#include "app/player_folder.h"
#include "app/resources.h"
#include "app/settings.h"
#include "app/window_proc.h"
#include "game/autosave.h"
#include "game/controller.h"
#include "game/search_worker.h"
#include "platform/platform.h"
#include "render/mesh_renderer.h"
#include "render/screen.h"
#include "scene/input.h"

int AppStage = 0;
long long LoopPasses = 0;
Sequence SequenceIntro1;
Sequence SequenceIntro2;
Sequence SequenceExit;

namespace {

// What one pass of the main loop came to.
enum class PassResult { Continue, Quit, Failed };

struct PassOutcome {
    PassResult result;
    int quitCode;        // with Quit: the code the window system ended with
    const char* failure; // with Failed: the text for the error box
};

// The one way out after a failure (start-up, the intro files read in the first
// pass, a display that cannot be rebuilt): the error box, then everything made
// so far released. A failure is never reported as success: the exit code is 1.
int endWithFailure(const char* failure) {
    abandonSearch();
    const std::string message = failureBoxText(("ERROR:" + std::string(failure)).c_str(), failure);
    // The box may never be seen (started from a terminal, or with no desktop
    // to show it): the same text goes to standard error.
    std::fprintf(stderr, "korvath: %s\n", message.c_str());
    showFailure(message.c_str());
    releaseDisplay();
    if (MusicEnabled == 1) stopMusic();
    videoStop();
    return 1;
}

// Shows the frame in the back buffer; a lost display is rebuilt at once so the
// stage machine can go on in the same stage.
const char* present() {
    if (presentFrame() == PLATFORM_SURFACE_LOST) return restoreSurfaces();
    return nullptr;
}

const char* startIntros() {
    if (const char* failure = startSequence(&SequenceIntro1, 3, 0.1f, "DATAS/QVR.RAW", 0))
        return failure;
    if (const char* failure = startSequence(&SequenceIntro2, 3, 0.05f, "DATAS/CHECKERS.RAW", 0))
        return failure;
    setRenderStates();
    AppStage = 1;
    return nullptr;
}

const char* mainPhaseStep() {
    switch (ExitStage) {
    case 0: {
        // The frame gameFrame drew in the previous pass goes on screen first.
        const char* failure = present();
        if (failure == nullptr) gameFrame();
        return failure;
    }
    case 1:
        // The frame drawn last, not yet shown, is the picture that fades out.
        startSequence(&SequenceExit, 2, 0.1f, nullptr, 1);
        ExitStage = 2;
        return nullptr;
    case 2:
        ExitStage += playSequenceFrame(&SequenceExit);
        return present();
    default:
        postMessage(Message{WM_CLOSE, 0, 0});
        return nullptr;
    }
}

// Keys that act on the game, pressed while the intros played, belong to no game:
// the board must not answer them the moment it appears.
void dropIntroKeys() {
    TakeBackRequest = 0;
    HintRequest = 0;
    RecordRequest = 0;
}

const char* stageStep() {
    // Fades count every frame: only the game's own frames may wait for input.
    allowFrameRest(AppStage >= 3 && ExitStage == 0 && framesWaitForInput());
    switch (AppStage) {
    case 0:
        return startIntros();
    case 1:
        AppStage += playSequenceFrame(&SequenceIntro1);
        return present();
    case 2:
        AppStage += playSequenceFrame(&SequenceIntro2);
        if (AppStage == 3) dropIntroKeys();
        return present();
    default:
        return mainPhaseStep();
    }
}

PassOutcome runPass() {
    if (peekMessage()) {
        Message message;
        int quitCode = 0;
        if (!getMessage(&message, &quitCode)) return {PassResult::Quit, quitCode, nullptr};
        dispatchMessage(message);
        return {PassResult::Continue, 0, nullptr};
    }
    if (AppActive == 0) {
        // Nothing is drawn while minimised: sleep until the window system has
        // news instead of polling a core flat out.
        waitMessage();
        return {PassResult::Continue, 0, nullptr};
    }
    if (const char* failure = stageStep()) return {PassResult::Failed, 0, failure};
    return {PassResult::Continue, 0, nullptr};
}

int runMainLoop(PassHook beforeEachPass) {
    for (;;) {
        if (beforeEachPass != nullptr) beforeEachPass();
        const PassOutcome outcome = runPass();
        ++LoopPasses;
        if (outcome.result == PassResult::Quit) return outcome.quitCode;
        if (outcome.result == PassResult::Failed) return endWithFailure(outcome.failure);
    }
}

} // namespace

void showFailure(const char* message) {
    showMessageBox("FAILED", message);
    if (windowExists()) destroyGameWindow();
}

int runKorvath(PassHook beforeEachPass) {
    if (const char* failure = enterPlayerFolder()) return endWithFailure(failure);
    if (const char* failure = loadSettings()) return endWithFailure(failure);
    moveGlides = AnimationEnabled != 0 ? 1 : 0;
    if (createGameWindow("Korvath", ScreenWidth, ScreenHeight, windowProc) != PLATFORM_OK)
        return endWithFailure("CreateWindow");
    // The window appears with the display mode, and a music box must come
    // after the window, never before it on an empty desktop.
    if (const char* failure = initDisplay()) return endWithFailure(failure);
    // The scripted runner is silent whatever the settings say: it runs in tests
    // and on servers, where a sound device is the last thing it should open.
    if (MusicEnabled == 1 && currentBackend() == Backend::Sdl) startMusic();
    clearTextureTable();
    if (const char* failure = loadResources()) return endWithFailure(failure);
    autosaveEnabled = true; // the game in the player's folder goes on where it stopped
    const int code = runMainLoop(beforeEachPass);
    // Escape or the window's close may come while the computer thinks: no thread outlives the game.
    abandonSearch();
    // The process is about to end anyway; stopping the synthesizer and giving
    // the desktop its mode back just makes the end tidy.
    if (MusicEnabled == 1) stopMusic();
    videoStop();
    return code;
}
