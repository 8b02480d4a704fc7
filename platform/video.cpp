// The video system behind either backend: start and stop, the display mode
// with its flipping chain (primary and back buffer), and presenting a frame.
// VideoState is written only here and by the SDL backend's event pump (loss).
#include <cstdlib>
#include <cstring>

#include "platform/internal.h"

static VideoState Video = {}; // the one video system; reset by videoStop

VideoState& videoState() {
    return Video;
}

void selectBackend(Backend backend, const HeadlessOptions& options) {
    videoStop();
    Video.backend = backend;
    Video.options = options;
}

Backend currentBackend() {
    return Video.backend;
}

int videoStart() {
    if (Video.started) return PLATFORM_OK;
    if (Video.backend == Backend::Headless) {
        if (Video.options.failVideoStart) return PLATFORM_FAILED;
    } else if (sdlVideoStart() != PLATFORM_OK) {
        return PLATFORM_FAILED;
    }
    Video.started = true;
    return PLATFORM_OK;
}

int setCooperativeLevel(bool windowed) {
    if (!Video.started) return PLATFORM_FAILED;
    Video.windowed = windowed;
    return PLATFORM_OK;
}

static bool isDisplayableSize(int width, int height) {
    return width > 0 && height > 0 && width <= 8192 && height <= 8192;
}

// The primary and the back buffer in the display's format.
static int makeFlippingChain(int width, int height) {
    const bool format555 = Video.backend == Backend::Headless && Video.options.format555;
    const PixelFormat format = format555 ? PixelFormat::Rgb555 : PixelFormat::Rgb565;
    Video.primary = createSurface(width, height, format);
    Video.back = createSurface(width, height, format);
    Video.shownFrame =
        static_cast<uint16_t*>(std::calloc(static_cast<size_t>(width) * height, sizeof(uint16_t)));
    if (Video.primary == nullptr || Video.back == nullptr || Video.shownFrame == nullptr)
        return PLATFORM_FAILED;
    return PLATFORM_OK;
}

static void releaseFlippingChain() {
    releaseSurface(Video.primary);
    releaseSurface(Video.back);
    std::free(Video.shownFrame);
    Video.primary = nullptr;
    Video.back = nullptr;
    Video.shownFrame = nullptr;
}

int setDisplayMode(int width, int height) {
    if (!Video.started || !isDisplayableSize(width, height)) return PLATFORM_FAILED;
    releaseFlippingChain();
    if (makeFlippingChain(width, height) != PLATFORM_OK) {
        releaseFlippingChain();
        return PLATFORM_FAILED;
    }
    if (Video.backend == Backend::Sdl &&
        sdlOpenWindow(gameWindowTitle(), width, height, Video.windowed) != PLATFORM_OK) {
        releaseFlippingChain();
        return PLATFORM_FAILED;
    }
    Video.width = width;
    Video.height = height;
    // A window that appears is activated, as the window system does when it is shown.
    queueMessage(Message{WM_ACTIVATE, WA_ACTIVE, 0});
    return PLATFORM_OK;
}

void videoStop() {
    releaseFlippingChain();
    if (Video.backend == Backend::Sdl) sdlVideoStop();
    const Backend backend = Video.backend;
    const HeadlessOptions options = Video.options;
    Video = {};
    Video.backend = backend;
    Video.options = options;
}

Surface* primarySurface() {
    return Video.primary;
}
Surface* backBuffer() {
    return Video.back;
}

uint32_t displayGreenMask() {
    if (Video.back != nullptr && Video.back->format == PixelFormat::Rgb555) return 0x03E0;
    return 0x07E0;
}

int presentFrame() {
    if (Video.back == nullptr) return PLATFORM_FAILED;
    if (Video.lossPending) {
        Video.lossPending = false;
        return PLATFORM_SURFACE_LOST;
    }
    noteFrameShown();
    // The primary holds the frame shown last: an unchanged picture (the board
    // with nothing happening) costs a comparison instead of an upload.
    const Surface* back = Video.back;
    const bool changed = std::memcmp(Video.primary->pixels, back->pixels,
                                     static_cast<size_t>(back->height) * back->pitch) != 0;
    if (changed) {
        copySurface(Video.primary, back);
        for (int y = 0; y < back->height; ++y)
            std::memcpy(Video.shownFrame + static_cast<size_t>(y) * back->width,
                        reinterpret_cast<const char*>(back->pixels) +
                            static_cast<size_t>(y) * back->pitch,
                        static_cast<size_t>(back->width) * 2);
    }
    if (Video.backend == Backend::Sdl) return sdlPresent(back, changed);
    return PLATFORM_OK;
}

const uint16_t* lastPresentedFrame(int* width, int* height) {
    if (width != nullptr) *width = Video.width;
    if (height != nullptr) *height = Video.height;
    return Video.shownFrame;
}

void injectSurfaceLoss() {
    Video.lossPending = true;
}
