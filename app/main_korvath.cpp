// korvath: the game in a real window (full screen unless the settings ask for
// a window).
#include <csignal>

#include "app/shell.h"
#include "game/search_worker.h"
#include "platform/platform.h"

int main() {
    // Over a file-size limit a screenshot's write fails and is reported like a
    // full disk, instead of the signal ending the game.
    std::signal(SIGXFSZ, SIG_IGN);
    selectBackend(Backend::Sdl);
    // The window stays live while the computer thinks. korvath-headless keeps the search inside
    // the frame: a script's "wait N" must see the same game whatever the machine's speed.
    SearchBesideFrames = true;
    return runKorvath(nullptr);
}
