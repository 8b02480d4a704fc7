// The player's own folder of an installed game: where its settings and
// screenshots live when it is started from a menu. It sets InstalledDataFolder
// (app/data_file.h) and the process's current folder; its own state is only
// the text of its last failure.
#pragma once

// Finds the installed data folder; then, when the current folder holds no
// "SETTINGS.TXT" and the game is installed, makes the player's folder
// ($XDG_DATA_HOME/korvath, by default ~/.local/share/korvath), copies the
// default settings into it unless it has its own, and makes it the current
// folder. Started beside a "SETTINGS.TXT" it changes nothing. Returns nullptr,
// or the text of what failed (kept until the next call).
const char* enterPlayerFolder();
