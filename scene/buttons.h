// Menu button pictures: the button image stretched into a block of the back
// buffer with a drop-shadowed label centred on it. Stateless.
#pragma once

// Button height in pixels; the picture is stretched to it whatever the width.
constexpr int ButtonHeight = 20;

// Draws the button block with its top-left at (x, y), width pixels wide, and the
// label centred on it at 8 pixels a character. Parts off the screen are cut.
void drawButton(int x, int y, int width, const char* label);
