// korvath: the game in a real window (full screen unless the settings ask for
// a window).
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/shell.h"
#include "game/controller.h"
#include "game/search_worker.h"
#include "platform/platform.h"
#include "rules/fast_search.h"
#include "rules/notation.h"

namespace {

// Test only: the real-window checks reach a long search through KORVATH_TEST_POSITION, a
// position as korvath-engine writes it, where the first game starts (the player to move).
// False when it is set but not a position.
bool startFromTestPosition() {
    const char* text = std::getenv("KORVATH_TEST_POSITION");
    if (text == nullptr) return true;
    Position position;
    int32_t variant = 0;
    const std::string problem = parsePosition(text, position, variant);
    if (!problem.empty()) {
        std::fprintf(stderr, "korvath: KORVATH_TEST_POSITION: %s\n", problem.c_str());
        return false;
    }
    startGameFrom(position, variant);
    return true;
}

} // namespace

int main() {
    // Over a file-size limit a screenshot's write fails and is reported like a
    // full disk, instead of the signal ending the game.
    std::signal(SIGXFSZ, SIG_IGN);
    if (!startFromTestPosition()) return 2;
    selectBackend(Backend::Sdl);
    // The window stays live while the computer thinks. korvath-headless keeps the search inside
    // the frame: a script's "wait N" must see the same game whatever the machine's speed.
    SearchBesideFrames = true;
    // The second core searches beside the first: the same answers, sooner.
    if (!startSearchHelper()) std::fprintf(stderr, "korvath: searching on one core (no thread)\n");
    const int code = runKorvath(nullptr);
    stopSearchHelper(); // no thread outlives the game
    return code;
}
