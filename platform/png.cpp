// PNG files through SDL_image: 16-bit pixels or RGB bytes written, for the
// tools, the screenshots and looking at test pictures, and read back as RGB.
// Stateless.
#include <SDL.h>
#include <SDL_image.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/checked_file.h"
#include "platform/internal.h"

namespace {

// 8-bit red, green and blue of a 16-bit pixel, low bits filled by replication
// so that full intensity stays 255.
void toRgb(uint16_t p, PixelFormat format, uint8_t* out) {
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

// SDL_image's own file output neither checks its writes nor its close, so a
// full disk gave a cut-off picture and success: it encodes into memory here.
size_t SDLCALL appendToBuffer(SDL_RWops* stream, const void* bytes, size_t size, size_t count) {
    auto* buffer = static_cast<std::vector<uint8_t>*>(stream->hidden.unknown.data1);
    const auto* first = static_cast<const uint8_t*>(bytes);
    buffer->insert(buffer->end(), first, first + size * count);
    return count;
}

int SDLCALL freeStream(SDL_RWops* stream) {
    SDL_FreeRW(stream);
    return 0;
}

bool encodePng(SDL_Surface* rgb, std::vector<uint8_t>* png) {
    SDL_RWops* stream = SDL_AllocRW();
    if (stream == nullptr) return false;
    stream->type = SDL_RWOPS_UNKNOWN;
    stream->write = appendToBuffer;
    stream->close = freeStream;
    stream->hidden.unknown.data1 = png;
    return IMG_SavePNG_RW(rgb, stream, 1) == 0 && !png->empty();
}

// Every byte written and the file closed, or -1 with errno set and no cut-off
// regular file left behind (a device such as /dev/full is never removed).
int writeWholeFile(const char* fileName, const std::vector<uint8_t>& bytes) {
    const int fd = openWriteTarget(fileName);
    if (fd < 0) return -1;
    struct stat status {};
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const bool written = writeAllBytes(fd, bytes.data(), bytes.size());
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (written && closed) return 0;
    const int error = written ? errno : writeError;
    if (regular) ::unlink(fileName);
    errno = error;
    return -1;
}

} // namespace

bool writeAllBytes(int fd, const void* bytes, size_t size) {
    const uint8_t* next = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t written = ::write(fd, next, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        next += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

int savePng(const char* fileName, const uint16_t* pixels, int width, int height, int pitchBytes,
            PixelFormat format) {
    if (fileName == nullptr || pixels == nullptr || width <= 0 || height <= 0 ||
        pitchBytes < width * 2) {
        errno = EINVAL;
        return PLATFORM_FAILED;
    }
    SDL_Surface* rgb = SDL_CreateRGBSurfaceWithFormat(0, width, height, 24, SDL_PIXELFORMAT_RGB24);
    if (rgb == nullptr) {
        errno = ENOMEM;
        return PLATFORM_FAILED;
    }
    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const uint16_t*>(
            reinterpret_cast<const uint8_t*>(pixels) + static_cast<size_t>(y) * pitchBytes);
        auto* dst = static_cast<uint8_t*>(rgb->pixels) + static_cast<size_t>(y) * rgb->pitch;
        for (int x = 0; x < width; ++x) toRgb(src[x], format, dst + 3 * x);
    }
    std::vector<uint8_t> png;
    const bool encoded = encodePng(rgb, &png);
    SDL_FreeSurface(rgb);
    if (!encoded) {
        errno = EIO;
        return PLATFORM_FAILED;
    }
    return writeWholeFile(fileName, png) == 0 ? PLATFORM_OK : PLATFORM_FAILED;
}

bool encodeRgbPng(const uint8_t* rgb, int width, int height, std::vector<uint8_t>* png) {
    // SDL only reads the pixels, but its surface type is not const.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint8_t*>(rgb), width, height, 24, width * 3, SDL_PIXELFORMAT_RGB24);
    if (surface == nullptr) return false;
    png->clear();
    const bool encoded = encodePng(surface, png);
    SDL_FreeSurface(surface);
    return encoded;
}

bool readPngRgb(const char* fileName, std::vector<uint8_t>* rgb, int* width, int* height) {
    SDL_Surface* loaded = IMG_Load(fileName);
    if (loaded == nullptr) return false;
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0);
    SDL_FreeSurface(loaded);
    if (converted == nullptr) return false;
    *width = converted->w;
    *height = converted->h;
    rgb->resize(static_cast<size_t>(converted->w) * converted->h * 3);
    for (int y = 0; y < converted->h; ++y) {
        const auto* row = static_cast<const uint8_t*>(converted->pixels) +
                          static_cast<size_t>(y) * converted->pitch;
        std::copy(row, row + converted->w * 3,
                  rgb->begin() + static_cast<size_t>(y) * converted->w * 3);
    }
    SDL_FreeSurface(converted);
    return true;
}
