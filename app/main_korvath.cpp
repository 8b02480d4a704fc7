// korvath: the game in a real window (full screen unless the settings ask for
// a window).
#include "app/shell.h"
#include "platform/platform.h"

int main() {
    selectBackend(Backend::Sdl);
    return runKorvath(nullptr);
}
