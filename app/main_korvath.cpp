// korvath: the game in a real window (full screen unless the settings ask for
// a window).
#include <csignal>

#include "app/shell.h"
#include "platform/platform.h"

int main() {
    // Over a file-size limit a screenshot's write fails and is reported like a
    // full disk, instead of the signal ending the game.
    std::signal(SIGXFSZ, SIG_IGN);
    selectBackend(Backend::Sdl);
    return runKorvath(nullptr);
}
