// Writing 16-bit pixels as a PNG through SDL_image, for the tools and for
// looking at test pictures. Stateless.
#include <SDL.h>
#include <SDL_image.h>

#include "platform/internal.h"

// 8-bit red, green and blue of a 16-bit pixel, low bits filled by replication
// so that full intensity stays 255.
static void toRgb(uint16_t p, PixelFormat format, uint8_t* out) {
    auto five = [](int v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); };
    auto six = [](int v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); };
    auto four = [](int v) { return static_cast<uint8_t>(v * 17); };
    switch (format) {
    case PixelFormat::Rgb565:
        out[0] = five(p >> 11), out[1] = six((p >> 5) & 63), out[2] = five(p & 31);
        break;
    case PixelFormat::Bgr565:
        out[0] = five(p & 31), out[1] = six((p >> 5) & 63), out[2] = five(p >> 11);
        break;
    case PixelFormat::Rgb555:
    case PixelFormat::Argb1555:
        out[0] = five((p >> 10) & 31), out[1] = five((p >> 5) & 31), out[2] = five(p & 31);
        break;
    case PixelFormat::Argb4444:
        out[0] = four((p >> 8) & 15), out[1] = four((p >> 4) & 15), out[2] = four(p & 15);
        break;
    case PixelFormat::Depth16:
        out[0] = out[1] = out[2] = static_cast<uint8_t>(p >> 8);
        break;
    }
}

int savePng(const char* fileName, const uint16_t* pixels, int width, int height, int pitchBytes,
            PixelFormat format) {
    if (fileName == nullptr || pixels == nullptr || width <= 0 || height <= 0 ||
        pitchBytes < width * 2)
        return PLATFORM_FAILED;
    SDL_Surface* rgb = SDL_CreateRGBSurfaceWithFormat(0, width, height, 24, SDL_PIXELFORMAT_RGB24);
    if (rgb == nullptr) return PLATFORM_FAILED;
    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const uint16_t*>(
            reinterpret_cast<const uint8_t*>(pixels) + static_cast<size_t>(y) * pitchBytes);
        auto* dst = static_cast<uint8_t*>(rgb->pixels) + static_cast<size_t>(y) * rgb->pitch;
        for (int x = 0; x < width; ++x) toRgb(src[x], format, dst + 3 * x);
    }
    const int result = IMG_SavePNG(rgb, fileName);
    SDL_FreeSurface(rgb);
    return result == 0 ? PLATFORM_OK : PLATFORM_FAILED;
}
