// Opening the game's data files by the names the game uses for them.
#pragma once

#include <cstdio>

// Opens name as given first; when that fails, matches each path component
// without regard to case ("datas/jazz1.mid" finds "DATAS/JAZZ1.MID"), so that
// the game's mixed-case names work on a case-sensitive file system.
FILE* openDataFile(const char* name, const char* mode);
