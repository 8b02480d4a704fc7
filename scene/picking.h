// Which square or piece lies under the cursor, found in screen space: the
// candidate square centre that projects nearest the cursor wins. hoverColumn
// and hoverRow are written only by pickSquare (0 at start, never reset).
#pragma once

struct Position;

extern int hoverColumn; // square nearest the cursor at the last pickSquare
extern int hoverRow;

// A candidate must lie strictly nearer than this squared pixel distance.
constexpr float PickDistanceLimit = 10000000.0f;

// Sets hoverColumn, hoverRow to the nearest square of the current rule set;
// both keep their values when no square is near enough.
void pickSquare();
// Index of the side's piece nearest the cursor, or -1.
int pickPiece(const Position& position, int side);
// 1 when the cursor is strictly inside the rectangle, else 0.
int isCursorInRect(int left, int top, int right, int bottom);
