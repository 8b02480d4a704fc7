// The shadow silhouette: a piece seen from the light, scaled to fill a square
// 4-4-4-4 texture and painted flat in ShadowColor by a small software filler.
// ShadowRadius is written here before each shadow and read by the projection.
#pragma once

#include "render/math.h"
#include "render/mesh.h"

#include <cstdint>

struct Surface;

extern int ShadowRadius[2]; // world size of the last silhouette put into each shadow texture

// A locked texture to paint into.
struct ShadowCanvas {
    uint16_t* memory; // row y starts at memory + y * pitch / 2
    int pitch;        // bytes per row
    int side;         // texels a side
};

// Paints the mesh's silhouette from the light into ShadowTextures[mesh.shadowTexture]
// and sets its ShadowRadius; leaves CombinedMatrix = model x light look-at.
void renderShadowTexture(Mesh& mesh, const Vec3& light);

// Piece slots that keep a silhouette of their own between frames.
constexpr int KeptSilhouetteSlots = 40;
// The slot's texture holding the mesh's silhouette, painted only when the slot
// last held another (mesh, pose, light, ShadowColor or side differ); sets
// ShadowRadius[mesh.shadowTexture] either way. Without memory for the slot's
// texture it paints ShadowTextures[mesh.shadowTexture] and returns that.
Surface* keptSilhouette(Mesh& mesh, const Vec3& light, int slot);
// Releases the slots' textures; the next keptSilhouette paints afresh.
void releaseKeptSilhouettes();
// Fills the face's triangle (its corners' screenX, screenY in texels), each
// span widened by 2.1 texels a side so that the filtered edge stays soft.
void rasterizeShadowTriangle(const MeshFace& face, uint16_t colour, const ShadowCanvas& canvas);
