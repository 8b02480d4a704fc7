// What the platform's own files share and nobody else may see: the surface
// record, the video state of the selected backend, and the calls between the
// message queue, the backends and the device. Written only inside platform/.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct Surface {
    int width;          // pixels
    int height;         // pixels
    PixelFormat format; // fixed at creation
    int pitch;          // bytes per row
    uint16_t* pixels;   // owned; height * pitch bytes
    int lockCount;      // locks not yet unlocked
    uint32_t version;   // bumped at every unlock, fill, copy and load: what was drawn is stale
    Surface* depth;     // depth surface attached to this colour surface, or nullptr
    Surface* previous;  // neighbours in the list of live surfaces
    Surface* next;
    uint16_t* texelCache;       // texels with a border for filtering; owned, or nullptr
    uint32_t texelCacheVersion; // the version the cache was made from
    uint32_t texelCacheAddress; // the addressing mode its border follows; 0 before the first
    uint8_t* toneCache;  // the texel cache's footprints as bits, when it has two tones; owned
    bool twoTone;        // every cached texel is 0 or toneColour (as of the texel cache)
    uint16_t toneColour; // the one texel other than 0, when twoTone
};

// The video system of the selected backend. Lives from videoStart to videoStop.
struct VideoState {
    Backend backend;         // chosen by selectBackend; Sdl until then
    HeadlessOptions options; // the headless backend's settings
    bool started;            // videoStart succeeded
    bool windowed;           // setCooperativeLevel asked for a plain window
    int width;               // game pixels, after setDisplayMode
    int height;
    Surface* primary;     // the shown surface of the flipping chain
    Surface* back;        // the surface drawn into
    bool lossPending;     // the next presentFrame answers PLATFORM_SURFACE_LOST
    uint16_t* shownFrame; // headless: copy of the last presented frame, row-major
};

VideoState& videoState();

// The SDL backend (platform/sdl_video.cpp). Each returns PLATFORM_OK or PLATFORM_FAILED.
int sdlVideoStart();
int sdlOpenWindow(const char* title, int width, int height, bool windowed);
// changed: the back buffer differs from the frame presented before; an
// unchanged frame is only paced, unless the window needs its picture again.
int sdlPresent(const Surface* back, bool changed);
void sdlPumpEvents();
void sdlWaitEvent();
void sdlVideoStop();
void sdlShowMessageBox(const char* caption, const char* text);
void sdlHideCursor();
int sdlSetWindowed(bool windowed);
bool sdlHasWindow();

// The message queue (platform/messages.cpp).
void queueMessage(const Message& message);
const char* gameWindowTitle();
void setCursorPosition(int x, int y);
// presentFrame tells the queue that a frame has run: a held release may go.
void noteFrameShown();

// The device (platform/device.cpp) forgets a surface that is being released.
void forgetSurfaceInDevice(const Surface* surface);
