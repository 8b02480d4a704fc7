// The advice table and its filling: each failure a player can meet at start-up,
// with the lines that tell what to do about it. Reads the settings globals and
// SettingsPath and PlayerFolder; owns no state.
#include "app/failure_advice.h"

#include <cstring>

#include "app/player_folder.h"
#include "app/settings.h"
#include "render/screen.h"

namespace {

bool sizeUnsupported() {
    const bool supported = (ScreenWidth == 640 && ScreenHeight == 480) ||
                           (ScreenWidth == 800 && ScreenHeight == 600) ||
                           (ScreenWidth == 1024 && ScreenHeight == 768);
    return !supported;
}

bool hardwareInvalid() {
    return UseHardware != 0 && UseHardware != 1;
}

bool inPlayerFolder() {
    return !PlayerFolder.empty();
}

bool matches(const FailureAdvice& row, const char* failure) {
    switch (row.match) {
    case FailureMatch::Whole:
        return std::strcmp(failure, row.failure) == 0;
    case FailureMatch::Start:
        return std::strncmp(failure, row.failure, std::strlen(row.failure)) == 0;
    case FailureMatch::Within:
        return std::strstr(failure, row.failure) != nullptr;
    }
    return false;
}

std::string fillIn(const char* advice) {
    const struct {
        const char* name;
        std::string value;
    } fields[] = {{"{settings}", SettingsPath},
                  {"{width}", std::to_string(ScreenWidth)},
                  {"{height}", std::to_string(ScreenHeight)},
                  {"{hardware}", std::to_string(UseHardware)}};
    std::string text = advice;
    for (const auto& field : fields)
        for (size_t at = text.find(field.name); at != std::string::npos;
             at = text.find(field.name, at + field.value.size()))
            text.replace(at, std::strlen(field.name), field.value);
    return text;
}

} // namespace

// First match wins: rows with a condition come before the general row of the same failure.
const FailureAdvice FailureAdviceTable[] = {
    // The player's folder of an installed game (app/player_folder.cpp names it and the cause).
    {"no player's folder", FailureMatch::Start, nullptr,
     "An installed game keeps your settings in $XDG_DATA_HOME/korvath or ~/.local/share/korvath.\n"
     "Set HOME, or start the game from a folder that holds SETTINGS.TXT and DATAS."},
    {"the player's folder ", FailureMatch::Start, nullptr,
     "The game keeps your settings and pictures there.\n"
     "Move away what stands in its way, make that disk writable, or set XDG_DATA_HOME to a "
     "folder of your own."},
    {"the default settings cannot be read", FailureMatch::Start, nullptr,
     "The game is not installed whole.\nInstall it again."},
    {"the default settings cannot be written", FailureMatch::Start, nullptr,
     "Your copy of the default settings could not be made there.\n"
     "Free some space on that disk or make the folder writable, then start the game again."},
    {"SETTINGS.TXT is empty", FailureMatch::Whole, inPlayerFolder,
     "{settings} holds no settings.\n"
     "Delete it and start the game again to get the default settings back."},
    {"SETTINGS.TXT is empty", FailureMatch::Whole, nullptr,
     "{settings} holds no settings.\n"
     "Write its label/number pairs into it, as WIDTH 800 HEIGHT 600 ..."},
    {"SETTINGS.TXT cannot be read", FailureMatch::Start, inPlayerFolder,
     "{settings} is not a readable plain file.\n"
     "Delete it and start the game again to get the default settings back."},
    {"not a regular file", FailureMatch::Within, nullptr,
     "A named pipe, a socket or a device stands where the game expects one of its files; the "
     "game never waits on it.\n"
     "Put the game's own file under that name."},
    {"SETTINGS.TXT is missing", FailureMatch::Whole, nullptr,
     "The game reads its settings from {settings}, and there is none.\n"
     "Start it from the folder that holds SETTINGS.TXT and DATAS (cd build && ./bin/korvath),"
     " or install it."},
    {"SETTINGS.TXT cannot be read", FailureMatch::Start, nullptr,
     "{settings} is not a readable file.\n"
     "Make it a plain text file of label/number pairs, as WIDTH 800 HEIGHT 600 ..."},
    {"DATAS/", FailureMatch::Within, nullptr,
     "The game's pictures are missing or damaged.\n"
     "Start it from the folder that holds SETTINGS.TXT and DATAS (cd build && ./bin/korvath),"
     " or reinstall it."},
    {"DirectDrawCreateEx", FailureMatch::Whole, nullptr,
     "No display could be reached: DISPLAY or WAYLAND_DISPLAY names none that answers.\n"
     "Start the game from a desktop session."},
    {"DDrawInterface->SetDisplayMode", FailureMatch::Whole, sizeUnsupported,
     "WIDTH {width} and HEIGHT {height} are no size the game draws: use 640 480, 800 600 "
     "or 1024 768.\n"
     "Set them in {settings}; the window itself can still take any size (F11: full screen)."},
    {"DDrawInterface->SetDisplayMode", FailureMatch::Whole, nullptr,
     "No {width} x {height} window could be opened on this display.\n"
     "Try another size in {settings}: 640 480, 800 600 or 1024 768."},
    {"D3DInterface->CreateDevice", FailureMatch::Whole, hardwareInvalid,
     "The HARDWARE value in {settings} (its fifth number) is {hardware}.\n"
     "Set it to 0 or 1."},
    {"CreateWindow", FailureMatch::Whole, nullptr,
     "The game window could not be made (out of memory?)."},
    {"DDraw", FailureMatch::Start, nullptr,
     "The game's screen could not be made (out of memory?).\n"
     "Close other programs, or choose a smaller size in {settings}."},
    {"D3D", FailureMatch::Start, nullptr,
     "The game's screen could not be made (out of memory?).\n"
     "Close other programs, or choose a smaller size in {settings}."},
    // The music boxes: the game always goes on without music.
    {"Could not initialize COM", FailureMatch::Whole, nullptr,
     "The synthesizer could not start (out of memory?).\n"
     "The game goes on without music; MUSIC 0 in {settings} skips it."},
    {"Could not create DMusic Loader", FailureMatch::Whole, nullptr,
     "No General MIDI soundfont was found; install one (timgm6mb-soundfont).\n"
     "The game goes on without music; MUSIC 0 in {settings} skips it."},
    {"Could not create DMusic Performance", FailureMatch::Whole, nullptr,
     "The synthesizer could not start (out of memory?).\n"
     "The game goes on without music; MUSIC 0 in {settings} skips it."},
    {"Could not initialize performance", FailureMatch::Whole, nullptr,
     "The soundfont could not be read; reinstall it (timgm6mb-soundfont).\n"
     "The game goes on without music; MUSIC 0 in {settings} skips it."},
    {"Could not add port to performance", FailureMatch::Whole, nullptr,
     "No sound output could be opened: no sound server or sound card answered.\n"
     "The game goes on without music; MUSIC 0 in {settings} skips it."},
    {"Could not load segment", FailureMatch::Whole, nullptr,
     "The music file DATAS/jazz1.mid is missing or is not a MIDI file.\n"
     "The game goes on without music; MUSIC 0 in {settings} skips it."},
};
const int FailureAdviceCount = sizeof FailureAdviceTable / sizeof FailureAdviceTable[0];

std::string failureAdvice(const char* failure) {
    for (const FailureAdvice& row : FailureAdviceTable)
        if (matches(row, failure) && (row.applies == nullptr || row.applies()))
            return fillIn(row.advice);
    return "";
}

std::string failureBoxText(const char* firstLine, const char* failure) {
    const std::string advice = failureAdvice(failure);
    return advice.empty() ? std::string(firstLine) : std::string(firstLine) + "\n" + advice;
}
