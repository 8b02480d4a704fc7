// The status line: one line of text at the top of the screen saying whose turn
// it is or how the game ended (the standing text, set by the game controller
// every frame), over which short messages show for about two seconds and fade.
// Every text it can show is in one table (status.cpp). statusLine is written by
// showStatus, setStandingStatus and drawStatusLine only.
#pragma once

#include <string>

enum class StatusText {
    None,
    YourMove,
    Thinking,
    YouWin,              // detail: the winning side's name
    ComputerWins,        // detail: the winning side's name
    YouWinComputerStuck, // detail: the winning side's name
    ComputerWinsYouStuck,
    DrawRepetition,
    DrawKingMoves,
    DrawNoProgress,
    PictureSaved,    // detail: the file name
    PictureNotSaved, // detail: why
    RecordSaved,     // detail: the file name
    RecordNotSaved,  // detail: why
    NothingToTakeBack,
    MoveTakenBack,
    Hint,   // detail: the move in the record's notation
    NoHint, // not the player's turn, or the game is over
    GameResumed,
    GameNotKept,       // detail: why the autosave failed
    SavedGameMoved,    // detail: the name the unreadable save was given
    WindowModeNotKept, // detail: why the settings file could not keep it
    Count,
};

constexpr int StatusMessageFrames = 120; // a message stays about two seconds at 60 frames a second
constexpr int StatusFadeFrames = 40;     // its last frames, growing darker
constexpr int StatusLineY = 6;           // above the menu's first button and the board
constexpr int StatusTextCapacity = 160;  // characters kept of one line, detail included

struct StatusLine {
    StatusText standing; // the turn or the result; set every game frame
    char standingText[StatusTextCapacity];
    StatusText message; // the latest message, None once it has faded
    char messageText[StatusTextCapacity];
    int messageFramesLeft; // frames the message still shows; 0: the standing text
};
extern StatusLine statusLine; // lives for the run; messages survive a new game

// The table's text for one entry, "%s" marking where a detail goes.
const char* statusFormat(StatusText text);
// The entry's text with its detail put in (nullptr reads as "").
std::string statusMessage(StatusText text, const char* detail = nullptr);
// Shows a message over the standing text; it fades after StatusMessageFrames frames.
void showStatus(StatusText text, const char* detail = nullptr);
// What the line shows when no message does.
void setStandingStatus(StatusText text, const char* detail = nullptr);
// The text on the line now and its brightness, 0..255.
const char* currentStatusText();
int currentStatusBrightness();
// Draws the line, centred, into the render target and counts one frame of the
// message's life. Called once a frame, after the board picture.
void drawStatusLine();
