// The picture behind the board: a 33 x 33 grid of rays through the screen,
// each turned into texture coordinates on a sphere around the viewer and a
// fog value, painted as 32 x 32 textured quads behind anything drawn. Keeps
// nothing between calls.
#pragma once

#include "render/math.h"

constexpr int BackdropTexture = 5; // texture slot of the backdrop picture

struct BackdropSample {
    float u, v; // texture coordinates (before the repeat factor)
    float fog;  // 0..1, already squared
};

// Paints the backdrop on the far plane of a render target of size width x
// height: every pixel whose depth is still clear (all of them when nothing
// is drawn yet); it writes no depth. Depth writes and perspective are on
// again afterwards.
void drawBackdrop(int texture, float width, float height);
// CombinedMatrix := the rotation taking camera-space directions to the world.
void buildBackdropRotation();
BackdropSample sampleBackdrop(const Vec3& direction, float farDistance);
float backdropRayParameter(float radius, const Vec3& origin, const Vec3& direction);
