// The status line's one table of texts, its message timing and its drawing.
// Owns statusLine.
#include "game/status.h"

#include <cassert>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "render/screen.h"
#include "scene/cursor.h"

StatusLine statusLine = {StatusText::None, "", StatusText::None, "", 0};

namespace {

constexpr int CharWidth = 8; // the screen text's fixed advance

struct StatusEntry {
    StatusText text;
    const char* format;
};

constexpr StatusEntry StatusTable[] = {
    {StatusText::None, ""},
    {StatusText::YourMove, "YOUR MOVE"},
    {StatusText::Thinking, "THINKING"},
    {StatusText::YouWin, "%s WIN - YOU WIN"},
    {StatusText::ComputerWins, "%s WIN - THE COMPUTER WINS"},
    {StatusText::YouWinComputerStuck, "%s WIN - YOU WIN, THE COMPUTER CANNOT MOVE"},
    {StatusText::ComputerWinsYouStuck, "%s WIN - YOU CANNOT MOVE"},
    {StatusText::DrawRepetition, "DRAW - THE SAME POSITION A THIRD TIME"},
    {StatusText::DrawKingMoves, "DRAW - 25 KING MOVES EACH WITHOUT A CAPTURE"},
    {StatusText::DrawNoProgress, "DRAW - 40 MOVES EACH WITHOUT A CAPTURE OR A MAN MOVED"},
    {StatusText::PictureSaved, "PICTURE SAVED AS %s"},
    {StatusText::PictureNotSaved, "PICTURE NOT SAVED: %s"},
    {StatusText::RecordSaved, "GAME SAVED AS %s"},
    {StatusText::RecordNotSaved, "GAME NOT SAVED: %s"},
    {StatusText::NothingToTakeBack, "NOTHING TO TAKE BACK"},
    {StatusText::MoveTakenBack, "MOVE TAKEN BACK"},
    {StatusText::Hint, "HINT: %s"},
    {StatusText::NoHint, "NO HINT: IT IS NOT YOUR MOVE"},
    {StatusText::GameResumed, "YOUR LAST GAME GOES ON"},
    {StatusText::GameNotKept, "THE GAME CANNOT BE KEPT FOR NEXT TIME: %s"},
    {StatusText::SavedGameMoved, "THE LAST GAME COULD NOT BE RESUMED - KEPT AS %s"},
    {StatusText::WindowModeNotKept, "THE NEXT START CANNOT KEEP THIS: %s"},
};
static_assert(std::size(StatusTable) == static_cast<size_t>(StatusText::Count),
              "every status text has one entry");

void storeText(char* out, StatusText text, const char* detail) {
    const std::string line = statusMessage(text, detail);
    std::snprintf(out, StatusTextCapacity, "%s", line.c_str());
}

} // namespace

const char* statusFormat(StatusText text) {
    const StatusEntry& entry = StatusTable[static_cast<int>(text)];
    assert(entry.text == text);
    return entry.format;
}

// The detail is spliced in rather than formatted, so a file name with a '%'
// in it is shown as it is.
std::string statusMessage(StatusText text, const char* detail) {
    std::string line = statusFormat(text);
    const size_t at = line.find("%s");
    if (at != std::string::npos) line.replace(at, 2, detail != nullptr ? detail : "");
    return line;
}

void showStatus(StatusText text, const char* detail) {
    statusLine.message = text;
    storeText(statusLine.messageText, text, detail);
    statusLine.messageFramesLeft = text == StatusText::None ? 0 : StatusMessageFrames;
}

void setStandingStatus(StatusText text, const char* detail) {
    statusLine.standing = text;
    storeText(statusLine.standingText, text, detail);
}

const char* currentStatusText() {
    return statusLine.messageFramesLeft > 0 ? statusLine.messageText : statusLine.standingText;
}

int currentStatusBrightness() {
    const int left = statusLine.messageFramesLeft;
    if (left <= 0 || left >= StatusFadeFrames) return 255;
    return 255 * left / StatusFadeFrames;
}

void drawStatusLine() {
    const char* text = currentStatusText();
    const int brightness = currentStatusBrightness();
    const int x = (ScreenWidth - CharWidth * static_cast<int>(std::strlen(text))) / 2;
    if (text[0] != 0) {
        const auto level = static_cast<uint8_t>(brightness);
        // The drop shadow fades with the text, or a dark ghost would stay behind.
        if (brightness == 255) drawScreenText(x + 1, StatusLineY + 1, text, 0, 0, 0);
        drawScreenText(x, StatusLineY, text, level, level, level);
    }
    if (statusLine.messageFramesLeft > 0 && --statusLine.messageFramesLeft == 0)
        statusLine.message = StatusText::None;
}
