// The software 3D device's state as the rasteriser reads it: render target,
// viewport, render states and texture stage 0. Written only by the calls of
// platform/device.cpp; read by platform/raster.cpp while a triangle is drawn.
#pragma once

#include <cstdint>

#include "platform/internal.h"

struct StageState {
    uint32_t colorOp;   // TOP_*
    uint32_t colorArg1; // TA_*
    uint32_t colorArg2;
    uint32_t alphaOp;
    uint32_t alphaArg1;
    uint32_t alphaArg2;
    uint32_t address;   // TADDRESS_*
    uint32_t magFilter; // TFILTER_*
    uint32_t minFilter;
    Surface* texture; // nullptr: an opaque white texel
};

struct DeviceState {
    bool exists;     // between createDevice and releaseDevice
    Surface* target; // render target (its attached depth surface is the z-buffer)
    int viewportX;   // viewport in target pixels; may reach past the target
    int viewportY;
    int viewportWidth;
    int viewportHeight;
    bool perspective;   // RS_TEXTUREPERSPECTIVE
    bool depthEnable;   // RS_ZENABLE
    bool depthWrite;    // RS_ZWRITEENABLE
    uint32_t srcBlend;  // RS_SRCBLEND
    uint32_t destBlend; // RS_DESTBLEND
    uint32_t cullMode;  // RS_CULLMODE
    bool blendEnable;   // RS_ALPHABLENDENABLE
    uint32_t depthBias; // RS_ZBIAS, 0..16
    StageState stage0;  // the only stage that takes part in drawing
};

// Depth-buffer units (of 65535) that one step of RS_ZBIAS pulls a triangle
// towards the viewer. Coplanar shadows need far less than one unit to win over
// the board; two keep a margin for rounding at grazing angles while the band
// at a piece's foot where a shadow could cover it stays well under a pixel.
constexpr int DepthBiasUnit = 2;

const DeviceState& deviceState();

// Draws one triangle with the current state (platform/raster.cpp).
void rasterizeTriangle(const TLVertex& a, const TLVertex& b, const TLVertex& c);
