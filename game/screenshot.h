// Screenshot files: the back buffer as headerless 24-bit RGB ("page%d.raw").
// Stateless; the counter that numbers the files is the game controller's.
#pragma once

// Writes the whole back buffer to fileName (replacing it): rows top to bottom,
// three bytes red, green, blue a pixel, each 16-bit pixel read as 5-6-5.
// Returns 0, or -1 when the surface could not be read or the file not written
// (errno then tells why for a file error); the game goes on either way.
int saveScreenshot(const char* fileName);
