// Cursor shapes and their pixel writer, and screen text over the platform's
// drawText. Stateless: every call reads MouseX/MouseY and the screen globals.
#include "scene/cursor.h"

#include "platform/platform.h"
#include "render/screen.h"
#include "scene/input.h"

namespace {

// One character per pixel; column 0 of row 0 is the hot spot.
// '0' black outline, '.' light grey, '*' dark grey, '/' white, ' ' transparent.
constexpr char ArrowShape[32][33] = {
    "0000                            ", "0.**00                          ",
    "0./***00                        ", "0./.****00                      ",
    "0./..*.***00                    ", "0./...*.****00                  ",
    "0./.....*.****00                ", "0./......*.*****00              ",
    "0./.......*.******00            ", "0./.........*.******00          ",
    "0./..........*.*******00        ", "0./...........*.*.******00      ",
    "0.//...........*.*.******0      ", "0./ /...........*.*.**000       ",
    "0.// /..........*.**00          ", "0././..........***00            ",
    "0.// /........**00              ", "0././ /.......**0               ",
    "0.// / /.......**0              ", "0.// /....0./...**0             ",
    "0.//....00 0./...**0            ", "0./...00    0./...**0           ",
    "0...00       0./...**0          ", " 000         0./...**0          ",
    "              0./...**0         ", "               0./...**0        ",
    "                0./...**0       ", "                 0./...**0      ",
    "                 0./.000        ", "                  000           ",
    "                                ", "                                ",
};

constexpr char WaitShape[32][33] = {
    "       0000000000000000000000000", "       0........................",
    "       0.00000000000000000000000", "        0.0                    0",
    "         0.0 /                0.", "          0.0 //             0.0",
    "           0.0*//***********0.0 ", "            0.0*//*********0.0  ",
    "             0.0*/********0.0   ", "              0.0********0.0    ",
    "               0.0******0.0     ", "                0.0****0.0      ",
    "                 0.0**0.0       ", "                  0.**.0        ",
    "                  0.**.0        ", "                  0.**.0        ",
    "                  0.**.0        ", "                  0.**.0        ",
    "                  0.**.0        ", "                 0.0**0.0       ",
    "                0.0****0.0      ", "               0.0******0.0     ",
    "              0.0********0.0    ", "             0.0*//*******0.0   ",
    "            0.0*//*********0.0  ", "           0.0**//**********0.0 ",
    "          0.0**//************0.0", "         0.0**//**************0.",
    "        0.0***//***************0", "       0.00000000000000000000000",
    "       0........................", "       0000000000000000000000000",
};

uint16_t shapePixel(char c, bool is565) {
    switch (c) {
    case '.':
        return is565 ? 0xA514 : 0x5294;
    case '*':
        return is565 ? 0x630C : 0x318C;
    case '/':
        return is565 ? 0xFFFF : 0x7FFF;
    default:
        return 0x0000;
    }
}

void drawShape(const char (&shape)[32][33]) {
    LockedSurface back;
    if (lockBackBuffer(&back) != PLATFORM_OK) return;
    const bool is565 = screenIs565();
    for (int r = 0; r < 32; ++r) {
        const int y = MouseY + r;
        if (y < 0 || y >= ScreenHeight) continue;
        uint16_t* row = back.memory + y * (back.pitch / 2);
        for (int c = 0; c < 32; ++c) {
            const int x = MouseX + c;
            if (shape[r][c] == ' ' || x < 0 || x >= ScreenWidth) continue;
            row[x] = shapePixel(shape[r][c], is565);
        }
    }
    unlockSurfaceArea(DDrawSurfaceBack, PixelArea{MouseX, MouseY, MouseX + 32, MouseY + 32});
}

} // namespace

int lockBackBuffer(LockedSurface* out) {
    int result;
    do {
        result = lockSurface(DDrawSurfaceBack, out);
    } while (result == PLATFORM_STILL_DRAWING);
    return result;
}

void drawArrowCursor() {
    if (MouseInWindow == 1) drawShape(ArrowShape);
}

void drawWaitCursor() {
    if (MouseInWindow == 1) drawShape(WaitShape);
}

void drawScreenText(int x, int y, const char* text, uint8_t red, uint8_t green, uint8_t blue) {
    Surface* target = getRenderTarget();
    if (target == nullptr) return;
    drawText(target, x, y, text, red, green, blue);
}
