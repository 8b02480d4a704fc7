// Resource loading: the six picture files into the texture table and the
// button picture, the shadow textures, the sine table, the camera constants
// and the meshes; the repair after a surface loss and the
// release on the start-up failure path. Everything an earlier load made is
// released when it is made again, so a surface loss leaks nothing.
#pragma once

#include <cstdint>

#include "render/textures.h"

constexpr int PictureFileBytes = PicturePixels * 2; // 5-6-5, little-endian, no header

struct RgbPicture {
    uint8_t rgb[PicturePixels * 3]; // red, green, blue; row-major, 256 a row
};
struct RgbaPicture {
    uint8_t rgba[PicturePixels * 4]; // red, green, blue, alpha
};

// Each returns nullptr on success or a failure text naming the file (for the
// error box), e.g. "DATAS/FOND.RAW is missing". The text stays valid until
// the next failure.
const char* loadImage565(const char* fileName, RgbPicture& out);
const char* loadScreenImage(const char* fileName);
const char* loadTexture(const char* fileName, int slot);

// Makes texture `slot` from the picture at size x size (low 16 bits, limited
// by the device); releases what the slot held. Returns the device's result.
int createTexture(int size, int slot, const RgbaPicture& picture);
// Empties the slots without releasing them and sets CameraRoll to 0.
void clearTextureTable();
// Builds every resource; nullptr or the failure text of the first picture
// file that could not be read in full.
const char* loadResources();
// After a surface loss: restore, release and rebuild everything, and ask for
// a redraw since the cached board picture was lost with the surfaces.
const char* restoreSurfaces();
// Start-up failure path: releases the textures and forgets the display surfaces.
void releaseDisplay();
