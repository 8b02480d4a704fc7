// Switching between full screen and a window while the game runs (F11 and
// Alt+Enter), with the choice kept in the player's SETTINGS.TXT for the next
// start. Writes WindowedMode (app/settings.h); owns no state of its own.
#pragma once

#include <string>

// Switches the game window and keeps the choice. A choice that cannot be kept
// is said on standard error, and the game goes on in the new mode.
void switchWindowMode();

// Rewrites the window pair of the settings file at path (app/settings.h's
// withWindowPair) through a temporary file renamed over it, so that a full
// disk or a crash leaves the old file whole. "" when done, else what went wrong.
std::string saveWindowPair(const std::string& path, int windowed);
