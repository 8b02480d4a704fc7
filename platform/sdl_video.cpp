// The SDL backend: the window (full screen on the desktop's mode with the
// picture scaled and black bars, or a plain window), how the back buffer
// reaches it (a streaming texture, or the window surface when the only OpenGL
// is drawn on the processor), frame pacing, and SDL events turned into the
// game's window messages. Its state is written only here.
#include <SDL.h>

#include <cassert>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/internal.h"
#include "platform/stretch.h"

namespace {

struct SdlState {
    bool videoUp;           // SDL's video subsystem is initialised
    SDL_Window* window;     // the game window, or nullptr
    SDL_Renderer* renderer; // draws the streaming texture into the window
    SDL_Texture* texture;   // RGB565 copy of the back buffer
    int width;              // game pixels: the texture's and the logical size
    int height;
    bool vsync;           // the renderer waits for the display's refresh
    uint64_t lastPresent; // performance-counter time of the last present
    bool stale;           // the window lost its picture (new, exposed, restored): present again
    bool windowedSizeSet; // the window has had a window's size (a full-screen start has not)
    bool toSurface;       // frames go to the window surface, not a renderer; set per window
    SDL_Surface* staging; // game-size copy in the window surface's format, for scaling; or nullptr
    bool restAllowed;     // the game says only input or the computer's answer changes its frames
    int stillFrames;      // frames in a row presented unchanged with no event between them
};

SdlState sdl = {}; // cleared by sdlVideoStop

// The menu entry's and the metadata's id (dist/), given to the window as its class.
constexpr const char* DesktopId = "org.korvath.Korvath";
// A window never gets smaller than the smallest screen the game draws.
constexpr int MinimumWindowWidth = 640;
constexpr int MinimumWindowHeight = 480;

// SDL falls back to drivers that draw nowhere when no display can be
// reached; a player would then look at nothing. Only asked for by name.
bool isInvisibleDriver() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) return true;
    if (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0) return false;
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    return requested == nullptr || std::strcmp(requested, driver) != 0;
}

void closeWindow() {
    if (sdl.staging != nullptr) SDL_FreeSurface(sdl.staging);
    if (sdl.texture != nullptr) SDL_DestroyTexture(sdl.texture);
    if (sdl.renderer != nullptr) SDL_DestroyRenderer(sdl.renderer);
    if (sdl.window != nullptr) SDL_DestroyWindow(sdl.window);
    sdl.staging = nullptr;
    sdl.texture = nullptr;
    sdl.renderer = nullptr;
    sdl.window = nullptr;
    sdl.toSurface = false;
}

int makeTexture() {
    if (sdl.texture != nullptr) SDL_DestroyTexture(sdl.texture);
    sdl.texture = SDL_CreateTexture(sdl.renderer, SDL_PIXELFORMAT_RGB565,
                                    SDL_TEXTUREACCESS_STREAMING, sdl.width, sdl.height);
    return sdl.texture != nullptr ? PLATFORM_OK : PLATFORM_FAILED;
}

// OpenGL drawn by the processor (Mesa's llvmpipe, softpipe or swrast), or
// SDL's own software renderer: uploading, converting and scaling each frame
// through it costs more than drawing the frame.
bool rendererRunsOnProcessor() {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(sdl.renderer, &info) != 0) return false;
    if ((info.flags & SDL_RENDERER_ACCELERATED) == 0) return true;
    if (std::strncmp(info.name, "opengl", 6) != 0) return false;
    // The renderer's context is current right after its creation.
    using GetString = const unsigned char* (*)(unsigned int);
    constexpr unsigned int GlRenderer = 0x1F01;
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const auto* name = getString != nullptr ? getString(GlRenderer) : nullptr;
    if (name == nullptr) return false;
    const char* text = reinterpret_cast<const char*>(name);
    return std::strstr(text, "llvmpipe") != nullptr || std::strstr(text, "softpipe") != nullptr ||
           std::strstr(text, "swrast") != nullptr;
}

bool createRenderer() {
    sdl.renderer = SDL_CreateRenderer(sdl.window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (sdl.renderer == nullptr) sdl.renderer = SDL_CreateRenderer(sdl.window, -1, 0);
    return sdl.renderer != nullptr;
}

int useRenderer() {
    SDL_RendererInfo info;
    sdl.vsync = SDL_GetRendererInfo(sdl.renderer, &info) == 0 &&
                (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    return makeTexture();
}

// Frames are written straight into the window surface, which X shows from
// shared memory; there is no refresh to wait for. False where the video
// driver has no window surfaces; the renderer is gone either way.
bool useWindowSurface() {
    if (sdl.renderer != nullptr) SDL_DestroyRenderer(sdl.renderer);
    sdl.renderer = nullptr;
    // Otherwise SDL would put the window surface on screen through an OpenGL
    // texture again (a player's SDL_FRAMEBUFFER_ACCELERATION still decides).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    sdl.vsync = false;
    sdl.toSurface = SDL_GetWindowSurface(sdl.window) != nullptr;
    return sdl.toSurface;
}

int makeRenderer() {
    if (createRenderer() && !rendererRunsOnProcessor()) return useRenderer();
    if (useWindowSurface()) return PLATFORM_OK;
    // A video driver without window surfaces: the renderer after all.
    return createRenderer() ? useRenderer() : PLATFORM_FAILED;
}

// Black until the first frame, as the window class's brush paints it: a
// box shown before that frame (no music) sits over a window, not a hole.
void showBlack() {
    if (sdl.toSurface) {
        SDL_Surface* target = SDL_GetWindowSurface(sdl.window);
        if (target == nullptr) return; // the first frame tries again and reports it
        SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
        SDL_UpdateWindowSurface(sdl.window);
        return;
    }
    SDL_SetRenderDrawColor(sdl.renderer, 0, 0, 0, 255);
    SDL_RenderClear(sdl.renderer);
    SDL_RenderPresent(sdl.renderer);
}

// Without a refresh to wait for (or with nothing new to show), frames are
// spaced to about 60 a second so that fades and camera turns, which count
// frames, keep their speed. The wait sleeps: a spinning core would drain a
// laptop while the board sits still.
void paceFrame() {
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    const uint64_t period = frequency / 60;
    const uint64_t elapsed = SDL_GetPerformanceCounter() - sdl.lastPresent;
    if (elapsed >= period) {
        sdl.lastPresent = SDL_GetPerformanceCounter();
        return;
    }
    const auto wait = std::chrono::nanoseconds((period - elapsed) * 1000000000 / frequency);
    std::this_thread::sleep_for(wait);
    // Counted from the planned time, so that sleeping a little long does not
    // slow every following frame too.
    sdl.lastPresent += period;
}

// A picture that stayed still for a few frames, in a game that says only the
// player or the computer's answer (which wakes the loop) can change it, waits
// for that instead of being drawn again sixty times a second: the cursor, the
// buttons and the text cost a core's percent or two for nothing. The few
// frames keep anything already under way at full pace; the wait, as every
// wait for the window system, gives a frame now and then all the same.
constexpr int StillFramesBeforeRest = 10;

void restOrPace() {
    if (!sdl.restAllowed || ++sdl.stillFrames < StillFramesBeforeRest) return paceFrame();
    sdlWaitEvent();
    sdl.lastPresent = SDL_GetPerformanceCounter();
}

// The picture keeps the game's shape at any window size, between black bars;
// the mouse is mapped back through the same rectangle (gamePoint).
void showTexture() {
    int width = 0, height = 0;
    SDL_GetRendererOutputSize(sdl.renderer, &width, &height);
    const PictureRect rect = pictureRect(width, height, sdl.width, sdl.height);
    const SDL_Rect target{rect.x, rect.y, rect.width, rect.height};
    SDL_SetRenderDrawColor(sdl.renderer, 0, 0, 0, 255);
    SDL_RenderClear(sdl.renderer);
    SDL_RenderCopy(sdl.renderer, sdl.texture, nullptr, &target);
}

// The 5- and 6-bit channels widened by repeating their top bits, so that
// white stays white and every step is even, as the screenshots do it; the
// format is a 32-bit one with 8-bit channels.
void expandRow(const uint16_t* from, uint32_t* to, int count, const SDL_PixelFormat& format) {
    const uint32_t redShift = format.Rshift, greenShift = format.Gshift;
    const uint32_t blueShift = format.Bshift, alpha = format.Amask;
    for (int x = 0; x < count; ++x) {
        const uint32_t p = from[x];
        const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
        to[x] = ((r << 3 | r >> 2) << redShift) | ((g << 2 | g >> 4) << greenShift) |
                ((b << 3 | b >> 2) << blueShift) | alpha;
    }
}

bool hasByteChannels(const SDL_PixelFormat& format) {
    return format.BytesPerPixel == 4 && format.Rloss == 0 && format.Gloss == 0 && format.Bloss == 0;
}

// Writes the part `area` of the frame into a byte-channel surface, unscaled,
// the frame's origin at (left, top).
void expandFrame(const Surface* back, const PixelArea& area, SDL_Surface* target, int left,
                 int top) {
    for (int y = area.top; y < area.bottom; ++y) {
        const auto* from = reinterpret_cast<const uint16_t*>(
            reinterpret_cast<const char*>(back->pixels) + static_cast<ptrdiff_t>(y) * back->pitch);
        auto* to = reinterpret_cast<uint32_t*>(static_cast<char*>(target->pixels) +
                                               static_cast<ptrdiff_t>(top + y) * target->pitch) +
                   left;
        expandRow(from + area.left, to + area.left, area.right - area.left, *target->format);
    }
}

PixelArea wholeFrame(const Surface* back) {
    return PixelArea{0, 0, back->width, back->height};
}

// The frame scaled into the rectangle: widened once at the game's size, then
// stretched with linear filtering as the renderer did. Only the rows that the
// changed area reaches are widened and stretched again; `where` is cut to them.
bool stretchFrame(const Surface* back, const PixelArea& area, SDL_Surface* target,
                  SDL_Rect* where) {
    if (sdl.staging != nullptr && sdl.staging->format->format != target->format->format) {
        SDL_FreeSurface(sdl.staging);
        sdl.staging = nullptr;
    }
    // A new staging surface holds nothing yet: the whole frame goes into it.
    const bool fresh = sdl.staging == nullptr;
    if (fresh)
        sdl.staging =
            SDL_CreateRGBSurfaceWithFormat(0, sdl.width, sdl.height, 32, target->format->format);
    if (sdl.staging == nullptr) return false;
    assert(where->x >= 0 && where->y >= 0 && where->x + where->w <= target->w &&
           where->y + where->h <= target->h);
    const PixelArea part = fresh ? wholeFrame(back) : area;
    expandFrame(back, part, sdl.staging, 0, 0);
    const PixelRect from{static_cast<uint32_t*>(sdl.staging->pixels), sdl.width, sdl.height,
                         sdl.staging->pitch};
    const PixelRect to{
        reinterpret_cast<uint32_t*>(static_cast<char*>(target->pixels) +
                                    static_cast<ptrdiff_t>(where->y) * target->pitch) +
            where->x,
        where->w, where->h, target->pitch};
    int first = 0, end = 0;
    if (!stretchLinearRows(from, to, part.top, part.bottom, &first, &end)) return false;
    *where = SDL_Rect{where->x, where->y + first, where->w, end - first};
    return true;
}

// Any other window surface: SDL converts, and scales by nearest pixel.
bool blitFrame(const Surface* back, SDL_Surface* target, SDL_Rect* where) {
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(
        back->pixels, back->width, back->height, 16, back->pitch, SDL_PIXELFORMAT_RGB565);
    if (frame == nullptr) return false;
    const bool done = SDL_BlitScaled(frame, nullptr, target, where) == 0;
    SDL_FreeSurface(frame);
    return done;
}

// The bars are painted, and the whole surface sent, only when the surface is
// new or the window lost its picture; otherwise only the part of the picture
// that changed (scaled, the rows it reaches), which `where` is cut to.
bool drawFrame(const Surface* back, const PixelArea& area, SDL_Surface* target, SDL_Rect* where) {
    assert(back->format == PixelFormat::Rgb565);
    assert(!SDL_MUSTLOCK(target)); // a window's own pixels are never run-length coded
    if (sdl.stale) SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
    if (where->w <= 0 || where->h <= 0) return true; // no room for a picture
    if (!hasByteChannels(*target->format)) return blitFrame(back, target, where);
    if (where->w != sdl.width || where->h != sdl.height)
        return stretchFrame(back, area, target, where);
    expandFrame(back, area, target, where->x, where->y);
    *where = SDL_Rect{where->x + area.left, where->y + area.top, area.right - area.left,
                      area.bottom - area.top};
    return true;
}

int presentToSurface(const Surface* back, const PixelArea& area) {
    SDL_Surface* target = SDL_GetWindowSurface(sdl.window);
    SDL_Rect where{};
    if (target != nullptr) {
        const PictureRect rect = pictureRect(target->w, target->h, sdl.width, sdl.height);
        where = SDL_Rect{rect.x, rect.y, rect.width, rect.height};
    }
    const bool drawn = target != nullptr && drawFrame(back, area, target, &where);
    // Paced even when it failed, so that a failing window never spins a core.
    paceFrame();
    if (!drawn) return PLATFORM_FAILED;
    // A change a smaller window shows no row of sends nothing.
    const bool nothing = where.w <= 0 || where.h <= 0;
    const int sent = sdl.stale ? SDL_UpdateWindowSurface(sdl.window)
                     : nothing ? 0
                               : SDL_UpdateWindowSurfaceRects(sdl.window, &where, 1);
    sdl.stale = sent != 0;
    return sent == 0 ? PLATFORM_OK : PLATFORM_FAILED;
}

// A pointer position in window coordinates as the game pixel shown there.
void gamePoint(int x, int y, int* gameX, int* gameY) {
    int width = 0, height = 0;
    SDL_GetWindowSize(sdl.window, &width, &height);
    windowToGame(x, y, width, height, sdl.width, sdl.height, gameX, gameY);
}

uint32_t virtualKeyOf(SDL_Keycode key) {
    switch (key) {
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_F1:
        return VK_F1;
    case SDLK_F2:
        return VK_F2;
    case SDLK_F3:
        return VK_F3;
    case SDLK_F4:
        return VK_F4;
    case SDLK_F11:
        return VK_F11;
    case SDLK_F12:
        return VK_F12;
    case SDLK_RETURN:
        return VK_RETURN;
    case SDLK_SPACE:
        return 0x20;
    default:
        break;
    }
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<uint32_t>(key - SDLK_a) + 'A';
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<uint32_t>(key - SDLK_0) + '0';
    return 0;
}

int64_t pointParam(int x, int y) {
    return static_cast<int64_t>(static_cast<uint16_t>(x)) |
           static_cast<int64_t>(static_cast<uint16_t>(y)) << 16;
}

// The minimised flag of WM_ACTIVATE comes from the window's own state: the
// focus leaves a window after it is minimised, and that must not wake it.
uint64_t minimisedFlag() {
    const bool minimised =
        sdl.window != nullptr && (SDL_GetWindowFlags(sdl.window) & SDL_WINDOW_MINIMIZED) != 0;
    return minimised ? 1u << 16 : 0;
}

void translateWindowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
    case SDL_WINDOWEVENT_MINIMIZED:
        queueMessage(Message{WM_ACTIVATE, WA_INACTIVE | (1u << 16), 0});
        break;
    case SDL_WINDOWEVENT_RESTORED:
        sdl.stale = true;
        queueMessage(Message{WM_ACTIVATE, WA_ACTIVE | minimisedFlag(), 0});
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        queueMessage(Message{WM_ACTIVATE, WA_ACTIVE | minimisedFlag(), 0});
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        queueMessage(Message{WM_ACTIVATE, WA_INACTIVE | minimisedFlag(), 0});
        break;
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        // The window system may have thrown the picture away: the next frame
        // shows it again even if it has not changed.
        sdl.stale = true;
        break;
    case SDL_WINDOWEVENT_CLOSE:
        queueMessage(Message{WM_CLOSE, 0, 0});
        break;
    case SDL_WINDOWEVENT_LEAVE:
        queueMessage(Message{WM_MOUSELEAVE, 0, 0});
        break;
    default:
        break;
    }
}

void translateButton(const SDL_MouseButtonEvent& event, bool down) {
    int x = 0, y = 0;
    gamePoint(event.x, event.y, &x, &y);
    setCursorPosition(x, y);
    const int64_t where = pointParam(x, y);
    if (event.button == SDL_BUTTON_LEFT)
        queueMessage(Message{down ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0, where});
    else if (event.button == SDL_BUTTON_RIGHT)
        queueMessage(Message{down ? WM_RBUTTONDOWN : WM_RBUTTONUP, 0, where});
}

// Alt+Enter is the window system's own key pair for full screen, as the
// message it would send says.
void translateKey(const SDL_Keysym& key) {
    const uint32_t code = virtualKeyOf(key.sym);
    if (code == 0) return;
    const bool alt = (key.mod & KMOD_ALT) != 0;
    queueMessage(Message{alt && code == VK_RETURN ? WM_SYSKEYDOWN : WM_KEYDOWN, code, 0});
}

void translateEvent(const SDL_Event& event) {
    // Whatever it was, the frames after it run at full pace for a while.
    sdl.stillFrames = 0;
    switch (event.type) {
    case SDL_QUIT:
        queueMessage(Message{WM_CLOSE, 0, 0});
        break;
    case SDL_WINDOWEVENT:
        translateWindowEvent(event.window);
        break;
    case SDL_KEYDOWN:
        translateKey(event.key.keysym);
        break;
    case SDL_MOUSEMOTION: {
        int x = 0, y = 0;
        gamePoint(event.motion.x, event.motion.y, &x, &y);
        setCursorPosition(x, y);
        queueMessage(Message{WM_MOUSEMOVE, 0, pointParam(x, y)});
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
        translateButton(event.button, true);
        break;
    case SDL_MOUSEBUTTONUP:
        translateButton(event.button, false);
        break;
    case SDL_RENDER_TARGETS_RESET:
        videoState().lossPending = true;
        sdl.stale = true;
        break;
    case SDL_RENDER_DEVICE_RESET:
        videoState().lossPending = true;
        sdl.stale = true;
        if (!sdl.toSurface) makeTexture();
        break;
    default:
        break;
    }
}

} // namespace

int sdlVideoStart() {
    if (sdl.videoUp) return PLATFORM_OK;
    // The window's class is the id of the menu entry and of its metadata, so
    // that a dock ties the running window to its entry. Set unless the
    // person starting the game chose another.
    setenv("SDL_VIDEO_X11_WMCLASS", DesktopId, 0);
    setenv("SDL_VIDEO_WAYLAND_WMCLASS", DesktopId, 0);
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) return PLATFORM_FAILED;
    if (isInvisibleDriver()) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS);
        return PLATFORM_FAILED;
    }
    sdl.videoUp = true;
    return PLATFORM_OK;
}

bool sdlHasWindow() {
    return sdl.window != nullptr;
}

int sdlOpenWindow(const char* title, int width, int height, bool windowed) {
    if (!sdl.videoUp) return PLATFORM_FAILED;
    closeWindow();
    sdl.width = width;
    sdl.height = height;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    // Hidden until the renderer exists: an OpenGL renderer makes SDL destroy
    // the window and create it again, which the desktop would show as a
    // window that opens, vanishes and opens again.
    constexpr Uint32 Flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
    sdl.windowedSizeSet = windowed;
    if (windowed) {
        sdl.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                                      height, Flags);
    } else {
        // Made as large as the desktop at its corner: where no window manager
        // honours the full-screen request, the window still covers the screen.
        SDL_DisplayMode desktop{};
        const bool known = SDL_GetDesktopDisplayMode(0, &desktop) == 0;
        sdl.window =
            SDL_CreateWindow(title, 0, 0, known ? desktop.w : width, known ? desktop.h : height,
                             SDL_WINDOW_FULLSCREEN_DESKTOP | Flags);
    }
    if (sdl.window == nullptr || makeRenderer() != PLATFORM_OK) {
        closeWindow();
        return PLATFORM_FAILED;
    }
    SDL_SetWindowMinimumSize(sdl.window, MinimumWindowWidth, MinimumWindowHeight);
    SDL_ShowWindow(sdl.window);
    SDL_ShowCursor(SDL_DISABLE);
    showBlack();
    sdl.stale = true;
    sdl.lastPresent = SDL_GetPerformanceCounter();
    return PLATFORM_OK;
}

int sdlPresent(const Surface* back, bool changed, const PixelArea& area) {
    if (!sdl.toSurface && (sdl.renderer == nullptr || sdl.texture == nullptr))
        return PLATFORM_FAILED;
    if (!changed && !sdl.stale) {
        restOrPace();
        return PLATFORM_OK;
    }
    sdl.stillFrames = 0;
    // Unchanged but stale: the whole picture again, and the bars.
    const PixelArea part = sdl.stale || !changed ? wholeFrame(back) : area;
    if (sdl.toSurface) return presentToSurface(back, part);
    const SDL_Rect rect{part.left, part.top, part.right - part.left, part.bottom - part.top};
    const auto* first = reinterpret_cast<const char*>(back->pixels) +
                        static_cast<ptrdiff_t>(part.top) * back->pitch + part.left * 2;
    if (SDL_UpdateTexture(sdl.texture, &rect, first, back->pitch) != 0) {
        sdl.stale = true; // the texture may hold anything now
        return PLATFORM_FAILED;
    }
    sdl.stale = false;
    showTexture();
    if (sdl.vsync) {
        SDL_RenderPresent(sdl.renderer);
        // A refresh faster than 60 Hz would speed the game up: never more than 60.
        paceFrame();
    } else {
        paceFrame();
        SDL_RenderPresent(sdl.renderer);
    }
    return PLATFORM_OK;
}

void sdlPumpEvents() {
    if (!sdl.videoUp) return;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) translateEvent(event);
}

void sdlAllowRest(bool allowed) {
    sdl.restAllowed = allowed;
    if (!allowed) sdl.stillFrames = 0;
}

void sdlWake() {
    // Pushed from any thread; the loop drops it as an event it does not know.
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    SDL_PushEvent(&event);
}

void sdlWaitEvent() {
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, 100) != 0) translateEvent(event);
}

void sdlHideCursor() {
    if (sdl.videoUp) SDL_ShowCursor(SDL_DISABLE);
}

int sdlSetWindowed(bool windowed) {
    if (sdl.window == nullptr) return PLATFORM_FAILED;
    if (SDL_SetWindowFullscreen(sdl.window, windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
        return PLATFORM_FAILED;
    if (windowed && !sdl.windowedSizeSet) {
        // Made full screen at the desktop's size: as a window it starts at the game's.
        SDL_SetWindowSize(sdl.window, sdl.width, sdl.height);
        SDL_SetWindowPosition(sdl.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        sdl.windowedSizeSet = true;
    }
    sdl.stale = true;
    return PLATFORM_OK;
}

void sdlVideoStop() {
    closeWindow();
    if (sdl.videoUp) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS);
    sdl = {};
}

void sdlShowMessageBox(const char* caption, const char* text) {
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, sdl.window) != 0)
        std::fprintf(stderr, "%s: %s\n", caption, text);
}
