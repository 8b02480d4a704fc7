// Square outlines: the edges of one board square drawn in perspective into the
// back buffer, two pixels wide, over the finished board picture. Stateless;
// draws with the camera of the current frame (ViewMatrix, render/camera.h).
#pragma once

#include <cstdint>

struct Projection;

// Outlines square (column, row) of the current rule set's board; colour is a
// 16-bit 5-6-5 value written as it is.
void outlineSquare(int column, int row, uint16_t colour);
// A segment between two projected points, sampled twice per view-space unit
// along its longest axis and projected sample by sample; b itself is not drawn.
// Samples off the screen are skipped.
void drawProjectedLine(const Projection& a, const Projection& b, uint16_t colour);
