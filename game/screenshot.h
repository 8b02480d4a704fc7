// Screenshot files: the back buffer as headerless 24-bit RGB ("page%d.raw")
// and the same pixels as a PNG beside it ("page%d.png"). Stateless; the
// counter that numbers the files is the game controller's.
#pragma once

#include <cstddef>
#include <string>

// Writes the whole back buffer, rows top to bottom, three bytes red, green,
// blue a pixel (each 16-bit pixel read as 5-6-5), to a new file named by
// pattern (ending in ".raw") with the first number from *counter up that no
// file has yet, and the same pixels to the PNG of that number: an earlier
// picture is never replaced, and a pair is written whole or not at all. The
// raw name tried last is left in name. Returns 0 (with *counter one past the
// number used), or -1 with errno set when the surface could not be read or a
// file not written; the game goes on either way.
int saveScreenshot(const char* pattern, int* counter, char* name, size_t nameSize);
// The PNG's name beside a raw screenshot's.
std::string screenshotPngName(const char* rawName);
