// The game's six pictures, drawn procedurally: two woods for the squares,
// ivory and ebony for the pieces (ivory also dresses the board's frame), a
// bevelled button face and a sky for the backdrop. Each is 256 x 256 pixels
// of 8-bit red, green, blue; the program packs them into 5-6-5 RAW files.
#pragma once

#include <cstdint>

#include "render/textures.h" // PictureSide

struct Colour {
    float r, g, b; // 0..255
};

struct Picture {
    Colour pixels[PictureSide * PictureSide]; // row-major
};

void drawLightWood(Picture& out); // DBLANC.RAW: maple for the light squares
void drawDarkWood(Picture& out);  // DNOIR.RAW: walnut for the dark squares
void drawIvory(Picture& out);     // PION1.RAW: side 0's pieces and the board's frame
void drawEbony(Picture& out);     // PION0.RAW: side 1's pieces
void drawButton(Picture& out);    // BOUTON.RAW: the menu buttons' face
void drawSky(Picture& out);       // FOND.RAW: the backdrop

// 5-6-5, rounded to nearest, with a fixed ordered dither so that the
// gentle gradients of the sky and the button do not band.
uint16_t packPixel(const Colour& c, int x, int y);
