// One 3D frame of the board: the rule set's board, then every piece's soft
// shadow, then the pieces, all lit by one fixed point light. Keeps nothing
// between frames. ShadowColor is written by the game controller every frame;
// ShadowZBias by drawScene before each shadow.
#pragma once

#include "render/math.h"
#include "render/mesh.h"

#include <cstdint>

struct Position;

extern const Vec3 SceneLight; // the point light above the board, fixed
extern uint16_t ShadowColor;  // 4-4-4-4 texel of the silhouettes (0xB000 during play)
extern int ShadowZBias;       // device depth bias of the shadow being drawn: 2 man, 3 king

constexpr uint16_t DefaultShadowColor = 0xB000; // black at 11/15 alpha

// The board mesh a rule set is drawn on: BoardMesh8 or BoardMesh10 by its size.
Mesh& boardMeshOf(int ruleSet);
// Centre of square (column, row) on a board of `columns` squares a side.
Vec3 squareCentre(int column, int row, int columns);

// A piece on its way between squares: drawn with its foot at `at` (world units,
// y negative above the board) instead of on its square.
struct PieceGlide {
    int side;
    int index;
    Vec3 at;
};

// Draws the position on the board of rule set `ruleSet` into the render target;
// `glide`, when given, moves one piece off its square.
void drawScene(const Position& position, int ruleSet, const PieceGlide* glide = nullptr);
// The same with the backdrop (scene/backdrop.h) of a width x height screen
// behind it: the very picture of drawBackdrop followed by drawScene, but the
// backdrop is painted after the board, only where the board left the frame
// clear, so that the half of it the board hides costs nothing.
void drawSceneWithBackdrop(const Position& position, int ruleSet, float width, float height,
                           const PieceGlide* glide = nullptr);
// Lights every face of the mesh from the point light into lighting slot `slot`.
void lightMeshFaces(Mesh& mesh, const Vec3& light, int slot);
