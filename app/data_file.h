// Opening the game's data files by the names the game uses for them, and the
// installed data folder they fall back to. InstalledDataFolder is written once
// at start-up by findInstalledData and only read afterwards.
#pragma once

#include <cstdio>
#include <string>

// "<prefix>/share/korvath" of an installed game, found beside the program's
// own bin/ or games/ folder; "" when there is none (a build tree).
extern std::string InstalledDataFolder;

// Looks for the installed data folder relative to the running program, so an
// install under any prefix works without a rebuild.
void findInstalledData();

// Opens name in the current folder; a file missing there is read from
// InstalledDataFolder. In each, the name as given is tried first, then each
// path component is matched without regard to case ("datas/jazz1.mid" finds
// "DATAS/JAZZ1.MID"), so that the game's mixed-case names work on a
// case-sensitive file system. Only regular files are opened, for reading
// (platform/checked_file.h); nullptr leaves the reason in errno (ENOENT: missing).
FILE* openDataFile(const char* name);

// Appends a whole file's bytes to text; false with the reason in errno when it
// is not a regular readable file (a folder would otherwise read as empty, a
// pipe could hang). mode, when given, gets the file's permission bits.
bool readWholeFile(const char* fileName, std::string* text, unsigned* mode = nullptr);
