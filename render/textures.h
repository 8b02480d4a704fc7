// The texture table that faces' materials index, the button picture, and the
// two 4-4-4-4 shadow textures that the shadow pass paints into. Written by
// resource loading (app/resources) and createShadowTextures; read by the
// renderer, the backdrop, the shadows and the buttons.
#pragma once

#include <cstdint>

struct Surface;
struct LockedSurface;

constexpr int TextureSlots = 128;
constexpr int PictureSide = 256; // every picture file is 256 x 256
constexpr int PicturePixels = PictureSide * PictureSide;

extern Surface* TextureTable[TextureSlots]; // texture per material; null slots bind no texture
// The button picture in the screen's pixel format, 256 a row; rewritten by each load.
extern uint16_t ButtonImage[PicturePixels];

extern Surface* ShadowTextures[2];    // silhouettes painted by the shadow pass
extern Surface* ShadowStagingSurface; // the last staging surface made with them
extern int ShadowTextureSide;         // texels a side, the setting limited by the device

// Makes ShadowTextures[index] (side = the low 16 bits of size, limited by the
// device's largest texture, 256 when it does not say), cleared to transparent.
// Releases what the slot held before. Returns the device's result.
int createShadowTextures(int size, int index);
// Releases both shadow textures and the staging surface.
void releaseShadowTextures();

// Locks the whole surface, asking again while the device is still drawing;
// false when the lock failed and no pixel may be written.
bool lockSurfaceWhenReady(Surface* surface, LockedSurface& out);
