// The saved game: the game in progress kept in "autosave.pdn" in the player's folder, so that
// closing the window, a crash or a power cut never loses it. The file is a PDN record a
// player can open, with tags for what the game needs to go on (level, colour, camera).
// Owns autosaveEnabled (set by the shell) and autosaveFailing (written by saveCurrentGame); the
// game it saves and resumes is the controller's (controller.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "game/record.h"

constexpr const char* SavedGameName = "autosave.pdn";
constexpr const char* SetAsidePattern = "autosave-bad%d.pdn"; // an unreadable save, kept

// Everything a game needs to go on exactly where it stopped.
struct SavedGame {
    int32_t variant;               // its rule set
    int humanSide;                 // 0 "WHITES" or 1 "BLACKS"
    int level;                     // 0 "BEGINNERS" or 1 "EXPERT"
    int camera[3];                 // azimuth, elevation, roll
    PdnStart start;                // where the game started: the opening, or a set position
    int startPly;                  // moves counted before the first (2 for a set position)
    std::vector<PlayedMove> moves; // from the start, each with the position it was played from
    Position position;             // after the last move
    std::string result;            // as read back, "*" while the game goes on (the writer takes
                                   // the result from the record tags)
};

// The save as text, under the current rule set (which must be the game's).
std::string formatSavedGame(const SavedGame& game, const RecordTags& tags);
// Reads a save back, replaying every move; on success selects its rule set and returns "",
// otherwise returns what is wrong and leaves the rule set as it was.
std::string parseSavedGame(std::string_view text, SavedGame& game);

// Replaces the file with text whole or not at all: a temporary file beside it, written and
// flushed to the disk, then renamed over it. Returns 0, or -1 with errno set (the old file is
// then as it was).
int replaceFileSafely(const char* name, const std::string& text);
// Renames the file to pattern (one %d) with the first number that no file has; the name
// used is left in newName. Returns 0, or -1 with errno set.
int moveFileAside(const char* name, const char* pattern, char* newName, size_t newNameSize);

extern bool autosaveEnabled; // set by the shell before the first frame: the program's runs
                             // save and resume, tests that drive gameFrame themselves do not
extern bool autosaveFailing; // the last save failed and said so; cleared by the next success

// The SetUp and Start tags of the controller's game when it did not begin at the opening,
// else "": a record without them would replay from the opening.
std::string currentStartTags();
// Saves the controller's game to SavedGameName; a failure is named once on stderr, and the
// game goes on.
void saveCurrentGame();
// Puts the saved game back into the controller when there is an unfinished one (true). A
// save that cannot be read or replayed is moved aside with a line on stderr. The rule set,
// level and colour of a save are kept even when its game is not resumed.
bool resumeSavedGame();
