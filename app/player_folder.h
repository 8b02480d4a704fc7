// The player's own folder of an installed game: where its settings and
// screenshots live when it is started from a menu. It sets InstalledDataFolder
// (app/data_file.h), the process's current folder and PlayerFolder; its other
// state is only the text of its last failure.
#pragma once

#include <string>

// The folder enterPlayerFolder entered; "" when the game runs where it was
// started. Written only by enterPlayerFolder.
extern std::string PlayerFolder;

// Finds the installed data folder; then, when the current folder holds no
// "SETTINGS.TXT" and the game is installed, makes the player's folder
// ($XDG_DATA_HOME/korvath, by default ~/.local/share/korvath), copies the
// default settings into it unless it has its own, and makes it the current
// folder. Started beside a "SETTINGS.TXT" it changes nothing. Returns nullptr,
// or the text of what failed, naming the folder and the cause (kept until the
// next call).
const char* enterPlayerFolder();
