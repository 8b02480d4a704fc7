// Turns the failed step's text into advice: a settings value out of range is
// named with its pair in SETTINGS.TXT and the values allowed there; a missing
// file with the folder the game must start from. Owns no state.
#include "app/failure_advice.h"

#include <cstdio>
#include <cstring>

#include "app/settings.h"
#include "platform/platform.h"
#include "render/screen.h"

namespace {

constexpr const char* StartFolderAdvice =
    "start the game from the folder that holds SETTINGS.TXT and DATAS (cd build && ./bin/korvath)";

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool isSupportedWidth(int width) {
    return width == 640 || width == 800 || width == 1024;
}

std::string displayModeAdvice() {
    char line[300];
    if (!isSupportedWidth(ScreenWidth))
        std::snprintf(line, sizeof line,
                      "SETTINGS.TXT: the screen width (pair 1) is %d; use 640, 800 or 1024, "
                      "with the height (pair 2) 480, 600 or 768",
                      ScreenWidth);
    else if (!isDisplayableSize(ScreenWidth, ScreenHeight))
        std::snprintf(line, sizeof line,
                      "SETTINGS.TXT: the screen height (pair 2) is %d; use 480, 600 or 768",
                      ScreenHeight);
    else
        std::snprintf(line, sizeof line,
                      "no %d x %d %s could be opened on this display; try another size in "
                      "SETTINGS.TXT (640 480, 800 600 or 1024 768)",
                      ScreenWidth, ScreenHeight,
                      WindowedMode == 1 ? "window" : "full-screen window");
    return line;
}

std::string deviceAdvice() {
    char line[200];
    if (UseHardware != 0 && UseHardware != 1)
        std::snprintf(line, sizeof line,
                      "SETTINGS.TXT: the hardware choice (pair 5) is %d; use 0 or 1", UseHardware);
    else
        std::snprintf(line, sizeof line, "the 3D device could not be made (out of memory?)");
    return line;
}

} // namespace

std::string failureAdvice(const char* failure) {
    const std::string text = failure;
    if (startsWith(failure, "SETTINGS.TXT")) return text + "; " + StartFolderAdvice;
    if (text.find("DATAS/") != std::string::npos) return text + "; " + StartFolderAdvice;
    if (text == "DirectDrawCreateEx")
        return "no display could be reached (is DISPLAY or WAYLAND_DISPLAY set?); start the game "
               "on a desktop";
    if (text == "DDrawInterface->SetDisplayMode") return displayModeAdvice();
    if (text == "D3DInterface->CreateDevice") return deviceAdvice();
    return "the display could not be set up (" + text + ")";
}
