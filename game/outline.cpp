// outlineSquare and drawProjectedLine. Stateless apart from CombinedMatrix,
// which outlineSquare sets for its own corners like every other projector.
#include "game/outline.h"

#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "render/camera.h"
#include "render/screen.h"
#include "rules/position.h"
#include "scene/cursor.h"

namespace {

constexpr float SquareSide = 512.0f;
constexpr float HalfSquare = SquareSide / 2;

// Corner offsets from the square's centre, the first repeated to close it.
constexpr float Corners[5][2] = {{-HalfSquare, -HalfSquare},
                                 {HalfSquare, -HalfSquare},
                                 {HalfSquare, HalfSquare},
                                 {-HalfSquare, HalfSquare},
                                 {-HalfSquare, -HalfSquare}};

// Plots the pixel and its right neighbour, and widens `written` to them.
void plotTwoWide(const LockedSurface& back, int x, int y, uint16_t colour, PixelArea& written) {
    if (x < 0 || x >= ScreenWidth || y < 0 || y >= ScreenHeight) return;
    uint16_t* row = back.memory + y * (back.pitch / 2);
    row[x] = colour;
    if (x + 1 < ScreenWidth) row[x + 1] = colour;
    written = {std::min(written.left, x), std::min(written.top, y), std::max(written.right, x + 2),
               std::max(written.bottom, y + 1)};
}

} // namespace

void drawProjectedLine(const Projection& a, const Projection& b, uint16_t colour) {
    LockedSurface back;
    if (lockBackBuffer(&back) != PLATFORM_OK) return;
    const float dx = b.viewX - a.viewX;
    const float dy = b.viewY - a.viewY;
    const float dz = b.viewZ - a.viewZ;
    const int n =
        static_cast<int>(2.0f * std::fmax(std::fabs(dx), std::fmax(std::fabs(dy), std::fabs(dz))));
    PixelArea written{ScreenWidth, ScreenHeight, 0, 0}; // empty until a pixel is plotted
    for (int i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(n);
        const float z = a.viewZ + t * dz;
        // The camera always looks down on the board from outside it; a sample
        // at or behind the eye has no place on the screen.
        if (z <= 0.0f) continue;
        const float s = FocalLength / z;
        const float sx = s * (a.viewX + t * dx) + ScreenCentreX;
        const float sy = s * (a.viewY + t * dy) + ScreenCentreY;
        // Far off-screen samples would overflow the integer conversion.
        if (!(sx > -1.0f && sx < static_cast<float>(ScreenWidth)) ||
            !(sy > -1.0f && sy < static_cast<float>(ScreenHeight)))
            continue;
        plotTwoWide(back, static_cast<int>(sx), static_cast<int>(sy), colour, written);
    }
    unlockSurfaceArea(DDrawSurfaceBack, written);
}

void outlineSquare(int column, int row, uint16_t colour) {
    const int half = ruleVariants[ruleVariant].columns / 2;
    Pose centre{};
    centre.posX = static_cast<float>((column - half) * 512 + 256);
    centre.posZ = static_cast<float>((row - half) * 512 + 256);
    Matrix4 model;
    matFromPose(centre, model);
    matMultiplyAffine(model, ViewMatrix, CombinedMatrix);
    Projection corners[5];
    for (int i = 0; i < 5; ++i)
        corners[i] = projectPosition(Corners[i][0], 0.0f, Corners[i][1], CombinedMatrix);
    for (int i = 0; i < 4; ++i) drawProjectedLine(corners[i], corners[i + 1], colour);
}
