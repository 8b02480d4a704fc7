// The two intro pictures: the studio's card, then the game's title over a
// board in play. Both 1024 x 768, in linear light.
#pragma once

#include "image.h"

constexpr int CardWidth = 1024;
constexpr int CardHeight = 768;

// Empty pictures (width 0) when no usable font is installed.
Image makeStudioCard();
Image makeTitleCard(int samplesPerSide);
