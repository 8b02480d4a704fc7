// saveScreenshot: converts the locked back buffer into one RGB buffer and
// hands it to the numbered-file writer. Stateless.
#include "game/screenshot.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "game/new_file.h"
#include "platform/platform.h"
#include "render/screen.h"
#include "scene/cursor.h"

namespace {

// Shift-only expansion: the low bits stay 0, whatever the display's format.
void expandRow(const uint16_t* pixels, int width, uint8_t* out) {
    for (int x = 0; x < width; ++x) {
        const unsigned p = pixels[x];
        out[3 * x + 0] = static_cast<uint8_t>((p >> 8) & 0xF8);
        out[3 * x + 1] = static_cast<uint8_t>((p >> 3) & 0xFC);
        out[3 * x + 2] = static_cast<uint8_t>((p << 3) & 0xFF);
    }
}

bool readBackBuffer(std::vector<uint8_t>& rgb) {
    LockedSurface back;
    if (lockBackBuffer(&back) != PLATFORM_OK) return false;
    rgb.resize(static_cast<size_t>(ScreenWidth) * ScreenHeight * 3);
    for (int y = 0; y < ScreenHeight; ++y) {
        expandRow(back.memory + y * (back.pitch / 2), ScreenWidth,
                  rgb.data() + static_cast<size_t>(y) * ScreenWidth * 3);
    }
    unlockSurface(DDrawSurfaceBack);
    return true;
}

} // namespace

int saveScreenshot(const char* pattern, int* counter, char* name, size_t nameSize) {
    std::snprintf(name, nameSize, pattern, *counter);
    std::vector<uint8_t> rgb;
    if (!readBackBuffer(rgb)) {
        errno = EIO;
        return -1;
    }
    return writeNewNumberedFile(pattern, counter, rgb.data(), rgb.size(), name, nameSize);
}
