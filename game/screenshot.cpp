// saveScreenshot: converts the locked back buffer into one RGB buffer and
// hands it, and its PNG, to the new-file writers. Stateless.
#include "game/screenshot.h"

#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
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
    unlockSurfaceArea(DDrawSurfaceBack, PixelArea{}); // only read
    return true;
}

} // namespace

std::string screenshotPngName(const char* rawName) {
    const size_t length = std::strlen(rawName);
    assert(length >= 4 && std::strcmp(rawName + length - 4, ".raw") == 0);
    return std::string(rawName, length - 4) + ".png";
}

int saveScreenshot(const char* pattern, int* counter, char* name, size_t nameSize) {
    std::snprintf(name, nameSize, pattern, *counter);
    std::vector<uint8_t> rgb, png;
    if (!readBackBuffer(rgb) || !encodeRgbPng(rgb.data(), ScreenWidth, ScreenHeight, &png)) {
        errno = EIO;
        return -1;
    }
    // A number whose PNG some earlier file holds is passed over like a taken raw.
    for (;;) {
        if (writeNewNumberedFile(pattern, counter, rgb.data(), rgb.size(), name, nameSize) != 0)
            return -1;
        const std::string pngName = screenshotPngName(name);
        if (writeNewFile(pngName.c_str(), png.data(), png.size()) == 0) return 0;
        const int error = errno;
        ::unlink(name);
        errno = error;
        if (error != EEXIST) return -1;
    }
}
