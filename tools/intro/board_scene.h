// A draughts board in play, ray traced for the title card: a varnished board
// on a dark table under one warm lamp, lacquered men and kings with soft shadows.
#pragma once

#include "image.h"

// Renders the scene at the picture's size, samplesPerSide^2 rays a pixel.
void renderBoardScene(Image* image, int samplesPerSide);
