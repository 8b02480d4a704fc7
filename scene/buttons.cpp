// drawButton: stretches ButtonImage (loaded by the resources, render/textures.h)
// into the locked back buffer and writes the label over it. Stateless.
#include "scene/buttons.h"

#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "render/screen.h"
#include "render/textures.h"
#include "scene/cursor.h"

namespace {

constexpr int ButtonImageSide = 256;

void stretchButtonImage(int x, int y, int width) {
    LockedSurface back;
    if (lockBackBuffer(&back) != PLATFORM_OK) return;
    // The menu keeps its buttons on screen, but a block that would leave the
    // surface is cut rather than written past the rows.
    for (int m = 0; m < ButtonHeight; ++m) {
        const int dy = y + m;
        if (dy < 0 || dy >= ScreenHeight) continue;
        const uint16_t* source =
            &ButtonImage[(ButtonImageSide * m / ButtonHeight) * ButtonImageSide];
        uint16_t* row = back.memory + dy * (back.pitch / 2);
        for (int k = 0; k < width; ++k) {
            const int dx = x + k;
            if (dx < 0 || dx >= ScreenWidth) continue;
            row[dx] = source[(ButtonImageSide - 1) * k / width];
        }
    }
    unlockSurfaceArea(DDrawSurfaceBack, PixelArea{x, y, x + width, y + ButtonHeight});
}

} // namespace

void drawButton(int x, int y, int width, const char* label) {
    if (width > 0) stretchButtonImage(x, y, width);
    const int length = static_cast<int>(std::strlen(label));
    const int textX = x + (width - 8 * length) / 2;
    const int textY = y + 2;
    drawScreenText(textX + 1, textY + 1, label, 0, 0, 0);
    drawScreenText(textX, textY, label, 255, 255, 255);
}
