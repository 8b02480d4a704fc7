// The video system behind either backend: start and stop, the display mode
// with its flipping chain (primary and back buffer), and presenting a frame.
// VideoState is written only here and by the SDL backend's event pump (loss).
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "platform/internal.h"

namespace {

VideoState video = {}; // the one video system; reset by videoStop

// The primary and the back buffer in the display's format.
int makeFlippingChain(int width, int height) {
    const bool format555 = video.backend == Backend::Headless && video.options.format555;
    const PixelFormat format = format555 ? PixelFormat::Rgb555 : PixelFormat::Rgb565;
    video.primary = createSurface(width, height, format);
    video.back = createSurface(width, height, format);
    video.shownFrame =
        static_cast<uint16_t*>(std::calloc(static_cast<size_t>(width) * height, sizeof(uint16_t)));
    if (video.primary == nullptr || video.back == nullptr || video.shownFrame == nullptr)
        return PLATFORM_FAILED;
    return PLATFORM_OK;
}

void releaseFlippingChain() {
    releaseSurface(video.primary);
    releaseSurface(video.back);
    std::free(video.shownFrame);
    video.primary = nullptr;
    video.back = nullptr;
    video.shownFrame = nullptr;
}

// Rounds toward minus infinity: points in the left or top bar map below 0.
int floorDivide(long long numerator, long long denominator) {
    const long long quotient = numerator / denominator;
    return static_cast<int>(numerator % denominator < 0 ? quotient - 1 : quotient);
}

// The game coordinate under the centre of window pixel at, along one axis.
int gameCoordinate(int at, int start, int extent, int gameExtent) {
    return floorDivide((2LL * (at - start) + 1) * gameExtent, 2LL * extent);
}

} // namespace

PictureRect pictureRect(int windowWidth, int windowHeight, int gameWidth, int gameHeight) {
    assert(gameWidth > 0 && gameHeight > 0);
    PictureRect rect{0, 0, windowWidth, windowHeight};
    // Whichever side fills the window decides the scale; the other gets bars.
    if (static_cast<long long>(windowWidth) * gameHeight <=
        static_cast<long long>(windowHeight) * gameWidth)
        rect.height =
            static_cast<int>((2LL * windowWidth * gameHeight + gameWidth) / (2LL * gameWidth));
    else
        rect.width =
            static_cast<int>((2LL * windowHeight * gameWidth + gameHeight) / (2LL * gameHeight));
    rect.x = (windowWidth - rect.width) / 2;
    rect.y = (windowHeight - rect.height) / 2;
    return rect;
}

void windowToGame(int windowX, int windowY, int windowWidth, int windowHeight, int gameWidth,
                  int gameHeight, int* gameX, int* gameY) {
    const PictureRect rect = pictureRect(windowWidth, windowHeight, gameWidth, gameHeight);
    if (rect.width <= 0 || rect.height <= 0) {
        // A window with no room for a picture (minimised to nothing) shows no pixel.
        *gameX = *gameY = -1;
        return;
    }
    *gameX = gameCoordinate(windowX, rect.x, rect.width, gameWidth);
    *gameY = gameCoordinate(windowY, rect.y, rect.height, gameHeight);
}

VideoState& videoState() {
    return video;
}

void selectBackend(Backend backend, const HeadlessOptions& options) {
    videoStop();
    video.backend = backend;
    video.options = options;
}

Backend currentBackend() {
    return video.backend;
}

int videoStart() {
    if (video.started) return PLATFORM_OK;
    if (video.backend == Backend::Headless) {
        if (video.options.failVideoStart) return PLATFORM_FAILED;
    } else if (sdlVideoStart() != PLATFORM_OK) {
        return PLATFORM_FAILED;
    }
    video.started = true;
    return PLATFORM_OK;
}

int setCooperativeLevel(bool windowed) {
    if (!video.started) return PLATFORM_FAILED;
    video.windowed = windowed;
    return PLATFORM_OK;
}

int changeWindowMode(bool windowed) {
    if (!video.started || video.back == nullptr) return PLATFORM_FAILED;
    if (video.backend == Backend::Sdl && sdlSetWindowed(windowed) != PLATFORM_OK)
        return PLATFORM_FAILED;
    video.windowed = windowed;
    return PLATFORM_OK;
}

bool isDisplayableSize(int width, int height) {
    return width > 0 && height > 0 && width <= 8192 && height <= 8192;
}

int setDisplayMode(int width, int height) {
    if (!video.started || !isDisplayableSize(width, height)) return PLATFORM_FAILED;
    releaseFlippingChain();
    if (makeFlippingChain(width, height) != PLATFORM_OK) {
        releaseFlippingChain();
        return PLATFORM_FAILED;
    }
    if (video.backend == Backend::Sdl &&
        sdlOpenWindow(gameWindowTitle(), width, height, video.windowed) != PLATFORM_OK) {
        releaseFlippingChain();
        return PLATFORM_FAILED;
    }
    video.width = width;
    video.height = height;
    // A window that appears is activated, as the window system does when it is shown.
    queueMessage(Message{WM_ACTIVATE, WA_ACTIVE, 0});
    return PLATFORM_OK;
}

void videoStop() {
    releaseFlippingChain();
    if (video.backend == Backend::Sdl) sdlVideoStop();
    const Backend backend = video.backend;
    const HeadlessOptions options = video.options;
    video = {};
    video.backend = backend;
    video.options = options;
}

Surface* primarySurface() {
    return video.primary;
}
Surface* backBuffer() {
    return video.back;
}

uint32_t displayGreenMask() {
    if (video.back != nullptr && video.back->format == PixelFormat::Rgb555) return 0x03E0;
    return 0x07E0;
}

int presentFrame() {
    if (video.back == nullptr) return PLATFORM_FAILED;
    if (video.lossPending) {
        video.lossPending = false;
        return PLATFORM_SURFACE_LOST;
    }
    noteFrameShown();
    // The primary holds the frame shown last: an unchanged picture (the board
    // with nothing happening) costs a comparison of what was drawn over it
    // instead of an upload.
    const Surface* back = video.back;
    PixelArea area{};
    const bool changed = updateSurface(video.primary, back, area);
    // Only korvath-headless reads the frame back; a window is spared the copy.
    if (changed && video.backend == Backend::Headless) {
        for (int y = 0; y < back->height; ++y)
            std::memcpy(video.shownFrame + static_cast<size_t>(y) * back->width,
                        reinterpret_cast<const char*>(back->pixels) +
                            static_cast<size_t>(y) * back->pitch,
                        static_cast<size_t>(back->width) * 2);
    }
    if (video.backend == Backend::Sdl) return sdlPresent(back, changed, area);
    return PLATFORM_OK;
}

void allowFrameRest(bool allowed) {
    if (video.backend == Backend::Sdl) sdlAllowRest(allowed);
}

void wakeFrameLoop() {
    if (video.backend == Backend::Sdl) sdlWake();
}

const uint16_t* lastPresentedFrame(int* width, int* height) {
    if (width != nullptr) *width = video.width;
    if (height != nullptr) *height = video.height;
    return video.shownFrame;
}

void injectSurfaceLoss() {
    video.lossPending = true;
}
