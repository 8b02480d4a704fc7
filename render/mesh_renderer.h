// Puts meshes on the screen: every vertex transformed, projected and
// coloured on the CPU, every face sent to the device as one pre-transformed
// triangle with its own texture, opaque faces first, deferred faces blended.
// Also the two device state blocks that the shadows and the backdrop reuse.
#pragma once

#include "render/mesh.h"

// Draws the mesh at its pose with ViewMatrix; leaves CombinedMatrix as the
// mesh's model-view matrix, the vertices projected and the blended states set.
void drawMesh(Mesh& mesh);
// One opaque black triangle of the projected records' own u, v; sets no
// state and binds no texture.
void drawShadowTriangle(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c);
// Binds TextureTable[material] to stage 0, or no texture for a negative material.
void bindTexture(int material);
// Depth test and writes on, and the blend factors every frame starts from.
void setRenderStates();
void setOpaqueStatesFiltered();
void setBlendedStates();

// The render-state depth bias of everything but the shadows.
constexpr int DefaultZBias = 1;
